// The real tessaly-cli, run as separate processes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
namespace draw = test::draw;
using test::ReadFile;
using test::Start;
using test::TempDir;
using test::Wait;

std::string ImageBytes(char who, int i) {
  return std::string("BM") + who + std::to_string(i) + std::string(30000 + i, who);
}

// Two conversions at once, of drawings that embed an image of the same name:
// each process keeps its images in a working folder of its own.
TEST(CliProcess, TwoConversionsAtOnceKeepTheirImagesApart) {
  TempDir dir;
  fs::create_directories(dir / "tmp");
  fs::create_directories(dir / "build");
  constexpr int kFiles = 12;
  for (char who : {'A', 'B'}) {
    fs::create_directories(dir / std::string(1, who));
    fs::create_directories(dir / ("out" + std::string(1, who)));
    for (int i = 0; i < kFiles; ++i) {
      MemoryImages imagesStore;
      TBoundImages images(imagesStore);
      TJwwData doc(images);
      draw::Sample(doc, 700, 3);
      draw::EmbedImage(doc, "pic.bmp", ImageBytes(who, i));
      test::SaveBuilt(doc, dir / std::string(1, who) / ("d" + std::to_string(i) + ".jww"));
    }
  }
  const pid_t a = Start({TESSALY_CLI_PATH, "-o", (dir / "outA").string(), (dir / "A").string()},
                        dir / "tmp", dir / "logA");
  const pid_t b = Start({TESSALY_CLI_PATH, "-o", (dir / "outB").string(), (dir / "B").string()},
                        dir / "tmp", dir / "logB");
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(Wait(a), 0) << ReadFile(dir / "logA");
  EXPECT_EQ(Wait(b), 0) << ReadFile(dir / "logB");

  for (char who : {'A', 'B'}) {
    for (int i = 0; i < kFiles; ++i) {
      const fs::path out = dir / ("out" + std::string(1, who)) / ("d" + std::to_string(i) + ".jww");
      TempDir work;
      MemoryImages imagesStore;
      TBoundImages images(imagesStore);
      TJwwData doc(images);
      ASSERT_TRUE(test::Loads(doc, out));
      EXPECT_EQ(test::EntriesOf(doc, kDimension), 0);
      ASSERT_EQ(images.Entries.size(), 1u) << out;
      EXPECT_TRUE(test::Stored(imagesStore, "pic.bmp") == ImageBytes(who, i)) << out;
    }
  }
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));  // both working folders are gone
}

TEST(CliProcess, ExitStatusOfARun) {
  TempDir dir;
  draw::MakeDrawing(dir / "plan.jww", 2);
  test::WriteFile(dir / "bad.jww", "not a drawing");
  fs::create_directories(dir / "out");
  const std::string cli = TESSALY_CLI_PATH;
  EXPECT_EQ(Wait(Start({cli, "-o", (dir / "out").string(), (dir / "plan.jww").string()}, dir.path(),
                       dir / "log")),
            0);
  EXPECT_NE(ReadFile(dir / "log").find("3 dimensions dissolved"), std::string::npos)
      << ReadFile(dir / "log");
  EXPECT_EQ(Wait(Start({cli, (dir / "bad.jww").string()}, dir.path(), dir / "log")), 1);
  EXPECT_NE(ReadFile(dir / "log").find("bad.jww: failed: not a JWW drawing"), std::string::npos);
  EXPECT_EQ(Wait(Start({cli, (dir / "plan.jww").string(), (dir / "plan.jww").string()}, dir.path(),
                       dir / "log")),
            2);
  // In Japanese where the user's language is.
  EXPECT_EQ(Wait(Start({cli, (dir / "bad.jww").string()}, dir.path(), dir / "log", "ja_JP.UTF-8")), 1);
  EXPECT_NE(ReadFile(dir / "log").find("bad.jww: 変換できませんでした: JWW 図面ではありません"), std::string::npos)
      << ReadFile(dir / "log");
}

// Drawings and figures in a folder and its subfolders, converted by the real
// program into another folder.
TEST(CliProcess, ConvertsAFolderOfDrawingsAndFigures) {
  TempDir dir;
  fs::create_directories(dir / "in" / "sub");
  fs::create_directories(dir / "out");
  draw::MakeDrawing(dir / "in" / "plan.jww", 2, 700);
  test::draw::MakeFigure(dir / "in" / "part.jws", 3, 700);
  test::draw::MakeFigure(dir / "in" / "sub" / "Part.JWS", 1, 300);
  EXPECT_EQ(Wait(Start({TESSALY_CLI_PATH, "-o", (dir / "out").string(), (dir / "in").string()},
                       dir.path(), dir / "log")),
            0)
      << ReadFile(dir / "log");
  EXPECT_NE(ReadFile(dir / "log").find("3 files: 3 converted (9 dimensions dissolved)"),
            std::string::npos)
      << ReadFile(dir / "log");
  {
    TempDir work;
    MemoryImages imagesStore;
    TBoundImages images(imagesStore);
    TJwwData doc(images);
    ASSERT_TRUE(test::Loads(doc, dir / "out" / "plan.jww"));
    EXPECT_EQ(test::EntriesOf(doc, kDimension), 0);
  }
  for (const fs::path& p : {dir / "out" / "part.jws", dir / "out" / "sub" / "Part.JWS"}) {
    TJwsData doc;
    ASSERT_TRUE(test::Loads(doc, p));
    EXPECT_EQ(test::EntriesOf(doc, kDimension), 0) << p;
    EXPECT_GT(doc.TextCount(), 1) << p;
  }
}

}  // namespace
}  // namespace tessaly

// The real tessaly-cli under stress: several processes at once over the same
// drawings, and a memory limit. Whatever happens, a run ends with an exit status
// of its own (never a signal), and the files on disk are whole: an output is
// correct or absent, a backup is an exact copy of a former target.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/documents.h"
#include "support/formats.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
namespace draw = test::draw;
using test::ReadFile;
using test::Start;
using test::TempDir;
using test::Wait;

std::string ImageBytes(int i) {
  return "BM" + std::to_string(i) + std::string(20000 + 37 * i, static_cast<char>('a' + i % 26));
}

// Drawing i: dimensions, and an image that every drawing names "pic.bmp".
void MakeDrawing(const fs::path& path, int i) {
  test::Drawing::Kit k;
  draw::Sample(k.doc, 700, 2 + i % 3);
  draw::EmbedImage(k.doc, "pic.bmp", ImageBytes(i));
  test::SaveBuilt(k.doc, path);
}

// Four processes at once over overlapping sets of drawings, into folders of
// their own: every output is the one a run of its own gives, byte for byte,
// with its own image.
TEST(CliStress, FourConversionsOfOverlappingSetsAtOnce) {
  TempDir dir;
  constexpr int kDrawings = 12, kProcesses = 4, kPerProcess = 6;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "tmp");
  for (int i = 0; i < kDrawings; ++i) MakeDrawing(dir / "in" / ("d" + std::to_string(i) + ".jww"), i);
  auto name = [](int i) { return "d" + std::to_string(i % kDrawings) + ".jww"; };

  // The reference: all of them, by one process alone.
  fs::create_directories(dir / "alone");
  ASSERT_EQ(Wait(Start({TESSALY_CLI_PATH, "-q", "-o", (dir / "alone").string(), (dir / "in").string()},
                       dir / "tmp", dir / "log-alone")),
            0)
      << ReadFile(dir / "log-alone");

  std::vector<pid_t> pids;
  for (int p = 0; p < kProcesses; ++p) {
    const fs::path out = dir / ("out" + std::to_string(p));
    fs::create_directories(out);
    std::vector<std::string> args = {TESSALY_CLI_PATH, "-q", "-o", out.string()};
    for (int k = 0; k < kPerProcess; ++k) args.push_back((dir / "in" / name(3 * p + k)).string());
    pids.push_back(Start(args, dir / "tmp", dir / ("log" + std::to_string(p))));
    ASSERT_GT(pids.back(), 0);
  }
  for (int p = 0; p < kProcesses; ++p) {
    EXPECT_EQ(Wait(pids[static_cast<std::size_t>(p)]), 0) << ReadFile(dir / ("log" + std::to_string(p)));
  }
  for (int p = 0; p < kProcesses; ++p) {
    const fs::path out = dir / ("out" + std::to_string(p));
    std::set<std::string> expected;
    for (int k = 0; k < kPerProcess; ++k) expected.insert(name(3 * p + k));
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(out)) found.insert(e.path().filename().string());
    EXPECT_EQ(found, expected) << out;  // nothing else: no temporary file, no backup
    for (const auto& n : expected) {
      EXPECT_TRUE(ReadFile(out / n) == ReadFile(dir / "alone" / n)) << out / n;
    }
  }
  // The reference itself holds each drawing's own image and no dimension.
  for (int i = 0; i < kDrawings; ++i) {
    TempDir work;
    MemoryImages imagesStore;
    TBoundImages images(imagesStore);
    TJwwData doc(images);
    ASSERT_TRUE(test::Loads(doc, dir / "alone" / name(i)));
    EXPECT_EQ(test::EntriesOf(doc, kDimension), 0);
    EXPECT_TRUE(test::Stored(imagesStore, "pic.bmp") == ImageBytes(i)) << name(i);
  }
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));  // every working folder is gone
}

// Two processes converting the same drawing in place at once, many times over:
// the target is always the original or its conversion, whole; a backup is an
// exact copy of one of them; no other file is left.
TEST(CliStress, TwoConversionsOfOneDrawingInPlaceAtOnce) {
  TempDir dir;
  fs::create_directories(dir / "tmp");
  fs::create_directories(dir / "ref");
  MakeDrawing(dir / "original.jww", 5);
  const std::string original = ReadFile(dir / "original.jww");
  ASSERT_EQ(Wait(Start({TESSALY_CLI_PATH, "-q", "-o", (dir / "ref").string(),
                        (dir / "original.jww").string()},
                       dir / "tmp", dir / "log")),
            0);
  const std::string converted = ReadFile(dir / "ref" / "original.jww");
  ASSERT_NE(converted, original);

  constexpr int kRounds = 12;
  for (int round = 0; round < kRounds; ++round) {
    const fs::path folder = dir / ("r" + std::to_string(round));
    fs::create_directories(folder);
    test::WriteFile(folder / "plan.jww", original);
    const pid_t a = Start({TESSALY_CLI_PATH, "-q", (folder / "plan.jww").string()}, dir / "tmp",
                          folder.string() + ".logA");
    const pid_t b = Start({TESSALY_CLI_PATH, "-q", (folder / "plan.jww").string()}, dir / "tmp",
                          folder.string() + ".logB");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    const int sa = Wait(a), sb = Wait(b);
    // Each run converts the file, finds it converted already, or fails saying
    // why (the other one replaced the file under it): never a signal.
    EXPECT_LE(sa, 1) << ReadFile(folder.string() + ".logA");
    EXPECT_LE(sb, 1) << ReadFile(folder.string() + ".logB");
    EXPECT_TRUE(sa == 0 || sb == 0) << ReadFile(folder.string() + ".logA")
                                    << ReadFile(folder.string() + ".logB");

    EXPECT_TRUE(ReadFile(folder / "plan.jww") == converted) << "round " << round;
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string n = e.path().filename().string();
      if (n == "plan.jww") continue;
      ASSERT_EQ(n, "plan._JWW") << "round " << round << ": a file left behind";
      const std::string backup = ReadFile(e.path());
      EXPECT_TRUE(backup == original || backup == converted)
          << "round " << round << ": the backup is no former target";
    }
  }
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Under a limit of the address space from too small to enough, a conversion
// and a summary end with a status and a reason, never with a signal (an
// uncaught std::bad_alloc or std::system_error aborted them); a conversion
// leaves its output whole or absent.
TEST(CliStress, MemoryLimitsEndWithAReasonNeverACrash) {
  if (kAddressSanitizer) GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
  TempDir dir;
  fs::create_directories(dir / "tmp");
  {
    TBoundImages images;
    TJwwData doc(images);
    draw::New(doc, 600);
    for (int i = 0; i < 150000; ++i) doc.Add(draw::Line(i, 0, i, 1));
    for (int i = 0; i < 20000; ++i) doc.Add(draw::Dimension(i, JString("1,000")));
    test::SaveBuilt(doc, dir / "big.jww");
  }
  bool failedForMemory = false, worked = false;
  for (int mb = 8; mb <= 160; mb += 8) {
    const std::string limit = "ulimit -v " + std::to_string(mb * 1024) + " && exec \"$0\" \"$@\"";
    const fs::path out = dir / ("out" + std::to_string(mb));
    fs::create_directories(out);
    const fs::path log = dir / "log";
    const int info =
        Wait(Start({"/bin/sh", "-c", limit, TESSALY_CLI_PATH, "--info", (dir / "big.jww").string()},
                   dir / "tmp", log));
    const std::string infoLog = ReadFile(log);
    if (infoLog.find("error while loading shared libraries") != std::string::npos) continue;
    EXPECT_LE(info, 1) << mb << " MB: " << infoLog;
    const int convert = Wait(Start(
        {"/bin/sh", "-c", limit, TESSALY_CLI_PATH, "-q", "-o", out.string(), (dir / "big.jww").string()},
        dir / "tmp", log));
    const std::string convertLog = ReadFile(log);
    EXPECT_LE(convert, 1) << mb << " MB: " << convertLog;
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(out)) left.push_back(e.path().filename().string());
    if (convert == 0) {
      worked = true;
      EXPECT_EQ(left, std::vector<std::string>{"big.jww"}) << mb << " MB";
    } else {
      failedForMemory = failedForMemory || convertLog.find("memory") != std::string::npos;
      EXPECT_TRUE(left.empty()) << mb << " MB: " << left.front();
    }
  }
  // The sweep reached both sides of the limit.
  EXPECT_TRUE(failedForMemory);
  EXPECT_TRUE(worked);
}

}  // namespace
}  // namespace tessaly

// Reading a file a window at a time while it is parsed.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "archive/reader.h"
#include "io/files.h"
#include "io/overlap.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

// Reads of every size through a small window give the bytes a reader of the
// whole file in memory gives: reads within the window, across its end, larger
// than it, and skips over several windows. A file of four windows and more is
// read ahead (the next window on the source's thread); with the larger window
// the bytes left of a window can be more than fit in front of the next one.
TEST(FileStream, ParsesThroughASmallWindow) {
  test::TempDir dir;
  const std::string data = Pattern(1000003);  // not a multiple of the window
  test::WriteFile(dir / "f", data);
  struct Case {
    std::size_t window;
    std::vector<std::size_t> steps;
  } cases[] = {{997, {1, 4, 8, 996, 997, 998, 3000, 7, 5000, 2}},
               {150000, {1, 70000, 100000, 149999, 3, 150001, 90000, 8}}};
  for (const Case& c : cases) {
    for (const bool skipping : {false, true}) {
      SCOPED_TRACE(c.window);
      const auto& steps = c.steps;
      FileStream stream;
      Message error;
      ASSERT_TRUE(stream.Open(dir / "f", error)) << error.English();
      ASSERT_EQ(stream.size(), data.size());
      ReadingAhead ahead(stream);
      ArchiveReader r(ahead, data.size(), c.window);
      std::string seen;
      for (std::size_t i = 0; !r.atEnd(); ++i) {
        const std::size_t n = std::min(steps[i % steps.size()], r.remaining());
        if (skipping && i % 3 == 2) {
          r.skip(n);
          seen.append(n, '-');
        } else {
          auto b = r.bytes(n);
          seen.append(reinterpret_cast<const char*>(b.data()), b.size());
        }
      }
      ASSERT_EQ(seen.size(), data.size());
      for (std::size_t i = 0; i < data.size(); ++i) {
        if (!skipping || seen[i] != '-') {
          ASSERT_EQ(seen[i], data[i]) << "at " << i << (skipping ? ", skipping" : "");
        }
      }
      EXPECT_TRUE(stream.Finish(true, error)) << error.English();
      EXPECT_THROW(r.u8(), FormatError);
    }
  }
}

TEST(FileStream, StopsEarlyWhenTheParseEnds) {
  test::TempDir dir;
  test::WriteFile(dir / "f", Pattern(1 << 20));
  FileStream stream;
  Message error;
  ASSERT_TRUE(stream.Open(dir / "f", error));
  {
    // The reader reads ahead until it is gone.
    ReadingAhead ahead(stream);
    ArchiveReader r(ahead, stream.size(), /*window=*/64);
    EXPECT_EQ(r.u8(), static_cast<std::uint8_t>(Pattern(1)[0]));
  }
  EXPECT_TRUE(stream.Finish(false, error));  // returns without reading the rest
}

TEST(FileStream, EmptyFile) {
  test::TempDir dir;
  test::WriteFile(dir / "f", "");
  FileStream stream;
  Message error;
  ASSERT_TRUE(stream.Open(dir / "f", error));
  ArchiveReader r(stream, stream.size());
  EXPECT_THROW(r.u8(), FormatError);
  EXPECT_TRUE(stream.Finish(true, error));
}

// A file that another program shortens or lengthens while it is read fails the
// load with the reason, never a read past what is there.
TEST(FileStream, AFileThatChangesSizeWhileItIsReadFails) {
  test::TempDir dir;
  const std::string data = Pattern(10000);
  for (const bool shorter : {true, false}) {
    const auto path = dir / (shorter ? "shorter" : "longer");
    test::WriteFile(path, data);
    FileStream stream;
    Message error;
    ASSERT_TRUE(stream.Open(path, error));
    ArchiveReader r(stream, stream.size(), /*window=*/100);
    r.skip(50);
    std::filesystem::resize_file(path, shorter ? 5000 : 20000);
    if (shorter) {
      try {
        r.skip(6000);
        FAIL() << "read past the end of the shortened file";
      } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find("became shorter"), std::string::npos) << e.what();
      }
      EXPECT_FALSE(stream.Finish(true, error));
    } else {
      r.skip(r.remaining());  // the size seen at the start
      EXPECT_FALSE(stream.Finish(true, error));
      EXPECT_NE(error.English().find("grew"), std::string::npos) << error.English();
    }
  }
}

TEST(FileStream, RefusesWhatIsNotARegularFile) {
  TESSALY_POSIX_ONLY("no named pipes in the file system here");
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  struct Case {
    const char* name;
    const char* reason;
  } cases[] = {{"pipe", "not a regular file"}, {"folder", "not a regular file"}, {"missing", "cannot open"}};
  for (const auto& c : cases) {
    FileStream stream;
    Message error;
    EXPECT_FALSE(stream.Open(dir / c.name, error)) << c.name;  // never waits on the pipe
    EXPECT_NE(error.English().find(c.reason), std::string::npos) << c.name << ": " << error.English();
  }
}

// A source that stops half way, as a file that became shorter while it was read.
class ShortSource : public ByteSource {
 public:
  std::size_t Read(std::uint8_t* into, std::size_t n) override {
    const std::size_t k = std::min(n, left_);
    std::memset(into, 0, k);
    left_ -= k;
    return k;
  }
  Message Why() const override { return Message("the file became shorter while it was read"); }

 private:
  std::size_t left_ = 10;
};

TEST(FileStream, AShortReadFailsTheParseWithTheReason) {
  ShortSource source;
  ArchiveReader r(source, 64, /*window=*/8);
  r.skip(8);
  try {
    r.u32();
    FAIL() << "read past what arrived";
  } catch (const FormatError& e) {
    EXPECT_EQ(e.offset(), 8u);
    EXPECT_NE(std::string(e.what()).find("became shorter"), std::string::npos) << e.what();
  }
  EXPECT_EQ(r.offset(), 8u);  // a failed read does not move
}

}  // namespace
}  // namespace tessaly

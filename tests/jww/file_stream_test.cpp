// Reading a file on a second thread while it is parsed.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/reader.h"
#include "io/files.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

TEST(FileStream, ParsesWhileSmallChunksArrive) {
  test::TempDir dir;
  const std::string data = Pattern(100003);  // not a multiple of the chunk
  test::WriteFile(dir / "f", data);
  FileStream stream(/*chunk=*/997);
  std::string error;
  ASSERT_TRUE(stream.Open(dir / "f", error)) << error;
  ArchiveReader r(stream.bytes(), stream);
  std::string seen;
  while (r.remaining() >= 4) {
    auto b = r.bytes(4);
    seen.append(reinterpret_cast<const char*>(b.data()), 4);
  }
  auto tail = r.bytes(r.remaining());
  seen.append(reinterpret_cast<const char*>(tail.data()), tail.size());
  EXPECT_EQ(seen, data);
  EXPECT_TRUE(stream.Finish(true, error)) << error;
}

TEST(FileStream, StopsEarlyWhenTheParseEnds) {
  test::TempDir dir;
  test::WriteFile(dir / "f", Pattern(1 << 20));
  FileStream stream(/*chunk=*/64);
  std::string error;
  ASSERT_TRUE(stream.Open(dir / "f", error));
  ArchiveReader r(stream.bytes(), stream);
  EXPECT_EQ(r.u8(), static_cast<std::uint8_t>(Pattern(1)[0]));
  EXPECT_TRUE(stream.Finish(false, error));  // returns without reading the rest
}

TEST(FileStream, EmptyFile) {
  test::TempDir dir;
  test::WriteFile(dir / "f", "");
  FileStream stream;
  std::string error;
  ASSERT_TRUE(stream.Open(dir / "f", error));
  ArchiveReader r(stream.bytes(), stream);
  EXPECT_THROW(r.u8(), FormatError);
  EXPECT_TRUE(stream.Finish(true, error));
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
    std::string error;
    EXPECT_FALSE(stream.Open(dir / c.name, error)) << c.name;  // never waits on the pipe
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

// A source that stops half way, as a file that became shorter while it was read.
class ShortSource : public ByteSource {
 public:
  std::size_t WaitFor(std::size_t) override { return 10; }
  std::string Why() const override { return "the file became shorter while it was read"; }
};

TEST(FileStream, AShortReadFailsTheParseWithTheReason) {
  const std::string data = Pattern(64);
  ShortSource source;
  ArchiveReader r({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, source);
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

// The backup copy: a whole file copied beside its destination and put in place
// only when it is complete, keeping the source's time when asked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/files.h"
#include "support/drawing_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::ReadFile;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;

std::string Bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

struct timespec MtimeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0);
  return st.st_mtim;
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0);
  return st.st_mode & 07777;
}

void SetMtime(const fs::path& p, time_t sec, long nsec) {
  const struct timespec t[2] = {{sec, nsec}, {sec, nsec}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), t, 0), 0);
}

// Copies and puts the copy in place at once, as the backup of a run does.
bool Copy(const fs::path& source, const fs::path& dest, bool keepTime, std::string& why,
          const SinkFilter& filter = {}) {
  try {
    PrepareCopy(source, dest, keepTime, filter)->Commit();
  } catch (const WriteError& e) {
    why = e.what();
    return false;
  }
  return true;
}

TEST(CopyFileData, CopiesEveryByte) {
  for (std::size_t n :
       {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{(1 << 18) + 3}}) {
    TempDir dir;
    WriteFile(dir / "a", Bytes(n));
    std::string why;
    ASSERT_TRUE(Copy(dir / "a", dir / "b", false, why)) << why;
    EXPECT_EQ(ReadFile(dir / "b"), Bytes(n)) << n;
    EXPECT_EQ(Snapshot(dir.path()).size(), 2u);  // no temporary file left
  }
}

TEST(CopyFileWithDate, KeepsTheModificationTimeAndLeavesTheBackupWritable) {
  TempDir dir;
  WriteFile(dir / "plan.jww", "drawing");
  SetMtime(dir / "plan.jww", 1'000'000'000, 123'456'789);
  ::chmod((dir / "plan.jww").c_str(), 0444);
  WriteFile(dir / "plan._JWW", "an older backup, longer than the drawing");
  ::chmod((dir / "plan._JWW").c_str(), 0640);
  std::string why;
  ASSERT_TRUE(Copy(dir / "plan.jww", dir / "plan._JWW", true, why)) << why;
  EXPECT_EQ(ReadFile(dir / "plan._JWW"), "drawing");
  const struct timespec t = MtimeOf(dir / "plan._JWW");
  EXPECT_EQ(t.tv_sec, 1'000'000'000);
#ifdef _WIN32
  EXPECT_EQ(t.tv_nsec, 123'456'700);  // file times count 100 ns here
#else
  EXPECT_EQ(t.tv_nsec, 123'456'789);
#endif
  EXPECT_NE(ModeOf(dir / "plan._JWW") & S_IWUSR, 0u);
  EXPECT_EQ(ModeOf(dir / "plan.jww"), 0444u);  // the source is not touched
  EXPECT_EQ(Snapshot(dir.path()).size(), 2u);
}

TEST(CopyFileWithDate, ANewBackupOfAReadOnlyFileIsWritable) {
  TempDir dir;
  WriteFile(dir / "plan.jww", "drawing");
  ::chmod((dir / "plan.jww").c_str(), 0444);
  std::string why;
  ASSERT_TRUE(Copy(dir / "plan.jww", dir / "plan._JWW", true, why)) << why;
  EXPECT_NE(ModeOf(dir / "plan._JWW") & S_IWUSR, 0u);
}

// Every failure is reported, and leaves every file as it was with no temporary
// file beside it.
TEST(CopyFileData, FailuresLeaveEverythingAsItWas) {
  struct Case {
    const char* name;
    void (*setUp)(const TempDir&);
    const char* source;
    const char* dest;
  };
  const Case cases[] = {
      {"missing source", [](const TempDir&) {}, "none", "b"},
      {"source is a folder", [](const TempDir& d) { fs::create_directory(d / "dir"); }, "dir", "b"},
      {"destination is a folder", [](const TempDir& d) { fs::create_directory(d / "dir"); }, "a",
       "dir"},
      {"old read-only backup",
       [](const TempDir& d) {
         WriteFile(d / "b", "old backup");
         ::chmod((d / "b").c_str(), 0444);
       },
       "a", "b"},
      {"destination folder missing", [](const TempDir&) {}, "a", "no/b"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "a", Bytes(5000));
    c.setUp(dir);
    const auto before = Snapshot(dir.path());
    std::string why;
    EXPECT_FALSE(Copy(dir / c.source, dir / c.dest, true, why)) << c.name;
    EXPECT_FALSE(why.empty()) << c.name;
    EXPECT_TRUE(test::draw::SameFiles(before, Snapshot(dir.path()))) << c.name;
  }
}

TEST(CopyFileData, AWriteFailingHalfWayLeavesTheOldBackup) {
  TempDir dir;
  WriteFile(dir / "a", Bytes(100000));
  WriteFile(dir / "b", "old backup");
  const auto before = Snapshot(dir.path());
  std::string why;
  const bool ok = Copy(dir / "a", dir / "b", false, why, [](ByteSink& file, const fs::path& to) {
    return std::make_unique<test::FailingSink>(file, to, 50000);
  });
  EXPECT_FALSE(ok);
  EXPECT_NE(why.find("injected"), std::string::npos) << why;
  EXPECT_TRUE(test::draw::SameFiles(before, Snapshot(dir.path())));
}

TEST(CopyFileData, AFolderWithoutWritePermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anyway; the injected failure covers this path";
  TempDir dir;
  fs::create_directory(dir / "ro");
  WriteFile(dir / "a", "x");
  ::chmod((dir / "ro").c_str(), 0555);
  std::string why;
  EXPECT_FALSE(Copy(dir / "a", dir / "ro" / "b", false, why));
  EXPECT_TRUE(fs::is_empty(dir / "ro"));
}

}  // namespace
}  // namespace tessaly

// What killed runs leave, known by its name and its owner, and removed only
// once that owner is gone and nobody writes it.
#include "io/leftovers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "io/files.h"
#include "io/working_folder.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// A number no process has on either system.
constexpr std::uint64_t kGone = 99999999;

std::uint64_t Own() {
#ifdef _WIN32
  return ::_getpid();
#else
  return static_cast<std::uint64_t>(::getpid());
#endif
}

TEST(Leftovers, KnownByExactlyTheirNames) {
  struct Case {
    std::string_view name;
    std::optional<std::uint64_t> temporary, working;
  };
  const Case cases[] = {
      {".plan.jww.123.0a1b2c3d.tmp", 123, {}},
      {".平面図 1.JWW.9.ffffffff.tmp", 9, {}},
      {".plan._JWW.77.12345678.tmp", 77, {}},
      {"plan.jww.123.0a1b2c3d.tmp", {}, {}},     // not hidden
      {"..123.0a1b2c3d.tmp", {}, {}},            // no name
      {".plan.jww.123.0a1b2c3.tmp", {}, {}},     // seven digits
      {".plan.jww.123.0A1B2C3D.tmp", {}, {}},    // ours are lower case
      {".plan.jww.12x.0a1b2c3d.tmp", {}, {}},
      {".plan.jww..0a1b2c3d.tmp", {}, {}},
      {".plan.jww.123.0a1b2c3d.tmp~", {}, {}},
      {".plan.jww.1234567890123456789.0a1b2c3d.tmp", {}, {}},
      {"tessaly-123-aB3xYz", {}, 123},
      {"tessaly-4567-0000abcd", {}, 4567},
      {"tessaly-aB3xYz", {}, {}},  // an older run's: no owner to ask
      {"tessaly-123-", {}, {}},
      {"tessaly-123-ab.c", {}, {}},
      {"Tessaly-123-abc", {}, {}},
      {"tessaly--abc", {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TemporaryFileOwner(c.name), c.temporary) << c.name;
    EXPECT_EQ(WorkingFolderOwner(c.name), c.working) << c.name;
  }
  EXPECT_TRUE(ProcessIsGone(kGone));
  EXPECT_FALSE(ProcessIsGone(Own()));
}

TEST(Leftovers, OnlyTheFilesOfGoneRunsThatNobodyWritesGo) {
  TempDir dir;
  const std::string gone = std::to_string(kGone), own = std::to_string(Own());
  const std::string removed[] = {".plan.jww." + gone + ".0000abcd.tmp", ".plan._JWW." + gone + ".0000abce.tmp"};
  const std::string kept[] = {"plan.jww", ".plan.jww." + own + ".0000abcd.tmp", ".plan.jww." + gone + ".tmp",
                              ".held.jww." + gone + ".0000abcd.tmp"};
  for (const auto& n : removed) WriteFile(dir / n, "partial");
  for (const auto& n : kept) WriteFile(dir / n, "x");
  fs::create_directory(dir / (".folder.jww." + gone + ".0000abcd.tmp"));
  // Still being written by a process of that number elsewhere, sharing the folder.
#ifdef _WIN32
  std::ofstream held(dir / kept[3], std::ios::app);
#else
  const int held = ::open((dir / kept[3]).c_str(), O_RDWR | O_CLOEXEC);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);
#endif
  {
    // A run's own temporary file, open to write: never touched.
    AtomicFile live(dir / "live.jww");
    EXPECT_EQ(RemoveLeftTemporaryFiles(dir.path()), 2u);
  }
  for (const auto& n : removed) EXPECT_FALSE(fs::exists(dir / n)) << n;
  for (const auto& n : kept) EXPECT_TRUE(fs::exists(dir / n)) << n;
  EXPECT_TRUE(fs::is_directory(dir / (".folder.jww." + gone + ".0000abcd.tmp")));
#ifndef _WIN32
  ::close(held);
#endif
}

TEST(Leftovers, WorkingFoldersOfGoneRunsGoWithTheirFiles) {
  TempDir dir;
  const std::string gone = "tessaly-" + std::to_string(kGone) + "-Ab12Cd";
  const std::string kept[] = {"tessaly-" + std::to_string(Own()) + "-Ab12Cd", "tessaly-Ab12Cd"};
  fs::create_directories(dir / gone / "sub");
  WriteFile(dir / gone / "sub" / "pic.bmp", "BM");
  for (const auto& n : kept) fs::create_directory(dir / n);
  fs::create_directory(dir / "elsewhere");
  WriteFile(dir / "elsewhere" / "keep", "x");
  std::error_code ec;
  fs::create_directory_symlink(dir / "elsewhere", dir / ("tessaly-" + std::to_string(kGone) + "-link"), ec);
  EXPECT_EQ(RemoveLeftWorkingFolders(dir.path()), 1u);
  EXPECT_FALSE(fs::exists(dir / gone));
  for (const auto& n : kept) EXPECT_TRUE(fs::is_directory(dir / n)) << n;
  EXPECT_TRUE(fs::exists(dir / "elsewhere" / "keep"));  // never through a link

  // This run's own folder is named so that a later run can tell it.
  WorkingFolder work;
  Message why;
  ASSERT_TRUE(work.Create(why)) << why.English();
  EXPECT_EQ(WorkingFolderOwner(work.Path().filename().string()), Own());
}

}  // namespace
}  // namespace tessaly

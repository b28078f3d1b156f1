// A fresh folder per test, removed with its contents afterwards, so that tests
// can run in any order and in parallel.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Skips a test of what only POSIX systems have (links, named pipes, permission
// bits, case-sensitive names) where the tests run on Windows.
#ifdef _WIN32
#define TESSALY_POSIX_ONLY(why) GTEST_SKIP() << (why)
#else
#define TESSALY_POSIX_ONLY(why) static_cast<void>(0)
#endif

namespace tessaly::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& p, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& p);
// Every file below a folder with its bytes, for "nothing else changed" checks.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::filesystem::path& dir);

// The corpus of real drawings beside the checkout, or an empty path when absent.
std::filesystem::path CorpusDir();
std::vector<std::filesystem::path> CorpusFiles(std::string_view sub);  // "jww" or "jws", sorted

}  // namespace tessaly::test

// The few POSIX calls that the unit tests make to set up their files, over
// the Win32 API, so that the same tests run on Windows. Force-included in the
// Windows build of the tests only. Permission bits map to the read-only
// attribute, which is all that Windows has of them; like root on Linux, the
// tests' user can still read files and write into read-only folders, so
// geteuid() answers 0 and the tests that need binding permissions skip.
#pragma once

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <random>
#include <string>

#ifndef AT_FDCWD
#define AT_FDCWD (-100)
#endif

// POSIX's struct stat, with the fields the tests read.
#define stat tessaly_posix_stat
struct tessaly_posix_stat {
  unsigned st_mode = 0;
  std::int64_t st_size = 0;
  struct timespec st_mtim {};
};

namespace tessaly::test::shim {
inline std::int64_t Ticks(const FILETIME& f) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) -
         116444736000000000LL;
}
}  // namespace tessaly::test::shim

inline int tessaly_posix_stat(const wchar_t* path, struct tessaly_posix_stat* st) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &d)) {
    errno = ENOENT;
    return -1;
  }
  const bool dir = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool ro = (d.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  st->st_mode = (dir ? 0040000u : 0100000u) | (ro ? 0444u : 0666u) | (dir ? 0111u : 0u);
  st->st_size = static_cast<std::int64_t>((static_cast<std::uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow);
  const std::int64_t t = tessaly::test::shim::Ticks(d.ftLastWriteTime);
  st->st_mtim.tv_sec = static_cast<time_t>(t / 10000000);
  st->st_mtim.tv_nsec = static_cast<long>((t % 10000000) * 100);
  return 0;
}

inline int chmod(const wchar_t* path, int mode) { return _wchmod(path, mode & 0222 ? _S_IWRITE | _S_IREAD : _S_IREAD); }

inline int utimensat(int, const wchar_t* path, const struct timespec times[2], int) {
  HANDLE h = CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  const std::uint64_t ticks = static_cast<std::uint64_t>(times[1].tv_sec) * 10000000ULL +
                              static_cast<std::uint64_t>(times[1].tv_nsec / 100) + 116444736000000000ULL;
  FILETIME f{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const BOOL ok = SetFileTime(h, nullptr, nullptr, &f);
  CloseHandle(h);
  return ok ? 0 : -1;
}

// No named pipes in the file system here.
inline int mkfifo(const wchar_t*, int) {
  errno = ENOSYS;
  return -1;
}
inline int mkfifo(const char*, int) {
  errno = ENOSYS;
  return -1;
}

inline unsigned geteuid() { return 0; }

// The temporary folder is named by TMP and TEMP here.
inline int setenv(const char* name, const char* value, int) {
  if (std::strcmp(name, "TMPDIR") == 0) {
    _putenv_s("TMP", value);
    _putenv_s("TEMP", value);
  }
  return _putenv_s(name, value);
}
inline int setenv(const char* name, const wchar_t* value, int overwrite) {
  const std::filesystem::path p(value);
  return setenv(name, p.string().c_str(), overwrite);
}
inline int unsetenv(const char* name) { return setenv(name, "", 1); }

inline char* mkdtemp(char* templ) {
  const std::size_t n = std::strlen(templ);
  if (n < 6) return nullptr;
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = n - 6; i < n; ++i) templ[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[rd() % 36];
    if (CreateDirectoryA(templ, nullptr)) return templ;
  }
  return nullptr;
}
#endif

// Small helpers the Win32 half shares: the system's error texts in UTF-8, and
// file times in the units the rest of the program uses.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tessaly::win32 {

// The system's own message for an error code, as UTF-8, without the line end.
std::string ErrorText(DWORD code);
inline std::string LastErrorText() {
  return ErrorText(::GetLastError());
}

std::string WideToUtf8(const wchar_t* text, std::size_t n);

// 100-nanosecond ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochTicks = 116444736000000000LL;

inline FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  const std::uint64_t ticks =
      static_cast<std::uint64_t>(seconds * 10000000LL + nanoseconds / 100 + kEpochTicks);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

inline void UnixFromFileTime(const FILETIME& ft, std::int64_t& seconds, std::int64_t& nanoseconds) {
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) |
                                ft.dwLowDateTime) -
      kEpochTicks;
  seconds = ticks / 10000000LL;
  nanoseconds = (ticks % 10000000LL) * 100;
  if (nanoseconds < 0) {
    nanoseconds += 1000000000LL;
    --seconds;
  }
}

}  // namespace tessaly::win32

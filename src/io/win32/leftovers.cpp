#include "io/leftovers.h"

#include <windows.h>

namespace tessaly {

bool ProcessIsGone(std::uint64_t pid) {
  if (pid == ::GetCurrentProcessId()) return false;
  if (pid > MAXDWORD) return true;
  HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  // Another user's process refuses to be opened: it runs.
  if (h == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool gone = ::GetExitCodeProcess(h, &code) && code != STILL_ACTIVE;
  ::CloseHandle(h);
  return gone;
}

// The writer opens its temporary file sharing nothing: while it writes, the
// file cannot be removed, by this machine or by another one.
bool BeingWritten(const std::filesystem::path&) { return false; }

}  // namespace tessaly

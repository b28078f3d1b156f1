#include "io/file_state.h"

#include <windows.h>

#include <system_error>

#include "io/path_text.h"
#include "io/win32/system_text.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

// Opened with no access at all, so that a file another program holds open
// without sharing can still be examined. Folders need the backup flag.
HANDLE OpenForInfo(const fs::path& path, bool followLinks) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!followLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
}

bool IsMissing(DWORD err) {
  return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_INVALID_NAME ||
         err == ERROR_BAD_NETPATH;
}

FileState StateOf(const fs::path& path, bool followLinks) {
  FileState s;
  HANDLE h = OpenForInfo(path, followLinks);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    if (IsMissing(err)) return s;
    s.kind = FileState::kUnknown;
    s.error = win32::ErrorText(err);
    return s;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = ::GetFileType(h);
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  const DWORD err = ::GetLastError();
  ::CloseHandle(h);
  if (type != FILE_TYPE_DISK) {
    s.kind = FileState::kOther;
    return s;
  }
  if (!ok) {
    s.kind = FileState::kUnknown;
    s.error = win32::ErrorText(err);
    return s;
  }
  const DWORD a = info.dwFileAttributes;
  s.kind = (!followLinks && (a & FILE_ATTRIBUTE_REPARSE_POINT)) ? FileState::kOther
           : (a & FILE_ATTRIBUTE_DIRECTORY)                     ? FileState::kFolder
                                                                : FileState::kRegular;
  // The read-only attribute is this system's "all write bits clear".
  s.readOnly = (a & FILE_ATTRIBUTE_READONLY) != 0;
  return s;
}

// A file's identity is its volume and its index on that volume; the C
// library's st_ino is always 0 here and would make every file the same.
bool Identity(const fs::path& path, DWORD& volume, std::uint64_t& index) {
  HANDLE h = OpenForInfo(path, true);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (!ok) return false;
  volume = info.dwVolumeSerialNumber;
  index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace

FileState Inspect(const fs::path& path) {
  return StateOf(path, true);
}

FileState InspectLink(const fs::path& path) {
  return StateOf(path, false);
}

bool SameFile(const fs::path& a, const fs::path& b) {
  DWORD va = 0, vb = 0;
  std::uint64_t ia = 0, ib = 0;
  return Identity(a, va, ia) && Identity(b, vb, ib) && va == vb && ia == ib;
}

std::string FileKey(const fs::path& p) {
  DWORD volume = 0;
  std::uint64_t index = 0;
  if (Identity(p, volume, index)) return "i" + std::to_string(volume) + ":" + std::to_string(index);
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(p, ec), ec);
  if (ec) full = fs::absolute(p, ec).lexically_normal();
  // Names differing only in case name one file here.
  std::wstring w = full.make_preferred().wstring();
  if (!w.empty()) ::CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
  return "p" + PathToUtf8(fs::path(w));
}

}  // namespace tessaly

#include "io/files.h"
#include "io/raw_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "io/path_text.h"
#include "io/win32/system_text.h"

namespace tessaly {
namespace fs = std::filesystem;
using win32::LastErrorText;
namespace {

HANDLE H(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}
std::intptr_t Fd(HANDLE h) {
  return reinterpret_cast<std::intptr_t>(h);
}

// Another program may hold the file open for writing or renaming; reading it
// must not stop it, and our reading must not be stopped by it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenForReading(const fs::path& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// A regular file on a disk (not a folder, a pipe or a device), with its size.
bool IsRegular(HANDLE h, std::uint64_t& size, Message& error) {
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    error = Message("not a regular file");
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) {
    error = Message("cannot read: {system}").Set("system", LastErrorText());
    return false;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = Message("not a regular file");
    return false;
  }
  size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

// One ReadFile takes at most a DWORD's worth; answers -1 on failure.
long long ReadSome(HANDLE h, std::uint8_t* into, std::size_t n) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, DWORD{1} << 30));
  if (!::ReadFile(h, into, want, &got, nullptr)) return -1;
  return got;
}

void WriteAll(HANDLE h, const std::uint8_t* data, std::size_t n, const fs::path& what) {
  while (n > 0) {
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, DWORD{1} << 30));
    if (!::WriteFile(h, data, want, &done, nullptr) || done == 0)
      throw SystemFailure(WriteError::Step::kWrite, what, Message("cannot write {file}"), LastErrorText());
    data += done;
    n -= done;
  }
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ != -1 && fd_ != 0) ::CloseHandle(H(fd_));
}

std::string ErrnoText(int err) {
  return std::strerror(err);
}

WriteError SystemFailure(WriteError::Step step, const fs::path& file, Message what, const std::string& system) {
  what.Set("file", PathToUtf8(file));
  if (!system.empty()) what = Message("{what}: {system}").Set("what", std::move(what)).Set("system", system);
  return WriteError(step, PathToUtf8(file), system, std::move(what));
}

namespace raw {

std::intptr_t OpenRegular(const fs::path& path, std::uint64_t& size, Message& error) {
  HANDLE h = OpenForReading(path);
  if (h == INVALID_HANDLE_VALUE) {
    error = Message("cannot open: {system}").Set("system", LastErrorText());
    return -1;
  }
  if (!IsRegular(h, size, error)) {
    ::CloseHandle(h);
    return -1;
  }
  return Fd(h);
}

long long Read(std::intptr_t file, std::uint8_t* into, std::size_t n, Message& error) {
  const long long k = ReadSome(H(file), into, n);
  if (k < 0) error = Message("cannot read: {system}").Set("system", LastErrorText());
  return k;
}

void Close(std::intptr_t file) { ::CloseHandle(H(file)); }

bool ModificationTime(std::intptr_t file, std::int64_t& seconds, std::int64_t& nanoseconds,
                      Message& error) {
  FILETIME written{};
  if (!::GetFileTime(H(file), nullptr, nullptr, &written)) {
    error = Message("cannot read its time: {system}").Set("system", LastErrorText());
    return false;
  }
  win32::UnixFromFileTime(written, seconds, nanoseconds);
  return true;
}

}  // namespace raw

bool SyncPath(const fs::path& path) {
  // A folder cannot be flushed here; its entries reach the disk with the
  // write-through rename.
  const DWORD attrs = ::GetFileAttributesW(path.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return true;
  UniqueFd fd(Fd(::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)));
  return fd.get() != -1 && ::FlushFileBuffers(H(fd.get()));
}

AtomicFile::AtomicFile(const fs::path& target) : target_(target) {
  const DWORD attrs = ::GetFileAttributesW(target_.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES) {
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) throw SystemFailure(WriteError::Step::kTarget, target_, Message("{file} is a folder"));
    if (attrs & FILE_ATTRIBUTE_DEVICE) throw SystemFailure(WriteError::Step::kTarget, target_, Message("{file} is not a regular file"));
    if (attrs & FILE_ATTRIBUTE_READONLY) throw SystemFailure(WriteError::Step::kTarget, target_, Message("{file} is read-only"));
  } else {
    const DWORD err = ::GetLastError();
    if (err != ERROR_FILE_NOT_FOUND)
      throw SystemFailure(WriteError::Step::kTarget, target_, Message("cannot examine {file}"), win32::ErrorText(err));
  }
  fs::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  for (int attempt = 0; attempt < 100 && fd_ == -1; ++attempt) {
    wchar_t suffix[40];
    ::swprintf(suffix, 40, L".%lu.%08x.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
               static_cast<unsigned>(raw::UniqueNumber()));
    temp_ = dir / (L"." + target_.filename().wstring() + suffix);
    // No sharing: nobody reads a half-written file, nor removes it. Hidden
    // until it is complete, so that a user browsing the folder never sees it,
    // nor what a killed run left there.
    HANDLE h = ::CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      fd_ = Fd(h);
    } else if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      const std::string why = LastErrorText();
      temp_.clear();
      throw SystemFailure(WriteError::Step::kCreate, target_, Message("cannot create a file in {folder}").Set("folder", PathToUtf8(dir)), why);
    }
  }
  if (fd_ == -1) {
    temp_.clear();
    throw SystemFailure(WriteError::Step::kCreate, target_, Message("cannot create a temporary file in {folder}").Set("folder", PathToUtf8(dir)));
  }
}

AtomicFile::~AtomicFile() {
  Discard();
}

void AtomicFile::Discard() {
  if (fd_ != -1) {
    ::CloseHandle(H(fd_));
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::DeleteFileW(temp_.c_str());
    temp_.clear();
  }
}

void AtomicFile::Write(const std::uint8_t* data, std::size_t n) {
  if (fd_ == -1 || finished_) throw SystemFailure(WriteError::Step::kWrite, target_, Message("write after the file was closed"));
  WriteAll(H(fd_), data, n, target_);
  written_ += n;
}

void AtomicFile::SetModificationTime(std::int64_t seconds, std::int64_t nanoseconds) {
  if (fd_ == -1 || finished_) throw SystemFailure(WriteError::Step::kWrite, target_, Message("the file was closed"));
  const FILETIME ft = win32::FileTimeFromUnix(seconds, nanoseconds);
  if (!::SetFileTime(H(fd_), nullptr, nullptr, &ft))
    throw SystemFailure(WriteError::Step::kAttributes, target_, Message("cannot set the time of {file}"), LastErrorText());
}

void AtomicFile::MakeWritable() {
  // The temporary file was made without the read-only attribute, and the
  // rename keeps the attributes of the file renamed.
  if (fd_ == -1 || finished_) throw SystemFailure(WriteError::Step::kWrite, target_, Message("the file was closed"));
}

void AtomicFile::Finish() {
  if (finished_) return;
  if (fd_ == -1) throw SystemFailure(WriteError::Step::kWrite, target_, Message("the file was closed"));
  // Shown again before the rename, which keeps the attributes; the times set
  // stay as they are (zero leaves them).
  FILE_BASIC_INFO shown{};
  shown.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(H(fd_), FileBasicInfo, &shown, sizeof shown))
    throw SystemFailure(WriteError::Step::kAttributes, target_, Message("cannot set permissions"), LastErrorText());
  if (!::FlushFileBuffers(H(fd_)))
    throw SystemFailure(WriteError::Step::kFlush, target_, Message("cannot flush {file} to disk"), LastErrorText());
  HANDLE h = H(fd_);
  fd_ = -1;
  if (!::CloseHandle(h))
    throw SystemFailure(WriteError::Step::kWrite, target_, Message("cannot write {file}"), LastErrorText());
  finished_ = true;
}

void AtomicFile::Commit() {
  FolderFlushes none;
  Commit(none);
}

// The write-through rename has put the name on disk: no folder is left to flush.
void AtomicFile::Commit(FolderFlushes&) {
  Finish();
  if (temp_.empty()) throw SystemFailure(WriteError::Step::kReplace, target_, Message("the file was already put in place"));
  // A plain rename refuses an existing target here; this one replaces it, and
  // returns only when the new name is on disk. A target that another program
  // holds open without sharing is refused, and then stays as it was.
  if (!::MoveFileExW(temp_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    std::string why = win32::ErrorText(err);
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_ACCESS_DENIED || err == ERROR_LOCK_VIOLATION)
      why += " (is it open in another program?)";
    throw SystemFailure(WriteError::Step::kReplace, target_, Message("cannot replace {file}"), why);
  }
  temp_.clear();
}

void WriteWholeFile(const fs::path& path, std::span<const std::uint8_t> data) {
  // The working folder is under the user's own temporary folder, which only
  // the user may read; a link there is replaced, never followed.
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw SystemFailure(WriteError::Step::kCreate, path, Message("cannot create {file}"), LastErrorText());
  try {
    WriteAll(h, data.data(), data.size(), path);
  } catch (const WriteError&) {
    ::CloseHandle(h);
    ::DeleteFileW(path.c_str());
    throw;
  }
  if (!::CloseHandle(h)) {
    const std::string why = LastErrorText();
    ::DeleteFileW(path.c_str());
    throw SystemFailure(WriteError::Step::kWrite, path, Message("cannot write {file}"), why);
  }
}

void RemoveFileQuietly(const fs::path& path) {
  const DWORD attrs = ::GetFileAttributesW(path.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY))
    ::DeleteFileW(path.c_str());
}

}  // namespace tessaly

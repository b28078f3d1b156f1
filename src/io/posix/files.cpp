#include "io/files.h"
#include "io/path_text.h"
#include "io/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tessaly {
namespace fs = std::filesystem;
UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

std::string ErrnoText(int err) { return std::strerror(err); }

WriteError SystemFailure(WriteError::Step step, const fs::path& file, Message what, const std::string& system) {
  what.Set("file", PathToUtf8(file));
  if (!system.empty()) what = Message("{what}: {system}").Set("what", std::move(what)).Set("system", system);
  return WriteError(step, PathToUtf8(file), system, std::move(what));
}

namespace raw {

std::intptr_t OpenRegular(const fs::path& path, std::uint64_t& size, Message& error) {
  // Non-blocking, so that a named pipe never makes us wait; such a file is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = Message("cannot open: {system}").Set("system", ErrnoText(errno));
    return -1;
  }
  struct stat st {};
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    error = stated ? Message("not a regular file") : Message("cannot read: {system}").Set("system", ErrnoText(errno));
    ::close(fd);
    return -1;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

long long Read(std::intptr_t file, std::uint8_t* into, std::size_t n, Message& error) {
  while (true) {
    const ssize_t k = ::read(static_cast<int>(file), into, n);
    if (k >= 0) return k;
    if (errno != EINTR) {
      error = Message("cannot read: {system}").Set("system", ErrnoText(errno));
      return -1;
    }
  }
}

void Close(std::intptr_t file) { ::close(static_cast<int>(file)); }

bool ModificationTime(std::intptr_t file, std::int64_t& seconds, std::int64_t& nanoseconds,
                      Message& error) {
  struct stat st {};
  if (::fstat(static_cast<int>(file), &st) != 0) {
    error = Message("cannot read its time: {system}").Set("system", ErrnoText(errno));
    return false;
  }
  seconds = st.st_mtim.tv_sec;
  nanoseconds = st.st_mtim.tv_nsec;
  return true;
}

}  // namespace raw

bool SyncPath(const fs::path& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

AtomicFile::AtomicFile(const fs::path& target) : target_(target) {
  std::error_code ec;
  // A link is replaced at the file it points to, never turned into a file itself,
  // also when that file does not exist yet. A relative link is relative to the
  // folder that holds it, as the system reads it.
  for (int depth = 0; fs::is_symlink(fs::symlink_status(target_, ec)); ++depth) {
    if (depth == 40) throw SystemFailure(WriteError::Step::kTarget, target, Message("too many levels of links at {file}"));
    fs::path to = fs::read_symlink(target_, ec);
    if (ec) throw SystemFailure(WriteError::Step::kTarget, target, Message("cannot resolve the link {file}"), ec.message());
    target_ = to.is_absolute() ? to : target_.parent_path() / to;
  }
  struct stat st {};
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) throw SystemFailure(WriteError::Step::kTarget, target_, Message("{file} is a folder"));
    if (!S_ISREG(st.st_mode)) throw SystemFailure(WriteError::Step::kTarget, target_, Message("{file} is not a regular file"));
    // Root would be allowed to write anyway; a file marked read-only stays as it is.
    if ((st.st_mode & 0222) == 0) throw SystemFailure(WriteError::Step::kTarget, target_, Message("{file} is read-only"));
  } else if (errno != ENOENT) {
    throw SystemFailure(WriteError::Step::kTarget, target_, Message("cannot examine {file}"), ErrnoText(errno));
  }
  fs::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%d.%08x.tmp", static_cast<int>(::getpid()), raw::UniqueNumber());
    temp_ = dir / ("." + target_.filename().string() + suffix);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) {
      int err = errno;
      temp_.clear();
      throw SystemFailure(WriteError::Step::kCreate, target_, Message("cannot create a file in {folder}").Set("folder", PathToUtf8(dir)), ErrnoText(err));
    }
  }
  if (fd_ < 0) {
    temp_.clear();
    throw SystemFailure(WriteError::Step::kCreate, target_, Message("cannot create a temporary file in {folder}").Set("folder", PathToUtf8(dir)));
  }
  // Marked as being written while it is open: a later run that clears what
  // killed runs left (leftovers.h) leaves it alone, also from another machine
  // sharing the folder. Where the system keeps no such locks, the process
  // number in the name is the mark.
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  ::fcntl(fd_, F_OFD_SETLK, &lock);
  if (exists) {
    // The replaced file keeps its permission bits and, where allowed, its owner.
    if (::fchmod(fd_, st.st_mode & 07777) != 0) {
      int err = errno;
      Discard();
      throw SystemFailure(WriteError::Step::kAttributes, target_, Message("cannot set permissions"), ErrnoText(err));
    }
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
      // Not allowed for other users' files; the file is then ours, as any new file would be.
    }
  }
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

void AtomicFile::Write(const std::uint8_t* data, std::size_t n) {
  if (fd_ < 0 || finished_) throw SystemFailure(WriteError::Step::kWrite, target_, Message("write after the file was closed"));
  while (n > 0) {
    ssize_t k = ::write(fd_, data, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      throw SystemFailure(WriteError::Step::kWrite, target_, Message("cannot write {file}"), ErrnoText(err));
    }
    data += k;
    n -= static_cast<std::size_t>(k);
    written_ += static_cast<std::uint64_t>(k);
  }
#ifdef SYNC_FILE_RANGE_WRITE
  // Start writing what is complete to disk while the rest is still being made,
  // so that the flush at the end has little left to wait for.
  constexpr std::uint64_t kStep = std::uint64_t{8} << 20;
  if (written_ - started_ >= kStep) {
    ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                      SYNC_FILE_RANGE_WRITE);
    started_ = written_;
  }
#endif
}

void AtomicFile::SetModificationTime(std::int64_t seconds, std::int64_t nanoseconds) {
  if (fd_ < 0 || finished_) throw SystemFailure(WriteError::Step::kWrite, target_, Message("the file was closed"));
  const struct timespec times[2] = {{0, UTIME_OMIT},
                                    {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)}};
  if (::futimens(fd_, times) != 0)
    throw SystemFailure(WriteError::Step::kAttributes, target_, Message("cannot set the time of {file}"), ErrnoText(errno));
}

void AtomicFile::MakeWritable() {
  if (fd_ < 0 || finished_) throw SystemFailure(WriteError::Step::kWrite, target_, Message("the file was closed"));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || ((st.st_mode & S_IWUSR) == 0 &&
                                 ::fchmod(fd_, (st.st_mode & 07777) | S_IWUSR) != 0)) {
    throw SystemFailure(WriteError::Step::kAttributes, target_, Message("cannot make {file} writable"), ErrnoText(errno));
  }
}

void AtomicFile::Finish() {
  if (finished_) return;
  if (fd_ < 0) throw SystemFailure(WriteError::Step::kWrite, target_, Message("the file was closed"));
  if (::fsync(fd_) != 0)
    throw SystemFailure(WriteError::Step::kFlush, target_, Message("cannot flush {file} to disk"), ErrnoText(errno));
  int fd = fd_;
  fd_ = -1;
  // A file system may report a full disk only when the file is closed.
  if (::close(fd) != 0) throw SystemFailure(WriteError::Step::kWrite, target_, Message("cannot write {file}"), ErrnoText(errno));
  finished_ = true;
}

void AtomicFile::Commit(FolderFlushes& later) {
  Finish();
  if (temp_.empty()) throw SystemFailure(WriteError::Step::kReplace, target_, Message("the file was already put in place"));
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    throw SystemFailure(WriteError::Step::kReplace, target_, Message("cannot replace {file}"), ErrnoText(errno));
  }
  temp_.clear();
  later.Add(target_.parent_path());
}

void AtomicFile::Commit() {
  FolderFlushes now;
  Commit(now);
  now.FlushAll();
}

void WriteWholeFile(const fs::path& path, std::span<const std::uint8_t> data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) throw SystemFailure(WriteError::Step::kCreate, path, Message("cannot create {file}"), ErrnoText(errno));
  const std::uint8_t* p = data.data();
  std::size_t n = data.size();
  while (n > 0) {
    ssize_t k = ::write(fd, p, n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) {
      int err = errno;
      ::close(fd);
      ::unlink(path.c_str());
      throw SystemFailure(WriteError::Step::kWrite, path, Message("cannot write {file}"), ErrnoText(err));
    }
    p += k;
    n -= static_cast<std::size_t>(k);
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(path.c_str());
    throw SystemFailure(WriteError::Step::kWrite, path, Message("cannot write {file}"), ErrnoText(err));
  }
}

void RemoveFileQuietly(const fs::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(path.c_str());
}

}  // namespace tessaly

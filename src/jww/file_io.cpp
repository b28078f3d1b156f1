#include "jww/file_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace tessaly {
namespace fs = std::filesystem;
namespace {

std::atomic<std::int64_t> gFailAfter{-1};

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

std::string ErrnoText(int err) { return std::strerror(err); }

void SetWriteFailureAfterForTesting(std::optional<std::uint64_t> bytes) {
  gFailAfter = bytes ? static_cast<std::int64_t>(*bytes) : -1;
}

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

bool ReadWholeFile(const fs::path& path, std::vector<std::uint8_t>& out, std::string& error) {
  out.clear();
  // Non-blocking, so that a named pipe never makes us wait; such a file is refused below.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    error = "cannot open: " + ErrnoText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    error = "cannot read: " + ErrnoText(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return false;
  }
  try {
    // One byte more than the file holds, so that the end shows as an empty read
    // without growing (and copying) the buffer.
    out.reserve(static_cast<std::size_t>(st.st_size) + 1);
    AdviseHugePages(out.data(), out.capacity());
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
  } catch (const std::bad_alloc&) {
    error = "file too large to read into memory";
    return false;
  }
  std::size_t got = 0;
  while (true) {
    if (got == out.size()) out.resize(got + (got < 65536 ? 65536 : got / 2));  // the file grew
    ssize_t n = ::read(fd.get(), out.data() + got, out.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = "cannot read: " + ErrnoText(errno);
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return true;
}

bool FileStartsWith(const fs::path& path, std::string_view signature) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char buf[16];
  if (signature.size() > sizeof buf) return false;
  std::size_t got = 0;
  while (got < signature.size()) {
    ssize_t n = ::read(fd.get(), buf + got, signature.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return std::memcmp(buf, signature.data(), signature.size()) == 0;
}

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
    if (depth == 40) throw WriteError("too many levels of links at " + target.string());
    fs::path to = fs::read_symlink(target_, ec);
    if (ec) throw WriteError("cannot resolve the link " + target.string() + ": " + ec.message());
    target_ = to.is_absolute() ? to : target_.parent_path() / to;
  }
  struct stat st {};
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) throw WriteError("the target is not a regular file");
    // Root would be allowed to write anyway; a file marked read-only stays as it is.
    if ((st.st_mode & 0222) == 0) throw WriteError("the target is read-only");
  } else if (errno != ENOENT) {
    throw WriteError("cannot examine the target: " + ErrnoText(errno));
  }
  fs::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  std::random_device rd;
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%d.%08x.tmp", static_cast<int>(::getpid()), rd());
    temp_ = dir / ("." + target_.filename().string() + suffix);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) {
      int err = errno;
      temp_.clear();
      throw WriteError("cannot create a file in " + dir.string() + ": " + ErrnoText(err));
    }
  }
  if (fd_ < 0) {
    temp_.clear();
    throw WriteError("cannot create a temporary file in " + dir.string());
  }
  if (exists) {
    // The replaced file keeps its permission bits and, where allowed, its owner.
    if (::fchmod(fd_, st.st_mode & 07777) != 0) {
      int err = errno;
      Discard();
      throw WriteError("cannot set permissions: " + ErrnoText(err));
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
  if (fd_ < 0) throw WriteError("write after the file was closed");
  const std::int64_t failAfter = gFailAfter.load();
  if (failAfter >= 0 && written_ + n > static_cast<std::uint64_t>(failAfter)) {
    throw WriteError("write failed: " + ErrnoText(EIO) + " (injected)");
  }
  while (n > 0) {
    ssize_t k = ::write(fd_, data, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      throw WriteError("write failed: " + ErrnoText(errno));
    }
    data += k;
    n -= static_cast<std::size_t>(k);
    written_ += static_cast<std::uint64_t>(k);
  }
}

void AtomicFile::Commit() {
  if (fd_ < 0) throw WriteError("commit after the file was closed");
  if (::fsync(fd_) != 0) throw WriteError("cannot flush to disk: " + ErrnoText(errno));
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw WriteError("cannot close: " + ErrnoText(errno));
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    throw WriteError("cannot replace the target: " + ErrnoText(errno));
  }
  temp_.clear();
  fs::path dir = target_.parent_path();
  SyncPath(dir.empty() ? fs::path(".") : dir);
}

}  // namespace tessaly

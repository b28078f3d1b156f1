#include "io/leftovers.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace tessaly {

bool ProcessIsGone(std::uint64_t pid) {
  if (pid == static_cast<std::uint64_t>(::getpid())) return false;
  // No process has a number beyond the system's range; 0 is not a process.
  if (pid > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) return true;
  if (pid == 0) return false;
  // Another user's process answers EPERM: it runs.
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool BeingWritten(const std::filesystem::path& file) {
  // The writer holds a lock on the whole file while it writes (see AtomicFile);
  // locks of open file descriptions reach a network file system's server, so a
  // writer on another machine is seen as well.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

}  // namespace tessaly

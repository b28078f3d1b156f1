#include "io/page_warmer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

// Linux 5.14 and later; older systems answer EINVAL.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace tessaly::raw {

bool PopulateWrite(std::uintptr_t begin, std::size_t bytes) {
#ifdef __linux__
  if (::madvise(reinterpret_cast<void*>(begin), bytes, MADV_POPULATE_WRITE) == 0) return true;
  // Memory that is no longer mapped, or not writable, is simply not warmed.
  return errno != EINVAL && errno != ENOSYS;
#else
  (void)begin;
  (void)bytes;
  return false;
#endif
}

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace tessaly::raw

// No new thread in the process while one exists, as when the system's limit on
// threads is reached: a new thread's stack would be larger than the address
// space. What starts a thread must then do its work itself. Needs the GNU C
// library; armed() says whether it could be made here.
#pragma once

#if defined(__GLIBC__)
#include <pthread.h>
#endif

#include <cstddef>

namespace tessaly::test {

class NoNewThreads {
 public:
  NoNewThreads() {
#if defined(__GLIBC__)
    pthread_attr_t huge;
    if (::pthread_getattr_default_np(&old_) != 0 || ::pthread_attr_init(&huge) != 0) return;
    armed_ = ::pthread_attr_setstacksize(&huge, std::size_t{1} << 47) == 0 &&
             ::pthread_setattr_default_np(&huge) == 0;
    ::pthread_attr_destroy(&huge);
#endif
  }
  ~NoNewThreads() {
#if defined(__GLIBC__)
    if (armed_) ::pthread_setattr_default_np(&old_);
#endif
  }
  NoNewThreads(const NoNewThreads&) = delete;
  NoNewThreads& operator=(const NoNewThreads&) = delete;
  bool armed() const { return armed_; }

 private:
#if defined(__GLIBC__)
  pthread_attr_t old_{};
#endif
  bool armed_ = false;
};

}  // namespace tessaly::test

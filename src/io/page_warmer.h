// Fresh memory made present ahead of its first use, on a thread of its own.
//
// The first write to a page of fresh memory traps into the kernel, which hands
// out a page and clears it: for a large drawing this was a third of the load.
// A warmer asked for the memory that arrays are about to fill does that work
// on another processor while the parse goes on. It never writes the memory:
// the pages are only made present, so a request for memory that was freed or
// reused meanwhile is harmless. Where the system cannot do this, it does
// nothing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace tessaly {

class PageWarmer {
 public:
  PageWarmer() = default;
  ~PageWarmer();
  // A warmer holds nothing of value: a copy is a new, idle one, and assigning
  // keeps the warmer that is there (documents that own one stay copyable).
  PageWarmer(const PageWarmer&) : PageWarmer() {}
  PageWarmer& operator=(const PageWarmer&) { return *this; }

  // Makes the pages of [begin, begin + bytes) present soon; requests are served
  // in order. The thread starts with the first request.
  void Warm(const void* begin, std::size_t bytes);
  // Drops the requests not yet served.
  void Cancel();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<std::uintptr_t, std::uintptr_t>> requests_;  // [begin, end)
  bool stop_ = false;
  bool unavailable_ = false;  // no thread, or the system cannot warm pages
  std::thread thread_;
};

namespace raw {
// Makes the pages of a page-aligned range present and writable without writing
// them; false when the system cannot (then it never can).
bool PopulateWrite(std::uintptr_t begin, std::size_t bytes);
// The size of a page.
std::size_t PageSize();
}  // namespace raw

}  // namespace tessaly

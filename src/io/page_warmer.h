// Fresh memory made present ahead of its first use, on a thread of its own.
//
// The first write to a page of fresh memory traps into the kernel, which hands
// out a page and clears it: for a large drawing this was a third of the load.
// Told how far the arrays of a list are filled, the warmer makes the pages a
// little ahead of each fill present on another processor while the parse goes
// on, so that little is made present that the list does not take. It never
// writes the memory: the pages are only made present, so a request for memory
// that was freed or reused meanwhile is harmless. Where the system cannot do
// this, it does nothing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "archive/ports.h"

namespace tessaly {

class PageWarmer final : public FillHint {
 public:
  PageWarmer() = default;
  ~PageWarmer() override;
  PageWarmer(const PageWarmer&) = delete;
  PageWarmer& operator=(const PageWarmer&) = delete;

  void Filling(unsigned slot, const void* data, std::size_t used, std::size_t capacity) override;
  // Drops the requests not yet served.
  void Done() override;

  // Makes the pages of [begin, begin + bytes) present soon; requests are served
  // in order. The thread starts with the first request.
  void Warm(const void* begin, std::size_t bytes);

 private:
  void Run();

  // An array reserved smaller than this is left alone (a thread's wake-up
  // costs more than the faults it would save).
  static constexpr std::size_t kLarge = std::size_t{4} << 20;
  // How far ahead of an array's fill it is kept warm: more than the records of
  // a few hundred entities fill.
  static constexpr std::uintptr_t kAhead = std::uintptr_t{128} << 10;
  static constexpr unsigned kSlots = 8;
  std::uintptr_t warmed_[kSlots] = {};  // the caller's: how far each array is warmed

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

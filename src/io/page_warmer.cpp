#include "io/page_warmer.h"

#include <algorithm>
#include <exception>

namespace tessaly {
namespace {

// What one call makes present: small enough that a cancel takes effect soon.
constexpr std::uintptr_t kPiece = std::uintptr_t{256} << 10;

}  // namespace

PageWarmer::~PageWarmer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    requests_.clear();
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void PageWarmer::Warm(const void* begin, std::size_t bytes) {
  if (bytes == 0) return;
  const std::uintptr_t page = raw::PageSize();
  const auto b = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t first = b & ~(page - 1);
  const std::uintptr_t end = (b + bytes + page - 1) & ~(page - 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unavailable_) return;
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Run(); });
      } catch (const std::exception&) {
        unavailable_ = true;  // the parse faults its pages in itself, as without a warmer
        return;
      }
    }
    requests_.emplace_back(first, end);
  }
  wake_.notify_one();
}

void PageWarmer::Filling(unsigned slot, const void* data, std::size_t used, std::size_t capacity) {
  if (capacity < kLarge || slot >= kSlots) return;
  std::uintptr_t& warmed = warmed_[slot];
  const auto base = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t end = base + used;
  const std::uintptr_t cap = base + capacity;
  // A list's arrays begin empty: an array filled from nothing, or one that
  // moved, is warmed from its start.
  if (used == 0 || warmed < base || warmed > cap) warmed = base;
  if (warmed >= cap || warmed >= end + kAhead) return;
  const std::uintptr_t to = std::min(cap, end + 3 * kAhead);
  Warm(reinterpret_cast<const void*>(warmed), to - warmed);
  warmed = to;
}

void PageWarmer::Done() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }
  // What it reached is no longer the arrays being filled.
  for (auto& w : warmed_) w = 0;
}

void PageWarmer::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stop_ || !requests_.empty(); });
    if (stop_) return;
    auto& [begin, end] = requests_.front();
    const std::uintptr_t piece = begin;
    const std::uintptr_t to = end - begin > kPiece ? begin + kPiece : end;
    begin = to;
    if (begin == end) requests_.pop_front();
    lock.unlock();
    const bool ok = raw::PopulateWrite(piece, to - piece);
    lock.lock();
    if (!ok) {
      unavailable_ = true;
      requests_.clear();
    }
  }
}

}  // namespace tessaly

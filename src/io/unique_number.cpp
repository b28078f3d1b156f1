#include <atomic>
#include <cstdint>
#include <random>

#include "io/raw_file.h"

namespace tessaly::raw {

std::uint32_t UniqueNumber() {
  static std::atomic<std::uint64_t> state{(std::uint64_t{std::random_device{}()} << 32) ^
                                          std::random_device{}()};
  // A Weyl sequence through SplitMix64's mixing: every call a new value.
  std::uint64_t z = state.fetch_add(0x9E3779B97F4A7C15ull, std::memory_order_relaxed);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::uint32_t>(z ^ (z >> 31));
}

}  // namespace tessaly::raw

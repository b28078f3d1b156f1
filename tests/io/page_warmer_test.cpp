// Pages made present ahead of their use, without their contents changing.
#include "io/page_warmer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace tessaly {
namespace {

// The pages of [p, p + n) that are present.
std::size_t Present(const std::uint8_t* p, std::size_t n) {
  const std::size_t page = raw::PageSize();
  std::vector<unsigned char> in((n + page - 1) / page);
  if (::mincore(const_cast<std::uint8_t*>(p), n, in.data()) != 0) return 0;
  std::size_t k = 0;
  for (unsigned char c : in) k += c & 1;
  return k;
}

TEST(PageWarmer, MakesFreshPagesPresentAndWritesNothing) {
  const std::size_t page = raw::PageSize(), pages = 512, n = pages * page;
  void* m = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(m, MAP_FAILED);
  auto* p = static_cast<std::uint8_t*>(m);
  // The first half written, the second fresh.
  for (std::size_t i = 0; i < n / 2; ++i) p[i] = static_cast<std::uint8_t>(i * 13 + 1);
  ASSERT_EQ(Present(p + n / 2, n / 2), 0u);
  {
    PageWarmer warmer;
    warmer.Warm(p + 100, n - 200);  // not page-aligned: the pages around are warmed whole
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Present(p, n) < pages && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    if (Present(p, n) < pages && !raw::PopulateWrite(reinterpret_cast<std::uintptr_t>(p), page))
      GTEST_SKIP() << "the system cannot make pages present";
    EXPECT_EQ(Present(p, n), pages);
    // Memory that is gone by the time the warmer gets to it is no harm.
    void* gone = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(gone, MAP_FAILED);
    ASSERT_EQ(::munmap(gone, n), 0);
    warmer.Warm(gone, n);
    warmer.Done();
    warmer.Warm(gone, n);
  }
  for (std::size_t i = 0; i < n / 2; ++i) ASSERT_EQ(p[i], static_cast<std::uint8_t>(i * 13 + 1)) << i;
  for (std::size_t i = n / 2; i < n; ++i) ASSERT_EQ(p[i], 0) << i;
  ::munmap(m, n);
}

}  // namespace
}  // namespace tessaly

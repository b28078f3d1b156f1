// Work beside the caller: one job at a time on a thread of its own, and the
// source and the sink that read ahead and write behind with it. Where no thread
// can be made each says so, and the caller does the work itself.
#include "io/background.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/reader.h"
#include "archive/writer.h"
#include "io/overlap.h"
#include "support/no_threads.h"

namespace tessaly {
namespace {

TEST(BackgroundJob, RunsJobsInOrderAndHandsOverWhatOneThrew) {
  BackgroundJob job;
  std::vector<int> done;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(job.Start([&done, i] { done.push_back(i); }));
  EXPECT_TRUE(job.Busy());
  job.Wait();
  EXPECT_FALSE(job.Busy());
  EXPECT_EQ(done, (std::vector<int>{0, 1, 2}));  // each Start waited for the job before

  // A failure is thrown by the Wait that follows it, once; the thread goes on.
  ASSERT_TRUE(job.Start([] { throw WriteError(Message("disk full")); }));
  EXPECT_THROW(job.Wait(), WriteError);
  job.Wait();  // nothing left to throw
  ASSERT_TRUE(job.Start([&done] { done.push_back(3); }));
  ASSERT_TRUE(job.Start([] { throw std::runtime_error("second"); }));  // the Start waits for the first
  EXPECT_THROW(job.Wait(), std::runtime_error);
  EXPECT_EQ(done.back(), 3);

  // Gone with a job in progress: it is waited for, and what it throws dropped.
  std::atomic<bool> ran{false};
  {
    BackgroundJob last;
    ASSERT_TRUE(last.Start([&ran] {
      ran = true;
      throw WriteError(Message("dropped"));
    }));
  }
  EXPECT_TRUE(ran);
}

TEST(BackgroundJob, WithoutAThreadStartSaysSo) {
  test::NoNewThreads none;
  if (!none.armed()) GTEST_SKIP() << "threads cannot be withheld here";
  BackgroundJob job;
  bool ran = false;
  EXPECT_FALSE(job.Start([&ran] { ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_FALSE(job.Busy());
  job.Wait();  // nothing to wait for
}

// A sink that keeps what it is given and can be told to fail.
class Collecting : public ByteSink {
 public:
  void Write(const std::uint8_t* data, std::size_t n) override {
    if (fail) throw WriteError(WriteError::Step::kWrite, "out", "No space left on device", Message("cannot write out"));
    bytes.append(reinterpret_cast<const char*>(data), n);
  }
  std::string bytes;
  bool fail = false;
};

TEST(WritingBehind, BlocksArriveInOrderAndAFailureComesBackOnce) {
  Collecting next;
  WritingBehind behind(next);
  const std::string a = "first block", b = "second";
  ASSERT_TRUE(behind.BeginWrite(reinterpret_cast<const std::uint8_t*>(a.data()), a.size()));
  behind.Write(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());  // after the one behind
  behind.EndWrite();
  EXPECT_EQ(next.bytes, a + b);

  next.fail = true;
  ASSERT_TRUE(behind.BeginWrite(reinterpret_cast<const std::uint8_t*>(a.data()), a.size()));
  try {
    behind.EndWrite();
    FAIL() << "the failure behind was lost";
  } catch (const WriteError& e) {
    EXPECT_EQ(e.step(), WriteError::Step::kWrite);
    EXPECT_EQ(e.system(), "No space left on device");
  }
  behind.EndWrite();
}

// A source of a pattern of bytes, read in order.
class Pattern : public ByteSource {
 public:
  explicit Pattern(std::size_t size) : size_(size) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override {
    std::size_t k = 0;
    for (; k < n && at_ < size_; ++k, ++at_) into[k] = Byte(at_);
    return k;
  }
  Message Why() const override { return Message("the end"); }
  static std::uint8_t Byte(std::size_t i) { return static_cast<std::uint8_t>(i * 31 + i / 977); }

 private:
  std::size_t size_, at_ = 0;
};

TEST(ReadingAhead, AReadDuringAReadAheadIsRefused) {
  Pattern next(100);
  ReadingAhead ahead(next);
  std::uint8_t a[10], b[10];
  ASSERT_TRUE(ahead.BeginRead(a, sizeof a));
  EXPECT_THROW(ahead.Read(b, sizeof b), std::logic_error);
  EXPECT_EQ(ahead.EndRead(), sizeof a);
  EXPECT_EQ(ahead.Read(b, sizeof b), sizeof b);
  EXPECT_EQ(b[0], Pattern::Byte(10));
}

// The reader and the writer over sources and sinks that read ahead and write
// behind give the bytes they give without them, also where no thread can be
// made (they read and write themselves then).
TEST(Overlap, TheBytesAreTheSameWithAndWithoutThreads) {
  constexpr std::size_t kSize = 300000, kWindow = 4096;
  std::string expected(kSize, '\0');
  for (std::size_t i = 0; i < kSize; ++i) expected[i] = static_cast<char>(Pattern::Byte(i));
  for (const bool threads : {true, false}) {
    SCOPED_TRACE(threads ? "with threads" : "without");
    std::optional<test::NoNewThreads> none;
    if (!threads) {
      none.emplace();
      if (!none->armed()) GTEST_SKIP() << "threads cannot be withheld here";
    }
    Pattern next(kSize);
    ReadingAhead ahead(next);
    Collecting out;
    WritingBehind behind(out);
    {
      ArchiveReader r(ahead, kSize, kWindow);
      ArchiveWriter w(behind, kWindow);
      for (std::size_t i = 0; !r.atEnd(); ++i) {
        const std::size_t n = std::min<std::size_t>(1 + i * 7 % 5000, r.remaining());
        const ArchiveReader::View v = r.bytes(n);
        w.bytes(v.data(), v.size());
      }
      w.Flush();
    }
    EXPECT_TRUE(out.bytes == expected);
  }
}

}  // namespace
}  // namespace tessaly

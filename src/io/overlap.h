// Reading and writing beside the caller: a source that reads the next block
// while the one before is parsed, and a sink that writes a block while the
// next one is made. Each puts a thread of its own between the parse and a file
// (a quarter of a large load went to the system's copying of the file, a third
// of a large save to handing its bytes to the system).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/ports.h"
#include "io/background.h"

namespace tessaly {

// Reads `next` ahead: BeginRead reads into the caller's block on the thread.
// Why waits for a read in progress first; Read during one is a logic error.
class ReadingAhead final : public ByteSource {
 public:
  explicit ReadingAhead(ByteSource& next) : next_(next) {}
  ~ReadingAhead() override;  // waits for a read in progress

  std::size_t Read(std::uint8_t* into, std::size_t n) override;
  Message Why() const override;
  bool BeginRead(std::uint8_t* into, std::size_t n) override;
  std::size_t EndRead() override;

 private:
  ByteSource& next_;
  std::size_t got_ = 0;
  mutable BackgroundJob job_;  // last: waited for before the rest goes
};

// Writes to `next` behind: BeginWrite writes the caller's block on the thread,
// EndWrite throws what it failed with. Write waits for a write in progress
// first, so the blocks reach `next` in order.
class WritingBehind final : public ByteSink {
 public:
  explicit WritingBehind(ByteSink& next) : next_(next) {}
  ~WritingBehind() override;  // waits for a write in progress; its failure is dropped

  void Write(const std::uint8_t* data, std::size_t n) override;
  bool BeginWrite(const std::uint8_t* data, std::size_t n) override;
  void EndWrite() override;

 private:
  ByteSink& next_;
  BackgroundJob job_;
};

}  // namespace tessaly

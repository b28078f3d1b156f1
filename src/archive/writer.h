// Building a serialised archive: values are collected in one buffer and handed to
// a sink in large blocks, never byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/ports.h"
#include "text/jstring.h"

namespace tessaly {

class ArchiveWriter {
 public:
  // Once the output is larger than the buffer, a sink that writes beside its
  // caller is handed each full buffer while the next one fills (handing a large
  // file's bytes to the system took a third of its save). A failure there is
  // thrown by the next call that hands a buffer on.
  explicit ArchiveWriter(ByteSink& sink, std::size_t bufferSize = 1 << 20);
  // Waits for a write in progress; what is still buffered is not written
  // (Flush is explicit: a failed save must not write on).
  ~ArchiveWriter();
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  void u8(std::uint8_t v) { Put(v); }
  void u16(std::uint16_t v) { Put(v); }
  void u32(std::uint32_t v) { Put(v); }
  void i32(std::int32_t v) { Put(v); }
  void f64(double v) { Put(v); }
  void bytes(const void* data, std::size_t n);
  void zeros(std::size_t n);

  // A string in the archive's encoding, in the form it has (Shift-JIS, or the
  // Unicode form with the shortest length encoding).
  void string(const JString& s);
  // The string as SanitizeForWrite leaves it, without a copy when it is clean.
  void cleanString(const JString& s);
  void count(std::uint32_t c) {
    if (c < 0xFFFF) {
      u16(static_cast<std::uint16_t>(c));
    } else {
      u16(0xFFFF);
      u32(c);
    }
  }
  void classRef(std::uint32_t index) {
    if (index < 0x7FFF) {
      u16(static_cast<std::uint16_t>(0x8000 + index));
    } else {
      u16(0x7FFF);
      u32(0x80000000u + index);
    }
  }
  void newClass(std::uint16_t schema, std::string_view name);

  // Room for n more bytes in the buffer (n at most its size), for a record walk
  // that writes a run of fields through a pointer of its own: one room check
  // per run instead of one per field, and no store through the buffer that the
  // compiler must assume may change this writer's own members (which made every
  // field wait for the one before). Commit(end) keeps what was written up to
  // `end`; any other call on the writer may move the buffer in between.
  std::uint8_t* Room(std::size_t n) {
    if (size_ - used_ < n) Spill();
    return buf_.get() + used_;
  }
  void Commit(const std::uint8_t* end) { used_ = static_cast<std::size_t>(end - buf_.get()); }

  // Hands everything buffered to the sink and waits until it is written.
  void Flush();
  std::uint64_t written() const { return flushed_ + used_; }

 private:
  template <typename T>
  void Put(T v) {
    if (size_ - used_ < sizeof(T)) Spill();
    std::memcpy(buf_.get() + used_, &v, sizeof(T));
    used_ += sizeof(T);
  }
  // Hands the full buffer on: to the sink, or to the job behind.
  void Spill();
  void Hand(bool last);

  ByteSink& sink_;
  // Not cleared when made: only what is written is ever touched, so a small
  // file does not pay for the whole buffer.
  std::size_t size_;
  std::unique_ptr<std::uint8_t[]> buf_;
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;

  // Writing behind: the buffer the sink has while buf_ fills.
  bool behind_ = true;    // until the sink says it cannot
  bool pending_ = false;  // other_ is the sink's until EndWrite
  std::unique_ptr<std::uint8_t[]> other_;
};

}  // namespace tessaly

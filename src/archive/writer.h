// Building a serialised archive: values are collected in one buffer and handed to
// a sink in large blocks, never byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <memory>
#include <vector>

#include "io/bytes.h"
#include "text/jstring.h"

namespace tessaly {

class ArchiveWriter {
 public:
  explicit ArchiveWriter(ByteSink& sink, std::size_t bufferSize = 1 << 20);
  ~ArchiveWriter() = default;  // Flush is explicit: a failed save must not write on
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

  // Hands everything buffered to the sink.
  void Flush();
  std::uint64_t written() const { return flushed_ + used_; }

 private:
  template <typename T>
  void Put(T v) {
    if (size_ - used_ < sizeof(T)) Flush();
    std::memcpy(buf_.get() + used_, &v, sizeof(T));
    used_ += sizeof(T);
  }

  ByteSink& sink_;
  // Not cleared when made: only what is written is ever touched, so a small
  // file does not pay for the whole buffer.
  std::size_t size_;
  std::unique_ptr<std::uint8_t[]> buf_;
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;
};

}  // namespace tessaly

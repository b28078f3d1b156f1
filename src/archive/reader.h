// Bounds-checked reading of a serialised archive held whole in memory.
//
// Every read passes one gate (`Require`) and the position moves only after it
// passed, so a truncated or hostile file can never make a read leave the buffer.
// Failures are thrown as FormatError, which carries the byte offset; the document
// classes catch it and turn it into a failed load with a reason.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "io/bytes.h"
#include "text/jstring.h"

namespace tessaly {

class FormatError : public std::runtime_error {
 public:
  FormatError(std::size_t offset, const std::string& what)
      : std::runtime_error(what), offset_(offset) {}
  std::size_t offset() const { return offset_; }

 private:
  std::size_t offset_;
};

class ArchiveReader {
 public:
  explicit ArchiveReader(std::span<const std::uint8_t> data) : data_(data), ready_(data.size()) {}
  // `data` fills from the start while it is read; `source` says how far.
  ArchiveReader(std::span<const std::uint8_t> data, ByteSource& source)
      : data_(data), source_(&source), ready_(0) {}

  std::size_t offset() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ == data_.size(); }

  std::uint8_t u8() { return Take<std::uint8_t>(); }
  std::uint16_t u16() { return Take<std::uint16_t>(); }
  std::uint32_t u32() { return Take<std::uint32_t>(); }
  std::int32_t i32() { return Take<std::int32_t>(); }
  double f64() { return Take<double>(); }

  // The next n bytes, in place.
  std::span<const std::uint8_t> bytes(std::size_t n) {
    Require(n);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void skip(std::size_t n) { bytes(n); }

  // A string in the archive's encoding, bytes unchanged: a Shift-JIS string with
  // a one-byte length (0xFF then uint16 for 255 and more), or the Unicode form
  // (0xFF, uint16 0xFFFE, then a length in UTF-16 units: uint8; 0xFF then uint16;
  // 0xFFFF then uint32).
  JString rawString();
  // rawString with control characters and a trailing lone lead byte dropped.
  JString string();

  // True when the next bytes are `prefix`; the position does not move.
  bool startsWith(std::string_view prefix) const {
    if (remaining() < prefix.size()) return false;
    Require(prefix.size());
    return std::memcmp(data_.data() + pos_, prefix.data(), prefix.size()) == 0;
  }

  // A list length: uint16, or 0xFFFF followed by uint32.
  std::uint32_t count();

  // Fails unless n more bytes are there.
  void Require(std::size_t n) const {
    if (n > remaining()) Fail(n);
    if (pos_ + n > ready_) Wait(pos_ + n);
  }
  [[noreturn]] void Fail(std::size_t need) const;
  void Wait(std::size_t end) const;
  [[noreturn]] void Error(const std::string& what) const { throw FormatError(pos_, what); }

 private:
  template <typename T>
  T Take() {
    Require(sizeof(T));
    T v;
    std::memcpy(&v, data_.data() + pos_, sizeof(T));  // the archive is little-endian, as is the host
    pos_ += sizeof(T);
    return v;
  }

  std::span<const std::uint8_t> data_;
  ByteSource* source_ = nullptr;
  mutable std::size_t ready_;  // bytes from the start known to be there
  std::size_t pos_ = 0;
};

static_assert(std::endian::native == std::endian::little, "the archive is read in place as little-endian");

}  // namespace tessaly

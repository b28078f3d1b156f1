// Bounds-checked reading of a serialised archive, held whole in memory or read
// from a stream as it is parsed.
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
#include <memory>
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
  // An archive held whole in memory.
  explicit ArchiveReader(std::span<const std::uint8_t> data);
  // An archive of `size` bytes read from `source` as the parse goes: only a
  // window of it is in memory, `window` bytes or, for one read of more, as much
  // as that read takes. An archive of four windows and more is read ahead, the
  // next window by a thread of the reader's own while this one is parsed: the
  // source is read until the reader is gone.
  ArchiveReader(ByteSource& source, std::size_t size, std::size_t window = std::size_t{1} << 20);
  ~ArchiveReader();  // waits for a read ahead in progress
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  std::size_t offset() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ == size_; }

  std::uint8_t u8() { return Take<std::uint8_t>(); }
  std::uint16_t u16() { return Take<std::uint16_t>(); }
  std::uint32_t u32() { return Take<std::uint32_t>(); }
  std::int32_t i32() { return Take<std::int32_t>(); }
  double f64() { return Take<double>(); }

  // The next n bytes, in place: valid until the next read.
  std::span<const std::uint8_t> bytes(std::size_t n) {
    Require(n);
    std::span<const std::uint8_t> s(At(), n);
    pos_ += n;
    return s;
  }
  void skip(std::size_t n);

  // The next n bytes (n at most remaining()), in place, without moving: valid
  // until the next read that moves the window (any read but Consume). A record
  // walk checks a run of fields once this way and Consumes what it took.
  const std::uint8_t* Peek(std::size_t n) {
    Require(n);
    return At();
  }
  // Moves past n bytes of the last Peek.
  void Consume(std::size_t n) { pos_ += n; }

  // A string in the archive's encoding, bytes unchanged: a Shift-JIS string with
  // a one-byte length (0xFF then uint16 for 255 and more), or the Unicode form
  // (0xFF, uint16 0xFFFE, then a length in UTF-16 units: uint8; 0xFF then uint16;
  // 0xFFFF then uint32).
  JString rawString() {
    JString s;
    rawString(s);
    return s;
  }
  // rawString with control characters and a trailing lone lead byte dropped.
  JString string() {
    JString s;
    string(s);
    return s;
  }
  // The same into a string that is there, reusing its room (a drawing's header
  // alone holds 562 strings).
  void rawString(JString& into);
  void string(JString& into);

  // True when the next bytes are `prefix`; the position does not move.
  bool startsWith(std::string_view prefix) {
    if (remaining() < prefix.size()) return false;
    Require(prefix.size());
    return std::memcmp(At(), prefix.data(), prefix.size()) == 0;
  }

  // A list length: uint16, or 0xFFFF followed by uint32.
  std::uint32_t count();

  // Fails unless n more bytes are there.
  void Require(std::size_t n) {
    if (n > remaining()) Fail(n);
    if (pos_ + n > windowEnd_) Fill(n);
  }
  [[noreturn]] void Fail(std::size_t need) const;
  [[noreturn]] void Error(const std::string& what) const { throw FormatError(pos_, what); }

 private:
  template <typename T>
  T Take() {
    Require(sizeof(T));
    T v;
    std::memcpy(&v, At(), sizeof(T));  // the archive is little-endian, as is the host
    pos_ += sizeof(T);
    return v;
  }
  const std::uint8_t* At() const { return data_ + (pos_ - windowStart_); }
  // Moves the window so that it holds the n bytes from the position on.
  void Fill(std::size_t n);
  // The next window read ahead, when it is there and holds the n bytes: put in
  // place of this one without copying it. False when Fill must read itself.
  bool TakeAhead(std::size_t n);
  // Starts reading the window after this one.
  void ReadAhead();

  const std::uint8_t* data_ = nullptr;  // the byte at windowStart_
  std::size_t windowStart_ = 0;         // offsets in the archive
  std::size_t windowEnd_ = 0;
  std::size_t pos_ = 0;
  ByteSource* source_ = nullptr;
  std::size_t size_;
  std::size_t window_ = 0;
  std::unique_ptr<std::uint8_t[]> own_;  // the window's room when reading from a source
  std::size_t capacity_ = 0;
  class Ahead;
  std::unique_ptr<Ahead> ahead_;  // reading ahead, for a large source
};

static_assert(std::endian::native == std::endian::little, "the archive is read in place as little-endian");

}  // namespace tessaly

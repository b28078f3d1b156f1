// Bounds-checked reading of a serialised archive, held whole in memory or read
// from a source as it is parsed.
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
#include <utility>

#include "archive/ports.h"
#include "text/jstring.h"

namespace tessaly {

// Why the bytes could not be read as the format: where, and what, with the
// record it was found in once a caller has named it.
class FormatError : public std::runtime_error {
 public:
  enum class Kind : std::uint8_t {
    kTruncated,   // the bytes end before the field does
    kMalformed,   // a value the format does not allow
    kUnreadable,  // the source could not give its bytes (the system's words)
    kTooOld,      // a version older than the oldest the format knows
    kNoLayout,    // a version whose layout is not defined
  };

  FormatError(Kind kind, std::size_t offset, Message detail, std::string system = {})
      : FormatError(kind, offset, std::move(detail), std::move(system), {}) {}

  // The same failure found within `record` ("main list, entity 3 of 10, line");
  // a record already named is kept (the innermost names it best).
  FormatError In(Message record) const {
    return record_.empty() ? FormatError(kind_, offset_, detail_, system_, std::move(record)) : *this;
  }

  Kind kind() const { return kind_; }
  std::size_t offset() const { return offset_; }
  // What was found, without the record.
  const Message& detail() const { return detail_; }
  const Message& record() const { return record_; }
  const std::string& system() const { return system_; }
  // What was found and where: "{detail} ({record})".
  Message Whole() const { return Whole(detail_, record_); }

 private:
  FormatError(Kind kind, std::size_t offset, Message detail, std::string system, Message record)
      : std::runtime_error(Whole(detail, record).English()),
        kind_(kind), offset_(offset), detail_(std::move(detail)), record_(std::move(record)),
        system_(std::move(system)) {}
  static Message Whole(const Message& detail, const Message& record) {
    if (record.empty()) return detail;
    return Message("{detail} ({record})").Set("detail", detail).Set("record", record);
  }

  Kind kind_;
  std::size_t offset_;
  Message detail_;
  Message record_;
  std::string system_;
};

class ArchiveReader {
 public:
  // Bytes of the archive in place. While a view lives the reader's window stays
  // where it is: a read that would move it is a logic error, thrown as such. So
  // a window that is handed back to be read into again (reading ahead) is never
  // one a view can still reach. The bytes are reached through a named view only
  // (the accessors are for lvalues), so that a view cannot end before the
  // expression that uses its bytes.
  class View {
   public:
    View() = default;
    View(View&& o) noexcept : r_(std::exchange(o.r_, nullptr)), data_(o.data_), size_(o.size_) {}
    View& operator=(View&& o) noexcept {
      if (this != &o) {
        Release();
        r_ = std::exchange(o.r_, nullptr);
        data_ = o.data_;
        size_ = o.size_;
      }
      return *this;
    }
    ~View() { Release(); }

    const std::uint8_t* data() const& { return data_; }
    std::size_t size() const& { return size_; }
    std::span<const std::uint8_t> span() const& { return {data_, size_}; }
    const std::uint8_t* data() const&& = delete;
    std::span<const std::uint8_t> span() const&& = delete;

    // Lets the window move again.
    void Release() {
      if (r_) --r_->views_;
      r_ = nullptr;
    }

   private:
    friend class ArchiveReader;
    View(ArchiveReader& r, const std::uint8_t* data, std::size_t size) : r_(&r), data_(data), size_(size) {
      ++r.views_;
    }
    ArchiveReader* r_ = nullptr;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
  };

  // An archive held whole in memory.
  explicit ArchiveReader(std::span<const std::uint8_t> data);
  // An archive of `size` bytes read from `source` as the parse goes: only a
  // window of it is in memory, `window` bytes or, for one read of more, as much
  // as that read takes. An archive of four windows and more is read ahead where
  // the source can read beside the parse: the next window while this one is
  // parsed.
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

  // The next n bytes, in place; the position moves past them.
  View bytes(std::size_t n) {
    Require(n);
    View v(*this, At(), n);
    pos_ += n;
    return v;
  }
  void skip(std::size_t n);

  // The next n bytes (n at most remaining()), in place, without moving. A record
  // walk checks a run of fields once this way and Consumes what it took.
  View Look(std::size_t n) {
    Require(n);
    return View(*this, At(), n);
  }
  // Moves past n bytes that a view of the window holds.
  void Consume(std::size_t n) {
    if (n > windowEnd_ - pos_) throw std::logic_error("consumed beyond the window");
    pos_ += n;
  }

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
  // A value the format does not allow, found at the position.
  [[noreturn]] void Malformed(Message what) const {
    throw FormatError(FormatError::Kind::kMalformed, pos_, std::move(what));
  }

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
  // The next window read ahead, when it holds the n bytes: put in place of this
  // one without copying it. False when Fill must read itself.
  bool TakeAhead(std::size_t n);
  // Starts reading the window after this one beside the parse.
  void ReadAhead();
  [[noreturn]] void Unreadable() const;
  [[noreturn]] void Pinned() const;

  const std::uint8_t* data_ = nullptr;  // the byte at windowStart_
  std::size_t windowStart_ = 0;         // offsets in the archive
  std::size_t windowEnd_ = 0;
  std::size_t pos_ = 0;
  ByteSource* source_ = nullptr;
  std::size_t size_;
  std::size_t window_ = 0;
  std::unique_ptr<std::uint8_t[]> own_;  // the window's room when reading from a source
  std::size_t capacity_ = 0;
  int views_ = 0;  // views of the window that live

  // Reading ahead: the source reads the next window into spare_, kHead bytes
  // in, while this one is parsed; the bytes left of this window are put in
  // front of it, so the window read is never copied.
  static constexpr std::size_t kHead = std::size_t{64} << 10;
  std::size_t SpareRoom() const { return kHead + window_; }
  bool ahead_ = false;    // reading ahead is wanted and possible
  bool pending_ = false;  // spare_ is the source's until EndRead
  std::size_t wanted_ = 0;
  std::unique_ptr<std::uint8_t[]> spare_;
};

static_assert(std::endian::native == std::endian::little, "the archive is read in place as little-endian");

}  // namespace tessaly

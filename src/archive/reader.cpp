#include "archive/reader.h"

#include <algorithm>

#include "text/text_helpers.h"

namespace tessaly {

void ArchiveReader::Fail(std::size_t need) const {
  throw FormatError(pos_, "truncated at byte offset " + std::to_string(pos_) + ": need " +
                              std::to_string(need) + " bytes, " + std::to_string(remaining()) +
                              " left");
}

void ArchiveReader::Fill(std::size_t n) {
  // Only a reader of a source gets here: in memory the window is the whole
  // archive, and Require has made sure that n bytes are left.
  const std::size_t kept = windowEnd_ - pos_;
  const std::size_t room = std::min(std::max(window_, n), remaining());
  if (room > capacity_) {
    std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[room]);
    if (kept > 0) std::memcpy(bigger.get(), At(), kept);
    own_ = std::move(bigger);
    capacity_ = room;
  } else if (kept > 0) {
    std::memmove(own_.get(), At(), kept);
  }
  data_ = own_.get();
  windowStart_ = pos_;
  windowEnd_ = pos_ + kept;
  while (windowEnd_ < pos_ + n) {
    const std::size_t want = std::min(capacity_ - (windowEnd_ - windowStart_), size_ - windowEnd_);
    const std::size_t got = source_->Read(own_.get() + (windowEnd_ - windowStart_), want);
    windowEnd_ += got;
    if (got < want && windowEnd_ < pos_ + n) {
      throw FormatError(pos_, "cannot read the file at byte offset " + std::to_string(windowEnd_) + ": " +
                                  source_->Why());
    }
  }
}

void ArchiveReader::skip(std::size_t n) {
  if (n > remaining()) Fail(n);
  // What lies beyond the window is read a window at a time and dropped.
  while (pos_ + n > windowEnd_) {
    const std::size_t inWindow = windowEnd_ - pos_;
    pos_ += inWindow;
    n -= inWindow;
    Fill(std::min(n, window_));
  }
  pos_ += n;
}

void ArchiveReader::rawString(JString& into) {
  std::uint32_t n = u8();
  if (n == 0xFF) {
    n = u16();
    if (n == 0xFFFE) {
      // Unicode form: the length counts UTF-16 code units.
      std::uint32_t units = u8();
      if (units == 0xFF) {
        units = u16();
        if (units == 0xFFFF) units = u32();
      }
      if (units > remaining() / 2) Fail(static_cast<std::size_t>(units) * 2);
      auto b = bytes(static_cast<std::size_t>(units) * 2);
      into.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
      into.wide = true;
      return;
    }
  }
  auto b = bytes(n);
  into.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
  into.wide = false;
}

void ArchiveReader::string(JString& into) {
  rawString(into);
  SanitizeOnReadInPlace(into);
}

std::uint32_t ArchiveReader::count() {
  std::uint32_t c = u16();
  if (c == 0xFFFF) c = u32();
  return c;
}

}  // namespace tessaly

#include "archive/reader.h"

#include "text/text_helpers.h"

namespace tessaly {

void ArchiveReader::Fail(std::size_t need) const {
  throw FormatError(pos_, "truncated at byte offset " + std::to_string(pos_) + ": need " +
                              std::to_string(need) + " bytes, " + std::to_string(remaining()) +
                              " left");
}

void ArchiveReader::Wait(std::size_t end) const {
  if (source_ != nullptr) ready_ = source_->WaitFor(end);
  if (end > ready_) {
    throw FormatError(pos_, "cannot read the file at byte offset " + std::to_string(ready_) +
                                (source_ != nullptr ? ": " + source_->Why() : std::string()));
  }
}

JString ArchiveReader::rawString() {
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
      return JString(std::string(reinterpret_cast<const char*>(b.data()), b.size()), true);
    }
  }
  auto b = bytes(n);
  return JString(std::string(reinterpret_cast<const char*>(b.data()), b.size()), false);
}

JString ArchiveReader::string() {
  JString s = rawString();
  SanitizeOnReadInPlace(s);
  return s;
}

std::uint32_t ArchiveReader::count() {
  std::uint32_t c = u16();
  if (c == 0xFFFF) c = u32();
  return c;
}

}  // namespace tessaly

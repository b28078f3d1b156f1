// A string as the archive holds it.
//
// Drawings keep names and texts as Shift-JIS byte strings. Newer versions of the
// CAD application write every string in the archive's Unicode form instead; such
// a string is kept as its UTF-16LE code units (two bytes each) and written back
// in the same form, so that a drawing comes back byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

struct JString {
  std::string bytes;  // Shift-JIS bytes, or UTF-16LE code units when `wide`
  bool wide = false;

  JString() = default;
  explicit JString(std::string b, bool w = false) : bytes(std::move(b)), wide(w) {}

  bool empty() const { return bytes.empty(); }
  // Length in the units the archive counts: bytes, or UTF-16 code units.
  std::size_t units() const { return wide ? bytes.size() / 2 : bytes.size(); }
  std::uint16_t unit(std::size_t i) const {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  void appendUnit(std::uint16_t u) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  // An ASCII text in the same form as `like` (the writer's replacement names keep
  // the form of the string they replace).
  static JString Ascii(std::string_view ascii, bool wide);

  friend bool operator==(const JString&, const JString&) = default;
};

}  // namespace tessaly

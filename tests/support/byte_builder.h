// Expected bytes written out by hand, independent of the writer.
//
// A test lists the bytes of a file one value per line with a comment saying
// what the value is:
//
//   Bytes golden;
//   golden.count(2)                    // main list: two entities
//       .newClass(600, "CDataSen")     // class 1
//       .common({.penStyle = 1}, 600)  // line body
//       ...
//
// Every multi-byte value is little-endian. The string and tag helpers spell out
// the archive's encodings on their own, so that a reader or writer fault is not
// repeated here.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/jstring.h"

namespace tessaly::test {

// The common attribute part of an entity or a block definition, as plain values.
struct CommonBytes {
  std::int32_t group = 0;
  std::uint8_t penStyle = 1;
  std::uint16_t penColor = 1;
  std::uint16_t penWidth = 0;
  std::uint16_t layer = 0;
  std::uint16_t layerGroup = 0;
  std::uint16_t flags = 0;
};

class Bytes {
 public:
  Bytes() = default;

  Bytes& u8(std::uint8_t v);
  Bytes& u16(std::uint16_t v);
  Bytes& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
  Bytes& u32(std::uint32_t v);
  Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  Bytes& f64(double v);
  Bytes& raw(std::string_view bytes);
  Bytes& raw(std::initializer_list<std::uint8_t> bytes);
  Bytes& raw(const Bytes& other) { return raw(other.view()); }
  Bytes& fill(std::size_t n, std::uint8_t value = 0);

  // A Shift-JIS string: length as one byte up to 254, else 0xFF and a uint16.
  Bytes& str(std::string_view sjis);
  // A string in the Unicode form: 0xFF, 0xFFFE, the length in UTF-16 units
  // (uint8; 0xFF then uint16; 0xFFFF then uint32), then the units.
  Bytes& wstr(std::u16string_view units);
  // The UTF-16 form from UTF-16LE bytes already laid out (two per unit).
  Bytes& wstrBytes(std::string_view utf16le);
  // A string in the form it has: Shift-JIS bytes, or the Unicode form.
  Bytes& jstr(const JString& s) { return s.wide ? wstrBytes(s.bytes) : str(s.bytes); }
  // A list length: uint16, or 0xFFFF and a uint32 from 65535 on.
  Bytes& count(std::uint32_t n);
  // A new-class record: 0xFFFF, the schema, a uint16 name length, the name.
  Bytes& newClass(std::uint16_t schema, std::string_view name);
  // A class reference: 0x8000 + i, or 0x7FFF and 0x80000000 + i from 0x7FFF on.
  Bytes& classRef(std::uint32_t index);
  // The common part in the form of `version` (no pen width up to 350).
  Bytes& common(const CommonBytes& c, std::int32_t version);

  const std::string& bytes() const { return bytes_; }
  std::string_view view() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }
  std::vector<std::uint8_t> vec() const { return {bytes_.begin(), bytes_.end()}; }
  std::span<const std::uint8_t> span() const {
    return {reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size()};
  }

 private:
  std::string bytes_;
};

// UTF-16LE bytes of a UTF-16 text.
std::string Utf16le(std::u16string_view units);

// Strings as the archive holds them: Shift-JIS bytes, or UTF-16 units.
JString Sjis(std::string_view bytes);
JString Wide(std::u16string_view units);

// "00 FF 1A ..." for failure messages.
std::string Hex(std::string_view bytes);

// Bytes as a document loads them.
inline std::span<const std::uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Equal bytes, or their sizes and where they first differ, with the bytes
// around that place.
testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected);

// The values the drawing header built below holds: every field has its own
// values, so that a reader that is off by a field reads wrong numbers. The n-th
// int32 (counting from 0) of field f is SentinelInt(f, n), the n-th double
// SentinelDouble(f, n), except where the writer's rules ask for other values
// (see JwwHeader).
constexpr std::int32_t SentinelInt(int field, int n) {
  return field * 1000 + n;
}
constexpr double SentinelDouble(int field, int n) {
  return field + n / 64.0;
}

struct JwwHeaderOptions {
  bool wide = false;  // every string in the Unicode form
  std::string memo = "memo";
};

// A drawing header of `version` in the layout of the format, written field by
// field. Its values are ones the writer keeps as they are, so a drawing made of
// this header and lists written by hand is written back byte for byte:
//   pens: color 3000 + n, width n + 1, print colour 0xFFFFFF for pen 0 and
//     3100 + n for the others, print width 10 + n, point radius 0.5 + n / 8;
//   field 36: 36 from version 600 on, 6 below;
//   layer names "L" g "-" l (g and l in hex), layer group names "G" g;
//   SXF colour n: colour 41000 + n, width n, name "Col" n, print colour 41500 + n
//     up to 16 and the colour above, print width n, point radius n / 4;
//   SXF line type n: pattern 42000 + n, unit dots n + 1, pitch n + 2, print pitch
//     n + 3, name "LT" n, segment count 2 + 2 * (n % 4), segments n + i / 8.
Bytes JwwHeader(std::int32_t version, const JwwHeaderOptions& options = {});

// A whole drawing without entities: the header, two empty lists and, from 700 on,
// an empty image section.
Bytes EmptyJwwDrawing(std::int32_t version, const JwwHeaderOptions& options = {});

}  // namespace tessaly::test

#include "support/byte_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tessaly::test {

Bytes& Bytes::u8(std::uint8_t v) {
  bytes_.push_back(static_cast<char>(v));
  return *this;
}

Bytes& Bytes::u16(std::uint16_t v) {
  u8(static_cast<std::uint8_t>(v & 0xFF));
  return u8(static_cast<std::uint8_t>(v >> 8));
}

Bytes& Bytes::u32(std::uint32_t v) {
  u16(static_cast<std::uint16_t>(v & 0xFFFF));
  return u16(static_cast<std::uint16_t>(v >> 16));
}

Bytes& Bytes::f64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  u32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
  return u32(static_cast<std::uint32_t>(bits >> 32));
}

Bytes& Bytes::raw(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

Bytes& Bytes::raw(std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) u8(b);
  return *this;
}

Bytes& Bytes::fill(std::size_t n, std::uint8_t value) {
  bytes_.append(n, static_cast<char>(value));
  return *this;
}

Bytes& Bytes::str(std::string_view sjis) {
  if (sjis.size() > 0xFFFF) throw std::invalid_argument("string too long for the archive");
  if (sjis.size() < 0xFF) {
    u8(static_cast<std::uint8_t>(sjis.size()));
  } else {
    u8(0xFF).u16(static_cast<std::uint16_t>(sjis.size()));
  }
  return raw(sjis);
}

Bytes& Bytes::wstrBytes(std::string_view utf16le) {
  const std::size_t units = utf16le.size() / 2;
  u8(0xFF).u16(0xFFFE);
  if (units < 0xFF) {
    u8(static_cast<std::uint8_t>(units));
  } else if (units < 0xFFFF) {
    u8(0xFF).u16(static_cast<std::uint16_t>(units));
  } else {
    u8(0xFF).u16(0xFFFF).u32(static_cast<std::uint32_t>(units));
  }
  return raw(utf16le.substr(0, units * 2));
}

Bytes& Bytes::wstr(std::u16string_view units) {
  return wstrBytes(Utf16le(units));
}

Bytes& Bytes::count(std::uint32_t n) {
  if (n < 0xFFFF) return u16(static_cast<std::uint16_t>(n));
  return u16(0xFFFF).u32(n);
}

Bytes& Bytes::newClass(std::uint16_t schema, std::string_view name) {
  u16(0xFFFF).u16(schema).u16(static_cast<std::uint16_t>(name.size()));
  return raw(name);
}

Bytes& Bytes::classRef(std::uint32_t index) {
  if (index < 0x7FFF) return u16(static_cast<std::uint16_t>(0x8000 + index));
  return u16(0x7FFF).u32(0x80000000u + index);
}

Bytes& Bytes::common(const CommonBytes& c, std::int32_t version) {
  i32(c.group).u8(c.penStyle).u16(c.penColor);
  if (version >= 351) u16(c.penWidth);
  return u16(c.layer).u16(c.layerGroup).u16(c.flags);
}

std::string Utf16le(std::u16string_view units) {
  std::string out;
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

JString Sjis(std::string_view bytes) {
  return JString(std::string(bytes), false);
}

JString Wide(std::u16string_view units) {
  return JString(Utf16le(units), true);
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  std::size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  if (i == actual.size() && i == expected.size()) return testing::AssertionSuccess();
  const std::size_t from = i < 8 ? 0 : i - 8;
  return testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                     << ", first difference at byte offset " << i << ": ["
                                     << Hex(actual.substr(std::min(from, actual.size()), 24))
                                     << "] instead of ["
                                     << Hex(expected.substr(std::min(from, expected.size()), 24)) << "]";
}

namespace {

// The sentinel values of one field, handed out in order.
struct Field {
  int number;
  int ints = 0;
  int doubles = 0;
  std::int32_t I() { return SentinelInt(number, ints++); }
  double D() { return SentinelDouble(number, doubles++); }
};

std::string HexDigit(int v) {
  static const char kDigits[] = "0123456789ABCDEF";
  return std::string(1, kDigits[v & 15]);
}

}  // namespace

Bytes JwwHeader(std::int32_t v, const JwwHeaderOptions& o) {
  Bytes b;
  auto text = [&](const std::string& ascii) -> Bytes& {
    if (!o.wide) return b.str(ascii);
    return b.wstr(std::u16string(ascii.begin(), ascii.end()));
  };
  b.raw("JwwData.");  // 1 signature
  b.i32(v);           // 2 version
  if (v < 220) return b;
  text(o.memo);  // 3 memo
  Field f4{4}, f5{5}, f6{6}, f8{8}, f10{10}, f11{11}, f12{12}, f13{13}, f14{14}, f15{15}, f16{16},
      f17{17};
  b.i32(f4.I());                  // 4 paper size
  b.i32(f5.I());                  // 5 write layer group
  for (int g = 0; g < 16; ++g) {  // 6 layer groups, each followed by its layers
    b.i32(f6.I()).i32(f6.I()).f64(f6.D()).i32(f6.I());       // state, writeLayer, scale, protect
    for (int l = 0; l < 16; ++l) b.i32(f6.I()).i32(f6.I());  // layer state, protect
  }
  b.fill(56);                                 // 7 reserved
  for (int i = 0; i < 5; ++i) b.i32(f8.I());  // 8 dimension settings
  b.i32(0);                                   // 9 reserved
  b.i32(f10.I());                             // 10 maximum line width
  b.f64(f11.D()).f64(f11.D());                // 11 print origin
  b.f64(f12.D());                             // 12 print scale
  b.i32(f13.I());                             // 13 print rotation
  b.i32(f14.I());                             // 14 grid mode
  b.f64(f15.D());                             // 15 grid minimum display
  b.f64(f16.D()).f64(f16.D());                // 16 grid spacing
  b.f64(f17.D()).f64(f17.D());                // 17 grid origin
  for (int g = 0; g < 16; ++g) {              // 18 layer names, group-major
    for (int l = 0; l < 16; ++l) text("L" + HexDigit(g) + "-" + HexDigit(l));
  }
  for (int g = 0; g < 16; ++g) text("G" + HexDigit(g));  // 19 layer group names
  Field f20{20}, f21{21}, f22{22}, f23{23}, f24{24}, f25{25}, f26{26}, f27{27}, f28{28}, f29{29};
  b.f64(f20.D()).f64(f20.D()).i32(f20.I()).f64(f20.D());  // 20 shadow settings
  if (v >= 300) b.f64(f21.D()).f64(f21.D());              // 21 sky view
  b.i32(f22.I());                                         // 22 2.5D unit flag
  b.f64(f23.D());                                         // 23 view scale
  b.f64(f24.D()).f64(f24.D());                            // 24 view origin
  b.f64(f25.D());                                         // 25 range scale
  b.f64(f26.D()).f64(f26.D());                            // 26 range origin
  if (v > 230) {                                          // 27 mark jumps
    for (int i = 0; i < 10; ++i) b.f64(f27.D()).f64(f27.D()).f64(f27.D()).i32(f27.I());
  } else {
    for (int i = 0; i < 4; ++i) b.f64(f27.D()).f64(f27.D()).f64(f27.D());
  }
  for (int i = 0; i < 10; ++i) b.f64(f28.D());              // 28 parallel line distances
  b.f64(f29.D());                                           // 29 both-sides end offset
  for (int n = 0; n < 10; ++n) b.i32(3000 + n).i32(n + 1);  // 30 pen colour, width
  for (int n = 0; n < 10; ++n) {                            // 31 print colour, width, point radius
    b.i32(n == 0 ? 0xFFFFFF : 3100 + n).i32(10 + n).f64(0.5 + n / 8.0);
  }
  Field f32{32}, f33{33}, f34{34}, f35{35}, f37{37}, f38{38}, f39{39}, f40{40};
  for (int i = 0; i < 8 * 4; ++i) b.i32(f32.I());  // 32 line types 2-9
  for (int i = 0; i < 5 * 5; ++i) b.i32(f33.I());  // 33 random lines
  for (int i = 0; i < 4 * 4; ++i) b.i32(f34.I());  // 34 long line types
  for (int i = 0; i < 10; ++i) b.i32(f35.I());     // 35 draw flags
  b.i32(v >= 600 ? 36 : 6);                        // 36 print: skip display-only layers
  if (v >= 223) {
    b.i32(f37.I());                              // 37 drawing time
    for (int i = 0; i < 4; ++i) b.i32(f38.I());  // 38 2.5D eye settings
    for (int i = 0; i < 5; ++i) b.f64(f38.D());
  }
  if (v >= 225) {
    for (int i = 0; i < 4; ++i) b.f64(f39.D());  // 39 last sizes
  }
  if (v >= 230) b.i32(f40.I()).i32(f40.I());  // 40 solid colour
  if (v >= 420) {
    for (int n = 0; n <= 256; ++n) b.i32(41000 + n).i32(n);  // 41 SXF colour, width
    for (int n = 0; n <= 256; ++n) {                         //    name, print colour, width, radius
      text("Col" + std::to_string(n));
      b.i32(n > 16 ? 41000 + n : 41500 + n).i32(n).f64(n / 4.0);
    }
    for (int n = 0; n <= 32; ++n)
      b.i32(42000 + n).i32(n + 1).i32(n + 2).i32(n + 3);  // 42 SXF line types
    for (int n = 0; n <= 32; ++n) {                       // name, segment count, segments
      text("LT" + std::to_string(n));
      b.i32(2 + 2 * (n % 4));
      for (int i = 0; i < 10; ++i) b.f64(n + i / 8.0);
    }
  }
  Field f43{43}, f44{44};
  for (int k = 0; k < 10; ++k)
    b.f64(f43.D()).f64(f43.D()).f64(f43.D()).i32(f43.I());  // 43 text kinds
  b.f64(f44.D()).f64(f44.D()).f64(f44.D());                 // 44 text width, height, spacing
  b.i32(f44.I()).i32(f44.I());                              //    colour, kind
  b.f64(f44.D()).f64(f44.D());                              //    arrangement line spacing, count
  b.i32(f44.I());                                           //    alignment-offset switch
  for (int i = 0; i < 6; ++i) b.f64(f44.D());  // offsets x left/centre/right, y bottom/centre/top
  return b;
}

Bytes EmptyJwwDrawing(std::int32_t version, const JwwHeaderOptions& options) {
  Bytes b = JwwHeader(version, options);
  b.count(0);                    // main list
  b.count(0);                    // block definitions
  if (version >= 700) b.u32(0);  // images
  return b;
}

}  // namespace tessaly::test

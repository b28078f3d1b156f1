// Figures spelt out byte by byte, independently of the writer, for golden tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "support/byte_builder.h"
#include "text/jstring.h"

namespace tessaly::test {

// A string in the form it has: Shift-JIS bytes, or the Unicode form.
inline Bytes& Str(Bytes& b, const JString& s) {
  return s.wide ? b.wstrBytes(s.bytes) : b.str(s.bytes);
}

inline std::span<const std::uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Equal bytes, or where the first difference is.
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
  const std::size_t n = std::min(actual.size(), expected.size());
  std::size_t i = 0;
  while (i < n && actual[i] == expected[i]) ++i;
  if (i == n && actual.size() == expected.size()) return ::testing::AssertionSuccess();
  auto hex = [](const std::string& s, std::size_t at) {
    std::string out;
    char buf[4];
    for (std::size_t k = at; k < s.size() && k < at + 16; ++k) {
      std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(s[k]));
      out += buf;
    }
    return out;
  };
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at byte offset " << i << ": "
                                       << hex(actual, i) << "instead of " << hex(expected, i);
}

// The header: offsets 0, 7, 200, 204, 220, 348, 372 and 452.
inline void FigureHeader(Bytes& b, std::int32_t version, std::uint8_t filler) {
  b.raw("JwsData");
  b.fill(193, filler);
  b.i32(version);
  b.f64(-135.5).f64(70.25);                         // HeaderReals1
  for (int g = 0; g < 16; ++g) b.f64(100.0 + g);    // scales of layer groups 0 to 15
  for (int i = 1; i <= 6; ++i) b.i32(i * 11);       // HeaderInts
  for (int i = 0; i < 10; ++i) b.f64(0.5 * i - 1);  // HeaderReals2
}

// A small figure: header, a main list of a line, a text, a dimension and an
// insertion, and one definition holding a line and a text. The insertion and
// the definition carry `blockNumber` (a used definition is written as 0).
// `layout` decides the entity bodies (pen width from 351, the SXF part of
// dimensions from 420), `version` the header, `schema` the new-class records.
struct FigureSpec {
  std::int32_t version = 600;
  std::int32_t schema = 600;
  std::int32_t layout = 600;
  std::uint16_t penWidth = 3;  // in every common part, when the layout has it
  std::uint8_t filler = 0x2E;
  JString font = JString("MS Gothic");
  JString text = JString("ABC");
  JString dimFont = JString("MS Mincho");
  JString dimText = JString("1000");
  std::int32_t blockNumber = 0;
  std::string defClassName = "CDataList";
  std::string trailing;  // bytes after the definition list
};

inline void Common(Bytes& b, const FigureSpec& s, std::uint8_t penStyle, std::uint16_t penColor,
                   std::uint16_t layer, std::uint16_t flags) {
  b.common({.group = 7,
            .penStyle = penStyle,
            .penColor = penColor,
            .penWidth = s.penWidth,
            .layer = layer,
            .layerGroup = 2,
            .flags = flags},
           s.layout);
}

inline void LineBody(Bytes& b, const FigureSpec& s, double x) {
  Common(b, s, 1, 2, 3, 0x0010);
  b.f64(x).f64(2.5).f64(x + 10).f64(-4.25);  // start, end
}

inline void PointBody(Bytes& b, const FigureSpec& s, std::uint8_t penStyle, double x) {
  Common(b, s, penStyle, 1, 4, 0);
  b.f64(x).f64(x * 2).i32(0);                         // x, y, isTemporary
  if (penStyle == 100) b.i32(12).f64(45.0).f64(1.5);  // code, rotation, scale
}

inline void TextFixed(Bytes& b, const FigureSpec& s) {
  Common(b, s, 1, 5, 6, 0x0001);
  b.f64(0).f64(1).f64(30).f64(1);        // start, end
  b.i32(3);                              // text kind
  b.f64(2.5).f64(2.5).f64(0.5).f64(90);  // size, spacing, angle
}

inline std::string BuildFigure(const FigureSpec& s) {
  Bytes b;
  FigureHeader(b, s.version, s.filler);
  const auto schema = static_cast<std::uint16_t>(s.schema);

  b.count(4);                       // main list
  b.newClass(schema, "CDataSen");   // class 1
  LineBody(b, s, 1.0);              // object 2
  b.newClass(schema, "CDataMoji");  // class 3
  TextFixed(b, s);                  // object 4
  Str(b, s.font);
  Str(b, s.text);
  b.newClass(schema, "CDataSunpou");  // class 5
  Common(b, s, 1, 3, 7, 0);           // object 6
  LineBody(b, s, 5.0);
  TextFixed(b, s);
  Str(b, s.dimFont);
  Str(b, s.dimText);
  if (s.layout >= 420) {
    b.u16(1);  // SXF mode
    LineBody(b, s, 6.0);
    LineBody(b, s, 7.0);
    PointBody(b, s, 1, 8.0);
    PointBody(b, s, 100, 9.0);
    PointBody(b, s, 1, 10.0);
    PointBody(b, s, 1, 11.0);
  }
  b.newClass(schema, "CDataBlock");      // class 7
  Common(b, s, 1, 1, 0, 0);              // object 8
  b.f64(3).f64(4).f64(1).f64(1).f64(0);  // position, scales, rotation
  b.i32(s.blockNumber);

  b.count(1);                          // block definitions
  b.newClass(schema, s.defClassName);  // class 9
  Common(b, s, 0, 0, 0, 0);            // object 10
  b.i32(s.blockNumber).i32(0).i32(1);  // number, referenced, time
  b.str("B1");
  b.count(2);
  b.classRef(1);  // line, object 11
  LineBody(b, s, 20.0);
  b.classRef(3);  // text, object 12
  TextFixed(b, s);
  Str(b, s.font);
  Str(b, s.text);
  b.raw(s.trailing);
  return b.bytes();
}

}  // namespace tessaly::test

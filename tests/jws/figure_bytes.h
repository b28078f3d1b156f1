// Figures spelt out byte by byte, independently of the writer, for golden tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "jws/jws_data.h"
#include "support/byte_builder.h"
#include "support/documents.h"

namespace tessaly::test {

// The figure these bytes load as; a failure to load fails the test.
inline TJwsData LoadedFigure(std::string_view bytes) {
  TJwsData doc;
  EXPECT_TRUE(LoadsBytes(doc, bytes));
  return doc;
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
struct FigureContents {
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

inline void Common(Bytes& b, const FigureContents& s, std::uint8_t penStyle, std::uint16_t penColor,
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

inline void LineBody(Bytes& b, const FigureContents& s, double x) {
  Common(b, s, 1, 2, 3, 0x0010);
  b.f64(x).f64(2.5).f64(x + 10).f64(-4.25);  // start, end
}

inline void PointBody(Bytes& b, const FigureContents& s, std::uint8_t penStyle, double x) {
  Common(b, s, penStyle, 1, 4, 0);
  b.f64(x).f64(x * 2).i32(0);                         // x, y, isTemporary
  if (penStyle == 100) b.i32(12).f64(45.0).f64(1.5);  // code, rotation, scale
}

inline void TextFixed(Bytes& b, const FigureContents& s) {
  Common(b, s, 1, 5, 6, 0x0001);
  b.f64(0).f64(1).f64(30).f64(1);        // start, end
  b.i32(3);                              // text kind
  b.f64(2.5).f64(2.5).f64(0.5).f64(90);  // size, spacing, angle
}

inline std::string BuildFigure(const FigureContents& s) {
  Bytes b;
  FigureHeader(b, s.version, s.filler);
  const auto schema = static_cast<std::uint16_t>(s.schema);

  b.count(4);                       // main list
  b.newClass(schema, "CDataSen");   // class 1
  LineBody(b, s, 1.0);              // object 2
  b.newClass(schema, "CDataMoji");  // class 3
  TextFixed(b, s);                  // object 4
  b.jstr(s.font);
  b.jstr(s.text);
  b.newClass(schema, "CDataSunpou");  // class 5
  Common(b, s, 1, 3, 7, 0);           // object 6
  LineBody(b, s, 5.0);
  TextFixed(b, s);
  b.jstr(s.dimFont);
  b.jstr(s.dimText);
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
  b.jstr(s.font);
  b.jstr(s.text);
  b.raw(s.trailing);
  return b.bytes();
}

}  // namespace tessaly::test

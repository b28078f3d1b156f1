// The dissolve of a figure spelt out in bytes: read from bytes built by hand,
// dissolved, and written by the figure's version rules to the bytes it must
// give. (What holds for drawings and figures alike is in dissolve_test.)
#include <gtest/gtest.h>

#include <string>

#include "dissolve/dissolve.h"
#include "jws/figure_bytes.h"
#include "jws/jws_data.h"

namespace tessaly {
namespace {
using test::Bytes;
using test::FigureContents;
using test::Wide;

// The dimension of BuildFigure as its parts come out of the dissolve, in the
// file: the dimension's layer 7 on every part, the flag bits OR-ed into those
// the parts hold.
void DissolvedLine(Bytes& b, const FigureContents& s, double x) {
  test::Common(b, s, 1, 2, 7, 0x0010 | 0x2000);
  b.f64(x).f64(2.5).f64(x + 10).f64(-4.25);
}

void DissolvedPoint(Bytes& b, const FigureContents& s, std::uint8_t penStyle, double x,
                    std::int32_t isTemporary) {
  test::Common(b, s, penStyle, 1, 7, 0x0040);
  b.f64(x).f64(x * 2).i32(isTemporary);
  if (penStyle == 100) b.i32(12).f64(45.0).f64(1.5);  // code, rotation, scale
}

// What BuildFigure(in) is written as after the dissolve: `out` holds the
// written version and layout, and the dimension's text as the text entity
// made from it is written.
std::string DissolvedFigure(const FigureContents& out, bool sxf, bool text, bool referencePoints) {
  Bytes b;
  test::FigureHeader(b, out.version, 0x2E);
  const auto schema = static_cast<std::uint16_t>(out.schema);
  std::uint32_t next = 1;  // classes and objects share one numbering
  auto newClass = [&](std::string_view name) {
    b.newClass(schema, name);
    const std::uint32_t index = next;
    next += 2;  // the class, then its first object
    return index;
  };
  auto classRef = [&](std::uint32_t index) {
    b.classRef(index);
    ++next;
  };

  const int points = sxf ? (referencePoints ? 4 : 2) : 0;
  b.count(3 + 1 + (text ? 1 : 0) + (sxf ? 2 : 0) + points);  // the dimension's entry is empty
  const std::uint32_t line = newClass("CDataSen");
  test::LineBody(b, out, 1.0);
  const std::uint32_t moji = newClass("CDataMoji");
  test::TextFixed(b, out);
  b.jstr(out.font);
  b.jstr(out.text);
  newClass("CDataBlock");
  test::Common(b, out, 1, 1, 0, 0);
  b.f64(3).f64(4).f64(1).f64(1).f64(0);
  b.i32(out.blockNumber);

  classRef(line);  // the dimension line
  DissolvedLine(b, out, 5.0);
  if (text) {
    classRef(moji);
    test::Common(b, out, 1, 5, 7, 0x0001 | 0x4010);
    b.f64(0).f64(1).f64(30).f64(1);        // start, end
    b.i32(3);                              // text kind
    b.f64(2.5).f64(2.5).f64(0.5).f64(90);  // size, spacing, angle
    b.jstr(out.dimFont);
    b.jstr(out.dimText);
  }
  if (sxf) {
    classRef(line);  // auxiliary lines
    DissolvedLine(b, out, 6.0);
    classRef(line);
    DissolvedLine(b, out, 7.0);
    const std::uint32_t ten = newClass("CDataTen");
    DissolvedPoint(b, out, 1, 8.0, 0);  // point1 and point2 as stored
    classRef(ten);
    DissolvedPoint(b, out, 100, 9.0, 0);
    if (referencePoints) {
      classRef(ten);
      DissolvedPoint(b, out, 1, 10.0, 1);
      classRef(ten);
      DissolvedPoint(b, out, 1, 11.0, 1);
    }
  }

  b.count(1);  // block definitions, unchanged
  newClass(out.defClassName);
  test::Common(b, out, 0, 0, 0, 0);
  b.i32(out.blockNumber).i32(0).i32(1);
  b.str("B1");
  b.count(2);
  b.classRef(line);
  test::LineBody(b, out, 20.0);
  b.classRef(moji);
  test::TextFixed(b, out);
  b.jstr(out.font);
  b.jstr(out.text);
  return b.bytes();
}

struct GoldenCase {
  const char* name;
  std::int32_t version;  // read; written by the figure rules
  JString dimText;
  JString written;  // the text entity made from it, as written; empty: none
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

class JwsDissolveGolden : public testing::TestWithParam<GoldenCase> {};

TEST_P(JwsDissolveGolden, FigureReadDissolvedAndWrittenSpeltOut) {
  const GoldenCase& c = GetParam();
  for (bool referencePoints : {false, true}) {
    SCOPED_TRACE(referencePoints ? "reference points" : "no reference points");
    FigureContents in;
    in.version = in.schema = in.layout = c.version;
    in.dimText = c.dimText;
    in.dimFont = JString(std::string(270, 'F'));  // a font name longer than 255 bytes
    TJwsData doc = test::LoadedFigure(test::BuildFigure(in));
    ASSERT_EQ(doc.Dimensions.size(), 1u);

    const DissolveResult r = DissolveDimensions(doc, referencePoints);
    EXPECT_EQ(r.dimensions, 1);
    EXPECT_EQ(doc.DimensionCount, 0);

    const std::int32_t written = TJwsData::WrittenVersion(c.version);
    FigureContents out = in;
    out.version = out.schema = out.layout = written;
    out.penWidth = c.version >= 351 ? 3 : 0;
    out.dimText = c.written;
    EXPECT_TRUE(test::SameBytes(test::Written(doc, doc.Version()),
                                DissolvedFigure(out, c.version >= 420, !c.written.empty(), referencePoints)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JwsDissolveGolden,
    testing::Values(
        GoldenCase{"V600", 600, JString("1000"), JString("1000")},
        GoldenCase{"V420", 420, JString("1000"), JString("1000")},
        GoldenCase{"V700", 700, JString("1000"), JString("1000")},
        // No SXF part before 420; 300 is written as 351 with pen widths 0.
        GoldenCase{"V351", 351, JString("1000"), JString("1000")},
        GoldenCase{"V300", 300, JString("1000"), JString("1000")},
        GoldenCase{"V200", 200, JString("1000"), JString("1000")},
        // The whole value, not the first 255 bytes, also when it ends in a
        // two-byte character.
        GoldenCase{"Value300Bytes", 600, JString(std::string(299, '9') + "m"),
                   JString(std::string(299, '9') + "m")},
        GoldenCase{"Value301BytesEndingInATwoByteCharacter", 700,
                   JString(std::string(299, 'a') + "\x95\x5C"), JString(std::string(299, 'a') + "\x95\x5C")},
        // A text made by the dissolve is a text entity: a leading "^@BM%temp%"
        // loses its "%temp%" when written, as in any other text.
        GoldenCase{"ImageReference", 600, JString("^@BM%temp%" + std::string(290, 'p')),
                   JString("^@BM" + std::string(290, 'p'))},
        GoldenCase{"SpacesOnly", 600, JString(" \x81\x40 "), JString()},
        GoldenCase{"SpacesAroundADigit", 700, JString(" \x81\x40"
                                                      "5 "),
                   JString(" \x81\x40"
                           "5 ")},
        GoldenCase{"WideValue", 600, Wide(u"\u5bf8\u6cd5 12"), Wide(u"\u5bf8\u6cd5 12")},
        GoldenCase{"WideSpacesOnly", 600, Wide(u"\u3000 \u3000"), JString()}),
    [](const testing::TestParamInfo<GoldenCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tessaly

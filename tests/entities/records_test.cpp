// Entity bodies: golden bytes both ways, and the writer's rules for the common part.
#include "entities/records.h"

#include <gtest/gtest.h>

#include "archive/reader.h"
#include "archive/writer.h"
#include "support/entity_lists.h"
#include "support/byte_builder.h"

namespace tessaly::test {
namespace {

ReadRules Rules(std::int32_t v) {
  return ReadRules{v, 255, 2048};
}

template <typename T, typename... Extra>
std::string WrittenBody(const T& e, std::int32_t version, std::int32_t sourceVersion,
                        Extra... extra) {
  StringSink sink;
  ArchiveWriter w(sink);
  WriteBody(w, WriteRules{version, sourceVersion, false}, e, extra...);
  w.Flush();
  return sink.bytes;
}

template <typename T>
T ReadOne(const Bytes& b, std::int32_t version) {
  ArchiveReader r(b.span());
  T e;
  ReadBody(r, Rules(version), e);
  EXPECT_TRUE(r.atEnd()) << "left " << r.remaining();
  return e;
}

struct CommonCase {
  std::int32_t kind;
  std::int32_t version;
  unsigned styleIn, styleOut;
  unsigned colorIn, colorOut;
};

TEST(WriteCommon, PenStyleAndColourValidationAndTheMappingsBelow420) {
  const CommonCase cases[] = {
      // Lines and arcs: style 1-9, 11-19, 31-62, else 0.
      {kLine, 600, 10, 0, 1, 1},
      {kLine, 600, 0, 0, 9, 9},
      {kLine, 600, 9, 9, 10, 0},  // colour 10 is for solids only
      {kLine, 600, 11, 11, 101, 101},
      {kLine, 600, 19, 19, 356, 356},
      {kLine, 600, 20, 0, 357, 0},
      {kLine, 600, 31, 31, 100, 0},
      {kLine, 600, 62, 62, 0, 0},
      {kLine, 600, 63, 0, 1, 1},
      {kArc, 420, 45, 45, 116, 116},
      // Below 420 the SXF styles and colours map to ordinary ones first.
      {kLine, 351, 31, 1, 101, 2},
      {kLine, 351, 32, 4, 102, 8},
      {kLine, 351, 33, 3, 103, 3},
      {kLine, 351, 34, 6, 104, 6},
      {kLine, 351, 35, 8, 105, 4},
      {kLine, 351, 36, 8, 106, 5},
      {kLine, 351, 37, 2, 107, 1},
      {kArc, 351, 38, 5, 108, 2},
      {kArc, 351, 39, 7, 109, 5},
      {kArc, 351, 40, 6, 110, 8},
      {kArc, 351, 41, 6, 111, 4},
      {kArc, 300, 42, 8, 112, 3},
      {kArc, 300, 43, 8, 113, 6},
      {kLine, 300, 44, 17, 114, 5},
      {kLine, 230, 45, 17, 115, 2},
      {kLine, 220, 46, 0, 116, 2},
      {kLine, 351, 62, 0, 117, 0},
      {kLine, 351, 19, 19, 356, 0},
      // Texts: style 1-9 else 1, no style mapping; colours map below 420.
      {kText, 600, 0, 1, 5, 5},
      {kText, 600, 9, 9, 10, 0},
      {kText, 600, 10, 1, 101, 101},
      {kText, 351, 31, 1, 101, 2},
      // Points: style 1 or 100, else 1.
      {kPoint, 600, 5, 1, 3, 3},
      {kPoint, 600, 100, 100, 0, 0},
      {kPoint, 600, 0, 1, 116, 116},
      {kPoint, 351, 100, 100, 116, 2},
      // Dimensions: style kept, colour validated.
      {kDimension, 600, 77, 77, 10, 0},
      {kDimension, 351, 31, 31, 103, 3},
      // Solids: colour 1-10 or 101-356.
      {kSolid, 600, 200, 200, 10, 10},
      {kSolid, 600, 0, 0, 11, 0},
      {kSolid, 351, 33, 33, 105, 4},
      {kSolid, 351, 33, 33, 10, 10},
      // Block insertions and definitions keep style and colour.
      {kBlock, 600, 0, 0, 1000, 1000},
      {kBlock, 351, 31, 31, 101, 101},
      {kBlockDefKind, 351, 250, 250, 0xFFFF, 0xFFFF},
  };
  for (const auto& c : cases) {
    TEntJwwCommon in;
    in.group = 42;
    in.penStyle = static_cast<std::uint8_t>(c.styleIn);
    in.penColor = static_cast<std::uint16_t>(c.colorIn);
    in.penWidth = 7;
    in.layer = 3;
    in.layerGroup = 4;
    in.flags = 0x1234;
    StringSink sink;
    ArchiveWriter w(sink);
    WriteCommon(w, in, c.kind, c.version);
    w.Flush();
    CommonBytes out{42,
                    static_cast<std::uint8_t>(c.styleOut),
                    static_cast<std::uint16_t>(c.colorOut),
                    7,
                    3,
                    4,
                    0x1234};
    EXPECT_EQ(Hex(sink.bytes), Hex(Bytes().common(out, c.version).bytes()))
        << "kind " << c.kind << " version " << c.version << " style " << c.styleIn << " colour "
        << c.colorIn;
    // The record itself is not changed.
    EXPECT_EQ(in.penStyle, c.styleIn);
  }
}

TEST(WriteCommon, LayerLayerGroupAndPenWidthBounds) {
  const std::tuple<unsigned, unsigned, unsigned, unsigned, unsigned, unsigned> cases[] = {
      // layer, layer group, pen width in -> out
      {15, 15, 30000, 15, 15, 30000},
      {16, 16, 30001, 0, 0, 0},
      {0xFFFF, 3, 65535, 0, 3, 0},
  };
  for (auto [l, lg, w, lOut, lgOut, wOut] : cases) {
    for (std::int32_t kind : {kLine, kSolid, kBlock, kBlockDefKind}) {
      TEntJwwCommon in{1,
                       1,
                       1,
                       static_cast<std::uint16_t>(w),
                       static_cast<std::uint16_t>(l),
                       static_cast<std::uint16_t>(lg),
                       0};
      TEntJwwCommon out = NormaliseCommon(in, kind, 600);
      EXPECT_EQ(out.layer, lOut);
      EXPECT_EQ(out.layerGroup, lgOut);
      EXPECT_EQ(out.penWidth, wOut);
    }
  }
}

TEST(Bodies, LineGoldenBothWays) {
  const Bytes golden = Bytes()
                           .i32(9)
                           .u8(2)
                           .u16(3)
                           .u16(4)
                           .u16(5)
                           .u16(6)
                           .u16(7)  // common, 15 bytes
                           .f64(1.5)
                           .f64(-2)  // start
                           .f64(1e300)
                           .f64(0);  // end
  ASSERT_EQ(golden.size(), 47u);
  TEntJwwSen e{{9, 2, 3, 4, 5, 6, 7}, 1.5, -2, 1e300, 0};
  TEntJwwSen r = ReadOne<TEntJwwSen>(golden, 600);
  TEntityList a, b;
  a.Add(r);
  b.Add(e);
  EXPECT_EQ(Dump(a), Dump(b));
  EXPECT_EQ(WrittenBody(e, 600, 600), golden.bytes());
  // Version 300: two bytes shorter, pen width read as 0.
  TEntJwwSen old = ReadOne<TEntJwwSen>(Bytes()
                                           .i32(9)
                                           .u8(2)
                                           .u16(3)
                                           .u16(5)
                                           .u16(6)
                                           .u16(7)  // common, 13 bytes
                                           .f64(1.5)
                                           .f64(-2)
                                           .f64(1e300)
                                           .f64(0),
                                       300);
  EXPECT_EQ(old.common.penWidth, 0);
  EXPECT_EQ(old.endX, 1e300);
}

TEST(Bodies, PointWithPenStyle100Has20MoreBytes) {
  const Bytes p351 = Bytes()
                         .common({1, 100, 2, 3, 4, 5, 6}, 351)  // 15 bytes, style 100
                         .f64(10)
                         .f64(20)   // x, y
                         .i32(1)    // temporary
                         .i32(77)   // code
                         .f64(0.5)  // rotation
                         .f64(2);   // scale
  const Bytes p350 = Bytes()
                         .common({1, 100, 2, 0, 4, 5, 6}, 350)  // 13 bytes
                         .f64(10)
                         .f64(20)
                         .i32(1)
                         .i32(77)
                         .f64(0.5)
                         .f64(2);
  const Bytes plain = Bytes().common({1, 1, 2, 3, 4, 5, 6}, 351).f64(10).f64(20).i32(0);
  EXPECT_EQ(p351.size(), 55u);
  EXPECT_EQ(p350.size(), 53u);
  EXPECT_EQ(plain.size(), 35u);
  TEntJwwTen e{{1, 100, 2, 3, 4, 5, 6}, 10, 20, 1, 77, 0.5, 2};
  EXPECT_EQ(WrittenBody(e, 351, 600), p351.bytes());
  EXPECT_EQ(WrittenBody(e, 350, 600), p350.bytes());
  TEntJwwTen r = ReadOne<TEntJwwTen>(p351, 351);
  EXPECT_EQ(r.code, 77);
  EXPECT_EQ(r.rotation, 0.5);
  EXPECT_EQ(r.scale, 2);
  r = ReadOne<TEntJwwTen>(plain, 351);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.scale, 0);
  // A point whose style is written as 1 (5 is not allowed) has no extension.
  TEntJwwTen five{{1, 5, 2, 3, 4, 5, 6}, 10, 20, 0, 77, 0.5, 2};
  EXPECT_EQ(WrittenBody(five, 600, 600), plain.bytes());
}

TEST(Bodies, SolidColourOnlyWithPenColour10) {
  Bytes with = Bytes().common({0, 1, 10, 0, 0, 0, 0}, 600);  // pen colour 10
  for (int i = 0; i < 8; ++i) with.f64(i);                   // four corners
  with.i32(0x00FF8040);                                      // RGB
  Bytes without = Bytes().common({0, 1, 9, 0, 0, 0, 0}, 600);
  for (int i = 0; i < 8; ++i) without.f64(i);
  EXPECT_EQ(with.size(), 83u);
  EXPECT_EQ(without.size(), 79u);
  TEntJwwSolid s = ReadOne<TEntJwwSolid>(with, 600);
  EXPECT_EQ(s.color, 0x00FF8040);
  EXPECT_EQ(s.corners[7], 7);
  EXPECT_EQ(WrittenBody(s, 600, 600), with.bytes());
  s = ReadOne<TEntJwwSolid>(without, 600);
  EXPECT_EQ(s.color, 0);
  EXPECT_EQ(WrittenBody(s, 600, 600), without.bytes());
  // A line with colour 10 is written with 0.
  TEntJwwSen line{{0, 1, 10, 0, 0, 0, 0}, 0, 0, 0, 0};
  EXPECT_EQ(WrittenBody(line, 600, 600).substr(5, 2), std::string("\0\0", 2));
}

TEST(Bodies, TextStringsAreCutTo255BytesShiftJisOnly) {
  auto text = [](const JString& font, const JString& s) {
    Bytes b = Bytes().common({0, 1, 1, 0, 0, 0, 0}, 600);
    b.f64(1).f64(2).f64(3).f64(4).i32(5).f64(6).f64(7).f64(8).f64(9);  // 83 bytes in all
    return b.jstr(font).jstr(s);
  };
  const std::string long300(300, 'x');
  TEntJwwMoji t = ReadOne<TEntJwwMoji>(text(Sjis(long300), Sjis(long300)), 600);
  EXPECT_EQ(t.fontName.bytes, std::string(255, 'x'));
  EXPECT_EQ(t.text.bytes, std::string(255, 'x'));
  EXPECT_EQ(t.textKind, 5);
  EXPECT_EQ(t.angle, 9);
  // A lead byte at position 254 keeps its trail byte: 256 bytes.
  const std::string split = std::string(254, 'y') + "\x82\xA0" + std::string(44, 'z');
  t = ReadOne<TEntJwwMoji>(text(Sjis("MS"), Sjis(split)), 600);
  EXPECT_EQ(t.text.bytes, split.substr(0, 256));
  // UTF-16 strings are not cut.
  const std::u16string wide300(300, u'\u3042');
  t = ReadOne<TEntJwwMoji>(text(Wide(wide300), Wide(wide300)), 600);
  EXPECT_EQ(t.text, Wide(wide300));
  EXPECT_EQ(t.fontName, Wide(wide300));
  // Written cleaned: control characters and "^m" go.
  t.text = Sjis("a^m\tb");
  t.fontName = Sjis("\r\n");
  const std::string out = WrittenBody(t, 600, 600);
  EXPECT_EQ(out.substr(83), Bytes().str(" ").str("ab").bytes());
}

TEST(Bodies, DimensionBelow420HasNoSxfPart) {
  const CommonBytes dc{5, 1, 2, 3, 0, 1, 0x10};
  Bytes b = Bytes().common(dc, 351);                                          // dimension
  b.common({0, 1, 1, 0, 0, 0, 0}, 351).f64(0).f64(0).f64(100).f64(0);         // its line
  b.common({0, 1, 1, 0, 0, 0, 0}, 351).f64(40).f64(1).f64(60).f64(1).i32(2);  // its text
  b.f64(2.5).f64(2.5).f64(0).f64(0).str("MS").str("100");
  TEntJwwSunpo d = ReadOne<TEntJwwSunpo>(b, 351);
  EXPECT_EQ(d.sxfMode, 0);
  EXPECT_EQ(d.text.text, Sjis("100"));
  EXPECT_EQ(d.line.endX, 100);
  // The SXF lines and points take the dimension's common part and zeros.
  const TEntJwwCommon c = d.common;
  EXPECT_EQ(c.group, 5);
  for (const TEntJwwSen* l : {&d.auxLine1, &d.auxLine2}) {
    EXPECT_EQ(l->common.group, 5);
    EXPECT_EQ(l->common.flags, 0x10);
    EXPECT_EQ(l->endX, 0);
  }
  for (const TEntJwwTen* p : {&d.point1, &d.point2, &d.point3, &d.point4}) {
    EXPECT_EQ(p->common.group, 5);
    EXPECT_EQ(p->common.penStyle, 0);
    EXPECT_EQ(p->common.penColor, 2);
    EXPECT_EQ(p->x, 0);
    EXPECT_EQ(p->isTemporary, 0);
    EXPECT_EQ(p->scale, 0);
  }
  EXPECT_EQ(WrittenBody(d, 351, 351), b.bytes());
  // Written at 420 it gains the SXF part: mode, two lines, four points (style 0
  // is written as 1, so without the extension).
  const std::string at420 = WrittenBody(d, 420, 351);
  EXPECT_EQ(at420.size(), b.size() + 2 + 2 * 47 + 4 * 35);
}

}  // namespace
}  // namespace tessaly::test

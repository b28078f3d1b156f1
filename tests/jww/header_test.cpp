// The drawing header: its layout at every version, and the values the writer
// normalises. Headers are built by hand (support/byte_builder) and checked with a
// walker of the layout table (jww_test_util), not with the reader's own code.
#include <gtest/gtest.h>

#include "archive/writer.h"
#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "support/byte_builder.h"
#include "support/documents.h"
#include "support/formats.h"

namespace tessaly::test {
namespace {

class HeaderTest : public ::testing::Test, protected Drawing::Kit {
 protected:
  void Load(const Bytes& b) { ASSERT_TRUE(test::Loaded(doc.Load(b.span()))); }
  void Load(const std::string& b) { Load(Bytes().raw(b)); }
  std::string Write(std::int32_t v) { return Written(doc, v); }
};

constexpr std::int32_t kVersions[] = {220, 223, 225, 230, 231, 300, 351, 420, 600, 700, 701};

TEST_F(HeaderTest, EveryVersionReadsItsLayoutAndWritesItBackUnchanged) {
  for (std::int32_t v : kVersions) {
    SCOPED_TRACE("version " + std::to_string(v));
    for (bool wide : {false, true}) {
      const Bytes file = EmptyJwwDrawing(v, {wide, "memo\r\nline 2"});
      const HeaderWalk walk = WalkJwwHeader(file.view());
      ASSERT_EQ(walk.end, JwwHeader(v, {wide, "memo\r\nline 2"}).size());
      Load(file);
      const auto& h = doc.Header;
      EXPECT_EQ(h.version, v);
      EXPECT_EQ(h.signature, "JwwData.");
      // The memo is read raw, line break and all.
      EXPECT_EQ(h.memo, wide ? Wide(u"memo\r\nline 2") : Sjis("memo\r\nline 2"));
      EXPECT_EQ(h.paperSize, SentinelInt(4, 0));
      EXPECT_EQ(doc.LayerGroups[15].protect, SentinelInt(6, 15 * 35 + 2));
      EXPECT_EQ(doc.LayerGroups[15].scale, SentinelDouble(6, 15));
      EXPECT_EQ(doc.Layers[255].protect, SentinelInt(6, 15 * 35 + 3 + 2 * 15 + 1));
      EXPECT_EQ(h.dimensionSettings[4], SentinelInt(8, 4));
      EXPECT_EQ(h.maxLineWidth, SentinelInt(10, 0));
      EXPECT_EQ(h.gridOriginY, SentinelDouble(17, 1));
      EXPECT_EQ(doc.Layers[0x12].name, wide ? Wide(u"L1-2") : Sjis("L1-2"));
      EXPECT_EQ(doc.LayerGroups[15].name, wide ? Wide(u"GF") : Sjis("GF"));
      EXPECT_EQ(h.wallHeight, SentinelDouble(20, 2));
      EXPECT_EQ(h.shadow9to15, SentinelInt(20, 0));
      EXPECT_EQ(h.skyRadius, v >= 300 ? SentinelDouble(21, 1) : 0);
      EXPECT_EQ(h.unit25D, SentinelInt(22, 0));
      EXPECT_EQ(h.rangeOriginY, SentinelDouble(26, 1));
      if (v > 230) {
        EXPECT_EQ(h.markJumps[9].layerGroup, SentinelInt(27, 9));
        EXPECT_EQ(h.markJumps[9].y, SentinelDouble(27, 29));
      } else {
        EXPECT_EQ(h.markJumps[3].y, SentinelDouble(27, 11));
        // Mark jumps 5 to 8 and every layer group keep their initial values.
        EXPECT_EQ(h.markJumps[0].layerGroup, -1);
        EXPECT_EQ(h.markJumps[4].scale, 1.0);
        EXPECT_EQ(h.markJumps[7].layerGroup, -1);
      }
      EXPECT_EQ(h.bothSidesOffset, SentinelDouble(29, 0));
      EXPECT_EQ(doc.Pens[9].printPointRadius, 0.5 + 9 / 8.0);
      EXPECT_EQ(doc.LongLineTypes[3][3], SentinelInt(34, 15));
      EXPECT_EQ(h.drawFlags[9], SentinelInt(35, 9));
      EXPECT_EQ(h.printSkipTens, v >= 600 ? 3 : 0);
      EXPECT_EQ(h.printSkipUnits, 6);
      EXPECT_EQ(h.drawingTime, v >= 223 ? SentinelInt(37, 0) : 0);
      EXPECT_EQ(h.eyeDoubles[4], v >= 223 ? SentinelDouble(38, 4) : 0);
      EXPECT_EQ(h.lastSizes[3], v >= 225 ? SentinelDouble(39, 3) : 0);
      EXPECT_EQ(h.solidColor, v >= 230 ? SentinelInt(40, 1) : 0);
      if (v >= 420) {
        EXPECT_EQ(doc.ColorsEx[256].name, wide ? Wide(u"Col256") : Sjis("Col256"));
        EXPECT_EQ(doc.ColorsEx[256].printPointRadius, 64.0);
        EXPECT_EQ(doc.LineTypesEx[32].segments[9], 32 + 9 / 8.0);
        EXPECT_EQ(doc.LineTypesEx[32].printPitch, 35);
      } else {
        EXPECT_TRUE(doc.ColorsEx[256].name.empty());
      }
      EXPECT_EQ(doc.TextKinds[9].color, SentinelInt(43, 9));
      EXPECT_EQ(h.textOffsetY[2], SentinelDouble(44, 10));  // the last value of the header
      EXPECT_EQ(h.textAlignOffsets, SentinelInt(44, 2));
      EXPECT_TRUE(SameBytes(Write(v), file.bytes()));
    }
  }
}

TEST_F(HeaderTest, VersionDependentBlockSizes) {
  struct Case {
    std::int32_t v;
    std::size_t shadowAndSky, markJumps, fields35to40;
  };
  // Version 230 keeps the short mark jumps: the layout table holds up to 230.
  const Case cases[] = {{220, 28, 96, 44},  {223, 28, 96, 104},  {225, 28, 96, 136},
                        {230, 28, 96, 144}, {231, 28, 280, 144}, {300, 44, 280, 144},
                        {600, 44, 280, 144}};
  for (const auto& c : cases) {
    const Bytes file = EmptyJwwDrawing(c.v);
    const HeaderWalk w = WalkJwwHeader(file.view());
    EXPECT_EQ(w.Find(22).offset - w.Find(20).offset, c.shadowAndSky) << c.v;
    EXPECT_EQ(w.Find(28).offset - w.Find(27).offset, c.markJumps) << c.v;
    EXPECT_EQ(w.Find(c.v >= 420 ? 41 : 43).offset - w.Find(35).offset, c.fields35to40) << c.v;
  }
}

TEST_F(HeaderTest, VersionsWithoutALayoutFailTheLoad) {
  for (std::int32_t v : {221, 222, 224, 226, 227, 228, 229, 219, 200, 0, -1}) {
    // A whole 230 header after the version, so that only the version is wrong.
    Bytes b = EmptyJwwDrawing(230);
    std::string bytes = b.bytes();
    bytes.replace(8, 4, Bytes().i32(v).bytes());
    const LoadResult r = doc.Load(Bytes().raw(bytes).span());
    // The two cases are told apart: older than any drawing, or a version
    // whose header has no defined layout.
    EXPECT_EQ(r.status, v < 220 ? LoadResult::Status::kTooOld : LoadResult::Status::kNoLayout) << v;
    EXPECT_EQ(r.offset, 8u) << v;
    EXPECT_EQ(r.record, "header");
    EXPECT_NE(r.message.find("unsupported version " + std::to_string(v)), std::string::npos) << r.message;
  }
  // And a file that is not a drawing at all.
  const LoadResult r = doc.Load(Bytes().raw("JwsData.").i32(600).span());
  EXPECT_EQ(r.status, LoadResult::Status::kNotThisFormat);
  EXPECT_EQ(r.message, "not a JWW drawing");
}

TEST_F(HeaderTest, ReservedFieldsAreWrittenAsZeros) {
  const Bytes clean = EmptyJwwDrawing(600);
  const HeaderWalk w = WalkJwwHeader(clean.view());
  std::string dirty = clean.bytes();
  for (int i = 0; i < 14; ++i)
    dirty.replace(w.Find(7, 0, i).offset, 4, Bytes().u32(0xA5A5A5A5u + i).bytes());
  dirty.replace(w.Find(9).offset, 4, Bytes().i32(-1).bytes());
  Load(dirty);
  EXPECT_TRUE(SameBytes(Write(600), clean.bytes()));
}

TEST_F(HeaderTest, MaximumLineWidthIsBoundedUpTo420) {
  const std::tuple<std::int32_t, std::int32_t, std::int32_t> cases[] = {
      {420, -450, -101}, {351, -102, -101}, {420, -101, -101}, {420, -100, -100},
      {600, -450, -450}, {700, -102, -102}, {230, 7, 7},
  };
  for (auto [v, in, out] : cases) {
    Load(EmptyJwwDrawing(v));
    doc.Header.maxLineWidth = in;
    const std::string written = Write(v);
    EXPECT_EQ(I32At(written, WalkJwwHeader(written).Find(10).offset), out) << v << " " << in;
    EXPECT_EQ(doc.Header.maxLineWidth, in);  // the document keeps its value
  }
}

TEST_F(HeaderTest, Field36KeepsItsTensFrom600On) {
  const std::tuple<std::int32_t, std::int32_t, std::int32_t> cases[] = {
      {600, 23, 23}, {600, 3, 13}, {600, 0, 10}, {700, 45, 45},
      {300, 23, 3},  {420, 9, 9},  {220, 17, 7},
  };
  for (auto [v, in, out] : cases) {
    Bytes file = EmptyJwwDrawing(v);
    const HeaderItem at = WalkJwwHeader(file.view()).Find(36);
    Load(Splice(file.view(), at, Bytes().i32(in).view()));
    EXPECT_EQ(doc.Header.printSkipTens, in / 10);
    EXPECT_EQ(doc.Header.printSkipUnits, in % 10);
    EXPECT_EQ(I32At(Write(v), at.offset), out) << v << " " << in;
  }
}

TEST_F(HeaderTest, PensAreClamped) {
  Load(EmptyJwwDrawing(600));
  struct Pen {
    std::int32_t color, width, printColor, printWidth;
    double radius;
  };
  const std::pair<Pen, Pen> cases[] = {
      // pen 0: its print colour is always white
      {{0, 0, 5, 0, 0.05}, {0, 1, 0xFFFFFF, 1, 0.1}},
      {{-1, 40, -1, 501, 11}, {0, 16, 0, 500, 10}},
      {{0x1000000, 16, 0x1000000, 500, 10}, {0, 16, 0, 500, 10}},
      {{0xFFFFFF, 1, 0xFFFFFF, 1, 0.1}, {0xFFFFFF, 1, 0xFFFFFF, 1, 0.1}},
      {{0x123456, 17, 0, -3, 0.0999}, {0x123456, 16, 0, 1, 0.1}},
  };
  for (int n = 0; n < 5; ++n) {
    const Pen& in = cases[n].first;
    doc.Pens[n] = {in.color, in.width, in.printColor, in.printWidth, in.radius};
  }
  const std::string out = Write(600);
  const HeaderWalk w = WalkJwwHeader(out);
  for (int n = 0; n < 5; ++n) {
    const Pen& p = cases[n].second;
    EXPECT_EQ(I32At(out, w.Find(30, n, 0).offset), p.color) << n;
    EXPECT_EQ(I32At(out, w.Find(30, n, 1).offset), p.width) << n;
    EXPECT_EQ(I32At(out, w.Find(31, n, 0).offset), p.printColor) << n;
    EXPECT_EQ(I32At(out, w.Find(31, n, 1).offset), p.printWidth) << n;
    EXPECT_EQ(F64At(out, w.Find(31, n, 2).offset), p.radius) << n;
  }
  EXPECT_EQ(doc.Pens[0].width, 0);
}

TEST_F(HeaderTest, NamesAreCleanedAndABlankTabReadsEmpty) {
  const Bytes file = EmptyJwwDrawing(600);
  const HeaderWalk w = WalkJwwHeader(file.view());
  // Layer 0: a single tab; layer 1: A ^ m B; group 2: a lone lead byte at the end.
  std::string b = file.bytes();
  b = Splice(b, w.Find(19, 2), Bytes().str("G\x82").view());
  b = Splice(b, w.Find(18, 1), Bytes().str("A^mB").view());
  b = Splice(b, w.Find(18, 0), Bytes().str("\t").view());
  Load(b);
  EXPECT_EQ(doc.Layers[0].name, Sjis(""));
  EXPECT_EQ(doc.Layers[1].name, Sjis("A^mB"));
  EXPECT_EQ(doc.LayerGroups[2].name, Sjis("G"));
  const std::string out = Write(600);
  const HeaderWalk wo = WalkJwwHeader(out);
  EXPECT_EQ(Hex(out.substr(wo.Find(18, 0).offset, wo.Find(18, 0).size)), "00");
  EXPECT_EQ(PayloadOf(out, wo.Find(18, 1)).bytes, "AB");
  EXPECT_EQ(PayloadOf(out, wo.Find(19, 2)).bytes, "G");
  // A name that cleaning empties is written as one space; the memo is written raw.
  doc.Layers[3].name = Sjis("^m");
  doc.Header.memo = Sjis("a\tb^m");
  const std::string out2 = Write(600);
  const HeaderWalk w2 = WalkJwwHeader(out2);
  EXPECT_EQ(PayloadOf(out2, w2.Find(18, 3)).bytes, " ");
  EXPECT_EQ(PayloadOf(out2, w2.Find(3)).bytes, "a\tb^m");
}

TEST_F(HeaderTest, BlankSxfColourNamesBecomeColorN) {
  for (bool wide : {false, true}) {
    const Bytes file = EmptyJwwDrawing(600, {wide, "m"});
    Load(file);
    auto name = [&](std::string_view ascii) { return JString::Ascii(ascii, wide); };
    doc.ColorsEx[20].name = JString(wide ? Utf16le(u"") : "", wide);
    doc.ColorsEx[0].name = wide ? Wide(u" \u3000\t") : Sjis(" \x81\x40\t");
    doc.ColorsEx[5].name = name(" a ");
    doc.ColorsEx[6].name = name("x^m");
    doc.ColorsEx[30].color = 0x00ABCDEF;
    doc.ColorsEx[30].printColor = 7;  // above 16 the print colour is the colour
    doc.ColorsEx[16].printColor = 7;  // up to 16 it is kept
    const std::string out = Write(600);
    const HeaderWalk w = WalkJwwHeader(out);
    auto payload = [&](int n) { return PayloadOf(out, w.Find(41, n, 0, 1)); };
    EXPECT_EQ(payload(20).bytes, name("Color_20").bytes);
    EXPECT_EQ(payload(20).wide, wide);
    EXPECT_EQ(payload(0).bytes, name("Color_0").bytes);
    EXPECT_EQ(payload(5).bytes, name(" a ").bytes);
    EXPECT_EQ(payload(6).bytes, name("x").bytes);
    EXPECT_EQ(payload(7).bytes, name("Col7").bytes);
    EXPECT_EQ(I32At(out, w.Find(41, 30, 1, 1).offset), 0x00ABCDEF);
    EXPECT_EQ(I32At(out, w.Find(41, 16, 1, 1).offset), 7);
    EXPECT_TRUE(doc.ColorsEx[20].name.empty());
  }
}

TEST_F(HeaderTest, SxfLineTypes) {
  for (bool wide : {false, true}) {
    Load(EmptyJwwDrawing(700, {wide, "m"}));
    auto name = [&](std::string_view ascii) { return JString::Ascii(ascii, wide); };
    doc.LineTypesEx[0].pattern = 0;        // written -1
    doc.LineTypesEx[5].name = name("  ");  // blank
    doc.LineTypesEx[10].segmentCount = 0;  // up to 16 any count is valid
    doc.LineTypesEx[17].segmentCount = 0;  // invalid
    doc.LineTypesEx[18].segmentCount = 3;  // invalid
    doc.LineTypesEx[19].segmentCount = 8;  // valid
    doc.LineTypesEx[19].pattern = 0;
    const std::string out = Write(700);
    const HeaderWalk w = WalkJwwHeader(out);
    auto i32 = [&](int n, int sub, int pass) {
      return I32At(out, w.Find(42, n, sub, pass).offset);
    };
    auto f64 = [&](int n, int sub) { return F64At(out, w.Find(42, n, sub, 1).offset); };
    EXPECT_EQ(i32(0, 0, 0), -1);
    EXPECT_EQ(i32(19, 0, 0), -1);
    EXPECT_EQ(PayloadOf(out, w.Find(42, 5, 0, 1)).bytes, name("LType_5").bytes);
    EXPECT_EQ(PayloadOf(out, w.Find(42, 10, 0, 1)).bytes, name("LT10").bytes);
    EXPECT_EQ(i32(10, 1, 1), 0);
    EXPECT_EQ(i32(10, 0, 0), 42010);
    for (int n : {17, 18}) {
      EXPECT_EQ(static_cast<std::uint32_t>(i32(n, 0, 0)), 0xC3C3C3C3u);
      EXPECT_EQ(i32(n, 1, 0), 8);
      EXPECT_EQ(i32(n, 2, 0), 1);
      EXPECT_EQ(i32(n, 3, 0), 8);
      EXPECT_EQ(PayloadOf(out, w.Find(42, n, 0, 1)).bytes,
                name("LType_" + std::to_string(n)).bytes);
      EXPECT_EQ(PayloadOf(out, w.Find(42, n, 0, 1)).wide, wide);
      EXPECT_EQ(i32(n, 1, 1), 2);
      const double segs[] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
      for (int i = 0; i < 10; ++i) EXPECT_EQ(f64(n, 2 + i), segs[i]) << n << " " << i;
    }
    EXPECT_EQ(i32(19, 1, 1), 8);
    EXPECT_EQ(PayloadOf(out, w.Find(42, 19, 0, 1)).bytes, name("LT19").bytes);
    EXPECT_EQ(doc.LineTypesEx[17].segmentCount, 0);
  }
}

TEST_F(HeaderTest, ATableBelow420IsNotWrittenAndAHigherVersionGetsItFromTheDocument) {
  Load(EmptyJwwDrawing(351));
  // Written at 600, the SXF tables appear with their initial values normalised.
  const std::string out = Write(600);
  const HeaderWalk w = WalkJwwHeader(out);
  EXPECT_EQ(PayloadOf(out, w.Find(41, 3, 0, 1)).bytes, "Color_3");
  EXPECT_EQ(I32At(out, w.Find(42, 3, 0).offset), -1);
  EXPECT_EQ(I32At(out, w.Find(42, 20, 0).offset), static_cast<std::int32_t>(0xC3C3C3C3u));
  // And back at 351 the header is the one read.
  EXPECT_TRUE(SameBytes(Write(351), EmptyJwwDrawing(351).bytes()));
}

}  // namespace
}  // namespace tessaly::test

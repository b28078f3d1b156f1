#include "dissolve/dissolve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/entity_lists.h"
#include "support/temp_dir.h"
#include "support/documents.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace {
namespace draw = test::draw;

using draw::Dimension;
using test::Same;

JString Wide(std::u16string_view s) {
  JString j;
  j.wide = true;
  for (char16_t c : s) j.appendUnit(static_cast<std::uint16_t>(c));
  return j;
}

// The part of a dimension as its new entity must be: layer and layer group of the
// dimension, the flag bits added, everything else as stored.
template <typename T>
T Expected(const T& part, const TEntJwwSunpo& d, std::uint16_t bits) {
  T e = part;
  e.common.layer = d.common.layer;
  e.common.layerGroup = d.common.layerGroup;
  e.common.flags = static_cast<std::uint16_t>(e.common.flags | bits);
  return e;
}

TEST(Dissolve, AppendsThePartsInOrderAndEmptiesTheDimensionEntries) {
  TEntityList list;
  list.Add(draw::Line(0, 0, 1, 1));
  TEntJwwSunpo a = Dimension(1, JString("12"), 1);  // SXF, both auxiliary lines
  list.Add(a);
  list.Add(draw::Point(5, 5));
  TEntJwwSunpo b = Dimension(2, JString("  "), 0);  // a line only
  list.Add(b);
  list.Add(draw::Text(JString("note"), 3, 3));
  const JString spaceFive("\x81\x40\x35");      // a full-width space and "5"
  TEntJwwSunpo c = Dimension(3, spaceFive, 2);  // SXF, no auxiliary line
  c.auxLine1.endX = c.auxLine1.startX;
  c.auxLine1.endY = c.auxLine1.startY;
  c.auxLine2 = draw::Line(0, 7, 1e-8, 7, c.auxLine2.common);
  list.Add(c);

  const DissolveResult r = DissolveList(list, true);
  EXPECT_EQ(list.PartCount, 3 + 2 + 2 + 8);
  EXPECT_EQ(list.CountSum(), 3 + 2 + 2 + 8 + 3);  // the three entities there before
  draw::ExpandParts(list);

  EXPECT_EQ(r.dimensions, 3);
  EXPECT_EQ(r.lines, 3 + 2);
  EXPECT_EQ(r.texts, 2);
  EXPECT_EQ(r.points, 8);
  // clang-format off
  const std::vector<TEntJwwIndex> expected = {
      {kLine, 0}, {kEmpty, 0}, {kPoint, 0}, {kEmpty, 1}, {kText, 0}, {kEmpty, 2},
      // a: line, text, auxLine1, auxLine2, point1..point4
      {kLine, 1}, {kText, 1}, {kLine, 2}, {kLine, 3}, {kPoint, 1}, {kPoint, 2}, {kPoint, 3}, {kPoint, 4},
      // b: line
      {kLine, 4},
      // c: line, text, point1..point4
      {kLine, 5}, {kText, 2}, {kPoint, 5}, {kPoint, 6}, {kPoint, 7}, {kPoint, 8}};
  // clang-format on
  EXPECT_EQ(list.EntityIndex, expected);
  EXPECT_EQ(list.LineCount(), 6);
  EXPECT_EQ(list.TextCount(), 3);
  EXPECT_EQ(list.PointCount(), 9);
  EXPECT_EQ(list.DimensionCount, 0);
  EXPECT_EQ(list.Dimensions.size(), 3u);  // the records stay
  EXPECT_EQ(list.CountSum(), 6 + 3 + 9);

  // Every new entity is its part, with the dimension's layers and the flag bits.
  EXPECT_TRUE(Same(list.Lines[1], Expected(a.line, a, 0x2000)));
  EXPECT_TRUE(Same(list.Texts[1], Expected(a.text, a, 0x4010)));
  EXPECT_TRUE(Same(list.Lines[2], Expected(a.auxLine1, a, 0x2000)));
  EXPECT_TRUE(Same(list.Lines[3], Expected(a.auxLine2, a, 0x2000)));
  EXPECT_TRUE(Same(list.Points[1], Expected(a.point1, a, 0x0040)));
  EXPECT_TRUE(Same(list.Points[2], Expected(a.point2, a, 0x0040)));
  TEntJwwTen p3 = Expected(a.point3, a, 0x0040), p4 = Expected(a.point4, a, 0x0040);
  p3.isTemporary = p4.isTemporary = 1;
  EXPECT_TRUE(Same(list.Points[3], p3));
  EXPECT_TRUE(Same(list.Points[4], p4));
  EXPECT_TRUE(Same(list.Lines[4], Expected(b.line, b, 0x2000)));
  EXPECT_TRUE(Same(list.Lines[5], Expected(c.line, c, 0x2000)));
  // The whole value, spaces included, not the stripped one used for the test.
  EXPECT_EQ(list.Texts[2].text, spaceFive);
  EXPECT_TRUE(Same(list.Points[5], Expected(c.point1, c, 0x0040)));

  // The entities that were there are untouched.
  EXPECT_TRUE(Same(list.Lines[0], draw::Line(0, 0, 1, 1)));
  EXPECT_TRUE(Same(list.Texts[0], draw::Text(JString("note"), 3, 3)));
}

TEST(Dissolve, KeepsFlagBitsAlreadySetAndTakesTheDimensionsLayers) {
  TEntityList list;
  TEntJwwSunpo d = Dimension(0, JString("1"), 1);
  d.common.layer = 15;
  d.common.layerGroup = 0;
  d.line.common.flags = 0xFFFF;
  d.text.common.flags = 0x0001;
  d.point1.common.flags = 0x0040;
  list.Add(d);
  DissolveList(list, false);
  draw::ExpandParts(list);
  ASSERT_EQ(list.LineCount(), 3);
  EXPECT_EQ(list.Lines[0].common.flags, 0xFFFF);
  EXPECT_EQ(list.Texts[0].common.flags, 0x4011);
  EXPECT_EQ(list.Lines[1].common.flags, 0x2004);
  EXPECT_EQ(list.Lines[2].common.flags, 0x2000);
  EXPECT_EQ(list.Points[0].common.flags, 0x0040);
  EXPECT_EQ(list.Points[1].common.flags, 0x0440);
  for (const auto& l : list.Lines) EXPECT_EQ(l.common.layer, 15);
  for (const auto& p : list.Points) EXPECT_EQ(p.common.layerGroup, 0);
  // Nothing else of the common part changes.
  EXPECT_EQ(list.Lines[0].common.group, d.line.common.group);
  EXPECT_EQ(list.Points[1].common.penWidth, d.point2.common.penWidth);
}

struct ValueCase {
  const char* name;
  JString value;
  bool text;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
  *os << c.name;
}

class DissolveValue : public testing::TestWithParam<ValueCase> {};

TEST_P(DissolveValue, MakesATextOnlyForAVisibleCharacter) {
  TEntityList list;
  list.Add(Dimension(0, GetParam().value, 0));
  const DissolveResult r = DissolveList(list, true);
  draw::ExpandParts(list);
  EXPECT_EQ(r.texts, GetParam().text ? 1 : 0);
  EXPECT_EQ(list.LineCount(), 1);  // the line always
  ASSERT_EQ(list.TextCount(), GetParam().text ? 1 : 0);
  if (GetParam().text) {
    EXPECT_EQ(list.Texts[0].text, GetParam().value);
    EXPECT_EQ(list.EntityIndex.back(), (TEntJwwIndex{kText, 0}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DissolveValue,
    testing::Values(ValueCase{"Empty", JString(""), false},
                    ValueCase{"AsciiSpaces", JString("   "), false},
                    ValueCase{"FullWidthSpaces", JString("\x81\x40\x81\x40"), false},
                    ValueCase{"ControlCharacters", JString("\t\r\n\x01\x1f"), false},
                    ValueCase{"AllKindsOfSpace", JString(" \x81\x40\t \x81\x40"), false},
                    ValueCase{"DigitAmongSpaces", JString(" 1 "), true},
                    ValueCase{"FullWidthDigit", JString("\x82\x50"), true},
                    // The trail byte 0x40 after a lead byte other than 0x81 is no space.
                    ValueCase{"KanjiWithTrail40", JString("\x88\x40"), true},
                    ValueCase{"LeadByteBeforeSpace", JString("\x88\x20"), true},
                    ValueCase{"Delete", JString("\x7f"), true},
                    ValueCase{"WideEmpty", Wide(u""), false},
                    ValueCase{"WideSpaces", Wide(u"\u3000 \t\u3000\u001f"), false},
                    ValueCase{"WideDigit",
                              Wide(u"\u3000"
                                   u"1"),
                              true},
                    ValueCase{"WideKanji", Wide(u"\u5bf8"), true},
                    // 0x8140 as a UTF-16 unit is a CJK character, not a space.
                    ValueCase{"WideUnit8140", Wide(u"\u8140"), true}),
    [](const testing::TestParamInfo<ValueCase>& p) { return std::string(p.param.name); });

struct AuxCase {
  const char* name;
  double x1, y1, x2, y2;
  bool emitted;
};

void PrintTo(const AuxCase& c, std::ostream* os) {
  *os << c.name;
}

class DissolveAuxLine : public testing::TestWithParam<AuxCase> {};

TEST_P(DissolveAuxLine, NeedsALengthAbove1e8) {
  const AuxCase& c = GetParam();
  for (int which = 1; which <= 2; ++which) {
    TEntityList list;
    TEntJwwSunpo d = Dimension(0, JString("1"), 1);
    TEntJwwSen& aux = which == 1 ? d.auxLine1 : d.auxLine2;
    aux = draw::Line(c.x1, c.y1, c.x2, c.y2, aux.common);
    list.Add(d);
    DissolveList(list, false);
    draw::ExpandParts(list);
    // The other auxiliary line and both points stay.
    EXPECT_EQ(list.LineCount(), c.emitted ? 3 : 2) << "auxLine" << which;
    EXPECT_EQ(list.PointCount(), 2);
    if (!c.emitted) {
      EXPECT_TRUE(Same(list.Lines[1], Expected(which == 1 ? d.auxLine2 : d.auxLine1, d, 0x2000)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DissolveAuxLine,
                         testing::Values(AuxCase{"Zero", 5, 5, 5, 5, false},
                                         AuxCase{"Exactly1e8", 0, 0, 1e-8, 0, false},
                                         AuxCase{"Exactly1e8Vertical", 3, 1, 3, 1 + 1e-8, false},
                                         AuxCase{"JustAbove", 0, 0, 1.0000001e-8, 0, true},
                                         AuxCase{"Diagonal", 0, 0, 1e-8, 1e-8, true},
                                         AuxCase{"Long", -1e6, 2, 1e6, 2, true}),
                         [](const testing::TestParamInfo<AuxCase>& p) {
                           return std::string(p.param.name);
                         });

TEST(Dissolve, TheDimensionLineNeedsNoLength) {
  TEntityList list;
  TEntJwwSunpo d = Dimension(0, JString(""), 0);
  d.line = draw::Line(4, 4, 4, 4, d.line.common);
  list.Add(d);
  DissolveList(list, true);
  draw::ExpandParts(list);
  ASSERT_EQ(list.LineCount(), 1);
  EXPECT_EQ(list.EntityIndex, (std::vector<TEntJwwIndex>{{kEmpty, 0}, {kLine, 0}}));
}

TEST(Dissolve, ReferencePointsOnlyWithTheOption) {
  for (bool option : {false, true}) {
    TEntityList list;
    TEntJwwSunpo d = Dimension(0, JString("1"), 1);
    d.point2.isTemporary = 0;
    d.point1.isTemporary = 1;
    list.Add(d);
    DissolveList(list, option);
    draw::ExpandParts(list);
    ASSERT_EQ(list.PointCount(), option ? 4 : 2);
    // point1 and point2 keep what they hold; the reference points are temporary.
    EXPECT_EQ(list.Points[0].isTemporary, 1);
    EXPECT_EQ(list.Points[1].isTemporary, 0);
    if (option) {
      EXPECT_EQ(list.Points[2].isTemporary, 1);
      EXPECT_EQ(list.Points[3].isTemporary, 1);
      EXPECT_EQ(list.Points[2].x, d.point3.x);
      EXPECT_EQ(list.Points[3].x, d.point4.x);
    }
  }
}

TEST(Dissolve, WorksInEveryBlockDefinitionOnItsOwnList) {
  TBoundImages images;
  TJwwData doc(images);
  draw::New(doc, 600);
  doc.Add(draw::Line(0, 0, 1, 0));
  draw::AddInsertion(doc, 1, 0, 0);
  TEntJwwBlockDef& d1 = draw::AddBlockDef(doc, 1, "one");
  d1.Add(Dimension(1, JString("1"), 1));
  draw::AddInsertion(d1, 2, 0, 0);
  TEntJwwBlockDef& d2 = draw::AddBlockDef(doc, 2, "two");
  d2.Add(draw::Point(1, 1));
  d2.Add(Dimension(2, JString(""), 0));
  d2.Add(Dimension(3, JString("3"), 0));

  const DissolveResult r = DissolveDimensions(doc, true);
  draw::ExpandParts(doc);

  EXPECT_EQ(r.dimensions, 3);
  EXPECT_EQ(doc.EntityIndex,
            (std::vector<TEntJwwIndex>{{kLine, 0}, {kBlock, 0}}));  // main list untouched
  EXPECT_EQ(doc.LineCount(), 1);
  EXPECT_EQ(doc.BlockDefs[0].EntityIndex, (std::vector<TEntJwwIndex>{{kEmpty, 0},
                                                                     {kBlock, 0},
                                                                     {kLine, 0},
                                                                     {kText, 0},
                                                                     {kLine, 1},
                                                                     {kLine, 2},
                                                                     {kPoint, 0},
                                                                     {kPoint, 1},
                                                                     {kPoint, 2},
                                                                     {kPoint, 3}}));
  EXPECT_EQ(doc.BlockDefs[0].Blocks[0].blockNumber, 2);
  EXPECT_EQ(doc.BlockDefs[1].EntityIndex,
            (std::vector<TEntJwwIndex>{
                {kPoint, 0}, {kEmpty, 0}, {kEmpty, 1}, {kLine, 0}, {kLine, 1}, {kText, 0}}));
  EXPECT_EQ(doc.BlockDefs[1].DimensionCount, 0);
  EXPECT_EQ(doc.BlockDefs[1].Dimensions.size(), 2u);
  EXPECT_FALSE(HasDimensions(doc));
}

// A text made from a dimension's value refers to an image as any text does,
// in the main list and in a definition.
TEST(Dissolve, ATextMadeFromAValueKeepsItsImage) {
  test::TempDir work;
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  draw::New(doc, 700);
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) draw::EmbedImage(doc, name, name);
  // Only the dimensions' values refer to b and c.
  doc.Texts[1].text = doc.Texts[2].text = JString("plain");
  doc.Add(Dimension(1, JString("^@BM%temp%b.bmp,1,1"), 1));
  draw::AddInsertion(doc, 1, 0, 0);
  (draw::AddBlockDef(doc, 1, "d")).Add(Dimension(2, JString("^@BM%temp%C.BMP,1,1"), 0));
  DissolveDimensions(doc, false);
  TJwwData again(images);
  const std::string bytes = test::WrittenBuilt(doc, 700);
  ASSERT_TRUE(test::Loaded(again.Load(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))));
  ASSERT_EQ(images.Entries.size(), 3u);
  EXPECT_EQ(images.Entries[1].name, JString("b.bmp"));
  EXPECT_EQ(images.Entries[2].name, JString("c.bmp"));
}

TEST(Dissolve, ASecondDissolveChangesNothing) {
  TBoundImages images;
  TJwwData doc(images);
  draw::Sample(doc, 600, 5);
  DissolveDimensions(doc, true);
  const std::string once = test::WrittenBuilt(doc, 600);
  const DissolveResult r = DissolveDimensions(doc, true);
  EXPECT_EQ(r.dimensions + r.lines + r.texts + r.points, 0);
  EXPECT_EQ(test::WrittenBuilt(doc, 600), once);
}

TEST(Dissolve, ManyDimensionsKeepTheIndexInStep) {
  TEntityList list;
  for (int i = 0; i < 2501; ++i) list.Add(Dimension(i, JString(i % 3 ? "x" : " "), i % 2 ? 1 : 0));
  const DissolveResult r = DissolveList(list, true);
  EXPECT_EQ(r.dimensions, 2501);
  EXPECT_EQ(list.CountSum(), static_cast<std::int64_t>(list.EntityIndex.size()) - 2501);
  draw::ExpandParts(list);
  EXPECT_EQ(list.CountSum(), static_cast<std::int64_t>(list.EntityIndex.size()) - 2501);
  std::vector<int> next(8, 0);
  for (std::size_t i = 2501; i < list.EntityIndex.size(); ++i) {
    const auto& e = list.EntityIndex[i];
    EXPECT_EQ(e.index, next[e.kind]++) << i;
  }
  EXPECT_EQ(next[kLine], list.LineCount());
  EXPECT_EQ(next[kText], list.TextCount());
  EXPECT_EQ(next[kPoint], list.PointCount());
}

// What the writer makes of a dissolved drawing loads again, with no dimension, at
// every version.
TEST(Dissolve, WrittenAndReadAgainHoldsNoDimension) {
  for (std::int32_t version : {230, 351, 420, 600, 700}) {
    TBoundImages images;
    TJwwData doc(images);
    draw::Sample(doc, version, 4);
    const std::string before = test::WrittenBuilt(doc, version);
    ASSERT_TRUE(test::Loaded(doc.Load(
        std::span(reinterpret_cast<const std::uint8_t*>(before.data()), before.size())))) << version << ": ";
    const DissolveResult r = DissolveDimensions(doc, true);
    EXPECT_EQ(r.dimensions, 5) << version;
    const std::string after = test::WrittenBuilt(doc, version);
    // The parts as copies in their arrays write the same bytes.
    draw::ExpandParts(doc);
    EXPECT_EQ(test::WrittenBuilt(doc, version), after) << version;
    const std::int32_t lines = doc.LineCount(), texts = doc.TextCount(), points = doc.PointCount();
    TJwwData again(images);
    ASSERT_TRUE(test::Loaded(again.Load(
        std::span(reinterpret_cast<const std::uint8_t*>(after.data()), after.size())))) << version << ": ";
    EXPECT_EQ(test::EntriesOf(again, kDimension), 0) << version;
    EXPECT_EQ(again.LineCount(), lines) << version;
    EXPECT_EQ(again.TextCount(), texts) << version;
    EXPECT_EQ(again.PointCount(), points) << version;
    EXPECT_EQ(test::WrittenBuilt(again, version), after) << version;
  }
}

// The real drawings hold no dimension: dissolving them must leave exactly what a
// plain load and save writes.
class DissolveCorpus : public testing::TestWithParam<int> {};

TEST_P(DissolveCorpus, WithoutDimensionsWritesWhatAPlainSaveWrites) {
  const auto files = test::CorpusFiles("jww");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  if (static_cast<std::size_t>(GetParam()) >= files.size()) GTEST_SKIP() << "fewer files";
  const auto& path = files[GetParam()];
  test::TempDir work;
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  ASSERT_TRUE(test::Loads(doc, path));
  const std::string plain = test::WrittenBuilt(doc, doc.Version());
  for (bool option : {false, true}) {
    ASSERT_TRUE(test::Loads(doc, path));
    ASSERT_FALSE(HasDimensions(doc));
    const DissolveResult r = DissolveDimensions(doc, option);
    EXPECT_EQ(r.dimensions + r.lines + r.texts + r.points, 0);
    EXPECT_EQ(test::WrittenBuilt(doc, doc.Version()), plain);
  }
}

INSTANTIATE_TEST_SUITE_P(Jww, DissolveCorpus, testing::Range(0, 25));

TEST(SegmentLength, IsTheEuclideanDistance) {
  EXPECT_EQ(SegmentLength(0, 0, 3, 4), 5.0);
  EXPECT_EQ(SegmentLength(1, 1, 1, 1), 0.0);
  EXPECT_EQ(SegmentLength(0, 0, 1e-8, 0), 1e-8);
  EXPECT_EQ(SegmentLength(-2, 0, 1, 0), 3.0);
  // No overflow in the squares of large coordinates.
  EXPECT_TRUE(std::isfinite(SegmentLength(0, 0, 1e200, 1e200)));
}

}  // namespace
}  // namespace tessaly

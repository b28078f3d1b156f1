// The dissolve: of one list (the parts each dimension yields, in order, with
// the dimension's layers and the flag bits), and of whole documents, drawings
// and figures alike, written and read again.
#include "dissolve/dissolve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "jws/jws_data.h"
#include "jww/jww_data.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/entity_lists.h"
#include "support/formats.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace draw = test::draw;
using draw::Dimension;
using test::Same;
using test::Wide;

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

TEST(SegmentLength, IsTheEuclideanDistance) {
  EXPECT_EQ(SegmentLength(0, 0, 3, 4), 5.0);
  EXPECT_EQ(SegmentLength(1, 1, 1, 1), 0.0);
  EXPECT_EQ(SegmentLength(0, 0, 1e-8, 0), 1e-8);
  EXPECT_EQ(SegmentLength(-2, 0, 1, 0), 3.0);
  // No overflow in the squares of large coordinates.
  EXPECT_TRUE(std::isfinite(SegmentLength(0, 0, 1e200, 1e200)));
}

// A text made from a dimension's value refers to an image as any text does,
// in the main list and in a definition.
TEST(Dissolve, ATextMadeFromAValueKeepsItsImage) {
  test::Drawing::Kit k;
  TJwwData& doc = k.doc;
  draw::New(doc, 700);
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) draw::EmbedImage(doc, name, name);
  // Only the dimensions' values refer to b and c.
  doc.Texts[1].text = doc.Texts[2].text = JString("plain");
  doc.Add(Dimension(1, JString("^@BM%temp%b.bmp,1,1"), 1));
  draw::AddInsertion(doc, 1, 0, 0);
  (draw::AddBlockDef(doc, 1, "d")).Add(Dimension(2, JString("^@BM%temp%C.BMP,1,1"), 0));
  DissolveDimensions(doc, false);
  TJwwData again(k.images);
  ASSERT_TRUE(test::LoadsBytes(again, test::WrittenBuilt(doc, 700)));
  ASSERT_EQ(k.images.Entries.size(), 3u);
  EXPECT_EQ(k.images.Entries[1].name, JString("b.bmp"));
  EXPECT_EQ(k.images.Entries[2].name, JString("c.bmp"));
}

// Drawings and figures alike.
template <typename F>
class DissolveDocument : public testing::Test {};
TYPED_TEST_SUITE(DissolveDocument, test::Formats, test::FormatNames);

// One dimension of the table below and what it must yield.
struct DimCase {
  const char* name;
  JString value;
  std::uint16_t sxfMode;
  bool text;
  double aux1Length = 50;  // auxLine1 runs along x from the origin, auxLine2 along y
  double aux2Length = 50;
};

// `longest`: the longest text the format keeps.
std::vector<DimCase> DimCases(std::size_t longest) {
  return {
      {"Plain", JString("1200"), 0, true},
      {"Empty", JString(""), 0, false},
      {"AsciiSpaces", JString("   "), 1, false},
      {"FullWidthSpaces", JString("\x81\x40\x81\x40"), 1, false},
      {"ControlCharacters", JString("\t\r\n\x01\x1f"), 0, false},
      {"DigitAmongSpaces", JString(" \x81\x40"
                                   "1 "),
       1, true},
      {"KanjiWithTrail40", JString("\x88\x40"), 0, true},
      {"WideSpaces", Wide(u"\u3000 \t"), 1, false},
      {"WideDigit", Wide(u"\u3000"
                         u"1"),
       2, true},
      {"Long", JString(std::string(longest, 'L')), 1, true},
      {"NoAuxLine1", JString("5"), 1, true, 0, 50},
      {"AuxLine2Of1e8", JString("5"), 1, true, 50, 1e-8},
      {"AuxLinesJustAbove1e8", JString("5"), 1, true, 1.0000001e-8, 2e-8},
      // Without SXF mode the auxiliary lines and points are ignored, also when
      // they have lengths.
      {"NotSxfWithZeroAux", JString("5"), 0, true, 0, 0},
  };
}

TEntJwwSunpo DimensionFor(const DimCase& c, int seed) {
  TEntJwwSunpo d = Dimension(seed, c.value, c.sxfMode);
  // From the origin, so that lengths near 1e-8 are exact.
  d.auxLine1 = draw::Line(0, 0, c.aux1Length, 0, d.auxLine1.common);
  d.auxLine2 = draw::Line(0, 0, 0, c.aux2Length, d.auxLine2.common);
  d.line.endX = d.line.startX;  // the dimension line is drawn even without a length
  d.line.endY = d.line.startY;
  return d;
}

// Fills a list with two ordinary entities and one dimension per case, and
// answers the index entries and records the dissolve must append.
struct Expectation {
  std::vector<TEntJwwIndex> index;
  std::vector<TEntJwwSen> lines;
  std::vector<TEntJwwMoji> texts;
  std::vector<TEntJwwTen> points;
};

Expectation FillList(TEntityList& list, int seedBase, bool referencePoints, std::size_t longest) {
  list.Add(draw::Line(-1, -1, 1, 1));
  list.Add(draw::Text(JString("keep"), 0, 0));
  const std::vector<DimCase> cases = DimCases(longest);
  std::vector<TEntJwwSunpo> dims;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    dims.push_back(DimensionFor(cases[i], seedBase + static_cast<int>(i)));
    list.Add(dims.back());
    if (i == 3) list.Add(draw::Point(9, 9));  // entities between dimensions stay where they are
  }
  Expectation e;
  e.index = list.EntityIndex;
  for (auto& entry : e.index) {
    if (entry.kind == kDimension) entry.kind = kEmpty;
  }
  auto line = [&](const TEntJwwSen& part, const TEntJwwSunpo& d) {
    e.lines.push_back(Expected(part, d, 0x2000));
    e.index.push_back({kLine, static_cast<std::int32_t>(list.Lines.size() + e.lines.size() - 1)});
  };
  auto point = [&](const TEntJwwTen& part, const TEntJwwSunpo& d, bool reference) {
    e.points.push_back(Expected(part, d, 0x0040));
    if (reference) e.points.back().isTemporary = 1;
    e.index.push_back(
        {kPoint, static_cast<std::int32_t>(list.Points.size() + e.points.size() - 1)});
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const DimCase& c = cases[i];
    const TEntJwwSunpo& d = dims[i];
    line(d.line, d);
    if (c.text) {
      e.texts.push_back(Expected(d.text, d, 0x4010));
      e.index.push_back(
          {kText, static_cast<std::int32_t>(list.Texts.size() + e.texts.size() - 1)});
    }
    if (c.sxfMode == 0) continue;
    if (c.aux1Length > 1e-8) line(d.auxLine1, d);
    if (c.aux2Length > 1e-8) line(d.auxLine2, d);
    point(d.point1, d, false);
    point(d.point2, d, false);
    if (referencePoints) {
      point(d.point3, d, true);
      point(d.point4, d, true);
    }
  }
  return e;
}

void ExpectDissolved(const TEntityList& list, std::size_t lines0, std::size_t texts0,
                     std::size_t points0, const Expectation& e) {
  EXPECT_EQ(list.EntityIndex, e.index);
  ASSERT_EQ(list.Lines.size(), lines0 + e.lines.size());
  ASSERT_EQ(list.Texts.size(), texts0 + e.texts.size());
  ASSERT_EQ(list.Points.size(), points0 + e.points.size());
  for (std::size_t i = 0; i < e.lines.size(); ++i)
    EXPECT_TRUE(Same(list.Lines[lines0 + i], e.lines[i])) << "line " << i;
  for (std::size_t i = 0; i < e.texts.size(); ++i)
    EXPECT_TRUE(Same(list.Texts[texts0 + i], e.texts[i])) << "text " << i;
  for (std::size_t i = 0; i < e.points.size(); ++i)
    EXPECT_TRUE(Same(list.Points[points0 + i], e.points[i])) << "point " << i;
  EXPECT_EQ(list.DimensionCount, 0);
  // The length the writer announces is the number of entries it writes.
  EXPECT_EQ(list.CountSum(), std::count_if(list.EntityIndex.begin(), list.EntityIndex.end(),
                                           [](const TEntJwwIndex& x) { return x.kind != kEmpty; }));
}

// Every case of the table, in the main list and in a block definition; what is
// written loads again with the same entities and no dimension.
TYPED_TEST(DissolveDocument, EveryCaseInTheMainListAndInADefinition) {
  const std::size_t longest = test::LongestText<TypeParam>();
  for (bool referencePoints : {false, true}) {
    SCOPED_TRACE(referencePoints ? "reference points" : "no reference points");
    typename TypeParam::Kit k, reread;
    auto& doc = k.doc;
    draw::New(doc, 600);
    const Expectation main = FillList(doc, 0, referencePoints, longest);
    draw::AddInsertion(doc, 3, 0, 0);
    TEntJwwBlockDef& def = draw::AddBlockDef(doc, 3, "def");
    const Expectation inDef = FillList(def, 50, referencePoints, longest);
    const std::int32_t mainEntries = doc.EntityCount();
    // The insertion joins the main list after its expectation was taken.
    Expectation mainWithInsertion = main;
    mainWithInsertion.index.insert(mainWithInsertion.index.begin() + mainEntries - 1,
                                   TEntJwwIndex{kBlock, 0});

    const DissolveResult r = DissolveDimensions(doc, referencePoints);
    const std::string written = test::WrittenBuilt(doc, 600);
    draw::ExpandParts(doc);
    const auto n = static_cast<std::int64_t>(DimCases(longest).size());
    EXPECT_EQ(r.dimensions, 2 * n);
    // Each list held its dimensions, two ordinary entities and a point.
    EXPECT_EQ(r.lines + r.texts + r.points,
              static_cast<std::int64_t>(main.index.size() + inDef.index.size()) - 2 * (n + 3));
    ExpectDissolved(doc, 1, 1, 1, mainWithInsertion);
    ExpectDissolved(doc.BlockDefs[0], 1, 1, 1, inDef);
    EXPECT_EQ(doc.Blocks[0].blockNumber, 3);

    // The parts as copies in their arrays write what the parts wrote.
    const std::string bytes = test::WrittenBuilt(doc, 600);
    EXPECT_TRUE(test::SameBytes(bytes, written));
    ASSERT_TRUE(test::LoadsBytes(reread.doc, bytes));
    auto& again = reread.doc;
    EXPECT_EQ(test::EntriesOf(again, kDimension), 0);
    EXPECT_TRUE(again.Dimensions.empty());
    const TEntityList* lists[][2] = {{&doc, &again}, {&doc.BlockDefs[0], &again.BlockDefs[0]}};
    for (const auto& [before, after] : lists) {
      // The empty entries are not written; everything else comes back in order.
      ASSERT_EQ(after->Lines.size(), before->Lines.size());
      ASSERT_EQ(after->Texts.size(), before->Texts.size());
      ASSERT_EQ(after->Points.size(), before->Points.size());
      for (std::size_t i = 0; i < before->Lines.size(); ++i)
        EXPECT_TRUE(Same(after->Lines[i], before->Lines[i])) << i;
      for (std::size_t i = 0; i < before->Texts.size(); ++i)
        EXPECT_TRUE(Same(after->Texts[i], before->Texts[i])) << i;
      for (std::size_t i = 0; i < before->Points.size(); ++i)
        EXPECT_TRUE(Same(after->Points[i], before->Points[i])) << i;
    }
    EXPECT_TRUE(test::SameBytes(test::WrittenBuilt(again, 600), bytes));
  }
}

// The reference points (point3 and point4) only with the option, and then as
// temporary points whatever they held; point1 and point2 keep what they hold.
// In memory, and through the file.
TYPED_TEST(DissolveDocument, ReferencePointsExactlyWithTheOption) {
  const std::int32_t held[][4] = {{1, 0, 0, 0}, {0, 1, 0, 5}};
  for (const auto& temporary : held) {
    for (bool option : {false, true}) {
      SCOPED_TRACE(std::string(option ? "on, " : "off, ") + std::to_string(temporary[0]));
      typename TypeParam::Kit k, reread;
      draw::New(k.doc, 600);
      TEntJwwSunpo d = Dimension(4, JString("1"), 1);
      TEntJwwTen* points[] = {&d.point1, &d.point2, &d.point3, &d.point4};
      for (int i = 0; i < 4; ++i) points[i]->isTemporary = temporary[i];
      k.doc.Add(d);
      DissolveDimensions(k.doc, option);
      ASSERT_TRUE(test::LoadsBytes(reread.doc, test::WrittenBuilt(k.doc, 600)));
      draw::ExpandParts(k.doc);
      for (const TEntityList* list : {static_cast<const TEntityList*>(&k.doc),
                                      static_cast<const TEntityList*>(&reread.doc)}) {
        ASSERT_EQ(list->PointCount(), option ? 4 : 2);
        for (std::size_t i = 0; i < list->Points.size(); ++i) {
          EXPECT_EQ(list->Points[i].isTemporary, i < 2 ? temporary[i] : 1) << i;
          EXPECT_EQ(list->Points[i].x, points[i]->x) << i;
        }
      }
    }
  }
}

// Dimensions in block definitions only, one of them nested in the other: each
// definition's own list is dissolved, the main list stays as it was, and the
// insertions still reach their definitions once written and read again.
TYPED_TEST(DissolveDocument, WorksInEveryBlockDefinitionOnItsOwnList) {
  typename TypeParam::Kit k, reread;
  auto& doc = k.doc;
  draw::New(doc, 420);
  doc.Add(draw::Line(0, 0, 5, 5));
  draw::AddInsertion(doc, 7, 1, 1);
  TEntJwwBlockDef& outer = draw::AddBlockDef(doc, 7, "outer");
  outer.Add(Dimension(1, JString("10"), 1));
  draw::AddInsertion(outer, 8, 2, 2);
  TEntJwwBlockDef& inner = draw::AddBlockDef(doc, 8, "inner");
  inner.Add(draw::Point(1, 1));
  inner.Add(Dimension(2, JString(" "), 0));
  inner.Add(Dimension(3, JString("30"), 1));
  const std::vector<TEntJwwIndex> mainIndex = doc.EntityIndex;

  const DissolveResult r = DissolveDimensions(doc, true);
  EXPECT_FALSE(HasDimensions(doc));
  const std::string written = test::WrittenBuilt(doc, 420);
  draw::ExpandParts(doc);
  EXPECT_EQ(r.dimensions, 3);
  EXPECT_EQ(doc.EntityIndex, mainIndex);
  EXPECT_EQ(doc.LineCount(), 1);
  EXPECT_EQ(doc.TextCount(), 0);
  EXPECT_EQ(doc.PointCount(), 0);
  EXPECT_EQ(doc.BlockCount(), 1);
  EXPECT_EQ(doc.DimensionCount, 0);
  EXPECT_EQ(doc.BlockDefs[0].EntityIndex,
            (std::vector<TEntJwwIndex>{{kEmpty, 0}, {kBlock, 0}, {kLine, 0}, {kText, 0}, {kLine, 1},
                                       {kLine, 2}, {kPoint, 0}, {kPoint, 1}, {kPoint, 2}, {kPoint, 3}}));
  EXPECT_EQ(doc.BlockDefs[0].Blocks[0].blockNumber, 8);
  EXPECT_EQ(doc.BlockDefs[1].EntityIndex,
            (std::vector<TEntJwwIndex>{{kPoint, 0}, {kEmpty, 0}, {kEmpty, 1}, {kLine, 0}, {kLine, 1},
                                       {kText, 0}, {kLine, 2}, {kLine, 3}, {kPoint, 1}, {kPoint, 2},
                                       {kPoint, 3}, {kPoint, 4}}));
  EXPECT_EQ(doc.BlockDefs[1].DimensionCount, 0);
  EXPECT_EQ(doc.BlockDefs[1].Dimensions.size(), 2u);  // the records stay

  // Written and read again: the main list holds what it held, the definitions
  // their new entities, and the insertions still reach them.
  ASSERT_TRUE(test::LoadsBytes(reread.doc, written));
  const auto& again = reread.doc;
  EXPECT_EQ(again.EntityCount(), 2);
  EXPECT_EQ(again.LineCount(), 1);
  EXPECT_EQ(again.BlockCount(), 1);
  ASSERT_EQ(again.BlockDefCount(), 2);
  EXPECT_EQ(again.BlockDefs[0].EntityCount(), 9);
  EXPECT_EQ(again.BlockDefs[1].EntityCount(), 10);
  ASSERT_EQ(again.BlockDefs[0].BlockCount(), 1);
  EXPECT_EQ(again.Blocks[0].blockNumber, again.BlockDefs[0].number);
  EXPECT_EQ(again.BlockDefs[0].Blocks[0].blockNumber, again.BlockDefs[1].number);
  EXPECT_EQ(test::EntriesOf(again, kDimension), 0);
}

TYPED_TEST(DissolveDocument, ASecondDissolveChangesNothing) {
  for (std::int32_t version : {600, 700}) {
    SCOPED_TRACE(version);
    typename TypeParam::Kit k;
    draw::Sample(k.doc, version, 5);
    EXPECT_EQ(DissolveDimensions(k.doc, true).dimensions, 6);
    const std::string once = test::WrittenBuilt(k.doc, version);
    const DissolveResult r = DissolveDimensions(k.doc, true);
    EXPECT_EQ(r.dimensions + r.lines + r.texts + r.points, 0);
    EXPECT_TRUE(test::SameBytes(test::WrittenBuilt(k.doc, version), once));
  }
}

// What the writer makes of a dissolved document loads again, with no
// dimension, at every version.
TYPED_TEST(DissolveDocument, WrittenAndReadAgainHoldsNoDimension) {
  for (std::int32_t version : TypeParam::kVersions) {
    SCOPED_TRACE(version);
    typename TypeParam::Kit k, reread;
    auto& doc = k.doc;
    draw::Sample(doc, version, 4);
    ASSERT_TRUE(test::LoadsBytes(doc, test::WrittenBuilt(doc, version)));
    const DissolveResult r = DissolveDimensions(doc, true);
    EXPECT_EQ(r.dimensions, 5);
    const std::string after = test::WrittenBuilt(doc, version);
    // The parts as copies in their arrays write the same bytes.
    draw::ExpandParts(doc);
    EXPECT_TRUE(test::SameBytes(test::WrittenBuilt(doc, version), after));
    ASSERT_TRUE(test::LoadsBytes(reread.doc, after));
    auto& again = reread.doc;
    EXPECT_EQ(test::EntriesOf(again, kDimension), 0);
    EXPECT_EQ(again.LineCount(), doc.LineCount());
    EXPECT_EQ(again.TextCount(), doc.TextCount());
    EXPECT_EQ(again.PointCount(), doc.PointCount());
    EXPECT_TRUE(test::SameBytes(test::WrittenBuilt(again, version), after));
  }
}

// The real files hold no dimension: dissolving them must leave exactly what a
// plain load and save writes.
TYPED_TEST(DissolveDocument, WithoutDimensionsWritesWhatAPlainSaveWrites) {
  const auto files = test::CorpusFiles(TypeParam::kCorpus);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    typename TypeParam::Kit k;
    ASSERT_TRUE(test::Loads(k.doc, path));
    const std::string plain = test::Written(k.doc, k.doc.Version());
    for (bool option : {false, true}) {
      ASSERT_TRUE(test::Loads(k.doc, path));
      ASSERT_FALSE(HasDimensions(k.doc));
      const DissolveResult r = DissolveDimensions(k.doc, option);
      EXPECT_EQ(r.dimensions + r.lines + r.texts + r.points, 0);
      EXPECT_TRUE(test::SameBytes(test::Written(k.doc, k.doc.Version()), plain));
    }
  }
}

}  // namespace
}  // namespace tessaly

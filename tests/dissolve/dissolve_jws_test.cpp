// The dissolve on figures: read from bytes, dissolved, written with the figure
// writer's rules, and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dissolve/dissolve.h"
#include "jws/figure_bytes.h"
#include "jws/jws_data.h"
#include "support/drawing_builder.h"
#include "support/entity_lists.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly {
namespace {
namespace draw = test::draw;
using draw::Dimension;
using test::Same;
using test::Bytes;
using test::FigureSpec;

JString Wide(std::u16string_view s) {
  JString j("", true);
  for (char16_t c : s) j.appendUnit(static_cast<std::uint16_t>(c));
  return j;
}

TJwsData Loaded(const std::string& bytes) {
  TJwsData doc;
  EXPECT_TRUE(test::Loaded(doc.Load(test::AsBytes(bytes))));
  return doc;
}

// The dimension of BuildFigure as its parts come out of the dissolve, in the
// file: the dimension's layer 7 on every part, the flag bits OR-ed into those
// the parts hold.
void DissolvedLine(Bytes& b, const FigureSpec& s, double x) {
  test::Common(b, s, 1, 2, 7, 0x0010 | 0x2000);
  b.f64(x).f64(2.5).f64(x + 10).f64(-4.25);
}

void DissolvedPoint(Bytes& b, const FigureSpec& s, std::uint8_t penStyle, double x,
                    std::int32_t isTemporary) {
  test::Common(b, s, penStyle, 1, 7, 0x0040);
  b.f64(x).f64(x * 2).i32(isTemporary);
  if (penStyle == 100) b.i32(12).f64(45.0).f64(1.5);  // code, rotation, scale
}

// What BuildFigure(in) is written as after the dissolve: `out` holds the
// written version and layout, and the dimension's text as the text entity
// made from it is written.
std::string DissolvedFigure(const FigureSpec& out, bool sxf, bool text, bool referencePoints) {
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
    FigureSpec in;
    in.version = in.schema = in.layout = c.version;
    in.dimText = c.dimText;
    in.dimFont = JString(std::string(270, 'F'));  // a font name longer than 255 bytes
    TJwsData doc = Loaded(test::BuildFigure(in));
    ASSERT_EQ(doc.Dimensions.size(), 1u);

    const DissolveResult r = DissolveDimensions(doc, referencePoints);
    EXPECT_EQ(r.dimensions, 1);
    EXPECT_EQ(doc.DimensionCount, 0);

    const std::int32_t written = TJwsData::WrittenVersion(c.version);
    FigureSpec out = in;
    out.version = out.schema = out.layout = written;
    out.penWidth = c.version >= 351 ? 3 : 0;
    out.dimText = c.written;
    StringSink sink;
    doc.Write(sink, doc.Version());
    EXPECT_TRUE(test::SameBytes(
        sink.bytes, DissolvedFigure(out, c.version >= 420, !c.written.empty(), referencePoints)));
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
        // The whole value, not the first 255 bytes.
        GoldenCase{"Value300Bytes", 600, JString(std::string(299, '9') + "m"),
                   JString(std::string(299, '9') + "m")},
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

// One dimension of the table below and what it must yield.
struct DimCase {
  const char* name;
  JString value;
  std::uint16_t sxfMode;
  bool text;
  double aux1Length = 50;  // auxLine1 runs along x from the origin, auxLine2 along y
  double aux2Length = 50;
};

std::vector<DimCase> DimCases() {
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
      {"Long", JString(std::string(400, 'L')), 1, true},
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

Expectation FillList(TEntityList& list, int seedBase, bool referencePoints) {
  list.Add(draw::Line(-1, -1, 1, 1));
  list.Add(draw::Text(JString("keep"), 0, 0));
  const std::vector<DimCase> cases = DimCases();
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

// Every case of the dissolve, in the main list and in a block definition of a
// figure; what is written loads again with the same entities and no dimension.
TEST(JwsDissolve, EveryCaseInTheMainListAndInADefinition) {
  for (bool referencePoints : {false, true}) {
    SCOPED_TRACE(referencePoints ? "reference points" : "no reference points");
    TJwsData doc;
    draw::New(doc, 600);
    const Expectation main = FillList(doc, 0, referencePoints);
    draw::AddInsertion(doc, 3, 0, 0);
    TEntJwwBlockDef& def = draw::AddBlockDef(doc, 3, "def");
    const Expectation inDef = FillList(def, 50, referencePoints);
    const std::int32_t mainEntries = doc.EntityCount();
    // The insertion joins the main list after its expectation was taken.
    Expectation mainWithInsertion = main;
    mainWithInsertion.index.insert(mainWithInsertion.index.begin() + mainEntries - 1,
                                   TEntJwwIndex{kBlock, 0});

    const DissolveResult r = DissolveDimensions(doc, referencePoints);
    const std::string written = test::WrittenBuilt(doc, 600);
    draw::ExpandParts(doc);
    const auto n = static_cast<std::int64_t>(DimCases().size());
    EXPECT_EQ(r.dimensions, 2 * n);
    // Each list held its dimensions, two ordinary entities and a point.
    EXPECT_EQ(r.lines + r.texts + r.points,
              static_cast<std::int64_t>(main.index.size() + inDef.index.size()) - 2 * (n + 3));
    ExpectDissolved(doc, 1, 1, 1, mainWithInsertion);
    ExpectDissolved(doc.BlockDefs[0], 1, 1, 1, inDef);
    EXPECT_EQ(doc.Blocks[0].blockNumber, 3);

    // The parts as copies in their arrays write what the parts wrote.
    const std::string bytes = test::WrittenBuilt(doc, 600);
    EXPECT_EQ(bytes, written);
    TJwsData again = Loaded(bytes);
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
    EXPECT_EQ(test::WrittenBuilt(again, 600), bytes);
  }
}

TEST(JwsDissolve, ALongValueGivesATextOfTheWholeString) {
  TJwsData doc;
  draw::New(doc, 700);
  TEntJwwSunpo d = Dimension(1, JString(std::string(299, 'a') + "\x95\x5C"), 1);
  d.text.fontName = JString(std::string(256, 'f'));
  doc.Add(d);
  DissolveDimensions(doc, false);

  TJwsData again = Loaded(test::WrittenBuilt(doc, 700));
  ASSERT_EQ(again.TextCount(), 1);
  EXPECT_EQ(again.Texts[0].text.bytes, std::string(299, 'a') + "\x95\x5C");
  EXPECT_EQ(again.Texts[0].fontName.bytes, std::string(256, 'f'));
}

TEST(JwsDissolve, DefinitionsOnlyLeaveTheMainListAsItWas) {
  TJwsData doc;
  draw::New(doc, 420);
  doc.Add(draw::Line(0, 0, 5, 5));
  draw::AddInsertion(doc, 7, 1, 1);
  TEntJwwBlockDef& inner = draw::AddBlockDef(doc, 7, "outer");
  inner.Add(Dimension(1, JString("10"), 1));
  draw::AddInsertion(inner, 8, 2, 2);
  TEntJwwBlockDef& leaf = draw::AddBlockDef(doc, 8, "inner");
  leaf.Add(Dimension(2, JString(" "), 0));
  leaf.Add(Dimension(3, JString("30"), 1));
  const std::vector<TEntJwwIndex> mainIndex = doc.EntityIndex;

  const DissolveResult r = DissolveDimensions(doc, true);
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
            (std::vector<TEntJwwIndex>{{kEmpty, 0},
                                       {kBlock, 0},
                                       {kLine, 0},
                                       {kText, 0},
                                       {kLine, 1},
                                       {kLine, 2},
                                       {kPoint, 0},
                                       {kPoint, 1},
                                       {kPoint, 2},
                                       {kPoint, 3}}));
  EXPECT_EQ(doc.BlockDefs[1].EntityIndex,
            (std::vector<TEntJwwIndex>{{kEmpty, 0},
                                       {kEmpty, 1},
                                       {kLine, 0},
                                       {kLine, 1},
                                       {kText, 0},
                                       {kLine, 2},
                                       {kLine, 3},
                                       {kPoint, 0},
                                       {kPoint, 1},
                                       {kPoint, 2},
                                       {kPoint, 3}}));
  EXPECT_EQ(doc.BlockDefs[0].Blocks[0].blockNumber, 8);

  // Written and read again: the main list holds what it held, the definitions
  // their new entities, and the insertions still reach them.
  TJwsData again = Loaded(written);
  EXPECT_EQ(again.EntityCount(), 2);
  EXPECT_EQ(again.LineCount(), 1);
  EXPECT_EQ(again.BlockCount(), 1);
  ASSERT_EQ(again.BlockDefCount(), 2);
  EXPECT_EQ(again.BlockDefs[0].EntityCount(), 9);
  EXPECT_EQ(again.BlockDefs[1].EntityCount(), 9);
  ASSERT_EQ(again.BlockDefs[0].BlockCount(), 1);
  EXPECT_EQ(again.Blocks[0].blockNumber, again.BlockDefs[0].number);
  EXPECT_EQ(again.BlockDefs[0].Blocks[0].blockNumber, again.BlockDefs[1].number);
  EXPECT_EQ(test::EntriesOf(again, kDimension), 0);
}

TEST(JwsDissolve, ReferencePointsExactlyWithTheOption) {
  for (bool option : {false, true}) {
    SCOPED_TRACE(option ? "on" : "off");
    TJwsData doc;
    draw::New(doc, 600);
    TEntJwwSunpo d = Dimension(4, JString("1"), 1);
    d.point1.isTemporary = 0;
    d.point2.isTemporary = 1;
    d.point3.isTemporary = 0;
    d.point4.isTemporary = 5;
    doc.Add(d);
    DissolveDimensions(doc, option);
    // Through the file, so that what is written is what is checked.
    TJwsData again = Loaded(test::WrittenBuilt(doc, 600));
    ASSERT_EQ(again.PointCount(), option ? 4 : 2);
    EXPECT_EQ(again.Points[0].isTemporary, 0);
    EXPECT_EQ(again.Points[0].x, d.point1.x);
    EXPECT_EQ(again.Points[1].isTemporary, 1);
    EXPECT_EQ(again.Points[1].x, d.point2.x);
    if (option) {
      EXPECT_EQ(again.Points[2].isTemporary, 1);
      EXPECT_EQ(again.Points[2].x, d.point3.x);
      EXPECT_EQ(again.Points[3].isTemporary, 1);
      EXPECT_EQ(again.Points[3].x, d.point4.x);
    }
  }
}

TEST(JwsDissolve, ASecondDissolveChangesNothing) {
  TJwsData doc;
  draw::Sample(doc, 700, 5);
  EXPECT_EQ(DissolveDimensions(doc, true).dimensions, 6);
  const std::string once = test::WrittenBuilt(doc, 700);
  const DissolveResult r = DissolveDimensions(doc, true);
  EXPECT_EQ(r.dimensions + r.lines + r.texts + r.points, 0);
  EXPECT_EQ(test::WrittenBuilt(doc, 700), once);
}

// The real figures hold no dimension: dissolving them must leave exactly what
// a plain load and save writes.
class JwsDissolveCorpus : public testing::TestWithParam<int> {};

TEST_P(JwsDissolveCorpus, WithoutDimensionsWritesWhatAPlainSaveWrites) {
  const auto files = test::CorpusFiles("jws");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  if (static_cast<std::size_t>(GetParam()) >= files.size()) GTEST_SKIP() << "fewer files";
  const auto& path = files[static_cast<std::size_t>(GetParam())];
  TJwsData doc;
  ASSERT_TRUE(test::Loads(doc, path));
  StringSink plain;
  doc.Write(plain, doc.Version());
  for (bool option : {false, true}) {
    ASSERT_TRUE(test::Loads(doc, path));
    ASSERT_FALSE(HasDimensions(doc));
    const DissolveResult r = DissolveDimensions(doc, option);
    EXPECT_EQ(r.dimensions + r.lines + r.texts + r.points, 0);
    StringSink after;
    doc.Write(after, doc.Version());
    EXPECT_TRUE(after.bytes == plain.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Jws, JwsDissolveCorpus, testing::Range(0, 94));

}  // namespace
}  // namespace tessaly

// Reading and writing figures against bytes spelt out by hand.
#include "jws/jws_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "jws/figure_bytes.h"
#include "archive/writer.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly {
namespace {

using test::BuildFigure;
using test::Bytes;
using test::FigureContents;
using test::Written;
using test::LoadedFigure;
using test::Sjis;
using test::Wide;

double DoubleAt(const std::string& b, std::size_t offset) {
  double d;
  std::memcpy(&d, b.data() + offset, 8);
  return d;
}

std::int32_t Int32At(const std::string& b, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, b.data() + offset, 4);
  return v;
}

TEST(JwsHeader, ReadsEveryFieldInFileOrderAndWritesFillerAsDots) {
  FigureContents in;
  in.filler = 0x00;  // whatever the filler holds, it is not read
  const std::string bytes = BuildFigure(in);
  TJwsData doc = LoadedFigure(bytes);

  EXPECT_EQ(doc.Header.Signature, "JwsData");
  EXPECT_EQ(doc.Version(), 600);
  EXPECT_EQ(doc.Header.HeaderReals1, (std::array<double, 2>{-135.5, 70.25}));
  // Layer group 0 is the double at offset 220, group 15 the one at 340.
  EXPECT_EQ(doc.LayerGroups[0].scale, DoubleAt(bytes, 220));
  EXPECT_EQ(doc.LayerGroups[15].scale, DoubleAt(bytes, 340));
  for (int g = 0; g < 16; ++g) EXPECT_EQ(doc.LayerGroups[g].scale, 100.0 + g) << g;
  EXPECT_EQ(doc.Header.HeaderInts, (std::array<std::int32_t, 6>{11, 22, 33, 44, 55, 66}));
  EXPECT_EQ(Int32At(bytes, 348), 11);
  EXPECT_EQ(doc.Header.HeaderReals2[0], DoubleAt(bytes, 372));
  EXPECT_EQ(doc.Header.HeaderReals2[9], 3.5);

  FigureContents out = in;
  out.filler = 0x2E;
  EXPECT_TRUE(test::SameBytes(Written(doc, 600), BuildFigure(out)));
}

TEST(JwsHeader, EmptyFigureIsTheHeaderAndTwoZeroCounts) {
  Bytes b;
  test::FigureHeader(b, 700, 0x2E);
  ASSERT_EQ(b.size(), TJwsData::kHeaderSize);
  b.u16(0).u16(0);
  TJwsData doc = LoadedFigure(b.bytes());
  EXPECT_EQ(doc.EntityCount(), 0);
  EXPECT_EQ(doc.BlockDefCount(), 0);
  EXPECT_EQ(doc.UsedBlockDefCount, 0);
  EXPECT_TRUE(test::SameBytes(Written(doc, 700), b.bytes()));

  // A figure made from nothing gets the figure signature, and version 0 is
  // written as 230.
  TJwsData empty;
  Bytes e;
  e.raw("JwsData").fill(193, 0x2E).i32(230).fill(2 * 8 + 16 * 8 + 6 * 4 + 10 * 8, 0).u16(0).u16(0);
  EXPECT_TRUE(test::SameBytes(Written(empty, empty.Version()), e.bytes()));
  EXPECT_EQ(e.size(), 456u);
}

// A figure read with version v is written with the version the rules give, in
// that version's layout: old versions without pen widths, 351 with them (0 where
// the source had none), and the SXF part of dimensions from 420 on.
struct VersionCase {
  std::int32_t read;
  std::int32_t written;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
  *os << c.read << " -> " << c.written;
}

class JwsVersions : public testing::TestWithParam<VersionCase> {};

TEST_P(JwsVersions, ReadCompletelyAndWrittenByTheVersionRules) {
  const VersionCase c = GetParam();
  FigureContents in;
  in.version = in.schema = in.layout = c.read;
  in.blockNumber = 10;  // the one definition is used: written as 0
  TJwsData doc = LoadedFigure(BuildFigure(in));
  EXPECT_EQ(doc.EntityCount(), 4);
  ASSERT_EQ(doc.BlockDefCount(), 1);
  EXPECT_EQ(doc.BlockDefs[0].EntityCount(), 2);
  EXPECT_EQ(doc.Lines[0].common.penWidth, c.read >= 351 ? 3 : 0);
  EXPECT_EQ(doc.Dimensions[0].sxfMode, c.read >= 420 ? 1 : 0);
  EXPECT_TRUE(doc.BlockDefs[0].used);

  EXPECT_EQ(TJwsData::WrittenVersion(c.read), c.written);
  FigureContents out;
  out.version = out.schema = out.layout = c.written;
  out.penWidth = c.read >= 351 ? 3 : 0;
  const std::string written = Written(doc, c.read);
  EXPECT_TRUE(test::SameBytes(written, BuildFigure(out)));
  EXPECT_EQ(Int32At(written, 200), c.written);
}

INSTANTIATE_TEST_SUITE_P(All, JwsVersions,
                         testing::Values(VersionCase{0, 230}, VersionCase{200, 230},
                                         VersionCase{229, 230}, VersionCase{230, 230},
                                         VersionCase{231, 231}, VersionCase{300, 351},
                                         VersionCase{301, 301}, VersionCase{350, 350},
                                         VersionCase{351, 351}, VersionCase{420, 420},
                                         VersionCase{600, 600}, VersionCase{700, 700},
                                         VersionCase{701, 701}),
                         [](const testing::TestParamInfo<VersionCase>& i) {
                           return "v" + std::to_string(i.param.read);
                         });

TEST(JwsVersions, Version300WrittenAs351WithoutSxfPartSpeltOut) {
  // The line of a version-300 figure is 45 bytes; written as 351 it is 47, with
  // a zero pen width after the pen colour.
  FigureContents in;
  in.version = in.schema = in.layout = 300;
  TJwsData doc = LoadedFigure(BuildFigure(in));
  const std::string out = Written(doc, 300);
  const std::size_t line = 452 + 2 + 2 + 2 + 2 + 8;  // count, new-class record of "CDataSen"
  Bytes expected;
  expected
      .i32(7)       // group
      .u8(1)        // pen style
      .u16(2)       // pen colour
      .u16(0)       // pen width, which version 300 does not hold
      .u16(3)       // layer
      .u16(2)       // layer group
      .u16(0x0010)  // flags
      .f64(1.0)     // start x
      .f64(2.5)     // start y
      .f64(11.0)    // end x
      .f64(-4.25);  // end y
  EXPECT_EQ(out.substr(line, 47), expected.bytes());
  EXPECT_EQ(out.substr(452 + 4, 2), std::string("\x5F\x01", 2));  // schema 351
}

TEST(JwsStrings, TextOf300BytesKeptWholeInTextAndDimension) {
  FigureContents in;
  in.text = JString(std::string(300, 'x'));
  in.dimText = JString(std::string(298, 'y') + "\x95\x5C");  // ends with a whole two-byte character
  in.font = JString(std::string(260, 'f'));
  const std::string bytes = BuildFigure(in);
  ASSERT_NE(bytes.find(std::string("\xFF\x2C\x01", 3) + std::string(300, 'x')), std::string::npos);
  TJwsData doc = LoadedFigure(bytes);
  EXPECT_EQ(doc.Texts[0].text.bytes, std::string(300, 'x'));
  EXPECT_EQ(doc.Texts[0].fontName.bytes.size(), 260u);
  EXPECT_EQ(doc.Dimensions[0].text.text, in.dimText);
  EXPECT_EQ(doc.BlockDefs[0].Texts[0].text.bytes.size(), 300u);
  EXPECT_TRUE(test::SameBytes(Written(doc, 600), bytes));
}

TEST(JwsStrings, ControlCharactersDroppedOnReadingTwoByteCharactersKept) {
  FigureContents in;
  in.text = JString(
      "A\x0D\x0A\x95\x5C"
      "B");
  TJwsData doc = LoadedFigure(BuildFigure(in));
  EXPECT_EQ(doc.Texts[0].text.bytes,
            "A\x95\x5C"
            "B");
}

// The leading "^@BM%temp%" of a text entity loses its "%temp%", judged on the
// text as cleaned for writing; font names and the text of dimensions are only
// cleaned.
struct RewriteCase {
  const char* name;
  JString input;
  JString text;   // a text entity's text as written
  JString other;  // a font name or a dimension's text as written
};

void PrintTo(const RewriteCase& c, std::ostream* os) {
  *os << c.name;
}

class JwsRewrite : public testing::TestWithParam<RewriteCase> {};

TEST_P(JwsRewrite, TextEntitiesOnly) {
  const RewriteCase& c = GetParam();
  TJwsData doc = LoadedFigure(BuildFigure(FigureContents{}));
  doc.Texts[0].text = c.input;
  doc.Texts[0].fontName = c.input;
  doc.BlockDefs[0].Texts[0].text = c.input;
  doc.BlockDefs[0].Texts[0].fontName = c.input;
  doc.Dimensions[0].text.text = c.input;
  doc.Dimensions[0].text.fontName = c.input;

  FigureContents out;
  out.text = c.text;
  out.font = out.dimFont = out.dimText = c.other;
  EXPECT_TRUE(test::SameBytes(Written(doc, 600), BuildFigure(out)));
}

INSTANTIATE_TEST_SUITE_P(
    All, JwsRewrite,
    testing::Values(
        RewriteCase{"FileName", Sjis("^@BM%temp%a.bmp"), Sjis("^@BMa.bmp"), Sjis("^@BM%temp%a.bmp")},
        RewriteCase{"WithPlacement", Sjis("^@BM%temp%a.bmp,10,20"), Sjis("^@BMa.bmp,10,20"),
                    Sjis("^@BM%temp%a.bmp,10,20")},
        RewriteCase{"MarkerAlone", Sjis("^@BM%temp%"), Sjis("^@BM"), Sjis("^@BM%temp%")},
        RewriteCase{"NoTemp", Sjis("^@BMa.bmp"), Sjis("^@BMa.bmp"), Sjis("^@BMa.bmp")},
        RewriteCase{"MarkerLater", Sjis("x^@BM%temp%a.bmp"), Sjis("x^@BM%temp%a.bmp"),
                    Sjis("x^@BM%temp%a.bmp")},
        RewriteCase{"UpperCaseTemp", Sjis("^@BM%TEMP%a.bmp"), Sjis("^@BM%TEMP%a.bmp"),
                    Sjis("^@BM%TEMP%a.bmp")},
        RewriteCase{"NineBytes", Sjis("^@BM%temp"), Sjis("^@BM%temp"), Sjis("^@BM%temp")},
        RewriteCase{"ControlsRemoved", Sjis("\x01^@BM%te\x1Fmp%a.bmp"), Sjis("^@BMa.bmp"),
                    Sjis("^@BM%temp%a.bmp")},
        RewriteCase{"CaretMRemoved", Sjis("^m^@BM%temp%a.bmp"), Sjis("^@BMa.bmp"), Sjis("^@BM%temp%a.bmp")},
        RewriteCase{"TwoByteName", Sjis("^@BM%temp%\x95\x5C.bmp"), Sjis("^@BM\x95\x5C.bmp"),
                    Sjis("^@BM%temp%\x95\x5C.bmp")},
        RewriteCase{"Utf16", Wide(u"^@BM%temp%\u8868.bmp"), Wide(u"^@BM\u8868.bmp"),
                    Wide(u"^@BM%temp%\u8868.bmp")},
        RewriteCase{"Utf16ControlRemoved", Wide(u"\u0001^@BM%temp%a"), Wide(u"^@BMa"), Wide(u"^@BM%temp%a")},
        RewriteCase{"Utf16NoTemp", Wide(u"^@BMa.bmp"), Wide(u"^@BMa.bmp"), Wide(u"^@BMa.bmp")},
        RewriteCase{"Utf16FullWidthCaret", Wide(u"\uFF3E@BM%temp%a"), Wide(u"\uFF3E@BM%temp%a"),
                    Wide(u"\uFF3E@BM%temp%a")}),
    [](const testing::TestParamInfo<RewriteCase>& i) { return std::string(i.param.name); });

TEST(JwsRewrite, SpeltOutInTheFileAfterReading) {
  FigureContents in;
  in.text = Sjis("^@BM%temp%a.bmp,1,2");
  in.font = in.dimFont = in.dimText = Sjis("^@BM%temp%x");
  TJwsData doc = LoadedFigure(BuildFigure(in));
  FigureContents out = in;
  out.text = Sjis("^@BMa.bmp,1,2");
  EXPECT_TRUE(test::SameBytes(Written(doc, 600), BuildFigure(out)));
}

TEST(JwsLoad, BytesAfterTheDefinitionsAreIgnored) {
  FigureContents in;
  in.version = in.schema = in.layout = 700;
  in.trailing = std::string("\x01\x00\x00\x00garbage", 11);
  TJwsData doc = LoadedFigure(BuildFigure(in));
  in.trailing.clear();
  EXPECT_TRUE(test::SameBytes(Written(doc, 700), BuildFigure(in)));
}

TEST(JwsLoad, ClassNameOfTheDefinitionTagUpTo200Bytes) {
  // A definition's tag is not checked, but its name must fit the reader's
  // 200-byte buffer.
  FigureContents in;
  in.defClassName = std::string(200, 'N');
  TJwsData doc = LoadedFigure(BuildFigure(in));
  EXPECT_EQ(doc.BlockDefCount(), 1);

  in.defClassName = std::string(201, 'N');
  TJwsData bad;
  const LoadResult badResult = bad.Load(test::AsBytes(BuildFigure(in)));
  EXPECT_FALSE(badResult);
  EXPECT_NE(badResult.message.find("longer than 200"), std::string::npos) << badResult.message;
}

TEST(JwsLoad, UnknownEntityClassFails) {
  Bytes b;
  test::FigureHeader(b, 600, 0x2E);
  b.u16(1).newClass(600, "CDataXyz").fill(60, 0);
  TJwsData doc;
  const LoadResult docResult = doc.Load(b.span());
  EXPECT_FALSE(docResult);
  EXPECT_NE(docResult.message.find("CDataXyz"), std::string::npos) << docResult.message;
}

TEST(JwsLoad, FailedLoadKeepsWhatWasReadAndFindsTheDefinitionsInUse) {
  std::string bytes = BuildFigure(FigureContents{});
  bytes.resize(bytes.size() - 5);  // inside the definition's text
  TJwsData doc;
  const LoadResult docResult = doc.Load(test::AsBytes(bytes));
  EXPECT_FALSE(docResult);
  EXPECT_NE(docResult.message.find("truncated"), std::string::npos) << docResult.message;
  EXPECT_EQ(doc.EntityCount(), 4);
  ASSERT_EQ(doc.BlockDefCount(), 1);
  EXPECT_EQ(doc.BlockDefs[0].EntityCount(), 1);  // the line; the cut text is dropped
  EXPECT_TRUE(doc.BlockDefs[0].used);
  EXPECT_EQ(doc.UsedBlockDefCount, 1);
  EXPECT_EQ(doc.BlockTreeCount(), 1);

  doc.Clear();
  EXPECT_EQ(doc.EntityCount(), 0);
  EXPECT_EQ(doc.BlockDefCount(), 0);
  EXPECT_EQ(doc.Version(), 0);
  EXPECT_TRUE(doc.Header.Signature.empty());
  EXPECT_EQ(doc.LayerGroups[3].scale, 0);
}

TEST(JwsLoad, NotAFigure) {
  for (std::string bytes :
       {std::string("JwwData.") + std::string(500, '\0'), std::string("JwsDat"), std::string()}) {
    TJwsData doc;
    const LoadResult docResult = doc.Load(test::AsBytes(bytes));
    EXPECT_FALSE(docResult);
    EXPECT_EQ(docResult.message, "not a JWS figure");
  }
  TJwsData doc;
  const LoadResult docResult = doc.Load(test::AsBytes(std::string("JwsData") + std::string(300, '.')));
  EXPECT_FALSE(docResult);
  EXPECT_NE(docResult.message.find("(header)"), std::string::npos) << docResult.message;
}

TEST(JwsFiles, LoadAndSaveThroughFiles) {
  test::TempDir dir;
  FigureContents in;
  in.version = in.schema = in.layout = 300;
  test::WriteFile(dir / "a.jws", BuildFigure(in));
  TJwsData doc;
  ASSERT_TRUE(test::Loads(doc, dir / "a.jws"));
  ASSERT_TRUE(test::Saves(doc, dir / "b.jws", doc.Version()));
  EXPECT_EQ(test::ReadFile(dir / "b.jws"), Written(doc, 300));
  EXPECT_EQ(Int32At(test::ReadFile(dir / "b.jws"), 200), 351);
  EXPECT_EQ(doc.Version(), 300);  // the member keeps the version read
}

TEST(JwsWrite, UnusedDefinitionsAreAllWrittenWithAMatchingCount) {
  // Two definitions that no insertion reaches, numbered 40 and 50: both are
  // written, under a count of 2 (the used count is 0), numbered 0 and 1.
  auto figure = [](std::int32_t first, std::int32_t second) {
    const FigureContents s;
    Bytes b;
    test::FigureHeader(b, 600, 0x2E);
    b.count(0);                      // main list
    b.count(2);                      // block definitions
    b.newClass(600, "CDataList");    // class 1
    test::Common(b, s, 0, 0, 0, 0);  // object 2
    b.i32(first).i32(0).i32(1).str("A").count(0);
    b.classRef(1);
    test::Common(b, s, 0, 0, 0, 0);  // object 3
    b.i32(second).i32(0).i32(2).str("B").count(0);
    return b.bytes();
  };
  TJwsData doc = LoadedFigure(figure(40, 50));
  EXPECT_EQ(doc.UsedBlockDefCount, 0);
  EXPECT_TRUE(test::SameBytes(Written(doc, 600), figure(0, 1)));
}

}  // namespace
}  // namespace tessaly

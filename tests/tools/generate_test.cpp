// The generated drawings: what is built is what the writer writes and the reader
// reads back, the same bytes every time, and the bundled examples are current.
#include "generate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "examples.h"
#include "archive/writer.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"
#include "support/documents.h"
#include "support/entity_lists.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::TempDir;

int SxfCount(const TEntityList& l) {
  return static_cast<int>(std::count_if(l.Dimensions.begin(), l.Dimensions.end(),
                                        [](const TEntJwwSunpo& d) { return d.sxfMode != 0; }));
}

// What the reader gives back must equal what was built: every record of every
// list, and which definitions are used under which numbers.
void ExpectSameLists(const TEntityLists& built, const TEntityLists& read) {
  EXPECT_EQ(test::Dump(read), test::Dump(built));
  EXPECT_EQ(built.EntityIndex, read.EntityIndex);
  EXPECT_EQ(built.UsedBlockDefCount, read.UsedBlockDefCount);
  ASSERT_EQ(built.BlockDefCount(), read.BlockDefCount());
  for (std::size_t i = 0; i < built.BlockDefs.size(); ++i) {
    EXPECT_EQ(built.BlockDefs[i].EntityIndex, read.BlockDefs[i].EntityIndex) << i;
    EXPECT_EQ(built.BlockDefs[i].newNumber, read.BlockDefs[i].newNumber) << i;
    EXPECT_EQ(built.BlockDefs[i].used, read.BlockDefs[i].used) << i;
  }
}

// Written, read and written again: the same bytes, and the same document.
void ExpectStable(TJwwData& built, TBoundImages& readImages) {
  const std::string first = test::Written(built, built.Version());
  TJwwData read(readImages);
  ASSERT_TRUE(test::LoadsBytes(read, first));
  EXPECT_EQ(read.Version(), built.Version());
  EXPECT_EQ(read.Header.memo, built.Header.memo);
  EXPECT_EQ(read.Layers[1].name, built.Layers[1].name);
  EXPECT_EQ(read.Layers[200].name, built.Layers[200].name);
  EXPECT_EQ(read.ColorsEx[20].name, built.ColorsEx[20].name);
  ExpectSameLists(built, read);
  EXPECT_TRUE(test::Written(read, read.Version()) == first) << "a second write differs";
}

struct VersionCase {
  std::int32_t version;
  bool wide;
};
void PrintTo(const VersionCase& c, std::ostream* os) {
  *os << c.version << (c.wide ? " UTF-16" : "");
}

class VersionSampleTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionSampleTest, ReadsBackAsBuiltAndWritesTheSameBytes) {
  const gen::Style s{GetParam().version, GetParam().wide};
  TBoundImages images, readImages;
  TJwwData doc(images);
  gen::BuildVersionSample(doc, s);
  ExpectStable(doc, readImages);
}

TEST_P(VersionSampleTest, HoldsEveryRecordTheVersionHas) {
  const gen::Style s{GetParam().version, GetParam().wide};
  TBoundImages images;
  TJwwData doc(images);
  gen::BuildVersionSample(doc, s);
  EXPECT_TRUE(std::any_of(doc.Points.begin(), doc.Points.end(),
                          [](auto& p) { return p.common.penStyle == 100; }));
  EXPECT_TRUE(std::any_of(doc.Solids.begin(), doc.Solids.end(),
                          [](auto& e) { return e.common.penColor == 10; }));
  EXPECT_TRUE(
      std::any_of(doc.Arcs.begin(), doc.Arcs.end(), [](auto& a) { return a.fullCircle == 1; }));
  EXPECT_TRUE(
      std::any_of(doc.Arcs.begin(), doc.Arcs.end(), [](auto& a) { return a.flatness != 1.0; }));
  // Ordinary dimensions always; SXF ones only where the version stores them.
  EXPECT_GT(doc.DimensionCount - SxfCount(doc), 0);
  EXPECT_EQ(SxfCount(doc) > 0, s.version >= 420);
  // Nested definitions with a dimension inside, and one that nothing inserts.
  ASSERT_EQ(doc.BlockDefCount(), 3);
  EXPECT_EQ(doc.UsedBlockDefCount, 2);
  EXPECT_GT(doc.BlockDefs[0].DimensionCount, 0);
  EXPECT_EQ(doc.BlockDefs[0].BlockCount(), 1);
  EXPECT_FALSE(doc.BlockDefs[2].used);
  // Texts in the string form asked for; a pen width only where it is stored.
  for (const auto& t : doc.Texts) EXPECT_EQ(t.text.wide, s.wide);
  EXPECT_EQ(doc.Lines[3].common.penWidth != 0, s.version >= 351);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionSampleTest,
                         ::testing::Values(VersionCase{220, false}, VersionCase{223, false},
                                           VersionCase{225, false}, VersionCase{230, false},
                                           VersionCase{300, false}, VersionCase{351, false},
                                           VersionCase{420, false}, VersionCase{600, false},
                                           VersionCase{700, false}, VersionCase{700, true}),
                         [](const auto& p) {
                           return std::string("v") + std::to_string(p.param.version) +
                                  (p.param.wide ? "_utf16" : "");
                         });

TEST(SxfDimension, HoldsAuxiliaryLinesMarkersAndReferencePoints) {
  const gen::Style s{600};
  const TEntJwwSunpo d =
      gen::Dimension(s, gen::Pen(s, 1, 5, 4), 0, 0, 1000, 0, -500, gen::Ascii(s, "1,000"), true);
  EXPECT_NE(d.sxfMode, 0);
  EXPECT_DOUBLE_EQ(d.line.startY, -500);
  EXPECT_DOUBLE_EQ(d.line.endX, 1000);
  // Auxiliary lines run from the measured points' side past the dimension line.
  EXPECT_LT(d.auxLine1.startY, 0);
  EXPECT_LT(d.auxLine1.endY, -500);
  EXPECT_EQ(d.point1.common.penStyle, 100);
  EXPECT_DOUBLE_EQ(d.point2.x, 1000);
  EXPECT_EQ(d.point3.isTemporary, 1);
  EXPECT_DOUBLE_EQ(d.point4.x, 1000);
  EXPECT_DOUBLE_EQ(d.point4.y, 0);
  // Below 420 the same call gives what reading an old file gives.
  const gen::Style old{351};
  const TEntJwwSunpo o =
      gen::Dimension(old, gen::Pen(old, 1, 5, 4), 0, 0, 1000, 0, -500, gen::Ascii(old, "1"), true);
  EXPECT_EQ(o.sxfMode, 0);
  EXPECT_EQ(o.point1.common.penStyle, 0);
  EXPECT_EQ(o.auxLine2.endX, 0);
}

TEST(LengthText, GroupsThousandsWithCommas) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},     {800, "800"}, {3640, "3,640"}, {1234567, "1,234,567"}, {1820.5, "1,820.5"},
      {-910, "910"}};
  for (const auto& [length, text] : cases) EXPECT_EQ(gen::LengthText(length), text) << length;
}

TEST(ImageSample, EmbedsTheImageAndExtractsTheSameBytes) {
  MemoryImages made, read;
  TBoundImages images(made), readImages(read);
  TJwwData doc(images);
  gen::BuildImageSample(doc, gen::Style{700});
  ASSERT_EQ(images.Entries.size(), 1u);
  ExpectStable(doc, readImages);
  ASSERT_EQ(readImages.Entries.size(), 1u);
  const auto bmp = gen::MakeBmp(32, 24);
  EXPECT_EQ(test::Stored(read, "tessaly.bmp"), std::string(bmp.begin(), bmp.end()));
  EXPECT_EQ(readImages.Entries[0].size, static_cast<std::int32_t>(bmp.size()));
}

TEST(ImageSample, NeedsAPlaceForImages) {
  TBoundImages images;
  TJwwData doc(images);
  EXPECT_THROW(gen::BuildImageSample(doc, gen::Style{700}), std::runtime_error);
}

TEST(MakeBmp, WritesA24BitBitmapWithPaddedRows) {
  const auto b = gen::MakeBmp(5, 3);  // rows of 15 bytes padded to 16
  ASSERT_EQ(b.size(), 54u + 16 * 3);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(b[2] | (b[3] << 8), static_cast<int>(b.size()));
  EXPECT_EQ(b[28], 24);
}

TEST(Figure, ReadsBackAsBuiltAndWritesTheSameBytes) {
  TJwsData fig;
  gen::BuildFigure(fig, gen::Style{600});
  EXPECT_GT(fig.DimensionCount, 0);
  const std::string first = test::Written(fig, fig.Version());
  TJwsData read;
  ASSERT_TRUE(test::LoadsBytes(read, first));
  ExpectSameLists(fig, read);
  EXPECT_TRUE(test::Written(read, read.Version()) == first);
}

TEST(Large, CountsComeOutExactly) {
  gen::LargeOptions o;
  o.entities = 5000;
  o.dimensions = 600;
  o.sxfShare = 0.5;
  o.textShare = 0.1;
  o.blockDefs = 10;
  TBoundImages images, readImages;
  TJwwData doc(images);
  gen::BuildLarge(doc, o);
  EXPECT_EQ(doc.EntityCount(), 5000);
  EXPECT_EQ(doc.DimensionCount, 600);
  EXPECT_EQ(SxfCount(doc), 300);
  EXPECT_EQ(doc.TextCount(), 500);
  EXPECT_EQ(doc.BlockDefCount(), 10);
  EXPECT_EQ(doc.UsedBlockDefCount, 10);
  ExpectStable(doc, readImages);
}

// A drawing large enough for the page warmer to follow the parse and for the
// save to write behind (14 MB) reads back as built; a save that fails at any
// point leaves the target as it was and no other file.
TEST(Large, ReadsBackAsBuiltAndAFailedSaveLeavesNothing) {
  gen::LargeOptions o;
  o.entities = 150000;
  o.dimensions = 15000;
  TBoundImages images, readImages;
  TJwwData doc(images);
  gen::BuildLarge(doc, o);
  ExpectStable(doc, readImages);

  TempDir dir;
  const fs::path target = dir / "t.jww";
  test::WriteFile(target, "old");
  const std::uint64_t size = test::Written(doc, 600).size();
  for (std::uint64_t limit : {std::uint64_t{0}, size / 3, size - 1}) {
    const std::string error = test::SaveFailingAfter(doc, target, 600, limit);
    EXPECT_NE(error.find("injected"), std::string::npos) << limit << ": " << error;
    EXPECT_EQ(test::Snapshot(dir.path()), (std::vector<std::pair<std::string, std::string>>{{"t.jww", "old"}}));
  }
}

TEST(Large, SameOptionsSameBytesOtherSeedOtherBytes) {
  gen::LargeOptions o;
  o.entities = 2000;
  o.dimensions = 200;
  TBoundImages images;
  TJwwData doc(images);
  gen::BuildLarge(doc, o);
  const std::string a = test::Written(doc, 600);
  gen::BuildLarge(doc, o);
  EXPECT_TRUE(test::Written(doc, 600) == a);
  o.seed = 2;
  gen::BuildLarge(doc, o);
  EXPECT_FALSE(test::Written(doc, 600) == a);
}

TEST(Large, OldVersionsAndUtf16Strings) {
  for (const gen::Style s :
       {gen::Style{351, false}, gen::Style{230, false}, gen::Style{700, true}}) {
    SCOPED_TRACE(s.version);
    gen::LargeOptions o;
    o.style = s;
    o.entities = 1500;
    o.dimensions = 100;
    TBoundImages images, readImages;
    TJwwData doc(images);
    gen::BuildLarge(doc, o);
    EXPECT_EQ(SxfCount(doc), s.version >= 420 ? 50 : 0);
    ExpectStable(doc, readImages);
  }
}

TEST(Examples, BundledExamplesAreCurrent) {
  // The committed examples are what tessaly-make-examples writes now; when the
  // writer or the generator changes, run it again.
  TempDir dir;
  std::string error;
  ASSERT_TRUE(gen::WriteExamples(dir.path(), error)) << error;
  auto drawings = [](const fs::path& d) {
    auto files = test::Snapshot(d);
    std::erase_if(files, [](const auto& f) {
      const std::string ext = fs::path(f.first).extension().string();
      return ext != ".jww" && ext != ".jws";
    });
    return files;
  };
  const auto made = drawings(dir.path());
  const auto bundled = drawings(TESSALY_EXAMPLES_DIR);
  ASSERT_EQ(made.size(), 12u);
  ASSERT_EQ(bundled.size(), made.size()) << "examples/ does not hold the generated files";
  for (std::size_t i = 0; i < made.size(); ++i) {
    EXPECT_EQ(made[i].first, bundled[i].first);
    EXPECT_TRUE(made[i].second == bundled[i].second) << made[i].first << " is out of date";
  }
}

TEST(Examples, TwoRunsWriteTheSameBytes) {
  TempDir a, b;
  std::string error;
  ASSERT_TRUE(gen::WriteExamples(a.path(), error)) << error;
  ASSERT_TRUE(gen::WriteExamples(b.path(), error)) << error;
  EXPECT_TRUE(test::Snapshot(a.path()) == test::Snapshot(b.path()));
}

}  // namespace
}  // namespace tessaly

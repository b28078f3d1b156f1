// Drawings built byte by byte at every version: read as built, and written back
// at the same version to the same bytes.
#include <gtest/gtest.h>

#include "archive/writer.h"
#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "support/entity_lists.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly::test {
namespace {

struct VersionCase {
  std::int32_t version;
  bool wideHeader;
};

class RoundTrip : public ::testing::TestWithParam<VersionCase> {};

TEST_P(RoundTrip, ReadsAsBuiltAndWritesTheSameBytes) {
  const auto [v, wide] = GetParam();
  const BuiltDrawing built = BuildSampleDrawing(v, wide);
  TempDir dir;
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  ASSERT_TRUE(test::Loaded(doc.Load(built.bytes.span())));
  EXPECT_EQ(Dump(doc), Dump(built.model));

  // The post-load step: the main list inserts definition 0, which inserts 1
  // twice; definition 2 is reached by nothing.
  ASSERT_EQ(doc.BlockDefCount(), 3);
  EXPECT_TRUE(doc.BlockDefs[0].used);
  EXPECT_TRUE(doc.BlockDefs[1].used);
  EXPECT_FALSE(doc.BlockDefs[2].used);
  EXPECT_EQ(doc.UsedBlockDefCount, 2);
  EXPECT_EQ(doc.BlockTreeCount(), 3);
  EXPECT_EQ(doc.BlockDefs[2].newNumber, 2);

  if (v >= 700) {
    ASSERT_EQ(images.Entries.size(), 1u);
    EXPECT_EQ(test::Stored(imagesStore, built.imageName), built.imageData);
  }

  StringSink out;
  doc.Write(out, v);
  EXPECT_TRUE(SameBytes(out.bytes, built.bytes.bytes()));

  // Save goes through the file and gives the same bytes too.
  ASSERT_TRUE(test::Saves(doc, dir / "saved.jww", v));
  EXPECT_EQ(ReadFile(dir / "saved.jww"), built.bytes.bytes());
}

std::string Name(const ::testing::TestParamInfo<VersionCase>& info) {
  return "v" + std::to_string(info.param.version) + (info.param.wideHeader ? "_utf16" : "");
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip,
                         ::testing::Values(VersionCase{220, false}, VersionCase{223, false},
                                           VersionCase{225, false}, VersionCase{230, false},
                                           VersionCase{300, false}, VersionCase{351, false},
                                           VersionCase{420, false}, VersionCase{600, false},
                                           VersionCase{600, true}, VersionCase{700, false},
                                           VersionCase{700, true}),
                         Name);

TEST(RoundTripDown, A700DrawingWrittenAtEveryLowerVersionLoadsThere) {
  const BuiltDrawing built = BuildSampleDrawing(700);
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  ASSERT_TRUE(test::Loaded(doc.Load(built.bytes.span())));
  for (std::int32_t v : {220, 223, 225, 230, 300, 351, 420, 600}) {
    StringSink out;
    doc.Write(out, v);
    TJwwData back(images);
    ASSERT_TRUE(LoadsBytes(back, out.bytes)) << v << ": ";
    EXPECT_EQ(back.Version(), v);
    // Below 420 each SXF dimension brings six more entities: one in the main list,
    // one in definition 1.
    const int extra = v < 420 ? 6 : 0;
    EXPECT_EQ(back.EntityCount(), doc.EntityCount() + extra) << v;
    EXPECT_EQ(back.BlockDefs[1].EntityCount(), doc.BlockDefs[1].EntityCount() + extra) << v;
    EXPECT_EQ(back.BlockDefCount(), 3);
    // Written again at that version, it stays the same.
    StringSink again;
    back.Write(again, v);
    EXPECT_TRUE(SameBytes(again.bytes, out.bytes)) << v;
  }
}

}  // namespace
}  // namespace tessaly::test

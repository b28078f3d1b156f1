// Conversions of the real files beside the checkout. Those without dimensions
// come out as a plain load and save writes them, or are left alone in their
// own folder. The drawings the CAD application saved with dimensions convert
// with and without reference points, hold no dimension afterwards, keep every
// other entity, and convert to the same bytes a second time.
#include <gtest/gtest.h>

#include <type_traits>

#include "app/convert.h"
#include "app/recorder.h"
#include "archive/writer.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/entity_lists.h"
#include "support/formats.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::ReadFile;
using test::Recorder;
using test::Snapshot;
using test::TempDir;

template <typename F>
class ConvertCorpus : public testing::Test {};
TYPED_TEST_SUITE(ConvertCorpus, test::Formats, test::FormatNames);

TYPED_TEST(ConvertCorpus, IntoAnotherFolderAsAPlainSaveWritesThem) {
  const auto files = test::CorpusFiles(TypeParam::kCorpus);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  Converter converter;
  Recorder rec;
  const RunSummary s = converter.ConvertFiles(ItemsFor(files, dir.path()), true, rec);
  EXPECT_EQ(s.nothingToDissolve, files.size());
  ASSERT_EQ(rec.results.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].filename().string());
    EXPECT_EQ(rec.results[i].outcome, FileOutcome::kNothingToDissolve)
        << rec.results[i].failure.text;
    EXPECT_TRUE(rec.results[i].written);
    typename TypeParam::Kit k;
    ASSERT_TRUE(test::Loads(k.doc, files[i]));
    EXPECT_TRUE(test::SameBytes(ReadFile(dir.path() / files[i].filename()),
                                test::Written(k.doc, k.doc.Version())));
  }
}

TYPED_TEST(ConvertCorpus, InTheirOwnFolderAreLeftAlone) {
  const auto files = test::CorpusFiles(TypeParam::kCorpus);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  std::vector<fs::path> copies;
  for (const auto& f : files) {
    copies.push_back(dir.path() / f.filename());
    fs::copy_file(f, copies.back());
  }
  const auto before = Snapshot(dir.path());
  Converter converter;
  Recorder rec;
  const RunSummary s = converter.ConvertFiles(ItemsFor(copies, {}), false, rec);
  EXPECT_EQ(s.nothingToDissolve, files.size());
  for (const auto& r : rec.results) {
    EXPECT_FALSE(r.written);
    EXPECT_TRUE(r.backup.empty());
  }
  EXPECT_TRUE(test::draw::SameFiles(before, Snapshot(dir.path())));
}

// The drawings with dimensions.
constexpr const char* kDims = "jww-dims";

TEST(ConvertDimsCorpus, HoldsTheDimensionsItSays) {
  const auto files = test::CorpusFiles(kDims);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  ASSERT_EQ(files.size(), 10u);
  std::int64_t all = 0, inDefinitions = 0;
  for (const auto& path : files) {
    test::Drawing::Kit k;
    ASSERT_TRUE(test::Loads(k.doc, path)) << path.filename().string();
    EXPECT_EQ(k.doc.Version(), 700);
    const std::int64_t n = test::EntriesOf(k.doc, kDimension);
    EXPECT_GT(n, 0) << path.filename().string();
    all += n;
    inDefinitions += n - k.doc.DimensionCount;
  }
  EXPECT_EQ(all, 116);
  EXPECT_EQ(inDefinitions, 4);
}

// An entity as the writer writes it (its common part and its body), and as a
// person reads it.
std::pair<std::string, std::string> AsWritten(const TEntityList& l, const TEntJwwIndex& ix,
                                              const WriteRules& rules) {
  std::pair<std::string, std::string> out;
  ForEntry(l, ix, [&](std::int32_t kind, const auto& e) {
    StringSink sink;
    ArchiveWriter w(sink);
    WriteCommon(w, e.common, kind, rules.version);
    if constexpr (std::is_same_v<std::decay_t<decltype(e)>, TEntJwwBlock>) {
      WriteBody(w, rules, e, e.blockNumber);
    } else {
      WriteBody(w, rules, e);
    }
    w.Flush();
    out = {sink.bytes, test::Describe(e)};
  });
  return out;
}

// `out` (converted) lists the entities of `in` (not converted) that are not
// dimensions, in their order and as the writer writes them, and after them
// only what a dissolve makes. Answers how many entities it made.
std::int64_t ExpectKept(const TEntityList& in, const TEntityList& out, const WriteRules& rules,
                        const std::string& where) {
  std::vector<TEntJwwIndex> kept, listed;
  for (const auto& ix : in.EntityIndex) {
    if (ix.kind != kEmpty && ix.kind != kDimension) kept.push_back(ix);
  }
  for (const auto& ix : out.EntityIndex) {
    if (ix.kind != kEmpty) listed.push_back(ix);
  }
  if (listed.size() < kept.size()) {
    ADD_FAILURE() << where << ": " << listed.size() << " entities for " << kept.size();
    return 0;
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const auto was = AsWritten(in, kept[i], rules), is = AsWritten(out, listed[i], rules);
    if (was.first != is.first) {
      ADD_FAILURE() << where << ", entity " << i << ":\n  " << is.second << "\ninstead of\n  "
                    << was.second;
      break;
    }
  }
  for (std::size_t i = kept.size(); i < listed.size(); ++i) {
    const std::int32_t k = listed[i].kind;
    EXPECT_TRUE(k == kLine || k == kText || k == kPoint)
        << where << ", entity " << i << " of kind " << k;
  }
  return static_cast<std::int64_t>(listed.size() - kept.size());
}

// One row per drawing, by its place in the folder.
class ConvertDims : public testing::TestWithParam<int> {};

TEST_P(ConvertDims, KeepsEveryOtherEntityAndConvertsAgainToTheSameBytes) {
  const auto files = test::CorpusFiles(kDims);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  ASSERT_LT(static_cast<std::size_t>(GetParam()), files.size());
  const fs::path& path = files[static_cast<std::size_t>(GetParam())];
  SCOPED_TRACE(path.filename().string());

  // The drawing as the writer gives it back without a dissolve: definitions
  // renumbered as every write numbers them, so that it compares with the output.
  test::Drawing::Kit plain;
  {
    test::Drawing::Kit in;
    ASSERT_TRUE(test::Loads(in.doc, path));
    ASSERT_TRUE(test::LoadsBytes(plain.doc, test::Written(in.doc, in.doc.Version())));
  }
  const std::int64_t dimensions = test::EntriesOf(plain.doc, kDimension);
  const WriteRules rules = JwwFormat::WriteRulesFor(plain.doc.Version(), plain.doc.Version());

  for (bool referencePoints : {false, true}) {
    SCOPED_TRACE(referencePoints ? "with reference points" : "without reference points");
    // In memory: load, dissolve, write.
    test::Drawing::Kit k, out;
    ASSERT_TRUE(test::Loads(k.doc, path));
    const DissolveResult r = DissolveDimensions(k.doc, referencePoints);
    EXPECT_EQ(r.dimensions, dimensions);
    EXPECT_FALSE(HasDimensions(k.doc));
    const std::string converted = test::Written(k.doc, k.doc.Version());

    ASSERT_TRUE(test::LoadsBytes(out.doc, converted));
    EXPECT_EQ(test::EntriesOf(out.doc, kDimension), 0);
    std::int64_t made = ExpectKept(plain.doc, out.doc, rules, "main list");
    ASSERT_EQ(out.doc.BlockDefCount(), plain.doc.BlockDefCount());
    for (std::size_t i = 0; i < plain.doc.BlockDefs.size(); ++i) {
      EXPECT_EQ(out.doc.BlockDefs[i].name, plain.doc.BlockDefs[i].name) << i;
      EXPECT_EQ(out.doc.BlockDefs[i].number, plain.doc.BlockDefs[i].number) << i;
      made += ExpectKept(plain.doc.BlockDefs[i], out.doc.BlockDefs[i], rules,
                         "block definition " + std::to_string(i));
    }
    EXPECT_EQ(made, r.lines + r.texts + r.points);

    // Converted again in memory: nothing to dissolve, the same bytes.
    const DissolveResult second = DissolveDimensions(out.doc, referencePoints);
    EXPECT_EQ(second.dimensions + second.lines + second.texts + second.points, 0);
    EXPECT_TRUE(test::SameBytes(test::Written(out.doc, out.doc.Version()), converted));

    // Through the run, into a folder and from there into another: the same bytes.
    TempDir dir;
    fs::create_directories(dir / "one");
    fs::create_directories(dir / "two");
    Converter converter;
    Recorder rec;
    converter.ConvertFiles(ItemsFor({path}, dir / "one"), referencePoints, rec);
    const fs::path once = dir / "one" / path.filename();
    converter.ConvertFiles(ItemsFor({once}, dir / "two"), referencePoints, rec);
    ASSERT_EQ(rec.results.size(), 2u);
    EXPECT_EQ(rec.results[0].outcome, FileOutcome::kConverted) << rec.results[0].failure.text;
    EXPECT_EQ(rec.results[0].dimensions, dimensions);
    EXPECT_TRUE(test::SameBytes(ReadFile(once), converted));
    EXPECT_EQ(rec.results[1].outcome, FileOutcome::kNothingToDissolve)
        << rec.results[1].failure.text;
    EXPECT_TRUE(rec.results[1].written);
    EXPECT_TRUE(test::SameBytes(ReadFile(dir / "two" / path.filename()), converted));
  }
}

INSTANTIATE_TEST_SUITE_P(Drawings, ConvertDims, testing::Range(0, 10));

}  // namespace
}  // namespace tessaly

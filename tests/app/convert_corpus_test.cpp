// Conversions of the real files beside the checkout. Those without dimensions
// come out as a plain load and save writes them, or are left alone in their
// own folder.
#include <gtest/gtest.h>

#include "app/convert.h"
#include "app/recorder.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
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
    EXPECT_EQ(rec.results[i].outcome, FileOutcome::kNothingToDissolve) << rec.results[i].failure.text;
    EXPECT_TRUE(rec.results[i].written);
    typename TypeParam::Kit k;
    ASSERT_TRUE(test::Loads(k.doc, files[i]));
    EXPECT_TRUE(test::SameBytes(ReadFile(dir / files[i].filename().string()),
                                test::Written(k.doc, k.doc.Version())));
  }
}

TYPED_TEST(ConvertCorpus, InTheirOwnFolderAreLeftAlone) {
  const auto files = test::CorpusFiles(TypeParam::kCorpus);
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  std::vector<fs::path> copies;
  for (const auto& f : files) {
    copies.push_back(dir / f.filename().string());
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

}  // namespace
}  // namespace tessaly

// The run's threads: a converted file is put in place while the next one is
// read, files are read ahead and written behind. They change nothing a run
// writes, a failure on one of them fails its own file only, and where no
// thread can be made the run does the same work itself. (The ThreadSanitizer
// build runs these too.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/convert.h"
#include "app/recorder.h"
#include "generate.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/no_threads.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::Snapshot;
using test::TempDir;

// A drawing of about `entities` entities, a tenth of them dimensions: from
// 50,000 on it is read and written in more than four windows.
void MakeLarge(const fs::path& path, std::int64_t entities) {
  gen::LargeOptions o;
  o.entities = entities;
  o.dimensions = entities / 10;
  MemoryImages store;
  TBoundImages images(store);
  TJwwData doc(images);
  gen::BuildLarge(doc, o);
  std::string error;
  ASSERT_TRUE(gen::WriteDrawing(doc, path, error)) << error;
}

// Converts `items`, expecting every file converted; answers the output folder's files.
std::vector<std::pair<std::string, std::string>> ConvertAll(const std::vector<ConvertItem>& items,
                                                            const fs::path& out) {
  Converter converter;
  test::Recorder rec;
  const RunSummary s = converter.ConvertFiles(items, true, rec);
  EXPECT_EQ(s.converted, items.size());
  for (const auto& r : rec.results) EXPECT_EQ(r.failure.text, "") << r.source;
  return Snapshot(out);
}

// A large drawing and many small ones in one run: what it writes is the same
// with threads and without.
TEST(RunThreads, ALargeDrawingAndManySmallOnesWithAndWithoutThreads) {
  TempDir dir;
  fs::create_directories(dir / "src");
  MakeLarge(dir / "src" / "large.jww", 60000);
  std::vector<fs::path> files = {dir / "src" / "large.jww"};
  for (int i = 0; i < 40; ++i) {
    const fs::path p = dir / "src" / ("small" + std::to_string(i) + ".jww");
    test::draw::MakeDrawing(p, 1 + i % 3);
    files.push_back(p);
  }
  fs::create_directories(dir / "threads");
  const auto withThreads = ConvertAll(ItemsFor(files, dir / "threads"), dir / "threads");
  ASSERT_EQ(withThreads.size(), files.size());
  for (const auto& f : files) EXPECT_EQ(test::DimensionsIn(dir / "threads" / f.filename()), 0) << f;

  test::NoNewThreads none;
  if (!none.armed()) GTEST_SKIP() << "threads cannot be withheld here";
  fs::create_directories(dir / "alone");
  EXPECT_TRUE(ConvertAll(ItemsFor(files, dir / "alone"), dir / "alone") == withThreads);
}

// A run makes a subfolder for the files bound for it. When the first of them
// fails as it is put in place, the folder stays for the next one, which is
// about to write into it; a folder all of whose files failed is gone when the
// run ends.
TEST(RunThreads, AFailedCommitLeavesTheNewFolderToTheNextFile) {
  TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  for (const char* name : {"a.jww", "b.jww", "c.jww"}) test::draw::MakeDrawing(dir / "src" / name, 1);
  const auto item = [&](const char* name, const char* sub) {
    return ConvertItem{dir / "src" / name, dir / "out" / sub, true};
  };
  ConvertHooks hooks;
  hooks.beforeCommit = [](const fs::path& target) {
    if (target.filename() != "b.jww") {
      throw WriteError(WriteError::Step::kFlush, target.string(), "Input/output error",
                       Message("cannot flush " + target.string() + " to disk: Input/output error"));
    }
  };
  // Repeated, as the commit and the next file's preparation meet at any point.
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    Converter converter(hooks);
    test::Recorder rec;
    const RunSummary s = converter.ConvertFiles(
        {item("a.jww", "sub"), item("b.jww", "sub"), item("c.jww", "other/deep")}, true, rec);
    ASSERT_EQ(rec.results.size(), 3u);
    EXPECT_EQ(rec.results[0].failure.code, FailureCode::kCannotFlush);
    EXPECT_EQ(rec.results[1].outcome, FileOutcome::kConverted) << rec.results[1].failure.text;
    EXPECT_EQ(rec.results[2].failure.code, FailureCode::kCannotFlush);
    EXPECT_EQ(s.failed, 2u);
    const auto left = Snapshot(dir / "out");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].first, "sub/b.jww");
    EXPECT_FALSE(fs::exists(dir / "out" / "other"));  // made for c alone, removed
    fs::remove_all(dir / "out" / "sub");
  }
}

}  // namespace
}  // namespace tessaly

// The real figures: every one loads, and written back at its own version it
// gives the same bytes except for the numbers of block definitions that no
// insertion reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jws/figure_bytes.h"
#include "jws/jws_data.h"
#include "archive/writer.h"
#include "support/drawing_builder.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly {
namespace {

using test::Written;

std::string Name(const std::filesystem::path& p) {
  return p.filename().string();
}

void ExpectInsertionsMapped(const TEntityList& before, const TEntityList& after,
                            const TJwsData& doc) {
  ASSERT_EQ(before.Blocks.size(), after.Blocks.size());
  for (std::size_t i = 0; i < before.Blocks.size(); ++i) {
    EXPECT_EQ(after.Blocks[i].blockNumber, test::draw::WrittenNumber(doc, before.Blocks[i].blockNumber));
  }
}

// A figure whose bytes changed: show that only the numbering of definitions
// changed (used definitions are numbered from 0, the others continue). Written with every
// definition under its own number, the figure gives back the input exactly; written normally, it
// reads back with each definition and insertion under its new number and is a fixed point of a
// second writing.
void ExpectOnlyRenumbered(TJwsData& doc, const std::string& in, const std::string& out) {
  EXPECT_TRUE(std::any_of(doc.BlockDefs.begin(), doc.BlockDefs.end(),
                          [](const auto& d) { return d.newNumber != d.number; }));
  ASSERT_EQ(out.size(), in.size());

  TJwsData again;
  ASSERT_TRUE(test::Loaded(again.Load(test::AsBytes(out))));
  ASSERT_EQ(again.BlockDefCount(), doc.BlockDefCount());
  for (std::size_t i = 0; i < doc.BlockDefs.size(); ++i) {
    EXPECT_EQ(again.BlockDefs[i].number, test::draw::WrittenNumber(doc, doc.BlockDefs[i].number));
    ExpectInsertionsMapped(doc.BlockDefs[i], again.BlockDefs[i], doc);
  }
  ExpectInsertionsMapped(doc, again, doc);
  EXPECT_EQ(again.UsedBlockDefCount, doc.UsedBlockDefCount);
  // The writer puts out exactly the count and that many definitions, so the
  // count in `out` matches the definitions that follow it.
  EXPECT_TRUE(test::SameBytes(Written(again, again.Version()), out));

  std::vector<std::int32_t> saved;
  for (auto& d : doc.BlockDefs) {
    saved.push_back(d.newNumber);
    d.newNumber = d.number;
  }
  EXPECT_TRUE(test::SameBytes(Written(doc, doc.Version()), in));
  for (std::size_t i = 0; i < saved.size(); ++i) doc.BlockDefs[i].newNumber = saved[i];
}

TEST(JwsCorpus, EveryFigureLoadsAndComesBack) {
  const auto files = test::CorpusFiles("jws");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  ASSERT_EQ(files.size(), 94u);

  int same = 0, renumbered = 0, manyUnused = 0;
  std::set<std::int32_t> versions;
  for (const auto& f : files) {
    SCOPED_TRACE(Name(f));
    const std::string in = test::ReadFile(f);
    // Every real figure holds dots in its filler, as the writer puts them.
    ASSERT_EQ(in.substr(7, 193), std::string(193, '.'));

    TJwsData doc;
    ASSERT_TRUE(test::Loads(doc, f));
    versions.insert(doc.Version());
    const std::string out = Written(doc, doc.Version());
    if (out == in) {
      ++same;
    } else {
      ++renumbered;
      ExpectOnlyRenumbered(doc, in, out);
    }
    if (doc.BlockDefCount() == 72 && doc.Blocks.empty()) {
      // No insertion in the main list, so no definition is used; all 72 are
      // written under the count 72, already numbered as the writer numbers them.
      ++manyUnused;
      EXPECT_EQ(doc.UsedBlockDefCount, 0);
      EXPECT_TRUE(test::SameBytes(out, in));
    }
  }
  EXPECT_EQ(same, 70);
  EXPECT_EQ(renumbered, 24);
  EXPECT_EQ(manyUnused, 1);
  EXPECT_EQ(versions, (std::set<std::int32_t>{351, 420, 600, 700}));
}

TEST(JwsCorpus, SavedThroughAFile) {
  const auto files = test::CorpusFiles("jws");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  test::TempDir dir;
  TJwsData doc;
  ASSERT_TRUE(test::Loads(doc, files.front()));
  ASSERT_TRUE(test::Saves(doc, dir / "out.jws", doc.Version()));
  EXPECT_EQ(test::ReadFile(dir / "out.jws"), Written(doc, doc.Version()));
}

// Every prefix of a figure fails to load, with a reason and without reading
// past its end (run under the sanitizers). Small figures are cut at every byte;
// larger ones at every byte of the header and then at a fixed stride.
TEST(JwsCorpus, EveryPrefixFailsCleanly) {
  const auto files = test::CorpusFiles("jws");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  // One figure of each version with definitions, texts, solids or points, and
  // one larger one.
  const char* picks[] = {"002-", "037-", "040-", "055-", "085-", "063-"};
  int tried = 0;
  for (const auto& f : files) {
    const std::string name = Name(f);
    if (std::none_of(std::begin(picks), std::end(picks),
                     [&](const char* p) { return name.rfind(p, 0) == 0; })) {
      continue;
    }
    SCOPED_TRACE(name);
    ++tried;
    const std::string in = test::ReadFile(f);
    const std::size_t stride = in.size() <= 20000 ? 1 : 61;
    TJwsData doc;
    for (std::size_t n = 0; n < in.size(); n += (n < 600 ? 1 : stride)) {
      // A copy of exactly n bytes, so that a read past the end is caught.
      std::vector<std::uint8_t> prefix(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(n));
      const LoadResult r = doc.Load(prefix);
      ASSERT_FALSE(r) << n;
      ASSERT_FALSE(r.message.empty()) << n;
    }
    ASSERT_TRUE(test::Loaded(doc.Load(test::AsBytes(in))));
  }
  EXPECT_EQ(tried, 6);
}

}  // namespace
}  // namespace tessaly

// The conversion run on JWS figures, alone and mixed with drawings.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "app/convert.h"
#include "app/recorder.h"
#include "dissolve/dissolve.h"
#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
namespace draw = test::draw;
using test::draw::MakeFigure;
using test::ReadFile;
using test::Recorder;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
using test::draw::SameFiles;

std::int64_t FigureDimensions(const fs::path& path) {
  return test::DimensionsIn(path);
}

// What converting a figure must write: the figure read, dissolved and written
// in the version it was read with.
std::string ConvertedBytes(const fs::path& source, bool referencePoints) {
  TJwsData doc;
  EXPECT_TRUE(test::Loads(doc, source));
  DissolveDimensions(doc, referencePoints);
  StringSink sink;
  doc.Write(sink, doc.Version());
  return sink.bytes;
}

TEST(ConvertFigures, StatusTextsLogAndResultsForAMixedList) {
  TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  draw::MakeDrawing(dir / "src" / "a.jww", 3);
  WriteFile(dir / "src" / "b.txt", "neither");
  MakeFigure(dir / "src" / "c.JWS", 2);
  const auto sources = Snapshot(dir / "src");
  const fs::path a = dir / "src" / "a.jww", b = dir / "src" / "b.txt", c = dir / "src" / "c.JWS";

  Converter converter;
  Recorder rec;
  const RunSummary s = converter.ConvertFiles(ItemsFor({a, b, c}, dir / "out"), true, rec);

  const std::vector<std::string> expected = {
      "log " + a.string() + " 0/3", "status 変換中(1/3) " + a.string(),
      "result " + a.string(),       "result " + b.string(),
      "log " + c.string() + " 2/3", "status 変換中(3/3) " + c.string(),
      "result " + c.string(),       "status 変換完了(3)",
  };
  EXPECT_EQ(rec.events, expected);
  ASSERT_EQ(rec.results.size(), 3u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kConverted);
  EXPECT_EQ(rec.results[1].outcome, FileOutcome::kSkipped);
  EXPECT_EQ(rec.results[1].failure.text, "not a JWW or JWS file");
  EXPECT_EQ(rec.results[2].outcome, FileOutcome::kConverted) << rec.results[2].failure.text;
  EXPECT_EQ(rec.results[2].dimensions, 3);
  EXPECT_EQ(rec.results[2].target, dir / "out" / "c.JWS");
  EXPECT_EQ(s.converted, 2u);
  EXPECT_EQ(s.skipped, 1u);
  EXPECT_EQ(s.dimensions, 4 + 3);

  EXPECT_EQ(FigureDimensions(dir / "out" / "c.JWS"), 0);
  EXPECT_EQ(ReadFile(dir / "out" / "c.JWS"), ConvertedBytes(c, true));
  std::vector<std::string> made;
  for (const auto& [name, bytes] : Snapshot(dir / "out")) made.push_back(name);
  EXPECT_EQ(made, (std::vector<std::string>{"a.jww", "c.JWS"}));
  EXPECT_TRUE(SameFiles(sources, Snapshot(dir / "src")));
}

TEST(ConvertFigures, ABackupIsMadeOfAnExistingTargetInAnotherFolder) {
  TempDir dir;
  fs::create_directories(dir / "out");
  MakeFigure(dir / "a.jws", 1);
  WriteFile(dir / "out" / "a.jws", "the previous figure");
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / "a.jws"}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kConverted);
  EXPECT_EQ(ReadFile(dir / "out" / "a._JWS"), "the previous figure");
  EXPECT_EQ(ReadFile(dir / "out" / "a.jws"), ConvertedBytes(dir / "a.jws", true));
}

TEST(ConvertFigures, ConvertingAConvertedFigureChangesNothing) {
  TempDir dir;
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  MakeFigure(dir / "a.jws", 5, 700);
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / "a.jws"}, dir / "one"), true, rec);
  converter.ConvertFiles(ItemsFor({dir / "one" / "a.jws"}, dir / "two"), true, rec);
  ASSERT_EQ(rec.results.size(), 2u);
  EXPECT_EQ(rec.results[0].dimensions, 6);
  EXPECT_EQ(rec.results[1].outcome, FileOutcome::kNothingToDissolve);
  EXPECT_TRUE(rec.results[1].written);
  EXPECT_EQ(ReadFile(dir / "two" / "a.jws"), ReadFile(dir / "one" / "a.jws"));
}

// Every version, with and without reference points: the output loads again,
// holds no dimension, carries the version the figure rules give, and is the
// figure dissolved with the option of the run.
TEST(ConvertFigures, EveryOutputLoadsAgainWithoutDimensions) {
  for (std::int32_t version : {200, 230, 300, 351, 420, 600, 700}) {
    for (bool referencePoints : {false, true}) {
      SCOPED_TRACE(std::to_string(version) + (referencePoints ? " with" : " without"));
      TempDir dir;
      fs::create_directories(dir / "out");
      MakeFigure(dir / "a.jws", 4, version);
      Converter converter;
      Recorder rec;
      converter.ConvertFiles(ItemsFor({dir / "a.jws"}, dir / "out"), referencePoints, rec);
      ASSERT_EQ(rec.results.size(), 1u);
      ASSERT_EQ(rec.results[0].outcome, FileOutcome::kConverted) << rec.results[0].failure.text;
      EXPECT_EQ(rec.results[0].dimensions, 5);
      TJwsData out;
      ASSERT_TRUE(test::Loads(out, dir / "out" / "a.jws"));
      EXPECT_EQ(test::EntriesOf(out, kDimension), 0);
      EXPECT_EQ(out.Version(), TJwsData::WrittenVersion(version));
      EXPECT_EQ(ReadFile(dir / "out" / "a.jws"), ConvertedBytes(dir / "a.jws", referencePoints));
    }
  }
}

// The documents are cleared after every file: what a figure that failed half
// way left behind never reaches the next file.
TEST(ConvertFigures, AFailedFigureLeavesNothingForTheNextFile) {
  TempDir dir;
  fs::create_directories(dir / "out");
  MakeFigure(dir / "bad.jws", 3);
  const std::string bytes = ReadFile(dir / "bad.jws");
  WriteFile(dir / "bad.jws", bytes.substr(0, bytes.size() - 20));
  MakeFigure(dir / "good.jws", 1, 420);
  {
    TBoundImages images;
    TJwwData doc(images);
    draw::Sample(doc, 420, 1);
    test::SaveBuilt(doc, dir / "plan.jww");
  }
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(
      ItemsFor({dir / "bad.jws", dir / "good.jws", dir / "plan.jww", dir / "good.jws"},
               dir / "out"),
      true, rec);
  ASSERT_EQ(rec.results.size(), 4u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kFailed);
  EXPECT_EQ(rec.results[1].outcome, FileOutcome::kConverted);
  EXPECT_EQ(rec.results[2].outcome, FileOutcome::kConverted);
  // The second time good.jws is backed up over itself as a target in out/.
  EXPECT_EQ(rec.results[3].outcome, FileOutcome::kConverted);
  EXPECT_FALSE(fs::exists(dir / "out" / "bad.jws"));
  EXPECT_EQ(ReadFile(dir / "out" / "good.jws"), ConvertedBytes(dir / "good.jws", true));
  EXPECT_EQ(ReadFile(dir / "out" / "good._JWS"), ConvertedBytes(dir / "good.jws", true));
}

// The real figures hold no dimension. Converted into another folder each one
// comes out exactly as a plain load and save writes it; converted in its own
// folder each one is left alone.
TEST(ConvertFigures, RealFiguresIntoAnotherFolder) {
  const auto files = test::CorpusFiles("jws");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  Converter converter;
  Recorder rec;
  const RunSummary s = converter.ConvertFiles(ItemsFor(files, dir.path()), true, rec);
  EXPECT_EQ(s.nothingToDissolve, files.size());
  ASSERT_EQ(rec.results.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rec.results[i].outcome, FileOutcome::kNothingToDissolve) << rec.results[i].failure.text;
    EXPECT_TRUE(rec.results[i].written);
    TJwsData doc;
    ASSERT_TRUE(test::Loads(doc, files[i]));
    StringSink plain;
    doc.Write(plain, doc.Version());
    EXPECT_TRUE(ReadFile(dir.path() / files[i].filename()) == plain.bytes);
  }
}

TEST(ConvertFigures, RealFiguresInTheirOwnFolderAreLeftAlone) {
  const auto files = test::CorpusFiles("jws");
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
  EXPECT_TRUE(SameFiles(before, Snapshot(dir.path())));
}

}  // namespace
}  // namespace tessaly

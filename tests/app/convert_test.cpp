// The conversion run: what it tells its front end, what it writes where, the
// backups, and failures that leave every file as it was. What holds for
// drawings and figures alike runs for both (ConvertFormat, ConvertFailure);
// the rest of the run is shown with drawings.
#include "app/convert.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>

#include "app/recorder.h"
#include "io/files.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/failing_sink.h"
#include "support/formats.h"
#include "support/scoped_system.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace draw = test::draw;
namespace fs = std::filesystem;
using test::ConvertedBytes;
using test::DimensionsIn;
using test::FailingSink;
using test::Immutable;
using test::ReadFile;
using test::Recorder;
using test::ScopedEnv;
using test::SmallFileSystem;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
using test::draw::MakeDrawing;
using test::draw::SameFiles;

template <typename F>
class ConvertFormat : public testing::Test {};
TYPED_TEST_SUITE(ConvertFormat, test::Formats, test::FormatNames);

TYPED_TEST(ConvertFormat, StatusTextsLogAndResultsForAMixedList) {
  using F = TypeParam;
  TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  // Extensions are told apart whatever their case.
  std::string ext(F::Format::kExtension);
  ext[2] = static_cast<char>(std::tolower(static_cast<unsigned char>(ext[2])));
  const fs::path a = dir / "src" / "a.jww", b = dir / "src" / "b.txt", c = dir / "src" / ("c" + ext);
  MakeDrawing(a, 3);
  WriteFile(b, "neither a drawing nor a figure");
  F::Make(c, 2);
  const auto sources = Snapshot(dir / "src");

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
  EXPECT_EQ(rec.results[0].dimensions, 4);
  EXPECT_EQ(rec.results[0].target, dir / "out" / "a.jww");
  EXPECT_TRUE(rec.results[0].backup.empty());
  EXPECT_EQ(rec.results[1].outcome, FileOutcome::kSkipped);
  EXPECT_EQ(rec.results[1].failure.text, "not a JWW or JWS file");
  EXPECT_EQ(rec.results[2].outcome, FileOutcome::kConverted) << rec.results[2].failure.text;
  EXPECT_EQ(rec.results[2].dimensions, 3);
  EXPECT_EQ(rec.results[2].target, dir / "out" / c.filename());
  EXPECT_EQ(s.converted, 2u);
  EXPECT_EQ(s.skipped, 1u);
  EXPECT_EQ(s.dimensions, 4 + 3);
  EXPECT_FALSE(s.stopped);

  EXPECT_EQ(DimensionsIn(dir / "out" / "a.jww"), 0);
  EXPECT_EQ(DimensionsIn(dir / "out" / c.filename()), 0);
  EXPECT_EQ(ReadFile(dir / "out" / c.filename()), ConvertedBytes<F>(c, true));
  std::vector<std::string> made;
  for (const auto& [name, bytes] : Snapshot(dir / "out")) made.push_back(name);
  EXPECT_EQ(made, (std::vector<std::string>{"a.jww", c.filename().string()}));
  EXPECT_TRUE(SameFiles(sources, Snapshot(dir / "src")));
}

TYPED_TEST(ConvertFormat, InPlaceBacksUpFirstAndASecondRunLeavesItAlone) {
  using F = TypeParam;
  TempDir dir;
  const std::string name = test::FileName<F>("a");
  const fs::path source = dir / name;
  F::Make(source, 2);
  const std::string original = ReadFile(source);
  const struct timespec t[2] = {{1'200'000'000, 5}, {1'200'000'000, 5}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), t, 0), 0);

  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({source}, {}), false, rec);
  const std::vector<std::string> expected = {
      "log " + source.string() + " 0/1",
      "status バックアップ中(1/1) " + source.string(),
      "status 変換中(1/1) " + source.string(),
      "result " + source.string(),
      "status 変換完了(1)",
  };
  EXPECT_EQ(rec.events, expected);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kConverted);
  const fs::path backup = dir / test::BackupName<F>("a");
  EXPECT_EQ(rec.results[0].backup, backup);
  EXPECT_EQ(ReadFile(backup), original);
  struct stat st {};
  ASSERT_EQ(::stat(backup.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1'200'000'000);
  EXPECT_EQ(DimensionsIn(source), 0);
  EXPECT_EQ(ReadFile(source), ConvertedBytes<F>(backup, false));

  // The converted file holds no dimension: the backup of the original stays.
  const auto after = Snapshot(dir.path());
  Recorder again;
  converter.ConvertFiles(ItemsFor({source, dir / "." / name}, {}), true, again);
  ASSERT_EQ(again.results.size(), 2u);
  for (const auto& r : again.results) {
    EXPECT_EQ(r.outcome, FileOutcome::kNothingToDissolve);
    EXPECT_FALSE(r.written);
    EXPECT_TRUE(r.backup.empty());
  }
  EXPECT_TRUE(SameFiles(after, Snapshot(dir.path())));
  EXPECT_EQ(
      std::count_if(again.events.begin(), again.events.end(),
                    [](const std::string& e) { return e.find("バックアップ中") != e.npos; }),
      0);
}

TYPED_TEST(ConvertFormat, ABackupIsMadeOfAnExistingTargetInAnotherFolder) {
  using F = TypeParam;
  TempDir dir;
  fs::create_directories(dir / "out");
  const std::string name = test::FileName<F>("a");
  F::Make(dir / name, 1);
  WriteFile(dir / "out" / name, "the previous file");
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / name}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kConverted);
  EXPECT_EQ(ReadFile(dir / "out" / test::BackupName<F>("a")), "the previous file");
  EXPECT_EQ(ReadFile(dir / "out" / name), ConvertedBytes<F>(dir / name, true));
}

TYPED_TEST(ConvertFormat, ConvertingAConvertedFileChangesNothing) {
  using F = TypeParam;
  for (const auto& [version, referencePoints] : {std::pair{600, false}, std::pair{700, true}}) {
    SCOPED_TRACE(version);
    TempDir dir;
    fs::create_directories(dir / "one");
    fs::create_directories(dir / "two");
    const std::string name = test::FileName<F>("a");
    F::Make(dir / name, 5, version);
    Converter converter;
    Recorder rec;
    converter.ConvertFiles(ItemsFor({dir / name}, dir / "one"), referencePoints, rec);
    converter.ConvertFiles(ItemsFor({dir / "one" / name}, dir / "two"), referencePoints, rec);
    ASSERT_EQ(rec.results.size(), 2u);
    EXPECT_EQ(rec.results[0].dimensions, 6);
    EXPECT_EQ(rec.results[1].outcome, FileOutcome::kNothingToDissolve);
    EXPECT_TRUE(rec.results[1].written);
    EXPECT_EQ(ReadFile(dir / "two" / name), ReadFile(dir / "one" / name));
  }
}

// Every version, with and without reference points: the output loads again,
// holds no dimension, carries the version the format's rules give, and is the
// file dissolved with the option of the run.
TYPED_TEST(ConvertFormat, EveryOutputLoadsAgainWithoutDimensions) {
  using F = TypeParam;
  const std::string name = test::FileName<F>("a");
  for (std::int32_t version : F::kVersions) {
    for (bool referencePoints : {false, true}) {
      SCOPED_TRACE(std::to_string(version) + (referencePoints ? " with" : " without"));
      TempDir dir;
      fs::create_directories(dir / "out");
      F::Make(dir / name, 4, version);
      Converter converter;
      Recorder rec;
      converter.ConvertFiles(ItemsFor({dir / name}, dir / "out"), referencePoints, rec);
      ASSERT_EQ(rec.results.size(), 1u);
      ASSERT_EQ(rec.results[0].outcome, FileOutcome::kConverted) << rec.results[0].failure.text;
      EXPECT_EQ(rec.results[0].dimensions, 5);
      typename F::Kit out;
      ASSERT_TRUE(test::Loads(out.doc, dir / "out" / name));
      EXPECT_EQ(test::EntriesOf(out.doc, kDimension), 0);
      EXPECT_EQ(out.doc.Version(), F::Format::WrittenVersion(version));
      EXPECT_EQ(ReadFile(dir / "out" / name), ConvertedBytes<F>(dir / name, referencePoints));
    }
  }
}

// The documents are cleared after every file: what a file that failed half
// way left behind never reaches the next file.
TYPED_TEST(ConvertFormat, AFailedFileLeavesNothingForTheNextFile) {
  using F = TypeParam;
  TempDir dir;
  fs::create_directories(dir / "out");
  const fs::path bad = dir / test::FileName<F>("bad"), good = dir / test::FileName<F>("good");
  F::Make(bad, 3);
  const std::string bytes = ReadFile(bad);
  WriteFile(bad, bytes.substr(0, bytes.size() - 20));
  F::Make(good, 1, 420);
  MakeDrawing(dir / "plan.jww", 1, 420);
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({bad, good, dir / "plan.jww", good}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 4u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kFailed);
  EXPECT_EQ(rec.results[1].outcome, FileOutcome::kConverted);
  EXPECT_EQ(rec.results[2].outcome, FileOutcome::kConverted);
  // The second time the good file is backed up over itself as a target in out/.
  EXPECT_EQ(rec.results[3].outcome, FileOutcome::kConverted);
  EXPECT_FALSE(fs::exists(dir / "out" / bad.filename()));
  EXPECT_EQ(ReadFile(dir / "out" / good.filename()), ConvertedBytes<F>(good, true));
  EXPECT_EQ(ReadFile(dir / "out" / test::BackupName<F>("good")), ConvertedBytes<F>(good, true));
}

TEST(ConvertFiles, TheTargetIsTheSourceByIdentityNotByName) {
  TempDir dir;
  fs::create_directories(dir / "out");
  MakeDrawing(dir / "plan.jww", 0);
  fs::create_hard_link(dir / "plan.jww", dir / "out" / "plan.jww");
  const auto before = Snapshot(dir.path());
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / "plan.jww"}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kNothingToDissolve);
  EXPECT_FALSE(rec.results[0].written);
  EXPECT_TRUE(SameFiles(before, Snapshot(dir.path())));
}

TEST(ConvertFiles, AStopRequestTakesEffectBeforeTheNextFile) {
  TempDir dir;
  fs::create_directories(dir / "out");
  MakeDrawing(dir / "a.jww", 1);
  MakeDrawing(dir / "b.jww", 1);
  Converter converter;
  Recorder rec;
  // Asked once the first file was taken up (its result may come after).
  rec.stop = [&rec] {
    return std::count_if(rec.events.begin(), rec.events.end(),
                         [](const std::string& e) { return e.rfind("log ", 0) == 0; }) == 1;
  };
  const RunSummary s =
      converter.ConvertFiles(ItemsFor({dir / "a.jww", dir / "b.jww"}, dir / "out"), true, rec);
  EXPECT_TRUE(s.stopped);
  EXPECT_EQ(s.converted, 1u);
  EXPECT_TRUE(fs::exists(dir / "out" / "a.jww"));
  EXPECT_FALSE(fs::exists(dir / "out" / "b.jww"));
  EXPECT_EQ(rec.events.back(), "status 変換を中断しました(ESC)");
  EXPECT_EQ(rec.events.size(), 4u);  // log, status and result of a, and the final text
}

// While a file is put in place the next one is read. A file that cannot be put
// in place (its target became a folder after it was written) fails alone, in
// its turn, with the reason, and leaves nothing of its own.
TEST(ConvertFiles, AFileThatCannotBePutInPlaceFailsAloneInItsTurn) {
  TempDir dir;
  fs::create_directories(dir / "out");
  for (const char* name : {"a.jww", "b.jww", "c.jww"}) MakeDrawing(dir / name, 1);
  Converter converter({.filter = [](ByteSink&, const fs::path& target) -> std::unique_ptr<ByteSink> {
    if (target.filename() == "b.jww") fs::create_directories(target / "in the way");
    return nullptr;
  }});
  Recorder rec;
  const RunSummary s = converter.ConvertFiles(
      ItemsFor({dir / "a.jww", dir / "b.jww", dir / "c.jww"}, dir / "out"), true, rec);

  const auto log = [&](const char* n) { return "log " + (dir / n).string(); };
  const auto result = [&](const char* n) { return "result " + (dir / n).string(); };
  std::vector<std::string> order;  // without the status texts and the logs' "i/n"
  for (const auto& e : rec.events) {
    if (e.rfind("log ", 0) == 0) order.push_back(e.substr(0, e.rfind(' ')));
    if (e.rfind("result ", 0) == 0) order.push_back(e);
  }
  EXPECT_EQ(order, (std::vector<std::string>{log("a.jww"), log("b.jww"), result("a.jww"), log("c.jww"),
                                             result("b.jww"), result("c.jww")}));
  ASSERT_EQ(rec.results.size(), 3u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kConverted);
  EXPECT_EQ(rec.results[1].outcome, FileOutcome::kFailed);
  EXPECT_NE(rec.results[1].failure.text.find("cannot replace"), std::string::npos) << rec.results[1].failure.text;
  EXPECT_FALSE(rec.results[1].written);
  EXPECT_EQ(rec.results[1].dimensions, 0);
  EXPECT_EQ(rec.results[2].outcome, FileOutcome::kConverted);
  EXPECT_EQ(s.converted, 2u);
  EXPECT_EQ(s.failed, 1u);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir / "out")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.jww", "b.jww", "c.jww"}));
  EXPECT_TRUE(fs::is_empty(dir / "out" / "b.jww" / "in the way"));
  EXPECT_EQ(DimensionsIn(dir / "out" / "c.jww"), 0);
}

// In place, one after the other while the one before is put in place: every
// drawing gets its own backup of its original.
TEST(ConvertFiles, SeveralInPlaceEachWithTheBackupOfItsOriginal) {
  TempDir dir;
  std::vector<fs::path> files;
  std::vector<std::string> originals;
  for (int i = 0; i < 4; ++i) {
    files.push_back(dir / ("p" + std::to_string(i) + ".jww"));
    MakeDrawing(files.back(), i + 1);
    originals.push_back(ReadFile(files.back()));
  }
  Converter converter;
  Recorder rec;
  const RunSummary s = converter.ConvertFiles(ItemsFor(files, {}), false, rec);
  EXPECT_EQ(s.converted, 4u);
  for (int i = 0; i < 4; ++i) {
    fs::path backup = files[i];
    backup.replace_extension("._JWW");
    EXPECT_EQ(rec.results[i].source, files[i]);
    EXPECT_EQ(rec.results[i].backup, backup);
    EXPECT_TRUE(ReadFile(backup) == originals[i]) << i;
    EXPECT_EQ(DimensionsIn(files[i]), 0) << i;
  }
  EXPECT_EQ(Snapshot(dir.path()).size(), 8u);  // nothing else
}

TEST(ConvertFiles, NoRunStartsInsideARun) {
  TempDir dir;
  MakeDrawing(dir / "a.jww", 1);
  fs::create_directories(dir / "out");
  Converter converter;
  Recorder rec, inner;
  RunSummary nested;
  rec.pump = [&] {
    if (!nested.refused)
      nested = converter.ConvertFiles(ItemsFor({dir / "a.jww"}, dir / "out"), true, inner);
  };
  const RunSummary s = converter.ConvertFiles(ItemsFor({dir / "a.jww"}, dir / "out"), true, rec);
  EXPECT_TRUE(nested.refused);
  EXPECT_TRUE(inner.events.empty());
  EXPECT_EQ(s.converted, 1u);
  EXPECT_FALSE(converter.Running());
}

// The two formats, for the table of failures.
struct FormatCase {
  const char* tag;          // in test names
  std::string source;       // src/<source> is converted into out/
  std::string backup;       // out/<backup> is its backup
  std::string notA;         // the reason given when the signature check fails
  const char* badSignature;
  void (*make)(const fs::path&, int dimensions, std::int32_t version);
  std::string (*converted)(const fs::path&, bool referencePoints);
};

template <typename F>
FormatCase CaseOf() {
  return {F::kName, test::FileName<F>("a"), test::BackupName<F>("a"), test::NotA<F>(),
          F::kBadSignature, &F::Make, &ConvertedBytes<F>};
}

const FormatCase* FormatCases() {
  static const FormatCase kFormats[] = {CaseOf<test::Drawing>(), CaseOf<test::Figure>()};
  return kFormats;
}

std::uint64_t Pages(std::uint64_t bytes) { return (bytes + 4095) / 4096; }

enum class Full { kNo, kDuringOutput, kDuringBackup };

struct FailureCase {
  const char* name;
  // src/<source> holds a file of the format; out/ is empty.
  std::function<void(const TempDir&, const FormatCase&)> setUp;
  const char* reason;  // found in the reason given; null: the format's notA
  FailureCode code;    // the reason's code, and the file it is about
  FileRole role;
  // An injected full disk: the output, or the backup copy, fails after this many bytes.
  std::optional<std::uint64_t> outputFailsAfter = std::nullopt;
  std::optional<std::uint64_t> backupFailsAfter = std::nullopt;
  // out/ is a file system that fills up (it holds an old target and an old backup).
  Full full = Full::kNo;
};

void OldFilesOfSize(const TempDir& d, const FormatCase& f, std::size_t targetSize) {
  WriteFile(d / "out" / f.source, std::string(targetSize, 't'));
  WriteFile(d / "out" / f.backup, "the backup of the original");
}

void OldFiles(const TempDir& d, const FormatCase& f) { OldFilesOfSize(d, f, 3000); }

const std::vector<FailureCase>& FailureCases() {
  using F = FormatCase;
  static const std::vector<FailureCase> cases = {
      {"BadSignature",
       [](const TempDir& d, const F& f) { WriteFile(d / "src" / f.source, f.badSignature); },
       nullptr, FailureCode::kNotThisFormat, FileRole::kSource},
      {"MissingSource", [](const TempDir& d, const F& f) { fs::remove(d / "src" / f.source); },
       "no such file", FailureCode::kNoSuchFile, FileRole::kSource},
      {"SourceIsAFolder",
       [](const TempDir& d, const F& f) {
         fs::remove(d / "src" / f.source);
         fs::create_directory(d / "src" / f.source);
       },
       "is a folder", FailureCode::kIsFolder, FileRole::kSource},
      {"TruncatedWithATarget",
       [](const TempDir& d, const F& f) {
         const std::string bytes = ReadFile(d / "src" / f.source);
         WriteFile(d / "src" / f.source, bytes.substr(0, bytes.size() / 2));
         OldFiles(d, f);
       },
       "truncated", FailureCode::kTruncated, FileRole::kSource},
      {"TargetIsAFolder",
       [](const TempDir& d, const F& f) { fs::create_directory(d / "out" / f.source); },
       "is a folder", FailureCode::kIsFolder, FileRole::kTarget},
      {"BackupIsAFolder",
       [](const TempDir& d, const F& f) {
         WriteFile(d / "out" / f.source, "the target");
         fs::create_directory(d / "out" / f.backup);
       },
       "is a folder", FailureCode::kIsFolder, FileRole::kBackup},
      {"OldReadOnlyBackup",
       [](const TempDir& d, const F& f) {
         OldFiles(d, f);
         ::chmod((d / "out" / f.backup).c_str(), 0444);
       },
       "is read-only", FailureCode::kReadOnly, FileRole::kBackup},
      {"ReadOnlyTarget",
       [](const TempDir& d, const F& f) {
         WriteFile(d / "out" / f.source, "a read-only target");
         ::chmod((d / "out" / f.source).c_str(), 0444);
       },
       "is read-only", FailureCode::kReadOnly, FileRole::kTarget},
      {"ReadOnlyTargetWithAnOlderBackup",
       [](const TempDir& d, const F& f) {
         OldFiles(d, f);
         ::chmod((d / "out" / f.source).c_str(), 0444);
       },
       "is read-only", FailureCode::kReadOnly, FileRole::kTarget},
      {"OutputFailsAtOnce", [](const TempDir&, const F&) {}, "injected", FailureCode::kCannotWrite, FileRole::kTarget, 0},
      {"OutputFailsHalfWay", [](const TempDir&, const F&) {}, "injected", FailureCode::kCannotWrite, FileRole::kTarget, 300},
      {"OutputFailsHalfWayWithOldFiles", OldFiles, "injected", FailureCode::kCannotWrite, FileRole::kTarget, 1000},
      {"OutputFailsAtItsLastByteWithOldFiles", OldFiles, "injected", FailureCode::kCannotWrite, FileRole::kTarget, 1499},
      {"BackupFailsAtOnce", OldFiles, "injected", FailureCode::kCannotWrite, FileRole::kBackup, std::nullopt, 0},
      {"BackupFailsHalfWay", OldFiles, "injected", FailureCode::kCannotWrite, FileRole::kBackup, std::nullopt, 1500},
      {"DiskFillsDuringTheOutput", OldFiles, "No space left on device", FailureCode::kCannotWrite, FileRole::kTarget, std::nullopt, std::nullopt,
       Full::kDuringOutput},
      {"DiskFillsDuringTheBackup",
       [](const TempDir& d, const F& f) { OldFilesOfSize(d, f, 40000); },
       "No space left on device", FailureCode::kCannotWrite, FileRole::kBackup, std::nullopt, std::nullopt, Full::kDuringBackup},
  };
  return cases;
}

// Case c of format f is parameter c * 2 + f.
class ConvertFailure : public testing::TestWithParam<int> {};

// After a failed file, every file that existed is byte-identical, the old
// backup included, and no file (temporary, backup or folder) is left.
TEST_P(ConvertFailure, IsReportedAndLeavesEveryFileAsItWas) {
  const FailureCase& c = FailureCases()[static_cast<std::size_t>(GetParam() / 2)];
  const FormatCase& f = FormatCases()[GetParam() % 2];
  SCOPED_TRACE(std::string(c.name) + " " + f.tag);
  TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  f.make(dir / "src" / f.source, 40, 600);
  const std::uint64_t output = f.converted(dir / "src" / f.source, true).size();
  // The injected failures fall inside the output and the backup.
  ASSERT_GT(output, 1500u);
  std::optional<SmallFileSystem> small;
  if (c.full != Full::kNo) {
    // Room for the old files and half the output, or for them, the output and
    // half the backup copy.
    const std::uint64_t old = Pages(c.full == Full::kDuringBackup ? 40000 : 3000) + 1;
    small.emplace(dir / "out", 4 * (c.full == Full::kDuringOutput
                                        ? old + Pages(output) / 2
                                        : old + Pages(output) + Pages(40000) / 2));
    if (!small->mounted()) GTEST_SKIP() << small->why() << "; the injected failures cover this";
  }
  c.setUp(dir, f);
  const auto expected = Snapshot(dir.path());

  const fs::path target = dir / "out" / f.source;
  Converter converter({.filter = [&](ByteSink& file, const fs::path& to) -> std::unique_ptr<ByteSink> {
    const auto& limit = to == target ? c.outputFailsAfter : c.backupFailsAfter;
    if (!limit) return nullptr;
    return std::make_unique<FailingSink>(file, to, *limit);
  }});
  Recorder rec;
  const RunSummary s =
      converter.ConvertFiles(ItemsFor({dir / "src" / f.source}, dir / "out"), true, rec);

  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kFailed);
  const std::string reason = c.reason ? c.reason : f.notA;
  const Failure& failure = rec.results[0].failure;
  EXPECT_NE(failure.text.find(reason), std::string::npos) << failure.text;
  EXPECT_EQ(failure.code, c.code) << CodeName(failure.code) << ": " << failure.text;
  EXPECT_EQ(failure.role, c.role) << failure.text;
  const fs::path about = c.role == FileRole::kSource   ? dir / "src" / f.source
                         : c.role == FileRole::kTarget ? dir / "out" / f.source
                                                       : dir / "out" / f.backup;
  EXPECT_EQ(failure.file, about) << failure.text;
  EXPECT_FALSE(rec.results[0].written);
  EXPECT_TRUE(rec.results[0].backup.empty());
  EXPECT_EQ(s.failed, 1u);
  EXPECT_TRUE(SameFiles(expected, Snapshot(dir.path())));  // no new file either
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertFailure,
                         testing::Range(0, 2 * static_cast<int>(FailureCases().size())),
                         [](const testing::TestParamInfo<int>& p) {
                           return std::string(
                                      FailureCases()[static_cast<std::size_t>(p.param / 2)].name) +
                                  FormatCases()[p.param % 2].tag;
                         });

TEST(ConvertFailure, TheReasonNamesTheFileThatCausedIt) {
  TempDir dir;
  fs::create_directories(dir / "out");
  MakeDrawing(dir / "plan.jww", 1);
  WriteFile(dir / "out" / "plan.jww", "x");
  ::chmod((dir / "out" / "plan.jww").c_str(), 0444);
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / "plan.jww"}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].failure.text,
            "the target " + (dir / "out" / "plan.jww").string() + " is read-only");
}

TEST(ConvertFailure, UnreadableSource) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads anyway";
  TempDir dir;
  MakeDrawing(dir / "a.jww", 1);
  ::chmod((dir / "a.jww").c_str(), 0);
  fs::create_directories(dir / "out");
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / "a.jww"}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kFailed);
  EXPECT_NE(rec.results[0].failure.text.find("cannot open"), std::string::npos) << rec.results[0].failure.text;
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

TEST(ConvertFailure, TargetFolderWithoutWritePermission) {
  TempDir dir;
  fs::create_directories(dir / "out");
  MakeDrawing(dir / "a.jww", 1);
  WriteFile(dir / "out" / "a.jww", "the target");
  const auto before = Snapshot(dir.path());
  std::optional<Immutable> lock;
  if (::geteuid() == 0) {
    lock.emplace(dir / "out");
    if (!lock->ok())
      GTEST_SKIP() << "chattr is not available; the injected failures cover this path";
  } else {
    ::chmod((dir / "out").c_str(), 0555);
  }
  Converter converter;
  Recorder rec;
  converter.ConvertFiles(ItemsFor({dir / "a.jww"}, dir / "out"), true, rec);
  lock.reset();
  ::chmod((dir / "out").c_str(), 0755);
  ASSERT_EQ(rec.results.size(), 1u);
  EXPECT_EQ(rec.results[0].outcome, FileOutcome::kFailed);
  EXPECT_NE(rec.results[0].failure.text.find("cannot create a file in"), std::string::npos) << rec.results[0].failure.text;
  EXPECT_TRUE(SameFiles(before, Snapshot(dir.path())));
}

TEST(ConvertFiles, EmbeddedImagesComeBackAndTheWorkingFilesGoWithWhatKilledRunsLeft) {
  TempDir dir;
  fs::create_directories(dir / "tmp");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "build");
  {
    test::Drawing::Kit k;
    draw::Sample(k.doc, 700, 2);
    draw::EmbedImage(k.doc, "pic.bmp", "BM first image");
    draw::EmbedImage(k.doc, "Photo.JPG.GZ", std::string("\x1f\x8b\0\0gz", 6));
    test::SaveBuilt(k.doc, dir / "a.jww");
  }
  // What a run killed before it ended left in the folders this one works in
  // goes; what it left in a folder this one does not write into stays.
  fs::create_directories(dir / "tmp" / "tessaly-99999999-Ab12Cd");
  WriteFile(dir / "tmp" / "tessaly-99999999-Ab12Cd" / "pic.bmp", "BM");
  WriteFile(dir / "out" / ".a.jww.99999999.0000abcd.tmp", "partial");
  WriteFile(dir / ".a.jww.99999999.0000abcd.tmp", "partial");
  ScopedEnv tmp("TMPDIR", (dir / "tmp").string());
  Converter converter;
  Recorder rec;
  fs::path work;
  // What the working folder holds once the file is done.
  std::vector<std::pair<std::string, std::string>> left{{"x", "x"}};
  rec.finished = [&](const FileResult&) {
    work = converter.WorkFolder();
    left = Snapshot(work);
  };
  converter.ConvertFiles(ItemsFor({dir / "a.jww"}, dir / "out"), true, rec);
  ASSERT_EQ(rec.results.size(), 1u);
  ASSERT_EQ(rec.results[0].outcome, FileOutcome::kConverted) << rec.results[0].failure.text;
  EXPECT_EQ(work.parent_path(), dir / "tmp");
  EXPECT_TRUE(left.empty());
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));  // the working folder is gone after the run
  EXPECT_EQ(Snapshot(dir / "out").size(), 1u);
  EXPECT_TRUE(fs::exists(dir / ".a.jww.99999999.0000abcd.tmp"));

  test::Drawing::Kit out;
  ASSERT_TRUE(test::Loads(out.doc, dir / "out" / "a.jww"));
  EXPECT_EQ(test::EntriesOf(out.doc, kDimension), 0);
  ASSERT_EQ(out.images.Entries.size(), 2u);
  EXPECT_EQ(test::Stored(out.store, "pic.bmp"), "BM first image");
  EXPECT_EQ(test::Stored(out.store, "Photo.JPG.GZ"), std::string("\x1f\x8b\0\0gz", 6));
}

TEST(ConvertNames, ExtensionsTargetsAndBackups) {
  Converter converter;
  struct Case {
    const char* source;
    const char* destination;
    bool convertible;
    const char* target;
    const char* backup;
  };
  const Case cases[] = {
      {"/d/plan.jww", "", true, "/d/plan.jww", "/d/plan._JWW"},
      {"/d/A.JwW", "/out", true, "/out/A.JwW", "/out/A._JWW"},
      {"/d/x.y.JWW", "/out/", true, "/out/x.y.JWW", "/out/x.y._JWW"},
      {"/d/.jww", "", true, "/d/.jww", "/d/._JWW"},
      {"plan.jww", "", true, "plan.jww", "plan._JWW"},
      {"/d/part.jws", "", true, "/d/part.jws", "/d/part._JWS"},
      {"/d/A.JwS", "/out", true, "/out/A.JwS", "/out/A._JWS"},
      {"/d/x.jww.JWS", "", true, "/d/x.jww.JWS", "/d/x.jww._JWS"},
      {"/d/plan.jww.txt", "", false, "", ""},
      {"/d/part.jws.bak", "", false, "", ""},
      {"/d/part.jw_", "", false, "", ""},
      {"/d/plan.jw", "", false, "", ""},
      {"/d/jww", "", false, "", ""},
      {"/d.jww/plan", "", false, "", ""},
  };
  for (const auto& c : cases) {
    const ConvertItem item{c.source, c.destination, false};
    EXPECT_EQ(converter.IsConvertible(c.source), c.convertible) << c.source;
    if (!c.convertible) continue;
    EXPECT_EQ(Converter::TargetFor(item).lexically_normal(), fs::path(c.target)) << c.source;
    EXPECT_EQ(converter.BackupFor(item).lexically_normal(), fs::path(c.backup)) << c.source;
  }
  EXPECT_EQ(UpperExtension("a/b.c.jWs"), ".JWS");
  EXPECT_EQ(UpperExtension("a.b/c"), "");
  EXPECT_EQ(converter.FormatNames(), "JWW or JWS");
}

}  // namespace
}  // namespace tessaly

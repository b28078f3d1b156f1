#include "io/path_text.h"
#include "cli/cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "app/convert.h"
#include "app/plan.h"
#include "cli/json.h"
#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/documents.h"
#include "support/formats.h"
#include "support/scoped_system.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
namespace draw = test::draw;
using test::ReadFile;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;

// Runs in a fresh folder that is the current folder, so that paths read as a
// user would type them.
class Cli : public testing::Test {
 protected:
  Cli() : old_(fs::current_path()) { fs::current_path(dir_.path()); }
  ~Cli() override {
    fs::current_path(old_);
  }

  struct Result {
    int status;
    std::string out, err;
  };
  Result Run(const std::vector<std::string>& args, bool progress = false,
             const cli::RunHooks& hooks = {}, Language language = Language::kEnglish) {
    std::ostringstream out, err;
    const int status = cli::Run(args, out, err, progress, hooks, language);
    return {status, out.str(), err.str()};
  }

  // A drawing with `dimensions` dimensions in its main list and, when that is
  // not 0, one more in a block definition.
  static void Drawing(const fs::path& p, int dimensions, std::int32_t version = 600) {
    if (!p.parent_path().empty()) fs::create_directories(p.parent_path());
    draw::MakeDrawing(p, dimensions, version);
  }

  static void Figure(const fs::path& p, int dimensions, std::int32_t version = 600) {
    if (!p.parent_path().empty()) fs::create_directories(p.parent_path());
    test::draw::MakeFigure(p, dimensions, version);
  }

  static std::int64_t Count(const fs::path& p, std::int32_t kind) { return test::EntriesIn(p, kind); }

  TempDir dir_;
  fs::path old_;
};

TEST_F(Cli, ConvertsIntoAFolderAndSaysWhatHappened) {
  Drawing("plan.jww", 11);
  WriteFile("notes.txt", "text");
  fs::create_directory("out");
  const Result r = Run({"-o", "out", "plan.jww", "notes.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "plan.jww: 12 dimensions dissolved -> " + PathToUtf8(fs::path("out") / "plan.jww") + "\n"
            "notes.txt: skipped (not a JWW or JWS file)\n"
            "2 files: 1 converted (12 dimensions dissolved), 0 with nothing to dissolve, 1 "
            "skipped, 0 failed\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Count("out/plan.jww", kDimension), 0);
  EXPECT_EQ(Count("plan.jww", kDimension), 12);
  EXPECT_FALSE(fs::exists("out/notes.txt"));
}

TEST_F(Cli, InItsOwnFolderAfterABackupAndOnlyOnce) {
  Drawing("plan.jww", 1);
  const std::string original = ReadFile("plan.jww");
  Result r = Run({"plan.jww"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "plan.jww: 2 dimensions dissolved -> plan.jww (backup plan._JWW)\n"
            "1 file: 1 converted (2 dimensions dissolved), 0 with nothing to dissolve, 0 skipped, "
            "0 failed\n");
  EXPECT_EQ(ReadFile("plan._JWW"), original);
  const auto converted = Snapshot(".");
  r = Run({"plan.jww"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "plan.jww: nothing to dissolve, left as it is\n"
            "1 file: 0 converted (0 dimensions dissolved), 1 with nothing to dissolve, 0 skipped, "
            "0 failed\n");
  EXPECT_TRUE(draw::SameFiles(converted, Snapshot(".")));
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* message;  // found in the output or the error output
};

void PrintTo(const UsageCase& c, std::ostream* os) {
  *os << c.name;
}

class CliStatus : public Cli, public testing::WithParamInterface<UsageCase> {};

TEST_P(CliStatus, ExitStatusAndMessage) {
  Drawing("plan.jww", 1);
  Drawing("a/plan.jww", 1);
  Drawing("b/plan.jww", 1);
  Drawing("c/plan.JWW", 1);
  WriteFile("bad.jww", "JwwData");  // too short for the signature
  Figure("part.jws", 1);
  Figure("c/part.JWS", 1);
  WriteFile("bad.jws", "JwsDat");
  fs::copy_file("plan.jww", "drawing.jws");
  WriteFile("notes.txt", "text");
  fs::create_directory("out");
  const auto before = Snapshot(".");
  const Result r = Run(GetParam().args);
  EXPECT_EQ(r.status, GetParam().status) << r.out << r.err;
  std::string said = r.out + r.err;
#ifdef _WIN32
  std::replace(said.begin(), said.end(), '\\', '/');  // the messages below name paths with '/'
#endif
  EXPECT_NE(said.find(GetParam().message), std::string::npos) << r.out << r.err;
  // Usage errors and failures change nothing.
  if (GetParam().status != 0) {
    EXPECT_TRUE(draw::SameFiles(before, Snapshot(".")));
  }
}

#ifdef _WIN32  // names differing in case are one file here
constexpr const char* kSameBackupJWW = "would both be written to out/plan.JWW";
constexpr const char* kSameBackupJWS = "would both be written to out/part.JWS";
#else
constexpr const char* kSameBackupJWW = "would both be backed up to out/plan._JWW";
constexpr const char* kSameBackupJWS = "would both be backed up to out/part._JWS";
#endif

INSTANTIATE_TEST_SUITE_P(
    Cases, CliStatus,
    testing::Values(
        UsageCase{"NoArguments", {}, 2, "usage: tessaly-cli"},
        UsageCase{"UnknownOption", {"--bogus", "plan.jww"}, 2, "unknown option --bogus"},
        UsageCase{"OutputDirWithoutFolder", {"plan.jww", "-o"}, 2, "-o needs a folder"},
        UsageCase{"MissingOutputDir",
                  {"-o", "missing", "plan.jww"},
                  2,
                  "the output folder missing does not exist"},
        UsageCase{"OutputDirIsAFile",
                  {"--output-dir=notes.txt", "plan.jww"},
                  2,
                  "the output folder notes.txt is not a folder"},
        UsageCase{"EmptyOutputDir", {"-o", "", "plan.jww"}, 2, "-o needs a folder name"},
        UsageCase{"EmptyOutputDirOption", {"--output-dir=", "plan.jww"}, 2,
                  "--output-dir needs a folder name"},
        UsageCase{"SamePathTwice",
                  {"plan.jww", "plan.jww"},
                  2,
                  "tessaly-cli: plan.jww is named twice; nothing converted"},
        UsageCase{"SameFileTwice", {"plan.jww", "./plan.jww"}, 2,
                  "plan.jww is named twice (also as ./plan.jww)"},
        UsageCase{"SameFileInAFolder", {"plan.jww", "."}, 2,
                  "plan.jww is named twice (also as ./plan.jww)"},
        UsageCase{"FolderWithoutDrawings", {"out"}, 0, "no .jww or .jws drawings found in out\n"},
        UsageCase{"SameTargetInTheOutputDir",
                  {"-o", "out", "a/plan.jww", "b/plan.jww"},
                  2,
                  "a/plan.jww and b/plan.jww would both be written to out/plan.jww"},
        UsageCase{"SameBackup",
                  {"-o", "out", "plan.jww", "c/plan.JWW"},
                  2,
                  kSameBackupJWW},
        UsageCase{"MissingFile", {"missing.jww"}, 1, "missing.jww: failed: no such file"},
        UsageCase{
            "MissingFileOfAnotherType", {"missing.txt"}, 1, "missing.txt: failed: no such file"},
        UsageCase{"NotADrawing", {"bad.jww"}, 1, "bad.jww: failed: not a JWW drawing"},
        UsageCase{"OtherTypeIsSkipped", {"notes.txt"}, 0, "notes.txt: skipped (not a JWW or JWS file)"},
        UsageCase{"Help", {"--help"}, 0, "--no-reference-points"},
        UsageCase{"HelpMentionsFigures", {"--help"}, 0, "JWS figures (.jws)"},
        UsageCase{"NotAFigure", {"bad.jws"}, 1, "bad.jws: failed: not a JWS figure"},
        UsageCase{"DrawingNamedAsAFigure", {"drawing.jws"}, 1, "drawing.jws: failed: not a JWS figure"},
        UsageCase{"SameFigureTwice", {"part.jws", "./part.jws"}, 2, "part.jws is named twice"},
        UsageCase{"SameFigureBackup",
                  {"-o", "out", "part.jws", "c/part.JWS"},
                  2,
                  kSameBackupJWS},
        UsageCase{"Version", {"--version"}, 0, "tessaly-cli " TESSALY_PROJECT_VERSION},
        UsageCase{"Info", {"--info", "plan.jww"}, 0, "plan.jww: JWW drawing, version 600"},
        UsageCase{"InfoOfABadFile", {"--info", "bad.jww"}, 1, "bad.jww"},
        UsageCase{"InfoOfAFolder", {"--info", "c"}, 0, "c/part.JWS: JWS figure, version 600"},
        UsageCase{"InfoOfAFolderWithoutDrawings", {"--info", "out"}, 0,
                  "no .jww or .jws drawings found in out"},
        UsageCase{"InfoWithAnOutputDir", {"--info", "-o", "out", "plan.jww"}, 2,
                  "-o is an option of a conversion; --info converts nothing"},
        UsageCase{"InfoWithoutReferencePoints", {"--no-reference-points", "--info", "plan.jww"}, 2,
                  "--no-reference-points is an option of a conversion"},
        UsageCase{"InfoOfAMissingFile", {"--info", "missing.jww"}, 1, "missing.jww: no such file"},
        UsageCase{"InfoAsJson", {"--info", "--json", "plan.jww"}, 2, "--json is an option of a conversion"},
        UsageCase{"BaseWithoutOutputDir", {"--base", ".", "plan.jww"}, 2, "--base places files under the output folder"},
        UsageCase{"BaseWithoutFolder", {"-o", "out", "plan.jww", "--base"}, 2, "--base needs a folder name"},
        UsageCase{"OutsideTheBase", {"-o", "out", "--base=a", "plan.jww"}, 1, "plan.jww: failed: not below the base folder"},
        UsageCase{"DryRunOfABadFile", {"--dry-run", "plan.jww", "bad.jww"}, 1, "bad.jww: would fail: not a JWW drawing"},
        UsageCase{"DryRunOfAClash", {"--dry-run", "--json", "plan.jww", "plan.jww"}, 2, "\"code\":\"named-twice\""},
        UsageCase{
            "InfoOfAnotherFile", {"--info", "notes.txt"}, 1, "notes.txt: not a JWW drawing or JWS figure"}),
    [](const testing::TestParamInfo<UsageCase>& p) { return std::string(p.param.name); });

TEST_F(Cli, InfoPrintsSummariesOnTheOutputAndFailuresOnTheErrorOutput) {
  Drawing("plan.jww", 0);
  WriteFile("bad.jww", "JwwData.");
  const Result r = Run({"--info", "bad.jww", "plan.jww"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("plan.jww: JWW drawing, version 600\n", 0), 0u) << r.out;
  EXPECT_EQ(r.err.rfind("bad.jww: truncated at byte offset 8", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

// A target still to be made is one file however its folder is written, also
// through a link to the folder; another name in the folder is another file.
TEST_F(Cli, ANewTargetIsOneFileHoweverItsFolderIsWritten) {
  Drawing("a/plan.jww", 1);
  Drawing("b/plan.jww", 1);
  fs::create_directories("out/sub");
  std::vector<std::string> others = {"out/sub/..", "./out/"};
#ifndef _WIN32
  fs::create_directory_symlink("out", "link");
  others.push_back("link");
#endif
  Converter converter;
  for (const std::string& other : others) {
    const std::vector<ConvertItem> items = {{"a/plan.jww", "out", false}, {"b/plan.jww", other, false}};
    const std::vector<Clash> clashes = FindClashes(converter, items, false);
    ASSERT_EQ(clashes.size(), 1u) << other;
    EXPECT_EQ(clashes[0].kind, Clash::kSameTarget) << other;
  }
  EXPECT_TRUE(FindClashes(converter, {{"a/plan.jww", "out", false}, {"b/plan.jww", "out/sub", false}},
                          false)
                  .empty());
}

// Drawings and figures alike.
template <typename F>
class CliFormat : public Cli {};
TYPED_TEST_SUITE(CliFormat, test::Formats, test::FormatNames);

TYPED_TEST(CliFormat, SameBackupInOneFolder) {
  TESSALY_POSIX_ONLY("names differing in case name one file here");
  using F = TypeParam;
  const std::string lower = test::FileName<F>("plan"), upper = "plan" + std::string(F::Format::kExtension);
  F::Make(lower, 1);
  F::Make(upper, 1);
  const auto before = Snapshot(".");
  const auto r = this->Run({lower, upper});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(lower + " and " + upper + " would both be backed up to " + test::BackupName<F>("plan")),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(draw::SameFiles(before, Snapshot(".")));
}

TYPED_TEST(CliFormat, NoReferencePoints) {
  const std::string name = test::FileName<TypeParam>("a");
  TypeParam::Make(name, 4);  // two SXF dimensions, and one in the block definition
  fs::create_directory("on");
  fs::create_directory("off");
  ASSERT_EQ(this->Run({"-o", "on", name}).status, 0);
  ASSERT_EQ(this->Run({"--no-reference-points", "-o", "off", name}).status, 0);
  EXPECT_EQ(this->Count("on/" + name, kPoint) - this->Count("off/" + name, kPoint), 3 * 2);
}

// A drawing and a figure of one name back up to different files.
TEST_F(Cli, ADrawingAndAFigureOfOneNameInTheirOwnFolder) {
  Drawing("plan.jww", 1);
  Figure("plan.jws", 2);
  const std::string drawing = ReadFile("plan.jww"), figure = ReadFile("plan.jws");
  const Result r = Run({"plan.jww", "plan.jws"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "plan.jww: 2 dimensions dissolved -> plan.jww (backup plan._JWW)\n"
            "plan.jws: 3 dimensions dissolved -> plan.jws (backup plan._JWS)\n"
            "2 files: 2 converted (5 dimensions dissolved), 0 with nothing to dissolve, 0 skipped, "
            "0 failed\n");
  EXPECT_EQ(ReadFile("plan._JWW"), drawing);
  EXPECT_EQ(ReadFile("plan._JWS"), figure);
  EXPECT_EQ(Count("plan.jww", kDimension), 0);
  EXPECT_EQ(Count("plan.jws", kDimension), 0);
  // A second run leaves both alone.
  const auto converted = Snapshot(".");
  EXPECT_EQ(Run({"."}).status, 0);
  EXPECT_TRUE(draw::SameFiles(converted, Snapshot(".")));
}

TEST_F(Cli, WalksAFolderOfDrawingsAndFigures) {
  TESSALY_POSIX_ONLY("links need privileges here");
  Drawing("src/a.jww", 1);
  Figure("src/b.jws", 2, 420);
  Figure("src/sub/c.JWS", 0, 351);
  Drawing("src/sub/deep/d.jww", 0);
  Figure("src/sub/deep/e.JwS", 1, 700);
  WriteFile("src/sub/f.jws.bak", "text");
  WriteFile("src/readme.txt", "text");
  fs::create_symlink("b.jws", "src/link.jws");
  fs::create_directory("out");

  const Result r = Run({"-o", "out", "src"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "src/a.jww: 2 dimensions dissolved -> out/a.jww\n"
            "src/b.jws: 3 dimensions dissolved -> out/b.jws\n"
            "src/sub/c.JWS: nothing to dissolve -> out/sub/c.JWS\n"
            "src/sub/deep/d.jww: nothing to dissolve -> out/sub/deep/d.jww\n"
            "src/sub/deep/e.JwS: 2 dimensions dissolved -> out/sub/deep/e.JwS\n"
            "5 files: 3 converted (7 dimensions dissolved), 2 with nothing to dissolve, 0 skipped, "
            "0 failed\n");
  std::vector<std::string> made;
  for (const auto& [name, bytes] : Snapshot("out")) made.push_back(name);
  EXPECT_EQ(made, (std::vector<std::string>{"a.jww", "b.jws", "sub/c.JWS", "sub/deep/d.jww",
                                            "sub/deep/e.JwS"}));
  for (const auto& name : made) EXPECT_EQ(Count("out/" + name, kDimension), 0) << name;
  // A figure with nothing to dissolve comes out as a plain save writes it.
  TJwsData plain;
  ASSERT_TRUE(test::Loads(plain, "src/sub/c.JWS"));
  EXPECT_EQ(ReadFile("out/sub/c.JWS"), test::WrittenBuilt(plain, plain.Version()));
}

// Everything the command line says, in Japanese when that is the user's
// language: the files' lines, the reasons, the summary, the usage errors.
TEST_F(Cli, SpeaksJapaneseWhenAsked) {
  Drawing("plan.jww", 2);
  WriteFile("bad.jww", "not a drawing");
  fs::create_directories("out");
  const Result r = Run({"-o", "out", "plan.jww", "bad.jww", "missing.jww"}, false, {}, Language::kJapanese);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "plan.jww: 寸法 3 個を分解 -> " + PathToUtf8(fs::path("out") / "plan.jww") + "\n"
            "ファイル 3 個: 変換 1（寸法 3 個を分解）、分解する寸法なし 0、対象外 0、失敗 2\n");
  EXPECT_EQ(r.err,
            "bad.jww: 変換できませんでした: JWW 図面ではありません\n"
            "missing.jww: 変換できませんでした: ファイルがありません\n");
  const Result usage = Run({"-o"}, false, {}, Language::kJapanese);
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err, "tessaly-cli: -o にはフォルダ名が必要です\n");
}

TEST_F(Cli, AFailureDoesNotStopTheOthers) {
  Drawing("a.jww", 1);
  WriteFile("bad.jww", "not a drawing at all");
  Drawing("c.jww", 1);
  fs::create_directory("out");
  const Result r = Run({"-o", "out", "a.jww", "bad.jww", "c.jww", "missing.jww"});
  EXPECT_EQ(r.status, 1);
  // Said in the list's order, a file missing before the run among them.
  EXPECT_EQ(r.err, "bad.jww: failed: not a JWW drawing\nmissing.jww: failed: no such file\n");
  EXPECT_NE(r.out.find("4 files: 2 converted (4 dimensions dissolved), 0 with nothing to dissolve, "
                       "0 skipped, 2 failed"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(fs::exists("out/a.jww"));
  EXPECT_TRUE(fs::exists("out/c.jww"));
  EXPECT_FALSE(fs::exists("out/bad.jww"));
}

TEST_F(Cli, WalksAFolderTakingRegularDrawingsOnly) {
  TESSALY_POSIX_ONLY("no named pipes or links in the file system here");
  Drawing("src/a.jww", 1);
  Drawing("src/sub/b.JWW", 2);
  Drawing("src/sub/deep/c.jww", 0);
  WriteFile("src/readme.txt", "text");
  WriteFile("src/sub/bad.jww.bak", "text");
  ASSERT_EQ(::mkfifo("src/sub/fifo.jww", 0600), 0);
  fs::create_directory_symlink("sub", "src/link-to-dir");
  fs::create_symlink("a.jww", "src/link.jww");
  fs::create_directory("out");

  const Result r = Run({"-o", "out", "src"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "src/a.jww: 2 dimensions dissolved -> out/a.jww\n"
            "src/sub/b.JWW: 3 dimensions dissolved -> out/sub/b.JWW\n"
            "src/sub/deep/c.jww: nothing to dissolve -> out/sub/deep/c.jww\n"
            "3 files: 2 converted (5 dimensions dissolved), 1 with nothing to dissolve, 0 skipped, "
            "0 failed\n");
  std::vector<std::string> made;
  for (const auto& [name, bytes] : Snapshot("out")) made.push_back(name);
  EXPECT_EQ(made, (std::vector<std::string>{"a.jww", "sub/b.JWW", "sub/deep/c.jww"}));
  EXPECT_FALSE(fs::exists("out/src"));
  EXPECT_FALSE(fs::exists("out/link-to-dir"));
}

TEST_F(Cli, TheOutputFolderInsideTheFolderIsNotWalked) {
  Drawing("src/a.jww", 1);
  fs::create_directory("src/out");
  Drawing("src/out/old.jww", 1);
  const Result r = Run({"-o", "src/out", "src"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::exists("src/out/a.jww"));
  EXPECT_FALSE(fs::exists("src/out/out"));
  EXPECT_EQ(Count("src/out/old.jww", kDimension), 2);
}

TEST_F(Cli, ANamedPipeIsNeverWaitedOn) {
  TESSALY_POSIX_ONLY("no named pipes in the file system here");
  ASSERT_EQ(::mkfifo("x.jww", 0600), 0);
  const Result r = Run({"x.jww"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "x.jww: failed: not a regular file\n");
}

TEST_F(Cli, QuietPrintsFailuresOnly) {
  Drawing("a.jww", 1);
  WriteFile("bad.jww", "no");
  WriteFile("notes.txt", "no");
  fs::create_directory("out");
  const Result r = Run({"-q", "-o", "out", "a.jww", "bad.jww", "notes.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "bad.jww: failed: not a JWW drawing\n");
}

TEST_F(Cli, ProgressOnATerminal) {
  Drawing("a.jww", 1);
  fs::create_directory("out");
  const Result r = Run({"-o", "out", "a.jww"}, true);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("\r\033[K[1/1] a.jww"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.substr(r.err.size() - 4), "\r\033[K");  // cleared at the end
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  EXPECT_EQ(Run({"-q", "-o", "out", "a.jww"}, true).err, "");
}

TEST(CliJson, TextsAreEscapedAndNamesThatAreNotTextAreKeptExactly) {
  const std::pair<std::string, std::string> texts[] = {
      {"plan \"A\"\\b", R"("plan \"A\"\\b")"},
      {"a\nb\tc\x01\x7f", R"("a\nb\tc\u0001\u007f")"},
      {"平面", "\"平面\""},
      {"\xff\xc0\xaf", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // not UTF-8; an overlong '/'
      {"\xed\xa0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
  };
  for (const auto& [in, out] : texts) EXPECT_EQ(cli::JsonText(in), out);
#ifndef _WIN32
  FileResult r;
  r.source = fs::path("dir/\xff.jww");
  const std::string json = cli::FileJson(r, Language::kEnglish);
  EXPECT_NE(json.find("\"source\":\"dir/\xEF\xBF\xBD.jww\",\"source_bytes\":\"6469722fff2e6a7777\""),
            std::string::npos)
      << json;
#endif
}

// A dry run says what the run then does, file by file and in the same words
// for a program, and writes, makes and removes nothing, not even a working
// folder.
TEST_F(Cli, ADryRunSaysWhatTheRunDoesAndWritesNothing) {
  Drawing("in/plan.jww", 1);
  Drawing("in/flat.jww", 0);
  Figure("in/sub/part.jws", 2);
  fs::copy_file(TESSALY_EXAMPLES_DIR "/image.jww", "in/image.jww");
  WriteFile("in/bad.jww", "JwwData.");
  WriteFile("in/.plan.jww.99999999.0000abcd.tmp", "left by a killed run");
  fs::create_directories("tmp/tessaly-99999999-Ab12Cd");
  test::ScopedEnv tmp("TMPDIR", PathToUtf8(dir_.path() / "tmp"));
  const auto before = Snapshot(".");
  const Result dry = Run({"--json", "--dry-run", "in", "missing.jww"});
  EXPECT_TRUE(draw::SameFiles(before, Snapshot(".")));
  const Result run = Run({"--json", "in", "missing.jww"});
  EXPECT_EQ(dry.status, 1);
  EXPECT_EQ(run.status, dry.status);
  std::istringstream dryLines(dry.out), runLines(run.out);
  std::string d, r;
  int files = 0;
  while (std::getline(dryLines, d) && std::getline(runLines, r) && r.find("\"summary\"") == std::string::npos) {
    for (const char* outcome : {"\"converted\"", "\"nothing-to-dissolve\""}) {
      if (const auto at = r.find(outcome); at != std::string::npos) r.replace(at, std::strlen(outcome), "\"planned\"");
    }
    EXPECT_EQ(d, r);
    ++files;
  }
  EXPECT_EQ(files, 6);
  EXPECT_NE(dry.out.find("\"dry_run\":true,\"stopped\":false,\"exit_status\":1}\n"), std::string::npos) << dry.out;
  const std::string plan = PathToUtf8(fs::path("in") / "plan.jww");
  EXPECT_NE(dry.err.find(plan + ": would dissolve 2 dimensions -> " + plan + " (backup " +
                         PathToUtf8(fs::path("in") / "plan._JWW") + ")"),
            std::string::npos)
      << dry.err;
}

// Files named one by one with a base folder go where a run over the whole
// folder puts them, however the list is split, and however the base is named.
TEST_F(Cli, ABaseSplitsATreeIntoTheTreeOneRunWrites) {
  Drawing("tree/z.jww", 1);
  Drawing("tree/a/x.jww", 2);
  Figure("tree/a/b/y.jws", 1);
  for (const char* out : {"one", "two", "three"}) fs::create_directory(out);
  ASSERT_EQ(Run({"-q", "-o", "one", "tree"}).status, 0);
  ASSERT_EQ(Run({"-q", "--base", "tree", "-o", "two", "tree/a/b/y.jws"}).status, 0);
  ASSERT_EQ(Run({"-q", "--base=./tree/a/..", "-o", "two", "tree/z.jww", "tree/a/x.jww"}).status, 0);
  EXPECT_TRUE(draw::SameFiles(Snapshot("one"), Snapshot("two")));
#ifndef _WIN32
  fs::create_directory_symlink("tree", "link");
  ASSERT_EQ(Run({"-q", "--base", "link", "-o", "three", "tree"}).status, 0);
  EXPECT_TRUE(draw::SameFiles(Snapshot("one"), Snapshot("three")));
#endif
}

// Ctrl-C after the first file's result: the file taken up meanwhile (the
// second, read while the first was put in place) is finished, the third is not
// taken up.
TEST_F(Cli, CtrlCFinishesTheFileAndStopsBeforeTheNext) {
  Drawing("a.jww", 1);
  Drawing("b.jww", 1);
  Drawing("c.jww", 1);
  fs::create_directory("out");
  fs::create_directory("tmp");
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", (dir_.path() / "tmp").c_str(), 1);
  cli::RunHooks hooks;
  hooks.afterFile = [](const FileResult&) { std::raise(SIGINT); };
  const Result r = Run({"-o", "out", "a.jww", "b.jww", "c.jww"}, false, hooks);
  if (old) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(Count("out/a.jww", kDimension), 0);
  EXPECT_EQ(Count("out/b.jww", kDimension), 0);
  EXPECT_FALSE(fs::exists("out/c.jww"));
  EXPECT_NE(
      r.out.find(
          "3 files: 2 converted (4 dimensions dissolved), 0 with nothing to dissolve, 0 skipped, "
          "0 failed, 1 not taken up"),
      std::string::npos)
      << r.out;
  EXPECT_EQ(r.err, "tessaly-cli: interrupted, stopped before 1 file\n");
  EXPECT_TRUE(fs::is_empty("tmp"));  // the working folder is gone
  // The handler is given back: the next run starts afresh.
  EXPECT_EQ(Run({"-o", "out", "b.jww"}).status, 0);
#ifndef _WIN32
  // Ended from outside, or the terminal closed: the same stop, said so.
  for (const auto& [signo, status] : {std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    hooks.afterFile = [signo = signo](const FileResult&) { std::raise(signo); };
    const Result s = Run({"-o", "out", "a.jww", "b.jww", "c.jww"}, false, hooks);
    EXPECT_EQ(s.status, status);
    EXPECT_EQ(s.err, "tessaly-cli: terminated, stopped before 1 file\n");
  }
#endif
}

}  // namespace
}  // namespace tessaly

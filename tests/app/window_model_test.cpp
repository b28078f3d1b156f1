#include "app/window_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "app/window_form.h"
#include "io/path_text.h"
#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/documents.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

using test::draw::MakeDrawing;

using test::DimensionsIn;

struct FakePlatform : PlatformService {
  fs::path desktop, home, settings;
  std::vector<fs::path> opened;
  fs::path DesktopFolder() override { return desktop; }
  fs::path DocumentsFolder() override { return home / "Documents"; }
  fs::path DefaultFolder() override { return home; }
  fs::path SettingsFile() override { return settings; }
  bool OpenWithAssociatedProgram(const fs::path& f) override {
    opened.push_back(f);
    return true;
  }
};

// Records what the model tells its view, and answers its dialogs.
struct RecordingView : WindowView {
  Lines events, lines, log, asked, filesToAdd;
  std::function<void()> pump;  // the user's input, delivered while a run pumps events
  std::optional<std::string> folder;
  bool confirm = true;
  Settings placed;

  void ShowStatus(const std::string& t) override { events.push_back("status " + t); }
  void ShowLines(const Lines& l) override { lines = l; }
  void ShowChoices() override {}
  void ShowRunning(bool r) override { events.push_back(r ? "running" : "idle"); }
  void FocusAddButton() override { events.push_back("focus Button2"); }
  void PlaceWindows(const Settings& s) override { placed = s; }
  void ReadWindows(Settings& s) override { s.form2Width = 500; }
  void CloseMainWindow() override { events.push_back("close TForm1"); }
  void ShowProgressWindow() override { log.clear(); }
  void AppendLog(const std::string& line) override { log.push_back(line); }
  void ShowProgress(std::size_t d, std::size_t n) override {
    events.push_back("progress " + std::to_string(d) + "/" + std::to_string(n));
  }
  void CloseProgressWindow() override { events.push_back("close TForm2"); }
  void ProcessEvents() override {
    if (pump) pump();
  }
  Lines AskFilesToAdd(const std::string& start) override {
    asked.push_back("open " + start);
    return filesToAdd;
  }
  std::optional<std::string> AskFolder(const std::string& start) override {
    asked.push_back("folder " + start);
    return folder;
  }
  bool AskConfirm(const std::string& question) override {
    asked.push_back(question);
    return confirm;
  }
};

class WindowModelTest : public ::testing::Test {
 protected:
  WindowModelTest() : model(platform) {
    platform.desktop = dir / "Desktop";
    platform.home = dir / "home";
    platform.settings = dir / "config" / "tessaly.dat";
    fs::create_directories(platform.desktop);
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    model.Attach(view);
  }

  // Starts the model with a settings file choosing `d`, listing `files`.
  void Start(Destination d, const std::string& edit1, const Lines& files = {}) {
    Settings s;
    s.destination = d;
    s.edit1 = edit1;
    ASSERT_TRUE(SaveSettings(platform.settings, s, ""));
    model.FormShow({});
    model.Button3Click({0, 1, 2, 3, 4, 5});
    model.DropFiles(files);
    view.events.clear();
    view.asked.clear();
  }
  std::string Src(const char* name) const { return PathToUtf8(dir / "src" / name); }
  std::string Out() const { return PathToUtf8(dir / "out"); }
  std::string OutSep() const {
    return PathToUtf8(dir / "out" / "");
  }  // with the system's separator

  TempDir dir;
  FakePlatform platform;
  WindowModel model;
  RecordingView view;
};

TEST_F(WindowModelTest, ConvertAsksFirstAndConvertsTheDrawingsAndFiguresOfTheList) {
  Start(Destination::kChosenFolder, Out());
  model.Button4Click();  // an empty list
  EXPECT_EQ(view.events, (Lines{"status 変換するファイルを指定して下さい", "focus Button2"}));
  EXPECT_TRUE(view.asked.empty());

  MakeDrawing(dir / "src" / "a.jww", 2);
  test::draw::MakeFigure(dir / "src" / "c.JWS", 1);
  view.filesToAdd = {Src("a.jww"), Src("b.txt"), Src("c.JWS")};
  model.Button2Click();  // the add dialog's files are taken as they are
  ASSERT_EQ(view.lines, view.filesToAdd);
  view.confirm = false;
  model.Button4Click();
  EXPECT_FALSE(fs::exists(dir / "out" / "a.jww"));
  view.events.clear();
  view.confirm = true;
  model.Button4Click();
  // The settings' empty line 12 leaves the add dialog where the platform opens
  // it; the question says how many files go where.
  const std::string question =
      "変換を開始します。よろしいですか？\n\n3件のファイルを変換して、" + OutSep() + "に保存します。";
  EXPECT_EQ(view.asked, (Lines{"open ", question, question}));
  EXPECT_EQ(view.events,
            (Lines{"running", "progress 0/3", "status 変換中(1/3) " + Src("a.jww"), "progress 1/3",
                   "progress 2/3", "status 変換中(3/3) " + Src("c.JWS"), "progress 3/3",
                   "status 変換完了(3)", "idle", "close TForm2"}));
  EXPECT_EQ(view.log, (Lines{Src("a.jww"), Src("c.JWS")}));
  EXPECT_EQ(DimensionsIn(dir / "out" / "a.jww"), 0);
  EXPECT_TRUE(fs::exists(dir / "out" / "c.JWS"));
  EXPECT_EQ(view.lines.size(), 3u);  // converted files stay listed
}

TEST_F(WindowModelTest, EscOrCloseDuringARunStopsBeforeTheNextFile) {
  MakeDrawing(dir / "src" / "1.jww", 1);
  MakeDrawing(dir / "src" / "2.jww", 1);
  for (const bool byClose : {false, true}) {
    SCOPED_TRACE(byClose ? "close" : "esc");
    Start(Destination::kChosenFolder, Out(), {Src("1.jww"), Src("2.jww")});
    bool first = true;
    view.pump = [&] {
      // While the first file converts: the user stops the run; the list and
      // a second run are refused meanwhile.
      if (!std::exchange(first, false)) return;
      if (byClose) {
        EXPECT_FALSE(model.FormCloseQuery());
      } else {
        model.EscPressed();
      }
      EXPECT_FALSE(model.AcceptsDrops());
      model.DropFiles({Src("1.jww")});
      model.Button3Click({0});
      model.Button4Click();
      EXPECT_EQ(view.lines.size(), 2u);
    };
    model.Button4Click();
    view.pump = nullptr;
    EXPECT_TRUE(fs::exists(dir / "out" / "1.jww"));
    EXPECT_FALSE(fs::exists(dir / "out" / "2.jww"));
    EXPECT_EQ(view.events.end()[-3], "status 変換を中断しました(ESC)");
    EXPECT_EQ(view.events.back(), "close TForm2");
    EXPECT_EQ(view.asked.size(), 1u);
    EXPECT_FALSE(model.Converting());
    EXPECT_TRUE(model.FormCloseQuery());  // a second close closes
    fs::remove(dir / "out" / "1.jww");
  }
}

TEST_F(WindowModelTest, TheListTakesExistingDrawingsAndFiguresAndLosesTheSelectedLines) {
  MakeDrawing(dir / "src" / "A.JwW", 0);
  test::draw::MakeFigure(dir / "src" / "f.jws", 0);
  WriteFile(dir / "src" / "readme.txt", "x");
  fs::create_directories(dir / "src" / "folder.jww");
  const Lines offered = {Src("A.JwW"),      "",           Src("readme.txt"), Src("missing.jww"),
                         Src("folder.jww"), Src("f.jws"), Src("A.JwW")};
  // A file is listed once, whatever the number of times or ways it is named.
  const Lines taken = {Src("A.JwW"), Src("f.jws")};
  model.FormShow(offered);  // the command line
  EXPECT_EQ(view.lines, taken);
  model.Button3Click({0, 1, 2});
  model.DropFiles(offered);
  EXPECT_EQ(view.lines, taken);

  // A double-click opens an existing drawing only; figures have no program.
  for (std::optional<std::size_t> line : {std::optional<std::size_t>(1), {}, {7}, {0}})
    model.ListBox1DblClick(line);
  EXPECT_EQ(platform.opened, std::vector<fs::path>{dir / "src" / "A.JwW"});

  model.DropFiles({Src("f.jws"), PathToUtf8(dir / "src" / ".." / "src" / "A.JwW")});
  EXPECT_EQ(view.lines, taken);
  view.filesToAdd = {Src("f.jws"), Src("readme.txt")};  // the add dialog's too
  model.Button2Click();
  EXPECT_EQ(view.lines, (Lines{Src("A.JwW"), Src("f.jws"), Src("readme.txt")}));
  model.Button3Click({2, 0, 2, 9});
  EXPECT_EQ(view.lines, (Lines{Src("f.jws")}));
  model.DropFiles({Src("A.JwW")});  // a line deleted can be listed again
  EXPECT_EQ(view.lines, (Lines{Src("f.jws"), Src("A.JwW")}));
}

TEST_F(WindowModelTest, TheDestinationIsResolvedOnceForTheRun) {
  const fs::path a = dir / "src" / "a.jww";
  const struct {
    const char* name;
    Destination choice;
    std::string edit1;
    fs::path target;      // empty: the file fails
    std::string failure;  // the reason it fails with
  } cases[] = {
      {"desktop", Destination::kDesktop, "", dir / "Desktop" / "a.jww", ""},
      {"documents",
       Destination::kDocuments,
       "",
       {},
       "保存先フォルダがありません: " + PathToUtf8(dir / "home" / "Documents")},
      {"source folder", Destination::kSourceFolder, Out(), a, ""},
      {"chosen folder", Destination::kChosenFolder, Out(), dir / "out" / "a.jww", ""},
      {"with separator", Destination::kChosenFolder, OutSep(), dir / "out" / "a.jww", ""},
      {"none selected", Destination::kNone, Out(), dir / "out" / "a.jww", ""},
      {"chosen folder empty", Destination::kChosenFolder, "", a, ""},
      // Started without a question (as from the command line), a folder typed
      // that is not there fails every file: nothing goes beside the sources.
      {"chosen folder missing",
       Destination::kChosenFolder,
       PathToUtf8(dir / "gone"),
       {},
       "保存先フォルダがありません: " + PathToUtf8(dir / "gone" / "")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeDrawing(a, 1);
    Start(c.choice, c.edit1, {PathToUtf8(a)});
    model.ConvertFiles();
    if (c.target.empty()) {
      EXPECT_EQ(view.log, (Lines{PathToUtf8(a), "変換できませんでした: " + PathToUtf8(a) + " (" +
                                                    c.failure + ")",
                                 "1件中1件を変換できませんでした"}));
      EXPECT_EQ(view.events.end()[-2], "status 変換終了(1件中1件失敗)");  // never a word of success
      EXPECT_EQ(view.events.back(), "idle");   // the log stays open
      EXPECT_FALSE(fs::exists(dir / "home"));  // nothing is made in its place
      EXPECT_FALSE(fs::exists(dir / "gone"));
      EXPECT_FALSE(fs::exists(dir / "src" / "a._JWW"));
    } else {
      EXPECT_EQ(DimensionsIn(c.target), 0);
      // In its own folder the original is kept as its backup first.
      EXPECT_EQ(DimensionsIn(c.target == a ? dir / "src" / "a._JWW" : a), 2);
      fs::remove(c.target);
      fs::remove(dir / "src" / "a._JWW");
    }
  }
  platform.desktop.clear();  // the desktop names no such folder
  MakeDrawing(a, 1);
  Start(Destination::kDesktop, "", {PathToUtf8(a)});
  model.ConvertFiles();
  ASSERT_EQ(view.log.size(), 3u);
  EXPECT_EQ(view.log[1],
            "変換できませんでした: " + PathToUtf8(a) + " (デスクトップのフォルダが分かりません)");
}

TEST_F(WindowModelTest, FailuresAreLoggedAndTwoFilesForOneTargetConvertNothing) {
  WriteFile(dir / "src" / "bad.jww", "not a drawing at all");
  MakeDrawing(dir / "src" / "plan.jww", 1);
  fs::create_directories(dir / "other");
  MakeDrawing(dir / "other" / "plan.jww", 1);
  Start(Destination::kChosenFolder, Out(), {Src("bad.jww"), Src("plan.jww")});
  model.Button4Click();
  // The reason in Japanese, the run's end in numbers.
  EXPECT_EQ(view.log, (Lines{Src("bad.jww"), "変換できませんでした: " + Src("bad.jww") + " (JWW 図面ではありません)",
                             Src("plan.jww"), "2件中1件を変換できませんでした"}));
  EXPECT_EQ(DimensionsIn(dir / "out" / "plan.jww"), 0);
  EXPECT_EQ(view.events.end()[-2], "status 変換終了(2件中1件失敗)");
  EXPECT_EQ(view.events.back(), "idle");  // the log stays open

  // The second would back up the first one's result over the backup of the
  // plan that was there, and that plan would be lost.
  Start(Destination::kChosenFolder, Out(),
        {Src("plan.jww"), PathToUtf8(dir / "other" / "plan.jww")});
  model.Button4Click();
  EXPECT_EQ(view.log,
            (Lines{"変換できませんでした: " + PathToUtf8(dir / "other" / "plan.jww") + " (" +
                   Src("plan.jww") + " と保存先が同じです: " + OutSep() + "plan.jww)"}));
  EXPECT_FALSE(fs::exists(dir / "out" / "plan._JWW"));
  // plan.jww and plan.JWW in their own folder would share plan._JWW (where
  // they are two files).
#ifndef _WIN32
  MakeDrawing(dir / "src" / "plan.JWW", 1);
  Start(Destination::kSourceFolder, "", {Src("plan.jww"), Src("plan.JWW")});
  model.Button4Click();
  EXPECT_NE(view.log.at(0).find("とバックアップ先が同じです: " + Src("plan._JWW")),
            std::string::npos);
#endif
}

// A folder typed that is not there: the question says so, はい makes it and
// converts into it, いいえ converts nothing and makes nothing.
TEST_F(WindowModelTest, AMissingChosenFolderIsMadeOnlyWhenTheUserSaysSo) {
  MakeDrawing(dir / "src" / "a.jww", 1);
  const fs::path gone = dir / "new" / "deep";
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    Start(Destination::kChosenFolder, PathToUtf8(gone), {Src("a.jww")});
    view.confirm = yes;
    model.Button4Click();
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0], "変換を開始します。よろしいですか？\n\n保存先フォルダ " + PathToUtf8(gone / "") +
                                 " はありません。\n作成して、1件のファイルをそこに変換します。");
    EXPECT_EQ(fs::exists(gone), yes);
    EXPECT_EQ(DimensionsIn(gone / "a.jww"), yes ? 0 : -1);
    EXPECT_FALSE(fs::exists(dir / "src" / "a._JWW"));  // never beside the source
  }
  // The question for a run into each file's own folder.
  Start(Destination::kSourceFolder, "", {Src("a.jww")});
  view.confirm = false;
  model.Button4Click();
  EXPECT_EQ(view.asked.back(), "変換を開始します。よろしいですか？\n\n1件のファイルを変換して、元ファイルのフォルダに保存します。");
}

TEST_F(WindowModelTest, TheCommandLineConvertsWithoutAskingAndCloses) {
  MakeDrawing(dir / "src" / "x.jww", 1);
  WriteFile(dir / "src" / "bad.jww", "x");
  const struct {
    Lines args;
    bool closesAtOnce;
    int status;
  } cases[] = {
      {{Src("x.jww")}, true, 0},
      {{Src("readme.txt")}, true, 0},
      {{Src("bad.jww"), Src("x.jww")}, false, 1},  // closes with the log
      {{}, false, 0},
  };
  for (const auto& c : cases) {
    WindowModel m(platform);
    RecordingView v;
    m.Attach(v);
    m.FormShow(c.args);
    m.RunCommandLine();
    EXPECT_TRUE(v.asked.empty());
    EXPECT_EQ(!v.events.empty() && v.events.back() == "close TForm1", c.closesAtOnce);
    EXPECT_EQ(m.ExitStatus(), c.status);
    m.ProgressWindowClosed();
    EXPECT_EQ(!v.events.empty() && v.events.back() == "close TForm1",
              c.args.size() == 1 || c.status);
  }
  EXPECT_EQ(DimensionsIn(platform.desktop / "x.jww"), 0);
}

TEST_F(WindowModelTest, SettingsAreReadAtStartAndWrittenAtClose) {
  model.FormShow({});  // no file: the defaults, the dialogs start in the default folder
  EXPECT_EQ(view.placed.form2Width, 416);
  EXPECT_EQ(model.GetDestination(), Destination::kDesktop);
  view.folder = Out();
  model.Button1Click();
  EXPECT_EQ(model.Edit1(), OutSep());  // RadioButton4 is not selected by it
  view.filesToAdd = {Src("a.jww")};
  model.Button2Click();
  model.Button2Click();
  model.Button1Click();
  EXPECT_EQ(view.asked,
            (Lines{"folder " + PathToUtf8(platform.home), "open " + PathToUtf8(platform.home),
                   "open " + Src(""), "folder " + OutSep()}));
  model.SetCheckBox1(false);
  model.SetDestination(Destination::kSourceFolder);
  model.FormClose();
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(ReadFile(platform.settings),
            "192\r\n107\r\n194\r\n107\r\n500\r\n219\r\n0\r\n0\r\n1\r\n0\r\n" + OutSep() + "\r\n" +
                Src("") + "\r\n0\r\n");

  // A session that adds nothing keeps the add dialog's folder it read.
  model.FormShow({});
  model.FormClose();
  EXPECT_NE(ReadFile(platform.settings).find("\r\n" + Src("") + "\r\n0\r\n"), std::string::npos);
}

// The captions and fonts the user knows, and what the views build on: every
// control inside its parent and its window, a parent before what it holds,
// the radio buttons in a row in the order the settings file keeps them.
TEST(WindowForm, CaptionsFontsAndPlaces) {
  const struct {
    const Form& form;
    const char* name;  // empty: the window
    const char* caption;
    int fontPixels;
  } rows[] = {
      {MainForm(), "", "Tessaly Ver.1.01", 13},
      {MainForm(), "GroupBox1", "保存先(&S)", 13},
      {MainForm(), "RadioButton1", "デスクトップ", 13},
      {MainForm(), "RadioButton2", "マイドキュメント", 13},
      {MainForm(), "RadioButton3", "元ファイルのフォルダ", 13},
      {MainForm(), "RadioButton4", "指定フォルダ", 13},
      {MainForm(), "Edit1", "", 13},
      {MainForm(), "Button1", "参照", 11},
      {MainForm(), "CheckBox1", "SXF寸法図形基準点に仮点作図する", 13},
      {MainForm(), "Label1", "変換元ファイル一覧", 13},
      {MainForm(), "ListBox1", "", 13},
      {MainForm(), "Button2", "追加", 13},
      {MainForm(), "Button3", "削除", 13},
      {MainForm(), "Button4", "変換(&R)", 16},
      {MainForm(), "Button5", "閉じる(&X)", 13},
      {MainForm(), "StatusBar1", "", 13},
      {ProgressForm(), "", "変換処理", 13},
      {ProgressForm(), "ListBox1", "", 13},
      {ProgressForm(), "StatusBar1", "", 13},
      {ProgressForm(), "ProgressBar1", "", 13},
  };
  std::size_t controls = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.form.name) + " " + r.name);
    if (*r.name == '\0') {
      EXPECT_EQ(r.form.caption, r.caption);
      EXPECT_EQ(r.form.fontPixels, r.fontPixels);
      continue;
    }
    ++controls;
    const FormControl& c = r.form.Control(r.name);
    EXPECT_EQ(c.caption, r.caption);
    EXPECT_EQ(c.fontPixels != 0 ? c.fontPixels : r.form.fontPixels, r.fontPixels);
    // Inside its parent, or the fixed window's inside.
    const std::size_t at = r.form.IndexOf(c.name);
    FormRect box{0, 0, r.form.width, r.form.height};
    if (!c.parent.empty()) {
      ASSERT_LT(r.form.IndexOf(c.parent), at);
      box = r.form.Control(c.parent).rect;
    }
    if (c.align == ControlAlign::kNone) {
      EXPECT_TRUE(c.rect.x >= 0 && c.rect.y >= 0 && c.rect.x + c.rect.width <= box.width &&
                  c.rect.y + c.rect.height <= box.height);
    }
  }
  EXPECT_EQ(controls, MainForm().controls.size() + ProgressForm().controls.size());
  EXPECT_EQ(kFormFontFace, "ＭＳ ゴシック");
  EXPECT_EQ(MainForm().InWindow(MainForm().Control("Button1")), (FormRect{372, 49, 48, 22}));
  EXPECT_THROW(MainForm().IndexOf("ProgressBar1"), std::out_of_range);

  // Lines 7 to 10 of the settings file are the radio buttons in this order.
  const auto choices = DestinationChoices();
  ASSERT_EQ(choices.size(), 4u);
  const std::size_t first = MainForm().IndexOf(choices[0].radioButton);
  for (std::size_t i = 0; i < choices.size(); ++i) {
    EXPECT_EQ(choices[i].radioButton, "RadioButton" + std::to_string(i + 1));
    EXPECT_EQ(static_cast<std::size_t>(choices[i].destination), i + 1);
    EXPECT_EQ(MainForm().controls[first + i].kind, ControlKind::kRadioButton);
  }
}

// Windows reopen where the user can see them, and the log does not cover the
// main window's status bar.
TEST(WindowForm, WindowsStayOnTheScreen) {
  const FormRect primary{0, 0, 1920, 1040}, right{1920, 0, 1280, 984};
  const FormRect both[] = {primary, right};
  const FormRect one[] = {primary};
  const struct {
    const char* name;
    FormRect window;
    std::span<const FormRect> areas;
    FormRect expected;
  } rows[] = {
      {"inside", {192, 107, 452, 339}, both, {192, 107, 452, 339}},
      {"on the second monitor", {2000, 100, 452, 339}, both, {2000, 100, 452, 339}},
      {"the second monitor gone", {2000, 100, 452, 339}, one, {1468, 100, 452, 339}},
      {"above and left of all", {-3000, -500, 452, 339}, both, {0, 0, 452, 339}},
      {"half off the bottom", {100, 900, 452, 339}, one, {100, 701, 452, 339}},
      {"across two monitors: onto the one it covers most", {1700, 100, 452, 339}, both, {1920, 100, 452, 339}},
      {"larger than the screen", {50, 50, 3000, 2000}, one, {0, 0, 3000, 2000}},
      {"no monitor known", {-3000, -500, 452, 339}, {}, {-3000, -500, 452, 339}},
  };
  for (const auto& r : rows) EXPECT_EQ(FitOnScreen(r.window, r.areas), r.expected) << r.name;

  const FormRect main{192, 107, 452, 339};
  EXPECT_EQ(KeepClearOf({194, 300, 416, 219}, main, 22, one), (FormRect{192, 446, 416, 219}));
  EXPECT_EQ(KeepClearOf({194, 107, 416, 200}, main, 22, one), (FormRect{194, 107, 416, 200}));  // clear
  const FormRect low{192, 800, 452, 239};  // no room below: beside it
  EXPECT_EQ(KeepClearOf({194, 900, 416, 219}, low, 22, one), (FormRect{644, 800, 416, 219}));
}

TEST(WindowForm, TheProgressBarCountsFilesDone) {
  const struct {
    std::size_t done, total;
    ProgressBarState bar;
  } rows[] = {
      {0, 0, {1, 1}},  // no files: done, not busy
      {0, 3, {3, 0}},
      {2, 3, {3, 2}},
      {3, 3, {3, 3}},
      {4, 3, {3, 3}},
      {SIZE_MAX - 1, SIZE_MAX, {INT_MAX, INT_MAX}},
  };
  for (const auto& r : rows) EXPECT_EQ(ProgressBarFor(r.done, r.total), r.bar) << r.done;
  EXPECT_EQ(ProgressBarState{}, (ProgressBarState{1, 0}));
}

}  // namespace
}  // namespace tessaly

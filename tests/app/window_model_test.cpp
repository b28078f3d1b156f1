#include "app/window_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "jws/sample_figure.h"
#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
namespace draw = test::draw;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

void MakeDrawing(const fs::path& path, int dimensions) {
  TBoundImages images;
  TJwwData doc(images);
  draw::SampleDrawing(doc, 600, dimensions);
  draw::SaveDrawing(doc, path);
}

std::int64_t DimensionsIn(const fs::path& path) {
  TempDir work;
  TBoundImages images(work.path());
  TJwwData doc(images);
  return doc.Load(path) ? draw::DimensionEntries(doc) : -1;
}

struct FakePlatform : PlatformService {
  fs::path desktop, documents, home, settings;
  std::vector<fs::path> opened;
  fs::path DesktopFolder() override { return desktop; }
  fs::path DocumentsFolder() override { return documents; }
  fs::path DefaultFolder() override { return home; }
  fs::path SettingsFile() override { return settings; }
  bool OpenWithAssociatedProgram(const fs::path& f) override {
    opened.push_back(f);
    return true;
  }
};

// Records what the model tells its view, and answers its dialogs.
struct RecordingView : WindowView {
  WindowModel* model = nullptr;
  std::vector<std::string> events, lines, log;
  std::function<void()> pump;  // runs in ProcessEvents, as the user's input would
  std::vector<std::string> filesToAdd;
  std::optional<std::string> folder;
  bool confirm = true;
  std::vector<std::string> asked;
  Settings placed, windows;

  void ShowStatus(const std::string& text) override { events.push_back("status " + text); }
  void ShowLines(const std::vector<std::string>& l) override { lines = l; }
  void ShowChoices() override { events.push_back("choices"); }
  void ShowRunning(bool running) override { events.push_back(running ? "running" : "idle"); }
  void FocusAddButton() override { events.push_back("focus Button2"); }
  void PlaceWindows(const Settings& s) override { placed = s; }
  void ReadWindows(Settings& s) override {
    s.form1Left = windows.form1Left;
    s.form2Width = windows.form2Width;
  }
  void CloseMainWindow() override { events.push_back("close TForm1"); }
  void ShowProgressWindow() override {
    events.push_back("show TForm2");
    log.clear();
  }
  void AppendLog(const std::string& line) override { log.push_back(line); }
  void ShowProgress(std::size_t done, std::size_t total) override {
    events.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
  }
  void CloseProgressWindow() override { events.push_back("close TForm2"); }
  void ProcessEvents() override {
    if (pump) pump();
  }
  std::vector<std::string> AskFilesToAdd(const std::string& start) override {
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
    platform.documents = dir / "Documents";
    platform.home = dir / "home";
    platform.settings = dir / "config" / "tessaly.dat";
    fs::create_directories(platform.desktop);
    fs::create_directories(platform.documents);
    fs::create_directories(dir / "src");
    view.model = &model;
    model.Attach(view);
  }

  // Starts the model with a settings file choosing `d`.
  void Start(Destination d, const std::string& edit1 = "", std::vector<std::string> args = {}) {
    Settings s;
    s.destination = d;
    s.edit1 = edit1;
    ASSERT_TRUE(SaveSettings(platform.settings, s, ""));
    model.FormShow(args);
    view.events.clear();
  }

  std::string P(const fs::path& p) const { return PathText(p); }
  std::string Src(const char* name) const { return P(dir / "src" / name); }

  TempDir dir;
  FakePlatform platform;
  WindowModel model;
  RecordingView view;
};

TEST_F(WindowModelTest, ConvertWithAnEmptyListAsksTheUserToAddFiles) {
  Start(Destination::kDesktop);
  model.Button4Click();
  EXPECT_EQ(view.events,
            (std::vector<std::string>{"status 変換するファイルを指定して下さい", "focus Button2"}));
  EXPECT_TRUE(view.asked.empty());
}

TEST_F(WindowModelTest, AMixedListConvertsTheDrawingAndTheFigureAfterConfirmation) {
  Start(Destination::kChosenFolder, P(dir / "out"));
  fs::create_directories(dir / "out");
  MakeDrawing(dir / "src" / "a.jww", 2);
  WriteFile(dir / "src" / "b.txt", "text");
  test::figure::MakeFigure(dir / "src" / "c.JWS", 1);
  view.filesToAdd = {Src("a.jww"), Src("b.txt"), Src("c.JWS")};
  model.Button2Click();  // the add dialog takes any file
  ASSERT_EQ(view.lines, view.filesToAdd);

  view.confirm = false;
  model.Button4Click();
  EXPECT_FALSE(fs::exists(dir / "out" / "a.jww"));
  view.confirm = true;
  model.Button4Click();
  EXPECT_EQ(view.asked.back(), "変換を開始します。よろしいですか？");
  const std::vector<std::string> expected = {
      "running",
      "show TForm2",
      "progress 0/3",
      "status 変換中(1/3) " + Src("a.jww"),
      "progress 1/3",
      "progress 2/3",
      "status 変換中(3/3) " + Src("c.JWS"),
      "progress 3/3",
      "status 変換完了(3)",
      "idle",
      "close TForm2",
  };
  EXPECT_EQ(view.events, expected);
  EXPECT_EQ(view.log, (std::vector<std::string>{Src("a.jww"), Src("c.JWS")}));
  EXPECT_EQ(DimensionsIn(dir / "out" / "a.jww"), 0);
  EXPECT_TRUE(fs::exists(dir / "out" / "c.JWS"));
  EXPECT_EQ(view.lines.size(), 3u);  // converted files stay listed
  EXPECT_FALSE(model.Converting());
}

TEST_F(WindowModelTest, EscOrCloseDuringARunStopsBeforeTheNextFile) {
  for (const bool byClose : {false, true}) {
    SCOPED_TRACE(byClose ? "close" : "esc");
    TempDir src;
    Start(Destination::kSourceFolder);
    std::vector<std::string> files;
    for (const char* name : {"1.jww", "2.jww", "3.jww"}) {
      MakeDrawing(src / name, 1);
      files.push_back(P(src / name));
    }
    model.DropFiles(files);
    int pumps = 0;
    view.pump = [&] {
      // The first file is taken up, then the user stops the run while it is
      // converted; meanwhile the list, the buttons and drops are refused.
      if (++pumps != 1) return;
      if (byClose) {
        EXPECT_FALSE(model.FormCloseQuery());
      } else {
        model.EscPressed();
      }
      model.DropFiles({files[0]});
      model.Button3Click({0, 1, 2});
      model.Button4Click();
      EXPECT_EQ(view.lines.size(), 3u);
    };
    model.Button4Click();
    view.pump = nullptr;
    EXPECT_EQ(DimensionsIn(src / "1.jww"), 0);
    EXPECT_EQ(DimensionsIn(src / "2.jww"), 2);
    EXPECT_EQ(DimensionsIn(src / "3.jww"), 2);
    EXPECT_EQ(view.events.back(), "close TForm2");
    EXPECT_EQ(view.events[view.events.size() - 3], "status 変換を中断しました(ESC)");
    EXPECT_FALSE(model.Converting());
    EXPECT_TRUE(model.AbortRequested());
    EXPECT_EQ(view.asked.size(), 1u);  // no second run was asked for
    EXPECT_TRUE(model.FormCloseQuery());  // a second close closes
    model.Button3Click({0, 1, 2});
    view.asked.clear();
  }
}

TEST_F(WindowModelTest, DropsAndTheCommandLineTakeExistingDrawingsAndFiguresOnly) {
  MakeDrawing(dir / "src" / "A.JwW", 0);
  test::figure::MakeFigure(dir / "src" / "f.jws", 0);
  WriteFile(dir / "src" / "readme.txt", "x");
  fs::create_directories(dir / "src" / "folder.jww");
  const std::vector<std::string> paths = {Src("A.JwW"),      "",
                                          Src("readme.txt"), Src("missing.jww"),
                                          Src("folder.jww"), Src("f.jws"),
                                          Src("A.JwW")};  // listed twice
  const std::vector<std::string> taken = {Src("A.JwW"), Src("f.jws"), Src("A.JwW")};
  Start(Destination::kDesktop);
  model.DropFiles(paths);
  EXPECT_EQ(view.lines, taken);

  WindowModel fresh(platform);
  fresh.Attach(view);
  fresh.FormShow(paths);
  EXPECT_EQ(view.lines, taken);
}

TEST_F(WindowModelTest, DeleteRemovesExactlyTheSelectedLines) {
  Start(Destination::kDesktop);
  view.filesToAdd = {"a", "b", "c", "d", "e"};
  model.Button2Click();
  model.Button3Click({3, 1, 3, 9});
  EXPECT_EQ(view.lines, (std::vector<std::string>{"a", "c", "e"}));
  model.Button3Click({});
  EXPECT_EQ(view.lines.size(), 3u);
}

TEST_F(WindowModelTest, DoubleClickOpensAnExistingListedDrawingOnly) {
  MakeDrawing(dir / "src" / "a.JWW", 0);
  test::figure::MakeFigure(dir / "src" / "f.jws", 0);
  Start(Destination::kDesktop);
  view.filesToAdd = {Src("f.jws"), Src("missing.jww"), Src("a.JWW")};
  model.Button2Click();
  for (std::optional<std::size_t> line : {std::optional<std::size_t>(0), {1}, {}, {7}, {2}})
    model.ListBox1DblClick(line);
  EXPECT_EQ(platform.opened, (std::vector<fs::path>{dir / "src" / "a.JWW"}));
}

TEST_F(WindowModelTest, TheDestinationIsResolvedOnceForTheRun) {
  const struct {
    const char* name;
    Destination choice;
    std::string edit1;
    fs::path expected;  // where a.jww goes
  } cases[] = {
      {"desktop", Destination::kDesktop, "", dir / "Desktop" / "a.jww"},
      {"documents", Destination::kDocuments, P(dir / "out"), dir / "Documents" / "a.jww"},
      {"source folder", Destination::kSourceFolder, P(dir / "out"), dir / "src" / "a.jww"},
      {"chosen folder", Destination::kChosenFolder, P(dir / "out"), dir / "out" / "a.jww"},
      {"chosen folder with separator", Destination::kChosenFolder, P(dir / "out") + "/",
       dir / "out" / "a.jww"},
      {"none selected", Destination::kNone, P(dir / "out"), dir / "out" / "a.jww"},
      {"chosen folder empty", Destination::kChosenFolder, "", dir / "src" / "a.jww"},
      {"chosen folder missing", Destination::kChosenFolder, P(dir / "gone"), dir / "src" / "a.jww"},
  };
  fs::create_directories(dir / "out");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeDrawing(dir / "src" / "a.jww", 1);
    Start(c.choice, c.edit1, {Src("a.jww")});
    model.ConvertFiles();
    EXPECT_EQ(DimensionsIn(c.expected), 0);
    if (c.expected != dir / "src" / "a.jww") {
      EXPECT_EQ(DimensionsIn(dir / "src" / "a.jww"), 2);
      fs::remove(c.expected);
    } else {
      // In its own folder the original is kept as its backup first.
      EXPECT_EQ(DimensionsIn(dir / "src" / "a._JWW"), 2);
      fs::remove(dir / "src" / "a._JWW");
    }
    EXPECT_FALSE(fs::exists(dir / "gone"));
  }
}

TEST_F(WindowModelTest, AMissingDesktopFailsEachFileNamingItAndTheLogStaysOpen) {
  MakeDrawing(dir / "src" / "a.jww", 1);
  WriteFile(dir / "src" / "b.txt", "x");
  for (const bool unknown : {false, true}) {
    platform.desktop = unknown ? fs::path() : dir / "NoDesktop";
    Start(Destination::kDesktop);
    view.filesToAdd = {Src("a.jww"), Src("b.txt")};
    model.Button2Click();
    model.Button4Click();
    const std::string why = unknown ? "デスクトップのフォルダが分かりません"
                                    : "保存先フォルダがありません: " + P(dir / "NoDesktop");
    EXPECT_EQ(view.log, (std::vector<std::string>{
                            Src("a.jww"), "変換できませんでした: " + Src("a.jww") + " (" + why + ")"}));
    EXPECT_EQ(view.events.back(), "idle");  // TForm2 is not closed
    EXPECT_EQ(view.events[view.events.size() - 2], "status 変換完了(2)");
    EXPECT_FALSE(fs::exists(dir / "NoDesktop"));
    EXPECT_EQ(DimensionsIn(dir / "src" / "a.jww"), 2);
    model.Button3Click({0, 1});
  }
}

TEST_F(WindowModelTest, AFailedFileIsLoggedWithItsReasonAndTheOthersConvert) {
  fs::create_directories(dir / "out");
  WriteFile(dir / "src" / "bad.jww", "not a drawing at all");
  MakeDrawing(dir / "src" / "good.jww", 1);
  Start(Destination::kChosenFolder, P(dir / "out"));
  model.DropFiles({Src("bad.jww"), Src("good.jww")});
  model.Button4Click();
  ASSERT_EQ(view.log.size(), 3u);
  EXPECT_EQ(view.log[1].rfind("変換できませんでした: " + Src("bad.jww") + " (", 0), 0u) << view.log[1];
  EXPECT_EQ(view.log[2], Src("good.jww"));
  EXPECT_EQ(DimensionsIn(dir / "out" / "good.jww"), 0);
  EXPECT_EQ(view.events.back(), "idle");
}

TEST_F(WindowModelTest, TwoFilesWithOneTargetConvertNothing) {
  fs::create_directories(dir / "other");
  fs::create_directories(dir / "out");
  MakeDrawing(dir / "src" / "plan.jww", 1);
  MakeDrawing(dir / "other" / "plan.jww", 1);
  MakeDrawing(dir / "src" / "plan.JWW", 1);
  WriteFile(dir / "out" / "plan.jww", "the plan that was there");
  Start(Destination::kChosenFolder, P(dir / "out"));
  model.DropFiles({Src("plan.jww"), P(dir / "other" / "plan.jww")});
  model.Button4Click();
  ASSERT_EQ(view.log.size(), 1u);
  EXPECT_EQ(view.log[0], "変換できませんでした: " + P(dir / "other" / "plan.jww") + " (" +
                             Src("plan.jww") + " と保存先が同じです: " + P(dir / "out" / "plan.jww") +
                             ")");
  EXPECT_EQ(ReadFile(dir / "out" / "plan.jww"), "the plan that was there");
  EXPECT_FALSE(fs::exists(dir / "out" / "plan._JWW"));

  // In their own folders plan.jww and plan.JWW would share one backup; the
  // same file listed twice is harmless there.
  model.Button3Click({0, 1});
  model.SetDestination(Destination::kSourceFolder);
  model.DropFiles({Src("plan.jww"), Src("plan.JWW")});
  model.Button4Click();
  ASSERT_EQ(view.log.size(), 1u);
  EXPECT_NE(view.log[0].find("とバックアップ先が同じです: " + Src("plan._JWW")), std::string::npos);
  model.Button3Click({0, 1});
  model.DropFiles({Src("plan.jww"), Src("plan.jww")});
  model.Button4Click();
  EXPECT_EQ(view.events.back(), "close TForm2");
  EXPECT_EQ(DimensionsIn(dir / "src" / "plan.jww"), 0);
  EXPECT_EQ(DimensionsIn(dir / "src" / "plan._JWW"), 2);
}

TEST_F(WindowModelTest, TheCommandLineConvertsWithoutAskingAndCloses) {
  MakeDrawing(dir / "src" / "x.jww", 1);
  WriteFile(dir / "src" / "bad.jww", "x");
  const struct {
    const char* name;
    std::vector<std::string> args;
    bool closesAtOnce;
    int status;
  } cases[] = {
      {"a drawing", {Src("x.jww")}, true, 0},
      {"no convertible file", {Src("readme.txt")}, true, 0},
      {"a failure", {Src("bad.jww"), Src("x.jww")}, false, 1},
      {"no argument", {}, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowModel m(platform);
    RecordingView v;
    m.Attach(v);
    m.FormShow(c.args);
    m.RunCommandLine();
    EXPECT_TRUE(v.asked.empty());
    EXPECT_EQ(!v.events.empty() && v.events.back() == "close TForm1", c.closesAtOnce);
    EXPECT_EQ(m.ExitStatus(), c.status);
    m.ProgressWindowClosed();
    EXPECT_EQ(!v.events.empty() && v.events.back() == "close TForm1", c.status == 1 || c.closesAtOnce);
  }
  EXPECT_EQ(DimensionsIn(platform.desktop / "x.jww"), 0);
}

TEST_F(WindowModelTest, SettingsAreReadAtStartAndWrittenAtClose) {
  // No settings file: the defaults, the dialogs start in the default folder.
  model.FormShow({});
  EXPECT_EQ(view.placed.form2Width, 416);
  EXPECT_EQ(model.GetDestination(), Destination::kDesktop);
  EXPECT_TRUE(model.CheckBox1());
  view.folder = P(dir / "out");
  model.Button1Click();
  model.Button2Click();
  EXPECT_EQ(view.asked, (std::vector<std::string>{"folder " + P(platform.home),
                                                  "open " + P(platform.home)}));
  EXPECT_EQ(model.Edit1(), P(dir / "out") + "/");  // RadioButton4 is not selected by it

  fs::create_directories(dir / "out");
  view.filesToAdd = {Src("a.jww")};
  model.Button2Click();
  model.Button1Click();
  EXPECT_EQ(view.asked.back(), "folder " + P(dir / "out") + "/");
  model.SetCheckBox1(false);
  model.SetDestination(Destination::kSourceFolder);
  view.windows.form1Left = 33;
  view.windows.form2Width = 500;
  model.FormClose();
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(ReadFile(platform.settings),
            "33\r\n107\r\n194\r\n107\r\n500\r\n219\r\n0\r\n0\r\n1\r\n0\r\n" + P(dir / "out") +
                "/\r\n" + Src("") + "\r\n0\r\n");
  WindowModel again(platform);
  again.Attach(view);
  again.FormShow({});
  EXPECT_EQ(again.OpenFolder(), Src(""));
  EXPECT_EQ(view.placed.form1Left, 33);
}

}  // namespace
}  // namespace tessaly

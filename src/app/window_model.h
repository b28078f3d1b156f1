// The state and behaviour of the two windows, with no toolkit in it: the main
// window TForm1 (the file list, the destination choice, the check box, the
// buttons, the status bar) and the progress window TForm2 (the log of the files
// taken up and a progress bar). A view draws the widgets, forwards the user's
// actions to the model and shows what the model tells it through WindowView.
//
// All texts crossing to the view, paths included, are UTF-8.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/convert.h"
#include "app/platform_service.h"
#include "app/settings.h"

namespace tessaly {

// What the model tells its view, and asks it.
class WindowView {
 public:
  virtual ~WindowView() = default;

  // TForm1's status bar; the view repaints it at once.
  virtual void ShowStatus(const std::string& text) = 0;
  // ListBox1 holds these lines now; the selection is gone.
  virtual void ShowLines(const std::vector<std::string>& lines) = 0;
  // The destination choice, Edit1 or CheckBox1 changed: read them again.
  virtual void ShowChoices() = 0;
  // While a run is going Add, Delete and Convert are disabled and drops are
  // refused; both windows still repaint, and Esc and Close still work.
  virtual void ShowRunning(bool running) = 0;
  virtual void FocusAddButton() = 0;
  // Window positions and sizes: from the settings at start-up, and back into
  // them at shutdown.
  virtual void PlaceWindows(const Settings& settings) = 0;
  virtual void ReadWindows(Settings& settings) = 0;
  // Closes the main window, as the Close button does; this ends the program.
  virtual void CloseMainWindow() = 0;

  // TForm2: shown with its log emptied; a line appended and selected; files
  // done of files listed; closed.
  virtual void ShowProgressWindow() = 0;
  virtual void AppendLog(const std::string& line) = 0;
  virtual void ShowProgress(std::size_t done, std::size_t total) = 0;
  virtual void CloseProgressWindow() = 0;

  // During a run: repaint both windows and deliver the input that is waiting.
  virtual void ProcessEvents() = 0;

  // The dialogs. The open dialog answers the files picked (none when it was
  // cancelled); the folder dialog the folder picked.
  virtual std::vector<std::string> AskFilesToAdd(const std::string& startFolder) = 0;
  virtual std::optional<std::string> AskFolder(const std::string& startFolder) = 0;
  virtual bool AskConfirm(const std::string& question) = 0;
};

// The text with a trailing separator ("D:\out" gives "D:\out\").
std::string WithSeparator(const std::string& folder);

class WindowModel final : public ConvertFrontEnd {
 public:
  explicit WindowModel(PlatformService& platform);
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  void Attach(WindowView& view) { view_ = &view; }

  // Start-up: settings read, the command-line files that exist and are
  // drawings or figures listed. Called as the main window is first shown.
  void FormShow(const std::vector<std::string>& args);
  // Once the windows are on the screen: when the program was started with
  // arguments, converts the files they listed without asking, then closes.
  void RunCommandLine();
  // The main window asks whether it may close: never during a run, where the
  // attempt asks the run to stop instead.
  bool FormCloseQuery();
  // Shutdown: the settings written, the list emptied.
  void FormClose();
  // The user closed the progress window.
  void ProgressWindowClosed();

  bool AcceptsDrops() const { return !converting_; }
  void DropFiles(const std::vector<std::string>& paths);
  void Button1Click();                                          // browse for the destination folder
  void Button2Click();                                          // add files
  void Button3Click(const std::vector<std::size_t>& selected);  // delete them
  void Button4Click();                                          // convert
  void Button5Click();                                          // close
  void ListBox1DblClick(std::optional<std::size_t> focused);
  // Esc, pressed at any moment of a run, stops it before the next file.
  void EscPressed();

  void SetDestination(Destination d) { settings_.destination = d; }
  void SetEdit1(const std::string& text) { settings_.edit1 = text; }
  void SetCheckBox1(bool checked) { settings_.checkBox1 = checked; }

  // One run over the whole list. A chosen folder that does not exist is made
  // only with `makeChosenFolder` (the user said so); otherwise every file
  // fails, naming it.
  void ConvertFiles(bool makeChosenFolder = false);

  const std::vector<std::string>& Lines() const { return lines_; }
  Destination GetDestination() const { return settings_.destination; }
  const std::string& Edit1() const { return settings_.edit1; }
  bool CheckBox1() const { return settings_.checkBox1; }
  const std::string& OpenFolder() const { return settings_.openFolder; }
  bool Converting() const { return converting_; }
  bool AbortRequested() const { return abortRequested_; }
  // The program's exit status: 1 when the command-line run left a file
  // unconverted (a failure, or a stop), else 0.
  int ExitStatus() const { return exitStatus_; }
  // The folder line 12 of the settings file gets: the one the add dialog last
  // took a file from, or the one read at start when no file was added since.
  const std::string& LastAddFolder() const { return lastAddFolder_; }

  // The driver's front end.
  void ShowStatus(const std::string& text) override;
  void FileStarted(const std::filesystem::path& source, std::size_t position,
                   std::size_t count) override;
  void FileFinished(const FileResult& result) override;
  bool StopRequested() override { return abortRequested_; }
  void ProcessEvents() override;

 private:
  struct RunPlan;
  bool Listable(const std::string& path) const;
  // Lists a file unless it is listed already (by its identity, not its name).
  bool AddLine(const std::string& path);
  RunPlan Plan(bool makeChosenFolder) const;
  // The question before a run, then how many files go where.
  std::string Question(const RunPlan& plan) const;
  void FailAll(const RunPlan& plan);
  void ShowLines();

  PlatformService& platform_;
  WindowView* view_ = nullptr;
  Converter converter_;
  Settings settings_;
  std::vector<std::string> lines_;
  std::vector<std::string> keys_;  // FileKey of each line
  std::string lastAddFolder_;
  bool converting_ = false;
  bool abortRequested_ = false;
  bool commandLine_ = false;
  bool closeWithProgressWindow_ = false;
  std::size_t failed_ = 0;
  int exitStatus_ = 0;
};

}  // namespace tessaly

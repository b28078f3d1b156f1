#include "app/window_model.h"

#include "app/catalogue.h"
#include "app/plan.h"
#include "io/file_state.h"
#include "io/path_text.h"

#include <algorithm>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

namespace tessaly {
namespace fs = std::filesystem;
namespace {

constexpr const char* kNoFiles = "変換するファイルを指定して下さい";
constexpr const char* kConfirm = "変換を開始します。よろしいですか？";
constexpr const char* kNotConverted = "変換できませんでした: ";
constexpr const char* kClashStatus = "変換を中止しました: 保存先が同じになるファイルがあります";
constexpr const char* kSourceFolders = "元ファイルのフォルダ";

// The status after a run in which some files failed, in the style of
// 変換完了(n): never a word of success.
std::string FailedStatus(std::size_t failed, std::size_t n) {
  return "変換終了(" + std::to_string(n) + "件中" + std::to_string(failed) + "件失敗)";
}
// The log's last line after such a run.
std::string FailedSummary(std::size_t failed, std::size_t n) {
  return std::to_string(n) + "件中" + std::to_string(failed) + "件を変換できませんでした";
}

std::string FailureLine(const std::string& path, const std::string& reason) {
  return kNotConverted + path + " (" + reason + ")";
}

// Exists and is not a folder: what the file-type test needs before a path is
// listed.
bool IsExistingFile(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec) && !fs::is_directory(p, ec);
}

bool IsFolder(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

}  // namespace

std::string WithSeparator(const std::string& folder) {
#ifdef _WIN32
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') return folder + '\\';
#else
  if (!folder.empty() && folder.back() != '/') return folder + '/';
#endif
  return folder;
}

// What a run will do, worked out before it starts.
struct WindowModel::RunPlan {
  std::vector<ConvertItem> items;
  // The folder the files go to; empty: each source's own folder.
  std::string destination;
  // The chosen folder does not exist (and is made only when the user said so).
  bool missingChosenFolder = false;
  // Why no file can be written: the destination folder is missing.
  std::string failure;
  // Lines that would write over the result or the backup of an earlier line.
  std::vector<std::pair<std::size_t, std::string>> clashes;
};

WindowModel::WindowModel(PlatformService& platform) : platform_(platform) {}

bool WindowModel::Listable(const std::string& path) const {
  if (path.empty()) return false;
  const fs::path p = PathFromUtf8(path);
  return converter_.IsConvertible(p) && IsExistingFile(p);
}

bool WindowModel::AddLine(const std::string& path) {
  std::string key = FileKey(PathFromUtf8(path));
  if (std::find(keys_.begin(), keys_.end(), key) != keys_.end()) return false;
  lines_.push_back(path);
  keys_.push_back(std::move(key));
  return true;
}

void WindowModel::ShowLines() {
  if (view_) view_->ShowLines(lines_);
}

void WindowModel::FormShow(const std::vector<std::string>& args) {
  converting_ = false;
  abortRequested_ = false;
  const std::string defaultFolder = PathToUtf8(platform_.DefaultFolder());
  settings_ = LoadSettings(platform_.SettingsFile(), defaultFolder);
  // Kept for line 12 when this session adds nothing: a folder the file named.
  lastAddFolder_ = settings_.openFolder != defaultFolder ? settings_.openFolder : std::string();
  view_->PlaceWindows(settings_);
  view_->ShowChoices();
  lines_.clear();
  keys_.clear();
  commandLine_ = !args.empty();
  for (const auto& a : args) {
    if (Listable(a)) AddLine(a);
  }
  ShowLines();
}

void WindowModel::RunCommandLine() {
  if (!commandLine_) return;
  if (!lines_.empty()) ConvertFiles();
  // A failure stays on the screen until the user has read it.
  if (failed_ > 0) {
    closeWithProgressWindow_ = true;
  } else {
    view_->CloseMainWindow();
  }
}

bool WindowModel::FormCloseQuery() {
  if (converting_) {
    abortRequested_ = true;
    return false;
  }
  return true;
}

void WindowModel::FormClose() {
  view_->ReadWindows(settings_);
  SaveSettings(platform_.SettingsFile(), settings_, lastAddFolder_);
  lines_.clear();
  keys_.clear();
  ShowLines();
}

void WindowModel::ProgressWindowClosed() {
  if (closeWithProgressWindow_ && !converting_) {
    closeWithProgressWindow_ = false;
    view_->CloseMainWindow();
  }
}

void WindowModel::DropFiles(const std::vector<std::string>& paths) {
  // The run's list must not change under it.
  if (converting_) return;
  const std::size_t before = lines_.size();
  for (const auto& p : paths) {
    if (Listable(p)) AddLine(p);
  }
  if (lines_.size() != before) ShowLines();
}

void WindowModel::Button1Click() {
  std::string start = settings_.edit1;
  if (start.empty() || !IsFolder(PathFromUtf8(start)))
    start = PathToUtf8(platform_.DefaultFolder());
  const std::optional<std::string> folder = view_->AskFolder(start);
  if (!folder || folder->empty()) return;
  settings_.edit1 = WithSeparator(*folder);
  view_->ShowChoices();
}

void WindowModel::Button2Click() {
  if (converting_) return;
  const std::vector<std::string> files = view_->AskFilesToAdd(settings_.openFolder);
  if (files.empty()) return;
  // No check of the type here: the run passes over what is not a drawing or
  // a figure. A file listed already is not listed again.
  for (const auto& f : files) AddLine(f);
  lastAddFolder_ = WithSeparator(PathToUtf8(PathFromUtf8(files.front()).parent_path()));
  settings_.openFolder = lastAddFolder_;
  ShowLines();
}

void WindowModel::Button3Click(const std::vector<std::size_t>& selected) {
  if (converting_ || lines_.empty()) return;
  std::vector<std::size_t> doomed = selected;
  std::sort(doomed.begin(), doomed.end(), std::greater<>());
  doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
  for (std::size_t i : doomed) {
    if (i >= lines_.size()) continue;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  ShowLines();
}

void WindowModel::Button4Click() {
  if (converting_) return;
  if (lines_.empty()) {
    view_->ShowStatus(kNoFiles);
    view_->FocusAddButton();
    return;
  }
  // A chosen folder that is not there is made only when the user says so:
  // いいえ converts nothing.
  const RunPlan plan = Plan(/*makeChosenFolder=*/true);
  if (view_->AskConfirm(Question(plan))) ConvertFiles(/*makeChosenFolder=*/true);
}

std::string WindowModel::Question(const RunPlan& plan) const {
  const std::string n = std::to_string(lines_.size());
  std::string q = kConfirm;
  if (!plan.failure.empty()) return q + "\n\n" + plan.failure;
  if (plan.missingChosenFolder) {
    return q + "\n\n保存先フォルダ " + plan.destination + " はありません。\n作成して、" + n +
           "件のファイルをそこに変換します。";
  }
  const std::string where = plan.destination.empty() ? std::string(kSourceFolders) : plan.destination;
  return q + "\n\n" + n + "件のファイルを変換して、" + where + "に保存します。";
}

void WindowModel::Button5Click() {
  view_->CloseMainWindow();
}

void WindowModel::ListBox1DblClick(std::optional<std::size_t> focused) {
  if (lines_.empty() || !focused || *focused >= lines_.size()) return;
  const std::string& line = lines_[*focused];
  if (line.empty()) return;
  const fs::path p = PathFromUtf8(line);
  // Drawings only: figures have no program of their own to open them.
  if (UpperExtension(p) != ".JWW" || !IsExistingFile(p)) return;
  platform_.OpenWithAssociatedProgram(p);
}

void WindowModel::EscPressed() {
  if (converting_) abortRequested_ = true;
}

WindowModel::RunPlan WindowModel::Plan(bool makeChosenFolder) const {
  RunPlan plan;
  fs::path destination;  // empty: each source's own folder
  auto special = [&](const fs::path& folder, const char* name) {
    if (folder.empty()) {
      plan.failure = std::string(name) + "のフォルダが分かりません";
    } else if (!IsFolder(folder)) {
      // Never made in its place: a folder the desktop names but that is not
      // there is the user's to put right.
      plan.failure = "保存先フォルダがありません: " + PathToUtf8(folder);
    } else {
      destination = PathFromUtf8(WithSeparator(PathToUtf8(folder)));
    }
  };
  switch (settings_.destination) {
    case Destination::kDesktop:
      special(platform_.DesktopFolder(), "デスクトップ");
      break;
    case Destination::kDocuments:
      special(platform_.DocumentsFolder(), "マイドキュメント");
      break;
    case Destination::kSourceFolder:
      break;
    case Destination::kChosenFolder:
    case Destination::kNone:
      // An empty folder box sends each file to its own folder. A folder typed
      // that is not there is the user's plain choice of a folder: it is made
      // when they say so, and is no reason to write beside the sources.
      if (settings_.edit1.empty()) break;
      destination = PathFromUtf8(WithSeparator(settings_.edit1));
      if (!IsFolder(destination)) {
        plan.missingChosenFolder = true;
        if (!makeChosenFolder) plan.failure = "保存先フォルダがありません: " + PathToUtf8(destination);
      }
      break;
  }
  plan.destination = PathToUtf8(destination);
  for (const auto& line : lines_) {
    plan.items.push_back({PathFromUtf8(line), destination, plan.missingChosenFolder && makeChosenFolder});
  }
  if (!plan.failure.empty()) return plan;

  // Two lines must not write the same target or the same backup; the same file
  // listed twice and converted in its own folder is harmless.
  for (const Clash& c : FindClashes(converter_, plan.items, /*sameFileInPlace=*/true)) {
    const char* what = c.kind == Clash::kSameBackup ? " とバックアップ先が同じです: " : " と保存先が同じです: ";
    plan.clashes.emplace_back(c.item, lines_[c.first] + what + PathToUtf8(c.where));
  }
  return plan;
}

void WindowModel::FailAll(const RunPlan& plan) {
  const std::size_t n = lines_.size();
  for (std::size_t p = 0; p < n; ++p) {
    if (converter_.IsConvertible(plan.items[p].source)) {
      view_->AppendLog(lines_[p]);
      view_->AppendLog(FailureLine(lines_[p], plan.failure));
      ++failed_;
    }
    view_->ShowProgress(p + 1, n);
  }
}

void WindowModel::ConvertFiles(bool makeChosenFolder) {
  if (converting_ || !view_) return;
  converting_ = true;
  abortRequested_ = false;
  failed_ = 0;
  bool stopped = false;
  // However the run ends, the window leaves the running state, so that it
  // can be closed and a new run started.
  struct EndRun {
    WindowModel& m;
    ~EndRun() {
      m.converting_ = false;
      m.view_->ShowRunning(false);
    }
  };
  view_->ShowRunning(true);
  {
    EndRun endRun{*this};
    const RunPlan plan = Plan(makeChosenFolder);
    const std::size_t n = lines_.size();
    view_->ShowProgressWindow();
    view_->ShowProgress(0, n);
    if (!plan.failure.empty()) {
      FailAll(plan);
    } else if (!plan.clashes.empty()) {
      for (const auto& [line, why] : plan.clashes) {
        view_->AppendLog(FailureLine(lines_[line], why));
        ++failed_;
      }
      view_->ShowStatus(kClashStatus);
    } else {
      try {
        stopped = converter_.ConvertFiles(plan.items, settings_.checkBox1, *this).stopped;
      } catch (const std::exception& e) {
        // Memory running out between files is the one failure left to meet
        // here; anything else is said as it came.
        const bool memory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
        const std::string line = std::string("変換を中断しました: ") +
                                 (memory ? Say(Message("out of memory"), Language::kJapanese) : std::string(e.what()));
        view_->AppendLog(line);
        view_->ShowStatus(line);
        ++failed_;
      }
    }
    // A run with failures never ends on a word of success: the status says
    // how many failed, and so does the log's last line.
    if (failed_ > 0 && plan.clashes.empty()) {
      view_->AppendLog(FailedSummary(failed_, n));
      if (!stopped) view_->ShowStatus(FailedStatus(failed_, n));
    }
  }
  // A failure stays on the screen until the user closes the log.
  if (failed_ == 0) view_->CloseProgressWindow();
  exitStatus_ = failed_ > 0 || stopped ? 1 : 0;
}

void WindowModel::ShowStatus(const std::string& text) {
  view_->ShowStatus(text);
}

void WindowModel::FileStarted(const fs::path& source, std::size_t, std::size_t) {
  view_->AppendLog(PathToUtf8(source));
}

void WindowModel::FileFinished(const FileResult& r) {
  if (r.outcome == FileOutcome::kFailed) {
    ++failed_;
    view_->AppendLog(FailureLine(PathToUtf8(r.source), Say(r.failure.message, Language::kJapanese)));
  }
  view_->ShowProgress(r.position + 1, r.count);
}

void WindowModel::ProcessEvents() {
  view_->ProcessEvents();
}

}  // namespace tessaly

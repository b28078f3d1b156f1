// The native Win32 view of the window model: the main window TForm1 and the
// progress window TForm2 as windows of their own classes, built from their
// description (app/window_form.h), every control a child window kept under its
// form name. The windows draw controls and forward the user's actions; what
// they do is the model's. Wide-character API only; texts cross to the model as
// UTF-8.
#pragma once

// clang-format off
#include <windows.h>  // before the other system headers, which build on it
// clang-format on
#include <shellapi.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/window_form.h"
#include "app/window_model.h"

namespace tessaly::gui {

// The modal dialogs, given to the view so that a caller that must not block
// (a test, a screenshot) answers them itself.
struct DialogHooks {
  // The files picked in the add dialog, full paths; none when it was cancelled.
  std::function<std::vector<std::wstring>(HWND owner, const std::wstring& startFolder)> openFiles;
  // The folder picked for the destination; nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& startFolder)> folder;
  // Yes or No.
  std::function<bool(HWND owner, const std::wstring& question)> confirm;

  // The real dialogs: the common open dialog, the folder picker, a message box.
  static DialogHooks Real();
};

// The add dialog's filters in the form the common dialog takes: description,
// NUL, patterns, NUL, ..., and a second NUL at the end (that of c_str()).
std::wstring OpenDialogFilter();
// The add dialog's filter chosen as it opens, counted from 1 as the dialog counts.
DWORD OpenDialogFilterIndex();

// The windows' description is in pixels at 96 DPI. On a screen of `dpi` a
// length is this many pixels, and a rectangle has its edges scaled, so that
// controls that meet at 96 DPI still meet and none grows a gap.
int Scaled(int length, UINT dpi);
FormRect Scaled(FormRect rect, UINT dpi);
// The DPI a window is drawn at: that of its monitor where the system says
// (Windows 10 1607 on), else the screen's.
UINT DpiOf(HWND window);
// The work areas of the monitors (what the taskbar leaves), the primary one
// first.
std::vector<FormRect> WorkAreas();

// The controls of the main window.
struct TForm1 {
  HWND Handle = nullptr;
  UINT Dpi = USER_DEFAULT_SCREEN_DPI;  // what its controls and fonts are made for
  std::vector<HWND> controls;          // in the order of the window's description
  HWND GroupBox1 = nullptr;
  HWND RadioButton1 = nullptr, RadioButton2 = nullptr, RadioButton3 = nullptr,
       RadioButton4 = nullptr;
  HWND Edit1 = nullptr;
  HWND Button1 = nullptr;
  HWND Label1 = nullptr;
  HWND ListBox1 = nullptr;
  HWND Button2 = nullptr, Button3 = nullptr, Button4 = nullptr, Button5 = nullptr;
  HWND CheckBox1 = nullptr;
  HWND StatusBar1 = nullptr;
};

// The controls of the progress window.
struct TForm2 {
  HWND Handle = nullptr;
  UINT Dpi = USER_DEFAULT_SCREEN_DPI;
  std::vector<HWND> controls;  // in the order of the window's description
  HWND ListBox1 = nullptr;
  // Its first part says "k / n", files done of files listed; the second
  // holds the bar.
  HWND StatusBar1 = nullptr;
  HWND ProgressBar1 = nullptr;  // inside StatusBar1
};

class Win32View final : public WindowView {
 public:
  // Creates both windows, hidden.
  Win32View(WindowModel& model, DialogHooks hooks);
  ~Win32View() override;
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  // Runs the start-up and shows the main window; the command-line files are
  // converted once it is on the screen (a message posted to it).
  void Start(const std::vector<std::string>& args, int show = SW_SHOWNORMAL);
  // The message loop, until the main window is gone; answers WM_QUIT's code.
  int Run();
  // One message as the loops deliver it: Esc during a run, the list's own
  // keys (Delete, Ctrl+A), keyboard navigation between the controls, then the
  // window procedure.
  void Deliver(MSG& msg);

  const TForm1& Form1() const { return form1_; }
  const TForm2& Form2() const { return form2_; }

  void ShowStatus(const std::string& text) override;
  void ShowLines(const std::vector<std::string>& lines) override;
  void ShowChoices() override;
  void ShowRunning(bool running) override;
  void FocusAddButton() override;
  void PlaceWindows(const Settings& settings) override;
  void ReadWindows(Settings& settings) override;
  void CloseMainWindow() override;
  void ShowProgressWindow() override;
  void AppendLog(const std::string& line) override;
  void ShowProgress(std::size_t done, std::size_t total) override;
  void CloseProgressWindow() override;
  void ProcessEvents() override;
  std::vector<std::string> AskFilesToAdd(const std::string& startFolder) override;
  std::optional<std::string> AskFolder(const std::string& startFolder) override;
  bool AskConfirm(const std::string& question) override;

 private:
  static LRESULT CALLBACK Form1Proc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK Form2Proc(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnForm1(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnForm2(HWND, UINT, WPARAM, LPARAM);
  // A window and its controls, from their description, made for the DPI of
  // the screen it opens on.
  HWND CreateForm(const Form& form, HWND owner, int firstId, std::vector<HWND>& controls,
                  UINT& dpi);
  // Fonts and places of every control at the window's DPI.
  void PlaceControls(const Form& form, HWND window, const std::vector<HWND>& controls, UINT dpi);
  // The controls aligned to an edge or filling the window, after a resize.
  void LayOut(const Form& form, HWND window, const std::vector<HWND>& controls, UINT dpi);
  // The window is drawn at another DPI now: the size the system suggests (or
  // its own, scaled), new fonts, every control placed again.
  void Rescale(HWND window, UINT dpi, const RECT* suggested);
  // A window where the settings put it, brought onto the screen; a width of 0
  // keeps its size.
  void MoveOnScreen(HWND window, FormRect wanted, const std::vector<FormRect>& areas);
  HFONT Font(int pixels);
  HWND Control1(std::string_view name) const;  // a control of TForm1
  void OnCommand(HWND from, int id, int code);
  void OnDropFiles(HDROP drop);
  void DeleteSelected();
  void ShowCount();

  WindowModel& model_;
  DialogHooks hooks_;
  TForm1 form1_;
  TForm2 form2_;
  // By height in pixels, the heights of every DPI met so far: a window that
  // goes back and forth between two monitors makes no font twice.
  std::vector<std::pair<int, HFONT>> fonts_;
  std::optional<ProgressBarState> count_;  // what TForm2's status bar says
  HWND focus1_ = nullptr;                  // the control that had the focus when TForm1 was left
  bool showingChoices_ = false;            // the view itself is setting the controls
};

}  // namespace tessaly::gui

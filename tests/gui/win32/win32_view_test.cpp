// The Win32 view's wiring: the real windows, created in this process and
// driven with messages as the system would send them. What the model does with
// the actions is tested with the model.
#include "gui/win32/win32_view.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "app/window_form.h"
#include "gui/win32/win32_platform.h"
#include "io/code_page.h"
#include "io/path_text.h"
#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/temp_dir.h"
#include "icon_width.h"

namespace tessaly::gui {
namespace {
namespace fs = std::filesystem;

std::string U(const std::wstring& w) {
  return PathToUtf8(fs::path(w));
}
std::string Text(HWND w) {
  wchar_t buf[512] = {};
  ::GetWindowTextW(w, buf, 512);
  return U(buf);
}
std::vector<std::string> Lines(HWND list) {
  std::vector<std::string> lines;
  const auto n = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring line(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1,
                      L'\0');
    line.resize(static_cast<std::size_t>(
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
    lines.push_back(U(line));
  }
  return lines;
}
// A simple status bar's one text is read as part 0.
std::string Status(HWND bar, int part = 0) {
  std::wstring text(LOWORD(::SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0)) + 1, L'\0');
  ::SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
  return U(text.c_str());
}
RECT RectIn(HWND w, HWND parent) {
  RECT r{};
  ::GetWindowRect(w, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
RECT WindowRectOf(HWND w) {
  RECT r{};
  ::GetWindowRect(w, &r);
  return r;
}
std::array<LONG, 4> XYWH(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
std::array<LONG, 4> XYWH(const FormRect& r) {
  return {r.x, r.y, r.width, r.height};
}
// A text's width in a window's font.
int TextWidth(HWND w, const std::string& utf8) {
  const std::wstring text = PathFromUtf8(utf8).wstring();
  HDC dc = ::GetDC(w);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(w, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(w, dc);
  return size.cx;
}
// The width of the small icon a window's caption shows.
int IconWidth(HWND window) {
  return test::IconWidth(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_SMALL, 0)));
}
// The small icon's width at a scale, where the system says (else its own).
int SmallIconAt(UINT dpi) {
  using ForDpi = int(WINAPI*)(int, UINT);
  const auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  return forDpi ? forDpi(SM_CXSMICON, dpi) : ::GetSystemMetrics(SM_CXSMICON);
}
// Every line of a list can be scrolled to its end: none is cut.
void ExpectWhole(HWND list) {
  const auto extent = ::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0);
  for (const std::string& line : Lines(list)) EXPECT_LT(TextWidth(list, line), extent) << line;
}
LOGFONTW FontOf(HWND w) {
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(w, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf;
}
bool Checked(HWND button) {
  return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void Click(HWND button) {
  ::SendMessageW(button, BM_CLICK, 0, 0);
}

// A drop handle as the shell makes it: a DROPFILES header, then the paths in
// UTF-16, each ended by a NUL, and one more NUL.
HDROP MakeDrop(const std::vector<fs::path>& paths) {
  std::size_t chars = 1;
  for (const auto& p : paths) chars += p.wstring().size() + 1;
  HGLOBAL h = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(::GlobalLock(h));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(header + 1);
  for (const auto& p : paths) {
    const std::wstring w = p.wstring();
    std::copy(w.begin(), w.end(), out);
    out += w.size() + 1;
  }
  ::GlobalUnlock(h);
  return static_cast<HDROP>(h);
}

// A window of the test's own, whose message runs a check in the middle of a
// run, when the run delivers the messages waiting.
struct Probe {
  std::function<void()> check;
  HWND hwnd = nullptr;
  Probe() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      auto* p = reinterpret_cast<Probe*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
      if (m == WM_APP && p && p->check) {
        p->check();
        return 0;
      }
      return ::DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Win32ViewTestProbe";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Probe() { ::DestroyWindow(hwnd); }
  void During(std::function<void()> f) {
    check = std::move(f);
    ::PostMessageW(hwnd, WM_APP, 0, 0);
  }
};

struct TestPlatform : Win32Platform {
  using Win32Platform::Win32Platform;
  std::vector<fs::path> opened;
  bool OpenWithAssociatedProgram(const fs::path& f) override {
    opened.push_back(f);
    return true;
  }
};

// The windows over a model, for a program at <dir>\プログラム\tessaly.exe, with
// dialogs that answer at once.
struct Fixture {
  test::TempDir dir;
  fs::path exe = dir.path() / L"プログラム" / "tessaly.exe";
  TestPlatform platform{exe};
  WindowModel model{platform};
  std::vector<std::string> asked;
  std::vector<std::wstring> filesToAdd;
  std::optional<std::wstring> folder;
  bool confirm = true;
  bool quit = false;
  std::unique_ptr<Win32View> view;

  explicit Fixture(const std::string& settings = {}) {
    fs::create_directories(exe.parent_path());
    if (!settings.empty()) test::WriteFile(platform.SettingsFile(), settings);
    DialogHooks hooks{
        [this](HWND, const std::wstring& s) { return asked.push_back("open " + U(s)), filesToAdd; },
        [this](HWND, const std::wstring& s) { return asked.push_back("folder " + U(s)), folder; },
        [this](HWND, const std::wstring& q) { return asked.push_back(U(q)), confirm; }};
    view = std::make_unique<Win32View>(model, hooks);
  }
  ~Fixture() {
    view.reset();
    Pump();
  }
  // Delivers what is waiting, as the program's loop does.
  void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
      } else if (view) {
        view->Deliver(msg);
      } else {
        ::DispatchMessageW(&msg);
      }
    }
  }
  const TForm1& f1() { return view->Form1(); }
  const TForm2& f2() { return view->Form2(); }
  fs::path Drawing(const fs::path& p, int dimensions) {
    test::draw::MakeDrawing(p, dimensions);
    return p;
  }
};

// Every control of the description, of its kind, with its caption, font and
// place; the windows' own classes, captions, places and borders.
TEST(Win32View, TheWindowsAreBuiltAsDescribed) {
  Fixture fx;
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  const TForm2& f2 = fx.f2();
  // By kind, as ControlKind lists them.
  const wchar_t* const classes[] = {
      L"Button",
      L"Button",
      L"Edit",
      L"Button",
      L"Static",
      L"ListBox",
      L"Button",
      L"msctls_statusbar32",
      L"msctls_progress32",
  };
  const struct {
    HWND handle;
    const std::vector<HWND>& controls;
    const Form& form;
  } windows[] = {{f1.Handle, f1.controls, MainForm()}, {f2.Handle, f2.controls, ProgressForm()}};
  for (const auto& [window, controls, form] : windows) {
    SCOPED_TRACE(std::string(form.name));
    wchar_t cls[32] = {};
    ::GetClassNameW(window, cls, 32);
    EXPECT_EQ(U(cls), form.name);
    EXPECT_EQ(Text(window), form.caption);
    // Made for the screen's DPI; the description's sizes at 96 DPI scaled to it
    // (the progress window's from the settings, which have none saved here).
    const UINT dpi = window == f1.Handle ? f1.Dpi : f2.Dpi;
    EXPECT_EQ(dpi, DpiOf(window));
    RECT r{};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.left, form.left);
    EXPECT_EQ(r.top, form.top);
    if (!form.resizable) ::GetClientRect(window, &r);
    EXPECT_EQ(r.right - r.left, Scaled(form.width, dpi));
    EXPECT_EQ(r.bottom - r.top, Scaled(form.height, dpi));
    const auto style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE((style & WS_MINIMIZEBOX) && (style & WS_SYSMENU));
    EXPECT_EQ((style & WS_MAXIMIZEBOX) != 0, form.resizable);
    EXPECT_EQ((style & WS_THICKFRAME) != 0, form.resizable);

    RECT client{};
    ::GetClientRect(window, &client);
    ASSERT_EQ(controls.size(), form.controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const FormControl& c = form.controls[i];
      const HWND w = controls[i];
      SCOPED_TRACE(std::string(c.name));
      ASSERT_TRUE(::IsWindow(w));
      ::GetClassNameW(w, cls, 32);
      EXPECT_EQ(_wcsicmp(cls, classes[static_cast<int>(c.kind)]), 0) << U(cls);
      EXPECT_EQ(Text(w), c.caption);
      EXPECT_EQ(::IsWindowVisible(w), ::IsWindowVisible(window));
      // A group box's controls are the window's own, placed over it.
      const bool inBox = !c.parent.empty() && form.Control(c.parent).kind == ControlKind::kGroupBox;
      const HWND parent = c.parent.empty() || inBox ? window : controls[form.IndexOf(c.parent)];
      EXPECT_EQ(::GetParent(w), parent);
      r = RectIn(w, parent);
      RECT inside{};
      ::GetClientRect(parent, &inside);
      if (c.align == ControlAlign::kNone) {
        EXPECT_EQ(XYWH(r), XYWH(Scaled(form.InWindow(c), dpi)));
      } else if (!c.parent.empty()) {
        // In the status bar's second part, after the count of files.
        RECT part{};
        ASSERT_TRUE(::SendMessageW(parent, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part)));
        EXPECT_TRUE(r.left >= part.left && r.top >= part.top && r.right <= part.right &&
                    r.bottom <= part.bottom && r.right > r.left && r.bottom > r.top)
            << XYWH(r)[0] << " " << XYWH(part)[0];
      } else if (c.align == ControlAlign::kBottom) {
        EXPECT_EQ((std::array{r.left, r.right, r.bottom}),
                  (std::array{0L, inside.right, inside.bottom}));
      } else {  // above the status bar
        RECT bar{};
        ::GetWindowRect(f2.StatusBar1, &bar);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
        EXPECT_EQ((std::array{r.left, r.top, r.right, r.bottom}),
                  (std::array{0L, 0L, inside.right, bar.top}));
      }
      if (c.kind == ControlKind::kListBox) {
        EXPECT_EQ((::GetWindowLongW(w, GWL_STYLE) & LBS_EXTENDEDSEL) != 0, c.multiSelect);
      }
      if (c.kind == ControlKind::kProgressBar) continue;  // it draws no text
      const LOGFONTW lf = FontOf(w);
      EXPECT_EQ(U(lf.lfFaceName), kFormFontFace);
      EXPECT_EQ(lf.lfHeight, -Scaled(c.fontPixels != 0 ? c.fontPixels : form.fontPixels, dpi));
      EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    }
  }
  EXPECT_TRUE(::SendMessageW(f1.StatusBar1, SB_ISSIMPLE, 0, 0));
  EXPECT_FALSE(::SendMessageW(f2.StatusBar1, SB_ISSIMPLE, 0, 0));
  EXPECT_EQ(::SendMessageW(f2.StatusBar1, SB_GETPARTS, 0, 0), 2);
  const wchar_t filter[] =
      L"Jww図面ファイル(*.jww)\0*.jww\0Jww図形ファイル(*.jws)\0*.jws\0Jwwファイル(*.jww;*.jws)\0*.jww;*.jws\0";
  EXPECT_EQ(OpenDialogFilter(), std::wstring(filter, std::size(filter) - 1));
  // The dialog opens on drawings and figures alike, counted from 1.
  EXPECT_EQ(OpenDialogFilterIndex(), 3u);
  // No settings file: the Desktop, the check box ticked.
  EXPECT_TRUE(Checked(f1.RadioButton1) && Checked(f1.CheckBox1));
  EXPECT_FALSE(Checked(f1.RadioButton2) || Checked(f1.RadioButton3) || Checked(f1.RadioButton4));
  // The shell's own folders, named also when they are missing.
  EXPECT_FALSE(fx.platform.DesktopFolder().empty());
  EXPECT_FALSE(fx.platform.DocumentsFolder().empty());
  EXPECT_NE(fx.platform.DesktopFolder(), fx.platform.DocumentsFolder());
}

TEST(Win32View, EachControlReachesTheModel) {
  Fixture fx;
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  Click(f1.Button4);  // an empty list
  EXPECT_EQ(Status(f1.StatusBar1), "変換するファイルを指定して下さい");
  EXPECT_EQ(::GetFocus(), f1.Button2);
  EXPECT_TRUE(fx.asked.empty());
  ::PostMessageW(f1.Button2, WM_KEYDOWN, VK_TAB, 0);  // Tab moves on in the creation order
  fx.Pump();
  EXPECT_EQ(::GetFocus(), f1.Button3);

  const fs::path a = fx.Drawing(fx.dir / "a.jww", 1);
  fx.filesToAdd = {a.wstring(), (fx.dir / "b.jws").wstring(), (fx.dir / "c.txt").wstring()};
  Click(f1.Button2);
  EXPECT_EQ(fx.asked, std::vector<std::string>{"open " + PathToUtf8(fx.exe.parent_path())});
  EXPECT_EQ(Lines(f1.ListBox1),
            (std::vector<std::string>{PathToUtf8(a), PathToUtf8(fx.dir / "b.jws"),
                                      PathToUtf8(fx.dir / "c.txt")}));
  ::SendMessageW(f1.ListBox1, LB_SETSEL, TRUE, 1);
  ::SendMessageW(f1.ListBox1, LB_SETSEL, TRUE, 2);
  Click(f1.Button3);
  EXPECT_EQ(Lines(f1.ListBox1), std::vector<std::string>{PathToUtf8(a)});

  fx.asked.clear();
  fx.folder = (fx.dir.path() / L"出力").wstring();
  Click(f1.Button1);
  EXPECT_EQ(fx.asked, std::vector<std::string>{"folder " + PathToUtf8(fx.exe.parent_path())});
  EXPECT_EQ(Text(f1.Edit1), PathToUtf8(fx.dir.path() / L"出力") + "\\");
  ::SendMessageW(f1.Edit1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\図面\\表"));
  EXPECT_EQ(fx.model.Edit1(), "C:\\図面\\表");
  Click(f1.RadioButton3);
  EXPECT_EQ(fx.model.GetDestination(), Destination::kSourceFolder);
  EXPECT_FALSE(Checked(f1.RadioButton1));
  Click(f1.CheckBox1);
  EXPECT_FALSE(fx.model.CheckBox1());

  fx.asked.clear();
  fx.confirm = false;
  Click(f1.Button4);
  ASSERT_EQ(fx.asked.size(), 1u);
  EXPECT_EQ(fx.asked[0].rfind("変換を開始します。よろしいですか？\n\n", 0), 0u) << fx.asked[0];
  EXPECT_FALSE(fs::exists(fx.dir / "a._JWW"));

  RECT item{};
  ::SendMessageW(f1.ListBox1, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  ::SendMessageW(f1.ListBox1, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(f1.ListBox1, WM_LBUTTONUP, 0, at);
  ::SendMessageW(f1.ListBox1, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageW(f1.ListBox1, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(fx.platform.opened, std::vector<fs::path>{a});

  // A drop takes each path whole, however long; what is not an existing
  // drawing or figure is passed over.
  fs::path deep = fx.dir.path();
  for (char c : {'x', 'y', 'z'}) deep /= std::string(180, c);
  fs::create_directories(deep);
  const fs::path longPath = fx.Drawing(deep / L"長い名前の図面.jww", 0);
  ASSERT_GT(longPath.wstring().size(), 560u);
  fs::create_directories(fx.dir.path() / L"図面");
  const fs::path japanese = fx.Drawing(fx.dir.path() / L"図面" / L"表.JwW", 0);
  test::WriteFile(fx.dir / "c.txt", "text");
  ::SendMessageW(
      f1.Handle, WM_DROPFILES,
      reinterpret_cast<WPARAM>(MakeDrop({longPath, fx.dir / "c.txt", fx.dir.path() / L"図面",
                                         fx.dir.path() / L"無い.jww", japanese})),
      0);
  EXPECT_EQ(Lines(f1.ListBox1),
            (std::vector<std::string>{PathToUtf8(a), PathToUtf8(longPath), PathToUtf8(japanese)}));

  // Alt+X, the Close button's underlined letter, as the keyboard sends it.
  const HWND main = f1.Handle;
  // The progress window's size, which the settings have not saved, at the
  // screen's DPI.
  const std::string size2 = std::to_string(Scaled(ProgressForm().width, fx.f2().Dpi)) + "\r\n" +
                            std::to_string(Scaled(ProgressForm().height, fx.f2().Dpi));
  ::PostMessageW(f1.ListBox1, WM_SYSCHAR, L'x', 0x20000000);
  fx.Pump();
  EXPECT_FALSE(::IsWindow(main));
  EXPECT_TRUE(fx.quit);
  // Beside the program, named after it, in code page 932 with CR LF.
  const std::string settings = test::ReadFile(fx.exe.parent_path() / "tessaly.dat");
  std::string edit1;
  ASSERT_TRUE(Utf8ToCp932("C:\\図面\\表", edit1));
  EXPECT_EQ(settings, "192\r\n107\r\n194\r\n107\r\n" + size2 + "\r\n0\r\n0\r\n1\r\n0\r\n" + edit1 +
                          "\r\n" + PathToUtf8(fx.dir.path()) + "\\\r\n0\r\n");
}

// During a run: the log, the bar and the count of files, the buttons
// disabled, drops and Delete refused; Esc and an attempt to close each stop the
// run before the next file, and the window stays; a failure keeps the log open.
TEST(Win32View, ARunShowsItsProgressAndEscOrCloseStopsIt) {
  Fixture fx("0\r\n0\r\n0\r\n0\r\n416\r\n219\r\n0\r\n0\r\n1\r\n0\r\n\r\n\r\n1\r\n");
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  const TForm2& f2 = fx.f2();
  EXPECT_TRUE(Checked(f1.RadioButton3));
  test::WriteFile(fx.dir / "bad.jww", "not a drawing");
  const fs::path good = fx.Drawing(fx.dir / "good.jww", 1),
                 other = fx.Drawing(fx.dir / "other.jww", 1);
  fx.filesToAdd = {(fx.dir / "bad.jww").wstring(), good.wstring(), other.wstring()};
  Click(f1.Button2);

  Probe probe;
  bool during = false;
  probe.During([&] {
    during = true;
    EXPECT_TRUE(::IsWindowVisible(f2.Handle));
    EXPECT_EQ(Lines(f2.ListBox1), std::vector<std::string>{PathToUtf8(fx.dir / "bad.jww")});
    EXPECT_EQ(::SendMessageW(f2.ListBox1, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(f2.ProgressBar1, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(f2.ProgressBar1, PBM_GETRANGE, FALSE, 0), 3);
    EXPECT_EQ(Status(f2.StatusBar1, 0), "0 / 3");
    // The count has room for itself, and the bar stays clear of it.
    RECT count{};
    ::SendMessageW(f2.StatusBar1, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&count));
    EXPECT_LT(TextWidth(f2.StatusBar1, "9999 / 9999"), count.right - count.left);
    EXPECT_GE(RectIn(f2.ProgressBar1, f2.StatusBar1).left, count.right);
    EXPECT_FALSE(::IsWindowEnabled(f1.Button2) || ::IsWindowEnabled(f1.Button3) ||
                 ::IsWindowEnabled(f1.Button4));
    ::SendMessageW(f1.Handle, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({good})), 0);
    ::SendMessageW(f1.ListBox1, LB_SETSEL, TRUE, 0);
    ::PostMessageW(f1.ListBox1, WM_KEYDOWN, VK_DELETE, 0);
    ::PostMessageW(f2.ListBox1, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  Click(f1.Button4);
  EXPECT_TRUE(during);
  EXPECT_EQ(Status(f1.StatusBar1), "変換を中断しました(ESC)");
  EXPECT_EQ(Lines(f1.ListBox1).size(), 3u);
  EXPECT_TRUE(::IsWindowVisible(f2.Handle));
  const std::vector<std::string> log = Lines(f2.ListBox1);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1].rfind("変換できませんでした: ", 0), 0u) << log[1];
  EXPECT_EQ(log[2], "3件中1件を変換できませんでした");
  ExpectWhole(f2.ListBox1);
  EXPECT_EQ(::SendMessageW(f2.ProgressBar1, PBM_GETPOS, 0, 0), 1);
  EXPECT_EQ(Status(f2.StatusBar1, 0), "1 / 3");
  EXPECT_TRUE(::IsWindowEnabled(f1.Button4));
  EXPECT_FALSE(fs::exists(fx.dir / "good._JWW"));

  // Closing during the run: the file taken up is finished, the window stays.
  ::SendMessageW(f1.ListBox1, LB_SETSEL, FALSE, -1);
  ::SendMessageW(f1.ListBox1, LB_SETSEL, TRUE, 0);
  Click(f1.Button3);
  probe.During([&] { ::PostMessageW(f1.Handle, WM_CLOSE, 0, 0); });
  Click(f1.Button4);
  fx.Pump();
  EXPECT_EQ(Status(f1.StatusBar1), "変換を中断しました(ESC)");
  EXPECT_TRUE(::IsWindowVisible(f1.Handle));
  EXPECT_TRUE(fs::exists(fx.dir / "good._JWW"));
  EXPECT_FALSE(fs::exists(fx.dir / "other._JWW"));
  EXPECT_FALSE(::IsWindowVisible(f2.Handle));

  // A whole run counts every line, the ones passed over too.
  fx.filesToAdd = {(fx.dir / "x.txt").wstring()};
  Click(f1.Button2);
  Click(f1.Button4);
  EXPECT_EQ(Status(f1.StatusBar1), "変換完了(3)");
  EXPECT_EQ(Status(f2.StatusBar1, 0), "3 / 3");
  EXPECT_TRUE(fs::exists(fx.dir / "other._JWW"));
  const HWND main = f1.Handle;
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  fx.Pump();
  EXPECT_FALSE(::IsWindow(main));
}

// Lengths at 96 DPI on screens of other scales: edges are scaled, so that
// what meets at 96 DPI still meets, and MulDiv rounds halves up.
TEST(Win32View, LengthsScaleWithTheScreen) {
  const struct {
    UINT dpi;
    FormRect at96, expected;
  } rects[] = {
      {96, {348, 196, 80, 40}, {348, 196, 80, 40}},    // 変換, 100 %
      {120, {348, 196, 80, 40}, {435, 245, 100, 50}},  // 125 %
      {144, {348, 196, 80, 40}, {522, 294, 120, 60}},  // 150 %
      {192, {348, 196, 80, 40}, {696, 392, 160, 80}},  // 200 %
      {120, {132, 49, 236, 22}, {165, 61, 295, 28}},   // Edit1: 61.25 and 88.75 rounded
      {120, {0, 0, 10, 10}, {0, 0, 13, 13}},           // 12.5 rounds up ...
      {120, {10, 0, 10, 10}, {13, 0, 12, 13}},         // ... and the next one starts there
      {168, {8, 122, 332, 150}, {14, 214, 581, 262}},  // ListBox1 at 175 %
  };
  for (const auto& r : rects) {
    SCOPED_TRACE(r.dpi);
    EXPECT_EQ(Scaled(r.at96, r.dpi), r.expected);
  }
  const struct {
    int at96;
    UINT dpi;
    int expected;
  } lengths[] = {{13, 96, 13},  {13, 144, 20}, {11, 144, 17},
                 {16, 144, 24}, {13, 120, 16}, {13, 192, 26}};
  for (const auto& l : lengths)
    EXPECT_EQ(Scaled(l.at96, l.dpi), l.expected) << l.at96 << " " << l.dpi;
}

// The windows open at the screen's scale: with TESSALY_TEST_DPI set (the run
// under Wine sets the desktop's scale to it), the controls are where that
// scale puts them, in pixels counted here by hand.
TEST(Win32View, TheWindowsOpenAtTheScreensScale) {
  const char* wanted = std::getenv("TESSALY_TEST_DPI");
  Fixture fx;
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  const UINT dpi = wanted ? static_cast<UINT>(std::atoi(wanted)) : f1.Dpi;
  EXPECT_EQ(f1.Dpi, dpi);
  EXPECT_EQ(fx.f2().Dpi, dpi);
  const struct {
    UINT dpi;
    std::array<LONG, 4> button4, inside;
    LONG font;
  } scales[] = {
      {96, {348, 196, 80, 40}, {0, 0, 436, 300}, -16},
      {144, {522, 294, 120, 60}, {0, 0, 654, 450}, -24},
  };
  bool met = false;
  for (const auto& s : scales) {
    if (s.dpi != dpi) continue;
    met = true;
    EXPECT_EQ(XYWH(RectIn(f1.Button4, f1.Handle)), s.button4);
    RECT inside{};
    ::GetClientRect(f1.Handle, &inside);
    EXPECT_EQ(XYWH(inside), s.inside);
    EXPECT_EQ(FontOf(f1.Button4).lfHeight, s.font);
  }
  if (!met) GTEST_SKIP() << "no pixels counted by hand for " << dpi << " DPI";
}

// A move to a monitor of another scale: the window takes the place the system
// suggests (the main window its own size at that scale), new fonts, every
// control placed again, every line of the lists still whole; and back.
TEST(Win32View, AMoveToAnotherScaleRescalesBothWindows) {
  Fixture fx;
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  const TForm2& f2 = fx.f2();
  fx.filesToAdd = {(fx.dir / "a very long name of a drawing that goes on and on.jww").wstring()};
  Click(f1.Button2);
  fx.view->ShowProgressWindow();
  fx.view->AppendLog(std::string(60, 'x') + "の図面を変換できませんでした");
  fx.view->ShowProgress(1, 12345);
  const UINT start = f1.Dpi;
  const struct {
    UINT dpi;
    std::array<LONG, 4> button4;
  } button4[] = {
      {96, {348, 196, 80, 40}},
      {144, {522, 294, 120, 60}},
      {192, {696, 392, 160, 80}},
  };
  // To a scale whose windows the virtual screen holds (the system keeps a
  // window no larger than the screen), and back.
  const UINT other = start > USER_DEFAULT_SCREEN_DPI ? USER_DEFAULT_SCREEN_DPI : 192;
  for (const UINT dpi : {other, start}) {
    SCOPED_TRACE(dpi);
    RECT suggested{40, 30, 40 + 700, 30 + 500};
    ::SendMessageW(f1.Handle, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(f1.Dpi, dpi);
    RECT r{};
    ::GetWindowRect(f1.Handle, &r);
    EXPECT_EQ((std::array{r.left, r.top}), (std::array{40L, 30L}));
    ::GetClientRect(f1.Handle, &r);
    EXPECT_EQ((std::array{r.right, r.bottom}),
              (std::array<LONG, 2>{Scaled(MainForm().width, dpi), Scaled(MainForm().height, dpi)}));
    for (const auto& b : button4) {
      if (b.dpi == dpi) {
        EXPECT_EQ(XYWH(RectIn(f1.Button4, f1.Handle)), b.button4);
      }
    }
    EXPECT_EQ(XYWH(RectIn(f1.ListBox1, f1.Handle)),
              XYWH(Scaled(MainForm().Control("ListBox1").rect, dpi)));
    EXPECT_EQ(FontOf(f1.ListBox1).lfHeight, -Scaled(13, dpi));
    EXPECT_EQ(FontOf(f1.Button4).lfHeight, -Scaled(16, dpi));
    EXPECT_EQ(FontOf(f1.Button1).lfHeight, -Scaled(11, dpi));
    EXPECT_EQ(FontOf(f1.StatusBar1).lfHeight, -Scaled(13, dpi));
    // The caption's icon of the size the system draws at this scale.
    EXPECT_EQ(IconWidth(f1.Handle), SmallIconAt(dpi));
    // The status bar at the bottom, below the list and the buttons.
    const RECT bar = RectIn(f1.StatusBar1, f1.Handle);
    EXPECT_EQ(bar.bottom, r.bottom);
    EXPECT_GE(bar.top, RectIn(f1.Button5, f1.Handle).bottom);
    ExpectWhole(f1.ListBox1);

    RECT suggested2{300, 200, 300 + 800, 200 + 400};
    ::SendMessageW(f2.Handle, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested2));
    EXPECT_EQ(f2.Dpi, dpi);
    EXPECT_EQ(XYWH(WindowRectOf(f2.Handle)), XYWH(suggested2));
    EXPECT_EQ(FontOf(f2.ListBox1).lfHeight, -Scaled(13, dpi));
    EXPECT_EQ(FontOf(f2.StatusBar1).lfHeight, -Scaled(13, dpi));
    ::GetClientRect(f2.Handle, &r);
    const RECT log = RectIn(f2.ListBox1, f2.Handle), bar2 = RectIn(f2.StatusBar1, f2.Handle);
    EXPECT_EQ((std::array{log.left, log.top, log.right, log.bottom}),
              (std::array{0L, 0L, r.right, bar2.top}));
    EXPECT_EQ(bar2.bottom, r.bottom);
    RECT count{};
    ::SendMessageW(f2.StatusBar1, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&count));
    EXPECT_EQ(Status(f2.StatusBar1, 0), "1 / 12345");
    EXPECT_LT(TextWidth(f2.StatusBar1, "12345 / 12345"), count.right - count.left);
    EXPECT_GE(RectIn(f2.ProgressBar1, f2.StatusBar1).left, count.right);
    ExpectWhole(f2.ListBox1);
  }
}

// The file list takes the keys of a Windows list, through the program's own
// loop: Delete removes the lines selected, as 削除 does; Ctrl+A selects every
// line, A alone does not.
TEST(Win32View, TheFileListTakesTheKeysOfAWindowsList) {
  Fixture fx;
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  fx.filesToAdd = {(fx.dir / "a.jww").wstring(), (fx.dir / "b.jww").wstring(),
                   (fx.dir / "c.jws").wstring(), (fx.dir / "d.jww").wstring()};
  Click(f1.Button2);
  ::SetFocus(f1.ListBox1);
  const auto key = [&](WPARAM k, bool ctrl) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::PostMessageW(f1.ListBox1, WM_KEYDOWN, k, 1);
    ::PostMessageW(f1.ListBox1, WM_KEYUP, k, 0xC0000001);
    fx.Pump();
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
  };
  const auto names = [&] {
    std::string all;
    for (const auto& l : Lines(f1.ListBox1)) all += fs::path(PathFromUtf8(l)).filename().string();
    return all;
  };
  const auto selected = [&] { return ::SendMessageW(f1.ListBox1, LB_GETSELCOUNT, 0, 0); };

  key(VK_DELETE, false);  // nothing selected
  EXPECT_EQ(names(), "a.jwwb.jwwc.jwsd.jww");
  ::SendMessageW(f1.ListBox1, LB_SETSEL, TRUE, 1);
  ::SendMessageW(f1.ListBox1, LB_SETSEL, TRUE, 3);
  key(VK_DELETE, false);
  EXPECT_EQ(names(), "a.jwwc.jws");
  key('A', false);
  EXPECT_LE(selected(), 1);
  key('A', true);
  EXPECT_EQ(selected(), 2);
  EXPECT_EQ(names(), "a.jwwc.jws");
  key(VK_DELETE, false);
  EXPECT_EQ(names(), "");
  EXPECT_EQ(fx.model.Lines().size(), 0u);
}

// Saved places off every monitor come back onto the screen, places on it stay;
// the log opens clear of the main window's status bar; a minimised window is
// saved where it is restored to.
TEST(Win32View, WindowsReopenOnTheScreenClearOfTheStatusBar) {
  const std::vector<FormRect> areas = WorkAreas();
  ASSERT_FALSE(areas.empty());
  const FormRect screen = areas.front();
  const auto inside = [&](const RECT& r) {
    return r.left >= screen.x && r.top >= screen.y && r.right <= screen.x + screen.width &&
           r.bottom <= screen.y + screen.height;
  };
  {
    Fixture fx("5000\r\n4000\r\n-3000\r\n-2000\r\n500\r\n300\r\n0\r\n0\r\n1\r\n0\r\n\r\n\r\n1\r\n");
    fx.view->Start({});
    fx.Pump();
    const RECT r1 = WindowRectOf(fx.f1().Handle), r2 = WindowRectOf(fx.f2().Handle);
    EXPECT_TRUE(inside(r1)) << XYWH(r1)[0] << "," << XYWH(r1)[1];
    EXPECT_TRUE(inside(r2)) << XYWH(r2)[0] << "," << XYWH(r2)[1];
    EXPECT_EQ((std::array{r2.right - r2.left, r2.bottom - r2.top}), (std::array{500L, 300L}));
  }

  Fixture fx("0\r\n0\r\n0\r\n0\r\n300\r\n200\r\n0\r\n0\r\n3\r\n0\r\n\r\n\r\n1\r\n");
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  const TForm2& f2 = fx.f2();
  // The log where the settings would have it: over the main window's status bar.
  const RECT main = WindowRectOf(f1.Handle), bar = WindowRectOf(f1.StatusBar1);
  ::SetWindowPos(f2.Handle, nullptr, 20, bar.top - 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  fx.filesToAdd = {fx.Drawing(fx.dir / "a.jww", 1).wstring()};
  Click(f1.Button2);
  Click(f1.Button4);
  RECT log = WindowRectOf(f2.Handle), overlap{};
  const RECT strip{main.left, bar.top, main.right, main.bottom};
  EXPECT_FALSE(::IntersectRect(&overlap, &log, &strip));
  EXPECT_EQ((std::array{log.left, log.top}), (std::array{main.left, main.bottom}));  // just below
  EXPECT_TRUE(inside(log));

  // Minimised, it keeps the place it is restored to; the log is saved where
  // it went.
  ::SetWindowPos(f1.Handle, nullptr, 110, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(f1.Handle, SW_MINIMIZE);
  fx.Pump();
  ASSERT_TRUE(::IsIconic(f1.Handle));
  ::PostMessageW(f1.Handle, WM_CLOSE, 0, 0);
  fx.Pump();
  const std::string places = "110\r\n70\r\n" + std::to_string(log.left) + "\r\n" +
                             std::to_string(log.top) + "\r\n300\r\n200\r\n";
  EXPECT_EQ(test::ReadFile(fx.platform.SettingsFile()).substr(0, places.size()), places);
}

// A run in which files fail says how many in the main window's status bar and
// on the log's last line, shown and whole; the status text fits its bar.
TEST(Win32View, AFailedRunSaysSoInBothWindows) {
  Fixture fx("0\r\n0\r\n0\r\n0\r\n416\r\n219\r\n0\r\n0\r\n1\r\n0\r\n\r\n\r\n1\r\n");
  fx.view->Start({});
  fx.Pump();
  const TForm1& f1 = fx.f1();
  const TForm2& f2 = fx.f2();
  test::WriteFile(fx.dir / "bad1.jww", "not a drawing");
  test::WriteFile(fx.dir / "bad2.jws", "not a figure");
  fx.filesToAdd = {(fx.dir / "bad1.jww").wstring(), fx.Drawing(fx.dir / "good.jww", 1).wstring(),
                   (fx.dir / "bad2.jws").wstring()};
  Click(f1.Button2);
  Click(f1.Button4);
  EXPECT_EQ(Status(f1.StatusBar1), "変換終了(3件中2件失敗)");
  RECT bar{};
  ::GetClientRect(f1.StatusBar1, &bar);
  EXPECT_LT(TextWidth(f1.StatusBar1, Status(f1.StatusBar1)), bar.right);
  EXPECT_TRUE(::IsWindowVisible(f2.Handle));
  const std::vector<std::string> log = Lines(f2.ListBox1);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log.back(), "3件中2件を変換できませんでした");
  // Selected, and inside the list's window.
  const LRESULT last = static_cast<LRESULT>(log.size()) - 1;
  EXPECT_EQ(::SendMessageW(f2.ListBox1, LB_GETCURSEL, 0, 0), last);
  RECT item{}, list{};
  ::SendMessageW(f2.ListBox1, LB_GETITEMRECT, static_cast<WPARAM>(last),
                 reinterpret_cast<LPARAM>(&item));
  ::GetClientRect(f2.ListBox1, &list);
  EXPECT_TRUE(item.top >= 0 && item.bottom <= list.bottom) << item.top << " " << item.bottom;
  EXPECT_EQ(Status(f2.StatusBar1, 0), "3 / 3");
  ExpectWhole(f2.ListBox1);
}

// Started with files: the settings of the last start shown, the files
// converted without a question, and the program closes by itself.
TEST(Win32View, TheCommandLineRunConvertsAndCloses) {
  std::string folder;
  ASSERT_TRUE(Utf8ToCp932("C:\\図面\\", folder));
  // The log beside the main window, clear of its status bar: it opens where it was.
  Fixture fx("50\r\n60\r\n800\r\n110\r\n400\r\n300\r\n0\r\n0\r\n1\r\n0\r\n" + folder +
             "\r\n\r\n0\r\n");
  fs::create_directories(fx.dir.path() / L"図面");
  const fs::path plan = fx.Drawing(fx.dir.path() / L"図面" / L"平面.jww", 1);
  fx.view->Start({PathToUtf8(plan), PathToUtf8(fx.dir / "readme.txt")});
  const TForm1& f1 = fx.f1();
  EXPECT_EQ(Text(f1.Edit1), "C:\\図面\\");
  EXPECT_TRUE(Checked(f1.RadioButton3) && !Checked(f1.CheckBox1));
  RECT r{};
  ::GetWindowRect(f1.Handle, &r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  ::GetWindowRect(fx.f2().Handle, &r);
  EXPECT_EQ(r.right - r.left, 400);
  const HWND main = f1.Handle;
  fx.Pump();
  EXPECT_TRUE(fx.asked.empty());
  EXPECT_TRUE(fs::exists(fx.dir.path() / L"図面" / L"平面._JWW"));
  EXPECT_FALSE(::IsWindow(main));
  EXPECT_TRUE(fx.quit);
  EXPECT_EQ(fx.model.ExitStatus(), 0);
  const std::string settings = test::ReadFile(fx.platform.SettingsFile());
  EXPECT_EQ(settings.substr(0, 28), "50\r\n60\r\n800\r\n110\r\n400\r\n300\r\n");
  EXPECT_NE(settings.find("\r\n" + folder + "\r\n"), std::string::npos);
}

// Answers the first dialog that the given thread shows with a command, from a
// thread of its own, and keeps its title and owner; gives up after 10 s.
// `look` reads what the dialog shows before it is answered.
class DialogAnswer {
 public:
  DialogAnswer(DWORD uiThread, WPARAM command, std::function<void(HWND)> look = nullptr)
      : thread_([this, uiThread, command, look] {
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
          while (!dialog_ && std::chrono::steady_clock::now() < until) {
            ::EnumThreadWindows(uiThread, Find, reinterpret_cast<LPARAM>(this));
            if (!dialog_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
          if (dialog_ && look) look(dialog_);
          if (dialog_) ::PostMessageW(dialog_, WM_COMMAND, command, 0);
        }) {}
  ~DialogAnswer() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool Shown() const { return dialog_ != nullptr; }
  std::wstring title;
  HWND owner = nullptr;

 private:
  static BOOL CALLBACK Find(HWND h, LPARAM self) {
    auto* a = reinterpret_cast<DialogAnswer*>(self);
    wchar_t cls[16] = {}, text[64] = {};
    ::GetClassNameW(h, cls, 16);
    if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(h)) return TRUE;
    ::GetWindowTextW(h, text, 64);
    a->title = text;
    a->owner = ::GetWindow(h, GW_OWNER);
    a->dialog_ = h;
    return FALSE;
  }
  std::atomic<HWND> dialog_{nullptr};
  std::thread thread_;
};

// A dialog's controls: class, text and identifier.
struct DialogControl {
  std::wstring cls, text;
  int id;
};
std::vector<DialogControl> ControlsOf(HWND dialog) {
  std::vector<DialogControl> found;
  ::EnumChildWindows(
      dialog,
      [](HWND w, LPARAM to) -> BOOL {
        wchar_t cls[64] = {};
        ::GetClassNameW(w, cls, 64);
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(w)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            ::GetWindowTextW(w, text.data(), static_cast<int>(text.size()))));
        reinterpret_cast<std::vector<DialogControl>*>(to)->push_back(
            {cls, text, ::GetDlgCtrlID(w)});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The real dialogs open over the main window and answer what the user chose:
// here each is cancelled, or answered No. The question is shown whole with
// two answers, yes and no; the open dialog starts on drawings and figures.
TEST(Win32View, TheRealDialogsOpenOverTheMainWindow) {
  Fixture fx;
  fx.view->Start({});
  fx.Pump();
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const DialogHooks real = DialogHooks::Real();
  const HWND owner = fx.f1().Handle;
  const DWORD ui = ::GetCurrentThreadId();
  const std::wstring start = fx.dir.path().wstring();
  {
    // The model's question, of several lines, with a long folder in it.
    const std::wstring question =
        L"変換を開始します。よろしいですか？\n\n保存先フォルダ C:\\Users\\設計部\\Documents\\"
        L"2024年度\\新築工事\\実施設計図\\変換済み\\ "
        L"はありません。\n作成して、12件のファイルをそこに変換します。";
    std::vector<DialogControl> controls;
    DialogAnswer answer(ui, IDNO, [&](HWND box) { controls = ControlsOf(box); });
    EXPECT_FALSE(real.confirm(owner, question));
    answer.Join();
    EXPECT_TRUE(answer.Shown());
    EXPECT_EQ(U(answer.title), "確認");
    EXPECT_EQ(answer.owner, owner);
    std::vector<int> buttons;
    bool whole = false;
    for (const auto& c : controls) {
      if (_wcsicmp(c.cls.c_str(), L"Button") == 0) buttons.push_back(c.id);
      if (c.text == question) whole = true;
    }
    EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(whole) << "the question is not shown whole";
  }
  {
    DialogAnswer answer(ui, IDCANCEL);
    EXPECT_EQ(real.folder(owner, start), std::nullopt);
    answer.Join();
    EXPECT_TRUE(answer.Shown());
    EXPECT_EQ(U(answer.title), "保存先フォルダを指定");
    EXPECT_EQ(answer.owner, owner);
  }
  {
    // The type of files chosen as the dialog opens (its combo box cmb1).
    LRESULT type = -1;
    DialogAnswer answer(ui, IDCANCEL, [&](HWND dialog) {
      type = ::SendMessageW(::GetDlgItem(dialog, 0x470), CB_GETCURSEL, 0, 0);
    });
    EXPECT_TRUE(real.openFiles(owner, start).empty());
    answer.Join();
    EXPECT_TRUE(answer.Shown());
    EXPECT_EQ(answer.owner, owner);
    EXPECT_EQ(type, static_cast<LRESULT>(AddDialogDefaultFilter()));
  }
  ::CoUninitialize();
}

}  // namespace
}  // namespace tessaly::gui

#include "gui/win32/win32_view.h"

#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "io/path_text.h"

namespace tessaly::gui {
namespace fs = std::filesystem;

namespace {

// Posted once the main window is on the screen: the command-line run.
constexpr UINT kRunCommandLine = WM_APP + 1;

// A window's controls are numbered from here in the order of its description;
// 1 and 2 are the keyboard's Enter and Esc.
constexpr int kForm1Ids = 100, kForm2Ids = 200;

// A fixed window: a single border, the system menu and the minimise box.
constexpr DWORD kFixedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

std::wstring W(std::string_view utf8) {
  return PathFromUtf8(utf8).wstring();
}
std::string U(const std::wstring& wide) {
  return PathToUtf8(fs::path(wide));
}

std::wstring TextOf(HWND w) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(w)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(w, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool Checked(HWND button) {
  return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Per-monitor scaling's functions, taken from user32 where it has them
// (Windows 10 1607 on): the program starts on older systems too, and there
// draws at the one DPI of the screen.
struct DpiFunctions {
  UINT(WINAPI* forWindow)(HWND) = nullptr;
  BOOL(WINAPI* adjustWindowRect)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
  int(WINAPI* systemMetrics)(int, UINT) = nullptr;
};

template <typename F>
void Take(HMODULE module, const char* name, F& to) {
  // Through the generic function type, which any function pointer may be cast to.
  to = reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const DpiFunctions& Dpi() {
  static const DpiFunctions functions = [] {
    DpiFunctions f;
    if (HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
      Take(user32, "GetDpiForWindow", f.forWindow);
      Take(user32, "AdjustWindowRectExForDpi", f.adjustWindowRect);
      Take(user32, "GetSystemMetricsForDpi", f.systemMetrics);
    }
    return f;
  }();
  return functions;
}

int Metric(int index, UINT dpi) {
  return Dpi().systemMetrics ? Dpi().systemMetrics(index, dpi) : ::GetSystemMetrics(index);
}

FormRect ToForm(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT WindowRect(HWND w) {
  RECT r{};
  ::GetWindowRect(w, &r);
  return r;
}

// The outside of a fixed window, whose inside is the description's size at `dpi`.
SIZE FrameFor(const Form& form, DWORD style, UINT dpi) {
  RECT frame{0, 0, Scaled(form.width, dpi), Scaled(form.height, dpi)};
  if (Dpi().adjustWindowRect) {
    Dpi().adjustWindowRect(&frame, style, FALSE, 0, dpi);
  } else {
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

// A fixed window's inside made the description's size at `dpi`, whatever its
// frame turned out to be: the frame of a window just moved to another scale
// may still be drawn at the old one.
void FitInside(HWND window, const Form& form, UINT dpi) {
  RECT inside{};
  ::GetClientRect(window, &inside);
  const int dx = Scaled(form.width, dpi) - inside.right,
            dy = Scaled(form.height, dpi) - inside.bottom;
  if (dx == 0 && dy == 0) return;
  const RECT r = WindowRect(window);
  ::SetWindowPos(window, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT UiFont(int pixels) {
  // The character height in pixels, as a negative height asks for.
  return ::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       FIXED_PITCH | FF_MODERN, W(kFormFontFace).c_str());
}

// The window class and styles of a control. The arrow keys move within a
// group: the radio buttons in a row are one, and a push button goes with the
// control before it (参照 with the folder it browses for, 追加 to 閉じる with
// the list); every other control that takes the focus starts a group.
struct ControlClass {
  const wchar_t* name;
  DWORD style, exStyle;
};
ControlClass ClassOf(const Form& form, std::size_t i) {
  const FormControl& c = form.controls[i];
  const bool afterRadio = i > 0 && form.controls[i - 1].kind == ControlKind::kRadioButton;
  constexpr DWORD kList = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL;
  switch (c.kind) {
    case ControlKind::kGroupBox:
      return {L"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::kRadioButton:
      return {L"BUTTON",
              static_cast<DWORD>(BS_AUTORADIOBUTTON | (afterRadio ? 0 : WS_GROUP | WS_TABSTOP)), 0};
    case ControlKind::kEdit:
      return {L"EDIT", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kButton:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::kLabel:
      return {L"STATIC", SS_LEFT, 0};
    case ControlKind::kListBox:
      return {L"LISTBOX", kList | (c.multiSelect ? LBS_EXTENDEDSEL : 0) | WS_GROUP | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case ControlKind::kCheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0};
    case ControlKind::kStatusBar:
      return {STATUSCLASSNAMEW, form.resizable ? static_cast<DWORD>(SBARS_SIZEGRIP) : 0, 0};
    case ControlKind::kProgressBar:
      return {PROGRESS_CLASSW, 0, 0};
  }
  return {L"STATIC", 0, 0};
}

HWND Child(HWND parent, const ControlClass& cls, std::string_view text, int id) {
  return ::CreateWindowExW(
      cls.exStyle, cls.name, W(text).c_str(), WS_CHILD | WS_VISIBLE | cls.style, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

// A text's width in a window's font.
int TextWidth(HWND w, const std::wstring& text) {
  HDC dc = ::GetDC(w);
  if (!dc) return 0;
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(w, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(w, dc);
  return size.cx;
}

// Lets a list scroll sideways as far as its widest line, and a little more, so
// that the end of the line is never under the edge.
void FitWidth(HWND list, const std::wstring& line, UINT dpi) {
  const int wanted = TextWidth(list, line) + Scaled(8, dpi);
  if (wanted > static_cast<LONG>(::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0)))
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(wanted), 0);
}

// Every line again, in a font of another size.
void FitWidths(HWND list, UINT dpi) {
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT, 0, 0);
  const auto n = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring line(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1,
                      L'\0');
    line.resize(static_cast<std::size_t>(
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
    FitWidth(list, line, dpi);
  }
}

std::wstring CountText(ProgressBarState p) {
  return std::to_wstring(p.value) + L" / " + std::to_wstring(p.max);
}

void RegisterClasses(WNDPROC form1, WNDPROC form2) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  static const std::wstring class1 = W(MainForm().name), class2 = W(ProgressForm().name);
  if (::GetClassInfoExW(wc.hInstance, class1.c_str(), &wc)) return;
  wc.cbSize = sizeof wc;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  // The program's own icon, resource 1 of tessaly.rc, at the sizes the system
  // draws a caption's and Alt+Tab's icons (shared: nothing has to free it).
  const auto icon = [&](int cx, int cy) {
    return static_cast<HICON>(::LoadImageW(wc.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                           ::GetSystemMetrics(cx), ::GetSystemMetrics(cy),
                                           LR_SHARED));
  };
  wc.hIcon = icon(SM_CXICON, SM_CYICON);
  wc.hIconSm = icon(SM_CXSMICON, SM_CYSMICON);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpfnWndProc = form1;
  wc.lpszClassName = class1.c_str();
  ::RegisterClassExW(&wc);
  wc.lpfnWndProc = form2;
  wc.lpszClassName = class2.c_str();
  ::RegisterClassExW(&wc);
}

// The add dialog's answer: the folder, then each name, or one full path.
std::vector<std::wstring> PickedFiles(const wchar_t* buffer) {
  std::vector<std::wstring> files;
  const std::wstring first = buffer;
  const wchar_t* p = buffer + first.size() + 1;
  if (first.empty()) return files;
  if (*p == L'\0') return {first};
  for (; *p != L'\0'; p += std::wcslen(p) + 1) files.push_back((fs::path(first) / p).wstring());
  return files;
}

}  // namespace

std::wstring OpenDialogFilter() {
  std::wstring filter;
  for (const FileFilter& f : AddDialogFilters()) {
    filter += W(f.description);
    filter += L'\0';
    for (std::size_t i = 0; i < f.patterns.size(); ++i) {
      if (i > 0) filter += L';';
      filter += W(f.patterns[i]);
    }
    filter += L'\0';
  }
  return filter;  // c_str() adds the list's closing NUL
}

DWORD OpenDialogFilterIndex() {
  return static_cast<DWORD>(AddDialogDefaultFilter() + 1);
}

int Scaled(int length, UINT dpi) {
  return ::MulDiv(length, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

FormRect Scaled(FormRect r, UINT dpi) {
  const int x = Scaled(r.x, dpi), y = Scaled(r.y, dpi);
  return {x, y, Scaled(r.x + r.width, dpi) - x, Scaled(r.y + r.height, dpi) - y};
}

UINT DpiOf(HWND window) {
  if (window && Dpi().forWindow) {
    if (const UINT dpi = Dpi().forWindow(window); dpi != 0) return dpi;
  }
  int dpi = 0;
  if (HDC dc = ::GetDC(window)) {
    dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(window, dc);
  }
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

std::vector<FormRect> WorkAreas() {
  std::vector<FormRect> areas;
  ::EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM to) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (::GetMonitorInfoW(monitor, &info)) {
          auto& list = *reinterpret_cast<std::vector<FormRect>*>(to);
          const FormRect work = ToForm(info.rcWork);
          if (info.dwFlags & MONITORINFOF_PRIMARY) {
            list.insert(list.begin(), work);
          } else {
            list.push_back(work);
          }
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&areas));
  return areas;
}

DialogHooks DialogHooks::Real() {
  DialogHooks h;
  h.openFiles = [](HWND owner, const std::wstring& start) {
    // Room for the names of thousands of files; the dialog says when the
    // picked ones do not fit, and nothing is added then.
    std::vector<wchar_t> buffer(1u << 20, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    const std::wstring filter = OpenDialogFilter();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = OpenDialogFilterIndex();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
    ofn.lpstrDefExt = L"jww";
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (::GetOpenFileNameW(&ofn)) return PickedFiles(buffer.data());
    if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
      ::MessageBoxW(owner, L"選択したファイルが多すぎます。何回かに分けて追加して下さい。",
                    L"Tessaly", MB_OK | MB_ICONINFORMATION);
    }
    return std::vector<std::wstring>{};
  };
  h.folder = [](HWND owner, const std::wstring& start) {
    std::optional<std::wstring> picked;
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&dialog))))
      return picked;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(L"保存先フォルダを指定");
    IShellItem* folder = nullptr;
    if (!start.empty() &&
        SUCCEEDED(::SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
      dialog->SetFolder(folder);
      folder->Release();
    }
    IShellItem* result = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&result))) {
      PWSTR path = nullptr;
      if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) picked = path;
      ::CoTaskMemFree(path);
      result->Release();
    }
    dialog->Release();
    return picked;
  };
  h.confirm = [](HWND owner, const std::wstring& question) {
    return ::MessageBoxW(owner, question.c_str(), L"確認", MB_YESNO | MB_ICONQUESTION) == IDYES;
  };
  return h;
}

Win32View::Win32View(WindowModel& model, DialogHooks hooks)
    : model_(model), hooks_(std::move(hooks)) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  RegisterClasses(Form1Proc, Form2Proc);

  form1_.Handle = CreateForm(MainForm(), nullptr, kForm1Ids, form1_.controls, form1_.Dpi);
  form1_.GroupBox1 = Control1("GroupBox1");
  form1_.RadioButton1 = Control1("RadioButton1");
  form1_.RadioButton2 = Control1("RadioButton2");
  form1_.RadioButton3 = Control1("RadioButton3");
  form1_.RadioButton4 = Control1("RadioButton4");
  form1_.Edit1 = Control1("Edit1");
  form1_.Button1 = Control1("Button1");
  form1_.Label1 = Control1("Label1");
  form1_.ListBox1 = Control1("ListBox1");
  form1_.Button2 = Control1("Button2");
  form1_.Button3 = Control1("Button3");
  form1_.Button4 = Control1("Button4");
  form1_.Button5 = Control1("Button5");
  form1_.CheckBox1 = Control1("CheckBox1");
  form1_.StatusBar1 = Control1("StatusBar1");

  // Owned by the main window: above it while it logs, and gone with it.
  form2_.Handle = CreateForm(ProgressForm(), form1_.Handle, kForm2Ids, form2_.controls, form2_.Dpi);
  auto progress = [this](std::string_view name) {
    return form2_.controls[ProgressForm().IndexOf(name)];
  };
  form2_.ListBox1 = progress("ListBox1");
  form2_.StatusBar1 = progress("StatusBar1");
  form2_.ProgressBar1 = progress("ProgressBar1");
  model_.Attach(*this);
}

Win32View::~Win32View() {
  // Gone with the view, not closed by the user: nothing is asked or saved, and
  // the thread's message loop goes on.
  if (form1_.Handle) {
    ::SetWindowLongPtrW(form1_.Handle, GWLP_USERDATA, 0);
    ::DestroyWindow(form1_.Handle);  // TForm2 goes with the window that owns it
  }
  for (const auto& [pixels, font] : fonts_) ::DeleteObject(font);
}

HFONT Win32View::Font(int pixels) {
  for (const auto& [size, font] : fonts_) {
    if (size == pixels) return font;
  }
  fonts_.emplace_back(pixels, UiFont(pixels));
  return fonts_.back().second;
}

HWND Win32View::Control1(std::string_view name) const {
  return form1_.controls.empty() ? nullptr : form1_.controls[MainForm().IndexOf(name)];
}

HWND Win32View::CreateForm(const Form& form, HWND owner, int firstId, std::vector<HWND>& controls,
                           UINT& dpi) {
  const DWORD style = form.resizable ? WS_OVERLAPPEDWINDOW : kFixedStyle;
  // Opened at 96 DPI first: what the screen there has is known once the
  // window is.
  dpi = USER_DEFAULT_SCREEN_DPI;
  const SIZE first = form.resizable ? SIZE{form.width, form.height} : FrameFor(form, style, dpi);
  HWND window = ::CreateWindowExW(0, W(form.name).c_str(), W(form.caption).c_str(), style,
                                  form.left, form.top, first.cx, first.cy, owner, nullptr,
                                  ::GetModuleHandleW(nullptr), this);
  // Creation order is the order of the Tab key.
  controls.clear();
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const FormControl& c = form.controls[i];
    HWND parent = window;
    // A group box passes no notifications on: what it holds are the window's
    // own controls, placed over it.
    if (!c.parent.empty() && form.Control(c.parent).kind != ControlKind::kGroupBox)
      parent = controls[form.IndexOf(c.parent)];
    controls.push_back(Child(parent, ClassOf(form, i), c.caption, firstId + static_cast<int>(i)));
  }
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const FormControl& c = form.controls[i];
    if (c.kind == ControlKind::kProgressBar) {
      const ProgressBarState rest;
      ::SendMessageW(controls[i], PBM_SETRANGE32, 0, rest.max);
      ::SendMessageW(controls[i], PBM_SETPOS, static_cast<WPARAM>(rest.value), 0);
    }
    // A status bar that holds nothing shows one text across.
    const auto holds = [&](const FormControl& o) { return o.parent == c.name; };
    if (c.kind == ControlKind::kStatusBar &&
        std::none_of(form.controls.begin(), form.controls.end(), holds))
      ::SendMessageW(controls[i], SB_SIMPLE, TRUE, 0);
  }
  const UINT screen = DpiOf(window);
  if (screen != dpi) {
    const SIZE size = form.resizable ? SIZE{Scaled(form.width, screen), Scaled(form.height, screen)}
                                     : FrameFor(form, style, screen);
    ::SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    dpi = screen;
  }
  if (!form.resizable) FitInside(window, form, dpi);
  PlaceControls(form, window, controls, dpi);
  return window;
}

void Win32View::PlaceControls(const Form& form, HWND window, const std::vector<HWND>& controls,
                              UINT dpi) {
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const FormControl& c = form.controls[i];
    // A progress bar draws no text.
    if (c.kind != ControlKind::kProgressBar) {
      const int pixels = Scaled(c.fontPixels != 0 ? c.fontPixels : form.fontPixels, dpi);
      ::SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(Font(pixels)), TRUE);
    }
    if (c.align == ControlAlign::kNone) {
      const FormRect at = Scaled(form.InWindow(c), dpi);
      ::MoveWindow(controls[i], at.x, at.y, at.width, at.height, TRUE);
    }
  }
  LayOut(form, window, controls, dpi);
}

// Places the controls aligned to the bottom edge, then those that fill what
// is left, of the window or of the status bar that holds them.
void Win32View::LayOut(const Form& form, HWND window, const std::vector<HWND>& controls, UINT dpi) {
  RECT client{};
  ::GetClientRect(window, &client);
  int bottom = client.bottom;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const FormControl& c = form.controls[i];
    if (!c.parent.empty() || c.align != ControlAlign::kBottom) continue;
    if (c.kind == ControlKind::kStatusBar) {
      // A status bar takes its place, and the height its font needs, by itself.
      ::SendMessageW(controls[i], WM_SIZE, 0, 0);
      const RECT bar = WindowRect(controls[i]);
      bottom -= bar.bottom - bar.top;
    } else {
      const int height = Scaled(c.rect.height, dpi);
      bottom -= height;
      ::MoveWindow(controls[i], 0, bottom, client.right, height, TRUE);
    }
  }
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const FormControl& c = form.controls[i];
    if (c.align != ControlAlign::kClient) continue;
    if (c.parent.empty()) {
      ::MoveWindow(controls[i], 0, 0, client.right, std::max<int>(bottom, 0), TRUE);
      continue;
    }
    // Inside a status bar, after a part that counts the files (room for four
    // figures, or the run's count): clear of the part's edges and of the size
    // grip.
    HWND bar = controls[form.IndexOf(c.parent)];
    const int most = std::max(count_ ? count_->max : 0, 9999);
    const int parts[] = {TextWidth(bar, CountText({most, most})) + Scaled(16, dpi), -1};
    ::SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    RECT part{};
    ::SendMessageW(bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
    RECT inside{};
    ::GetClientRect(bar, &inside);
    const int grip = form.resizable ? Metric(SM_CXVSCROLL, dpi) : 0;
    const int edge = Scaled(2, dpi);
    const int right = std::min<int>(part.right, inside.right - grip) - edge;
    ::MoveWindow(controls[i], part.left + edge, part.top + edge / 2,
                 std::max<int>(right - part.left - edge, 0),
                 std::max<int>(part.bottom - part.top - edge, 0), TRUE);
  }
}

void Win32View::Rescale(HWND window, UINT dpi, const RECT* suggested) {
  const bool main = window == form1_.Handle;
  const Form& form = main ? MainForm() : ProgressForm();
  UINT& current = main ? form1_.Dpi : form2_.Dpi;
  const std::vector<HWND>& controls = main ? form1_.controls : form2_.controls;
  const UINT old = current;
  current = dpi;
  RECT r = suggested ? *suggested : WindowRect(window);
  if (!form.resizable) {
    // The system's suggestion scales the old size, rounded at each move; a
    // fixed window is the description's own size at every DPI.
    const SIZE size = FrameFor(form, static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)), dpi);
    r.right = r.left + size.cx;
    r.bottom = r.top + size.cy;
  } else if (!suggested) {
    r.right = r.left + ::MulDiv(r.right - r.left, static_cast<int>(dpi), static_cast<int>(old));
    r.bottom = r.top + ::MulDiv(r.bottom - r.top, static_cast<int>(dpi), static_cast<int>(old));
  }
  ::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  if (!form.resizable) FitInside(window, form, dpi);
  PlaceControls(form, window, controls, dpi);
  // The caption's icon drawn from the image of the new size, not stretched
  // from the class's, which is of the size the program started at.
  for (const auto [which, cx, cy] : {std::array{ICON_SMALL, SM_CXSMICON, SM_CYSMICON},
                                     std::array{ICON_BIG, SM_CXICON, SM_CYICON}}) {
    const HANDLE icon = ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                     Metric(cx, dpi), Metric(cy, dpi), LR_SHARED);
    if (icon) ::SendMessageW(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
  }
  FitWidths(main ? form1_.ListBox1 : form2_.ListBox1, dpi);
}

LRESULT CALLBACK Win32View::Form1Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    ::SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* view = reinterpret_cast<Win32View*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
  return view ? view->OnForm1(h, msg, wp, lp) : ::DefWindowProcW(h, msg, wp, lp);
}

LRESULT CALLBACK Win32View::Form2Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    ::SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* view = reinterpret_cast<Win32View*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
  return view ? view->OnForm2(h, msg, wp, lp) : ::DefWindowProcW(h, msg, wp, lp);
}

LRESULT Win32View::OnForm1(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(reinterpret_cast<HWND>(lp), LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wp));
      return 0;
    case kRunCommandLine:
      model_.RunCommandLine();
      return 0;
    case WM_DPICHANGED:
      // Moved onto a monitor of another scale, or the scale changed.
      Rescale(h, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_ACTIVATE:
      // The focus comes back to the control that had it.
      if (LOWORD(wp) == WA_INACTIVE) {
        focus1_ = ::GetFocus();
      } else {
        HWND to = focus1_;
        if (!to || !::IsChild(h, to) || !::IsWindowEnabled(to)) {
          to = Control1(DestinationChoices().front().radioButton);
          for (const DestinationChoice& d : DestinationChoices()) {
            if (Checked(Control1(d.radioButton))) to = Control1(d.radioButton);
          }
        }
        ::SetFocus(to);
      }
      return 0;
    case WM_CLOSE:
      // During a run the attempt asks the run to stop, and the window stays.
      if (!model_.FormCloseQuery()) return 0;
      model_.FormClose();
      ::DestroyWindow(h);
      return 0;
    case WM_DESTROY:
      form1_ = TForm1{};
      form2_ = TForm2{};
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(h, msg, wp, lp);
  }
}

LRESULT Win32View::OnForm2(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      LayOut(ProgressForm(), h, form2_.controls, form2_.Dpi);
      return 0;
    case WM_DPICHANGED:
      Rescale(h, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SETFOCUS:
      ::SetFocus(form2_.ListBox1);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL) model_.EscPressed();
      return 0;
    case WM_CLOSE:
      ::ShowWindow(h, SW_HIDE);
      model_.ProgressWindowClosed();
      return 0;
    default:
      return ::DefWindowProcW(h, msg, wp, lp);
  }
}

void Win32View::OnCommand(HWND from, int id, int code) {
  if (id == IDCANCEL) {  // Esc, as the keyboard navigation turns it into a command
    model_.EscPressed();
    return;
  }
  if (!from) return;
  if (from == form1_.Edit1) {
    if (code == EN_CHANGE && !showingChoices_) model_.SetEdit1(U(TextOf(from)));
  } else if (from == form1_.ListBox1) {
    if (code == LBN_DBLCLK) {
      const auto caret = ::SendMessageW(from, LB_GETCARETINDEX, 0, 0);
      model_.ListBox1DblClick(
          caret < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(caret)));
    }
  } else if (code != BN_CLICKED) {
    return;
  } else if (from == form1_.CheckBox1) {
    if (!showingChoices_) model_.SetCheckBox1(Checked(from));
  } else if (from == form1_.Button1) {
    model_.Button1Click();
  } else if (from == form1_.Button2) {
    model_.Button2Click();
  } else if (from == form1_.Button3) {
    DeleteSelected();
  } else if (from == form1_.Button4) {
    model_.Button4Click();
  } else if (from == form1_.Button5) {
    model_.Button5Click();
  } else {
    for (const DestinationChoice& d : DestinationChoices()) {
      if (from == Control1(d.radioButton) && !showingChoices_ && Checked(from))
        model_.SetDestination(d.destination);
    }
  }
}

void Win32View::DeleteSelected() {
  const auto n = ::SendMessageW(form1_.ListBox1, LB_GETSELCOUNT, 0, 0);
  std::vector<int> rows(static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
  if (!rows.empty())
    ::SendMessageW(form1_.ListBox1, LB_GETSELITEMS, rows.size(),
                   reinterpret_cast<LPARAM>(rows.data()));
  model_.Button3Click(std::vector<std::size_t>(rows.begin(), rows.end()));
}

void Win32View::OnDropFiles(HDROP drop) {
  if (model_.AcceptsDrops()) {
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      // Each path's length first, so that a long one is taken whole: a path
      // cut short may name another file.
      const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
      if (length == 0) continue;
      std::wstring path(length + 1, L'\0');
      path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
      if (!path.empty()) paths.push_back(U(path));
    }
    model_.DropFiles(paths);
  }
  ::DragFinish(drop);
}

void Win32View::Start(const std::vector<std::string>& args, int show) {
  model_.FormShow(args);
  ::ShowWindow(form1_.Handle, show);
  ::UpdateWindow(form1_.Handle);
  ::DragAcceptFiles(form1_.Handle, TRUE);
  ::PostMessageW(form1_.Handle, kRunCommandLine, 0, 0);
}

int Win32View::Run() {
  MSG msg;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got < 0) return 1;
    Deliver(msg);
  }
}

void Win32View::Deliver(MSG& msg) {
  // Esc stops a run whichever window has the keyboard.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && model_.Converting()) {
    model_.EscPressed();
    return;
  }
  // The file list takes the keys of a Windows list: Delete removes what is
  // selected, as 削除 does, and Ctrl+A selects every line.
  if (msg.message == WM_KEYDOWN && msg.hwnd == form1_.ListBox1 && msg.hwnd) {
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, alt = ::GetKeyState(VK_MENU) < 0;
    if (msg.wParam == VK_DELETE && !ctrl && !alt) {
      DeleteSelected();
      return;
    }
    if (msg.wParam == 'A' && ctrl && !alt) {
      ::SendMessageW(form1_.ListBox1, LB_SETSEL, TRUE, -1);
      return;
    }
  }
  // Tab, the arrow keys and the mnemonics move between the controls.
  for (HWND form : {form1_.Handle, form2_.Handle}) {
    if (form && ::IsDialogMessageW(form, &msg)) return;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

void Win32View::ShowStatus(const std::string& text) {
  ::SendMessageW(form1_.StatusBar1, SB_SETTEXTW, SB_SIMPLEID,
                 reinterpret_cast<LPARAM>(W(text).c_str()));
  ::UpdateWindow(form1_.StatusBar1);
}

void Win32View::ShowLines(const std::vector<std::string>& lines) {
  HWND list = form1_.ListBox1;
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT, 0, 0);
  for (const auto& l : lines) {
    const std::wstring line = W(l);
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    FitWidth(list, line, form1_.Dpi);
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

void Win32View::ShowChoices() {
  showingChoices_ = true;
  // None checked is a state of its own.
  for (const DestinationChoice& d : DestinationChoices()) {
    ::SendMessageW(Control1(d.radioButton), BM_SETCHECK,
                   d.destination == model_.GetDestination() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  ::SetWindowTextW(form1_.Edit1, W(model_.Edit1()).c_str());
  ::SendMessageW(form1_.CheckBox1, BM_SETCHECK, model_.CheckBox1() ? BST_CHECKED : BST_UNCHECKED,
                 0);
  showingChoices_ = false;
}

void Win32View::ShowRunning(bool running) {
  for (HWND b : {form1_.Button2, form1_.Button3, form1_.Button4}) ::EnableWindow(b, !running);
  // The shell shows that a drop would be refused.
  ::DragAcceptFiles(form1_.Handle, !running);
}

void Win32View::FocusAddButton() {
  ::SetFocus(form1_.Button2);
}

void Win32View::PlaceWindows(const Settings& s) {
  // Saved places are screen pixels, and may be off every monitor now (one
  // taken away, another scale): each is brought onto the screen first.
  const std::vector<FormRect> areas = WorkAreas();
  MoveOnScreen(form1_.Handle, {s.form1Left, s.form1Top, 0, 0}, areas);
  // A size saved on the screen is kept as it was; the description's own (no
  // size saved yet) is at 96 DPI.
  const Form& f2 = ProgressForm();
  FormRect r2{s.form2Left, s.form2Top, s.form2Width, s.form2Height};
  if (r2.width == f2.width && r2.height == f2.height) {
    r2.width = Scaled(f2.width, form2_.Dpi);
    r2.height = Scaled(f2.height, form2_.Dpi);
  }
  MoveOnScreen(form2_.Handle, r2, areas);
}

void Win32View::MoveOnScreen(HWND window, FormRect wanted, const std::vector<FormRect>& areas) {
  // The window's own, which Rescale changes.
  const UINT& dpi = window == form1_.Handle ? form1_.Dpi : form2_.Dpi;
  const UINT before = dpi;
  if (wanted.width <= 0 || wanted.height <= 0) {
    const FormRect now = ToForm(WindowRect(window));
    wanted.width = now.width;
    wanted.height = now.height;
  }
  const FormRect at = FitOnScreen(wanted, areas);
  ::SetWindowPos(window, nullptr, at.x, at.y, at.width, at.height, SWP_NOZORDER | SWP_NOACTIVATE);
  // On a monitor of another scale the window has another size, which must fit
  // too. (A system that scales per monitor has said so by now; an older one
  // says nothing, and has one scale.)
  if (const UINT there = DpiOf(window); there != dpi) Rescale(window, there, nullptr);
  if (dpi == before) return;
  const FormRect placed = ToForm(WindowRect(window));
  const FormRect fitted = FitOnScreen(placed, areas);
  if (fitted != placed)
    ::SetWindowPos(window, nullptr, fitted.x, fitted.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32View::ReadWindows(Settings& s) {
  // A minimised window keeps where it is restored to. That place is kept in
  // the coordinates of the work area, which start beside a taskbar on the left
  // or at the top: back to the screen's.
  auto bounds = [](HWND w) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!::IsIconic(w) || !::GetWindowPlacement(w, &wp)) return WindowRect(w);
    RECT r = wp.rcNormalPosition;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(::MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info))
      ::OffsetRect(&r, info.rcWork.left - info.rcMonitor.left,
                   info.rcWork.top - info.rcMonitor.top);
    return r;
  };
  const RECT r1 = bounds(form1_.Handle), r2 = bounds(form2_.Handle);
  s.form1Left = r1.left;
  s.form1Top = r1.top;
  s.form2Left = r2.left;
  s.form2Top = r2.top;
  s.form2Width = r2.right - r2.left;
  s.form2Height = r2.bottom - r2.top;
}

void Win32View::CloseMainWindow() {
  // Through the message loop, as the close box does: the window is not taken
  // away under the control whose click asked for it.
  ::PostMessageW(form1_.Handle, WM_CLOSE, 0, 0);
}

void Win32View::ShowProgressWindow() {
  ::SendMessageW(form2_.ListBox1, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(form2_.ListBox1, LB_SETHORIZONTALEXTENT, 0, 0);
  const ProgressBarState rest;
  ::SendMessageW(form2_.ProgressBar1, PBM_SETRANGE32, 0, rest.max);
  ::SendMessageW(form2_.ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(rest.value), 0);
  // No count until the run gives one.
  count_.reset();
  ShowCount();
  // The log never hides the main window's status bar, which says how the run
  // ends: the window opens below the main window, or beside it.
  if (::IsWindowVisible(form1_.Handle) && !::IsIconic(form1_.Handle)) {
    const RECT main = WindowRect(form1_.Handle), bar = WindowRect(form1_.StatusBar1);
    const FormRect now = ToForm(WindowRect(form2_.Handle));
    const FormRect clear = KeepClearOf(now, ToForm(main), main.bottom - bar.top, WorkAreas());
    if (clear != now)
      ::SetWindowPos(form2_.Handle, nullptr, clear.x, clear.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::ShowWindow(form2_.Handle, SW_SHOW);
  ::SetWindowPos(form2_.Handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::UpdateWindow(form2_.Handle);
}

void Win32View::AppendLog(const std::string& text) {
  const std::wstring line = W(text);
  const auto at =
      ::SendMessageW(form2_.ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  ::SendMessageW(form2_.ListBox1, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
  FitWidth(form2_.ListBox1, line, form2_.Dpi);
  ::UpdateWindow(form2_.ListBox1);
}

void Win32View::ShowProgress(std::size_t done, std::size_t total) {
  const ProgressBarState p = ProgressBarFor(done, total);
  ::SendMessageW(form2_.ProgressBar1, PBM_SETRANGE32, 0, p.max);
  ::SendMessageW(form2_.ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(p.value), 0);
  const bool wider = !count_ || count_->max != p.max;
  count_ = p;
  // A count of more figures needs a wider part.
  if (wider) LayOut(ProgressForm(), form2_.Handle, form2_.controls, form2_.Dpi);
  ShowCount();
}

void Win32View::ShowCount() {
  const std::wstring text = count_ ? CountText(*count_) : std::wstring();
  ::SendMessageW(form2_.StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
  ::UpdateWindow(form2_.StatusBar1);
}

void Win32View::CloseProgressWindow() {
  ::ShowWindow(form2_.Handle, SW_HIDE);
}

void Win32View::ProcessEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the loop outside the run.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Deliver(msg);
  }
}

std::vector<std::string> Win32View::AskFilesToAdd(const std::string& startFolder) {
  std::vector<std::string> files;
  for (const auto& f : hooks_.openFiles(form1_.Handle, W(startFolder))) files.push_back(U(f));
  return files;
}

std::optional<std::string> Win32View::AskFolder(const std::string& startFolder) {
  const std::optional<std::wstring> folder = hooks_.folder(form1_.Handle, W(startFolder));
  if (!folder || folder->empty()) return std::nullopt;
  return U(*folder);
}

bool Win32View::AskConfirm(const std::string& question) {
  return hooks_.confirm(form1_.Handle, W(question));
}

}  // namespace tessaly::gui

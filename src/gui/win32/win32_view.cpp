#include "gui/win32/win32_view.h"

#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <utility>

#include "io/path_text.h"

namespace tessaly::gui {
namespace fs = std::filesystem;

const wchar_t kOpenDialogFilter[] =
    L"Jww図面ファイル(*.jww)\0*.jww\0"
    L"Jww図形ファイル(*.jws)\0*.jws\0"
    L"Jwwファイル\0*.jww;*.jws\0";
const wchar_t kUiFontFace[] = L"ＭＳ ゴシック";

namespace {

constexpr wchar_t kForm1Class[] = L"TForm1";
constexpr wchar_t kForm2Class[] = L"TForm2";
// Posted once the main window is on the screen: the command-line run.
constexpr UINT kRunCommandLine = WM_APP + 1;

// Control identifiers; 1 and 2 are the keyboard's Enter and Esc.
enum : int {
  kGroupBox1 = 100,
  kRadioButton1,
  kRadioButton2,
  kRadioButton3,
  kRadioButton4,
  kEdit1,
  kButton1,
  kLabel1,
  kListBox1,
  kButton2,
  kButton3,
  kButton4,
  kButton5,
  kCheckBox1,
  kStatusBar1,
  kLogListBox = 200,
  kLogStatusBar,
  kProgressBar1,
};

// The main window: a fixed single border, the system menu and the minimise box.
constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kForm1ClientWidth = 436, kForm1ClientHeight = 300;

std::wstring W(const std::string& utf8) {
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

HFONT UiFont(int pixels) {
  // The character height in pixels, as a negative height asks for.
  return ::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       FIXED_PITCH | FF_MODERN, kUiFontFace);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, int id,
           HFONT font, DWORD exStyle = 0) {
  HWND w = ::CreateWindowExW(
      exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right, r.bottom, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  if (w && font) ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return w;
}

// x, y, width, height.
RECT At(int x, int y, int w, int h) {
  return RECT{x, y, w, h};
}

// Lets a list scroll sideways as far as its widest line.
void FitWidth(HWND list, const std::wstring& line) {
  HDC dc = ::GetDC(list);
  if (!dc) return;
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(list, dc);
  const auto extent = static_cast<LONG>(::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
  if (size.cx + 8 > extent)
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(size.cx + 8), 0);
}

void RegisterClasses(WNDPROC form1, WNDPROC form2) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  if (::GetClassInfoExW(wc.hInstance, kForm1Class, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpfnWndProc = form1;
  wc.lpszClassName = kForm1Class;
  ::RegisterClassExW(&wc);
  wc.lpfnWndProc = form2;
  wc.lpszClassName = kForm2Class;
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

DialogHooks DialogHooks::Real() {
  DialogHooks h;
  h.openFiles = [](HWND owner, const std::wstring& start) {
    // Room for the names of thousands of files; the dialog says when the
    // picked ones do not fit, and nothing is added then.
    std::vector<wchar_t> buffer(1u << 20, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kOpenDialogFilter;
    ofn.nFilterIndex = 1;
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
  font13_ = UiFont(13);
  font16_ = UiFont(16);
  font11_ = UiFont(11);
  CreateForm1();
  CreateForm2();
  model_.Attach(*this);
}

Win32View::~Win32View() {
  // Gone with the view, not closed by the user: nothing is asked or saved, and
  // the thread's message loop goes on.
  if (form1_.Handle) {
    ::SetWindowLongPtrW(form1_.Handle, GWLP_USERDATA, 0);
    ::DestroyWindow(form1_.Handle);  // TForm2 goes with the window that owns it
  }
  for (HFONT f : {font13_, font16_, font11_}) ::DeleteObject(f);
}

void Win32View::CreateForm1() {
  RECT frame{0, 0, kForm1ClientWidth, kForm1ClientHeight};
  ::AdjustWindowRectEx(&frame, kForm1Style, FALSE, 0);
  HWND f = ::CreateWindowExW(0, kForm1Class, L"Tessaly Ver.1.01", kForm1Style, 192, 107,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), this);
  form1_.Handle = f;
  HFONT ui = font13_;
  // Creation order is the order of the Tab key.
  form1_.GroupBox1 =
      Child(f, L"BUTTON", L"保存先(&S)", BS_GROUPBOX, At(8, 4, 420, 74), kGroupBox1, ui);
  form1_.RadioButton1 =
      Child(f, L"BUTTON", L"デスクトップ", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP,
            At(20, 24, 110, 20), kRadioButton1, ui);
  form1_.RadioButton2 = Child(f, L"BUTTON", L"マイドキュメント", BS_AUTORADIOBUTTON,
                              At(132, 24, 132, 20), kRadioButton2, ui);
  form1_.RadioButton3 = Child(f, L"BUTTON", L"元ファイルのフォルダ", BS_AUTORADIOBUTTON,
                              At(266, 24, 156, 20), kRadioButton3, ui);
  form1_.RadioButton4 = Child(f, L"BUTTON", L"指定フォルダ", BS_AUTORADIOBUTTON,
                              At(20, 50, 110, 20), kRadioButton4, ui);
  form1_.Edit1 = Child(f, L"EDIT", L"", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP,
                       At(132, 49, 236, 22), kEdit1, ui, WS_EX_CLIENTEDGE);
  form1_.Button1 = Child(f, L"BUTTON", L"参照", BS_PUSHBUTTON | WS_TABSTOP, At(372, 49, 48, 22),
                         kButton1, font11_);
  form1_.CheckBox1 =
      Child(f, L"BUTTON", L"SXF寸法図形基準点に仮点作図する",
            BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, At(12, 82, 300, 20), kCheckBox1, ui);
  form1_.Label1 =
      Child(f, L"STATIC", L"変換元ファイル一覧", SS_LEFT, At(10, 106, 200, 16), kLabel1, ui);
  form1_.ListBox1 = Child(f, L"LISTBOX", L"",
                          LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL |
                              WS_HSCROLL | WS_TABSTOP | WS_GROUP,
                          At(8, 122, 332, 150), kListBox1, ui, WS_EX_CLIENTEDGE);
  form1_.Button2 =
      Child(f, L"BUTTON", L"追加", BS_PUSHBUTTON | WS_TABSTOP, At(348, 122, 80, 26), kButton2, ui);
  form1_.Button3 =
      Child(f, L"BUTTON", L"削除", BS_PUSHBUTTON | WS_TABSTOP, At(348, 152, 80, 26), kButton3, ui);
  form1_.Button4 = Child(f, L"BUTTON", L"変換(&R)", BS_PUSHBUTTON | WS_TABSTOP,
                         At(348, 196, 80, 40), kButton4, font16_);
  form1_.Button5 = Child(f, L"BUTTON", L"閉じる(&X)", BS_PUSHBUTTON | WS_TABSTOP,
                         At(348, 246, 80, 26), kButton5, ui);
  // Placed by itself along the bottom edge.
  form1_.StatusBar1 = Child(f, STATUSCLASSNAMEW, L"", 0, At(0, 0, 0, 0), kStatusBar1, ui);
  ::SendMessageW(form1_.StatusBar1, SB_SIMPLE, TRUE, 0);
}

void Win32View::CreateForm2() {
  // Owned by the main window: above it while it logs, and gone with it.
  HWND f = ::CreateWindowExW(0, kForm2Class, L"変換処理", WS_OVERLAPPEDWINDOW, 194, 107, 416, 219,
                             form1_.Handle, nullptr, ::GetModuleHandleW(nullptr), this);
  form2_.Handle = f;
  form2_.ListBox1 = Child(f, L"LISTBOX", L"",
                          LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                          At(0, 0, 0, 0), kLogListBox, font13_, WS_EX_CLIENTEDGE);
  form2_.StatusBar1 =
      Child(f, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, At(0, 0, 0, 0), kLogStatusBar, font13_);
  form2_.ProgressBar1 =
      Child(form2_.StatusBar1, PROGRESS_CLASSW, L"", 0, At(0, 0, 0, 0), kProgressBar1, nullptr);
  ::SendMessageW(form2_.ProgressBar1, PBM_SETRANGE32, 0, 1);
  LayOutForm2();
}

void Win32View::LayOutForm2() {
  RECT client{};
  ::GetClientRect(form2_.Handle, &client);
  ::SendMessageW(form2_.StatusBar1, WM_SIZE, 0, 0);
  RECT bar{};
  ::GetWindowRect(form2_.StatusBar1, &bar);
  const int barHeight = bar.bottom - bar.top;
  ::MoveWindow(form2_.ListBox1, 0, 0, client.right, std::max<int>(client.bottom - barHeight, 0),
               TRUE);
  // The bar fills the status bar but for its edges and the size grip.
  RECT inside{};
  ::GetClientRect(form2_.StatusBar1, &inside);
  const int grip = ::GetSystemMetrics(SM_CXVSCROLL);
  ::MoveWindow(form2_.ProgressBar1, 2, 3, std::max<int>(inside.right - grip - 4, 0),
               std::max<int>(inside.bottom - 5, 0), TRUE);
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
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wp));
      return 0;
    case kRunCommandLine:
      model_.RunCommandLine();
      return 0;
    case WM_ACTIVATE:
      // The focus comes back to the control that had it.
      if (LOWORD(wp) == WA_INACTIVE) {
        focus1_ = ::GetFocus();
      } else {
        HWND to = focus1_;
        if (!to || !::IsChild(h, to) || !::IsWindowEnabled(to)) {
          to = form1_.RadioButton1;
          for (HWND r : {form1_.RadioButton1, form1_.RadioButton2, form1_.RadioButton3,
                         form1_.RadioButton4}) {
            if (Checked(r)) to = r;
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
      LayOutForm2();
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

void Win32View::OnCommand(int id, int code) {
  switch (id) {
    case IDCANCEL:  // Esc, as the keyboard navigation turns it into a command
      model_.EscPressed();
      break;
    case kRadioButton1:
    case kRadioButton2:
    case kRadioButton3:
    case kRadioButton4: {
      const HWND radios[] = {form1_.RadioButton1, form1_.RadioButton2, form1_.RadioButton3,
                             form1_.RadioButton4};
      if (code == BN_CLICKED && !showingChoices_ && Checked(radios[id - kRadioButton1]))
        model_.SetDestination(static_cast<Destination>(id - kRadioButton1 + 1));
      break;
    }
    case kEdit1:
      if (code == EN_CHANGE && !showingChoices_) model_.SetEdit1(U(TextOf(form1_.Edit1)));
      break;
    case kCheckBox1:
      if (code == BN_CLICKED && !showingChoices_) model_.SetCheckBox1(Checked(form1_.CheckBox1));
      break;
    case kButton1:
      if (code == BN_CLICKED) model_.Button1Click();
      break;
    case kButton2:
      if (code == BN_CLICKED) model_.Button2Click();
      break;
    case kButton3:
      if (code == BN_CLICKED) {
        const auto n = ::SendMessageW(form1_.ListBox1, LB_GETSELCOUNT, 0, 0);
        std::vector<int> rows(static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
        if (!rows.empty())
          ::SendMessageW(form1_.ListBox1, LB_GETSELITEMS, rows.size(),
                         reinterpret_cast<LPARAM>(rows.data()));
        model_.Button3Click(std::vector<std::size_t>(rows.begin(), rows.end()));
      }
      break;
    case kButton4:
      if (code == BN_CLICKED) model_.Button4Click();
      break;
    case kButton5:
      if (code == BN_CLICKED) model_.Button5Click();
      break;
    case kListBox1:
      if (code == LBN_DBLCLK) {
        const auto caret = ::SendMessageW(form1_.ListBox1, LB_GETCARETINDEX, 0, 0);
        model_.ListBox1DblClick(
            caret < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(caret)));
      }
      break;
    default:
      break;
  }
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
    FitWidth(list, line);
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

void Win32View::ShowChoices() {
  showingChoices_ = true;
  const int chosen = static_cast<int>(model_.GetDestination());
  const HWND radios[] = {form1_.RadioButton1, form1_.RadioButton2, form1_.RadioButton3,
                         form1_.RadioButton4};
  // None checked is a state of its own.
  for (int i = 0; i < 4; ++i)
    ::SendMessageW(radios[i], BM_SETCHECK, i + 1 == chosen ? BST_CHECKED : BST_UNCHECKED, 0);
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
  ::SetWindowPos(form1_.Handle, nullptr, s.form1Left, s.form1Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(form2_.Handle, nullptr, s.form2Left, s.form2Top, s.form2Width, s.form2Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32View::ReadWindows(Settings& s) {
  // A minimised window keeps where it is restored to.
  auto bounds = [](HWND w) {
    RECT r{};
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (::IsIconic(w) && ::GetWindowPlacement(w, &wp)) {
      r = wp.rcNormalPosition;
    } else {
      ::GetWindowRect(w, &r);
    }
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
  ::SendMessageW(form2_.ProgressBar1, PBM_SETRANGE32, 0, 1);
  ::SendMessageW(form2_.ProgressBar1, PBM_SETPOS, 0, 0);
  ::ShowWindow(form2_.Handle, SW_SHOW);
  ::SetWindowPos(form2_.Handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::UpdateWindow(form2_.Handle);
}

void Win32View::AppendLog(const std::string& text) {
  const std::wstring line = W(text);
  const auto at =
      ::SendMessageW(form2_.ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  ::SendMessageW(form2_.ListBox1, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
  FitWidth(form2_.ListBox1, line);
  ::UpdateWindow(form2_.ListBox1);
}

void Win32View::ShowProgress(std::size_t done, std::size_t total) {
  // An empty list's run is shown as done, not as a bar of no length.
  const auto max = static_cast<LPARAM>(std::max<std::size_t>(total, 1));
  ::SendMessageW(form2_.ProgressBar1, PBM_SETRANGE32, 0, max);
  ::SendMessageW(form2_.ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(total == 0 ? 1 : done), 0);
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

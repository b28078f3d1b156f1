// A picture of the real main window on Windows for the README: the window with
// its caption and a list of drawings, as the screen shows it, saved as PNG.
//
//   tessaly-screenshot.exe OUTPUT.png EXAMPLES_DIR
//
// Run under Wine with a display (tests/win32/run_under_wine.sh --screenshots).
// The drawings are copies of the examples in C:\tessaly-demo, removed at the
// end; nothing else is touched.
// clang-format off
#include <windows.h>  // before the other system headers, which build on it
// clang-format on
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/window_model.h"
#include "gui/win32/win32_platform.h"
#include "gui/win32/win32_view.h"
#include "io/path_text.h"

namespace fs = std::filesystem;
using namespace tessaly;

namespace {

void Pump(gui::Win32View& view) {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) view.Deliver(msg);
}

// The whole window as the screen shows it, with its caption and the program's
// icon in it (the frame is Wine's drawing of it, not Windows').
HBITMAP Grab(HWND window, SIZE& size) {
  RECT r{};
  ::GetWindowRect(window, &r);
  size = {r.right - r.left, r.bottom - r.top};
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size.cx, size.cy);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::BitBlt(dc, 0, 0, size.cx, size.cy, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return bitmap;
}

bool SavePng(HBITMAP bitmap, SIZE size, const fs::path& file) {
  IWICImagingFactory* factory = nullptr;
  IWICBitmap* source = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const bool ok =
      SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&factory))) &&
      SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &source)) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
      SUCCEEDED(frame->Initialize(nullptr)) &&
      SUCCEEDED(frame->SetSize(static_cast<UINT>(size.cx), static_cast<UINT>(size.cy))) &&
      SUCCEEDED(frame->SetPixelFormat(&format)) && SUCCEEDED(frame->WriteSource(source, nullptr)) &&
      SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  if (frame) frame->Release();
  if (encoder) encoder->Release();
  if (stream) stream->Release();
  if (source) source->Release();
  if (factory) factory->Release();
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tessaly-screenshot OUTPUT.png EXAMPLES_DIR\n");
    return 2;
  }
  const fs::path out = argv[1], examples = argv[2];
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  // A short folder of its own, so that the paths in the picture read well.
  std::error_code ec;
  const fs::path root = L"C:\\tessaly-demo";
  fs::remove_all(root, ec);
  const fs::path drawings = root / L"図面" / L"3階平面図";
  const fs::path converted = root / L"変換済み";
  fs::create_directories(drawings);
  fs::create_directories(converted);
  std::vector<std::wstring> files;
  for (const auto& e : fs::recursive_directory_iterator(examples)) {
    const std::string ext = UpperExtension(e.path());
    if (!e.is_regular_file() || (ext != ".JWW" && ext != ".JWS")) continue;
    const fs::path copy = drawings / e.path().filename();
    fs::copy_file(e.path(), copy, fs::copy_options::overwrite_existing);
    files.push_back(copy.wstring());
  }
  std::sort(files.begin(), files.end());

  gui::Win32Platform platform(root / L"tessaly.exe");
  Settings s;
  s.destination = Destination::kChosenFolder;
  s.edit1 = WithSeparator(PathToUtf8(converted));
  SaveSettings(platform.SettingsFile(), s, "");

  int status = 1;
  {
    WindowModel model(platform);
    gui::DialogHooks hooks;
    hooks.openFiles = [&](HWND, const std::wstring&) { return files; };
    hooks.folder = [](HWND, const std::wstring&) { return std::optional<std::wstring>(); };
    hooks.confirm = [](HWND, const std::wstring&) { return false; };
    gui::Win32View view(model, hooks);
    view.Start({});
    Pump(view);
    ::SendMessageW(view.Form1().Button2, BM_CLICK, 0, 0);
    ::SendMessageW(view.Form1().ListBox1, LB_SETSEL, TRUE, 2);
    ::SetFocus(view.Form1().ListBox1);
    // Everything painted before the screen is read.
    ::RedrawWindow(view.Form1().Handle, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 20; ++i) {
      Pump(view);
      ::Sleep(25);
    }
    SIZE size{};
    HBITMAP picture = Grab(view.Form1().Handle, size);
    if (SavePng(picture, size, out)) status = 0;
    ::DeleteObject(picture);
    std::printf("%s %ls\n", status == 0 ? "wrote" : "could not write", out.c_str());
  }
  fs::remove_all(root, ec);
  ::CoUninitialize();
  return status;
}

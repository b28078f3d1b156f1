// tessaly.exe: the desktop program on Windows. Files given as arguments are
// converted at once, without asking, and the program closes.
// clang-format off
#include <windows.h>  // before the other system headers, which build on it
// clang-format on
#include <objbase.h>
#include <shellapi.h>

#include "app/window_model.h"
#include "gui/win32/win32_platform.h"
#include "gui/win32/win32_view.h"
#include "io/path_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // The shell's dialogs and ShellExecuteW want a single-threaded apartment.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  // The arguments as the system has them, in UTF-16.
  std::vector<std::string> args;
  int argc = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i)
      args.push_back(tessaly::PathToUtf8(std::filesystem::path(argv[i])));
    ::LocalFree(argv);
  }

  tessaly::gui::Win32Platform platform(tessaly::gui::ExecutablePath());
  tessaly::WindowModel model(platform);
  int status = 0;
  {
    tessaly::gui::Win32View view(model, tessaly::gui::DialogHooks::Real());
    platform.SetOwner(view.Form1().Handle);
    view.Start(args, show);
    status = view.Run();
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return status != 0 ? status : model.ExitStatus();
}

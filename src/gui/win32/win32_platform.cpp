#include "gui/win32/win32_platform.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>

namespace tessaly::gui {
namespace fs = std::filesystem;
namespace {

// Missing folders are named all the same: the run says that the folder is not
// there rather than that the desktop names none.
fs::path KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  fs::path folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path)
    folder = fs::path(path);
  ::CoTaskMemFree(path);
  return folder;
}

}  // namespace

fs::path ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return fs::path(buf);
    }
    buf.resize(buf.size() * 2);
  }
}

Win32Platform::Win32Platform(fs::path executable) : executable_(std::move(executable)) {}

fs::path Win32Platform::DesktopFolder() {
  return KnownFolder(FOLDERID_Desktop);
}

fs::path Win32Platform::DocumentsFolder() {
  return KnownFolder(FOLDERID_Documents);
}

fs::path Win32Platform::DefaultFolder() {
  return executable_.parent_path();
}

fs::path Win32Platform::SettingsFile() {
  // Beside the program, named after it: X.exe keeps its settings in X.dat.
  fs::path settings = executable_;
  return settings.replace_extension(L".dat");
}

bool Win32Platform::OpenWithAssociatedProgram(const fs::path& file) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(owner_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace tessaly::gui

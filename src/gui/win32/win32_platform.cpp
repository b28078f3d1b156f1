#include "gui/win32/win32_platform.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "io/code_page.h"

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

// Converts the text line by line when it cannot be converted whole: a line
// with a character the other side has no form for is left empty, so that a
// folder is forgotten rather than remembered as another one.
template <typename Convert>
std::string ByLines(const std::string& text, Convert convert) {
  std::string out;
  if (convert(text, out)) return out;
  out.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string_view line(text.data() + start, end - start);
    std::string_view ending;
    const std::size_t body = line.find_first_of("\r\n");
    if (body != std::string_view::npos) {
      ending = line.substr(body);
      line = line.substr(0, body);
    }
    std::string converted;
    if (convert(line, converted)) out += converted;
    out += ending;
    start = end;
  }
  return out;
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

std::string Win32Platform::FromSystemCodePage(const std::string& text) {
  return ByLines(text, [](std::string_view in, std::string& out) { return Cp932ToUtf8(in, out); });
}

std::string Win32Platform::ToSystemCodePage(const std::string& text) {
  return ByLines(text, [](std::string_view in, std::string& out) { return Utf8ToCp932(in, out); });
}

}  // namespace tessaly::gui

#include "io/code_page.h"

#include <windows.h>

#include "io/path_text.h"
#include "io/win32/system_text.h"

namespace tessaly {
namespace {

constexpr UINT kShiftJis = 932;

bool Decode(const char* bytes, std::size_t n, std::wstring& out) {
  out.clear();
  if (n == 0) return true;
  const int len = ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(n),
                                        nullptr, 0);
  if (len <= 0) return false;
  out.resize(static_cast<std::size_t>(len));
  return ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(n),
                               out.data(), len) == len;
}

bool Encode(const std::wstring& w, std::string& out) {
  out.clear();
  if (w.empty()) return true;
  // No best fit: a character without a Shift-JIS form fails instead of
  // turning into a look-alike.
  BOOL usedDefault = FALSE;
  const int len = ::WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, w.data(),
                                        static_cast<int>(w.size()), nullptr, 0, nullptr, &usedDefault);
  if (len <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(len));
  return ::WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()),
                               out.data(), len, nullptr, &usedDefault) == len &&
         !usedDefault;
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& out) {
  std::wstring w;
  if (!Decode(cp932.data(), cp932.size(), w)) return false;
  out = win32::WideToUtf8(w.data(), w.size());
  return true;
}

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
  out.clear();
  if (utf8.empty()) return true;
  const int n = static_cast<int>(utf8.size());
  const int len = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, nullptr, 0);
  if (len <= 0) return false;
  std::wstring w(static_cast<std::size_t>(len), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, w.data(), len) != len)
    return false;
  return Encode(w, out);
}

bool AppendCp932AsUtf8(const char* character, std::size_t n, std::string& out) {
  std::wstring w;
  if (!Decode(character, n, w) || w.empty()) return false;
  out += win32::WideToUtf8(w.data(), w.size());
  return true;
}

std::filesystem::path PathFromShiftJisName(std::string_view bytes) {
  // Names that are not Shift-JIS have no file: an empty path, which nothing opens.
  std::wstring w;
  if (!Decode(bytes.data(), bytes.size(), w)) return {};
  return std::filesystem::path(w);
}

}  // namespace tessaly

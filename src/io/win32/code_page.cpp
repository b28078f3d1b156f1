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

}  // namespace

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

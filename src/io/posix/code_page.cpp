#include "io/code_page.h"

#include <iconv.h>

#include <cerrno>

#include "io/path_text.h"

namespace tessaly {
namespace {

// The C library's converter, opened once per thread.
class Cp932 {
 public:
  Cp932() : cd_(iconv_open("UTF-8", "CP932")) {}
  ~Cp932() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Cp932(const Cp932&) = delete;
  Cp932& operator=(const Cp932&) = delete;

  bool Convert(const char* in, std::size_t n, std::string& out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    char buf[8];
    char* src = const_cast<char*>(in);
    char* dst = buf;
    std::size_t inLeft = n, outLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &src, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
      return false;
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
  }

 private:
  iconv_t cd_;
};

// A whole text through a converter opened for it.
bool ConvertAll(const char* to, const char* from, std::string_view in, std::string& out) {
  out.clear();
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  bool ok = true;
  char buf[256];
  while (ok && inLeft > 0) {
    char* dst = buf;
    std::size_t outLeft = sizeof buf;
    if (iconv(cd, &src, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1) && errno != E2BIG)
      ok = false;
    out.append(buf, static_cast<std::size_t>(dst - buf));
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& out) {
  return ConvertAll("UTF-8", "CP932", cp932, out);
}

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
  return ConvertAll("CP932", "UTF-8", utf8, out);
}

bool AppendCp932AsUtf8(const char* character, std::size_t n, std::string& out) {
  static thread_local Cp932 cp932;
  return cp932.Convert(character, n, out);
}

}  // namespace tessaly

namespace tessaly {

std::filesystem::path PathFromShiftJisName(std::string_view bytes) {
  // File names are bytes here: the drawing's own bytes name the file.
  return std::filesystem::path(std::string(bytes));
}

}  // namespace tessaly

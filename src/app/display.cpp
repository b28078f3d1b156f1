#include "app/display.h"

#include <cstdio>

#include "io/code_page.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace {

std::string Escape(unsigned value, bool unit) {
  char buf[12];
  std::snprintf(buf, sizeof buf, unit ? "\\u%04X" : "\\x%02X", value);
  return buf;
}

}  // namespace

std::string ToDisplay(const JString& text) {
  std::string out;
  if (text.wide) {
    for (std::size_t i = 0; i < text.units(); ++i) {
      std::uint16_t u = text.unit(i);
      JString one;
      one.wide = true;
      one.appendUnit(u);
      std::size_t used = 1;
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.units()) {
        one.appendUnit(text.unit(i + 1));
        used = 2;
      }
      std::string utf8;
      if (u >= 0x20 && u != 0x7F && Utf16ToUtf8(one, utf8)) {
        out += utf8;
        i += used - 1;
      } else {
        out += Escape(u, true);
      }
    }
    return out;
  }
  const std::string& s = text.bytes;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = (IsLeadByte(b) && i + 1 < s.size()) ? 2 : 1;
    if (b < 0x20 || b == 0x7F) {
      out += Escape(b, false);
    } else if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (!AppendCp932AsUtf8(s.data() + i, n, out)) {
      for (std::size_t k = 0; k < n; ++k) out += Escape(static_cast<unsigned char>(s[i + k]), false);
    }
    i += n;
  }
  return out;
}

}  // namespace tessaly

#include "text/text_helpers.h"

#include <cstring>

namespace tessaly {
namespace {

constexpr bool IsControl(unsigned char b) { return b < 0x20; }

template <typename Keep>
JString FilterUnits(const JString& text, Keep keep) {
  JString out;
  out.wide = true;
  out.bytes.reserve(text.bytes.size());
  for (std::size_t i = 0; i < text.units(); ++i) {
    std::uint16_t u = text.unit(i);
    if (keep(u)) out.appendUnit(u);
  }
  return out;
}

}  // namespace

JString JString::Ascii(std::string_view ascii, bool wide) {
  JString s;
  s.wide = wide;
  if (!wide) {
    s.bytes = std::string(ascii);
  } else {
    for (char c : ascii) s.appendUnit(static_cast<unsigned char>(c));
  }
  return s;
}

std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b)) {
      std::string_view ch = text.substr(i, 2);
      if (ch != "\x81\x40") out.append(ch);
      i += 2;
    } else {
      if (b != ' ' && !IsControl(b)) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  return out;
}

JString RemoveSpaces(const JString& text) {
  if (!text.wide) return JString(RemoveSpaces(text.bytes), false);
  return FilterUnits(text, [](std::uint16_t u) { return u != 0x20 && u != 0x3000 && u >= 0x20; });
}

bool IsBlank(const JString& text) {
  if (text.wide) {
    for (std::size_t i = 0; i < text.units(); ++i) {
      const std::uint16_t u = text.unit(i);
      if (u != 0x20 && u != 0x3000 && u >= 0x20) return false;
    }
    return true;
  }
  const std::string& s = text.bytes;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(b)) {
      if (std::string_view(s).substr(i, 2) != "\x81\x40") return false;
      i += 2;
    } else {
      if (b != ' ' && !IsControl(b)) return false;
      ++i;
    }
  }
  return true;
}

std::string SanitizeForWrite(std::string_view text) {
  if (text.empty()) return {};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b)) {
      out.append(text.substr(i, 2));
      i += 2;
    } else if (b == '^' && i + 1 < text.size() && text[i + 1] == 'm') {
      i += 2;
    } else {
      if (!IsControl(b)) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  if (out.empty()) out = " ";
  return out;
}

JString SanitizeForWrite(const JString& text) {
  if (!text.wide) return JString(SanitizeForWrite(text.bytes), false);
  if (text.empty()) return text;
  JString out;
  out.wide = true;
  out.bytes.reserve(text.bytes.size());
  const std::size_t n = text.units();
  for (std::size_t i = 0; i < n;) {
    std::uint16_t u = text.unit(i);
    if (u == '^' && i + 1 < n && text.unit(i + 1) == 'm') {
      i += 2;
      continue;
    }
    if (u >= 0x20) out.appendUnit(u);
    ++i;
  }
  if (out.empty()) out.appendUnit(' ');
  return out;
}

void SanitizeOnReadInPlace(JString& text) {
  std::string& s = text.bytes;
  std::size_t out = 0;
  if (text.wide) {
    const std::size_t n = s.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
      if (text.unit(i) >= 0x20) {
        s[out++] = s[2 * i];
        s[out++] = s[2 * i + 1];
      }
    }
  } else {
    const std::size_t n = s.size();
    // Most strings need nothing dropped: the bytes before the first that goes
    // stay where they are.
    std::size_t i = 0;
    while (i < n) {
      auto b = static_cast<unsigned char>(s[i]);
      if (IsLeadByte(b)) {
        if (i + 1 >= n) break;
        i += 2;
      } else if (!IsControl(b)) {
        ++i;
      } else {
        break;
      }
    }
    if (i >= n) return;
    out = i;
    while (i < n) {
      auto b = static_cast<unsigned char>(s[i]);
      if (IsLeadByte(b)) {
        if (i + 1 >= n) break;  // a lone lead byte at the end is dropped
        s[out++] = s[i];
        s[out++] = s[i + 1];
        i += 2;
      } else {
        if (!IsControl(b)) s[out++] = s[i];
        ++i;
      }
    }
  }
  s.resize(out);
}

bool IsCleanForWrite(const JString& text) {
  const std::string& s = text.bytes;
  if (text.wide) {
    const std::size_t n = s.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint16_t u = text.unit(i);
      if (u < 0x20 || (u == '^' && i + 1 < n && text.unit(i + 1) == 'm')) return false;
    }
    return true;
  }
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(b)) {
      i += 2;
    } else {
      if (IsControl(b) || (b == '^' && i + 1 < s.size() && s[i + 1] == 'm')) return false;
      ++i;
    }
  }
  return true;
}

void CutShiftJis(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return;
  std::size_t i = 0;
  while (i < limit) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  text.resize(std::min(i, text.size()));
}

std::vector<std::uint32_t> DecodeForMatch(const JString& text, bool asciiUpper) {
  auto up = [asciiUpper](std::uint32_t c) -> std::uint32_t {
    return (asciiUpper && c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
  };
  std::vector<std::uint32_t> out;
  out.reserve(text.units());
  if (text.wide) {
    for (std::size_t i = 0; i < text.units(); ++i) out.push_back(up(text.unit(i)));
    return out;
  }
  const std::string& s = text.bytes;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(b) && i + 1 < s.size()) {
      out.push_back(0x20000u | (static_cast<std::uint32_t>(b) << 8) | static_cast<unsigned char>(s[i + 1]));
      i += 2;
    } else if (b >= 0x80) {
      out.push_back(0x10000u | b);
      ++i;
    } else {
      out.push_back(up(b));
      ++i;
    }
  }
  return out;
}

bool Utf16ToUtf8(const JString& wide, std::string& out) {
  out.clear();
  const std::size_t n = wide.units();
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t c = wide.unit(i);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= n) return false;
      std::uint32_t lo = wide.unit(i + 1);
      if (lo < 0xDC00 || lo > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return true;
}

}  // namespace tessaly

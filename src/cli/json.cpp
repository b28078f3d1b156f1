#include "cli/json.h"


#include "io/path_text.h"

namespace tessaly::cli {
namespace fs = std::filesystem;
namespace {

// The length of the UTF-8 character at s[i], or 0 when the bytes there are not
// one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  std::size_t n;
  std::uint32_t v;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, v = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, v = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, v = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF))) || (n == 4 && (v < 0x10000 || v > 0x10FFFF)))
    return 0;
  return n;
}

const char kHex[] = "0123456789abcdef";

void Quote(std::string& out, std::string_view utf8) {
  out += '"';
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = Utf8Length(utf8, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(utf8, i, n);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
    i += n;
  }
  out += '"';
}

// A path's units as UTF-8 text, U+FFFD in place of what is not text (bytes
// that are not UTF-8; on Windows a UTF-16 surrogate without its other half);
// false when there was any.
template <typename Units>
bool AsText(const Units& units, std::string& text) {
  if constexpr (sizeof(typename Units::value_type) == 1) {
    text.assign(units.begin(), units.end());  // Quote puts U+FFFD in
    for (std::size_t i = 0, n = 0; i < units.size(); i += n) {
      if ((n = Utf8Length(units, i)) == 0) return false;
    }
    return true;
  } else {
    const auto surrogate = [&units](std::size_t i, std::uint32_t low) {
      return i < units.size() && static_cast<std::uint32_t>(units[i]) >= low &&
             static_cast<std::uint32_t>(units[i]) <= low + 0x3FF;
    };
    Units whole;
    bool exact = true;
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (surrogate(i, 0xD800) && surrogate(i + 1, 0xDC00)) {
        whole += units[i];
        whole += units[++i];
      } else if (surrogate(i, 0xD800) || surrogate(i, 0xDC00)) {
        whole += static_cast<typename Units::value_type>(0xFFFD);
        exact = false;
      } else {
        whole += units[i];
      }
    }
    text = PathToUtf8(fs::path(whole));
    return exact;
  }
}

// The units' bytes in hexadecimal; UTF-16 units little-endian, as Windows
// keeps them.
template <typename Units>
std::string Hex(const Units& units) {
  std::string hex;
  for (const auto u : units) {
    for (std::size_t k = 0; k < sizeof u; ++k) {
      const unsigned byte = (static_cast<std::uint32_t>(u) >> (8 * k)) & 0xFF;
      hex += kHex[byte >> 4];
      hex += kHex[byte & 15];
    }
  }
  return hex;
}

// "key":"path", and "key_bytes":"hex" beside it when the path is not Unicode
// text (its text then has U+FFFD in place of what is not); null for an empty
// path.
void Path(std::string& out, std::string_view key, const fs::path& p) {
  out += ",\"";
  out += key;
  out += "\":";
  if (p.empty()) {
    out += "null";
    return;
  }
  std::string text;
  const bool exact = AsText(p.native(), text);
  Quote(out, text);
  if (exact) return;
  out += ",\"";
  out += key;
  out += "_bytes\":\"";
  out += Hex(p.native());
  out += '"';
}

void Number(std::string& out, std::string_view key, long long n) {
  out += ",\"";
  out += key;
  out += "\":";
  out += std::to_string(n);
}

void Text(std::string& out, std::string_view key, std::string_view value) {
  out += ",\"";
  out += key;
  out += "\":";
  if (value.empty()) {
    out += "null";
  } else {
    Quote(out, value);
  }
}

void Bool(std::string& out, std::string_view key, bool value) {
  out += ",\"";
  out += key;
  out += "\":";
  out += value ? "true" : "false";
}

std::string_view OutcomeName(const FileResult& r) {
  switch (r.outcome) {
    case FileOutcome::kConverted: return r.planned ? "planned" : "converted";
    case FileOutcome::kNothingToDissolve: return r.planned ? "planned" : "nothing-to-dissolve";
    case FileOutcome::kSkipped: return "skipped";
    case FileOutcome::kFailed: return "failed";
  }
  return "failed";
}

}  // namespace

std::string JsonText(std::string_view utf8) {
  std::string out;
  Quote(out, utf8);
  return out;
}

std::string FileJson(const FileResult& r, Language language) {
  std::string out = "{\"type\":\"file\"";
  Path(out, "source", r.source);
  Path(out, "target", r.outcome == FileOutcome::kSkipped ? fs::path() : r.target);
  Path(out, "backup", r.backup);
  Text(out, "outcome", OutcomeName(r));
  Bool(out, "written", r.written);
  Number(out, "dimensions", r.dimensions);
  Number(out, "lines", r.lines);
  Number(out, "texts", r.texts);
  Number(out, "points", r.points);
  Text(out, "format", r.format);
  if (r.version != 0) {
    Number(out, "version", r.version);
  } else {
    out += ",\"version\":null";
  }
  const bool why = r.failure.code != FailureCode::kNone;
  Text(out, "code", why ? CodeName(r.failure.code) : std::string_view());
  Text(out, "reason", why ? Say(r.failure.message, language) : std::string());
  out += '}';
  return out;
}

void JsonTotals::Count(const FileResult& r) {
  ++files;
  switch (r.outcome) {
    case FileOutcome::kConverted:
    case FileOutcome::kNothingToDissolve:
      if (r.planned) {
        ++planned;
      } else if (r.outcome == FileOutcome::kConverted) {
        ++converted;
      } else {
        ++nothingToDissolve;
      }
      break;
    case FileOutcome::kSkipped: ++skipped; break;
    case FileOutcome::kFailed: ++failed; break;
  }
  dimensions += r.dimensions;
  lines += r.lines;
  texts += r.texts;
  points += r.points;
}

std::string SummaryJson(const JsonTotals& t) {
  std::string out = "{\"type\":\"summary\"";
  Number(out, "files", static_cast<long long>(t.files));
  Number(out, "converted", static_cast<long long>(t.converted));
  Number(out, "nothing_to_dissolve", static_cast<long long>(t.nothingToDissolve));
  Number(out, "planned", static_cast<long long>(t.planned));
  Number(out, "skipped", static_cast<long long>(t.skipped));
  Number(out, "failed", static_cast<long long>(t.failed));
  Number(out, "not_taken_up", static_cast<long long>(t.notTakenUp));
  Number(out, "dimensions", t.dimensions);
  Number(out, "lines", t.lines);
  Number(out, "texts", t.texts);
  Number(out, "points", t.points);
  Bool(out, "dry_run", t.dryRun);
  Bool(out, "stopped", t.stopped);
  Number(out, "exit_status", t.exitStatus);
  out += '}';
  return out;
}

}  // namespace tessaly::cli

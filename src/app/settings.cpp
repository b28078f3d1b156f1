#include "app/settings.h"

#include <charconv>
#include <fstream>
#include <system_error>
#include <vector>

#include "io/code_page.h"
#include "io/files.h"
#include "io/leftovers.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";  // U+3000

// Code page 932 text converted whole, or line by line when it cannot be; the
// line ends stay as they were.
template <typename Convert>
std::string ByLines(std::string_view text, Convert convert) {
  std::string out;
  if (convert(text, out)) return out;
  out.clear();
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
    std::size_t body = end;
    if (body > 0 && text[body - 1] == '\n') --body;
    if (body > 0 && text[body - 1] == '\r') --body;
    std::string converted;
    if (convert(text.substr(0, body), converted)) out += converted;
    out += text.substr(body, end - body);
    text.remove_prefix(end);
  }
  return out;
}

// The text without spaces, full-width spaces and control characters, ASCII
// upper-cased. Multi-byte UTF-8 sequences never contain bytes below 0x80, so
// the byte tests cannot cut a character.
std::string Normalised(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, kFullWidthSpace.size()) == kFullWidthSpace) {
      i += kFullWidthSpace.size();
      continue;
    }
    const auto b = static_cast<unsigned char>(text[i++]);
    if (b <= 0x20) continue;
    out.push_back(b >= 'a' && b <= 'z' ? static_cast<char>(b - 'a' + 'A') : static_cast<char>(b));
  }
  return out;
}

// A text value on one line: a line end in it would shift every later line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r' && c != '\n') out.push_back(c);
  }
  return out;
}

}  // namespace

bool TextToBool(std::string_view text) {
  static constexpr std::string_view kTrue[] = {
      "T",
      "TR",
      "TRU",
      "TRUE",
      "1",
      "ON",
      "\xEF\xBC\x91",  // full-width one
      "\xE2\x97\x8B",  // white circle
      "\xE7\x9C\x9F",  // "true"
      "\xE6\xAD\xA3",  // "correct"
  };
  const std::string t = Normalised(text);
  for (auto k : kTrue) {
    if (t == k) return true;
  }
  return false;
}

std::string BoolToText(bool value) {
  return value ? "1" : "0";
}

std::int32_t TextToInt(std::string_view text) {
  if (text.empty()) return 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') {  // from_chars takes a minus sign only
    ++first;
    if (first == last || *first == '-') return 0;
  }
  std::int32_t value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return 0;
  return value;
}

void ApplySettingsText(std::string_view text, Settings& s) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  // A shorter file reads its missing lines as empty ones.
  lines.resize(13);

  s.form1Left = TextToInt(lines[0]);
  s.form1Top = TextToInt(lines[1]);
  s.form2Left = TextToInt(lines[2]);
  s.form2Top = TextToInt(lines[3]);
  s.form2Width = TextToInt(lines[4]);
  s.form2Height = TextToInt(lines[5]);
  // The four radio buttons form one group, set one after the other: selecting
  // one deselects the others, deselecting one leaves the others alone. So the
  // last "1" wins, and all "0" leave none selected.
  for (int b = 1; b <= 4; ++b) {
    const auto button = static_cast<Destination>(b);
    if (TextToBool(lines[static_cast<std::size_t>(5 + b)])) {
      s.destination = button;
    } else if (s.destination == button) {
      s.destination = Destination::kNone;
    }
  }
  s.edit1 = lines[10];
  s.openFolder = lines[11];
  s.checkBox1 = TextToBool(lines[12]);
}

std::string SettingsTextFromFile(std::string_view bytes, SettingsEncoding encoding) {
  if (encoding == SettingsEncoding::kUtf8) return std::string(bytes);
  return ByLines(bytes, [](std::string_view in, std::string& out) { return Cp932ToUtf8(in, out); });
}

std::string SettingsTextToFile(std::string_view text, SettingsEncoding encoding) {
  if (encoding == SettingsEncoding::kUtf8) return std::string(text);
  return ByLines(text, [](std::string_view in, std::string& out) { return Utf8ToCp932(in, out); });
}

Settings LoadSettings(const fs::path& path, const std::string& openFolder,
                      SettingsEncoding encoding) {
  Settings s;
  s.openFolder = openFolder;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return s;
  std::ifstream in(path, std::ios::binary);
  if (!in) return s;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A file that cannot be read to its end gives the defaults rather than half
  // of its values.
  if (in.bad()) return s;
  ApplySettingsText(SettingsTextFromFile(text, encoding), s);
  return s;
}

std::string SettingsText(const Settings& s, const std::string& lastAddFolder) {
  const std::string values[] = {
      std::to_string(s.form1Left),
      std::to_string(s.form1Top),
      std::to_string(s.form2Left),
      std::to_string(s.form2Top),
      std::to_string(s.form2Width),
      std::to_string(s.form2Height),
      BoolToText(s.destination == Destination::kDesktop),
      BoolToText(s.destination == Destination::kDocuments),
      BoolToText(s.destination == Destination::kSourceFolder),
      BoolToText(s.destination == Destination::kChosenFolder),
      OneLine(s.edit1),
      OneLine(lastAddFolder),
      BoolToText(s.checkBox1),
  };
  std::string text;
  for (const auto& v : values) text += v + "\r\n";
  return text;
}

bool SaveSettings(const fs::path& path, const Settings& s, const std::string& lastAddFolder,
                  SettingsEncoding encoding) {
  const std::string text = SettingsTextToFile(SettingsText(s, lastAddFolder), encoding);
  std::error_code ec;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
  RemoveLeftTemporaryFiles(path.parent_path());

  // Written beside the file and renamed over it, so that a failure part-way
  // leaves the previous settings as they were and no partial file.
  std::string error;
  return SaveAtomically(path, error, [&](ByteSink& out) {
    out.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  });
}

}  // namespace tessaly

#include "app/catalogue.h"

#include <map>

namespace tessaly {

// po/ja.po, compiled in (see src/CMakeLists.txt).
extern const char kJapaneseCatalogue[];

namespace {

// A quoted string of a .po file from its opening quote on; answers it with its
// escapes undone, and moves `at` past it.
std::string Quoted(std::string_view po, std::size_t& at) {
  std::string out;
  ++at;  // the opening quote
  while (at < po.size() && po[at] != '"') {
    char c = po[at++];
    if (c == '\\' && at < po.size()) {
      c = po[at++];
      switch (c) {
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'r': c = '\r'; break;
        default: break;  // \" and \\ stand for themselves
      }
    }
    out.push_back(c);
  }
  ++at;  // the closing quote
  return out;
}

// The quoted strings that follow a keyword, over as many lines as they go.
std::string Strings(std::string_view po, std::size_t& at) {
  std::string out;
  for (;;) {
    while (at < po.size() && (po[at] == ' ' || po[at] == '\t' || po[at] == '\r' || po[at] == '\n')) ++at;
    if (at >= po.size() || po[at] != '"') return out;
    out += Quoted(po, at);
  }
}

using Catalogue = std::map<std::string, std::string, std::less<>>;

const Catalogue& JapaneseCatalogue() {
  static const Catalogue catalogue = [] {
    Catalogue m;
    for (auto& [id, text] : ParseCatalogue(kJapaneseCatalogue)) m.emplace(std::move(id), std::move(text));
    return m;
  }();
  return catalogue;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseCatalogue(std::string_view po) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::string id;
  bool haveId = false;
  for (std::size_t at = 0; at < po.size();) {
    const std::size_t end = po.find('\n', at);
    const std::string_view line = po.substr(at, end == std::string_view::npos ? po.size() - at : end - at);
    if (line.rfind("msgid ", 0) == 0) {
      at += 6;
      id = Strings(po, at);
      haveId = true;
      continue;
    }
    if (line.rfind("msgstr ", 0) == 0) {
      at += 7;
      std::string text = Strings(po, at);
      // The header entry has an empty msgid; an entry not yet translated has
      // an empty msgstr, and says itself in English.
      if (haveId && !id.empty() && !text.empty()) entries.emplace_back(std::move(id), std::move(text));
      haveId = false;
      continue;
    }
    at = end == std::string_view::npos ? po.size() : end + 1;  // a comment, a blank line, msgctxt
  }
  return entries;
}

std::string_view Japanese(std::string_view pattern) {
  const auto& c = JapaneseCatalogue();
  const auto it = c.find(pattern);
  return it == c.end() ? std::string_view() : std::string_view(it->second);
}

std::vector<std::string> JapanesePatterns() {
  std::vector<std::string> out;
  for (const auto& [id, text] : ParseCatalogue(kJapaneseCatalogue)) out.push_back(id);
  return out;
}

std::string Say(const Message& message, Language language) {
  if (language == Language::kEnglish) return message.English();
  return message.Say([](const std::string& pattern) { return Japanese(pattern); });
}

}  // namespace tessaly

// The catalogue of messages: every pattern the program says things with, in
// English (the pattern itself) and in Japanese, kept in po/ja.po as a
// translator edits it (gettext's format: msgid the English pattern, msgstr
// the Japanese, {name} the holes the program fills) and compiled into the
// programs as text, so that nothing beside them is needed at run time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/message.h"

namespace tessaly {

enum class Language { kEnglish, kJapanese };

// The message in `language`: each pattern as the catalogue has it in that
// language, or in English where it has none.
std::string Say(const Message& message, Language language);

// The Japanese pattern of an English one; empty when the catalogue has none.
std::string_view Japanese(std::string_view pattern);

// Every English pattern the Japanese catalogue holds, in its order.
std::vector<std::string> JapanesePatterns();

// The entries of a catalogue's text in gettext's format: msgid, then msgstr,
// each a quoted string that may go on over further quoted lines, with
// gettext's escapes; comments and the header entry (an empty msgid) aside.
std::vector<std::pair<std::string, std::string>> ParseCatalogue(std::string_view po);

}  // namespace tessaly

// Text conversion for display: the system's table of code page 932.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

// Appends one Shift-JIS character (one or two bytes) in UTF-8; false when the
// table has no such character.
bool AppendCp932AsUtf8(const char* character, std::size_t n, std::string& out);

// A whole text between code page 932 and UTF-8 (the settings file on
// Windows is in code page 932). False, with `out` unspecified, when a byte
// sequence is not Shift-JIS or a character has no Shift-JIS form: a near
// character in its place could name another folder.
bool Cp932ToUtf8(std::string_view cp932, std::string& out);
bool Utf8ToCp932(std::string_view utf8, std::string& out);

}  // namespace tessaly

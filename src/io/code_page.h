// Text conversion for display: the system's table of code page 932.
#pragma once

#include <cstddef>
#include <string>

namespace tessaly {

// Appends one Shift-JIS character (one or two bytes) in UTF-8; false when the
// table has no such character.
bool AppendCp932AsUtf8(const char* character, std::size_t n, std::string& out);

}  // namespace tessaly

// One rule for text <-> path: text in the program is UTF-8, paths are
// std::filesystem::path. Converting through std::string would decode in the C
// locale or the ANSI code page on Windows and turn Japanese names into other
// names, so every conversion goes through these.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaly {

std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

// A file name stored in a drawing as Shift-JIS bytes. Where file names are
// bytes the bytes are kept as they are; where they are UTF-16 they are decoded
// as code page 932, so that a trail byte 0x5C (as in 表) stays part of its
// character instead of becoming a separator.
std::filesystem::path PathFromShiftJisName(std::string_view bytes);

}  // namespace tessaly

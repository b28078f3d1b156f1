// Names and texts made readable on a UTF-8 terminal.
#pragma once

#include <string>

#include "text/jstring.h"

namespace tessaly {

// Shift-JIS (code page 932) or UTF-16 to UTF-8. Bytes that do not convert, and
// control characters, are shown escaped as \xNN (\uNNNN for UTF-16 units).
std::string ToDisplay(const JString& text);

}  // namespace tessaly

// Text and number helpers shared by the whole program.
//
// Text is Shift-JIS: a byte in 0x80-0x9F or 0xE0-0xFD leads a two-byte character,
// which is always taken or dropped whole. A control character is a single byte
// below 0x20. The JString overloads apply the same rules to UTF-16 strings by
// code unit (a control character is a unit below 0x20, the full-width space is
// U+3000).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/jstring.h"

namespace tessaly {

constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD); }

// Without half-width spaces, full-width spaces and control characters.
std::string RemoveSpaces(std::string_view text);
JString RemoveSpaces(const JString& text);

// True when RemoveSpaces would leave nothing; without allocating.
bool IsBlank(const JString& text);

// Without control characters and without "^m"; one space when nothing is left.
// A lead byte that ends the text is kept.
std::string SanitizeForWrite(std::string_view text);
JString SanitizeForWrite(const JString& text);

// Without control characters and without a lead byte that ends the text; in
// place and without allocating.
void SanitizeOnReadInPlace(JString& text);

// True when SanitizeForWrite would give the text back unchanged.
bool IsCleanForWrite(const JString& text);
// The text as SanitizeForWrite gives it, copied only when it changes.
inline void SanitizeForWriteInPlace(JString& text) {
  if (!IsCleanForWrite(text)) text = SanitizeForWrite(text);
}

// The first `limit` bytes of a Shift-JIS text, never half a character: a lead
// byte that would end the cut text goes with its trail byte (so the result may be
// limit + 1 bytes long). UTF-16 strings are never cut.
void CutShiftJis(std::string& text, std::size_t limit);

// Decoded characters for comparisons across the two string forms: ASCII stays as
// it is (upper-cased when asked), everything else of a Shift-JIS string maps
// outside the UTF-16 range so that it matches nothing of a UTF-16 string.
std::vector<std::uint32_t> DecodeForMatch(const JString& text, bool asciiUpper);

// UTF-16 code units to UTF-8. Returns false on a lone surrogate.
bool Utf16ToUtf8(const JString& wide, std::string& out);

}  // namespace tessaly

#include "text/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/display.h"
#include "support/byte_builder.h"

namespace tessaly {
namespace {

using test::Sjis;
using test::Wide;

struct TextCase {
  std::string in;
  std::string out;
};

// The reader's cleaning, as a function of the text.
JString SanitizeOnRead(JString s) {
  SanitizeOnReadInPlace(s);
  return s;
}
std::string SanitizeOnRead(std::string_view s) { return SanitizeOnRead(JString(std::string(s))).bytes; }

TEST(RemoveSpaces, DropsSpacesFullWidthSpacesAndControlCharacters) {
  const TextCase cases[] = {
      {"", ""},
      {"a\x81\x40"
       "b c",
       "abc"},
      {"a\tb\r\n", "ab"},
      {"\x81\x40\x81\x40", ""},
      // A two-byte character whose trail byte is a space or a control byte stays whole.
      {"\x82\x20x", "\x82\x20x"},
      {"\x82\x0Dx", "\x82\x0Dx"},
      // A lead byte at the very end is kept.
      {"a\x82", "a\x82"},
      // 0x80 and 0xFD lead two-byte characters too.
      {"\x80\x20"
       "\xFD\x20",
       "\x80\x20\xFD\x20"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RemoveSpaces(c.in), c.out) << c.in;
    // The blank test, which does not build the text, agrees.
    EXPECT_EQ(IsBlank(JString(std::string(c.in))), std::string(c.out).empty()) << c.in;
  }
}

TEST(SanitizeForWrite, DropsControlCharactersAndCaretM) {
  const TextCase cases[] = {
      {"", ""},
      {"A^mB", "AB"},
      {"\r\n", " "},
      {"^m", " "},
      {"^m^m", " "},
      {"^^mm", "^m"},  // one pass: what is left is not looked at again
      {"A^", "A^"},
      {"a\tb", "ab"},
      {"\x81^m", "\x81^m"},  // 0x81 0x5E is one character: no "^m" pair starts inside it
      {"\x82\x0D"
       "A",
       "\x82\x0D"
       "A"},
      {"abc\x82", "abc\x82"},  // a lead byte that ends the text is kept
      {" ", " "},
  };
  for (const auto& c : cases) EXPECT_EQ(SanitizeForWrite(c.in), c.out) << c.in;
}

TEST(SanitizeOnRead, DropsControlCharactersAndATrailingLeadByte) {
  const TextCase cases[] = {
      {"", ""},
      {"A\x82", "A"},
      {"\x82\x0D"
       "A",
       "\x82\x0D"
       "A"},  // the trail byte below 0x20 stays with its lead byte
      {"A\rB\n", "AB"},
      {"^m", "^m"},
      {"\xE0\x40\xFD", "\xE0\x40"},
      {"\xFE\xFF", "\xFE\xFF"},  // 0xFE and 0xFF are one-byte characters
  };
  for (const auto& c : cases) EXPECT_EQ(SanitizeOnRead(c.in), c.out) << c.in;
}

TEST(CutShiftJis, KeepsWholeCharactersAndTakesATrailByteAlong) {
  struct Case {
    std::string in;
    std::size_t limit;
    std::string out;
  };
  const Case cases[] = {
      {"abcdef", 4, "abcd"},
      {"abc", 4, "abc"},
      {"ab\x82\xA0z", 3, "ab\x82\xA0"},  // the lead byte at the cut takes its trail byte
      {"ab\x82\xA0z", 4, "ab\x82\xA0"},
      {"ab\x82\xA0z", 2, "ab"},
      {"a\x82", 1, "a"},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    CutShiftJis(s, c.limit);
    EXPECT_EQ(s, c.out) << c.in << " / " << c.limit;
  }
  // At 255: a lead byte at position 254 makes 256 bytes.
  std::string s = std::string(254, 'a') + "\x82\xA0" + "tail";
  CutShiftJis(s, 255);
  EXPECT_EQ(s.size(), 256u);
  EXPECT_EQ(s.substr(254), "\x82\xA0");
}

TEST(Utf16Rules, WorkOnCodeUnits) {
  // A control character is a unit below 0x20; the full-width space is U+3000;
  // "^m" is two units; UTF-16 results keep their form.
  EXPECT_EQ(RemoveSpaces(Wide(u"a\u3000b c\t")), Wide(u"abc"));
  EXPECT_EQ(RemoveSpaces(Wide(u"\u3000 ")), Wide(u""));
  EXPECT_TRUE(IsBlank(Wide(u"\u3000 \t")));
  EXPECT_FALSE(IsBlank(Wide(u"\u3000a")));
  EXPECT_TRUE(RemoveSpaces(Wide(u"")).wide);
  EXPECT_EQ(SanitizeForWrite(Wide(u"A^mB")), Wide(u"AB"));
  EXPECT_EQ(SanitizeForWrite(Wide(u"\r\n")), Wide(u" "));
  EXPECT_EQ(SanitizeForWrite(Wide(u"")), Wide(u""));
  EXPECT_EQ(SanitizeForWrite(Wide(u"\u8868^")), Wide(u"\u8868^"));
  EXPECT_EQ(SanitizeOnRead(Wide(u"a\rb\u0001\u8868")), Wide(u"ab\u8868"));
  // The unit 0x0D20 is not a control character, though its low byte is.
  EXPECT_EQ(SanitizeOnRead(Wide(u"\u0D20")), Wide(u"\u0D20"));
  // The Shift-JIS overloads give the Shift-JIS rules.
  EXPECT_EQ(SanitizeOnRead(Sjis("A\x82")), Sjis("A"));
  EXPECT_EQ(SanitizeForWrite(Sjis("A^mB")), Sjis("AB"));
  EXPECT_EQ(RemoveSpaces(Sjis("a\x81\x40")), Sjis("a"));
}

TEST(CleaningShortcuts, AgreeWithTheCleaningRules) {
  // The reader cleans in place and the writer skips cleaning a clean string: both
  // must give what the plain rules give.
  const JString cases[] = {
      Sjis(""),
      Sjis("abc"),
      Sjis("A^mB"),
      Sjis("^"),
      Sjis("a^"),
      Sjis("\r\n"),
      Sjis("\x82"),
      Sjis("ab\x82"),
      Sjis("\x81^m"),
      Sjis("\x82\x0D"
        "A"),
      Sjis("^^mm"),
      Sjis("\t"),
      Sjis("\xE0\x40\xFD"),
      Sjis(" "),
      Sjis("\x81\x40"),
      Wide(u""),
      Wide(u"abc"),
      Wide(u"A^mB"),
      Wide(u"\r\n"),
      Wide(u"\u8868^"),
      Wide(u"^"),
      Wide(u"a\u0001b"),
      Wide(u"\u0D20"),
      Wide(u"^m"),
  };
  for (const JString& c : cases) {
    JString inPlace = c;
    SanitizeOnReadInPlace(inPlace);
    EXPECT_EQ(inPlace, SanitizeOnRead(c)) << (c.wide ? "w " : "") << c.bytes;
    EXPECT_EQ(IsCleanForWrite(c), SanitizeForWrite(c) == c) << (c.wide ? "w " : "") << c.bytes;
  }
}

TEST(JStringAscii, KeepsTheFormItIsAskedFor) {
  EXPECT_EQ(JString::Ascii("Color_20", false), Sjis("Color_20"));
  EXPECT_EQ(JString::Ascii("Color_20", true), Wide(u"Color_20"));
  EXPECT_EQ(Wide(u"ab").units(), 2u);
  EXPECT_EQ(Wide(u"\u8868").unit(0), 0x8868);
}

TEST(DecodeForMatch, AsciiMatchesAcrossFormsAndNothingElseDoes) {
  using V = std::vector<std::uint32_t>;
  EXPECT_EQ(DecodeForMatch(Sjis("a.Bmp"), true), (V{'A', '.', 'B', 'M', 'P'}));
  EXPECT_EQ(DecodeForMatch(Sjis("a.Bmp"), false), (V{'a', '.', 'B', 'm', 'p'}));
  EXPECT_EQ(DecodeForMatch(Wide(u"a.Bmp"), true), DecodeForMatch(Sjis("a.bmp"), true));
  // A two-byte character whose trail byte is 'a' stays whole and is not upper-cased.
  EXPECT_NE(DecodeForMatch(Sjis("\x83\x61"), true), DecodeForMatch(Sjis("\x83\x41"), true));
  EXPECT_EQ(DecodeForMatch(Sjis("\x83\x61"), true).size(), 1u);
  // A Shift-JIS character matches no UTF-16 unit, not even the one it stands for.
  const V sjis = DecodeForMatch(Sjis("\x95\x5C"), true);  // "hyou" in Shift-JIS
  const V wide = DecodeForMatch(Wide(u"\u8868"), true);   // the same character in UTF-16
  ASSERT_EQ(sjis.size(), 1u);
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_NE(sjis[0], wide[0]);
  // A lone byte 0x80-0xFF and a trailing lead byte match no unit either.
  for (const V& v : {DecodeForMatch(Sjis("\xA1"), true), DecodeForMatch(Sjis("\x82"), true)}) {
    ASSERT_EQ(v.size(), 1u);
    EXPECT_GT(v[0], 0xFFFFu);
  }
  // Non-ASCII UTF-16 units are not upper-cased (full-width a stays).
  EXPECT_EQ(DecodeForMatch(Wide(u"\uFF41"), true), V{0xFF41});
}

TEST(Utf16ToUtf8, EncodesAndRejectsLoneSurrogates) {
  std::string out;
  ASSERT_TRUE(Utf16ToUtf8(Wide(u"a\u00E9\u8868"), out));
  EXPECT_EQ(out, "a\xC3\xA9\xE8\xA1\xA8");
  ASSERT_TRUE(Utf16ToUtf8(Wide(u"\U0001F600"), out));
  EXPECT_EQ(out, "\xF0\x9F\x98\x80");
  ASSERT_TRUE(Utf16ToUtf8(Wide(u""), out));
  EXPECT_EQ(out, "");
  JString lone;
  lone.wide = true;
  for (std::vector<std::uint16_t> units :
       {std::vector<std::uint16_t>{0xD800}, {0xDC00, 'a'}, {0xD800, 'a'}}) {
    lone.bytes.clear();
    for (auto u : units) lone.appendUnit(u);
    EXPECT_FALSE(Utf16ToUtf8(lone, out));
  }
}

TEST(ToDisplay, ConvertsForTheTerminalAndEscapesTheRest) {
  const std::pair<JString, std::string> cases[] = {
      {Sjis("abc"), "abc"},
      {Sjis("\x95\x5C"), "\xE8\xA1\xA8"},  // Shift-JIS "hyou"
      {Sjis("\xB1"), "\xEF\xBD\xB1"},      // half-width katakana a
      {Sjis("a\x01z"), "a\\x01z"},         // control character
      {Sjis("\x7F"), "\\x7F"},
      {Sjis("ab\x82"), "ab\\x82"},       // a lead byte at the end
      {Sjis("\x85\x40"), "\\x85\\x40"},  // not assigned in code page 932
      {Wide(u"\u8868.png"), "\xE8\xA1\xA8.png"},
      {Wide(u"a\u0001"), "a\\u0001"},
      {Wide(u"\U0001F600"), "\xF0\x9F\x98\x80"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToDisplay(in), out);
  JString lone;
  lone.wide = true;
  lone.appendUnit(0xD800);
  lone.appendUnit('x');
  EXPECT_EQ(ToDisplay(lone), "\\uD800x");
}

}  // namespace
}  // namespace tessaly

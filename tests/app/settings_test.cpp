#include "app/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "io/code_page.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct BoolCase {
  std::string text;
  bool expected;
};

TEST(TextToBool, AcceptsTheTrueWordsAfterRemovingSpacesAndUpperCasing) {
  const BoolCase cases[] = {
      {"T", true},
      {"tr", true},
      {"tru", true},
      {"true", true},
      {"t r u e", true},
      {" \tTRUE\r\n", true},
      {"1", true},
      {"on", true},
      {"１", true},
      {"○", true},
      {"真", true},
      {"正", true},
      {"\xE3\x80\x80"
       "1",
       true},  // full-width space, then 1
      {"", false},
      {"yes", false},
      {"0", false},
      {"truth", false},
      {"11", false},
      {"２", false},
      {"Ｔ", false},        // full-width T is not in the list
      {"\xE7\x9C", false},  // half of a character
  };
  for (const auto& c : cases) EXPECT_EQ(TextToBool(c.text), c.expected) << c.text;
  EXPECT_EQ(BoolToText(true), "1");
  EXPECT_EQ(BoolToText(false), "0");
}

TEST(TextToInt, ConvertsWholeDecimalIntegersOnly) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"12", 12},
      {"-3", -3},
      {"+7", 7},
      {"0", 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"", 0},
      {"12a", 0},
      {"1.5", 0},
      {" 12", 0},
      {"12 ", 0},
      {"-", 0},
      {"+", 0},
      {"+-3", 0},
      {"2147483648", 0},
      {"0x10", 0},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(TextToInt(text), value) << '"' << text << '"';
}

TEST(Settings, RoundTripAndAFailedWrite) {
  TempDir dir;
  Settings s;
  s.form1Left = -20;
  s.form2Width = 640;
  s.destination = Destination::kChosenFolder;
  s.edit1 = "/出力/図面\n";  // a line end would shift the later lines
  s.checkBox1 = false;
  const fs::path file = dir / "cfg" / "tessaly.dat";  // its folder is made
  ASSERT_TRUE(SaveSettings(file, s, "/図面/"));
  EXPECT_EQ(ReadFile(file),
            "-20\r\n107\r\n194\r\n107\r\n640\r\n219\r\n0\r\n0\r\n0\r\n1\r\n/出力/図面\r\n/図面/"
            "\r\n0\r\n");
  s.edit1 = "/出力/図面";
  s.openFolder = "/図面/";
  EXPECT_EQ(LoadSettings(file, "/app/"), s);
  // The code page is the caller's.
  ASSERT_TRUE(SaveSettings(file, s, "", [](const std::string& t) { return "[" + t + "]"; }));
  EXPECT_EQ(
      LoadSettings(file, "/app/", [](const std::string& t) { return t.substr(1, t.size() - 2); })
          .form1Left,
      -20);

  // Cannot be written, even by root: a folder whose path runs through a file,
  // a folder in the file's place. Nothing is left, the old file stays whole.
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(SaveSettings(dir / "file" / "tessaly.dat", s, ""));
  fs::remove(file);
  fs::create_directories(file);
  EXPECT_FALSE(SaveSettings(file, s, ""));
  EXPECT_TRUE(fs::is_empty(file));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "cfg"), fs::directory_iterator()), 1);
  EXPECT_EQ(LoadSettings(file, "/app/"),
            LoadSettings(dir / "none", "/app/"));  // a folder is no file
}

// The settings file's code page on Windows, through the platform layer: a
// character Shift-JIS cannot hold fails rather than becoming a look-alike.
TEST(Settings, CodePage932BothWays) {
  const struct {
    std::string utf8, cp932;
    bool ok;
  } rows[] = {
      {"C:\\out\\\r\n1", "C:\\out\\\r\n1", true},
      // 図面\表 with the trail byte 0x5C of 表, and a full-width space.
      {"図面\\表\xE3\x80\x80", "\x90\x7D\x96\xCA\\\x95\x5C\x81\x40", true},
      {"한", "", false},
      {"\xF0\x9F\x98\x80", "", false},
  };
  for (const auto& r : rows) {
    std::string out;
    EXPECT_EQ(Utf8ToCp932(r.utf8, out), r.ok) << r.utf8;
    if (!r.ok) continue;
    EXPECT_EQ(out, r.cp932) << r.utf8;
    EXPECT_TRUE(Cp932ToUtf8(r.cp932, out));
    EXPECT_EQ(out, r.utf8);
  }
  std::string out;
  EXPECT_FALSE(Cp932ToUtf8("a\x95", out));  // half a character
}

Settings Values(std::int32_t left, std::int32_t top, Destination d, std::string edit1,
                std::string open, bool check) {
  Settings s;
  s.form1Left = left;
  s.form1Top = top;
  s.form2Left = s.form2Top = s.form2Width = s.form2Height = 0;
  s.destination = d;
  s.edit1 = std::move(edit1);
  s.openFolder = std::move(open);
  s.checkBox1 = check;
  return s;
}

TEST(Settings, ReadsTheFilesUsersHave) {
  Settings defaults;
  defaults.openFolder = "/app/";
  Settings six = Values(0, 2, Destination::kNone, "", "", false);
  six.form2Left = 3;
  six.form2Top = 4;
  six.form2Width = 5;
  six.form2Height = 6;
  const struct {
    const char* name;
    std::string text;
    Settings expected;
  } cases[] = {
      {"no file", "", defaults},
      {"1 1 0 0", "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n1\r\n0\r\n0\r\n\r\n\r\n1\r\n",
       Values(0, 0, Destination::kDocuments, "", "", true)},
      {"six lines, abc on line 1", "abc\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", six},
      {"1 1 1 0, LF", "10\n\n\n\n\n\n1\n1\n1\n0\nD:\\out\nC:\\x\\\nON",
       Values(10, 0, Destination::kSourceFolder, "D:\\out", "C:\\x\\", true)},
      {"0 0 0 0", "10\n\n\n\n\n\n0\n0\n0\n0\n\n\n0\n",
       Values(10, 0, Destination::kNone, "", "", false)},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (!c.text.empty()) WriteFile(dir / "tessaly.dat", c.text);
    EXPECT_EQ(LoadSettings(dir / "tessaly.dat", "/app/"), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tessaly

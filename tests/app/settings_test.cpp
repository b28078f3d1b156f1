#include "app/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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
  ASSERT_TRUE(SaveSettings(file, s, "/図面/", SettingsEncoding::kUtf8));
  EXPECT_EQ(ReadFile(file),
            "-20\r\n107\r\n194\r\n107\r\n640\r\n219\r\n0\r\n0\r\n0\r\n1\r\n/出力/図面\r\n/図面/"
            "\r\n0\r\n");
  s.edit1 = "/出力/図面";
  s.openFolder = "/図面/";
  EXPECT_EQ(LoadSettings(file, "/app/", SettingsEncoding::kUtf8), s);
  // In code page 932 Japanese folders round-trip; one with 한, which has no
  // form there, is forgotten.
  s.edit1 = "C:\\図面\\表";
  ASSERT_TRUE(SaveSettings(file, s, "C:\\한\\", SettingsEncoding::kCp932));
  EXPECT_EQ(ReadFile(file),
            "-20\r\n107\r\n194\r\n107\r\n640\r\n219\r\n0\r\n0\r\n0\r\n1\r\n"
            "C:\\\x90\x7D\x96\xCA\\\x95\x5C\r\n\r\n0\r\n");
  s.openFolder = "";
  EXPECT_EQ(LoadSettings(file, "/app/", SettingsEncoding::kCp932), s);
  ASSERT_TRUE(SaveSettings(file, s, "C:\\出力\\", SettingsEncoding::kCp932));
  s.openFolder = "C:\\出力\\";
  EXPECT_EQ(LoadSettings(file, "/app/", SettingsEncoding::kCp932), s);

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

// The settings file's text in code page 932: converted whole, else line by
// line with a line that does not convert left empty, so that a folder is
// forgotten rather than remembered as another one. UTF-8 passes as it is.
TEST(Settings, CodePage932WholeOrLineByLine) {
  const struct {
    const char* name;
    std::string text, file;  // UTF-8, and the file's bytes
    bool fromFile, toFile;   // which ways the row holds
  } rows[] = {
      {"ASCII", "C:\\out\\\r\n1", "C:\\out\\\r\n1", true, true},
      // 図面\表 with the trail byte 0x5C of 表, and a full-width space.
      {"whole", "図面\\表\xE3\x80\x80\n", "\x90\x7D\x96\xCA\\\x95\x5C\x81\x40\n", true, true},
      {"one line not", "1\r\n한\r\n図\r\n", "1\r\n\r\n\x90\x7D\r\n", false, true},
      {"last line not", "図\n\xF0\x9F\x98\x80", "\x90\x7D\n", false, true},
      {"half a character", "\r\n図\n", "a\x95\r\n\x90\x7D\n", true, false},
      {"nothing passes unconverted", "\n図", "\x95\rx\n\x90\x7D", true, false},
  };
  for (const auto& r : rows) {
    if (r.toFile) {
      EXPECT_EQ(SettingsTextToFile(r.text, SettingsEncoding::kCp932), r.file) << r.name;
    }
    if (r.fromFile) {
      EXPECT_EQ(SettingsTextFromFile(r.file, SettingsEncoding::kCp932), r.text) << r.name;
    }
    EXPECT_EQ(SettingsTextToFile(r.file, SettingsEncoding::kUtf8), r.file) << r.name;
    EXPECT_EQ(SettingsTextFromFile(r.file, SettingsEncoding::kUtf8), r.file) << r.name;
  }
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

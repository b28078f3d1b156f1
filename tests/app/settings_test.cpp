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
      {"\xE3\x80\x80" "1", true},  // full-width space, then 1
      {"", false},
      {"yes", false},
      {"0", false},
      {"truth", false},
      {"11", false},
      {"２", false},
      {"Ｔ", false},  // full-width T is not in the list
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

Settings Changed() {
  Settings s;
  s.form1Left = -20;
  s.form1Top = 5;
  s.form2Left = 300;
  s.form2Top = 400;
  s.form2Width = 640;
  s.form2Height = 480;
  s.destination = Destination::kChosenFolder;
  s.edit1 = "/出力/図面";
  s.openFolder = "/図面/";
  s.checkBox1 = false;
  return s;
}

TEST(Settings, RoundTripWritesThirteenCrLfLines) {
  TempDir dir;
  const fs::path file = dir / "cfg" / "tessaly.dat";  // its folder is made
  ASSERT_TRUE(SaveSettings(file, Changed(), "/図面/"));
  EXPECT_EQ(ReadFile(file),
            "-20\r\n5\r\n300\r\n400\r\n640\r\n480\r\n0\r\n0\r\n0\r\n1\r\n/出力/図面\r\n/図面/\r\n0\r\n");
  EXPECT_EQ(LoadSettings(file, "/app/"), Changed());
  EXPECT_EQ(fs::directory_iterator(dir / "cfg")->path(), file);  // no temporary left

  // The code page is the caller's: what is written is what it made of the text.
  ASSERT_TRUE(SaveSettings(file, Changed(), "", [](const std::string& s) { return "[" + s + "]"; }));
  EXPECT_EQ(ReadFile(file).substr(0, 4), "[-20");
  const Settings back = LoadSettings(file, "/app/", [](const std::string& s) {
    return s.substr(1, s.size() - 2);
  });
  EXPECT_EQ(back.edit1, "/出力/図面");
  EXPECT_EQ(back.openFolder, "");  // no file picked in the add dialog: line 12 is empty
}

Settings Values(std::int32_t left, std::int32_t top, Destination d, std::string edit1,
                std::string open, bool check, std::int32_t rest = 0) {
  Settings s;
  s.form1Left = left;
  s.form1Top = top;
  s.form2Left = s.form2Top = s.form2Width = s.form2Height = rest;
  s.destination = d;
  s.edit1 = std::move(edit1);
  s.openFolder = std::move(open);
  s.checkBox1 = check;
  return s;
}

TEST(Settings, ReadsTheFilesUsersHave) {
  Settings defaults;
  defaults.openFolder = "/app/";
  Settings sixLines = Values(0, 2, Destination::kNone, "", "", false);
  sixLines.form2Left = 3;
  sixLines.form2Top = 4;
  sixLines.form2Width = 5;
  sixLines.form2Height = 6;
  Settings sixLinesLf = sixLines;
  sixLinesLf.form1Left = 1;
  const struct {
    const char* name;
    std::string text;
    Settings expected;
  } cases[] = {
      {"no file", "", defaults},
      {"1 1 0 0 selects the second",
       "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n1\r\n0\r\n0\r\n\r\n\r\n1\r\n",
       Values(0, 0, Destination::kDocuments, "", "", true)},
      {"six lines, abc on line 1", "abc\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", sixLines},
      {"six lines with LF, no end", "1\n2\n3\n4\n5\n6", sixLinesLf},
      {"1 1 1 0: the last 1 wins", "10\n\n\n\n\n\n1\n1\n1\n0\nD:\\out\nC:\\x\\\nON\n",
       Values(10, 0, Destination::kSourceFolder, "D:\\out", "C:\\x\\", true)},
      {"0 0 0 0 selects none", "10\n\n\n\n\n\n0\n0\n0\n0\n\n\n0\n",
       Values(10, 0, Destination::kNone, "", "", false)},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path file = dir / "tessaly.dat";
    if (!c.text.empty()) WriteFile(file, c.text);
    EXPECT_EQ(LoadSettings(file, "/app/"), c.expected) << c.name;
  }

  // A folder where the file should be is no file.
  TempDir dir;
  fs::create_directories(dir / "tessaly.dat");
  EXPECT_EQ(LoadSettings(dir / "tessaly.dat", "/app/"), defaults);
}

TEST(Settings, AFailedWriteLeavesNoFileAndTheOldOneWhole) {
  TempDir dir;
  // A folder whose path runs through a file cannot be made, even by root.
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(SaveSettings(dir / "file" / "tessaly.dat", Changed(), ""));
  EXPECT_FALSE(fs::exists(dir / "file" / "tessaly.dat"));
  // A folder in the file's place cannot be replaced: nothing is left beside it.
  fs::create_directories(dir / "cfg" / "tessaly.dat");
  EXPECT_FALSE(SaveSettings(dir / "cfg" / "tessaly.dat", Changed(), ""));
  EXPECT_TRUE(fs::is_empty(dir / "cfg" / "tessaly.dat"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "cfg"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tessaly

// What only the Win32 half of io can get wrong: each case here is a fault seen
// in a trial Windows build, most of them silent.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "io/file_state.h"
#include "io/files.h"
#include "io/path_text.h"
#include "io/working_folder.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kAwkwardBytes = std::string("a\nb\r\nc\x1a" "d\0e", 10);

bool Save(const fs::path& target, const std::string& bytes, std::string& error) {
  return SaveAtomically(target, error, [&](ByteSink& out) {
    out.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  });
}

std::size_t FilesIn(const fs::path& dir) {
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir)) n += e.is_regular_file();
  return n;
}

TEST(Win32Files, BytesGoInAndOutUnchanged) {
  TempDir dir;
  std::string error;
  // Line ends and Ctrl-Z are data: no text mode anywhere.
  ASSERT_TRUE(Save(dir / "new.jww", kAwkwardBytes, error)) << error;
  std::vector<std::uint8_t> back;
  Message why;
  ASSERT_TRUE(ReadWholeFile(dir / "new.jww", back, why)) << why.English();
  EXPECT_EQ(std::string(back.begin(), back.end()), kAwkwardBytes);
  // An existing target is replaced, and so is an existing file of a backup.
  ASSERT_TRUE(Save(dir / "new.jww", "second", error)) << error;
  EXPECT_EQ(ReadFile(dir / "new.jww"), "second");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(Win32Files, TheTemporaryFileIsHiddenUntilItIsInPlace) {
  TempDir dir;
  AtomicFile out(dir / "plan.jww");
  out.Write(reinterpret_cast<const std::uint8_t*>("bytes"), 5);
  std::vector<DWORD> attributes;
  for (const auto& e : fs::directory_iterator(dir.path())) attributes.push_back(GetFileAttributesW(e.path().c_str()));
  ASSERT_EQ(attributes.size(), 1u);
  EXPECT_TRUE(attributes[0] & FILE_ATTRIBUTE_HIDDEN);
  out.Commit();
  EXPECT_FALSE(GetFileAttributesW((dir / "plan.jww").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(ReadFile(dir / "plan.jww"), "bytes");
}

TEST(Win32Files, ATargetHeldOpenIsReportedAndKept) {
  TempDir dir;
  WriteFile(dir / "open.jww", "keep");
  // As a CAD program holds the drawing it shows: shared for reading only.
  HANDLE held = CreateFileW((dir / "open.jww").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string error;
  EXPECT_FALSE(Save(dir / "open.jww", "new", error));
  EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
  CloseHandle(held);
  EXPECT_EQ(ReadFile(dir / "open.jww"), "keep");
  EXPECT_EQ(FilesIn(dir.path()), 1u);  // no temporary file left
}

TEST(Win32Files, TheReadOnlyAttributeIsAllWriteBitsClear) {
  TempDir dir;
  WriteFile(dir / "ro.jww", "keep");
  ASSERT_TRUE(SetFileAttributesW((dir / "ro.jww").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(Inspect(dir / "ro.jww").readOnly);
  std::string error;
  EXPECT_FALSE(Save(dir / "ro.jww", "new", error));
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  SetFileAttributesW((dir / "ro.jww").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(dir / "ro.jww"), "keep");
  EXPECT_FALSE(Inspect(dir / "ro.jww").readOnly);
}

TEST(Win32Files, ACopyKeepsItsFileTime) {
  TempDir dir;
  WriteFile(dir / "plan.jww", "drawing");
  WriteFile(dir / "plan._JWW", "an older backup");
  HANDLE h = CreateFileW((dir / "plan.jww").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const FILETIME when{0x12345670u, 0x01c00000u};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
  CloseHandle(h);
  PrepareCopy(dir / "plan.jww", dir / "plan._JWW", true)->Commit();
  WIN32_FILE_ATTRIBUTE_DATA d{};
  ASSERT_TRUE(GetFileAttributesExW((dir / "plan._JWW").c_str(), GetFileExInfoStandard, &d));
  EXPECT_EQ(d.ftLastWriteTime.dwLowDateTime, when.dwLowDateTime);
  EXPECT_EQ(d.ftLastWriteTime.dwHighDateTime, when.dwHighDateTime);
  EXPECT_EQ(ReadFile(dir / "plan._JWW"), "drawing");
}

TEST(Win32Files, FilesAreKnownByVolumeAndIndex) {
  TempDir dir;
  WriteFile(dir / "a.jww", "a");
  WriteFile(dir / "b.jww", "b");
  fs::create_directory(dir / "sub");
  struct Row {
    fs::path x, y;
    bool same;
  } rows[] = {
      {dir / "a.jww", dir / "b.jww", false},  // with st_ino 0 every file was one
      {dir / "a.jww", dir / "sub", false},
      {dir / "a.jww", dir / "sub" / ".." / "A.JWW", true},  // names are not case-sensitive here
      {dir / "sub", dir / "SUB", true},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(SameFile(r.x, r.y), r.same) << PathToUtf8(r.x) << " " << PathToUtf8(r.y);
    EXPECT_EQ(FileKey(r.x) == FileKey(r.y), r.same) << PathToUtf8(r.x) << " " << PathToUtf8(r.y);
  }
  // Files still to be made: by their resolved names, case folded.
  EXPECT_EQ(FileKey(dir / "new.jww"), FileKey(dir / "sub" / ".." / "NEW.jww"));
  EXPECT_NE(FileKey(dir / "new.jww"), FileKey(dir / "new2.jww"));
}

TEST(Win32Paths, OneRuleForTextAndPaths) {
  // 図面\平面.jww in UTF-8; never read in the ANSI code page.
  const std::string text = "\xE5\x9B\xB3\xE9\x9D\xA2\\\xE5\xB9\xB3\xE9\x9D\xA2.jww";
  const fs::path p = PathFromUtf8(text);
  EXPECT_EQ(p.wstring(), L"\u56f3\u9762\\\u5e73\u9762.jww");
  EXPECT_EQ(PathToUtf8(p), text);
  EXPECT_EQ(PathToUtf8(p.filename()), "\xE5\xB9\xB3\xE9\x9D\xA2.jww");
  // A Shift-JIS name with a trail byte 0x5C (表) is one name, no folder in it.
  const fs::path sjis = PathFromShiftJisName("\x95\x5C.bmp");
  EXPECT_EQ(sjis.wstring(), L"\u8868.bmp");
  EXPECT_FALSE(sjis.has_parent_path());
  EXPECT_TRUE(PathFromShiftJisName("\x95").empty());  // half a character names nothing
}

TEST(Win32Paths, TheWorkingFolderIsUnderTheUsersTemporaryFolder) {
  wchar_t buf[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, buf);
  ASSERT_GT(n, 0u);
  WorkingFolder work;
  Message error;
  ASSERT_TRUE(work.Create(error)) << error.English();
  const std::wstring path = work.Path().wstring();
  EXPECT_EQ(path.rfind(std::wstring(buf, n), 0), 0u) << PathToUtf8(work.Path());
  EXPECT_TRUE(fs::is_directory(work.Path()));
  const fs::path made = work.Path();
  work.Remove();
  EXPECT_FALSE(fs::exists(made));
}

}  // namespace
}  // namespace tessaly

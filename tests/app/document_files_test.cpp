// Saving a document: the target is replaced whole or not at all.
#include "app/document_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "io/files.h"
#include "jww/jww_data.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace tessaly::test {
namespace {
namespace fs = std::filesystem;

using Files = std::vector<std::pair<std::string, std::string>>;

class Save : public ::testing::Test {
 protected:
  Save() : images(store), doc(images) {
    fs::create_directory(dir / "out");
    draw::Sample(doc, 600, 3);
    bytes = WrittenBuilt(doc, 600);
  }
  fs::path Out(const char* name) { return dir / "out" / name; }
  Files Folder() { return Snapshot(dir / "out"); }

  TempDir dir;
  MemoryImages store;
  TBoundImages images;
  TJwwData doc;
  std::string bytes;  // what the document writes
};

TEST_F(Save, WritesANewFileAndReplacesAnOldOne) {
  ASSERT_TRUE(test::Saves(doc, Out("new.jww"), 600));
  EXPECT_EQ(Folder(), (Files{{"new.jww", bytes}}));
  WriteFile(Out("old.jww"), "old contents");
  ASSERT_TRUE(test::Saves(doc, Out("old.jww"), 600));
  EXPECT_EQ(Folder(), (Files{{"new.jww", bytes}, {"old.jww", bytes}}));
}

TEST_F(Save, AFailureHalfWayLeavesTheOldTargetAndNoTemporaryFile) {
  WriteFile(Out("t.jww"), "old contents");
  for (std::uint64_t after :
       {std::uint64_t{0}, std::uint64_t{100}, std::uint64_t{bytes.size() - 1}}) {
    const std::string error = SaveFailingAfter(doc, Out("t.jww"), 600, after);
    EXPECT_NE(error.find("injected"), std::string::npos) << after << ": " << error;
    EXPECT_EQ(Folder(), (Files{{"t.jww", "old contents"}})) << after;
    // A new target is not created either.
    EXPECT_FALSE(SaveFailingAfter(doc, Out("n.jww"), 600, after).empty());
    EXPECT_EQ(Folder(), (Files{{"t.jww", "old contents"}})) << after;
  }
  // With the failure gone, the same save succeeds.
  ASSERT_TRUE(test::Saves(doc, Out("t.jww"), 600));
  EXPECT_EQ(ReadFile(Out("t.jww")), bytes);
}

TEST_F(Save, AReadOnlyTargetIsRefusedEvenForRoot) {
  WriteFile(Out("ro.jww"), "keep");
  ::chmod(Out("ro.jww").c_str(), 0444);
  const Failure f = SaveFile(doc, Out("ro.jww"), 600);
  EXPECT_NE(f.text.find("read-only"), std::string::npos) << f.text;
  EXPECT_EQ(Folder(), (Files{{"ro.jww", "keep"}}));
  // One write bit is enough.
  ::chmod(Out("ro.jww").c_str(), 0404 | 0020);
  EXPECT_TRUE(test::Saves(doc, Out("ro.jww"), 600));
}

TEST_F(Save, ATargetThatIsAFolderFails) {
  fs::create_directory(Out("folder.jww"));
  WriteFile(Out("folder.jww") / "inside", "x");
  EXPECT_FALSE(test::Saves(doc, Out("folder.jww"), 600));
  EXPECT_EQ(Folder(), (Files{{"folder.jww/inside", "x"}}));
  // A target in a folder that does not exist fails too.
  EXPECT_FALSE(test::Saves(doc, dir / "missing" / "x.jww", 600));
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(Save, ALinkIsReplacedAtTheFileItPointsTo) {
  TESSALY_POSIX_ONLY("links need privileges here");
  fs::create_directory(dir / "real");
  WriteFile(dir / "real" / "t.jww", "old");
  fs::create_symlink("../real/t.jww", Out("link.jww"));
  ASSERT_TRUE(test::Saves(doc, Out("link.jww"), 600));
  EXPECT_TRUE(fs::is_symlink(Out("link.jww")));
  EXPECT_EQ(fs::read_symlink(Out("link.jww")), "../real/t.jww");
  EXPECT_EQ(ReadFile(dir / "real" / "t.jww"), bytes);
  // No temporary file is left in either folder.
  EXPECT_EQ(Snapshot(dir / "real").size(), 1u);
  EXPECT_EQ(Folder().size(), 1u);
  // A link to a file that does not exist yet makes that file.
  fs::create_symlink("../real/new.jww", Out("dangling.jww"));
  ASSERT_TRUE(test::Saves(doc, Out("dangling.jww"), 600));
  EXPECT_TRUE(fs::is_symlink(Out("dangling.jww")));
  EXPECT_EQ(ReadFile(dir / "real" / "new.jww"), bytes);
  // A chain of links ends at the file; a loop of links fails.
  fs::create_symlink("link.jww", Out("chain.jww"));
  WriteFile(dir / "real" / "t.jww", "old");
  ASSERT_TRUE(test::Saves(doc, Out("chain.jww"), 600));
  EXPECT_EQ(ReadFile(dir / "real" / "t.jww"), bytes);
  fs::create_symlink("loop2.jww", Out("loop1.jww"));
  fs::create_symlink("loop1.jww", Out("loop2.jww"));
  EXPECT_FALSE(test::Saves(doc, Out("loop1.jww"), 600));
  EXPECT_TRUE(fs::is_symlink(Out("loop1.jww")));
  EXPECT_EQ(Snapshot(dir / "real").size(), 2u);
}

TEST_F(Save, PermissionBitsAreKept) {
  TESSALY_POSIX_ONLY("only the read-only attribute here");
  for (mode_t mode : {0600, 0640, 0755, 0200}) {
    WriteFile(Out("p.jww"), "old");
    ::chmod(Out("p.jww").c_str(), mode);
    ASSERT_TRUE(test::Saves(doc, Out("p.jww"), 600));
    struct stat st {};
    ASSERT_EQ(::stat(Out("p.jww").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_EQ(Folder().size(), 1u);
  }
}

TEST_F(Save, ADocumentThatCannotBeWrittenLeavesTheTarget) {
  WriteFile(Out("t.jww"), "old");
  doc.DimensionCount = 5;  // the counts disagree with the index
  const Failure f = SaveFile(doc, Out("t.jww"), 600);
  EXPECT_EQ(f.code, FailureCode::kCannotBeWritten) << f.text;
  EXPECT_EQ(Folder(), (Files{{"t.jww", "old"}}));
}

}  // namespace
}  // namespace tessaly::test

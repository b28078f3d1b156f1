// Documents from and to files: the signature decides what loads, and the
// target of a save is replaced whole or not at all. Drawings and figures alike.
#include "app/document_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "io/files.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/failing_sink.h"
#include "support/formats.h"
#include "support/temp_dir.h"

namespace tessaly::test {
namespace {
namespace fs = std::filesystem;

using Files = std::vector<std::pair<std::string, std::string>>;

template <typename F>
class DocumentFiles : public ::testing::Test {
 protected:
  DocumentFiles() {
    fs::create_directory(dir / "out");
    draw::Sample(k.doc, 600, 3);
    bytes = WrittenBuilt(k.doc, 600);
  }
  // A file of the format in out/, and its name there.
  static std::string Name(const char* stem) { return FileName<F>(stem); }
  fs::path Out(const char* stem) { return dir / "out" / Name(stem); }
  Files Folder() { return Snapshot(dir / "out"); }

  TempDir dir;
  typename F::Kit k;
  std::string bytes;  // what the document writes
};
TYPED_TEST_SUITE(DocumentFiles, Formats, FormatNames);

// The signature is checked once, as the load begins: only its bytes decide;
// what a path names that is not a file is said before.
TYPED_TEST(DocumentFiles, TheSignatureDecides) {
  const std::string sig(TypeParam::Format::kSignature);
  std::string lower = sig;
  lower[0] = 'j';
  const std::string other = sig[2] == 'w' ? "JwsData" : "JwwData.";
  const std::pair<std::string, FailureCode> cases[] = {
      {sig, FailureCode::kTruncated},  // the signature, and nothing after it
      {sig + '\0' + "and anything", FailureCode::kTruncated},
      {sig.substr(0, sig.size() - 1), FailureCode::kNotThisFormat},
      {other + std::string(40, '\0'), FailureCode::kNotThisFormat},
      {lower, FailureCode::kNotThisFormat},
      {"", FailureCode::kNotThisFormat},
  };
  for (const auto& [bytes, code] : cases) {
    WriteFile(this->Out("f"), bytes);
    const Failure f = LoadFile(this->k.doc, this->Out("f"));
    EXPECT_EQ(f.code, code) << Hex(bytes) << ": " << f.text;
  }
  fs::create_directory(this->Out("folder"));
  EXPECT_EQ(LoadFile(this->k.doc, this->Out("folder")).code, FailureCode::kIsFolder);
  EXPECT_EQ(LoadFile(this->k.doc, this->Out("missing")).code, FailureCode::kNoSuchFile);
  EXPECT_EQ(LoadError(this->k.doc, this->Out("missing")), "no such file");
}

TYPED_TEST(DocumentFiles, SavingWritesANewFileAndReplacesAnOldOne) {
  const auto& doc = this->k.doc;
  const std::string& bytes = this->bytes;
  ASSERT_TRUE(Saves(doc, this->Out("new"), 600));
  EXPECT_EQ(this->Folder(), (Files{{this->Name("new"), bytes}}));
  WriteFile(this->Out("old"), "old contents");
  ASSERT_TRUE(Saves(doc, this->Out("old"), 600));
  EXPECT_EQ(this->Folder(), (Files{{this->Name("new"), bytes}, {this->Name("old"), bytes}}));
}

TYPED_TEST(DocumentFiles, AFailureHalfWayLeavesTheOldTargetAndNoTemporaryFile) {
  const auto& doc = this->k.doc;
  const Files old{{this->Name("t"), "old contents"}};
  WriteFile(this->Out("t"), "old contents");
  for (std::uint64_t after :
       {std::uint64_t{0}, std::uint64_t{100}, std::uint64_t{this->bytes.size() - 1}}) {
    const std::string error = SaveFailingAfter(doc, this->Out("t"), 600, after);
    EXPECT_NE(error.find("injected"), std::string::npos) << after << ": " << error;
    EXPECT_EQ(this->Folder(), old) << after;
    // A new target is not created either.
    EXPECT_FALSE(SaveFailingAfter(doc, this->Out("n"), 600, after).empty());
    EXPECT_EQ(this->Folder(), old) << after;
  }
  // With the failure gone, the same save succeeds.
  ASSERT_TRUE(Saves(doc, this->Out("t"), 600));
  EXPECT_EQ(ReadFile(this->Out("t")), this->bytes);
}

TYPED_TEST(DocumentFiles, AReadOnlyTargetIsRefusedEvenForRoot) {
  WriteFile(this->Out("ro"), "keep");
  ::chmod(this->Out("ro").c_str(), 0444);
  const Failure f = SaveFile(this->k.doc, this->Out("ro"), 600);
  EXPECT_NE(f.text.find("read-only"), std::string::npos) << f.text;
  EXPECT_EQ(this->Folder(), (Files{{this->Name("ro"), "keep"}}));
  // One write bit is enough.
  ::chmod(this->Out("ro").c_str(), 0404 | 0020);
  EXPECT_TRUE(Saves(this->k.doc, this->Out("ro"), 600));
}

TYPED_TEST(DocumentFiles, ATargetThatIsAFolderFails) {
  fs::create_directory(this->Out("folder"));
  WriteFile(this->Out("folder") / "inside", "x");
  EXPECT_FALSE(Saves(this->k.doc, this->Out("folder"), 600));
  EXPECT_EQ(this->Folder(), (Files{{this->Name("folder") + "/inside", "x"}}));
  // A target in a folder that does not exist fails too.
  EXPECT_FALSE(Saves(this->k.doc, this->dir / "missing" / this->Name("x"), 600));
  EXPECT_FALSE(fs::exists(this->dir / "missing"));
}

TYPED_TEST(DocumentFiles, ALinkIsReplacedAtTheFileItPointsTo) {
  TESSALY_POSIX_ONLY("links need privileges here");
  const auto& doc = this->k.doc;
  const fs::path real = this->dir / "real";
  const std::string t = this->Name("t");
  fs::create_directory(real);
  WriteFile(real / t, "old");
  fs::create_symlink("../real/" + t, this->Out("link"));
  ASSERT_TRUE(Saves(doc, this->Out("link"), 600));
  EXPECT_TRUE(fs::is_symlink(this->Out("link")));
  EXPECT_EQ(fs::read_symlink(this->Out("link")), "../real/" + t);
  EXPECT_EQ(ReadFile(real / t), this->bytes);
  // No temporary file is left in either folder.
  EXPECT_EQ(Snapshot(real).size(), 1u);
  EXPECT_EQ(this->Folder().size(), 1u);
  // A link to a file that does not exist yet makes that file.
  fs::create_symlink("../real/" + this->Name("new"), this->Out("dangling"));
  ASSERT_TRUE(Saves(doc, this->Out("dangling"), 600));
  EXPECT_TRUE(fs::is_symlink(this->Out("dangling")));
  EXPECT_EQ(ReadFile(real / this->Name("new")), this->bytes);
  // A chain of links ends at the file; a loop of links fails.
  fs::create_symlink(this->Name("link"), this->Out("chain"));
  WriteFile(real / t, "old");
  ASSERT_TRUE(Saves(doc, this->Out("chain"), 600));
  EXPECT_EQ(ReadFile(real / t), this->bytes);
  fs::create_symlink(this->Name("loop2"), this->Out("loop1"));
  fs::create_symlink(this->Name("loop1"), this->Out("loop2"));
  EXPECT_FALSE(Saves(doc, this->Out("loop1"), 600));
  EXPECT_TRUE(fs::is_symlink(this->Out("loop1")));
  EXPECT_EQ(Snapshot(real).size(), 2u);
}

TYPED_TEST(DocumentFiles, PermissionBitsAreKept) {
  TESSALY_POSIX_ONLY("only the read-only attribute here");
  for (mode_t mode : {0600, 0640, 0755, 0200}) {
    WriteFile(this->Out("p"), "old");
    ::chmod(this->Out("p").c_str(), mode);
    ASSERT_TRUE(Saves(this->k.doc, this->Out("p"), 600));
    struct stat st {};
    ASSERT_EQ(::stat(this->Out("p").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_EQ(this->Folder().size(), 1u);
  }
}

TYPED_TEST(DocumentFiles, ADocumentThatCannotBeWrittenLeavesTheTarget) {
  WriteFile(this->Out("t"), "old");
  this->k.doc.DimensionCount = 5;  // the counts disagree with the index
  const Failure f = SaveFile(this->k.doc, this->Out("t"), 600);
  EXPECT_EQ(f.code, FailureCode::kCannotBeWritten) << f.text;
  EXPECT_EQ(this->Folder(), (Files{{this->Name("t"), "old"}}));
}

}  // namespace
}  // namespace tessaly::test

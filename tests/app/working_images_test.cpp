// The working files of a drawing's embedded images: written and read back by
// name, and removed with the drawing (the compressed and the expanded name).
#include "app/working_images.h"

#include <gtest/gtest.h>

#include "io/path_text.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

TEST(WorkingImages, ForgettingDeletesEachImagesWorkingFiles) {
  TempDir dir;
  WorkingFolderImages store(dir.path());
  for (const char* f :
       {"IMG.BMP.GZ", "IMG.BMP", "plan.bmp", "plan.bmp.gz", "keep.gz", "keep", "other.jpg"}) {
    WriteFile(dir / f, "x");
  }
  const std::vector<TBindImageType> entries = {
      {JString("IMG.BMP.GZ"), 1, false},
      {JString("plan.bmp"), 1, false},
      {JString(""), 0, false},
      {JString(".gz"), 1, false},     // no name left without ".gz"
      {JString("a/b.gz"), 1, false},  // never a file of ours
  };
  store.Forget(entries);
  EXPECT_FALSE(fs::exists(dir / "IMG.BMP.GZ"));
  EXPECT_FALSE(fs::exists(dir / "IMG.BMP"));
  EXPECT_FALSE(fs::exists(dir / "plan.bmp"));
  // Files of images not listed stay.
  for (const char* f : {"plan.bmp.gz", "keep.gz", "keep", "other.jpg"})
    EXPECT_TRUE(fs::exists(dir / f)) << f;
  EXPECT_TRUE(fs::is_directory(dir.path()));
}

TEST(WorkingImages, AUtf16NameAndAnEmptyList) {
  TempDir dir;
  WorkingFolderImages store(dir.path());
  store.Forget({});
  JString wide;
  wide.wide = true;
  for (char16_t c : std::u16string_view(u"\u56f3.bmp.gz"))
    wide.appendUnit(static_cast<std::uint16_t>(c));
  WriteFile(dir.path() / PathFromUtf8("\xe5\x9b\xb3.bmp.gz"), "x");
  WriteFile(dir.path() / PathFromUtf8("\xe5\x9b\xb3.bmp"), "x");
  std::string fsName;
  Message why;
  ASSERT_TRUE(CheckImageName(wide, fsName, why)) << why.English();
  EXPECT_TRUE(store.Has(fsName, true));
  store.Forget({{wide, 1, false}});
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace tessaly

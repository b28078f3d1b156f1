// Embedded images (version 700 on): kept as working files on load (the store
// a conversion gives the document), embedded again on save when a text still
// refers to them.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "app/working_images.h"
#include "archive/writer.h"
#include "io/path_text.h"
#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "support/entity_lists.h"
#include "support/documents.h"
#include "support/temp_dir.h"

namespace tessaly::test {
namespace {
namespace fs = std::filesystem;

constexpr std::int32_t kDataSize = INT32_MIN;  // the size of the data given

struct Img {
  JString name;
  std::string data;
  std::int32_t size = kDataSize;
};

struct OutImg {
  JString name;
  std::string data;
  friend bool operator==(const OutImg&, const OutImg&) = default;
};

std::ostream& operator<<(std::ostream& o, const OutImg& i) {
  return o << (i.name.wide ? "w:" : "") << Hex(i.name.bytes) << " = " << Hex(i.data);
}

class Images : public ::testing::Test {
 protected:
  Images() : work(dir / "work"), store(work), images(store), doc(images) { fs::create_directory(work); }

  // A drawing whose main list holds `texts` and whose one (unused) block
  // definition holds `defTexts`, followed by the image section.
  Bytes Drawing(const std::vector<JString>& texts, const std::vector<Img>& imgs,
                const std::vector<JString>& defTexts = {}) {
    TEntityLists m;
    const TEntJwwCommon c{0, 1, 1, 0, 0, 0, 0};
    for (const auto& t : texts) m.Add(TEntJwwMoji{c, 0, 0, 1, 0, 1, 1, 1, 0, 0, Sjis(""), t});
    TEntJwwBlockDef d;
    d.common = c;
    d.name = Sjis("d");
    for (const auto& t : defTexts) d.Add(TEntJwwMoji{c, 0, 0, 1, 0, 1, 1, 1, 0, 0, Sjis(""), t});
    m.BlockDefs.push_back(d);
    Bytes b = JwwHeader(700);
    ListEncoder(b, 700).Lists(m);
    listsEnd = b.size();
    b.u32(static_cast<std::uint32_t>(imgs.size()));  // image count
    for (const auto& i : imgs) {
      b.jstr(i.name).i32(i.size != kDataSize ? i.size : static_cast<std::int32_t>(i.data.size()));
      b.raw(i.data);
    }
    return b;
  }

  bool Load(const Bytes& b) {
    last = doc.Load(b.span());
    return last.ok();
  }

  // The image section of what the writer makes of the document.
  std::vector<OutImg> Written() {
    StringSink out;
    doc.Write(out, 700);
    std::string_view s = out.bytes;
    EXPECT_EQ(s.substr(0, listsEnd), loaded.substr(0, listsEnd)) << "the lists changed";
    std::size_t at = listsEnd;
    auto u32 = [&] {
      std::uint32_t v = static_cast<std::uint32_t>(I32At(s, at));
      at += 4;
      return v;
    };
    std::vector<OutImg> result;
    for (std::uint32_t n = u32(); n > 0; --n) {
      OutImg i;
      HeaderItem item{0, 0, 0, 0, 's', at, 0};
      StringPayload p = PayloadOf(s, item);
      i.name = JString(p.bytes, p.wide);
      at += (p.wide ? Bytes().wstrBytes(p.bytes) : Bytes().str(p.bytes)).size();
      const std::uint32_t size = u32();
      i.data = std::string(s.substr(at, size));
      at += size;
      result.push_back(i);
    }
    EXPECT_EQ(at, s.size());
    return result;
  }

  void LoadOk(const Bytes& b) {
    loaded = b.bytes();
    ASSERT_TRUE(Load(b)) << last.message;
  }

  TempDir dir;
  fs::path work;
  WorkingFolderImages store;
  TBoundImages images;
  TJwwData doc;
  LoadResult last;  // of the last Load
  std::size_t listsEnd = 0;
  std::string loaded;
};

JString Ref(std::string_view rest) {
  return Sjis("^@BM%temp%" + std::string(rest));
}
OutImg Out(const JString& name, std::string data) {
  return OutImg{name, std::move(data)};
}

TEST_F(Images, AreExtractedIntoTheWorkingFolder) {
  LoadOk(Drawing({}, {{Sjis("a.bmp"), "AAA"}, {Sjis("b.png"), std::string("B\0B", 3)}}));
  ASSERT_EQ(images.Entries.size(), 2u);
  EXPECT_EQ(images.Entries[0].name, Sjis("a.bmp"));
  EXPECT_EQ(images.Entries[1].size, 3);
  EXPECT_EQ(ReadFile(work / "a.bmp"), "AAA");
  EXPECT_EQ(ReadFile(work / "b.png"), std::string("B\0B", 3));
  // Nothing is written outside the working folder.
  EXPECT_EQ(Snapshot(dir.path()).size(), 2u);
  // No text refers to them: the section is written with the count 0.
  EXPECT_EQ(Written(), std::vector<OutImg>{});
}

TEST_F(Images, OnlyImagesATextRefersToAreWritten) {
  LoadOk(Drawing({Ref("b.png,10,20"), Sjis("plain")},
                 {{Sjis("a.bmp"), "AAA"}, {Sjis("b.png"), "BB"}}));
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("b.png"), "BB")}));
  EXPECT_FALSE(images.Entries[0].used);
  EXPECT_TRUE(images.Entries[1].used);
}

TEST_F(Images, TheReferenceMatchesUpperCasedPrefixesOfNamesInListOrder) {
  struct Case {
    std::vector<JString> texts;
    std::vector<std::string> names;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {{Ref("A.BMP,1,1")}, {"a.bmp"}, {"a.bmp"}},
      {{Ref("a.bmp,1,1")}, {"A.Bmp"}, {"A.Bmp"}},
      // The first entry whose name begins with the reference.
      {{Ref("a.bmp,1,1")}, {"a.bmp.gz", "a.bmp"}, {"a.bmp.gz"}},
      {{Ref("a.bmp,1,1")}, {"a.bmp", "a.bmp.gz"}, {"a.bmp"}},
      {{Ref("a.bm,")}, {"x", "a.bmp"}, {"a.bmp"}},
      // Nothing before the comma: the first entry.
      {{Ref(",0,0")}, {"x.png", "y.png"}, {"x.png"}},
      // Not references: too short, no comma, a different beginning.
      {{Sjis("^@BM%temp%")}, {"a"}, {}},
      {{Ref("a.bmp")}, {"a.bmp"}, {}},
      {{Sjis("x^@BM%temp%a.bmp,")}, {"a.bmp"}, {}},
      {{Sjis("^@BMa.bmp,")}, {"a.bmp"}, {}},
      {{Sjis("^@bm%temp%a.bmp,")}, {"a.bmp"}, {}},
      // A longer reference than the name does not match.
      {{Ref("a.bmpx,")}, {"a.bmp"}, {}},
      // Two-byte characters stay whole: a trail byte 'a' is not upper-cased.
      {{Ref("\x83\x61.BMP,")}, {"\x83\x61.bmp"}, {"\x83\x61.bmp"}},
      {{Ref("\x83\x41.bmp,")}, {"\x83\x61.bmp"}, {}},
      {{Ref("\x95\x5C,")}, {"\x95\x5C.bmp"}, {"\x95\x5C.bmp"}},
      // Two texts, two images, written in list order.
      {{Ref("b,"), Ref("a,")}, {"a", "b", "c"}, {"a", "b"}},
  };
  for (const auto& c : cases) {
    std::vector<Img> imgs;
    for (const auto& n : c.names) imgs.push_back({Sjis(n), "<" + n + ">"});
    LoadOk(Drawing(c.texts, imgs));
    std::vector<OutImg> expected;
    for (const auto& n : c.written) expected.push_back(Out(Sjis(n), "<" + n + ">"));
    EXPECT_EQ(Written(), expected) << Hex(c.texts[0].bytes);
  }
}

TEST_F(Images, UnicodeTextsAndNamesMatchAcrossFormsOnAsciiOnly) {
  const JString wideRefAscii = Wide(u"^@BM%temp%a.BMP,1,1");
  const JString wideRefKanji = Wide(u"^@BM%temp%\u8868.bmp,1,1");
  // A UTF-16 text and a Shift-JIS name: plain ASCII matches.
  LoadOk(Drawing({wideRefAscii}, {{Sjis("A.bmp"), "1"}}));
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("A.bmp"), "1")}));
  // The same kanji in the two forms does not.
  LoadOk(Drawing({wideRefKanji}, {{Sjis("\x95\x5C.bmp"), "2"}}));
  EXPECT_EQ(Written(), std::vector<OutImg>{});
  LoadOk(Drawing({Ref("\x95\x5C.bmp,")}, {{Wide(u"\u8868.bmp"), "3"}}));
  EXPECT_EQ(Written(), std::vector<OutImg>{});
  // UTF-16 against UTF-16 matches unit by unit; the name is written back in its form.
  LoadOk(Drawing({wideRefKanji}, {{Wide(u"\u8868.BMP"), "4"}}));
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Wide(u"\u8868.BMP"), "4")}));
  // A Shift-JIS reference to a UTF-16 name with ASCII only.
  LoadOk(Drawing({Ref("pic,")}, {{Wide(u"Pic.png"), "5"}}));
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Wide(u"Pic.png"), "5")}));
}

TEST_F(Images, AReferenceInsideABlockDefinitionCounts) {
  LoadOk(Drawing({}, {{Sjis("a.bmp"), "A"}, {Sjis("b.bmp"), "B"}}, {Ref("b.bmp,")}));
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("b.bmp"), "B")}));
}

TEST_F(Images, ADuplicateNameHoldsTheLastDataAndTheFirstEntryIsWritten) {
  LoadOk(Drawing({Ref("a.bmp,")},
                 {{Sjis("a.bmp"), "first"}, {Sjis("b"), "b"}, {Sjis("a.bmp"), "2nd"}}));
  EXPECT_EQ(images.Entries.size(), 3u);
  EXPECT_EQ(ReadFile(work / "a.bmp"), "2nd");
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("a.bmp"), "2nd")}));
}

TEST_F(Images, AReferenceTakesTheFirstImageInFileOrderWhoseNameBeginsWithIt) {
  // Sorted by name "B1" would come first; the file order decides. Case is
  // ignored, and a prefix that begins no name marks nothing.
  LoadOk(Drawing({Ref("b,"), Ref("A1.BMP,"), Ref("c,"), Ref("b1x,")},
                 {{Sjis("b2"), "2"}, {Sjis("a1.bmp"), "a"}, {Sjis("B1"), "1"}, {Sjis("b"), "b"}}));
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("b2"), "2"), Out(Sjis("a1.bmp"), "a")}));
}

TEST_F(Images, AnEmptyNameIsSkippedAndNeverWritten) {
  LoadOk(Drawing({Ref(",")}, {{Sjis(""), "xyz"}, {Sjis("b.bmp"), "B"}}));
  ASSERT_EQ(images.Entries.size(), 2u);
  EXPECT_EQ(ReadFile(work / "b.bmp"), "B");
  EXPECT_EQ(Snapshot(work).size(), 1u);
  // "^@BM%temp%," marks the first entry, which has no name: nothing is written.
  EXPECT_EQ(Written(), std::vector<OutImg>{});
}

TEST_F(Images, AnImageOfSizeZeroMakesNoFile) {
  LoadOk(Drawing({Ref("z.bmp,")}, {{Sjis("z.bmp"), ""}}));
  EXPECT_EQ(images.Entries.size(), 1u);
  EXPECT_FALSE(fs::exists(work / "z.bmp"));
  EXPECT_EQ(Written(), std::vector<OutImg>{});
}

TEST_F(Images, ANegativeSizeFailsTheLoad) {
  for (const char* name : {"a.bmp", ""}) {
    EXPECT_FALSE(Load(Drawing({}, {{Sjis(name), "", -1}})));
    EXPECT_NE(last.message.find("negative"), std::string::npos) << last.message;
    Bytes b = Drawing({}, {});
    std::string s = b.bytes().substr(0, b.size() - 4);
    Bytes bad = Bytes().raw(s).u32(1).str(name).i32(-5).raw("abcdef");
    EXPECT_FALSE(Load(bad));
    EXPECT_NE(last.message.find("negative"), std::string::npos) << last.message;
  }
}

TEST_F(Images, NamesThatAreNotPlainFileNamesFailTheLoadAndCreateNothing) {
  const std::vector<JString> names = {
      Sjis("../x"), Sjis("a/b"),   Sjis("a\\b"),  Sjis("c:x"), Sjis("."),   Sjis(".."),
      Sjis("/abs"), Wide(u"../y"), Wide(u"a\\b"), Wide(u".."), Wide(u"x:"),
      // A byte below 0x40 after a lead byte is no trail byte: "a\x82\0b" would
      // otherwise be cut at the NUL and share "a\x82"'s working file.
      Sjis(std::string("a\x82\0b", 4)), Sjis("a\x82\x1F"), Sjis("\x95/"),
  };
  for (const auto& name : names) {
    for (const std::string data : {"data", ""}) {
      EXPECT_FALSE(Load(Drawing({}, {{Sjis("ok.bmp"), "ok"}, {name, data}}))) << Hex(name.bytes);
      EXPECT_NE(last.message.find("image 2 of 2"), std::string::npos) << last.message;
      // Only the first image was made, in the working folder.
      EXPECT_EQ(Snapshot(dir.path()),
                (std::vector<std::pair<std::string, std::string>>{{"work/ok.bmp", "ok"}}));
    }
  }
}

TEST_F(Images, FileNamesFromTheStoredBytes) {
  // The trail byte 0x5C of a two-byte character is no separator.
  LoadOk(Drawing({Ref("\x95\x5C,")}, {{Sjis("\x95\x5C"), "hyou"}}));
#ifdef _WIN32
  EXPECT_EQ(ReadFile(work / L"\u8868"), "hyou");  // 表, from code page 932
#else
  EXPECT_EQ(ReadFile(work / "\x95\x5C"), "hyou");
#endif
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("\x95\x5C"), "hyou")}));
  // A UTF-16 name becomes its UTF-8 form.
  LoadOk(Drawing({}, {{Wide(u"\u8868\U0001F600.png"), "wide"}}));
  EXPECT_EQ(ReadFile(work / PathFromUtf8("\xE8\xA1\xA8\xF0\x9F\x98\x80.png")), "wide");
  // 255 bytes are fine; 256 are not, nor a UTF-8 form over 255 bytes, nor a lone surrogate.
  LoadOk(Drawing({}, {{Sjis(std::string(255, 'n')), "long"}}));
  EXPECT_EQ(ReadFile(work / std::string(255, 'n')), "long");
  EXPECT_FALSE(Load(Drawing({}, {{Sjis(std::string(256, 'n')), "x"}})));
  EXPECT_FALSE(
      Load(Drawing({}, {{Wide(std::u16string(86, u'\u8868')), "x"}})));  // 258 bytes in UTF-8
  JString lone = Wide(u"a");
  lone.appendUnit(0xD800);
  EXPECT_FALSE(Load(Drawing({}, {{lone, "x"}})));
  EXPECT_NE(last.message.find("UTF-16"), std::string::npos) << last.message;
}

TEST_F(Images, AFileThatDisappearsBeforeTheSaveIsDropped) {
  LoadOk(Drawing({Ref("a,"), Ref("b,")}, {{Sjis("a"), "A"}, {Sjis("b"), "B"}}));
  fs::remove(work / "a");
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("b"), "B")}));
  // The texts are written unchanged (Written checks the lists).
  // A working file that changed is written with its current contents.
  WriteFile(work / "b", "new contents");
  EXPECT_EQ(Written(), (std::vector<OutImg>{Out(Sjis("b"), "new contents")}));
}

// A sink that removes a file when the writer first hands it bytes.
class RemovingSink : public ByteSink {
 public:
  explicit RemovingSink(fs::path victim) : victim_(std::move(victim)) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    if (!victim_.empty()) fs::remove(victim_);
    victim_.clear();
    bytes.append(reinterpret_cast<const char*>(data), n);
  }
  std::string bytes;

 private:
  fs::path victim_;
};

TEST_F(Images, AFileThatCannotBeReadAfterItsNameWasWrittenFailsTheSave) {
  // The first image is large enough that the writer hands its bytes on before
  // the second image is read; by then the second one's file is gone.
  const std::string big(3 << 20, 'x');
  LoadOk(Drawing({Ref("big,"), Ref("small,")}, {{Sjis("big"), big}, {Sjis("small"), "s"}}));
  RemovingSink sink(work / "small");
  EXPECT_THROW(doc.Write(sink, 700), WriteError);
  EXPECT_FALSE(fs::exists(work / "small"));
}

TEST_F(Images, Version700WithoutImagesReadsOnlyTheCount) {
  LoadOk(EmptyJwwDrawing(700));
  EXPECT_TRUE(images.Entries.empty());
  // Written below 700, there is no image section at all.
  LoadOk(Drawing({Ref("a,")}, {{Sjis("a"), "A"}}));
  StringSink out;
  doc.Write(out, 600);
  TJwwData back(images);
  EXPECT_TRUE(LoadsBytes(back, out.bytes));
}

}  // namespace
}  // namespace tessaly::test

// Corrupt and hostile drawings: every one fails cleanly with a reason that says
// where, quickly and without large allocations; nothing crashes or hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "support/documents.h"
#include "support/formats.h"
#include "support/temp_dir.h"

// The largest single allocation since the last reset, to show that untrusted
// counts never reserve memory the file cannot fill.
namespace {
std::atomic<std::size_t> gLargest{0};
void* Allocate(std::size_t n) {
  std::size_t seen = gLargest.load();
  while (n > seen && !gLargest.compare_exchange_weak(seen, n)) {
  }
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t n) {
  return Allocate(n);
}
void* operator new[](std::size_t n) {
  return Allocate(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace tessaly::test {
namespace {

class BadInput : public ::testing::Test, protected Drawing::Kit {
 protected:

  // Loads a copy of exactly these bytes, so that a read past the end is a read
  // past the allocation (seen by the address sanitizer).
  bool Load(std::string_view bytes) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size() ? bytes.size() : 1]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    gLargest = 0;
    last = doc.Load({copy.get(), bytes.size()});
    largest = gLargest.load();
    return last.ok();
  }
  bool Load(const Bytes& b) { return Load(b.view()); }

  void ExpectFails(const Bytes& b, std::string_view what) {
    EXPECT_FALSE(Load(b));
    EXPECT_NE(last.message.find(what), std::string::npos) << last.message;
    EXPECT_LT(largest, std::size_t{1} << 20) << last.message;
  }

  LoadResult last;  // of the last Load
  std::size_t largest = 0;
};

// Every prefix of a drawing shorter than the whole fails; the whole loads. Which
// prefixes: all of them for a file up to 20 KB; for a larger one every prefix
// within the header (plus 64 bytes), the last 64, and about `samples` spread
// evenly over the rest. `headerStride` thins out the prefixes within the header
// where another test already covers that layout.
void CheckPrefixes(const std::string& file, const std::string& name, std::size_t samples = 400,
                   std::size_t headerStride = 1) {
  Drawing::Kit k;
  TJwwData& doc = k.doc;
  const std::size_t headerEnd = WalkJwwHeader(file).end;
  const std::size_t rest = file.size() - std::min(file.size(), headerEnd + 64);
  // An odd stride, so that the samples do not all fall on the same field of records of even size.
  const std::size_t stride = std::max<std::size_t>(rest / samples, 1) | 1;
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n < file.size(); ++n) {
    bool take;
    if (n < headerEnd + 64) {
      take = n % headerStride == 0 || n + 64 >= headerEnd;
    } else {
      take = file.size() <= 20000 || n + 64 >= file.size() || (n - headerEnd) % stride == 0;
    }
    if (take) lengths.push_back(n);
  }
  for (std::size_t n : lengths) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[n ? n : 1]);
    std::memcpy(copy.get(), file.data(), n);
    const LoadResult r = doc.Load({copy.get(), n});
    if (r) {
      ADD_FAILURE() << name << ": a prefix of " << n << " of " << file.size() << " bytes loaded";
      return;
    }
    if (r.message.empty() || r.offset > n) {
      ADD_FAILURE() << name << ": no reason for the prefix of " << n << " bytes";
      return;
    }
  }
  EXPECT_TRUE(LoadsBytes(doc, file));
}

class CorpusPrefixes : public ::testing::TestWithParam<int> {};

TEST_P(CorpusPrefixes, FailCleanly) {
  const auto& path = RealDrawings().at(static_cast<std::size_t>(GetParam()));
  CheckPrefixes(ReadFile(path), path.filename().string());
}

INSTANTIATE_TEST_SUITE_P(Jww, CorpusPrefixes, ::testing::ValuesIn(RealDrawingIndices()), RealDrawingName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusPrefixes);

TEST(BuiltPrefixes, FailCleanlyAtEveryVersion) {
  // Every prefix of the lists and images; the headers below 600 every 7th byte
  // (the real drawings cover the layout of 600 and 700 byte by byte).
  for (std::int32_t v : {220, 223, 225, 230, 300, 351, 420, 600, 700}) {
    const BuiltDrawing b = BuildSampleDrawing(v, v == 700);
    CheckPrefixes(b.bytes.bytes(), "version " + std::to_string(v), 1u << 20, 7);
  }
}

TEST_F(BadInput, HugeCountsFailQuicklyWithoutLargeAllocations) {
  const Bytes line = Bytes().newClass(600, "CDataSen").common({}, 600).f64(0).f64(0).f64(1).f64(1);
  ExpectFails(Bytes().raw(JwwHeader(600)).u16(0xFFFF).u32(0xFFFFFFFF).raw(line),
              "truncated at byte offset");
  ExpectFails(Bytes().raw(JwwHeader(600)).count(0).u16(0xFFFF).u32(0xFFFFFFFF),
              "truncated at byte offset");
  // A definition with a huge list.
  Bytes def = Bytes().raw(JwwHeader(600)).count(0).count(1);
  def.newClass(600, "CDataList").common({}, 600).i32(0).i32(0).i32(0).str("d");
  def.u16(0xFFFF).u32(0x7FFFFFFF).raw(line);
  ExpectFails(def, "block definition 1 of 1");
  // Images: a huge count, and a huge size.
  const Bytes lists = Bytes().raw(JwwHeader(700)).count(0).count(0);
  ExpectFails(Bytes().raw(lists).u32(0xFFFFFFFF).str("a.bmp").i32(3).raw("abc"),
              "image 2 of 4294967295");
  // The first image was extracted, and is listed so that the clean-up finds it.
  ASSERT_EQ(images.Entries.size(), 1u);
  EXPECT_EQ(test::Stored(store, "a.bmp"), "abc");
  ExpectFails(Bytes().raw(lists).u32(1).str("b.bmp").i32(0x7FFFFFFF).raw("abc"), "image 1 of 1");
  EXPECT_EQ(test::Stored(store, "b.bmp"), "<none>");
  // Strings: a UTF-16 length of 2^32 - 1 units in the memo, 65535 bytes in a name.
  ExpectFails(Bytes()
                  .raw("JwwData.")
                  .i32(600)
                  .u8(0xFF)
                  .u16(0xFFFE)
                  .u8(0xFF)
                  .u16(0xFFFF)
                  .u32(0xFFFFFFFF)
                  .raw("ab"),
              "(header)");
  std::string header = JwwHeader(600).bytes();
  const HeaderItem name = WalkJwwHeader(header).Find(18, 0);
  ExpectFails(Bytes().raw(header.substr(0, name.offset)).u8(0xFF).u16(0xFFFF).raw("abc"),
              "truncated");
}

TEST_F(BadInput, MissingBytesAreDifferentFromExtraCountsOfEmptyLists) {
  // The count of an empty image section may not be left out.
  const Bytes full = EmptyJwwDrawing(700);
  EXPECT_TRUE(Load(full));
  EXPECT_FALSE(Load(full.view().substr(0, full.size() - 1)));
  EXPECT_FALSE(Load(full.view().substr(0, full.size() - 4)));
  // Below 700 there is no image section.
  EXPECT_TRUE(Load(EmptyJwwDrawing(600)));
}

struct TagCase {
  Bytes tag;
  std::string what;
  std::size_t offsetInTag = 0;  // where in the tag the fault is found
};

TEST_F(BadInput, TagsThatNameNoEntityKindFailTheLoad) {
  const Bytes line = Bytes().common({}, 600).f64(0).f64(0).f64(1).f64(1);
  const TagCase cases[] = {
      {Bytes().u16(0x0001), "object reference 0x0001"},
      {Bytes().u16(0x0000), "object reference 0x0000"},
      {Bytes().u16(0x7FFE), "object reference 0x7FFE"},
      {Bytes().newClass(600, "CDataFoo"), "class \"CDataFoo\""},
      {Bytes().newClass(600, "CDataList"), "not an entity class"},  // a definition is not an entity
      {Bytes().newClass(600, "cdatasen"), "not an entity class"},   // names are case-sensitive
      {Bytes().classRef(5), "class reference 5"},                   // index 1 is the line class
      {Bytes().classRef(2), "class reference 2"},                   // 2 is the first line object
      {Bytes().classRef(0x7FFF), "class reference 32767"},
      {Bytes().newClass(600, std::string(2049, 'C')), "longer than 2048", 4},
  };
  for (const auto& c : cases) {
    Bytes b = JwwHeader(600);
    b.count(3).newClass(600, "CDataSen").raw(line);  // entity 1: a line, class 1
    b.raw(c.tag).raw(line).count(0);                 // entity 2
    ExpectFails(b, c.what);
    EXPECT_NE(last.message.find("main list, entity 2 of 3"), std::string::npos) << last.message;
    EXPECT_NE(last.message.find("at byte offset " + std::to_string(JwwHeader(600).size() + 2 + 14 +
                                                                  line.size() + c.offsetInTag)),
              std::string::npos)
        << last.message;
  }
}

TEST_F(BadInput, AClassReferenceToZeroBeforeAnyClassIsABlockInsertion) {
  // No class seen yet: every kind remembers index 0, and the last one (block
  // insertion) matches.
  Bytes b = JwwHeader(600);
  b.count(1).classRef(0).common({}, 600).f64(1).f64(2).f64(1).f64(1).f64(0).i32(0);
  b.count(0);
  ASSERT_TRUE(Load(b)) << last.message;
  EXPECT_EQ(doc.BlockCount(), 1);
  EXPECT_EQ(doc.Blocks[0].y, 2);
}

TEST_F(BadInput, DefinitionTagsAreNotChecked) {
  // Main list: a line (class 1, object 2). Then four definitions with a class
  // record named like an entity class (index 3, object 4), an object reference
  // (object 5), an unknown class (index 6, object 7), and a reference to an
  // index no class has (object 8). A definition's class record changes no
  // entity kind: its list refers to the line class as 1.
  const Bytes line = Bytes().common({}, 600).f64(0).f64(0).f64(1).f64(1);
  auto body = [](Bytes& b, const char* name) { b.common({}, 600).i32(0).i32(0).i32(0).str(name); };
  Bytes b = JwwHeader(600);
  b.count(1).newClass(600, "CDataSen").raw(line);
  b.count(4);
  b.newClass(600, "CDataSen");
  body(b, "a");
  b.count(1).classRef(1).raw(line);  // a line: object 5
  b.u16(0x0001);
  body(b, "b");
  b.count(0);
  b.newClass(600, std::string(2048, 'Z'));  // the longest name taken
  body(b, "c");
  b.count(0);
  b.classRef(0x1234);
  body(b, "d");
  b.count(0);
  ASSERT_TRUE(Load(b)) << last.message;
  ASSERT_EQ(doc.BlockDefCount(), 4);
  EXPECT_EQ(doc.BlockDefs[0].LineCount(), 1);
  EXPECT_EQ(doc.BlockDefs[3].name, Sjis("d"));

  // The definition's class index 3 is no entity class.
  Bytes bad = JwwHeader(600);
  bad.count(1).newClass(600, "CDataSen").raw(line);
  bad.count(1).newClass(600, "CDataSen");
  body(bad, "a");
  bad.count(1).classRef(3).raw(line);
  ExpectFails(bad, "class reference 3");
  EXPECT_NE(last.message.find("block definition 1 of 1, entity 1 of 1"), std::string::npos)
      << last.message;

  // A class name longer than 2048 bytes fails there too.
  Bytes longName = JwwHeader(600);
  longName.count(0).count(1).newClass(600, std::string(2049, 'Z'));
  body(longName, "a");
  longName.count(0);
  ExpectFails(longName, "longer than 2048");
}

TEST_F(BadInput, MessagesNameTheOffsetAndTheRecord) {
  const Bytes line = Bytes().common({}, 600).f64(0).f64(0).f64(1).f64(1);
  Bytes b = JwwHeader(600);
  b.count(10).newClass(600, "CDataSen").raw(line).classRef(1).raw(line);
  b.newClass(600, "CDataMoji").common({}, 600);
  b.f64(0).f64(0).f64(1).f64(0).i32(1).f64(1).f64(1).f64(0).f64(0);
  b.u8(5);  // a font name of 5 bytes, of which 2 are there
  const std::size_t at = b.size();
  b.raw("MS");
  ExpectFails(b, "truncated at byte offset " + std::to_string(at));
  EXPECT_NE(last.message.find("(main list, entity 3 of 10, text)"), std::string::npos) << last.message;
  EXPECT_EQ(last.status, LoadResult::Status::kTruncated);
  EXPECT_EQ(last.offset, at);
  EXPECT_EQ(last.record, "main list, entity 3 of 10, text");
  // What was read stays in the document.
  EXPECT_EQ(doc.LineCount(), 2);
  EXPECT_EQ(doc.TextCount(), 0);

  // In a definition.
  Bytes d = JwwHeader(600);
  d.count(0).count(3);
  for (const char* name : {"a", "b"}) {
    d.newClass(600, "CDataList").common({}, 600).i32(0).i32(0).i32(0).str(name).count(0);
  }
  d.classRef(1).common({}, 600).i32(0).i32(0).i32(0).str("c").count(1);
  d.newClass(600, "CDataEnko").common({}, 600).f64(0);
  ExpectFails(d, "(block definition 3 of 3, entity 1 of 1, arc)");
  // In the header.
  const std::string h = JwwHeader(600).bytes();
  ExpectFails(Bytes().raw(h.substr(0, 100)), "truncated at byte offset");
  EXPECT_NE(last.message.find("(header)"), std::string::npos) << last.message;
}

}  // namespace
}  // namespace tessaly::test

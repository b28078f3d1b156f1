// Hostile drawings against the memory and the time a conversion may take: each
// row is a file built here that announces more than it holds, or holds many of
// what used to cost more than its share (nested or equal block numbers, long
// names inserted often, images of one name, the count and class escapes). Each
// row says whether the file loads and what it then holds, and the bytes the
// whole conversion keeps allocated at its peak (load, dissolve, write) are
// bounded by a small multiple of the file's size.
//
// Timings are not asserted here. With TESSALY_HOSTILE_OUT set to a folder, the
// files are also written there, to be measured with the command line.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "dissolve/dissolve.h"
#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "support/temp_dir.h"

// The bytes allocated through operator new and not yet freed, and their peak
// since the last reset. Each block carries its size in front of it.
namespace {
constexpr std::size_t kHead = 16;  // keeps the alignment of malloc
std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

void* Allocate(std::size_t n) {
  auto* p = static_cast<unsigned char*>(std::malloc(n + kHead));
  if (!p) throw std::bad_alloc();
  std::memcpy(p, &n, sizeof n);
  const std::size_t live = gLive.fetch_add(n) + n;
  std::size_t seen = gPeak.load();
  while (live > seen && !gPeak.compare_exchange_weak(seen, live)) {
  }
  return p + kHead;
}
void Release(void* q) noexcept {
  if (!q) return;
  auto* p = static_cast<unsigned char*>(q) - kHead;
  std::size_t n;
  std::memcpy(&n, p, sizeof n);
  gLive.fetch_sub(n);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t n) {
  return Allocate(n);
}
void* operator new[](std::size_t n) {
  return Allocate(n);
}
// The sanitizer's own nothrow forms would not carry the size in front.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}

namespace tessaly::test {
namespace {
namespace fs = std::filesystem;

constexpr std::int32_t kV = 600;

Bytes LineBody() {
  return Bytes().common({}, kV).f64(0).f64(0).f64(1).f64(1);
}
Bytes InsertionBody(std::int32_t number, std::int32_t version = kV) {
  return Bytes().common({}, version).f64(1).f64(2).f64(1).f64(1).f64(0).i32(number);
}
void DefHead(Bytes& b, std::int32_t number, std::string_view name, std::int32_t version = kV) {
  b.common({}, version).i32(number).i32(0).i32(0).str(name);
}

// The main list: `n` insertions of number `first`, `first` + 1, ... (or all of
// `first` when `same`); class 1 is CDataBlock.
Bytes MainInsertions(std::int32_t version, std::uint32_t n, std::int32_t first, bool same) {
  Bytes b = JwwHeader(version);
  b.count(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(static_cast<std::uint16_t>(version), "CDataBlock");
    else b.classRef(1);
    b.raw(InsertionBody(same ? first : first + static_cast<std::int32_t>(i), version));
  }
  return b;
}

// Class records of a file whose main list holds only insertions: CDataBlock is
// class 1, and the first CDataList record takes the next object index.
std::uint32_t ListClassIndex(std::uint32_t mainInsertions) {
  return 2 + mainInsertions;
}

// `n` definitions numbered 0 to n - 1, each inserting the next; the main list
// inserts the first.
Bytes ChainedDefinitions(std::uint32_t n) {
  Bytes b = MainInsertions(kV, 1, 0, false);
  b.count(n);
  const std::uint32_t listClass = ListClassIndex(1);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(kV, "CDataList");
    else b.classRef(listClass);
    DefHead(b, static_cast<std::int32_t>(i), "d" + std::to_string(i));
    b.count(1).classRef(1).raw(InsertionBody(static_cast<std::int32_t>(i) + 1));
  }
  return b;
}

// `n` definitions that all have number 5 and insert it; the main list inserts
// it `inserts` times.
Bytes SameNumberDefinitions(std::uint32_t n, std::uint32_t inserts) {
  Bytes b = MainInsertions(kV, inserts, 5, true);
  b.count(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(kV, "CDataList");
    else b.classRef(ListClassIndex(inserts));
    DefHead(b, 5, "same");
    b.count(1).classRef(1).raw(InsertionBody(5));
  }
  return b;
}

// One definition with a name of `nameBytes` bytes, inserted `inserts` times.
Bytes LongNameInsertedOften(std::size_t nameBytes, std::uint32_t inserts) {
  Bytes b = MainInsertions(kV, inserts, 0, true);
  b.count(1).newClass(kV, "CDataList");
  DefHead(b, 0, std::string(nameBytes, 'N'));
  b.count(0);
  return b;
}

// `n` definitions numbered 0, 65536, 131072, ...: numbers that share their low
// bits, as numbers that fall into one bucket of a hash map do.
Bytes SpreadNumberDefinitions(std::uint32_t n) {
  Bytes b = MainInsertions(kV, 1, 0, false);
  b.count(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(kV, "CDataList");
    else b.classRef(ListClassIndex(1));
    DefHead(b, static_cast<std::int32_t>(i << 16), "d");
    b.count(1).classRef(1).raw(InsertionBody(static_cast<std::int32_t>((i + 1) << 16)));
  }
  return b;
}

// A drawing of version 700 with `n` lines, then the image section.
Bytes Lines700(std::uint32_t n) {
  Bytes b = JwwHeader(700);
  b.count(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(700, "CDataSen");
    else b.classRef(1);
    b.common({}, 700).f64(i).f64(0).f64(i).f64(1);
  }
  return b.count(0);
}

// `n` images, all named "a.bmp".
Bytes SameNameImages(std::uint32_t n) {
  Bytes b = Lines700(0);
  b.u32(n);
  for (std::uint32_t i = 0; i < n; ++i) b.str("a.bmp").i32(8).raw("BM" + std::to_string(100000 + i));
  return b;
}

// `n` images and `n` texts that refer to a name none of them has, each one
// character longer than an image's name.
Bytes NearMissImageNames(std::uint32_t n) {
  Bytes b = JwwHeader(700);
  b.count(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(700, "CDataMoji");
    else b.classRef(1);
    Bytes t;
    t.common({}, 700).f64(0).f64(0).f64(1).f64(0).i32(1).f64(1).f64(1).f64(0).f64(0);
    b.raw(t.str("F").str("^@BM%temp%image-name-" + std::to_string(100000 + i) + "x.bmp,10,10,0,0,1,0"));
  }
  b.count(0).u32(n);
  for (std::uint32_t i = 0; i < n; ++i)
    b.str("image-name-" + std::to_string(100000 + i) + ".bmp").i32(2).raw("BM");
  return b;
}

// `n` lines in the main list (the count takes its escape from 65535 on).
Bytes ManyLines(std::uint32_t n) {
  Bytes b = JwwHeader(kV);
  b.count(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == 0) b.newClass(kV, "CDataSen");
    else b.classRef(1);
    b.raw(LineBody());
  }
  return b.count(0);
}

// 40,000 lines, then a point class whose index is past 0x7FFF and two points,
// the second one referring to that class through the long form; `classIndex`
// is what the second point names.
Bytes LongClassReference(std::uint32_t classIndex) {
  constexpr std::uint32_t kLines = 40000;
  Bytes b = JwwHeader(kV);
  b.count(kLines + 2);
  b.newClass(kV, "CDataSen").raw(LineBody());
  for (std::uint32_t i = 1; i < kLines; ++i) b.classRef(1).raw(LineBody());
  const Bytes point = Bytes().common({.penStyle = 1}, kV).f64(3).f64(4).i32(0);
  b.newClass(kV, "CDataTen").raw(point);  // class kLines + 2
  b.classRef(classIndex).raw(point);
  return b.count(0);
}

// Each image is a file in the working folder: making 20,000 of them takes
// minutes under Wine, which would measure nothing but Wine.
#ifdef _WIN32
constexpr std::uint32_t kNearMissImages = 2000;
#else
constexpr std::uint32_t kNearMissImages = 20000;
#endif

struct Row {
  const char* name;
  std::function<Bytes()> build;
  bool loads;
  const char* why;  // part of the reason when it does not load
  // What a drawing that loads holds.
  std::int64_t entities = -1, blockDefs = -1, usedBlockDefs = -1, blockTree = -1, images = -1;
  bool writes = true;  // false: the write of a drawing that loads fails with a reason
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

// Peak bytes allowed: `kPerByte` times the file plus a fixed allowance for the
// header's tables and the write buffer.
constexpr std::size_t kPerByte = 12;
constexpr std::size_t kFixed = std::size_t{4} << 20;

const Row kRows[] = {
    {"entity_count_2p32_in_a_few_bytes",
     [] { return Bytes().raw(JwwHeader(kV)).u16(0xFFFF).u32(0xFFFFFFFF).raw(Bytes().newClass(kV, "CDataSen")).raw(LineBody()); },
     false, "truncated"},
    {"definition_count_2p32_in_a_few_bytes",
     [] { return Bytes().raw(JwwHeader(kV)).count(0).u16(0xFFFF).u32(0xFFFFFFFF).newClass(kV, "CDataList"); },
     false, "block definition 1 of 4294967295"},
    {"definition_list_count_2p31",
     [] {
       Bytes b = Bytes().raw(JwwHeader(kV)).count(0).count(1).newClass(kV, "CDataList");
       DefHead(b, 0, "d");
       return b.u16(0xFFFF).u32(0x7FFFFFFF).newClass(kV, "CDataSen").raw(LineBody());
     },
     false, "block definition 1 of 1"},
    {"image_count_2p32_in_a_few_bytes",
     [] { return Bytes().raw(Lines700(1)).u32(0xFFFFFFFF).str("a.bmp").i32(2).raw("BM"); },
     false, "image 2 of 4294967295"},
    {"image_size_past_the_end",
     [] { return Bytes().raw(Lines700(1)).u32(1).str("a.bmp").i32(0x7FFFFFFF).raw("BM"); },
     false, "image 1 of 1"},
    {"text_length_past_the_end",
     [] {
       Bytes t;
       t.common({}, kV).f64(0).f64(0).f64(1).f64(0).i32(1).f64(1).f64(1).f64(0).f64(0).str("F");
       t.u8(0xFF).u16(0xFFFE).raw("abc");
       return Bytes().raw(JwwHeader(kV)).count(1).newClass(kV, "CDataMoji").raw(t);
     },
     false, "truncated"},
    {"utf16_text_length_2p32_units",
     [] {
       Bytes t;
       t.common({}, kV).f64(0).f64(0).f64(1).f64(0).i32(1).f64(1).f64(1).f64(0).f64(0).str("F");
       t.u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).raw("a\0b\0");
       return Bytes().raw(JwwHeader(kV)).count(1).newClass(kV, "CDataMoji").raw(t);
     },
     false, "truncated"},
    {"definitions_10000_each_inserting_the_next", [] { return ChainedDefinitions(10000); }, true, "",
     1, 10000, 10000, 10001},
    {"definitions_100000_each_inserting_the_next", [] { return ChainedDefinitions(100000); }, true, "",
     1, 100000, 100000, 100001},
    {"definitions_20000_of_one_number", [] { return SameNumberDefinitions(20000, 1000); }, true, "",
     1000, 20000, 1, 1001},
    {"name_60000_bytes_inserted_20000_times", [] { return LongNameInsertedOften(60000, 20000); }, true,
     "", 20000, 1, 1, 20000},
    {"images_10000_of_one_name", [] { return SameNameImages(10000); }, true, "", 0, 0, 0, 0, 10000},
    {"images_near_miss_names", [] { return NearMissImageNames(kNearMissImages); }, true, "",
     kNearMissImages, 0, 0, 0, kNearMissImages},
    {"definitions_20000_numbers_sharing_low_bits", [] { return SpreadNumberDefinitions(20000); }, true,
     "", 1, 20000, 20000, 20001},
    // The NUL goes on reading, and the lead byte 0x81 is then followed by "."
    // (below 0x40): no Shift-JIS character, so the name is refused.
    {"image_name_with_nul_after_a_lead_byte",
     [] { return Bytes().raw(Lines700(0)).u32(1).str(std::string("a\x81\0.bmp", 7)).i32(2).raw("BM"); },
     false, "image 1 of 1"},
    // 65,535 bytes with a control byte read as 65,534, more than a name may
    // hold when written: the drawing loads and its write fails.
    {"definition_name_65535_bytes_with_a_control_byte",
     [] {
       Bytes b = MainInsertions(kV, 0, 0, false);
       b.count(1).newClass(kV, "CDataList");
       DefHead(b, 0, std::string(65534, 'N') + "\x01");
       return b.count(0);
     },
     true, "", 0, 1, 0, 0, -1, false},
    {"entities_65535", [] { return ManyLines(65535); }, true, "", 65535, 0, 0, 0},
    {"entities_65536", [] { return ManyLines(65536); }, true, "", 65536, 0, 0, 0},
    {"class_reference_past_0x7fff", [] { return LongClassReference(40002); }, true, "", 40002, 0, 0, 0},
    {"class_reference_past_0x7fff_to_an_object",
     [] { return LongClassReference(40003); }, false, "class reference 40003"},
};

// Writes and counts, keeping nothing.
class CountingSink : public ByteSink {
 public:
  void Write(const std::uint8_t*, std::size_t n) override { bytes += n; }
  std::uint64_t bytes = 0;
};

class ResourceBounds : public ::testing::TestWithParam<Row> {};

TEST_P(ResourceBounds, LoadAsExpectedWithinAMultipleOfTheFile) {
  const Row& row = GetParam();
  const Bytes file = row.build();
  if (const char* out = std::getenv("TESSALY_HOSTILE_OUT")) {
    WriteFile(fs::path(out) / (std::string(row.name) + ".jww"), file.view());
  }
  // A copy of exactly the file's bytes, so that a read past its end is seen by
  // the address sanitizer.
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[file.size()]);
  std::memcpy(copy.get(), file.bytes().data(), file.size());

  const std::size_t before = gLive.load();
  gPeak = before;
  {
    MemoryImages imagesStore;
    TBoundImages images(imagesStore);
    TJwwData doc(images);
    const LoadResult result = doc.Load({copy.get(), file.size()});
    const bool loaded = result.ok();
    ASSERT_EQ(loaded, row.loads) << result.message;
    if (!loaded) {
      EXPECT_NE(result.message.find(row.why), std::string::npos) << result.message;
    } else {
      auto expect = [](std::int64_t want, std::int64_t got, const char* what) {
        if (want >= 0) {
          EXPECT_EQ(got, want) << what;
        }
      };
      expect(row.entities, doc.EntityCount(), "entities");
      expect(row.blockDefs, doc.BlockDefCount(), "block definitions");
      expect(row.usedBlockDefs, doc.UsedBlockDefCount, "used block definitions");
      expect(row.blockTree, doc.BlockTreeCount(), "block tree entries");
      expect(row.images, static_cast<std::int64_t>(images.Entries.size()), "images");
      DissolveDimensions(doc, true);
      CountingSink sink;
      if (row.writes) {
        doc.Write(sink, doc.Version());
        EXPECT_GT(sink.bytes, 0u);
      } else {
        EXPECT_THROW(doc.Write(sink, doc.Version()), WriteError);
      }
    }
  }
  const std::size_t peak = gPeak.load() - before;
  EXPECT_LE(peak, kPerByte * file.size() + kFixed)
      << row.name << ": " << peak << " bytes at the peak for a file of " << file.size();
  RecordProperty("peak_bytes", std::to_string(peak));
  RecordProperty("file_bytes", std::to_string(file.size()));
}

INSTANTIATE_TEST_SUITE_P(Hostile, ResourceBounds, ::testing::ValuesIn(kRows),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tessaly::test

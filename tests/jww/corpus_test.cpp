// The real drawings, with dimensions and without: each loads, and written back
// at its own version it differs from the original only where the writer
// normalises the header. The header is compared value by value with a walker of
// the layout table; everything after it must be identical.
#include <gtest/gtest.h>

#include <map>

#include "archive/writer.h"
#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "support/entity_lists.h"
#include "support/temp_dir.h"
#include "support/documents.h"

namespace tessaly::test {
namespace {

// Blank as the writer's test sees it: nothing but spaces, full-width spaces and
// control characters (walked by character).
bool Blank(const StringPayload& s) {
  if (s.wide) {
    for (std::size_t i = 0; i + 1 < s.bytes.size(); i += 2) {
      unsigned u = static_cast<unsigned char>(s.bytes[i]) |
                   (static_cast<unsigned char>(s.bytes[i + 1]) << 8);
      if (u >= 0x20 && u != 0x3000) return false;
    }
    return true;
  }
  for (std::size_t i = 0; i < s.bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(s.bytes[i]);
    if ((b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD)) {
      if (i + 1 < s.bytes.size() && b == 0x81 &&
          static_cast<unsigned char>(s.bytes[i + 1]) == 0x40) {
        ++i;
        continue;
      }
      return false;
    }
    if (b > 0x20) return false;
  }
  return true;
}

// The string "prefix" + n in the form of `like`, as archive bytes.
std::string Numbered(const std::string& prefix, int n, bool wide) {
  const std::string ascii = prefix + std::to_string(n);
  return wide ? Bytes().wstr(std::u16string(ascii.begin(), ascii.end())).bytes()
              : Bytes().str(ascii).bytes();
}

std::string Item(std::string_view file, const HeaderItem& it) {
  return std::string(file.substr(it.offset, it.size));
}

struct HeaderDiff {
  std::map<int, int> changedByField;  // field -> values that changed
  std::vector<std::string> unexpected;
};

// What the writer must make of each header value of `in`, compared with `out`.
HeaderDiff CompareHeaders(std::string_view in, std::string_view out) {
  HeaderDiff diff;
  const HeaderWalk a = WalkJwwHeader(in);
  const HeaderWalk b = WalkJwwHeader(out);
  if (a.items.size() != b.items.size()) {
    diff.unexpected.push_back("different numbers of header values");
    return diff;
  }
  const std::int32_t version = I32At(in, 8);
  auto invalidLineType = [&](int n) {
    if (version < 420 || n <= 16) return false;
    const std::int32_t count = I32At(in, a.Find(42, n, 1, 1).offset);
    return count != 2 && count != 4 && count != 6 && count != 8;
  };
  for (std::size_t k = 0; k < a.items.size(); ++k) {
    const HeaderItem& x = a.items[k];
    const HeaderItem& y = b.items[k];
    if (x.field != y.field || x.pass != y.pass || x.entry != y.entry || x.sub != y.sub) {
      diff.unexpected.push_back("the header layouts differ at value " + std::to_string(k));
      return diff;
    }
    std::string expected = Item(in, x);
    if (x.field == 7 || x.field == 9) {
      expected = std::string(4, '\0');  // reserved: zeros
    } else if (x.field == 41 && x.pass == 1 && x.sub == 0) {
      const StringPayload name = PayloadOf(in, x);
      if (Blank(name)) expected = Numbered("Color_", x.entry, name.wide);
    } else if (x.field == 42 && x.pass == 0) {
      const bool invalid = invalidLineType(x.entry);
      if (x.sub == 0 && invalid) {
        expected = Bytes().u32(0xC3C3C3C3u).bytes();
      } else if (x.sub == 0 && I32At(in, x.offset) == 0) {
        expected = Bytes().i32(-1).bytes();
      } else if (invalid) {
        expected = Bytes().i32(x.sub == 2 ? 1 : 8).bytes();  // unit dots 8, pitch 1, print pitch 8
      }
    } else if (x.field == 42 && x.pass == 1 && invalidLineType(x.entry)) {
      const StringPayload name = PayloadOf(in, a.Find(42, x.entry, 0, 1));
      if (x.sub == 0) {
        expected = Numbered("LType_", x.entry, name.wide);
      } else if (x.sub == 1) {
        expected = Bytes().i32(2).bytes();
      } else {
        expected = Bytes().f64(x.sub <= 3 ? 1.0 : 0.0).bytes();
      }
    } else if (x.field == 42 && x.pass == 1 && x.sub == 0) {
      const StringPayload name = PayloadOf(in, x);
      if (Blank(name)) expected = Numbered("LType_", x.entry, name.wide);
    }
    const std::string got = Item(out, y);
    if (got != expected) {
      diff.unexpected.push_back("field " + std::to_string(x.field) + "." + std::to_string(x.pass) +
                                " entry " + std::to_string(x.entry) + " value " +
                                std::to_string(x.sub) + " at " + std::to_string(x.offset) +
                                ": read [" + Hex(Item(in, x)) + "] expected [" + Hex(expected) +
                                "] written [" + Hex(got) + "]");
    }
    if (got != Item(in, x)) ++diff.changedByField[x.field];
  }
  return diff;
}

class Corpus : public ::testing::TestWithParam<int> {};

TEST_P(Corpus, LoadsAndWritesBackWithOnlyTheHeaderNormalisations) {
  const std::filesystem::path& path = RealDrawings().at(static_cast<std::size_t>(GetParam()));
  SCOPED_TRACE(path.filename().string());
  const std::string original = ReadFile(path);
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  ASSERT_TRUE(test::Loads(doc, path));
  const std::int32_t v = doc.Version();
  EXPECT_TRUE(v == 600 || v == 700) << v;

  StringSink out;
  doc.Write(out, v);
  const HeaderDiff diff = CompareHeaders(original, out.bytes);
  for (const auto& u : diff.unexpected) ADD_FAILURE() << u;
  // The reserved fields hold bytes in every real drawing, so they always change.
  EXPECT_GT(diff.changedByField.count(7), 0u);
  for (const auto& [field, n] : diff.changedByField) {
    EXPECT_TRUE(field == 7 || field == 9 || field == 41 || field == 42)
        << "field " << field << " changed";
  }
  const std::size_t endIn = WalkJwwHeader(original).end;
  const std::size_t endOut = WalkJwwHeader(out.bytes).end;
  EXPECT_TRUE(SameBytes(std::string_view(out.bytes).substr(endOut),
                        std::string_view(original).substr(endIn)));

  // Idempotent: what was written loads, to the same model, and writes itself again.
  TJwwData again(images);
  ASSERT_TRUE(LoadsBytes(again, out.bytes));
  EXPECT_EQ(Dump(again), Dump(doc));
  StringSink twice;
  again.Write(twice, v);
  EXPECT_TRUE(SameBytes(twice.bytes, out.bytes));

  // The UTF-16 drawings keep every string in that form.
  if (path.filename().string().find("-v700u-") != std::string::npos) {
    EXPECT_TRUE(doc.Header.memo.wide);
    EXPECT_TRUE(doc.Layers[0].name.wide);
  }
}

INSTANTIATE_TEST_SUITE_P(Jww, Corpus, ::testing::ValuesIn(RealDrawingIndices()), RealDrawingName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Corpus);

TEST(CorpusPresent, SkipsWithoutTheCorpus) {
  if (CorpusDir().empty()) GTEST_SKIP() << "no corpus beside the checkout";
  EXPECT_FALSE(CorpusFiles("jww").empty());
  EXPECT_FALSE(CorpusFiles("jww-dims").empty());
}

}  // namespace
}  // namespace tessaly::test

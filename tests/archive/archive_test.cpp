// The archive's encodings, golden bytes both ways: what the reader makes of the
// bytes, and what the writer makes of the value.
#include <gtest/gtest.h>

#include "archive/reader.h"
#include "archive/writer.h"
#include "app/document_files.h"
#include "io/files.h"
#include "io/overlap.h"
#include "jww/jww_data.h"
#include "jww/drawing_bytes.h"
#include "entities/records.h"
#include "support/byte_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace tessaly::test {
namespace {

// What a writer writes, with a small buffer so that long values pass the flush
// path too; the same written behind (through a sink that writes on a thread of
// its own).
template <typename F>
std::string Written(F f) {
  std::string out[2];
  for (bool behind : {false, true}) {
    StringSink sink;
    {
      WritingBehind thread(sink);
      ArchiveWriter w(behind ? static_cast<ByteSink&>(thread) : sink, 64);
      f(w);
      w.Flush();
    }
    out[behind] = sink.bytes;
  }
  EXPECT_TRUE(out[0] == out[1]) << "written behind, the bytes differ";
  return out[0];
}

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 26);
  return s;
}

struct StringCase {
  std::size_t length;
  Bytes golden;
};

// A sink that fails at any byte fails the writer, written behind as well: at
// the latest its Flush throws, and nothing after the failure reaches the sink.
TEST(ArchiveWriter, ASinkFailingAtAnyByteFailsTheWriter) {
  const std::string text = Pattern(700);
  auto write = [&](ArchiveWriter& w) {
    for (int i = 0; i < 40; ++i) {
      w.u32(static_cast<std::uint32_t>(i));
      w.f64(i * 0.5);
      w.string(JString(text.substr(0, static_cast<std::size_t>(i) * 17 % 300)));
    }
    w.bytes(text.data(), text.size());  // more than the buffer: to the sink at once
    w.u8(1);
  };
  const std::string whole = Written(write);
  for (bool behind : {false, true}) {
    const std::size_t n = whole.size();
    for (std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{63}, std::size_t{64},
                              std::size_t{65}, std::size_t{2000}, n - 701, n - 1, n, n + 1}) {
      StringSink sink;
      FailingSink failing(sink, "out", limit);
      WritingBehind thread(failing);
      bool threw = false;
      try {
        ArchiveWriter w(behind ? static_cast<ByteSink&>(thread) : failing, 64);
        write(w);
        w.Flush();
      } catch (const WriteError&) {
        threw = true;
      }
      EXPECT_EQ(threw, limit < whole.size()) << behind << " " << limit;
      EXPECT_LE(sink.bytes.size(), limit);
      EXPECT_EQ(sink.bytes, whole.substr(0, sink.bytes.size())) << behind << " " << limit;
    }
  }
}

TEST(ArchiveString, ShiftJisLengthsBothWays) {
  const StringCase cases[] = {
      {0, Bytes().u8(0x00)},                                        // the empty string
      {254, Bytes().u8(0xFE).raw(Pattern(254))},                    // one-byte length
      {255, Bytes().u8(0xFF).u8(0xFF).u8(0x00).raw(Pattern(255))},  // 0xFF, uint16 255
      {256, Bytes().u8(0xFF).u8(0x00).u8(0x01).raw(Pattern(256))},  // 0xFF, uint16 256
      {300, Bytes().u8(0xFF).u8(0x2C).u8(0x01).raw(Pattern(300))},  // 0xFF, uint16 300
      {65535,
       Bytes().u8(0xFF).u8(0xFF).u8(0xFF).raw(Pattern(65535))},  // 0xFF 0xFFFF is a length here
  };
  for (const auto& c : cases) {
    const JString value(Pattern(c.length), false);
    ArchiveReader r(c.golden.span());
    EXPECT_EQ(r.rawString(), value) << c.length;
    EXPECT_TRUE(r.atEnd()) << c.length;
    EXPECT_EQ(Written([&](ArchiveWriter& w) { w.string(value); }), c.golden.bytes()) << c.length;
  }
}

TEST(ArchiveString, Utf16FormBothWaysInItsShortestLength) {
  const std::u16string u3 = u"a\u8868z";
  const std::u16string u254(254, u'\u3042');
  const std::u16string u255(255, u'x');
  const std::u16string u65535(65535, u'y');
  const std::pair<std::u16string, Bytes> cases[] = {
      {u"", Bytes().u8(0xFF).u16(0xFFFE).u8(0x00)},  // marker, no units
      {u3, Bytes().u8(0xFF).u16(0xFFFE).u8(3).raw({'a', 0, 0x68, 0x88, 'z', 0})},
      {u254, Bytes().u8(0xFF).u16(0xFFFE).u8(0xFE).raw(Utf16le(u254))},
      {u255, Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(255).raw(Utf16le(u255))},
      {u65535, Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(65535).raw(Utf16le(u65535))},
  };
  for (const auto& [units, golden] : cases) {
    ArchiveReader r(golden.span());
    EXPECT_EQ(r.rawString(), Wide(units)) << units.size();
    EXPECT_TRUE(r.atEnd());
    // The lambdas here capture copies: clang 14 cannot capture a structured binding.
    EXPECT_EQ(Written([&u = units](ArchiveWriter& w) { w.string(Wide(u)); }), golden.bytes())
        << units.size();
  }
  // Longer length forms than needed are read, and written back in the shortest.
  const Bytes longForms[] = {
      Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(3).raw(Utf16le(u3)),
      Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(3).raw(Utf16le(u3)),
  };
  for (const auto& b : longForms) {
    ArchiveReader r(b.span());
    JString s = r.rawString();
    EXPECT_EQ(s, Wide(u3));
    EXPECT_EQ(Written([&](ArchiveWriter& w) { w.string(s); }), cases[1].second.bytes());
  }
}

TEST(ArchiveString, ShiftJisStringOf65534BytesCannotBeWritten) {
  const JString s(std::string(65534, 'a'), false);
  EXPECT_THROW(Written([&](ArchiveWriter& w) { w.string(s); }), WriteError);
  // In a drawing, the whole save fails and names the reason.
  TempDir dir;
  TBoundImages images;
  TJwwData d(images);
  ASSERT_TRUE(d.Load(EmptyJwwDrawing(600).span()));
  d.Header.memo = s;
  const Failure f = SaveFile(d, dir / "out.jww", 600);
  EXPECT_EQ(f.code, FailureCode::kCannotBeWritten);
  EXPECT_NE(f.text.find("65534"), std::string::npos) << f.text;
  EXPECT_TRUE(Snapshot(dir.path()).empty());
}

TEST(ArchiveString, ReadStringCleans) {
  const std::pair<Bytes, JString> cases[] = {
      {Bytes().raw({0x03, 0x41, 0x0D, 0x42}), Sjis("AB")},
      {Bytes().raw({0x02, 0x41, 0x82}), Sjis("A")},
      {Bytes().raw({0x03, 0x82, 0x0D, 0x42}), Sjis("\x82\x0D"
                                                   "B")},
      {Bytes().wstr(u"a\r\nb"), Wide(u"ab")},
  };
  for (const auto& [b, expected] : cases) {
    ArchiveReader r(b.span());
    EXPECT_EQ(r.string(), expected) << Hex(b.bytes());
  }
  // The raw form keeps every byte.
  ArchiveReader r(cases[0].first.span());
  EXPECT_EQ(r.rawString(), Sjis("A\rB"));
}

TEST(ArchiveCount, BothForms) {
  const std::pair<std::uint32_t, Bytes> cases[] = {
      {0, Bytes().raw({0x00, 0x00})},
      {65534, Bytes().raw({0xFE, 0xFF})},
      {65535, Bytes().raw({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
      {0x12345678, Bytes().raw({0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12})},
  };
  for (const auto& [n, golden] : cases) {
    ArchiveReader r(golden.span());
    EXPECT_EQ(r.count(), n);
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(Written([count = n](ArchiveWriter& w) { w.count(count); }), golden.bytes()) << n;
  }
}

TEST(ArchiveTags, ClassReferencesAndNewClass) {
  EXPECT_EQ(Written([](ArchiveWriter& w) { w.classRef(5); }), Bytes().raw({0x05, 0x80}).bytes());
  EXPECT_EQ(Written([](ArchiveWriter& w) { w.classRef(0x7FFE); }),
            Bytes().raw({0xFE, 0xFF}).bytes());
  EXPECT_EQ(Written([](ArchiveWriter& w) { w.classRef(0x7FFF); }),
            Bytes().raw({0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80}).bytes());
  EXPECT_EQ(Written([](ArchiveWriter& w) { w.newClass(600, "CDataSen"); }),
            Bytes().raw({0xFF, 0xFF, 0x58, 0x02, 0x08, 0x00}).raw("CDataSen").bytes());
}

TEST(ArchiveNumbers, LittleEndian) {
  Bytes golden;
  golden
      .raw({0x01})                                             // u8
      .raw({0x34, 0x12})                                       // u16
      .raw({0xFE, 0xFF, 0xFF, 0xFF})                           // i32 -2
      .raw({0x78, 0x56, 0x34, 0x12})                           // u32
      .raw({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F});  // 1.5
  ArchiveReader r(golden.span());
  EXPECT_EQ(r.u8(), 1);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.i32(), -2);
  EXPECT_EQ(r.u32(), 0x12345678u);
  EXPECT_EQ(r.f64(), 1.5);
  EXPECT_THROW(r.u8(), FormatError);
  EXPECT_EQ(Written([](ArchiveWriter& w) {
              w.u8(1);
              w.u16(0x1234);
              w.i32(-2);
              w.u32(0x12345678);
              w.f64(1.5);
            }),
            golden.bytes());
}

TEST(ArchiveReader, AFailedReadDoesNotMove) {
  const Bytes b = Bytes().raw({1, 2, 3});
  ArchiveReader r(b.span());
  EXPECT_THROW(r.u32(), FormatError);
  EXPECT_EQ(r.offset(), 0u);
  try {
    r.skip(2);
    r.u16();
    FAIL();
  } catch (const FormatError& e) {
    EXPECT_EQ(e.offset(), 2u);
    EXPECT_NE(std::string(e.what()).find("truncated at byte offset 2"), std::string::npos)
        << e.what();
  }
}

// The bytes a view shows stay where they are while it lives: a read that would
// move the window under it (and hand the old window back to be read into) is
// refused, one within the window is not. A released view lets it move again.
TEST(ArchiveReader, AWindowDoesNotMoveUnderAView) {
  std::string data(64, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
  struct Source : ByteSource {
    std::string_view rest;
    std::size_t Read(std::uint8_t* into, std::size_t n) override {
      n = std::min(n, rest.size());
      std::memcpy(into, rest.data(), n);
      rest.remove_prefix(n);
      return n;
    }
    Message Why() const override { return Message("the end"); }
  } source;
  source.rest = data;
  ArchiveReader r(source, data.size(), /*window=*/8);
  ArchiveReader::View v = r.bytes(4);
  EXPECT_EQ(r.u16(), 0x0504);            // within the window
  EXPECT_THROW(r.u32(), std::logic_error);  // beyond it
  EXPECT_THROW(r.skip(10), std::logic_error);
  EXPECT_EQ(v.data()[3], 3);  // the view still shows its bytes
  EXPECT_EQ(r.offset(), 6u);
  v.Release();
  EXPECT_EQ(r.u32(), 0x09080706u);
}

TEST(CommonPart, Version350Has13BytesAndNoPenWidth) {
  const Bytes old = Bytes()
                        .i32(-7)       // group
                        .u8(5)         // pen style
                        .u16(103)      // pen colour
                        .u16(3)        // layer
                        .u16(4)        // layer group
                        .u16(0x8001);  // flags
  const Bytes cur = Bytes()
                        .i32(-7)       // group
                        .u8(5)         // pen style
                        .u16(103)      // pen colour
                        .u16(250)      // pen width
                        .u16(3)        // layer
                        .u16(4)        // layer group
                        .u16(0x8001);  // flags
  ASSERT_EQ(old.size(), 13u);
  ASSERT_EQ(cur.size(), 15u);
  for (auto [version, golden, width] : {std::tuple{350, old, 0}, std::tuple{351, cur, 250}}) {
    ArchiveReader r(golden.span());
    TEntJwwCommon c = ReadCommon(r, version);
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(c.group, -7);
    EXPECT_EQ(c.penStyle, 5);
    EXPECT_EQ(c.penColor, 103);
    EXPECT_EQ(c.penWidth, width);
    EXPECT_EQ(c.layer, 3);
    EXPECT_EQ(c.layerGroup, 4);
    EXPECT_EQ(c.flags, 0x8001);
    // A block insertion keeps style and colour as they are at every version.
    EXPECT_EQ(Written([&, v = version](ArchiveWriter& w) { WriteCommon(w, c, kBlock, v); }),
              golden.bytes());
  }
}

}  // namespace
}  // namespace tessaly::test

#include "jww/drawing_bytes.h"

#include <cctype>
#include <cstring>
#include <stdexcept>

#include "support/entity_lists.h"
#include "support/temp_dir.h"

namespace tessaly::test {
namespace {

std::string Rep(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The header layout, one row per field (or per pass of a field): from which
// version to which version it is there, how often its entry repeats, and the
// values of one entry (i int32, d double, s string).
struct Row {
  int field;
  int pass;
  int minVersion;
  int maxVersion;
  int repeat;
  std::string entry;
};

const std::vector<Row>& Layout() {
  constexpr int kAny = 0x7FFFFFFF;
  static const std::vector<Row> rows = {
      {3, 0, 220, kAny, 1, "s"},                      // memo
      {4, 0, 220, kAny, 1, "i"},                      // paper size
      {5, 0, 220, kAny, 1, "i"},                      // write layer group
      {6, 0, 220, kAny, 16, "iidi" + Rep("ii", 16)},  // layer groups and their layers
      {7, 0, 220, kAny, 1, Rep("i", 14)},             // reserved, 56 bytes
      {8, 0, 220, kAny, 1, "iiiii"},                  // dimension settings
      {9, 0, 220, kAny, 1, "i"},                      // reserved
      {10, 0, 220, kAny, 1, "i"},                     // maximum line width
      {11, 0, 220, kAny, 1, "dd"},                    // print origin
      {12, 0, 220, kAny, 1, "d"},                     // print scale
      {13, 0, 220, kAny, 1, "i"},                     // print rotation
      {14, 0, 220, kAny, 1, "i"},                     // grid mode
      {15, 0, 220, kAny, 1, "d"},                     // grid minimum display
      {16, 0, 220, kAny, 1, "dd"},                    // grid spacing
      {17, 0, 220, kAny, 1, "dd"},                    // grid origin
      {18, 0, 220, kAny, 256, "s"},                   // layer names
      {19, 0, 220, kAny, 16, "s"},                    // layer group names
      {20, 0, 220, kAny, 1, "ddid"},                  // shadow settings, 28 bytes
      {21, 0, 300, kAny, 1, "dd"},                    // sky view
      {22, 0, 220, kAny, 1, "i"},                     // 2.5D unit flag
      {23, 0, 220, kAny, 1, "d"},                     // view scale
      {24, 0, 220, kAny, 1, "dd"},                    // view origin
      {25, 0, 220, kAny, 1, "d"},                     // range scale
      {26, 0, 220, kAny, 1, "dd"},                    // range origin
      {27, 0, 220, 230, 4, "ddd"},                    // mark jumps, 96 bytes
      {27, 0, 231, kAny, 10, "dddi"},                 // mark jumps, 280 bytes
      {28, 0, 220, kAny, 1, Rep("d", 10)},            // parallel line distances
      {29, 0, 220, kAny, 1, "d"},                     // both-sides end offset
      {30, 0, 220, kAny, 10, "ii"},                   // pen colour, width
      {31, 0, 220, kAny, 10, "iid"},                  // print pens
      {32, 0, 220, kAny, 8, "iiii"},                  // line types 2-9
      {33, 0, 220, kAny, 5, "iiiii"},                 // random lines
      {34, 0, 220, kAny, 4, "iiii"},                  // long line types
      {35, 0, 220, kAny, 1, Rep("i", 10)},            // draw flags
      {36, 0, 220, kAny, 1, "i"},                     // print: skip display-only layers
      {37, 0, 223, kAny, 1, "i"},                     // drawing time
      {38, 0, 223, kAny, 1, "iiiiddddd"},             // 2.5D eye settings
      {39, 0, 225, kAny, 1, "dddd"},                  // last sizes
      {40, 0, 230, kAny, 1, "ii"},                    // solid colour
      {41, 0, 420, kAny, 257, "ii"},                  // SXF colours: colour, width
      {41, 1, 420, kAny, 257, "siid"},                //   name, print colour, width, radius
      {42, 0, 420, kAny, 33, "iiii"},                 // SXF line types: pattern ... print pitch
      {42, 1, 420, kAny, 33, "si" + Rep("d", 10)},    //   name, segment count, segments
      {43, 0, 220, kAny, 10, "dddi"},                 // text kinds
      {44, 0, 220, kAny, 1, "dddiiddidddddd"},        // text writing settings, 100 bytes
  };
  return rows;
}

std::uint32_t U(std::string_view f, std::size_t at, std::size_t n) {
  if (at + n > f.size())
    throw std::runtime_error("header ends at byte " + std::to_string(f.size()));
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < n; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(f[at + i])) << (8 * i);
  return v;
}

// The size of a string in the archive starting at `at`, and where its payload is.
std::size_t StringSize(std::string_view f, std::size_t at, std::size_t* payload, bool* wide) {
  std::size_t p = at;
  std::size_t n = U(f, p, 1);
  p += 1;
  bool w = false;
  if (n == 0xFF) {
    n = U(f, p, 2);
    p += 2;
    if (n == 0xFFFE) {
      w = true;
      n = U(f, p, 1);
      p += 1;
      if (n == 0xFF) {
        n = U(f, p, 2);
        p += 2;
        if (n == 0xFFFF) {
          n = U(f, p, 4);
          p += 4;
        }
      }
      n *= 2;
    }
  }
  if (p + n > f.size()) throw std::runtime_error("header string ends past the file");
  if (payload) *payload = p;
  if (wide) *wide = w;
  return p + n - at;
}

}  // namespace

const HeaderItem& HeaderWalk::Find(int field, int entry, int sub, int pass) const {
  for (const auto& it : items) {
    if (it.field == field && it.pass == pass && it.entry == entry && it.sub == sub) return it;
  }
  throw std::runtime_error("no header item " + std::to_string(field) + "/" + std::to_string(entry) +
                           "/" + std::to_string(sub));
}

HeaderWalk WalkJwwHeader(std::string_view f) {
  HeaderWalk w;
  if (f.size() < 12) throw std::runtime_error("header ends early");
  w.items.push_back({1, 0, 0, 0, 'c', 0, 8});
  w.items.push_back({2, 0, 0, 0, 'i', 8, 4});
  const auto v = static_cast<std::int32_t>(U(f, 8, 4));
  std::size_t at = 12;
  for (const Row& row : Layout()) {
    if (v < row.minVersion || v > row.maxVersion) continue;
    for (int e = 0; e < row.repeat; ++e) {
      for (std::size_t s = 0; s < row.entry.size(); ++s) {
        HeaderItem it{row.field, row.pass, e, static_cast<int>(s), row.entry[s], at, 0};
        switch (row.entry[s]) {
          case 'i':
            it.size = 4;
            break;
          case 'd':
            it.size = 8;
            break;
          default:
            it.size = StringSize(f, at, nullptr, nullptr);
            break;
        }
        if (at + it.size > f.size()) throw std::runtime_error("header ends early");
        at += it.size;
        w.items.push_back(it);
      }
    }
  }
  w.end = at;
  return w;
}

StringPayload PayloadOf(std::string_view f, const HeaderItem& item) {
  std::size_t p = 0;
  StringPayload out;
  std::size_t n = StringSize(f, item.offset, &p, &out.wide);
  out.bytes = std::string(f.substr(p, item.offset + n - p));
  return out;
}

std::int32_t I32At(std::string_view f, std::size_t offset) {
  return static_cast<std::int32_t>(U(f, offset, 4));
}

double F64At(std::string_view f, std::size_t offset) {
  if (offset + 8 > f.size()) throw std::runtime_error("past the end");
  double d;
  std::memcpy(&d, f.data() + offset, 8);
  return d;
}

std::string Splice(std::string_view f, const HeaderItem& item, std::string_view replacement) {
  return std::string(f.substr(0, item.offset)) + std::string(replacement) +
         std::string(f.substr(item.offset + item.size));
}

BuiltDrawing BuildSampleDrawing(std::int32_t v, bool wideHeader) {
  BuiltDrawing out;
  TEntityLists& m = out.model;
  const std::uint16_t width = v >= 351 ? 5 : 0;
  auto common = [&](std::uint8_t style, std::uint16_t color, std::uint16_t layer) {
    return TEntJwwCommon{
        static_cast<std::int32_t>(layer) * 3, style, color, width, layer, 15, 0x0100};
  };
  const JString sjisFont =
      Sjis("\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E");  // full-width MS Gothic
  const JString sjisText = Sjis("\x90\xA1\x96\x40 12.5");         // "sunpou 12.5"
  const JString wideText = Wide(u"\u5BF8\u6CD5 \u8868 \U0001F600");

  auto dimension = [&](int seed) {
    TEntJwwSunpo d;
    d.common = common(1, 2, 1);
    d.line = TEntJwwSen{common(2, 3, 2), 0.0 + seed, 0, 100.0 + seed, 0};
    d.text = TEntJwwMoji{common(1, 4, 3), 40, 1, 60, 1, 2, 2.5, 2.5, 0.5, 0, sjisFont, Sjis("100")};
    if (v >= 420) {
      d.sxfMode = static_cast<std::uint16_t>(seed % 3);
      d.auxLine1 = TEntJwwSen{common(31, 101, 4), 0, 0, 0, -10.0 - seed};
      d.auxLine2 = TEntJwwSen{common(3, 5, 5), 100, 0, 100, -10};
      d.point1 = TEntJwwTen{common(1, 6, 6), 0, -10, 1, 0, 0, 0};
      d.point2 = TEntJwwTen{common(100, 7, 7), 100, -10, 0, 11, 0.25, 1.5};
      d.point3 = TEntJwwTen{common(1, 8, 8), 1, 2, 0, 0, 0, 0};
      d.point4 = TEntJwwTen{common(1, 9, 9), 3, 4, 0, 0, 0, 0};
    } else {
      d.auxLine1 = d.auxLine2 = TEntJwwSen{d.common, 0, 0, 0, 0};
      TEntJwwTen p{d.common, 0, 0, 0, 0, 0, 0};
      p.common.penStyle = 0;
      d.point1 = d.point2 = d.point3 = d.point4 = p;
    }
    return d;
  };

  m.Add(TEntJwwSen{common(2, 3, 1), 1.25, -2.5, 1e10, 3});
  if (v >= 420) m.Add(TEntJwwSen{common(62, 356, 2), 0, 0, 1, 1});  // SXF style and colour
  m.Add(TEntJwwEnko{common(11, 9, 3), 5, 6, 7, 0.5, 3.14159, 0.1, 0.75, 0});
  m.Add(TEntJwwEnko{common(1, 1, 4), 0, 0, 1, 0, 6.28318, 0, 1, 1});
  m.Add(TEntJwwTen{common(1, 2, 5), 8, 9, 1, 0, 0, 0});
  m.Add(TEntJwwTen{common(100, 2, 6), 8, 9, 0, 17, 1.5, 2.5});
  m.Add(TEntJwwMoji{common(3, 4, 7), 0, 0, 30, 0, 5, 3, 3, 0.5, 90, sjisFont, sjisText});
  m.Add(TEntJwwMoji{common(9, 5, 8), 0, 10, 30, 10, 1, 3, 3, 0, 0, Wide(u"MS Gothic"), wideText});
  m.Add(dimension(1));
  TEntJwwSolid solid{common(1, 10, 9), {0, 0, 1, 0, 1, 1, 0, 1}, 0x00123456};
  m.Add(solid);
  solid.common.penColor = 6;
  solid.color = 0;
  m.Add(solid);
  m.Add(TEntJwwBlock{common(1, 1, 10), 50, 60, 2, 2, 0.5, 0});  // definition 0
  m.Add(TEntJwwSen{common(1, 1, 11), 9, 9, 9, 9});  // a line class reference after them all

  auto def = [&](std::int32_t number, const JString& name) -> TEntJwwBlockDef& {
    TEntJwwBlockDef d;
    d.common = common(1, 1, 0);
    d.number = number;
    d.referenced = number == 2 ? 0 : 1;
    d.time = 1000 + number;
    d.name = name;
    m.BlockDefs.push_back(d);
    return m.BlockDefs.back();
  };
  {
    TEntJwwBlockDef& d0 = def(0, Sjis("outer \x95\x5C"));
    d0.Add(TEntJwwBlock{common(1, 1, 1), 0, 0, 1, 1, 0, 1});
    d0.Add(TEntJwwSen{common(1, 2, 2), 0, 0, 5, 5});
    d0.Add(TEntJwwBlock{common(1, 1, 3), 10, 0, 1, 1, 0, 1});
  }
  {
    TEntJwwBlockDef& d1 = def(1, Wide(u"inner \u8868"));
    d1.Add(TEntJwwMoji{common(1, 1, 1), 0, 0, 1, 0, 1, 1, 1, 0, 0, Wide(u""), wideText});
    d1.Add(dimension(2));
    d1.Add(TEntJwwSolid{common(1, 10, 2), {1, 2, 3, 4, 5, 6, 7, 8}, 0xFF});
    if (v >= 700) {
      out.imageName = "pic.bmp";
      out.imageData = std::string("BM") + std::string(40, '\x7F') + std::string(1, '\0');
      d1.Add(TEntJwwMoji{common(1, 1, 1), 0, 0, 1, 0, 1, 1, 1, 0, 0, Sjis(""),
                          Sjis("^@BM%temp%PIC.bmp,100,50")});
    }
  }
  {
    TEntJwwBlockDef& d2 = def(2, Sjis("unused"));
    d2.Add(TEntJwwEnko{common(2, 2, 2), 1, 1, 1, 0, 1, 0, 1, 0});
    d2.Add(TEntJwwTen{common(1, 1, 1), 0, 0, 0, 0, 0, 0});
  }

  out.bytes = JwwHeader(v, {wideHeader, "sample"});
  ListEncoder enc(out.bytes, v);
  enc.Lists(m);
  if (v >= 700) {
    out.bytes.u32(1);                                                // images
    out.bytes.str(out.imageName);                                    // name
    out.bytes.i32(static_cast<std::int32_t>(out.imageData.size()));  // size
    out.bytes.raw(out.imageData);                                    // data
  }
  return out;
}

const std::vector<std::filesystem::path>& RealDrawings() {
  static const std::vector<std::filesystem::path> files = [] {
    std::vector<std::filesystem::path> all = CorpusFiles("jww");
    for (auto& f : CorpusFiles("jww-dims")) all.push_back(std::move(f));
    return all;
  }();
  return files;
}

std::vector<int> RealDrawingIndices() {
  std::vector<int> out;
  for (std::size_t i = 0; i < RealDrawings().size(); ++i) out.push_back(static_cast<int>(i));
  return out;
}

std::string RealDrawingName(const testing::TestParamInfo<int>& info) {
  const std::filesystem::path& path = RealDrawings().at(static_cast<std::size_t>(info.param));
  const std::string file = path.filename().string();
  std::string ascii = path.parent_path().filename() == "jww" ? "f" : "dims";
  for (char c : file.substr(0, file.find('-', 4)))
    ascii += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return ascii;
}

}  // namespace tessaly::test

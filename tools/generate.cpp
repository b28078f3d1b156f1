#include "generate.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>

#include "jww/header.h"
#include "jww/images.h"

namespace tessaly::gen {
namespace fs = std::filesystem;

namespace words {
const Word kGothic{"\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e", "ＭＳ ゴシック"};
const Word kMincho{"\x82\x6c\x82\x72\x20\x96\xbe\x92\xa9", "ＭＳ 明朝"};
const Word kFloorPlan{"\x82\x50\x8a\x4b\x95\xbd\x96\xca\x90\x7d", "１階平面図"};
const Word kScale100{"\x8f\x6b\x8e\xda\x20\x31\x2f\x31\x30\x30", "縮尺 1/100"};
const Word kLiving{"\x8b\x8f\x8a\xd4", "居間"};
const Word kBedroom{"\x90\x51\x8e\xba", "寝室"};
const Word kKitchen{"\x91\xe4\x8f\x8a", "台所"};
const Word kEntrance{"\x8c\xba\x8a\xd6", "玄関"};
const Word kBath{"\x97\x81\x8e\xba", "浴室"};
const Word kJapanese{"\x98\x61\x8e\xba", "和室"};
const Word kCorridor{"\x98\x4c\x89\xba", "廊下"};
const Word kDoor{"\x94\xe0", "扉"};
const Word kWindow{"\x91\x8b", "窓"};
const Word kColumn{"\x92\x8c", "柱"};
const Word kGridLine{"\x92\xca\x82\xe8\x90\x63", "通り芯"};
const Word kWall{"\x95\xc7", "壁"};
const Word kDimension{"\x90\xa1\x96\x40", "寸法"};
const Word kTable{"\x95\x5c", "表"};
const Word kImage{"\x89\xe6\x91\x9c", "画像"};
const Word kUnused{"\x96\xa2\x8e\x67\x97\x70", "未使用"};
}  // namespace words

namespace {

constexpr double kPi = std::numbers::pi;
// The sample drawings are drawn at 1/100: a text of 3.5 mm on paper is 350 mm long
// per full-width character in the drawing.
constexpr double kPaperScale = 100.0;

// Values that come from the maths library are rounded, so that the drawings keep
// their bytes where a library rounds its last bit differently.
double Tidy(double v, double perUnit) {
  return std::round(v * perUnit) / perUnit;
}

// UTF-8 to UTF-16 code units (the words above are valid UTF-8).
JString Utf16(std::string_view utf8) {
  JString out(std::string(), true);
  for (std::size_t i = 0; i < utf8.size();) {
    auto b = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp;
    std::size_t n;
    if (b < 0x80) {
      cp = b, n = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F, n = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F, n = 3;
    } else {
      cp = b & 0x07, n = 4;
    }
    for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k)
      cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.appendUnit(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      out.appendUnit(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.appendUnit(static_cast<std::uint16_t>(cp));
    }
  }
  return out;
}

JString Concat(JString a, const JString& b) {
  a.bytes += b.bytes;
  return a;
}

// Width in half-width character cells: ASCII counts 1, everything else 2.
double Cells(const JString& t) {
  double n = 0;
  if (t.wide) {
    for (std::size_t i = 0; i < t.units(); ++i) n += t.unit(i) < 0x80 ? 1 : 2;
  } else {
    n = static_cast<double>(t.bytes.size());
  }
  return n;
}

// A small generator of its own, so that the drawings do not depend on the
// standard library's distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= n < bound.
  std::int64_t Below(std::int64_t bound) {
    return static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(bound));
  }
  // A whole number of millimetres in [lo, hi).
  double Mm(std::int64_t lo, std::int64_t hi) { return static_cast<double>(lo + Below(hi - lo)); }

 private:
  std::uint64_t state_;
};

}  // namespace

JString Str(const Style& s, const Word& w) {
  return s.wide ? Utf16(w.utf8) : JString(std::string(w.sjis));
}

JString Ascii(const Style& s, std::string_view ascii) {
  return JString::Ascii(ascii, s.wide);
}

TEntJwwCommon Pen(const Style& s, std::uint8_t penStyle, std::uint16_t penColor,
                  std::uint16_t layer, std::uint16_t layerGroup, std::uint16_t penWidth) {
  TEntJwwCommon c;
  c.penStyle = penStyle;
  c.penColor = penColor;
  c.penWidth = s.version >= 351 ? penWidth : 0;
  c.layer = layer;
  c.layerGroup = layerGroup;
  return c;
}

TEntJwwSen Line(const TEntJwwCommon& c, double x1, double y1, double x2, double y2) {
  return TEntJwwSen{c, x1, y1, x2, y2};
}

TEntJwwEnko Arc(const TEntJwwCommon& c, double cx, double cy, double radius, double start,
                double sweep, double flatness, double tilt) {
  TEntJwwEnko e;
  e.common = c;
  e.centerX = cx;
  e.centerY = cy;
  e.radius = radius;
  e.startAngle = start;
  e.arcAngle = sweep;
  e.tiltAngle = tilt;
  e.flatness = flatness;
  e.fullCircle = 0;
  return e;
}

TEntJwwEnko Circle(const TEntJwwCommon& c, double cx, double cy, double radius) {
  TEntJwwEnko e = Arc(c, cx, cy, radius, 0.0, 2 * kPi);
  e.fullCircle = 1;
  return e;
}

TEntJwwTen Point(const TEntJwwCommon& c, double x, double y, bool temporary) {
  TEntJwwTen p;
  p.common = c;
  p.x = x;
  p.y = y;
  p.isTemporary = temporary ? 1 : 0;
  return p;
}

TEntJwwTen Marker(const Style& s, std::uint16_t penColor, double x, double y, std::int32_t code,
                  double rotation, double scale, std::uint16_t layer, std::uint16_t layerGroup) {
  TEntJwwTen p = Point(Pen(s, 100, penColor, layer, layerGroup), x, y);
  p.code = code;
  p.rotation = rotation;
  p.scale = scale;
  return p;
}

TEntJwwMoji Text(const Style& s, const TEntJwwCommon& c, double x, double y, JString text,
                 double size, double angle, JString font) {
  TEntJwwMoji t;
  t.common = c;
  const double length = Cells(text) * size / 2 * kPaperScale;
  const double a = angle * kPi / 180;
  t.startX = x;
  t.startY = y;
  t.endX = Tidy(x + length * std::cos(a), 1e6);
  t.endY = Tidy(y + length * std::sin(a), 1e6);
  t.textKind = size < 3 ? 2 : 3;
  t.sizeX = size;
  t.sizeY = size;
  t.spacing = 0;
  t.angle = angle;
  t.fontName = font.empty() ? Str(s, words::kGothic) : std::move(font);
  t.text = std::move(text);
  return t;
}

TEntJwwSolid Solid(const TEntJwwCommon& c, const double (&corners)[8], std::int32_t color) {
  TEntJwwSolid e;
  e.common = c;
  std::copy(std::begin(corners), std::end(corners), e.corners);
  e.color = c.penColor == 10 ? color : 0;
  return e;
}

TEntJwwBlock Insertion(const TEntJwwCommon& c, double x, double y, std::int32_t blockNumber,
                       double scaleX, double scaleY, double rotation) {
  return TEntJwwBlock{c, x, y, scaleX, scaleY, rotation, blockNumber};
}

std::string LengthText(double length) {
  const long long tenths = std::llround(std::fabs(length) * 10);
  const std::string digits = std::to_string(tenths / 10);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  if (tenths % 10 != 0) {
    text += '.';
    text += static_cast<char>('0' + tenths % 10);
  }
  return text;
}

TEntJwwSunpo Dimension(const Style& s, const TEntJwwCommon& c, double x1, double y1, double x2,
                       double y2, double offset, JString value, bool sxf) {
  const double dx = x2 - x1, dy = y2 - y1;
  const double len = std::hypot(dx, dy);
  const double ux = len > 0 ? Tidy(dx / len, 1e12) : 1, uy = len > 0 ? Tidy(dy / len, 1e12) : 0;
  const double nx = -uy, ny = ux;  // to the left of the measured direction
  const double ax = x1 + nx * offset, ay = y1 + ny * offset;
  const double bx = x2 + nx * offset, by = y2 + ny * offset;

  TEntJwwSunpo d;
  d.common = c;
  d.line = Line(c, ax, ay, bx, by);
  const double angle = Tidy(std::atan2(dy, dx) * 180 / kPi, 1e6);
  const double size = 2.5;
  const double half = Cells(value) * size / 4 * kPaperScale;
  const double gap = 1.0 * kPaperScale * (offset < 0 ? -1 : 1);
  const double mx = (ax + bx) / 2 - ux * half + nx * gap, my = (ay + by) / 2 - uy * half + ny * gap;
  d.text =
      Text(s, Pen(s, 1, c.penColor, c.layer, c.layerGroup), mx, my, std::move(value), size, angle);

  if (s.version >= 420 && sxf) {
    d.sxfMode = 1;
    // Auxiliary lines from a little off the measured points to a little past the
    // dimension line, on the same side.
    const double sign = offset < 0 ? -1 : 1;
    const double start = 2.0 * kPaperScale * sign, past = 2.0 * kPaperScale * sign;
    d.auxLine1 = Line(c, x1 + nx * start, y1 + ny * start, ax + nx * past, ay + ny * past);
    d.auxLine2 = Line(c, x2 + nx * start, y2 + ny * start, bx + nx * past, by + ny * past);
    const double rot = Tidy(std::atan2(dy, dx), 1e12);
    d.point1 = Marker(s, c.penColor, ax, ay, 1, rot + kPi, 1.0, c.layer, c.layerGroup);
    d.point2 = Marker(s, c.penColor, bx, by, 1, rot, 1.0, c.layer, c.layerGroup);
    d.point3 = Point(Pen(s, 1, c.penColor, c.layer, c.layerGroup), x1, y1, true);
    d.point4 = Point(Pen(s, 1, c.penColor, c.layer, c.layerGroup), x2, y2, true);
  } else {
    // No SXF part: its lines and points take the dimension's common part (the
    // points with the pen style that is written for them) and zeros.
    d.sxfMode = 0;
    d.auxLine1 = TEntJwwSen{c};
    d.auxLine2 = TEntJwwSen{c};
    for (TEntJwwTen* p : {&d.point1, &d.point2, &d.point3, &d.point4}) {
      *p = TEntJwwTen{};
      p->common = c;
      p->common.penStyle = s.version >= 420 ? 1 : 0;
    }
  }
  return d;
}

TEntJwwBlockDef& AddBlockDef(TEntityLists& lists, const Style& s, JString name, std::int32_t time) {
  TEntJwwBlockDef& d = lists.BlockDefs.emplace_back();
  d.common = Pen(s, 1, 1);
  d.number = static_cast<std::int32_t>(lists.BlockDefs.size() - 1);
  d.referenced = 1;
  // A time with bit 31 set would be followed by a 64-bit time in the file.
  d.time = time != 0 ? (time & 0x7FFFFFFF) : 1'600'000'000 + d.number;
  d.name = std::move(name);
  return d;
}

void StartDrawing(TJwwData& doc, const Style& s, JString memo) {
  doc.Clear();
  const std::int32_t v = s.version;
  auto& h = doc.Header;
  h.signature = std::string(TJwwData::kSignature);
  h.version = v;
  h.memo = std::move(memo);
  h.paperSize = 3;  // A3
  h.writeLayerGroup = 0;
  h.dimensionSettings = {1, 0, 0, 2, 0};
  h.printScale = 1.0;
  h.gridMode = 0;
  h.gridSpacingX = h.gridSpacingY = 910;
  h.viewScale = 1.0;
  h.rangeScale = 1.0;
  h.parallelDistances = {100, 150, 200, 300, 455, 910, 1820, 0, 0, 0};
  h.drawFlags = {1, 1, 0, 0, 1, 0, 0, 0, 0, 0};
  h.printSkipTens = v >= 600 ? 1 : 0;  // the tens are stored from 600 on
  if (v >= 300) h.skyHeight = 10000, h.skyRadius = 30000;
  if (v >= 223) h.eyeInts = {0, 0, 0, 0}, h.eyeDoubles = {1500, 0, 0, 0, 0};
  if (v >= 225) h.lastSizes = {910, 1820, 455, 0};
  if (v >= 230) h.solidAnyColor = 0, h.solidColor = 0xC0C0C0;
  h.textWidth = h.textHeight = 3.5;
  h.textColor = 1;
  h.textKind = 3;
  h.textLineSpacing = 5;
  h.textLineCount = 1;

  for (int g = 0; g < 16; ++g) {
    auto& lg = doc.LayerGroups[g];
    lg.state = g == 0 ? 2 : 1;  // group 0 is the one being written
    lg.writeLayer = 0;
    lg.scale = kPaperScale;
    lg.protect = 0;
    lg.name = g == 0 ? Str(s, words::kFloorPlan) : Ascii(s, "");
    for (int l = 0; l < 16; ++l) {
      doc.Layers[g * 16 + l].state = 2;
      doc.Layers[g * 16 + l].name = Ascii(s, "");
    }
  }
  const Word* layerNames[] = {&words::kGridLine, &words::kWall, &words::kDoor, &words::kWindow,
                              &words::kDimension};
  for (int l = 0; l < 5; ++l) doc.Layers[l].name = Str(s, *layerNames[l]);

  static constexpr std::int32_t kPenColors[10] = {0xFFFFFF, 0x000000, 0xFF0000, 0x00A000, 0x0000FF,
                                                  0xFF00FF, 0x00C0C0, 0x808080, 0xC06000, 0x606060};
  for (int n = 0; n < 10; ++n) {
    auto& p = doc.Pens[n];
    p.color = kPenColors[n];
    p.width = 1 + n % 3;
    p.printColor = kPenColors[n];
    p.printWidth = 10 + 5 * n;
    p.printPointRadius = 0.3;
  }
  for (int k = 0; k < 10; ++k) {
    auto& t = doc.TextKinds[k];
    t.width = t.height = 2.0 + 0.5 * k;
    t.spacing = 0;
    t.color = 1 + k % 9;
  }
  if (v >= 420) {
    for (auto& c : doc.ColorsEx) c.name = Ascii(s, "");
    for (auto& t : doc.LineTypesEx) t.name = Ascii(s, "");
  }
  static_cast<TJwwHeaderData&>(doc) = NormaliseHeader(doc, v);
  if (v < 420) {
    // Not stored below 420: keep what reading such a file gives.
    doc.ColorsEx = TJwwHeaderData{}.ColorsEx;
    doc.LineTypesEx = TJwwHeaderData{}.LineTypesEx;
  }
}

void FinishDrawing(TEntityLists& doc) {
  // Number the definitions as they will be written, and the insertions with them.
  doc.BuildBlockTree();
  const BlockNumberIndex index(doc.BlockDefs);
  auto renumber = [&](TEntityList& list) {
    for (auto& b : list.Blocks) {
      const std::int32_t def = index.Find(b.blockNumber);
      b.blockNumber = def < 0 ? 0 : doc.BlockDefs[static_cast<std::size_t>(def)].newNumber;
    }
  };
  renumber(doc);
  for (auto& d : doc.BlockDefs) renumber(d);
  for (auto& d : doc.BlockDefs) d.number = d.newNumber;
  doc.BuildBlockTree();
}

std::vector<std::uint8_t> MakeBmp(int width, int height) {
  const std::uint32_t row = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t pixels = row * static_cast<std::uint32_t>(height);
  std::vector<std::uint8_t> b;
  auto u16 = [&](std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  b.push_back('B');
  b.push_back('M');
  u32(54 + pixels);  // file size
  u32(0);
  u32(54);  // offset of the pixels
  u32(40);  // BITMAPINFOHEADER
  u32(static_cast<std::uint32_t>(width));
  u32(static_cast<std::uint32_t>(height));
  u16(1);   // planes
  u16(24);  // bits per pixel
  u32(0);   // no compression
  u32(pixels);
  u32(3780);  // 96 dpi
  u32(3780);
  u32(0);
  u32(0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool check = ((x / 4) + (y / 4)) % 2 == 0;
      b.push_back(
          static_cast<std::uint8_t>(check ? 0xE0 : 40 + 200 * x / std::max(1, width)));  // blue
      b.push_back(
          static_cast<std::uint8_t>(check ? 0xE0 : 40 + 200 * y / std::max(1, height)));  // green
      b.push_back(static_cast<std::uint8_t>(check ? 0xE0 : 0x30));                        // red
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < row; ++pad)
      b.push_back(0);
  }
  return b;
}

void EmbedImage(TJwwData& doc, const Style& s, TEntityList& list, JString name,
                const std::vector<std::uint8_t>& data, double x, double y, double width,
                double height) {
  TBoundImages& images = doc.Images();
  if (!images.Store()) throw std::runtime_error("no store for embedded images");
  std::string fsName;
  Message why;
  if (!CheckImageName(name, fsName, why)) throw std::runtime_error(why.English());
  images.Store()->Put(fsName, name.wide, data);
  images.Entries.push_back(TBindImageType{name, static_cast<std::int32_t>(data.size()), false});
  // The name, then the image's size in the drawing and its placement.
  const std::string tail = std::string(",") + std::to_string(std::llround(width)) + "," +
                           std::to_string(std::llround(height)) + ",0,0,1,0";
  JString ref = Concat(Concat(Ascii(s, "^@BM%temp%"), name), Ascii(s, tail));
  TEntJwwMoji t = Text(s, Pen(s, 1, 1, 0, 0), x, y, std::move(ref), 2.5);
  t.endX = x + width;
  t.endY = y;
  list.Add(std::move(t));
}

void BuildVersionSample(TJwwData& doc, const Style& s) {
  const std::int32_t v = s.version;
  StartDrawing(doc, s, Ascii(s, std::string("Tessaly sample, version ") + std::to_string(v)));
  TEntityList& m = doc;

  // Lines in every ordinary pen style and colour, on a few layers and groups.
  for (int i = 0; i < 9; ++i) {
    m.Add(Line(Pen(s, static_cast<std::uint8_t>(1 + i), static_cast<std::uint16_t>(1 + i),
                       static_cast<std::uint16_t>(i % 4), static_cast<std::uint16_t>(i % 2),
                       static_cast<std::uint16_t>(i)),
                   0, 1000.0 * i, 8000, 1000.0 * i));
  }
  m.Add(Line(Pen(s, 11, 2, 1), 0, -1000, 8000, -500));  // an auxiliary line style
  if (v >= 420) {
    // SXF pen styles and colours exist from 420 on.
    m.Add(Line(Pen(s, 31, 101, 2), 0, 9500, 8000, 9500));
    m.Add(Line(Pen(s, 62, 356, 2, 0, 5), 0, 9800, 8000, 9800));
  }

  // A circle, a quarter arc (a door swing), and an ellipse arc tilted by 30°.
  m.Add(Circle(Pen(s, 1, 3, 1), 10000, 1000, 500));
  m.Add(Arc(Pen(s, 2, 4, 2), 10000, 3000, 800, 0, kPi / 2));
  m.Add(Arc(Pen(s, 1, 5, 2, 1), 10000, 5000, 1200, kPi / 6, 4 * kPi / 3, 0.5, kPi / 6));

  // Points: ordinary, temporary, and a marker (pen style 100) with its extension.
  m.Add(Point(Pen(s, 1, 2), 12000, 1000));
  m.Add(Point(Pen(s, 1, 3), 12000, 2000, true));
  m.Add(Marker(s, 4, 12000, 3000, 5, kPi / 4, 1.5));

  // Texts: Japanese in both fonts, ASCII, a trail byte 0x5C, a rotated one.
  m.Add(Text(s, Pen(s, 1, 1, 3), 0, 11000, Str(s, words::kFloorPlan), 5.0));
  m.Add(Text(s, Pen(s, 1, 2, 3), 0, 10500, Str(s, words::kScale100), 3.5, 0,
                 Str(s, words::kMincho)));
  m.Add(Text(s, Pen(s, 2, 3, 3, 1), 4000, 10500, Ascii(s, "A-A' section 1:50"), 2.5));
  m.Add(
         Text(s, Pen(s, 1, 4, 3), 4000, 11000, Concat(Str(s, words::kTable), Ascii(s, "-1")), 3.5));
  m.Add(Text(s, Pen(s, 1, 5, 3), 14000, 0, Str(s, words::kCorridor), 3.5, 90));

  // Solids: one in a pen colour, one with its own RGB colour (pen colour 10).
  const double sq[8] = {13000, 5000, 13500, 5000, 13500, 5500, 13000, 5500};
  m.Add(Solid(Pen(s, 1, 9, 1), sq));
  const double tri[8] = {14000, 5000, 14800, 5000, 14400, 5700, 14400, 5700};
  m.Add(Solid(Pen(s, 1, 10, 1), tri, 0x3080C0));
  if (v >= 420) m.Add(Solid(Pen(s, 1, 120, 1), sq));

  // Dimensions: horizontal and vertical ordinary ones, then SXF ones from 420 on.
  const TEntJwwCommon dim = Pen(s, 1, 2, 4);
  m.Add(Dimension(s, dim, 0, -2000, 3640, -2000, -800, Ascii(s, LengthText(3640)), false));
  m.Add(Dimension(s, dim, 9000, 0, 9000, 2730, -800, Ascii(s, LengthText(2730)), false));
  m.Add(Dimension(s, Pen(s, 1, 3, 4, 1), 3640, -2000, 8000, -2000, -800,
                      Ascii(s, LengthText(4360)), true));
  m.Add(Dimension(s, dim, 0, 0, 3000, 4000, 600, Ascii(s, LengthText(5000)), true));  // slanted
  // A value of spaces only: the dissolve makes no text of it.
  m.Add(Dimension(s, dim, 0, -3000, 910, -3000, -500, Ascii(s, " "), false));

  // Block definitions: a door that holds a dimension and inserts a handle, the
  // handle, and a definition that nothing inserts (it stays last, so the
  // numbering of the written drawing is the one built here).
  {
    TEntJwwBlockDef& door = AddBlockDef(doc, s, Str(s, words::kDoor));
    door.Add(Line(Pen(s, 1, 2, 2), 0, 0, 0, 800));
    door.Add(Arc(Pen(s, 2, 2, 2), 0, 0, 800, 0, kPi / 2));
    door.Add(
           Dimension(s, Pen(s, 1, 2, 4), 0, 0, 800, 0, -300, Ascii(s, LengthText(800)), true));
    door.Add(Insertion(Pen(s, 1, 1, 2), 0, 700, 1));
    door.Add(
           Text(s, Pen(s, 1, 1, 2), 100, 100, Concat(Ascii(s, "WD"), Str(s, words::kDoor)), 2.0));
  }
  {
    TEntJwwBlockDef& handle = AddBlockDef(doc, s, Ascii(s, "handle"));
    handle.Add(Line(Pen(s, 1, 1, 2), -50, 0, 50, 0));
    handle.Add(Circle(Pen(s, 1, 1, 2), 0, 0, 20));
    const double knob[8] = {-10, -10, 10, -10, 10, 10, -10, 10};
    handle.Add(Solid(Pen(s, 1, 10, 2), knob, 0x202020));
    handle.Add(Point(Pen(s, 1, 1, 2), 0, 0));
  }
  {
    TEntJwwBlockDef& unused = AddBlockDef(doc, s, Str(s, words::kUnused));
    unused.Add(Line(Pen(s, 1, 1), 0, 0, 100, 100));
    unused.Add(Dimension(s, Pen(s, 1, 2, 4), 0, 0, 100, 0, 50, Ascii(s, "100"), false));
  }
  m.Add(Insertion(Pen(s, 1, 1, 2), 16000, 0, 0));
  m.Add(Insertion(Pen(s, 1, 1, 2), 18000, 0, 0, -1.0, 1.0, kPi / 2));
  m.Add(Insertion(Pen(s, 1, 1, 2, 1), 20000, 0, 1, 2.0, 2.0));
  FinishDrawing(doc);
}

void BuildPlan(TJwwData& doc, const Style& s) {
  StartDrawing(doc, s, Ascii(s, "Tessaly example plan"));
  TEntityList& m = doc;
  const TEntJwwCommon grid = Pen(s, 6, 1, 0);
  const TEntJwwCommon wall = Pen(s, 1, 2, 1, 0, 3);
  const TEntJwwCommon fitting = Pen(s, 1, 3, 2);
  const TEntJwwCommon window = Pen(s, 1, 4, 3);
  const TEntJwwCommon dimension = Pen(s, 1, 5, 4);
  const TEntJwwCommon room = Pen(s, 1, 1, 5);

  // Grid lines and their labels.
  const double xs[] = {0, 3640, 5460, 9100};
  const double ys[] = {0, 3640, 7280};
  for (double x : xs) m.Add(Line(grid, x, -1000, x, 8280));
  for (double y : ys) m.Add(Line(grid, -1000, y, 10100, y));
  for (int i = 0; i < 4; ++i) {
    m.Add(Circle(grid, xs[i], 8780, 500));
    m.Add(Text(s, grid, xs[i] - 175, 8605, Ascii(s, std::string("X") + std::to_string(i + 1)),
                   3.5));
  }
  for (int i = 0; i < 3; ++i) {
    m.Add(Circle(grid, 10600, ys[i], 500));
    m.Add(Text(s, grid, 10425, ys[i] - 175, Ascii(s, std::string("Y") + std::to_string(i + 1)),
                   3.5));
  }

  // Walls: both faces of each wall, 150 thick.
  auto wallX = [&](double x, double y1, double y2) {
    m.Add(Line(wall, x - 75, y1, x - 75, y2));
    m.Add(Line(wall, x + 75, y1, x + 75, y2));
  };
  auto wallY = [&](double y, double x1, double x2) {
    m.Add(Line(wall, x1, y - 75, x2, y - 75));
    m.Add(Line(wall, x1, y + 75, x2, y + 75));
  };
  wallX(0, -75, 7355);
  wallX(9100, -75, 7355);
  wallY(0, 75, 9025);
  wallY(7280, 75, 9025);
  wallX(3640, 75, 7205);
  wallX(5460, 75, 3565);
  wallY(3640, 3715, 9025);

  // Columns at the corners of the grid.
  const TEntJwwCommon column = Pen(s, 1, 10, 1);
  for (double x : {0.0, 9100.0}) {
    for (double y : {0.0, 7280.0}) {
      const double c[8] = {x - 150, y - 150, x + 150, y - 150, x + 150, y + 150, x - 150, y + 150};
      m.Add(Solid(column, c, 0x404040));
    }
  }

  // Windows: a frame line between the wall faces and the glass.
  for (double x1 : {910.0, 6370.0}) {
    m.Add(Line(window, x1, 7280, x1 + 1820, 7280));
    m.Add(Line(window, x1, 7240, x1 + 1820, 7240));
  }

  // Room names.
  m.Add(Text(s, room, 1470, 3640, Str(s, words::kLiving), 5.0));
  m.Add(Text(s, room, 6870, 5460, Str(s, words::kBedroom), 5.0));
  m.Add(Text(s, room, 4200, 1600, Str(s, words::kBath), 3.5));
  m.Add(Text(s, room, 6900, 1600, Str(s, words::kKitchen), 3.5));
  m.Add(Text(s, room, 4200, 5460, Str(s, words::kCorridor), 3.5, 90));

  // The door: leaf, swing and its width as a dimension, inserted three times.
  {
    TEntJwwBlockDef& door = AddBlockDef(doc, s, Str(s, words::kDoor));
    door.Add(Line(fitting, 0, 0, 0, 800));
    door.Add(Arc(fitting, 0, 0, 800, 0, kPi / 2));
    door.Add(Dimension(s, dimension, 0, 0, 800, 0, -250, Ascii(s, LengthText(800)), true));
  }
  m.Add(Insertion(fitting, 3715, 1000, 0));
  m.Add(Insertion(fitting, 5535, 5000, 0, -1.0, 1.0));
  m.Add(Insertion(fitting, 9025, 4500, 0, 1.0, 1.0, kPi / 2));

  // Ordinary dimensions along the bottom: the bays, then the whole length.
  for (int i = 0; i < 3; ++i) {
    m.Add(Dimension(s, dimension, xs[i], -75, xs[i + 1], -75, -1500,
                        Ascii(s, LengthText(xs[i + 1] - xs[i])), false));
  }
  m.Add(Dimension(s, dimension, 0, -75, 9100, -75, -2300, Ascii(s, LengthText(9100)), false));
  // SXF dimensions along the left side (measured upwards, the line to the left).
  for (int i = 0; i < 2; ++i) {
    m.Add(Dimension(s, dimension, -75, ys[i], -75, ys[i + 1], 1500,
                        Ascii(s, LengthText(ys[i + 1] - ys[i])), true));
  }
  m.Add(Dimension(s, dimension, -75, 0, -75, 7280, 2300, Ascii(s, LengthText(7280)), true));

  // Title.
  m.Add(Text(s, Pen(s, 1, 2, 5), 0, -4000, Str(s, words::kFloorPlan), 7.0));
  m.Add(Text(s, Pen(s, 1, 1, 5), 4500, -4000, Str(s, words::kScale100), 3.5));
  FinishDrawing(doc);
}

void BuildImageSample(TJwwData& doc, const Style& s) {
  StartDrawing(doc, s, Ascii(s, "Tessaly example with an image"));
  TEntityList& m = doc;
  const TEntJwwCommon frame = Pen(s, 1, 2, 0);
  m.Add(Line(frame, 0, 0, 4000, 0));
  m.Add(Line(frame, 4000, 0, 4000, 3000));
  m.Add(Line(frame, 4000, 3000, 0, 3000));
  m.Add(Line(frame, 0, 3000, 0, 0));
  EmbedImage(doc, s, m, Ascii(s, "tessaly.bmp"), MakeBmp(32, 24), 500, 500, 3000, 2000);
  m.Add(Text(s, Pen(s, 1, 1, 0), 0, 3300, Str(s, words::kImage), 3.5));
  m.Add(Dimension(s, Pen(s, 1, 5, 4), 0, 0, 4000, 0, -800, Ascii(s, LengthText(4000)), true));
  m.Add(Dimension(s, Pen(s, 1, 5, 4), 4000, 0, 4000, 3000, -800, Ascii(s, LengthText(3000)),
                      false));
  FinishDrawing(doc);
}

void BuildFigure(TJwsData& fig, const Style& s) {
  fig.Clear();
  fig.Header.Signature = std::string(TJwsData::kSignature);
  fig.Header.Version = s.version;
  fig.Header.HeaderReals1 = {0, 0};
  fig.Header.HeaderInts = {1, 2, 3, 4, 5, 6};
  // The figure's extent closes the second block of reals.
  fig.Header.HeaderReals2 = {1, 2, 3, 4, 5, 6, -300, -600, 900, 900};
  for (auto& g : fig.LayerGroups) g.scale = kPaperScale;

  TEntityList& m = fig;
  const TEntJwwCommon leaf = Pen(s, 1, 2, 0);
  m.Add(Line(leaf, 0, 0, 800, 0));
  m.Add(Line(leaf, 0, 0, 0, 800));
  m.Add(Arc(Pen(s, 2, 2, 0), 0, 0, 800, 0, kPi / 2));
  m.Add(
         Text(s, Pen(s, 1, 1, 0), 100, 100, Concat(Ascii(s, "WD1 "), Str(s, words::kDoor)), 2.5));
  m.Add(Dimension(s, Pen(s, 1, 5, 1), 0, 0, 800, 0, -400, Ascii(s, LengthText(800)), true));
  m.Add(Dimension(s, Pen(s, 1, 5, 1), 0, 0, 0, 800, 400, Ascii(s, LengthText(800)), false));
  TEntJwwBlockDef& handle = AddBlockDef(fig, s, Ascii(s, "handle"));
  handle.Add(Circle(Pen(s, 1, 1, 0), 0, 0, 20));
  handle.Add(Dimension(s, Pen(s, 1, 5, 1), -20, 0, 20, 0, -60, Ascii(s, "40"), true));
  m.Add(Insertion(Pen(s, 1, 1, 0), 700, 50, 0));
  FinishDrawing(fig);
}

void BuildLarge(TJwwData& doc, const LargeOptions& o) {
  const Style& s = o.style;
  StartDrawing(doc, s, Ascii(s, "Tessaly benchmark drawing"));
  Rng rng(o.seed);
  const std::int64_t n = std::max<std::int64_t>(0, o.entities);
  const std::int64_t dims = std::clamp<std::int64_t>(o.dimensions, 0, n);
  std::int64_t sxfLeft =
      s.version >= 420 ? std::llround(static_cast<double>(dims) * o.sxfShare) : 0;
  const std::int64_t texts =
      std::min<std::int64_t>(n - dims, std::llround(static_cast<double>(n) * o.textShare));
  const std::int64_t rest = n - dims - texts;
  const std::int32_t defs = std::max<std::int32_t>(0, o.blockDefs);
  const std::int64_t inserts =
      defs > 0 ? std::min<std::int64_t>(rest, std::max<std::int64_t>(defs, rest / 60)) : 0;
  const std::int64_t arcs = (rest - inserts) * 12 / 100;
  const std::int64_t points = (rest - inserts) * 8 / 100;
  const std::int64_t solids = (rest - inserts) * 3 / 100;
  const std::int64_t lines = rest - inserts - arcs - points - solids;
  std::int64_t left[8] = {0, lines, arcs, points, texts, dims, solids, inserts};

  doc.EntityIndex.reserve(static_cast<std::size_t>(n));
  doc.Lines.reserve(static_cast<std::size_t>(lines));
  doc.Arcs.reserve(static_cast<std::size_t>(arcs));
  doc.Points.reserve(static_cast<std::size_t>(points));
  doc.Texts.reserve(static_cast<std::size_t>(texts));
  doc.Dimensions.reserve(static_cast<std::size_t>(dims));
  doc.Solids.reserve(static_cast<std::size_t>(solids));
  doc.Blocks.reserve(static_cast<std::size_t>(inserts));

  const Word* roomWords[] = {&words::kLiving,   &words::kBedroom, &words::kKitchen,
                             &words::kEntrance, &words::kBath,    &words::kJapanese,
                             &words::kCorridor, &words::kTable};

  // Block definitions: small fittings, every fourth with a dimension, every fifth
  // inserting the one before it.
  for (std::int32_t k = 0; k < defs; ++k) {
    TEntJwwBlockDef& d = AddBlockDef(
        doc, s, Concat(Str(s, *roomWords[k % 8]), Ascii(s, std::string("-") + std::to_string(k))));
    const std::int32_t per = std::max<std::int32_t>(1, o.entitiesPerBlockDef);
    for (std::int32_t i = 0; i < per; ++i) {
      const TEntJwwCommon c = Pen(s, 1, static_cast<std::uint16_t>(1 + (k + i) % 9), 2);
      if (i == 1 && k % 4 == 0) {
        d.Add(Dimension(s, Pen(s, 1, 5, 4), 0, 0, 900, 0, -300, Ascii(s, LengthText(900)),
                            k % 8 == 0));
      } else if (i == 2 && k % 5 == 4) {
        d.Add(Insertion(c, 100, 100, k - 1));
      } else if (i == 3) {
        d.Add(Text(s, Pen(s, 1, 1, 2), 0, -200, Ascii(s, std::string("B") + std::to_string(k)),
                       2.5));
      } else if (i % 5 == 4) {
        d.Add(Arc(c, 450, 450, 450, 0, kPi / 2));
      } else {
        d.Add(Line(c, 100.0 * i, 0, 100.0 * i, 900));
      }
    }
  }

  std::int64_t inserted = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    // Pick a kind in proportion to what is left of each, so the counts come out exact.
    std::int64_t total = 0;
    for (int k = 1; k <= 7; ++k) total += left[k];
    std::int64_t r = rng.Below(total);
    int kind = 1;
    while (r >= left[kind]) r -= left[kind++];
    --left[kind];

    // Entities cluster in rooms of 10 m on a square grid of 500 x 500 rooms.
    const std::int64_t room = i / 64;
    const double ox = static_cast<double>(room % 500) * 10000,
                 oy = static_cast<double>(room / 500 % 500) * 10000;
    const double x = ox + rng.Mm(0, 9000), y = oy + rng.Mm(0, 9000);
    const auto layer = static_cast<std::uint16_t>(rng.Below(16));
    const auto group = static_cast<std::uint16_t>(rng.Below(4));
    const auto color = static_cast<std::uint16_t>(1 + rng.Below(9));
    switch (kind) {
      case kLine: {
        const bool sxfPen = s.version >= 420 && rng.Below(20) == 0;
        const auto style =
            static_cast<std::uint8_t>(sxfPen ? 31 + rng.Below(32) : 1 + rng.Below(9));
        doc.Add(
               Line(Pen(s, style, sxfPen ? static_cast<std::uint16_t>(101 + rng.Below(256)) : color,
                        layer, group, static_cast<std::uint16_t>(rng.Below(4))),
                    x, y, x + rng.Mm(-1000, 1000), y + rng.Mm(-1000, 1000)));
        break;
      }
      case kArc:
        if (rng.Below(4) == 0) {
          doc.Add(Circle(Pen(s, 1, color, layer, group), x, y, rng.Mm(50, 1000)));
        } else {
          doc.Add(Arc(Pen(s, 1, color, layer, group), x, y, rng.Mm(50, 1000),
                          static_cast<double>(rng.Below(360)) * kPi / 180, kPi / 2));
        }
        break;
      case kPoint:
        if (rng.Below(10) == 0) {
          doc.Add(Marker(s, color, x, y, static_cast<std::int32_t>(1 + rng.Below(8)), 0, 1.0,
                             layer, group));
        } else {
          doc.Add(Point(Pen(s, 1, color, layer, group), x, y, rng.Below(3) == 0));
        }
        break;
      case kText: {
        JString t = rng.Below(3) == 0 ? Ascii(s, std::string("W") + std::to_string(rng.Below(1000)))
                                      : Str(s, *roomWords[rng.Below(8)]);
        doc.Add(
               Text(s, Pen(s, 1, color, layer, group), x, y, std::move(t), rng.Below(2) ? 3.5 : 2.5,
                    0, Str(s, rng.Below(4) ? words::kGothic : words::kMincho)));
        break;
      }
      case kDimension: {
        const bool sxf = sxfLeft > 0 && rng.Below(left[kDimension] + 1) < sxfLeft;
        if (sxf) --sxfLeft;
        const double len = rng.Mm(100, 5000);
        const bool vertical = rng.Below(2) == 0;
        const double x2 = vertical ? x : x + len, y2 = vertical ? y + len : y;
        doc.Add(Dimension(s, Pen(s, 1, color, layer, group), x, y, x2, y2,
                              rng.Below(2) ? 600 : -600, Ascii(s, LengthText(len)), sxf));
        break;
      }
      case kSolid: {
        const double w = rng.Mm(100, 600);
        const double c[8] = {x, y, x + w, y, x + w, y + w, x, y + w};
        doc.Add(Solid(Pen(s, 1, rng.Below(3) == 0 ? 10 : color, layer, group), c,
                          static_cast<std::int32_t>(rng.Below(0x1000000))));
        break;
      }
      case kBlock: {
        const std::int32_t number = inserted < defs ? static_cast<std::int32_t>(inserted)
                                                    : static_cast<std::int32_t>(rng.Below(defs));
        ++inserted;
        doc.Add(Insertion(Pen(s, 1, 1, layer, group), x, y, number, 1.0, 1.0,
                              static_cast<double>(rng.Below(4)) * kPi / 2));
        break;
      }
    }
  }
  FinishDrawing(doc);
}

void BuildLargeFigure(TJwsData& fig, const LargeOptions& o) {
  TBoundImages none;
  TJwwData doc(none);
  BuildLarge(doc, o);
  BuildFigure(fig, o.style);
  static_cast<TEntityLists&>(fig) = std::move(static_cast<TEntityLists&>(doc));
}

namespace {

// Generated files are written without the flush to disk of a conversion: they
// are test and benchmark inputs, made again at will.
class FileSink : public ByteSink {
 public:
  explicit FileSink(const fs::path& path) : path_(path), out_(path, std::ios::binary | std::ios::trunc) {
    if (!out_) throw WriteError(Message("cannot create " + path.string()));
  }
  void Write(const std::uint8_t* data, std::size_t n) override {
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
    if (!out_) throw WriteError(Message("cannot write " + path_.string()));
  }
  void Close() {
    out_.close();
    if (!out_) throw WriteError(Message("cannot write " + path_.string()));
  }

 private:
  fs::path path_;
  std::ofstream out_;
};

template <typename Doc>
bool WriteTo(const Doc& doc, const fs::path& path, std::string& error) {
  try {
    FileSink sink(path);
    doc.Write(sink, doc.Version());
    sink.Close();
    return true;
  } catch (const WriteError& e) {
    error = e.what();
  }
  std::error_code ec;
  fs::remove(path, ec);
  return false;
}

}  // namespace

bool WriteDrawing(TJwwData& doc, const fs::path& path, std::string& error) {
  return WriteTo(doc, path, error);
}
bool WriteFigure(const TJwsData& fig, const fs::path& path, std::string& error) {
  return WriteTo(fig, path, error);
}

}  // namespace tessaly::gen

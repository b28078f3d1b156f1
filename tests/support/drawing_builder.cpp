#include "support/drawing_builder.h"

#include <map>
#include <stdexcept>
#include <type_traits>

#include "archive/writer.h"
#include "support/temp_dir.h"

namespace tessaly::test::draw {

TEntJwwCommon Common(std::uint16_t layer, std::uint16_t layerGroup, std::uint16_t flags,
                     std::int32_t group, std::uint16_t penColor, std::uint16_t penWidth) {
  TEntJwwCommon c;
  c.group = group;
  c.penStyle = 1;
  c.penColor = penColor;
  c.penWidth = penWidth;
  c.layer = layer;
  c.layerGroup = layerGroup;
  c.flags = flags;
  return c;
}

TEntJwwSen Line(double x1, double y1, double x2, double y2, const TEntJwwCommon& c) {
  TEntJwwSen e;
  e.common = c;
  e.startX = x1;
  e.startY = y1;
  e.endX = x2;
  e.endY = y2;
  return e;
}

TEntJwwTen Point(double x, double y, std::int32_t isTemporary, const TEntJwwCommon& c) {
  TEntJwwTen e;
  e.common = c;
  e.x = x;
  e.y = y;
  e.isTemporary = isTemporary;
  return e;
}

TEntJwwMoji Text(const JString& text, double x, double y, const TEntJwwCommon& c) {
  TEntJwwMoji e;
  e.common = c;
  e.startX = x;
  e.startY = y;
  e.endX = x + 10.5;
  e.endY = y + 0.25;
  e.textKind = 3;
  e.sizeX = 2.5;
  e.sizeY = 3.5;
  e.spacing = 0.125;
  e.angle = 15;
  e.fontName = JString("\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");  // MS Gothic
  e.text = text;
  return e;
}

TEntJwwSunpo Dimension(int seed, const JString& value, std::uint16_t sxfMode) {
  const double s = seed * 100.0;
  const auto g = static_cast<std::int32_t>(seed * 10);
  TEntJwwSunpo d;
  d.common = Common(static_cast<std::uint16_t>(3 + seed % 4),
                    static_cast<std::uint16_t>(5 + seed % 4), 0x0001, g + 1, 2, 21);
  d.line = Line(s, 1, s + 50, 1, Common(7, 8, 0x0100, g + 2, 3, 22));
  d.text = Text(value, s + 20, 2, Common(9, 10, 0x0002, g + 3, 4, 23));
  d.text.textKind = 7 + seed;
  d.sxfMode = sxfMode;
  d.auxLine1 = Line(s, 1.5, s, -10, Common(11, 12, 0x0004, g + 4, 5, 24));
  d.auxLine2 = Line(s + 50, 1.5, s + 50, -10, Common(13, 14, 0x2000, g + 5, 6, 25));
  d.point1 = Point(s + 0.5, -10.5, 1, Common(1, 2, 0x0008, g + 6, 7, 26));
  d.point2 = Point(s + 50.5, -10.5, 0, Common(2, 3, 0x0400, g + 7, 8, 27));
  d.point2.common.penStyle = 100;  // a point with its extra fields
  d.point2.code = 4 + seed;
  d.point2.rotation = 30;
  d.point2.scale = 1.5;
  d.point3 = Point(s - 0.5, -20.5, 0, Common(4, 5, 0x0800, g + 8, 9, 28));
  d.point4 = Point(s + 49.5, -20.5, 0, Common(15, 15, 0x1000, g + 9, 1, 29));
  return d;
}


void AddInsertion(TEntityList& list, std::int32_t number, double x, double y) {
  TEntJwwBlock b;
  b.common = Common(0, 0);
  b.x = x;
  b.y = y;
  b.scaleX = 1;
  b.scaleY = 1;
  b.blockNumber = number;
  list.Add(b);
}

TEntJwwBlockDef& AddBlockDef(TEntityLists& doc, std::int32_t number, const std::string& name) {
  doc.BlockDefs.emplace_back();
  TEntJwwBlockDef& d = doc.BlockDefs.back();
  d.common = Common(0, 0);
  d.number = number;
  d.name = JString(name);
  return d;
}

void NewDrawing(TJwwData& doc, std::int32_t version) {
  doc.Clear();
  doc.Images().Clear();
  doc.Header.signature = std::string(TJwwData::kSignature);
  doc.Header.version = version;
}

void EmbedImage(TJwwData& doc, const std::string& name, const std::string& bytes) {
  TBoundImages& images = doc.Images();
  if (!images.Store()) throw std::runtime_error("EmbedImage: no store for images");
  images.Store()->Put(name, false, std::span<const std::uint8_t>(
                                       reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  TBindImageType img;
  img.name = JString(name);
  img.size = static_cast<std::int32_t>(bytes.size());
  images.Entries.push_back(img);
  doc.Add(Text(JString("^@BM%temp%" + name + ",100,80,0,0,1,0"), 0, 0));
}

std::string WriteToBytes(TJwwData& doc, std::int32_t version) {
  doc.BuildBlockTree();
  StringSink sink;
  doc.Write(sink, version);
  return sink.bytes;
}

void SaveDrawing(TJwwData& doc, const std::filesystem::path& path) {
  doc.BuildBlockTree();
  if (Failure f = SaveFile(doc, path, doc.Header.version))
    throw std::runtime_error("cannot save " + path.string() + ": " + f.text);
}

void SampleDrawing(TJwwData& doc, std::int32_t version, int dimensions) {
  NewDrawing(doc, version);
  doc.Add(Line(0, 0, 100, 0, Common(1, 0, 0, 0, 2)));
  TEntJwwEnko arc;
  arc.common = Common(2, 0);
  arc.radius = 5;
  arc.arcAngle = 3.14;
  arc.flatness = 1;
  doc.Add(arc);
  doc.Add(Point(1, 2, 0, Common(3, 1)));
  doc.Add(Text(JString("plan"), 5, 5, Common(4, 1)));
  for (int i = 0; i < dimensions; ++i) {
    const bool sxf = version >= 420 && i % 2 == 1;
    doc.Add(Dimension(i, JString(std::to_string(1000 + i)), sxf ? 1 : 0));
  }
  TEntJwwSolid solid;
  solid.common = Common(5, 2);
  solid.corners[2] = 1;
  solid.corners[5] = 1;
  doc.Add(solid);
  AddInsertion(doc, 1, 50, 50);
  TEntJwwBlockDef& def = AddBlockDef(doc, 1, "blk");
  def.Add(Line(0, 0, 1, 1));
  if (dimensions > 0) def.Add(Dimension(99, JString("900"), version >= 420 ? 1 : 0));
}

void MakeDrawing(const std::filesystem::path& path, int dimensions, std::int32_t version) {
  MemoryImages store;
  TBoundImages images(store);
  TJwwData doc(images);
  SampleDrawing(doc, version, dimensions);
  SaveDrawing(doc, path);
}

void ExpandParts(TEntityList& list) {
  const TEntityList parts = list;
  for (auto& e : list.EntityIndex) {
    if (e.kind != kDimensionPart) continue;
    ForEntry(parts, TEntJwwIndex(e), [&](std::int32_t kind, const auto& record) {
      using Record = std::decay_t<decltype(record)>;
      std::size_t at = 0;
      if constexpr (std::is_same_v<Record, TEntJwwSen>) {
        at = list.Lines.size(), list.Lines.push_back(record);
      } else if constexpr (std::is_same_v<Record, TEntJwwMoji>) {
        at = list.Texts.size(), list.Texts.push_back(record);
      } else if constexpr (std::is_same_v<Record, TEntJwwTen>) {
        at = list.Points.size(), list.Points.push_back(record);
      } else {
        ADD_FAILURE() << "a dimension part of kind " << kind;
      }
      e = {kind, static_cast<std::int32_t>(at)};
    });
  }
  list.PartCount = 0;
}

void ExpandParts(TEntityLists& doc) {
  ExpandParts(static_cast<TEntityList&>(doc));
  for (auto& d : doc.BlockDefs) ExpandParts(d);
}

std::int64_t DimensionEntries(const TEntityLists& doc) {
  std::int64_t n = 0;
  auto count = [&n](const TEntityList& l) {
    for (const auto& e : l.EntityIndex) n += e.kind == kDimension;
  };
  count(doc);
  for (const auto& d : doc.BlockDefs) count(d);
  return n;
}

bool Same(const TEntJwwCommon& a, const TEntJwwCommon& b) {
  return a.group == b.group && a.penStyle == b.penStyle && a.penColor == b.penColor &&
         a.penWidth == b.penWidth && a.layer == b.layer && a.layerGroup == b.layerGroup &&
         a.flags == b.flags;
}

bool Same(const TEntJwwSen& a, const TEntJwwSen& b) {
  return Same(a.common, b.common) && a.startX == b.startX && a.startY == b.startY &&
         a.endX == b.endX && a.endY == b.endY;
}

bool Same(const TEntJwwTen& a, const TEntJwwTen& b) {
  return Same(a.common, b.common) && a.x == b.x && a.y == b.y && a.isTemporary == b.isTemporary &&
         a.code == b.code && a.rotation == b.rotation && a.scale == b.scale;
}

bool Same(const TEntJwwMoji& a, const TEntJwwMoji& b) {
  return Same(a.common, b.common) && a.startX == b.startX && a.startY == b.startY &&
         a.endX == b.endX && a.endY == b.endY && a.textKind == b.textKind && a.sizeX == b.sizeX &&
         a.sizeY == b.sizeY && a.spacing == b.spacing && a.angle == b.angle &&
         a.fontName == b.fontName && a.text == b.text;
}

testing::AssertionResult SameFiles(const std::vector<std::pair<std::string, std::string>>& expected,
                                   const std::vector<std::pair<std::string, std::string>>& actual) {
  std::map<std::string, const std::string*> a, b;
  for (const auto& [name, bytes] : expected) a[name] = &bytes;
  for (const auto& [name, bytes] : actual) b[name] = &bytes;
  std::string diff;
  for (const auto& [name, bytes] : a) {
    auto it = b.find(name);
    if (it == b.end()) {
      diff += " missing " + name + ";";
    } else if (*it->second != *bytes) {
      diff += " changed " + name + ";";
    }
  }
  for (const auto& [name, bytes] : b) {
    if (!a.count(name)) diff += " new " + name + ";";
  }
  if (diff.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "files differ:" << diff;
}

}  // namespace tessaly::test::draw

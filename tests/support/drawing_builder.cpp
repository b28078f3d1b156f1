#include "support/drawing_builder.h"

#include <map>
#include <stdexcept>
#include <type_traits>

#include "support/documents.h"

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

void New(TJwwData& doc, std::int32_t version) {
  doc.Clear();
  doc.Images().Clear();
  doc.Header.signature = std::string(TJwwData::kSignature);
  doc.Header.version = version;
}

void New(TJwsData& doc, std::int32_t version) {
  doc.Clear();
  doc.Header.Signature = std::string(TJwsData::kSignature);
  doc.Header.Version = version;
  doc.Header.HeaderReals1 = {-12.5, 40.25};
  doc.Header.HeaderInts = {1, 2, 3, 4, 5, 6};
  for (int i = 0; i < 10; ++i) doc.Header.HeaderReals2[static_cast<std::size_t>(i)] = i * 0.5;
  for (int g = 0; g < 16; ++g) doc.LayerGroups[static_cast<std::size_t>(g)].scale = 10.0 + g;
}

void EmbedImage(TJwwData& doc, const std::string& name, const std::string& bytes) {
  TBoundImages& images = doc.Images();
  if (!images.Store()) throw std::runtime_error("EmbedImage: no store for images");
  images.Store()->Put(name, false, AsBytes(bytes));
  TBindImageType img;
  img.name = JString(name);
  img.size = static_cast<std::int32_t>(bytes.size());
  images.Entries.push_back(img);
  doc.Add(Text(JString("^@BM%temp%" + name + ",100,80,0,0,1,0"), 0, 0));
}

namespace {

// The sample is the same in both formats but for the longest value each keeps.
template <typename Doc>
void SampleOf(Doc& doc, std::int32_t version, int dimensions) {
  New(doc, version);
  const std::size_t limit = Doc::FormatType::ReadRulesFor(version).textLimit;
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
    const std::string value = i == 0 ? std::string(limit ? limit : 300, '7') : std::to_string(1000 + i);
    doc.Add(Dimension(i, JString(value), sxf ? 1 : 0));
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

}  // namespace

void Sample(TJwwData& doc, std::int32_t version, int dimensions) { SampleOf(doc, version, dimensions); }
void Sample(TJwsData& doc, std::int32_t version, int dimensions) { SampleOf(doc, version, dimensions); }

void MakeDrawing(const std::filesystem::path& path, int dimensions, std::int32_t version) {
  MemoryImages store;
  TBoundImages images(store);
  TJwwData doc(images);
  Sample(doc, version, dimensions);
  SaveBuilt(doc, path);
}

void MakeFigure(const std::filesystem::path& path, int dimensions, std::int32_t version) {
  TJwsData doc;
  Sample(doc, version, dimensions);
  SaveBuilt(doc, path);
}

void ExpandParts(TEntityList& list) {
  const TEntityList parts = list;
  for (auto& e : list.EntityIndex) {
    if (e.kind != kDimensionPart) continue;
    ForEntry(parts, TEntJwwIndex(e), [&](std::int32_t kind, const auto& record) {
      auto& array = list.ArrayOf<std::decay_t<decltype(record)>>();
      array.push_back(record);
      e = {kind, static_cast<std::int32_t>(array.size() - 1)};
    });
  }
  list.PartCount = 0;
}

void ExpandParts(TEntityLists& doc) {
  ExpandParts(static_cast<TEntityList&>(doc));
  for (auto& d : doc.BlockDefs) ExpandParts(d);
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

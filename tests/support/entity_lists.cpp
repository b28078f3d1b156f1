#include "support/entity_lists.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace tessaly::test {
namespace {

std::string G(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

std::string S(const JString& s) {
  return std::string(s.wide ? "w\"" : "\"") + Hex(s.bytes) + "\"";
}

template <typename T>
void Put(std::string& out, const std::vector<T>& array, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= array.size()) {
    out += "  <index " + std::to_string(index) + " outside>\n";
  } else {
    out += "  " + Describe(array[static_cast<std::size_t>(index)]) + "\n";
  }
}

}  // namespace

std::string Describe(const TEntJwwCommon& c) {
  std::ostringstream o;
  o << "{g" << c.group << " s" << int(c.penStyle) << " c" << c.penColor << " w" << c.penWidth
    << " l" << c.layer << " lg" << c.layerGroup << " f" << c.flags << "}";
  return o.str();
}

std::string Describe(const TEntJwwSen& e) {
  return "line " + Describe(e.common) + " " + G(e.startX) + " " + G(e.startY) + " " + G(e.endX) +
         " " + G(e.endY);
}

std::string Describe(const TEntJwwEnko& e) {
  return "arc " + Describe(e.common) + " " + G(e.centerX) + " " + G(e.centerY) + " " + G(e.radius) +
         " " + G(e.startAngle) + " " + G(e.arcAngle) + " " + G(e.tiltAngle) + " " + G(e.flatness) +
         " " + std::to_string(e.fullCircle);
}

std::string Describe(const TEntJwwTen& e) {
  return "point " + Describe(e.common) + " " + G(e.x) + " " + G(e.y) + " t" +
         std::to_string(e.isTemporary) + " code" + std::to_string(e.code) + " " + G(e.rotation) +
         " " + G(e.scale);
}

std::string Describe(const TEntJwwMoji& e) {
  return "text " + Describe(e.common) + " " + G(e.startX) + " " + G(e.startY) + " " + G(e.endX) +
         " " + G(e.endY) + " k" + std::to_string(e.textKind) + " " + G(e.sizeX) + " " + G(e.sizeY) +
         " " + G(e.spacing) + " " + G(e.angle) + " font" + S(e.fontName) + " text" + S(e.text);
}

std::string Describe(const TEntJwwSunpo& e) {
  return "dimension " + Describe(e.common) + "\n    " + Describe(e.line) + "\n    " +
         Describe(e.text) + "\n    sxf" + std::to_string(e.sxfMode) + "\n    " +
         Describe(e.auxLine1) + "\n    " + Describe(e.auxLine2) + "\n    " + Describe(e.point1) +
         "\n    " + Describe(e.point2) + "\n    " + Describe(e.point3) + "\n    " +
         Describe(e.point4);
}

std::string Describe(const TEntJwwSolid& e) {
  std::string s = "solid " + Describe(e.common);
  for (double d : e.corners) s += " " + G(d);
  return s + " rgb" + std::to_string(e.color);
}

std::string Describe(const TEntJwwBlock& e) {
  return "block " + Describe(e.common) + " " + G(e.x) + " " + G(e.y) + " " + G(e.scaleX) + " " +
         G(e.scaleY) + " " + G(e.rotation) + " #" + std::to_string(e.blockNumber);
}

std::string Dump(const TEntityList& l) {
  std::string out;
  for (const auto& ix : l.EntityIndex) {
    // clang-format off
    switch (ix.kind) {
      case kLine: Put(out, l.Lines, ix.index); break;
      case kArc: Put(out, l.Arcs, ix.index); break;
      case kPoint: Put(out, l.Points, ix.index); break;
      case kText: Put(out, l.Texts, ix.index); break;
      case kDimension: Put(out, l.Dimensions, ix.index); break;
      case kSolid: Put(out, l.Solids, ix.index); break;
      case kBlock: Put(out, l.Blocks, ix.index); break;
      default: out += "  <empty>\n"; break;
    }
    // clang-format on
  }
  out += "  counts " + std::to_string(l.LineCount()) + " " + std::to_string(l.ArcCount()) + " " +
         std::to_string(l.PointCount()) + " " + std::to_string(l.TextCount()) + " " +
         std::to_string(l.DimensionCount) + " " + std::to_string(l.SolidCount()) + " " +
         std::to_string(l.BlockCount()) + "\n";
  return out;
}

std::string Dump(const TEntityLists& lists) {
  std::string out = "main list\n" + Dump(static_cast<const TEntityList&>(lists));
  for (std::size_t i = 0; i < lists.BlockDefs.size(); ++i) {
    const auto& d = lists.BlockDefs[i];
    out += "definition " + std::to_string(i) + " " + Describe(d.common) + " #" +
           std::to_string(d.number) + " ref" + std::to_string(d.referenced) + " time" +
           std::to_string(d.time) + " name" + S(d.name) + "\n" + Dump(d);
  }
  return out;
}

void ListEncoder::Tag(std::string_view className) {
  for (const auto& [name, index] : classes_) {
    if (name == className) {
      b_.classRef(index);
      return;
    }
  }
  b_.newClass(static_cast<std::uint16_t>(v_ & 0xFFFF), className);
  classes_.emplace_back(std::string(className), counter_++);
}

void ListEncoder::Common(const TEntJwwCommon& c) {
  b_.common({c.group, c.penStyle, c.penColor, c.penWidth, c.layer, c.layerGroup, c.flags}, v_);
}

void ListEncoder::Body(const TEntJwwSen& e) {
  Common(e.common);
  b_.f64(e.startX).f64(e.startY).f64(e.endX).f64(e.endY);
}

void ListEncoder::Body(const TEntJwwEnko& e) {
  Common(e.common);
  b_.f64(e.centerX).f64(e.centerY).f64(e.radius).f64(e.startAngle).f64(e.arcAngle).f64(e.tiltAngle);
  b_.f64(e.flatness).i32(e.fullCircle);
}

void ListEncoder::Body(const TEntJwwTen& e) {
  Common(e.common);
  b_.f64(e.x).f64(e.y).i32(e.isTemporary);
  if (e.common.penStyle == 100) b_.i32(e.code).f64(e.rotation).f64(e.scale);
}

void ListEncoder::Body(const TEntJwwMoji& e) {
  Common(e.common);
  b_.f64(e.startX).f64(e.startY).f64(e.endX).f64(e.endY).i32(e.textKind);
  b_.f64(e.sizeX).f64(e.sizeY).f64(e.spacing).f64(e.angle);
  b_.jstr(e.fontName).jstr(e.text);
}

void ListEncoder::Body(const TEntJwwSunpo& e) {
  Common(e.common);
  Body(e.line);
  Body(e.text);
  if (v_ >= 420) {
    b_.u16(e.sxfMode);
    Body(e.auxLine1);
    Body(e.auxLine2);
    Body(e.point1);
    Body(e.point2);
    Body(e.point3);
    Body(e.point4);
  }
}

void ListEncoder::Body(const TEntJwwSolid& e) {
  Common(e.common);
  for (double d : e.corners) b_.f64(d);
  if (e.common.penColor == 10) b_.i32(e.color);
}

void ListEncoder::Body(const TEntJwwBlock& e) {
  Common(e.common);
  b_.f64(e.x).f64(e.y).f64(e.scaleX).f64(e.scaleY).f64(e.rotation).i32(e.blockNumber);
}

void ListEncoder::Entity(const TEntityList& l, const TEntJwwIndex& ix) {
  // Kept apart from the writer's own walk of the index, so that a fault there
  // is not repeated here.
  const auto at = static_cast<std::size_t>(ix.index);
  // clang-format off
  switch (ix.kind) {
    case kLine: Tag("CDataSen"); Body(l.Lines.at(at)); break;
    case kArc: Tag("CDataEnko"); Body(l.Arcs.at(at)); break;
    case kPoint: Tag("CDataTen"); Body(l.Points.at(at)); break;
    case kText: Tag("CDataMoji"); Body(l.Texts.at(at)); break;
    case kDimension: Tag("CDataSunpou"); Body(l.Dimensions.at(at)); break;
    case kSolid: Tag("CDataSolid"); Body(l.Solids.at(at)); break;
    case kBlock: Tag("CDataBlock"); Body(l.Blocks.at(at)); break;
    default: throw std::logic_error("empty entry");
  }
  // clang-format on
  Object();
}

void ListEncoder::List(const TEntityList& l) {
  b_.count(static_cast<std::uint32_t>(l.EntityIndex.size()));
  for (const auto& ix : l.EntityIndex) Entity(l, ix);
}

void ListEncoder::Lists(const TEntityLists& lists) {
  List(lists);
  b_.count(static_cast<std::uint32_t>(lists.BlockDefs.size()));
  for (const auto& d : lists.BlockDefs) {
    Tag("CDataList");
    Common(d.common);
    b_.i32(d.number).i32(d.referenced).i32(d.time).jstr(d.name);
    Object();
    List(d);
  }
}

}  // namespace tessaly::test

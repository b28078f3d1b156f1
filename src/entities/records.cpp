#include "entities/records.h"

#include <cstring>

#include "archive/reader.h"
#include "archive/writer.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace {

JString ReadTextString(ArchiveReader& r, const ReadRules& rules) {
  JString s = r.string();
  if (rules.textLimit != 0 && !s.wide) CutShiftJis(s.bytes, rules.textLimit);
  return s;
}

void ReadTextFixed(ArchiveReader& r, const ReadRules& rules, TEntJwwMoji& e) {
  e.common = ReadCommon(r, rules.version);
  e.startX = r.f64();
  e.startY = r.f64();
  e.endX = r.f64();
  e.endY = r.f64();
  e.textKind = r.i32();
  e.sizeX = r.f64();
  e.sizeY = r.f64();
  e.spacing = r.f64();
  e.angle = r.f64();
}

void WriteTextFixed(ArchiveWriter& w, const WriteRules& rules, const TEntJwwMoji& e) {
  WriteCommon(w, e.common, kText, rules.version);
  w.f64(e.startX);
  w.f64(e.startY);
  w.f64(e.endX);
  w.f64(e.endY);
  w.i32(e.textKind);
  w.f64(e.sizeX);
  w.f64(e.sizeY);
  w.f64(e.spacing);
  w.f64(e.angle);
}

// Pen style and colour numbers of the SXF range that versions below 420 cannot
// hold, mapped to the nearest ordinary ones.
std::uint8_t DowngradePenStyle(std::uint8_t s) {
  static constexpr std::uint8_t kMap[] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};  // 31..45
  if (s >= 31 && s <= 45) return kMap[s - 31];
  if (s >= 46 && s <= 62) return 0;
  return s;
}

std::uint16_t DowngradePenColor(std::uint16_t c) {
  static constexpr std::uint16_t kMap[] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};  // 101..116
  if (c >= 101 && c <= 116) return kMap[c - 101];
  if (c >= 117 && c <= 356) return 0;
  return c;
}

}  // namespace

TEntJwwCommon ReadCommon(ArchiveReader& r, std::int32_t version) {
  // 15 bytes from version 351 on, 13 before (no pen width); one bounds check.
  const bool width = version >= 351;
  const std::uint8_t* b = r.bytes(width ? 15 : 13).data();
  TEntJwwCommon c;
  std::memcpy(&c.group, b, 4);
  c.penStyle = b[4];
  std::memcpy(&c.penColor, b + 5, 2);
  b += 7;
  if (width) {
    std::memcpy(&c.penWidth, b, 2);
    b += 2;
  }
  std::memcpy(&c.layer, b, 2);
  std::memcpy(&c.layerGroup, b + 2, 2);
  std::memcpy(&c.flags, b + 4, 2);
  return c;
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwSen& e) {
  e.common = ReadCommon(r, rules.version);
  e.startX = r.f64();
  e.startY = r.f64();
  e.endX = r.f64();
  e.endY = r.f64();
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwEnko& e) {
  e.common = ReadCommon(r, rules.version);
  e.centerX = r.f64();
  e.centerY = r.f64();
  e.radius = r.f64();
  e.startAngle = r.f64();
  e.arcAngle = r.f64();
  e.tiltAngle = r.f64();
  e.flatness = r.f64();
  e.fullCircle = r.i32();
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwTen& e) {
  e.common = ReadCommon(r, rules.version);
  e.x = r.f64();
  e.y = r.f64();
  e.isTemporary = r.i32();
  if (e.common.penStyle == 100) {
    e.code = r.i32();
    e.rotation = r.f64();
    e.scale = r.f64();
  }
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwMoji& e) {
  ReadTextFixed(r, rules, e);
  e.fontName = ReadTextString(r, rules);
  e.text = ReadTextString(r, rules);
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwSunpo& e) {
  e.common = ReadCommon(r, rules.version);
  ReadBody(r, rules, e.line);
  ReadTextFixed(r, rules, e.text);
  e.text.fontName = ReadTextString(r, rules);
  e.text.text = ReadTextString(r, rules);
  if (rules.version >= 420) {
    e.sxfMode = r.u16();
    ReadBody(r, rules, e.auxLine1);
    ReadBody(r, rules, e.auxLine2);
    ReadBody(r, rules, e.point1);
    ReadBody(r, rules, e.point2);
    ReadBody(r, rules, e.point3);
    ReadBody(r, rules, e.point4);
  } else {
    // Older files have no SXF part: its lines and points take the dimension's
    // own common part and zeros.
    e.sxfMode = 0;
    e.auxLine1 = TEntJwwSen{e.common};
    e.auxLine2 = TEntJwwSen{e.common};
    for (TEntJwwTen* p : {&e.point1, &e.point2, &e.point3, &e.point4}) {
      *p = TEntJwwTen{};
      p->common = e.common;
      p->common.penStyle = 0;
    }
  }
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwSolid& e) {
  e.common = ReadCommon(r, rules.version);
  for (double& d : e.corners) d = r.f64();
  e.color = e.common.penColor == 10 ? r.i32() : 0;
}

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwBlock& e) {
  e.common = ReadCommon(r, rules.version);
  e.x = r.f64();
  e.y = r.f64();
  e.scaleX = r.f64();
  e.scaleY = r.f64();
  e.rotation = r.f64();
  e.blockNumber = r.i32();
}

TEntJwwCommon NormaliseCommon(const TEntJwwCommon& in, std::int32_t kind, std::int32_t version) {
  TEntJwwCommon c = in;
  if (version < 420) {
    if (kind == kLine || kind == kArc) c.penStyle = DowngradePenStyle(c.penStyle);
    if (kind >= kLine && kind <= kSolid) c.penColor = DowngradePenColor(c.penColor);
  }
  const unsigned s = c.penStyle;
  switch (kind) {
    case kLine:
    case kArc:
      if (!((s >= 1 && s <= 9) || (s >= 11 && s <= 19) || (s >= 31 && s <= 62))) c.penStyle = 0;
      break;
    case kPoint:
      if (s != 1 && s != 100) c.penStyle = 1;
      break;
    case kText:
      if (!(s >= 1 && s <= 9)) c.penStyle = 1;
      break;
    default:
      break;
  }
  const unsigned p = c.penColor;
  if (kind >= kLine && kind <= kDimension) {
    if (!((p >= 1 && p <= 9) || (p >= 101 && p <= 356))) c.penColor = 0;
  } else if (kind == kSolid) {
    if (!((p >= 1 && p <= 10) || (p >= 101 && p <= 356))) c.penColor = 0;
  }
  if (c.layer > 15) c.layer = 0;
  if (c.layerGroup > 15) c.layerGroup = 0;
  if (c.penWidth > 30000) c.penWidth = 0;
  return c;
}

void WriteCommon(ArchiveWriter& w, const TEntJwwCommon& in, std::int32_t kind, std::int32_t version) {
  const TEntJwwCommon c = NormaliseCommon(in, kind, version);
  std::uint8_t b[15];
  std::memcpy(b, &c.group, 4);
  b[4] = c.penStyle;
  std::memcpy(b + 5, &c.penColor, 2);
  std::size_t n = 7;
  if (version >= 351) {
    std::memcpy(b + n, &c.penWidth, 2);
    n += 2;
  }
  std::memcpy(b + n, &c.layer, 2);
  std::memcpy(b + n + 2, &c.layerGroup, 2);
  std::memcpy(b + n + 4, &c.flags, 2);
  w.bytes(b, n + 6);
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwSen& e) {
  WriteCommon(w, e.common, kLine, rules.version);
  w.f64(e.startX);
  w.f64(e.startY);
  w.f64(e.endX);
  w.f64(e.endY);
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwEnko& e) {
  WriteCommon(w, e.common, kArc, rules.version);
  w.f64(e.centerX);
  w.f64(e.centerY);
  w.f64(e.radius);
  w.f64(e.startAngle);
  w.f64(e.arcAngle);
  w.f64(e.tiltAngle);
  w.f64(e.flatness);
  w.i32(e.fullCircle);
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwTen& e) {
  WriteCommon(w, e.common, kPoint, rules.version);
  w.f64(e.x);
  w.f64(e.y);
  w.i32(e.isTemporary);
  if (e.common.penStyle == 100) {
    w.i32(e.code);
    w.f64(e.rotation);
    w.f64(e.scale);
  }
}

// The text of a text entity: cleaned, and for figures without the "%temp%" of a
// leading "^@BM%temp%".
static void WriteEntityText(ArchiveWriter& w, const JString& text, const WriteRules& rules) {
  if (!rules.rewriteTempImageRefs) {
    w.cleanString(text);
  } else {
    w.string(TextAsWritten(text, rules));
  }
}

JString TextAsWritten(const JString& text, const WriteRules& rules) {
  JString s = SanitizeForWrite(text);
  if (rules.rewriteTempImageRefs) {
    static constexpr std::string_view kTemp = "^@BM%temp%";
    JString prefix = JString::Ascii(kTemp, s.wide);
    if (s.bytes.compare(0, prefix.bytes.size(), prefix.bytes) == 0) {
      // "%temp%" is dropped: 6 units.
      s.bytes.erase(prefix.bytes.size() - (s.wide ? 12 : 6), s.wide ? 12 : 6);
    }
  }
  return s;
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwMoji& e) {
  WriteTextFixed(w, rules, e);
  w.cleanString(e.fontName);
  WriteEntityText(w, e.text, rules);
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwSunpo& e) {
  WriteCommon(w, e.common, kDimension, rules.version);
  WriteBody(w, rules, e.line);
  WriteTextFixed(w, rules, e.text);
  // A dimension's own text is never rewritten, only cleaned.
  w.cleanString(e.text.fontName);
  w.cleanString(e.text.text);
  if (rules.version >= 420) {
    w.u16(e.sxfMode);
    WriteBody(w, rules, e.auxLine1);
    WriteBody(w, rules, e.auxLine2);
    WriteBody(w, rules, e.point1);
    WriteBody(w, rules, e.point2);
    WriteBody(w, rules, e.point3);
    WriteBody(w, rules, e.point4);
  }
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwSolid& e) {
  WriteCommon(w, e.common, kSolid, rules.version);
  for (double d : e.corners) w.f64(d);
  if (e.common.penColor == 10) w.i32(e.color);
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwBlock& e, std::int32_t number) {
  WriteCommon(w, e.common, kBlock, rules.version);
  w.f64(e.x);
  w.f64(e.y);
  w.f64(e.scaleX);
  w.f64(e.scaleY);
  w.f64(e.rotation);
  w.i32(number);
}

}  // namespace tessaly

#include "entities/records.h"

#include <algorithm>
#include <cstring>

#include "archive/reader.h"
#include "archive/writer.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace {

void ReadTextString(ArchiveReader& r, const ReadRules& rules, JString& s) {
  r.string(s);
  if (rules.textLimit != 0 && !s.wide) CutShiftJis(s.bytes, rules.textLimit);
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

// True when a text begins with "^@BM%temp%", in its own form.
bool StartsWithTempMarker(const JString& text) {
  static const JString kNarrow = JString::Ascii("^@BM%temp%", false);
  static const JString kWide = JString::Ascii("^@BM%temp%", true);
  const std::string& marker = (text.wide ? kWide : kNarrow).bytes;
  return text.bytes.compare(0, marker.size(), marker) == 0;
}

// The text of a text entity: cleaned, and for figures without the "%temp%" of a
// leading "^@BM%temp%".
void WriteEntityText(ArchiveWriter& w, const JString& text, const WriteRules& rules) {
  // A clean text without the marker is written as it is, without a copy.
  if (!rules.rewriteTempImageRefs || (IsCleanForWrite(text) && !StartsWithTempMarker(text))) {
    w.cleanString(text);
  } else {
    w.string(TextAsWritten(text, rules));
  }
}

// The common part from its bytes: 15 from version 351 on, 13 before (no pen
// width).
[[gnu::always_inline]] inline TEntJwwCommon DecodeCommon(const std::uint8_t* b, bool width) {
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

// One bounds check for the whole common part.
[[gnu::always_inline]] inline TEntJwwCommon ReadCommonHere(ArchiveReader& r, std::int32_t version) {
  const bool width = version >= 351;
  const ArchiveReader::View b = r.bytes(width ? 15 : 13);
  return DecodeCommon(b.data(), width);
}

}  // namespace

TEntJwwCommon ReadCommon(ArchiveReader& r, std::int32_t version) { return ReadCommonHere(r, version); }

namespace {

// Inlined where the kind is known, which leaves one branch of the switch.
[[gnu::always_inline]] inline TEntJwwCommon Normalised(const TEntJwwCommon& in, std::int32_t kind,
                                                       std::int32_t version) {
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

}  // namespace

TEntJwwCommon NormaliseCommon(const TEntJwwCommon& c, std::int32_t kind, std::int32_t version) {
  return Normalised(c, kind, version);
}

namespace {

// The common part's bytes at p, in the form of a version with (351 on) or
// without the pen width; answers the end.
std::uint8_t* EncodeCommon(std::uint8_t* p, const TEntJwwCommon& c, bool width) {
  std::memcpy(p, &c.group, 4);
  p[4] = c.penStyle;
  std::memcpy(p + 5, &c.penColor, 2);
  p += 7;
  if (width) {
    std::memcpy(p, &c.penWidth, 2);
    p += 2;
  }
  std::memcpy(p, &c.layer, 2);
  std::memcpy(p + 2, &c.layerGroup, 2);
  std::memcpy(p + 4, &c.flags, 2);
  return p + 6;
}

}  // namespace

void WriteCommon(ArchiveWriter& w, const TEntJwwCommon& in, std::int32_t kind, std::int32_t version) {
  w.Commit(EncodeCommon(w.Room(15), NormaliseCommon(in, kind, version), version >= 351));
}

namespace {

// The body layouts are walked by one function per record for both directions,
// as the header is, so that the reader and the writer cannot disagree on a
// field or its condition. A condition on a value (a point's pen style 100, a
// solid's colour 10) looks at the value read so far, or at the record's own
// value when writing.
struct Reading {
  // The fixed fields are taken from a run of bytes that the reader has checked
  // once: a check per field was a tenth of a load's instructions. A field
  // beyond the run (the file ends there) goes through the reader's own checks,
  // so that a truncated file fails at the same field, with the same message.
  static constexpr std::size_t kRun = 512;  // more than any record's fields between strings

  Reading(ArchiveReader& reader, const ReadRules& readRules) : r(reader), rules(readRules) { Open(); }
  ~Reading() { Close(); }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  ArchiveReader& r;
  const ReadRules& rules;

  static constexpr bool kReading = true;
  std::int32_t version() const { return rules.version; }
  void common(TEntJwwCommon& c, std::int32_t) {
    const bool width = rules.version >= 351;
    const std::size_t n = width ? 15 : 13;
    if (left_ < n) {
      Close();
      c = ReadCommonHere(r, rules.version);
      return;
    }
    c = DecodeCommon(p_, width);
    p_ += n;
    left_ -= n;
  }
  void f64(double& v) { v = Take<double>(); }
  void i32(std::int32_t& v) { v = Take<std::int32_t>(); }
  void u16(std::uint16_t& v) { v = Take<std::uint16_t>(); }
  // A font name or a dimension's value: cut to the format's limit on reading.
  void str(JString& s) {
    Close();
    ReadTextString(r, rules, s);
    Open();
  }
  // A text entity's text: the same on reading.
  void entityText(JString& s) { str(s); }
  void blockNumber(std::int32_t& n) { n = Take<std::int32_t>(); }

 private:
  void Open() {
    left_ = std::min(kRun, r.remaining());
    run_ = r.Look(left_);
    start_ = p_ = run_.data();
  }
  // Hands what was taken back to the reader; the run ends, and with it the
  // view that held the window in place.
  void Close() {
    r.Consume(static_cast<std::size_t>(p_ - start_));
    run_.Release();
    start_ = p_;
    left_ = 0;
  }
  template <typename T>
  T Take() {
    T v;
    if (left_ >= sizeof(T)) [[likely]] {
      std::memcpy(&v, p_, sizeof(T));  // the archive is little-endian, as is the host
      p_ += sizeof(T);
      left_ -= sizeof(T);
      return v;
    }
    Close();
    if constexpr (sizeof(T) == 8) {
      v = r.f64();
    } else if constexpr (sizeof(T) == 4) {
      v = r.i32();
    } else {
      v = r.u16();
    }
    return v;
  }

  ArchiveReader::View run_;
  const std::uint8_t* start_ = nullptr;
  const std::uint8_t* p_ = nullptr;
  std::size_t left_ = 0;
};

struct Writing {
  // The fixed fields go to the writer's buffer through a pointer of this walk's
  // own (see ArchiveWriter::Room): writing the large generated drawing to memory
  // took 48 ms instead of 56.
  static constexpr std::ptrdiff_t kRun = 512;

  Writing(ArchiveWriter& writer, const WriteRules& writeRules, std::int32_t n = 0)
      : w(writer), rules(writeRules), number(n) {}
  ~Writing() { Close(); }
  Writing(const Writing&) = delete;
  Writing& operator=(const Writing&) = delete;

  ArchiveWriter& w;
  const WriteRules& rules;
  std::int32_t number;  // a block insertion's number as written

  static constexpr bool kReading = false;
  std::int32_t version() const { return rules.version; }
  void common(const TEntJwwCommon& c, std::int32_t kind) {
    Need(15);
    p_ = EncodeCommon(p_, Normalised(c, kind, rules.version), rules.version >= 351);
  }
  void f64(const double& v) { Put(v); }
  void i32(const std::int32_t& v) { Put(v); }
  void u16(const std::uint16_t& v) { Put(v); }
  void str(const JString& s) {
    Close();
    w.cleanString(s);
  }
  void entityText(const JString& s) {
    Close();
    WriteEntityText(w, s, rules);
  }
  void blockNumber(const std::int32_t&) { Put(number); }

 private:
  // Room for n more bytes of the run, a new run when there is none.
  void Need(std::ptrdiff_t n) {
    if (end_ - p_ < n) [[unlikely]] {
      Close();
      p_ = w.Room(kRun);
      end_ = p_ + kRun;
    }
  }
  template <typename T>
  void Put(const T& v) {
    Need(sizeof(T));
    std::memcpy(p_, &v, sizeof(T));  // little-endian, as the archive
    p_ += sizeof(T);
  }
  // Keeps what the run wrote; the next field starts a new run.
  void Close() {
    if (p_) w.Commit(p_);
    p_ = end_ = nullptr;
  }

  std::uint8_t* p_ = nullptr;
  std::uint8_t* end_ = nullptr;
};

template <typename A, typename E>  // E: TEntJwwSen, const or not
void LineFields(A& a, E& e) {
  a.common(e.common, kLine);
  a.f64(e.startX), a.f64(e.startY), a.f64(e.endX), a.f64(e.endY);
}

template <typename A, typename E>
void ArcFields(A& a, E& e) {
  a.common(e.common, kArc);
  a.f64(e.centerX), a.f64(e.centerY), a.f64(e.radius);
  a.f64(e.startAngle), a.f64(e.arcAngle), a.f64(e.tiltAngle), a.f64(e.flatness);
  a.i32(e.fullCircle);
}

template <typename A, typename E>
void PointFields(A& a, E& e) {
  a.common(e.common, kPoint);
  a.f64(e.x), a.f64(e.y), a.i32(e.isTemporary);
  if (e.common.penStyle == 100) a.i32(e.code), a.f64(e.rotation), a.f64(e.scale);
}

// The part a text entity shares with a dimension's text: all but the strings.
template <typename A, typename E>
void TextPlacementFields(A& a, E& e) {
  a.common(e.common, kText);
  a.f64(e.startX), a.f64(e.startY), a.f64(e.endX), a.f64(e.endY);
  a.i32(e.textKind);
  a.f64(e.sizeX), a.f64(e.sizeY), a.f64(e.spacing), a.f64(e.angle);
}

template <typename A, typename E>
void TextFields(A& a, E& e) {
  TextPlacementFields(a, e);
  a.str(e.fontName);
  a.entityText(e.text);
}

template <typename A, typename E>
void DimensionFields(A& a, E& e) {
  a.common(e.common, kDimension);
  LineFields(a, e.line);
  TextPlacementFields(a, e.text);
  // A dimension's own text is never rewritten, only cleaned.
  a.str(e.text.fontName);
  a.str(e.text.text);
  if (a.version() >= 420) {
    a.u16(e.sxfMode);
    LineFields(a, e.auxLine1);
    LineFields(a, e.auxLine2);
    PointFields(a, e.point1);
    PointFields(a, e.point2);
    PointFields(a, e.point3);
    PointFields(a, e.point4);
  } else if constexpr (A::kReading) {
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

template <typename A, typename E>
void SolidFields(A& a, E& e) {
  a.common(e.common, kSolid);
  for (auto& d : e.corners) a.f64(d);
  if (e.common.penColor == 10) a.i32(e.color);
}

template <typename A, typename E>
void BlockFields(A& a, E& e) {
  a.common(e.common, kBlock);
  a.f64(e.x), a.f64(e.y), a.f64(e.scaleX), a.f64(e.scaleY), a.f64(e.rotation);
  a.blockNumber(e.blockNumber);
}

}  // namespace

#define TESSALY_BODY(Record, Fields)                                            \
  void ReadBody(ArchiveReader& r, const ReadRules& rules, Record& e) {          \
    Reading a(r, rules);                                                        \
    Fields(a, e);                                                               \
  }                                                                             \
  void WriteBody(ArchiveWriter& w, const WriteRules& rules, const Record& e) {  \
    Writing a(w, rules);                                                        \
    Fields(a, e);                                                               \
  }
TESSALY_BODY(TEntJwwSen, LineFields)
TESSALY_BODY(TEntJwwEnko, ArcFields)
TESSALY_BODY(TEntJwwTen, PointFields)
TESSALY_BODY(TEntJwwMoji, TextFields)
TESSALY_BODY(TEntJwwSunpo, DimensionFields)
TESSALY_BODY(TEntJwwSolid, SolidFields)
#undef TESSALY_BODY

void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwBlock& e) {
  Reading a(r, rules);
  BlockFields(a, e);
}

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwBlock& e, std::int32_t number) {
  Writing a(w, rules, number);
  BlockFields(a, e);
}

JString TextAsWritten(const JString& text, const WriteRules& rules) {
  JString s = SanitizeForWrite(text);
  if (rules.rewriteTempImageRefs && StartsWithTempMarker(s)) {
    // "%temp%" is dropped: 6 units.
    s.bytes.erase(s.wide ? 8 : 4, s.wide ? 12 : 6);
  }
  return s;
}

}  // namespace tessaly

#include "jww/header.h"

#include <string>

#include "archive/reader.h"
#include "archive/writer.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace {

// The header layout is walked by one function for both directions, so that the
// reader and the writer cannot disagree on a field or its version condition. The
// writer walks a normalised copy of the values.
struct Reading {
  ArchiveReader& r;
  void i32(std::int32_t& v) { v = r.i32(); }
  void f64(double& v) { v = r.f64(); }
  void str(JString& s) { r.string(s); }
  void raw(JString& s) { r.rawString(s); }
  void reserved(std::size_t n) { r.skip(n); }
};

struct Writing {
  ArchiveWriter& w;
  void i32(const std::int32_t& v) { w.i32(v); }
  void f64(const double& v) { w.f64(v); }
  void str(const JString& s) { w.string(s); }
  void raw(const JString& s) { w.string(s); }
  void reserved(std::size_t n) { w.zeros(n); }
};

template <typename A, typename H>
void Fields(A& a, H& d, std::int32_t v, std::int32_t& printSkip) {
  auto& h = d.Header;
  if (v < 220) return;
  a.raw(h.memo);                                                   //  3
  a.i32(h.paperSize);                                              //  4
  a.i32(h.writeLayerGroup);                                        //  5
  for (int g = 0; g < 16; ++g) {                                   //  6
    auto& lg = d.LayerGroups[g];
    a.i32(lg.state), a.i32(lg.writeLayer), a.f64(lg.scale), a.i32(lg.protect);
    for (int l = 0; l < 16; ++l) a.i32(d.Layers[g * 16 + l].state), a.i32(d.Layers[g * 16 + l].protect);
  }
  a.reserved(56);                                                  //  7
  for (auto& x : h.dimensionSettings) a.i32(x);                    //  8
  a.reserved(4);                                                   //  9
  a.i32(h.maxLineWidth);                                           // 10
  a.f64(h.printOriginX), a.f64(h.printOriginY);                    // 11
  a.f64(h.printScale);                                             // 12
  a.i32(h.printRotation);                                          // 13
  a.i32(h.gridMode);                                               // 14
  a.f64(h.gridMinDisplay);                                         // 15
  a.f64(h.gridSpacingX), a.f64(h.gridSpacingY);                    // 16
  a.f64(h.gridOriginX), a.f64(h.gridOriginY);                      // 17
  for (auto& l : d.Layers) a.str(l.name);                          // 18
  for (auto& g : d.LayerGroups) a.str(g.name);                     // 19
  a.f64(h.shadowHeight), a.f64(h.latitude);                        // 20
  a.i32(h.shadow9to15), a.f64(h.wallHeight);
  if (v >= 300) a.f64(h.skyHeight), a.f64(h.skyRadius);            // 21
  a.i32(h.unit25D);                                                // 22
  a.f64(h.viewScale);                                              // 23
  a.f64(h.viewOriginX), a.f64(h.viewOriginY);                      // 24
  a.f64(h.rangeScale);                                             // 25
  a.f64(h.rangeOriginX), a.f64(h.rangeOriginY);                    // 26
  if (v > 230) {                                                   // 27
    for (auto& m : h.markJumps) a.f64(m.scale), a.f64(m.x), a.f64(m.y), a.i32(m.layerGroup);
  } else {
    for (int i = 0; i < 4; ++i) a.f64(h.markJumps[i].scale), a.f64(h.markJumps[i].x), a.f64(h.markJumps[i].y);
  }
  for (auto& x : h.parallelDistances) a.f64(x);                    // 28
  a.f64(h.bothSidesOffset);                                        // 29
  for (auto& p : d.Pens) a.i32(p.color), a.i32(p.width);          // 30
  for (auto& p : d.Pens) a.i32(p.printColor), a.i32(p.printWidth), a.f64(p.printPointRadius);  // 31
  for (auto& t : d.LineTypes) for (auto& x : t) a.i32(x);          // 32
  for (auto& t : d.RandomLines) for (auto& x : t) a.i32(x);        // 33
  for (auto& t : d.LongLineTypes) for (auto& x : t) a.i32(x);      // 34
  for (auto& x : h.drawFlags) a.i32(x);                            // 35
  a.i32(printSkip);                                                // 36
  if (v >= 223) {
    a.i32(h.drawingTime);                                          // 37
    for (auto& x : h.eyeInts) a.i32(x);                            // 38
    for (auto& x : h.eyeDoubles) a.f64(x);
  }
  if (v >= 225) for (auto& x : h.lastSizes) a.f64(x);              // 39
  if (v >= 230) a.i32(h.solidAnyColor), a.i32(h.solidColor);       // 40
  if (v >= 420) {
    for (auto& c : d.ColorsEx) a.i32(c.color), a.i32(c.width);    // 41
    for (auto& c : d.ColorsEx) a.str(c.name), a.i32(c.printColor), a.i32(c.printWidth), a.f64(c.printPointRadius);
    for (auto& t : d.LineTypesEx) a.i32(t.pattern), a.i32(t.unitDots), a.i32(t.pitch), a.i32(t.printPitch);  // 42
    for (auto& t : d.LineTypesEx) {
      a.str(t.name), a.i32(t.segmentCount);
      for (auto& x : t.segments) a.f64(x);
    }
  }
  for (auto& k : d.TextKinds) a.f64(k.width), a.f64(k.height), a.f64(k.spacing), a.i32(k.color);  // 43
  a.f64(h.textWidth), a.f64(h.textHeight), a.f64(h.textSpacing);  // 44
  a.i32(h.textColor), a.i32(h.textKind);
  a.f64(h.textLineSpacing), a.f64(h.textLineCount);
  a.i32(h.textAlignOffsets);
  for (auto& x : h.textOffsetX) a.f64(x);
  for (auto& x : h.textOffsetY) a.f64(x);
}

template <typename T>
T Clamp(T v, T lo, T hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

JString Numbered(std::string_view prefix, int n, bool wide) {
  return JString::Ascii(std::string(prefix) + std::to_string(n), wide);
}

}  // namespace

bool IsSupportedJwwVersion(std::int32_t v) { return v == 220 || v == 223 || v == 225 || v >= 230; }

void ReadHeader(ArchiveReader& r, TJwwHeaderData& d) {
  auto sig = r.bytes(8);
  d.Header.signature.assign(reinterpret_cast<const char*>(sig.data()), sig.size());
  d.Header.version = r.i32();
  const std::int32_t v = d.Header.version;
  if (v < 220) {
    throw FormatError(FormatError::Kind::kTooOld, 8,
                      Message("unsupported version {version}: older than 220, the oldest drawing version")
                          .Set("version", static_cast<long long>(v)));
  }
  if (!IsSupportedJwwVersion(v)) {
    // The block of fields 35 to 40 has no defined size for these versions.
    throw FormatError(FormatError::Kind::kNoLayout, 8,
                      Message("unsupported version {version}: its header has no defined layout")
                          .Set("version", static_cast<long long>(v)));
  }
  Reading a{r};
  std::int32_t printSkip = 0;
  Fields(a, d, v, printSkip);
  d.Header.printSkipTens = printSkip / 10;
  d.Header.printSkipUnits = printSkip % 10;
}

TJwwHeaderData NormaliseHeader(const TJwwHeaderData& in, std::int32_t v) {
  TJwwHeaderData d = in;
  d.Header.signature = "JwwData.";
  d.Header.version = v;
  for (auto& l : d.Layers) SanitizeForWriteInPlace(l.name);
  for (auto& g : d.LayerGroups) SanitizeForWriteInPlace(g.name);
  if (v <= 420 && d.Header.maxLineWidth < -101) d.Header.maxLineWidth = -101;
  for (int n = 0; n < 10; ++n) {
    auto& p = d.Pens[n];
    if (p.color < 0 || p.color > 0xFFFFFF) p.color = 0;
    p.width = Clamp(p.width, 1, 16);
    if (p.printColor < 0 || p.printColor > 0xFFFFFF) p.printColor = 0;
    if (n == 0) p.printColor = 0xFFFFFF;
    p.printWidth = Clamp(p.printWidth, 1, 500);
    if (p.printPointRadius < 0.1) p.printPointRadius = 0.1;
    if (p.printPointRadius > 10) p.printPointRadius = 10;
  }
  for (int n = 0; n <= 256; ++n) {
    auto& c = d.ColorsEx[n];
    // The blank test looks at the name as stored, before cleaning.
    if (IsBlank(c.name)) {
      c.name = Numbered("Color_", n, c.name.wide);
    } else {
      SanitizeForWriteInPlace(c.name);
    }
    if (n > 16) c.printColor = c.color;
  }
  for (int n = 0; n <= 32; ++n) {
    auto& t = d.LineTypesEx[n];
    if (t.pattern == 0) t.pattern = -1;
    const bool invalid = n > 16 && t.segmentCount != 2 && t.segmentCount != 4 && t.segmentCount != 6 &&
                         t.segmentCount != 8;
    if (invalid) {
      t.pattern = static_cast<std::int32_t>(0xC3C3C3C3u);
      t.unitDots = 8;
      t.pitch = 1;
      t.printPitch = 8;
      t.segmentCount = 2;
      t.segments = {1.0, 1.0, 0, 0, 0, 0, 0, 0, 0, 0};
    }
    if (invalid || IsBlank(t.name)) {
      t.name = Numbered("LType_", n, t.name.wide);
    } else {
      SanitizeForWriteInPlace(t.name);
    }
  }
  return d;
}

void WriteHeader(ArchiveWriter& w, const TJwwHeaderData& in, std::int32_t v) {
  const TJwwHeaderData d = NormaliseHeader(in, v);
  w.bytes("JwwData.", 8);
  w.i32(v);
  const auto& h = d.Header;
  std::int32_t printSkip = h.printSkipUnits;
  if (v >= 600) printSkip = h.printSkipUnits + 10 * (h.printSkipTens > 0 ? h.printSkipTens : 1);
  Writing a{w};
  Fields(a, d, v, printSkip);
}

}  // namespace tessaly

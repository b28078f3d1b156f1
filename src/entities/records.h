// Entity records shared by drawings (.jww) and figures (.jws), and the layouts of
// their bodies in the archive.
//
// Every body begins with the common part. From version 351 on it is 15 bytes and
// holds the pen width; up to 350 it is 13 bytes and the pen width reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "text/jstring.h"

namespace tessaly {

class ArchiveReader;
class ArchiveWriter;
class FillHint;

enum EntityKind : std::int32_t {
  kEmpty = 0,
  kLine = 1,
  kArc = 2,
  kPoint = 3,
  kText = 4,
  kDimension = 5,
  kSolid = 6,
  kBlock = 7,
  kBlockDefKind = 8,  // the common part of a block definition, for WriteCommon
  // An index entry the dissolve makes: one part of a dimension record, written as
  // an entity of the part's own kind (see DimensionPart).
  kDimensionPart = 9,
};

// The parts of a dimension that a dissolve lists as entities of their own, in
// the order it lists them.
enum DimensionPart : std::int32_t {
  kPartLine = 0,
  kPartText = 1,
  kPartAuxLine1 = 2,
  kPartAuxLine2 = 3,
  kPartPoint1 = 4,
  kPartPoint2 = 5,
  kPartPoint3 = 6,
  kPartPoint4 = 7,
};

// The smallest common part, and the common part of a version.
constexpr std::size_t kMinCommonSize = 13;
constexpr std::size_t CommonSize(std::int32_t version) { return version >= 351 ? 15 : 13; }

// The attributes every entity and block definition begins with: group, pen
// style, colour and width, layer, layer group, flags.
struct TEntJwwCommon {
  std::int32_t group = 0;
  std::uint8_t penStyle = 0;
  std::uint16_t penColor = 0;
  std::uint16_t penWidth = 0;
  std::uint16_t layer = 0;
  std::uint16_t layerGroup = 0;
  std::uint16_t flags = 0;
};

// A line (Sen): two end points. kBodySize: its bytes after the common part.
struct TEntJwwSen {
  static constexpr EntityKind kKind = kLine;
  static constexpr std::size_t kBodySize = 32;
  TEntJwwCommon common;
  double startX = 0, startY = 0, endX = 0, endY = 0;
};

// An arc or a circle (Enko): centre, radius, angles, flatness.
struct TEntJwwEnko {
  static constexpr EntityKind kKind = kArc;
  static constexpr std::size_t kBodySize = 60;
  TEntJwwCommon common;
  double centerX = 0, centerY = 0, radius = 0, startAngle = 0, arcAngle = 0, tiltAngle = 0,
         flatness = 0;
  std::int32_t fullCircle = 0;
};

// A point (Ten), ordinary or temporary; with pen style 100 an arrow-like mark.
struct TEntJwwTen {
  static constexpr EntityKind kKind = kPoint;
  static constexpr std::size_t kBodySize = 20;  // more with pen style 100
  TEntJwwCommon common;
  double x = 0, y = 0;
  std::int32_t isTemporary = 0;
  // Present in the file only when common.penStyle is 100.
  std::int32_t code = 0;
  double rotation = 0, scale = 0;
};

// A text (Moji): placement, size, font name and the text itself.
struct TEntJwwMoji {
  static constexpr EntityKind kKind = kText;
  static constexpr std::size_t kBodySize = 68 + 2;  // with two empty strings
  TEntJwwCommon common;
  double startX = 0, startY = 0, endX = 0, endY = 0;
  std::int32_t textKind = 0;
  double sizeX = 0, sizeY = 0, spacing = 0, angle = 0;
  JString fontName;
  JString text;
};
// Figures keep their strings whole; drawings cut them on reading. The record is
// the same, only the reader's limit differs.
using TEntJwwMoji2 = TEntJwwMoji;

// A dimension (Sunpou): its line, its value as a text and, from version 420
// on, the SXF part: two auxiliary lines and four points.
struct TEntJwwSunpo {
  static constexpr EntityKind kKind = kDimension;
  TEntJwwCommon common;
  TEntJwwSen line;
  TEntJwwMoji text;
  std::uint16_t sxfMode = 0;  // from version 420 on
  TEntJwwSen auxLine1, auxLine2;
  TEntJwwTen point1, point2, point3, point4;
};
using TEntJwwSunpo2 = TEntJwwSunpo;

// A filled quadrilateral (Solid), with a colour of its own when its pen colour
// is 10.
struct TEntJwwSolid {
  static constexpr EntityKind kKind = kSolid;
  static constexpr std::size_t kBodySize = 64;
  TEntJwwCommon common;
  double corners[8] = {};  // four corners, each x then y
  std::int32_t color = 0;  // present in the file only when common.penColor is 10
};

// A block insertion: where a block definition is drawn, scaled and turned.
struct TEntJwwBlock {
  static constexpr EntityKind kKind = kBlock;
  static constexpr std::size_t kBodySize = 44;
  TEntJwwCommon common;
  double x = 0, y = 0, scaleX = 0, scaleY = 0, rotation = 0;
  std::int32_t blockNumber = 0;
};

// A layer group of the header: drawings store it whole, figures only its scale.
struct TEntJwwLayerGroup {
  std::int32_t state = 0, writeLayer = 0;
  double scale = 0;
  std::int32_t protect = 0;
  JString name;
};

// One entry of a list's file order: the kind and the index in its array. An
// entry of kind kDimensionPart holds the dimension's position times 8 plus the
// part, so a list can list the parts of 2^28 dimensions (far more than memory
// holds: a dimension record is over 500 bytes).
struct TEntJwwIndex {
  std::int32_t kind = kEmpty;
  std::int32_t index = 0;
  friend bool operator==(const TEntJwwIndex&, const TEntJwwIndex&) = default;
};

constexpr std::size_t kMaxPartDimensions = std::size_t{1} << 28;

constexpr TEntJwwIndex PartEntry(std::size_t dimension, DimensionPart part) {
  return {kDimensionPart,
          static_cast<std::int32_t>(dimension * 8 + static_cast<std::size_t>(part))};
}
constexpr std::size_t PartDimension(const TEntJwwIndex& e) {
  return static_cast<std::uint32_t>(e.index) >> 3;
}
constexpr DimensionPart PartOf(const TEntJwwIndex& e) {
  return static_cast<DimensionPart>(e.index & 7);
}

// How a list is read: the file's version and the few rules in which drawings and
// figures differ.
struct ReadRules {
  std::int32_t version = 0;
  // Texts and font names of drawings keep at most 255 bytes (Shift-JIS form);
  // figures keep them whole (0).
  std::size_t textLimit = 0;
  // Longest class name of a new-class record the reader takes.
  std::size_t classNameLimit = 2048;
  // Told how far the arrays of large lists are filled, so that their memory
  // can be made present ahead of the parse; none: the parse faults it in itself.
  FillHint* fill = nullptr;
};

// How a list is written.
struct WriteRules {
  std::int32_t version = 0;        // the version written
  std::int32_t sourceVersion = 0;  // the version the document was read with
  // Figures rewrite a text entity's leading "^@BM%temp%" to "^@BM".
  bool rewriteTempImageRefs = false;
};

// The smallest size in the file of a dimension of `version`.
constexpr std::size_t MinDimensionSize(std::int32_t version) {
  const std::size_t c = CommonSize(version);
  const std::size_t sxf = version >= 420 ? 2 + 2 * (c + TEntJwwSen::kBodySize) +
                                               4 * (c + TEntJwwTen::kBodySize)
                                         : 0;
  return c + (c + TEntJwwSen::kBodySize) + (c + TEntJwwMoji::kBodySize) + sxf;
}

TEntJwwCommon ReadCommon(ArchiveReader& r, std::int32_t version);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwSen& e);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwEnko& e);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwTen& e);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwMoji& e);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwSunpo& e);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwSolid& e);
void ReadBody(ArchiveReader& r, const ReadRules& rules, TEntJwwBlock& e);

// Writes the common part after the writer's normalisation for the entity kind
// and the version written; the record is not changed.
void WriteCommon(ArchiveWriter& w, const TEntJwwCommon& c, std::int32_t kind, std::int32_t version);
// The common part's values as WriteCommon writes them.
TEntJwwCommon NormaliseCommon(const TEntJwwCommon& c, std::int32_t kind, std::int32_t version);

void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwSen& e);
void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwEnko& e);
void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwTen& e);
void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwMoji& e);
void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwSunpo& e);
void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwSolid& e);
// `number` is the block number as written (the list writer maps it).
void WriteBody(ArchiveWriter& w, const WriteRules& rules, const TEntJwwBlock& e, std::int32_t number);

// The text of a text entity as written: cleaned, and for figures with a leading
// "^@BM%temp%" shortened to "^@BM".
JString TextAsWritten(const JString& text, const WriteRules& rules);

// True when a dimension is written with its SXF part turned into six ordinary
// entities (a version below 420 is written from a document read at 420 or later).
inline bool ConvertsSxf(const TEntJwwSunpo& d, const WriteRules& rules) {
  return rules.version < 420 && rules.sourceVersion >= 420 && d.sxfMode != 0;
}

}  // namespace tessaly

// The header of a drawing: the signature, the version, the memo, and the
// drawing-wide settings and tables. Nothing here is interpreted beyond the
// version; every value is kept so that it is written back in the same layout.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "entities/records.h"
#include "text/jstring.h"

namespace tessaly {

struct TEntJwwMarkJump {
  double scale = 1.0, x = 0, y = 0;
  std::int32_t layerGroup = -1;
};

struct TEntJwwHeader {
  std::string signature;  // at most 8 bytes
  std::int32_t version = 0;
  JString memo;
  std::int32_t paperSize = 0;
  std::int32_t writeLayerGroup = 0;
  std::array<std::int32_t, 5> dimensionSettings{};
  std::int32_t maxLineWidth = 0;
  double printOriginX = 0, printOriginY = 0, printScale = 1.0;
  std::int32_t printRotation = 0;
  std::int32_t gridMode = 0;
  double gridMinDisplay = 1.0, gridSpacingX = 1.0, gridSpacingY = 1.0, gridOriginX = 0, gridOriginY = 0;
  // shadow settings
  double shadowHeight = 0, latitude = 0;
  std::int32_t shadow9to15 = 0;
  double wallHeight = 0;
  // sky view settings (from 300 on)
  double skyHeight = 0, skyRadius = 0;
  std::int32_t unit25D = 0;
  double viewScale = 1.0, viewOriginX = 0, viewOriginY = 0;
  double rangeScale = 1.0, rangeOriginX = 0, rangeOriginY = 0;
  // Mark jumps 1 to 8 and two further entries of the same form. Up to version
  // 230 only the first four are stored, without their layer group.
  std::array<TEntJwwMarkJump, 10> markJumps = InitialMarkJumps();
  std::array<double, 10> parallelDistances{};
  double bothSidesOffset = 0;
  std::array<std::int32_t, 10> drawFlags{};
  // "print: skip display-only layers", held as its tens and its units.
  std::int32_t printSkipTens = 0, printSkipUnits = 0;
  std::int32_t drawingTime = 0;                 // from 223 on
  std::array<std::int32_t, 4> eyeInts{};         // from 223 on
  std::array<double, 5> eyeDoubles{};            // from 223 on
  std::array<double, 4> lastSizes{};             // from 225 on
  std::int32_t solidAnyColor = 0, solidColor = 0;  // from 230 on
  // text writing settings
  double textWidth = 0, textHeight = 0, textSpacing = 0;
  std::int32_t textColor = 0, textKind = 0;
  double textLineSpacing = 0, textLineCount = 0;
  std::int32_t textAlignOffsets = 0;
  std::array<double, 3> textOffsetX{}, textOffsetY{};

  static std::array<TEntJwwMarkJump, 10> InitialMarkJumps() {
    std::array<TEntJwwMarkJump, 10> m{};
    m[8] = m[9] = TEntJwwMarkJump{0, 0, 0, 0};
    return m;
  }
};

struct TEntJwwLayer {
  std::int32_t state = 0, protect = 0;
  JString name;
};

struct TEntJwwPen {
  std::int32_t color = 0, width = 0, printColor = 0, printWidth = 0;
  double printPointRadius = 0;
};

struct TEntJwwTextKind {
  double width = 0, height = 0, spacing = 0;
  std::int32_t color = 0;
};

struct TEntJwwColorExNo {
  std::int32_t color = 0, width = 0;
  JString name;
  std::int32_t printColor = 0, printWidth = 0;
  double printPointRadius = 0;
};

struct TEntJwwLineTypeExNo {
  std::int32_t pattern = 0, unitDots = 0, pitch = 0, printPitch = 0;
  JString name;
  std::int32_t segmentCount = 0;
  std::array<double, 10> segments{};
};

// Everything the header holds.
struct TJwwHeaderData {
  TEntJwwHeader Header;
  std::array<TEntJwwLayerGroup, 16> LayerGroups{};
  std::array<TEntJwwLayer, 256> Layers{};  // layer l of group g is entry g * 16 + l
  std::array<TEntJwwPen, 10> Pens{};
  std::array<std::array<std::int32_t, 4>, 8> LineTypes{};  // line types 2 to 9
  std::array<std::array<std::int32_t, 5>, 5> RandomLines{};
  std::array<std::array<std::int32_t, 4>, 4> LongLineTypes{};
  std::array<TEntJwwTextKind, 10> TextKinds{};
  std::array<TEntJwwColorExNo, 257> ColorsEx{};     // from 420 on
  std::array<TEntJwwLineTypeExNo, 33> LineTypesEx{};  // from 420 on
};

class ArchiveReader;
class ArchiveWriter;

// True for the versions whose header has a defined layout: 220, 223, 225 and
// every version from 230 on.
bool IsSupportedJwwVersion(std::int32_t version);

// Reads the header; the version must be supported (throws FormatError otherwise).
void ReadHeader(ArchiveReader& r, TJwwHeaderData& h);
// Writes the header in the layout of `version`, with the writer's normalisations;
// `h` is not changed.
void WriteHeader(ArchiveWriter& w, const TJwwHeaderData& h, std::int32_t version);
// The values WriteHeader writes for `version`.
TJwwHeaderData NormaliseHeader(const TJwwHeaderData& h, std::int32_t version);

}  // namespace tessaly

// Drawings built in memory with the program's own records: the bundled examples,
// the drawings of tests, and the large drawing of the benchmarks.
//
// Everything built here is already in the form the writer writes (valid pen
// styles and colours, the header's normalised tables, block definitions numbered
// as they are written), so a drawing written, read and written again gives the
// same bytes, and what is read back equals what was built. Nothing depends on the
// clock or on chance: the same call gives the same bytes every time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "jws/jws_data.h"
#include "jww/jww_data.h"

namespace tessaly::gen {

// How strings are held: Shift-JIS bytes, or (as newer versions of the CAD
// application write them) UTF-16 code units.
struct Style {
  std::int32_t version = 600;
  bool wide = false;
};

// A word of the drawings, in both forms.
struct Word {
  std::string_view sjis;
  std::string_view utf8;
};

// Japanese words used by the drawings (a few hold a trail byte 0x5C, as 表 does).
namespace words {
extern const Word kGothic;     // ＭＳ ゴシック
extern const Word kMincho;     // ＭＳ 明朝
extern const Word kFloorPlan;  // １階平面図
extern const Word kScale100;   // 縮尺 1/100
extern const Word kLiving;     // 居間
extern const Word kBedroom;    // 寝室
extern const Word kKitchen;    // 台所
extern const Word kEntrance;   // 玄関
extern const Word kBath;       // 浴室
extern const Word kJapanese;   // 和室
extern const Word kCorridor;   // 廊下
extern const Word kDoor;       // 扉
extern const Word kWindow;     // 窓
extern const Word kColumn;     // 柱
extern const Word kGridLine;   // 通り芯
extern const Word kWall;       // 壁
extern const Word kDimension;  // 寸法
extern const Word kTable;      // 表
extern const Word kImage;      // 画像
extern const Word kUnused;     // 未使用
}  // namespace words

JString Str(const Style& s, const Word& w);
// ASCII text in the drawing's string form.
JString Ascii(const Style& s, std::string_view ascii);

// The common part: the pen width exists from version 351 on, so it is 0 below.
TEntJwwCommon Pen(const Style& s, std::uint8_t penStyle, std::uint16_t penColor,
                  std::uint16_t layer = 0, std::uint16_t layerGroup = 0,
                  std::uint16_t penWidth = 0);

TEntJwwSen Line(const TEntJwwCommon& c, double x1, double y1, double x2, double y2);
// An arc of a circle or an ellipse (flatness below 1); angles in radians.
TEntJwwEnko Arc(const TEntJwwCommon& c, double cx, double cy, double radius, double start,
                double sweep, double flatness = 1.0, double tilt = 0.0);
TEntJwwEnko Circle(const TEntJwwCommon& c, double cx, double cy, double radius);
TEntJwwTen Point(const TEntJwwCommon& c, double x, double y, bool temporary = false);
// A point with pen style 100: a marker with a code, a rotation and a scale.
TEntJwwTen Marker(const Style& s, std::uint16_t penColor, double x, double y, std::int32_t code,
                  double rotation, double scale, std::uint16_t layer = 0,
                  std::uint16_t layerGroup = 0);
// A text from (x, y) along `angle` (degrees); the end point follows from the size.
TEntJwwMoji Text(const Style& s, const TEntJwwCommon& c, double x, double y, JString text,
                 double size = 3.5, double angle = 0.0, JString font = {});
// Four corners, each x then y. The colour is kept only with pen colour 10.
TEntJwwSolid Solid(const TEntJwwCommon& c, const double (&corners)[8], std::int32_t color = 0);
TEntJwwBlock Insertion(const TEntJwwCommon& c, double x, double y, std::int32_t blockNumber,
                       double scaleX = 1.0, double scaleY = 1.0, double rotation = 0.0);

// A dimension of the distance from (x1, y1) to (x2, y2), its line drawn at
// `offset` to the left of that direction, with `value` as its text. An SXF
// dimension (from version 420 on; below, `sxf` is ignored) also holds the two
// auxiliary lines from the measured points to the dimension line, the two ends
// of the dimension line as markers, and the measured points as temporary points.
// Below version 420 the SXF part holds what reading such a file gives.
TEntJwwSunpo Dimension(const Style& s, const TEntJwwCommon& c, double x1, double y1, double x2,
                       double y2, double offset, JString value, bool sxf);
// The value of a length as the CAD application writes it by default: "3,640".
std::string LengthText(double length);

// A new block definition at the end; its number is its position, as the writer
// numbers definitions that are all in use.
TEntJwwBlockDef& AddBlockDef(TEntityLists& lists, const Style& s, JString name,
                             std::int32_t time = 0);

// A clear document with a plausible header for the style's version, already in
// the form the writer writes it.
void StartDrawing(TJwwData& doc, const Style& s, JString memo);

// Numbers the block definitions as the writer will (used ones first, in order)
// and the insertions with them, and runs the post-load step, so that what is
// read back equals what was built.
void FinishDrawing(TEntityLists& doc);

// A small 24-bit BMP image, w x h pixels of a fixed pattern.
std::vector<std::uint8_t> MakeBmp(int width, int height);

// Embeds an image: hands its data to the store of the document's image list,
// lists it there, and appends the text "^@BM%temp%NAME,w,h,..." that refers to
// it. The image section exists from version 700 on; below, the text is written
// and the image is not. Throws std::runtime_error when the list has no store.
void EmbedImage(TJwwData& doc, const Style& s, TEntityList& list, JString name,
                const std::vector<std::uint8_t>& data, double x, double y, double width,
                double height);

// A drawing with every kind of record the version holds: lines, arcs, circles
// and an ellipse, points (with pen style 100), Shift-JIS texts, solids (with pen
// colour 10), ordinary dimensions and, from 420 on, SXF dimensions, nested block
// definitions with a dimension inside, and one definition that nothing inserts.
void BuildVersionSample(TJwwData& doc, const Style& s);

// A small floor plan: walls, grid lines, room names, doors as a block definition
// that holds a dimension, ordinary dimensions along the bottom and SXF
// dimensions (from 420 on) along the left side.
void BuildPlan(TJwwData& doc, const Style& s);

// A small drawing with an embedded image (from version 700 on), a frame and a
// dimension. Needs a store for the image (see EmbedImage).
void BuildImageSample(TJwwData& doc, const Style& s);

// A figure (.jws, version 230 and later): a door with its swing, a text, an
// ordinary and (from 420 on) an SXF dimension, and a block definition holding a
// dimension.
void BuildFigure(TJwsData& fig, const Style& s);

// A large drawing for the benchmarks.
struct LargeOptions {
  Style style{600, false};
  std::int64_t entities = 1'000'000;  // in the main list, dimensions included
  std::int64_t dimensions = 100'000;
  double sxfShare = 0.5;   // of the dimensions (from version 420 on)
  double textShare = 0.1;  // of the entities
  std::int32_t blockDefs = 100;
  std::int32_t entitiesPerBlockDef = 12;
  std::uint64_t seed = 1;
};
void BuildLarge(TJwwData& doc, const LargeOptions& o);
// The same entities as a figure (.jws), with the header of BuildFigure.
void BuildLargeFigure(TJwsData& fig, const LargeOptions& o);

// Writes the drawing in its own version, without the flushes of a conversion's
// save (for generated files that can be made again). Answers false with the
// reason.
bool WriteDrawing(TJwwData& doc, const std::filesystem::path& path, std::string& error);
bool WriteFigure(const TJwsData& fig, const std::filesystem::path& path, std::string& error);

}  // namespace tessaly::gen

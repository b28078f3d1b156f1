// Drawings and figures built in memory for tests: entities with distinct values
// in every field, dimensions with all their parts, block definitions and
// embedded images, added through the lists' own Add so that the arrays, the
// index and the counts stay in step as the reader leaves them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "jws/jws_data.h"
#include "jww/jww_data.h"

namespace tessaly::test::draw {

// A common part that the writer keeps as it is for every kind (pen style 1 and
// a pen colour 1 to 9, layer and layer group below 16).
TEntJwwCommon Common(std::uint16_t layer, std::uint16_t layerGroup, std::uint16_t flags = 0,
                     std::int32_t group = 0, std::uint16_t penColor = 1,
                     std::uint16_t penWidth = 0);

TEntJwwSen Line(double x1, double y1, double x2, double y2, const TEntJwwCommon& c = Common(0, 0));
TEntJwwTen Point(double x, double y, std::int32_t isTemporary = 0,
                 const TEntJwwCommon& c = Common(0, 0));
TEntJwwMoji Text(const JString& text, double x, double y, const TEntJwwCommon& c = Common(0, 0));

// A dimension whose parts differ from one another and from the dimension's own
// common part in every field (coordinates, layers, flags, pens, group), so that a
// copy from the wrong part, or a field not copied, shows. `seed` varies the
// values between dimensions. The auxiliary lines have lengths; point1 is stored
// as temporary and point2 is not.
TEntJwwSunpo Dimension(int seed, const JString& value, std::uint16_t sxfMode = 1);

// A block insertion of definition `number`.
void AddInsertion(TEntityList& list, std::int32_t number, double x, double y);
TEntJwwBlockDef& AddBlockDef(TEntityLists& doc, std::int32_t number, const std::string& name);

// Empties the document and sets the version it is written in; a figure gets
// header values of its own, so that a header written from the wrong fields shows.
void New(TJwwData& doc, std::int32_t version);
void New(TJwsData& doc, std::int32_t version);

// An image embedded in a drawing of version 700 or later: its working file, its
// entry, and a text in the main list that refers to it (so that it is written).
void EmbedImage(TJwwData& doc, const std::string& name, const std::string& bytes);

// A document of `version` with a line, an arc, a point, a text, `dimensions`
// dimensions in the main list (half of them SXF from version 420 on, the first
// one with the longest value the format keeps: 255 bytes in a drawing, 300 of a
// figure's), a solid and one block definition, used by the main list, holding a
// line and, when `dimensions` is not 0, one more dimension.
void Sample(TJwwData& doc, std::int32_t version, int dimensions);
void Sample(TJwsData& doc, std::int32_t version, int dimensions);
// That document saved as a file.
void MakeDrawing(const std::filesystem::path& path, int dimensions, std::int32_t version = 600);
void MakeFigure(const std::filesystem::path& path, int dimensions, std::int32_t version = 600);

// Copies every dimension part a dissolve listed to the end of its kind's array
// and points its entry there, as the written file gives the list back (the
// empty entries stay): the dissolve's result as arrays to look into.
void ExpandParts(TEntityList& list);
// The main list and every block definition.
void ExpandParts(TEntityLists& doc);

// Compares two snapshots of a folder (see Snapshot), naming the files that
// are missing, new or changed rather than printing their bytes.
testing::AssertionResult SameFiles(const std::vector<std::pair<std::string, std::string>>& expected,
                                   const std::vector<std::pair<std::string, std::string>>& actual);

// The number a definition or an insertion naming `number` is written under:
// that of the first definition of the number, 0 when there is none.
inline std::int32_t WrittenNumber(const TEntityLists& l, std::int32_t number) {
  const std::int32_t def = BlockNumberIndex(l.BlockDefs).Find(number);
  return def < 0 ? 0 : l.BlockDefs[static_cast<std::size_t>(def)].newNumber;
}

}  // namespace tessaly::test::draw

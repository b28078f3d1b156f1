// Drawings spelt out byte by byte, independently of the reader and the writer:
// a walker of the header layout, written from the format's layout table on its
// own, and a whole drawing with every kind of record built at any version.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "entities/entity_list.h"
#include "support/byte_builder.h"

namespace tessaly::test {

// One value of the header: field number (1-44), pass (0, or 1 for the second
// pass of the SXF tables), entry within the field's repetition, value within the
// entry, its kind ('c' signature, 'i' int32, 'd' double, 's' string) and place.
struct HeaderItem {
  int field = 0;
  int pass = 0;
  int entry = 0;
  int sub = 0;
  char kind = 'i';
  std::size_t offset = 0;
  std::size_t size = 0;
};

struct HeaderWalk {
  std::vector<HeaderItem> items;
  std::size_t end = 0;  // first byte after the header
  const HeaderItem& Find(int field, int entry = 0, int sub = 0, int pass = 0) const;
};

// Walks the header of a drawing of a version with a defined layout. Throws
// std::runtime_error when the bytes end early.
HeaderWalk WalkJwwHeader(std::string_view file);

// The payload of a string item: its bytes (UTF-16LE for the Unicode form).
struct StringPayload {
  bool wide = false;
  std::string bytes;
};
StringPayload PayloadOf(std::string_view file, const HeaderItem& item);
std::int32_t I32At(std::string_view file, std::size_t offset);
double F64At(std::string_view file, std::size_t offset);
std::string Splice(std::string_view file, const HeaderItem& item, std::string_view replacement);

// A drawing built byte by byte at `version`: every entity kind in the main list
// (texts in Shift-JIS and in UTF-16, a point with code, a solid with its own
// colour, a dimension with its SXF part from 420 on), block definitions nested
// two deep plus one that nothing inserts, and from 700 on an embedded image that
// a text refers to. `model` is what the reader must make of it (before the
// post-load step); all values are ones the writer keeps.
struct BuiltDrawing {
  Bytes bytes;
  TEntityLists model;
  std::string imageName;  // from 700 on
  std::string imageData;
};
BuiltDrawing BuildSampleDrawing(std::int32_t version, bool wideHeader = false);

// The real drawings beside the checkout: those without dimensions, then those
// the CAD application saved with dimensions (none when the corpus is absent).
const std::vector<std::filesystem::path>& RealDrawings();
// Their indices, for a parameterised test.
std::vector<int> RealDrawingIndices();
// An ASCII test name for one, from the number and version its name begins
// with: "f001_v600", or "dims001_v700" for one with dimensions.
std::string RealDrawingName(const testing::TestParamInfo<int>& info);

}  // namespace tessaly::test

// Helpers for the drawing tests: a walker of the header layout, written from the
// format's layout table on its own (not from the reader), a readable dump of the
// entity lists for model comparisons, and an encoder of records into the bytes of
// the format, independent of the writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "entities/entity_list.h"
#include "jww/jww_data.h"
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

// Every field of every record of the lists, one line per record, for EXPECT_EQ.
std::string Dump(const TEntityList& list);
std::string Dump(const TEntityLists& lists);  // main list, then each definition

// The format's bytes of records and lists, with the class tags of the archive
// (a new class the first time, then references; one counter for classes and
// objects). Values are written as they are, without any normalisation.
class ListEncoder {
 public:
  ListEncoder(Bytes& out, std::int32_t version) : b_(out), v_(version) {}

  void Tag(std::string_view className);
  void Object() { ++counter_; }
  std::uint32_t counter() const { return counter_; }

  void Body(const TEntJwwSen& e);
  void Body(const TEntJwwEnko& e);
  void Body(const TEntJwwTen& e);
  void Body(const TEntJwwMoji& e);
  void Body(const TEntJwwSunpo& e);
  void Body(const TEntJwwSolid& e);
  void Body(const TEntJwwBlock& e);
  void Common(const TEntJwwCommon& c);
  void String(const JString& s);

  // A tagged entity of the list, counted.
  void Entity(const TEntityList& list, const TEntJwwIndex& ix);
  // The count and the entities of a list.
  void List(const TEntityList& list);
  // Main list, then the definitions.
  void Lists(const TEntityLists& lists);

 private:
  Bytes& b_;
  std::int32_t v_;
  std::uint32_t counter_ = 1;
  std::vector<std::pair<std::string, std::uint32_t>> classes_;
};


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

// Shorthands for the tests.
JString Sjis(std::string_view bytes);
JString Wide(std::u16string_view units);
std::string Hex(std::string_view bytes);  // "00 FF 1A ..." for failure messages
// The first position where two byte strings differ, with some context.
std::string FirstDifference(std::string_view a, std::string_view b);

}  // namespace tessaly::test

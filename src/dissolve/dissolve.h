// The dimension dissolve: every dimension of a document becomes the ordinary
// entities it is drawn with, in the main list and in every block definition.
//
// Drawings and figures share the lists and the records, so one procedure serves
// both documents.
#pragma once

#include <cstdint>

#include "entities/entity_list.h"

namespace tessaly {

// What one dissolve did.
struct DissolveResult {
  std::int64_t dimensions = 0;  // dimension entries emptied
  std::int64_t lines = 0;       // entities added, by kind
  std::int64_t texts = 0;
  std::int64_t points = 0;

  DissolveResult& operator+=(const DissolveResult& o) {
    dimensions += o.dimensions;
    lines += o.lines;
    texts += o.texts;
    points += o.points;
    return *this;
  }
};

// Replaces every dimension of one list, in dimension-array order, by a line
// from its dimension line, a text from its value when the value has a visible
// character, and for SXF dimensions its auxiliary lines that have a length and
// the points from point1 and point2; with `drawReferencePoints` also temporary
// points at point3 and point4. The new entities take the dimension's layer and
// layer group and follow the existing index entries; every dimension entry
// becomes an empty one and the dimension count drops by one for each, while
// the dimension records stay in their array. The new entities are the parts
// themselves, stamped in their records and listed as kDimensionPart entries
// (see TEntityList), not copies.
DissolveResult DissolveList(TEntityList& list, bool drawReferencePoints);

// The main list first, then every block definition in order. Drawings and
// figures hold the same lists and records, so this is the dissolve of both.
DissolveResult DissolveDimensions(TEntityLists& doc, bool drawReferencePoints);

// True when the document still lists a dimension, in the main list or in a
// block definition.
bool HasDimensions(const TEntityLists& doc);

// The flag bits the dissolve sets on what it makes.
constexpr std::uint16_t kDissolvedLineFlags = 0x2000;
constexpr std::uint16_t kDissolvedTextFlags = 0x4010;
constexpr std::uint16_t kDissolvedPointFlags = 0x0040;

// A segment of at most this length counts as having no length.
constexpr double kMinSegmentLength = 1e-8;

// The length of a segment, worked out in extended precision and rounded to a
// double.
double SegmentLength(double x1, double y1, double x2, double y2);

}  // namespace tessaly

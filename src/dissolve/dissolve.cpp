#include "dissolve/dissolve.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "text/text_helpers.h"

namespace tessaly {
namespace {

bool HasLength(const TEntJwwSen& s) {
  return SegmentLength(s.startX, s.startY, s.endX, s.endY) > kMinSegmentLength;
}

// A part becomes an entity of the dimension's layer and layer group, with the
// flag bits of its kind added.
template <typename T>
void Stamp(T& part, const TEntJwwCommon& owner, std::uint16_t flags) {
  part.common.layer = owner.layer;
  part.common.layerGroup = owner.layerGroup;
  part.common.flags = static_cast<std::uint16_t>(part.common.flags | flags);
}

}  // namespace

double SegmentLength(double x1, double y1, double x2, double y2) {
  const long double dx = static_cast<long double>(x2) - x1;
  const long double dy = static_cast<long double>(y2) - y1;
  return static_cast<double>(std::sqrt(dx * dx + dy * dy));
}

DissolveResult DissolveList(TEntityList& list, bool drawReferencePoints) {
  DissolveResult result;
  const std::size_t count = std::min<std::size_t>(
      static_cast<std::size_t>(std::max(list.DimensionCount, 0)), list.Dimensions.size());
  // An entry holds the dimension's position times 8; no memory holds this many.
  if (count > kMaxPartDimensions) throw std::bad_alloc();

  // Each part that becomes an entity is stamped in its dimension record, which
  // no longer is an entity of its own, and listed as an entity of its own kind:
  // the records stay where they are and are written from there.
  std::vector<TEntJwwIndex>& index = list.EntityIndex;
  index.reserve(index.size() + count * (drawReferencePoints ? 8 : 6));
  const std::size_t before = index.size();
  for (std::size_t i = 0; i < count; ++i) {
    TEntJwwSunpo& d = list.Dimensions[i];
    const TEntJwwCommon& owner = d.common;
    auto emit = [&](auto& part, DimensionPart which, std::uint16_t flags) {
      Stamp(part, owner, flags);
      index.push_back(PartEntry(i, which));
    };
    emit(d.line, kPartLine, kDissolvedLineFlags);
    ++result.lines;
    if (!IsBlank(d.text.text)) {
      emit(d.text, kPartText, kDissolvedTextFlags);
      ++result.texts;
    }
    if (d.sxfMode == 0) continue;
    for (auto [aux, which] :
         {std::pair{&d.auxLine1, kPartAuxLine1}, std::pair{&d.auxLine2, kPartAuxLine2}}) {
      if (!HasLength(*aux)) continue;
      emit(*aux, which, kDissolvedLineFlags);
      ++result.lines;
    }
    emit(d.point1, kPartPoint1, kDissolvedPointFlags);
    emit(d.point2, kPartPoint2, kDissolvedPointFlags);
    result.points += 2;
    if (drawReferencePoints) {
      d.point3.isTemporary = 1;
      d.point4.isTemporary = 1;
      emit(d.point3, kPartPoint3, kDissolvedPointFlags);
      emit(d.point4, kPartPoint4, kDissolvedPointFlags);
      result.points += 2;
    }
  }
  list.PartCount += static_cast<std::int32_t>(index.size() - before);

  // The records stay; only their entries go, so that the list's length as
  // written (the sum of its counts) equals the entries written.
  for (std::size_t k = 0; k < before; ++k) {
    TEntJwwIndex& e = index[k];
    if (e.kind != kDimension) continue;
    e.kind = kEmpty;
    --list.DimensionCount;
    ++result.dimensions;
  }
  return result;
}

DissolveResult DissolveDimensions(TEntityLists& doc, bool drawReferencePoints) {
  DissolveResult result = DissolveList(doc, drawReferencePoints);
  for (auto& def : doc.BlockDefs) result += DissolveList(def, drawReferencePoints);
  return result;
}

bool HasDimensions(const TEntityLists& doc) {
  auto has = [](const TEntityList& l) {
    return std::any_of(l.EntityIndex.begin(), l.EntityIndex.end(),
                       [](const TEntJwwIndex& e) { return e.kind == kDimension; });
  };
  return has(doc) || std::any_of(doc.BlockDefs.begin(), doc.BlockDefs.end(), has);
}

}  // namespace tessaly

#include "dissolve/dissolve.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "text/text_helpers.h"

namespace tessaly {
namespace {

// Which optional parts of one dimension become entities.
enum PartBits : std::uint8_t { kTextPart = 1, kAux1Part = 2, kAux2Part = 4 };

bool HasLength(const TEntJwwSen& s) {
  return SegmentLength(s.startX, s.startY, s.endX, s.endY) > kMinSegmentLength;
}

template <typename T>
void Stamp(T& e, const TEntJwwCommon& owner, std::uint16_t flags) {
  e.common.layer = owner.layer;
  e.common.layerGroup = owner.layerGroup;
  e.common.flags = static_cast<std::uint16_t>(e.common.flags | flags);
}

template <typename T>
void Append(std::vector<T>& array, std::vector<TEntJwwIndex>& index, std::int32_t kind,
            const T& part, const TEntJwwCommon& owner, std::uint16_t flags) {
  array.push_back(part);
  Stamp(array.back(), owner, flags);
  index.push_back({kind, static_cast<std::int32_t>(array.size() - 1)});
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

  // First decide what each dimension yields, so that every array grows once to
  // its final length.
  std::vector<std::uint8_t> parts(count, 0);
  std::size_t lines = 0, texts = 0, points = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const TEntJwwSunpo& d = list.Dimensions[i];
    std::uint8_t bits = 0;
    ++lines;
    if (!IsBlank(d.text.text)) {
      bits |= kTextPart;
      ++texts;
    }
    if (d.sxfMode != 0) {
      if (HasLength(d.auxLine1)) {
        bits |= kAux1Part;
        ++lines;
      }
      if (HasLength(d.auxLine2)) {
        bits |= kAux2Part;
        ++lines;
      }
      points += drawReferencePoints ? 4 : 2;
    }
    parts[i] = bits;
  }
  list.Lines.reserve(list.Lines.size() + lines);
  list.Texts.reserve(list.Texts.size() + texts);
  list.Points.reserve(list.Points.size() + points);
  list.EntityIndex.reserve(list.EntityIndex.size() + lines + texts + points);

  for (std::size_t i = 0; i < count; ++i) {
    const TEntJwwSunpo& d = list.Dimensions[i];
    const TEntJwwCommon& owner = d.common;
    auto& index = list.EntityIndex;
    Append(list.Lines, index, kLine, d.line, owner, kDissolvedLineFlags);
    if (parts[i] & kTextPart) Append(list.Texts, index, kText, d.text, owner, kDissolvedTextFlags);
    if (d.sxfMode == 0) continue;
    if (parts[i] & kAux1Part)
      Append(list.Lines, index, kLine, d.auxLine1, owner, kDissolvedLineFlags);
    if (parts[i] & kAux2Part)
      Append(list.Lines, index, kLine, d.auxLine2, owner, kDissolvedLineFlags);
    Append(list.Points, index, kPoint, d.point1, owner, kDissolvedPointFlags);
    Append(list.Points, index, kPoint, d.point2, owner, kDissolvedPointFlags);
    if (drawReferencePoints) {
      Append(list.Points, index, kPoint, d.point3, owner, kDissolvedPointFlags);
      list.Points.back().isTemporary = 1;
      Append(list.Points, index, kPoint, d.point4, owner, kDissolvedPointFlags);
      list.Points.back().isTemporary = 1;
    }
  }
  result.lines = static_cast<std::int64_t>(lines);
  result.texts = static_cast<std::int64_t>(texts);
  result.points = static_cast<std::int64_t>(points);

  // The records stay; only their entries go, so that the list's length as
  // written (the sum of its counts) equals the entries written.
  for (auto& e : list.EntityIndex) {
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

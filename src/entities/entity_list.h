// Entity lists and block definitions, shared by drawings and figures: the arrays
// in memory, the class-tag scheme, reading and writing of both lists, and the
// post-load step that finds which block definitions are in use.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "entities/records.h"

namespace tessaly {

class ArchiveReader;
class ArchiveWriter;

// One list of entities: the file order in `EntityIndex` and one array per kind.
// Every element of every array is listed exactly once in the index, and the
// list's length as written is the sum of the seven counts and PartCount.
//
// A dissolve does not copy a dimension's parts into the arrays: it lists each
// part it keeps as an entry of kind kDimensionPart, which names the part inside
// the dimension record (the records stay in their array). Copies would add a
// third to the memory of a drawing rich in dimensions, for bytes that are
// written once.
struct TEntityList {
  std::vector<TEntJwwIndex> EntityIndex;
  std::vector<TEntJwwSen> Lines;
  std::vector<TEntJwwEnko> Arcs;
  std::vector<TEntJwwTen> Points;
  std::vector<TEntJwwMoji> Texts;
  std::vector<TEntJwwSunpo> Dimensions;
  std::vector<TEntJwwSolid> Solids;
  std::vector<TEntJwwBlock> Blocks;
  // Dimensions still listed in the index. The dissolve empties their entries and
  // lowers this count but keeps the records, so it can be below Dimensions.size().
  std::int32_t DimensionCount = 0;
  // Entries of kind kDimensionPart.
  std::int32_t PartCount = 0;

  std::int32_t EntityCount() const { return static_cast<std::int32_t>(EntityIndex.size()); }
  std::int32_t LineCount() const { return static_cast<std::int32_t>(Lines.size()); }
  std::int32_t ArcCount() const { return static_cast<std::int32_t>(Arcs.size()); }
  std::int32_t PointCount() const { return static_cast<std::int32_t>(Points.size()); }
  std::int32_t TextCount() const { return static_cast<std::int32_t>(Texts.size()); }
  std::int32_t SolidCount() const { return static_cast<std::int32_t>(Solids.size()); }
  std::int32_t BlockCount() const { return static_cast<std::int32_t>(Blocks.size()); }
  // The sum of the seven per-kind counts and PartCount: the entities written.
  std::int64_t CountSum() const;

  // Appends an entity: a record at the end of its kind's array, listed at the
  // end of the index (a dimension is counted as listed). `fill` makes the
  // record in place, so that a reader reads straight into the array; when it
  // throws, nothing is appended. Answers the record.
  template <typename Record, typename Fill>
  Record& Add(Fill&& fill) {
    auto& array = ArrayOf<Record>();
    Record& e = array.emplace_back();
    try {
      fill(e);
    } catch (...) {
      array.pop_back();  // a record that failed is not kept; the failure goes on
      throw;
    }
    EntityIndex.push_back({Record::kKind, static_cast<std::int32_t>(array.size() - 1)});
    if constexpr (Record::kKind == kDimension) ++DimensionCount;
    return e;
  }
  template <typename Record>
  Record& Add(Record e) {
    return Add<Record>([&e](Record& r) { r = std::move(e); });
  }

  // The array of a record's kind.
  template <typename Record>
  std::vector<Record>& ArrayOf() {
    if constexpr (Record::kKind == kLine) return Lines;
    else if constexpr (Record::kKind == kArc) return Arcs;
    else if constexpr (Record::kKind == kPoint) return Points;
    else if constexpr (Record::kKind == kText) return Texts;
    else if constexpr (Record::kKind == kDimension) return Dimensions;
    else if constexpr (Record::kKind == kSolid) return Solids;
    else return Blocks;
  }

  void ClearList();
};

// Calls f(kind, record) for the entity an index entry names: an element of the
// kind's array, or the part of a dimension that a dissolve listed (its kind is
// then the part's, kLine, kText or kPoint). An entry of no kind calls nothing.
// The entry must point inside its array (the writer checks every entry first).
template <typename List, typename F>
void ForEntry(List& list, const TEntJwwIndex& e, F&& f) {
  const auto i = static_cast<std::size_t>(e.index);
  // clang-format off
  switch (e.kind) {
    case kLine: f(kLine, list.Lines[i]); break;
    case kArc: f(kArc, list.Arcs[i]); break;
    case kPoint: f(kPoint, list.Points[i]); break;
    case kText: f(kText, list.Texts[i]); break;
    case kDimension: f(kDimension, list.Dimensions[i]); break;
    case kSolid: f(kSolid, list.Solids[i]); break;
    case kBlock: f(kBlock, list.Blocks[i]); break;
    case kDimensionPart: {
      auto& d = list.Dimensions[PartDimension(e)];
      switch (PartOf(e)) {
        case kPartLine: f(kLine, d.line); break;
        case kPartText: f(kText, d.text); break;
        case kPartAuxLine1: f(kLine, d.auxLine1); break;
        case kPartAuxLine2: f(kLine, d.auxLine2); break;
        case kPartPoint1: f(kPoint, d.point1); break;
        case kPartPoint2: f(kPoint, d.point2); break;
        case kPartPoint3: f(kPoint, d.point3); break;
        case kPartPoint4: f(kPoint, d.point4); break;
      }
      break;
    }
    default: break;
  }
  // clang-format on
}

// A block definition (file class "CDataList") with its own entity list.
struct TEntJwwBlockDef : TEntityList {
  TEntJwwCommon common;
  std::int32_t number = 0;
  std::int32_t referenced = 0;
  std::int32_t time = 0;
  JString name;
  bool used = false;           // reached by an insertion of the main list
  std::int32_t newNumber = -1;  // the number it is written under
};
using TEntJwwBlockDef2 = TEntJwwBlockDef;

// One insertion reached from the main list, with its place in the nesting: the
// main list's insertions at depth 0, then the insertions inside the definitions
// they reach. Its name is that of its definition (BlockTreeName).
struct TEntJwwBlockTree {
  TEntJwwCommon common;
  std::int32_t depth = 0;
  std::int32_t parent = -1;
  std::int32_t blockNumber = 0;
  std::int32_t defIndex = -1;  // the first definition of that number, or -1
};

// The first block definition of each number, found by binary search: a file
// cannot make the look-up slow by choosing its numbers.
class BlockNumberIndex {
 public:
  explicit BlockNumberIndex(const std::vector<TEntJwwBlockDef>& defs);
  // The index of the first definition with that number, or -1.
  std::int32_t Find(std::int32_t number) const;

 private:
  std::vector<std::pair<std::int32_t, std::int32_t>> byNumber_;  // number, definition
};

// The main list, the definitions and what the post-load step derives from them.
struct TEntityLists : TEntityList {
  std::vector<TEntJwwBlockDef> BlockDefs;
  std::vector<TEntJwwBlockTree> BlockTree;
  std::int32_t UsedBlockDefCount = 0;

  std::int32_t BlockDefCount() const { return static_cast<std::int32_t>(BlockDefs.size()); }
  std::int32_t BlockTreeCount() const { return static_cast<std::int32_t>(BlockTree.size()); }

  // Reads the main list and then the definitions. Throws FormatError.
  void ReadLists(ArchiveReader& r, const ReadRules& rules);
  // Fills BlockTree, `used`, `newNumber` and UsedBlockDefCount.
  void BuildBlockTree();
  // The name of the definition an entry of the block tree reaches (empty when
  // it reaches none).
  const JString& BlockTreeName(std::size_t entry) const;
  // Writes the main list and then the definitions. Throws WriteError.
  void WriteLists(ArchiveWriter& w, const WriteRules& rules) const;

  void ClearLists();
};

}  // namespace tessaly

// The post-load step: which block definitions the main list reaches, directly or
// through other definitions, and the numbers they are written under.
#include <algorithm>

#include "entities/entity_list.h"

namespace tessaly {

BlockNumberIndex::BlockNumberIndex(const std::vector<TEntJwwBlockDef>& defs) {
  byNumber_.reserve(defs.size());
  for (std::size_t i = 0; i < defs.size(); ++i)
    byNumber_.emplace_back(defs[i].number, static_cast<std::int32_t>(i));
  // Sorted by number, then by position, so the first of equal numbers is kept.
  std::sort(byNumber_.begin(), byNumber_.end());
  byNumber_.erase(std::unique(byNumber_.begin(), byNumber_.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  byNumber_.end());
}

std::int32_t BlockNumberIndex::Find(std::int32_t number) const {
  auto it = std::lower_bound(byNumber_.begin(), byNumber_.end(),
                             std::pair<std::int32_t, std::int32_t>{number, -1});
  return it != byNumber_.end() && it->first == number ? it->second : -1;
}

void TEntityLists::BuildBlockTree() {
  BlockTree.clear();
  UsedBlockDefCount = 0;
  for (auto& d : BlockDefs) {
    d.used = false;
    d.newNumber = -1;
  }
  const BlockNumberIndex first(BlockDefs);

  // Each definition's insertions are expanded the first time it is reached only:
  // a definition that inserts itself would otherwise never end, and nesting would
  // double at every level. Later entries for it stay without children; the used
  // marks are the same either way.
  std::vector<bool> expanded(BlockDefs.size(), false);
  auto append = [&](const TEntJwwBlock& b, std::int32_t depth, std::int32_t parent) {
    TEntJwwBlockTree t;
    t.common = b.common;
    t.depth = depth;
    t.parent = parent;
    t.blockNumber = b.blockNumber;
    t.defIndex = first.Find(b.blockNumber);
    if (t.defIndex >= 0) BlockDefs[static_cast<std::size_t>(t.defIndex)].used = true;
    BlockTree.push_back(t);
  };
  for (const auto& b : Blocks) append(b, 0, -1);
  for (std::size_t pos = 0; pos < BlockTree.size(); ++pos) {
    const std::int32_t def = BlockTree[pos].defIndex;
    if (def < 0 || expanded[static_cast<std::size_t>(def)]) continue;
    expanded[static_cast<std::size_t>(def)] = true;
    const std::int32_t depth = BlockTree[pos].depth + 1;
    for (const auto& b : BlockDefs[static_cast<std::size_t>(def)].Blocks)
      append(b, depth, static_cast<std::int32_t>(pos));
  }

  // Used definitions are numbered 0, 1, 2, ... in order; the others continue the
  // numbering, so that every definition written has a number of its own.
  std::int32_t next = 0;
  for (auto& d : BlockDefs) {
    if (d.used) d.newNumber = next++;
  }
  UsedBlockDefCount = next;
  for (auto& d : BlockDefs) {
    if (!d.used) d.newNumber = next++;
  }
}

const JString& TEntityLists::BlockTreeName(std::size_t entry) const {
  static const JString kNone;
  const std::int32_t def = BlockTree[entry].defIndex;
  return def < 0 ? kNone : BlockDefs[static_cast<std::size_t>(def)].name;
}

}  // namespace tessaly

// The post-load step: which block definitions the main list reaches, the tree of
// insertions, and the numbers the definitions are written under.
#include <gtest/gtest.h>

#include "archive/reader.h"
#include "archive/writer.h"
#include "entities/entity_list.h"
#include "jww/jww_data.h"
#include "support/entity_lists.h"
#include "support/drawing_builder.h"
#include "support/documents.h"

namespace tessaly::test {
namespace {

const TEntJwwCommon kC{0, 1, 1, 0, 0, 0, 0};

TEntJwwBlock Insert(std::int32_t number, std::int32_t group = 0) {
  TEntJwwBlock b{kC, 0, 0, 1, 1, 0, number};
  b.common.group = group;
  return b;
}

TEntJwwBlockDef& Def(TEntityLists& l, std::int32_t number, const std::string& name = "") {
  return draw::AddBlockDef(l, number, name.empty() ? "d" + std::to_string(number) : name);
}

std::vector<bool> Used(const TEntityLists& l) {
  std::vector<bool> out;
  for (const auto& d : l.BlockDefs) out.push_back(d.used);
  return out;
}
std::vector<std::int32_t> NewNumbers(const TEntityLists& l) {
  std::vector<std::int32_t> out;
  for (const auto& d : l.BlockDefs) out.push_back(d.newNumber);
  return out;
}

TEST(BlockTree, EmptyDrawing) {
  TEntityLists l;
  l.BuildBlockTree();
  EXPECT_EQ(l.BlockTreeCount(), 0);
  EXPECT_EQ(l.UsedBlockDefCount, 0);
  EXPECT_EQ(draw::WrittenNumber(l, 0), 0);
}

TEST(BlockTree, NestedDefinitionsAreUsedAndNumberedInDefinitionOrder) {
  for (bool innerFirst : {false, true}) {
    TEntityLists l;
    if (innerFirst) Def(l, 20, "B");
    Def(l, 10, "A").Add(Insert(20, 7));
    if (!innerFirst) Def(l, 20, "B");
    l.Add(Insert(10, 3));
    l.BuildBlockTree();
    EXPECT_EQ(Used(l), (std::vector<bool>{true, true}));
    EXPECT_EQ(NewNumbers(l), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(l.UsedBlockDefCount, 2);
    ASSERT_EQ(l.BlockTreeCount(), 2);
    const TEntJwwBlockTree& top = l.BlockTree[0];
    EXPECT_EQ(top.depth, 0);
    EXPECT_EQ(top.parent, -1);
    EXPECT_EQ(top.blockNumber, 10);
    EXPECT_EQ(top.defIndex, innerFirst ? 1 : 0);
    EXPECT_EQ(l.BlockTreeName(0), Sjis("A"));
    EXPECT_EQ(top.common.group, 3);  // copied from the insertion
    const TEntJwwBlockTree& inner = l.BlockTree[1];
    EXPECT_EQ(inner.depth, 1);
    EXPECT_EQ(inner.parent, 0);
    EXPECT_EQ(inner.blockNumber, 20);
    EXPECT_EQ(l.BlockTreeName(1), Sjis("B"));
    EXPECT_EQ(inner.common.group, 7);
    // A comes first: A 0, B 1; B first: B 0, A 1.
    EXPECT_EQ(draw::WrittenNumber(l, 10), innerFirst ? 1 : 0);
    EXPECT_EQ(draw::WrittenNumber(l, 20), innerFirst ? 0 : 1);
  }
}

TEST(BlockTree, AnInsertionOfNoDefinitionMarksNothing) {
  TEntityLists l;
  Def(l, 1);
  Def(l, 2);
  l.Add(Insert(99));
  l.BuildBlockTree();
  ASSERT_EQ(l.BlockTreeCount(), 1);
  EXPECT_EQ(l.BlockTree[0].defIndex, -1);
  EXPECT_TRUE(l.BlockTreeName(0).empty());
  EXPECT_EQ(Used(l), (std::vector<bool>{false, false}));
  EXPECT_EQ(l.UsedBlockDefCount, 0);
  // Unused definitions are numbered on from the used ones (none here).
  EXPECT_EQ(NewNumbers(l), (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(draw::WrittenNumber(l, 99), 0);
  EXPECT_EQ(draw::WrittenNumber(l, 2), 1);
}

TEST(BlockTree, NoInsertionAtAllStillNumbersTheDefinitions) {
  TEntityLists l;
  Def(l, 7);
  Def(l, 3);
  Def(l, 5);
  l.Add(TEntJwwSen{kC, 0, 0, 1, 1});
  l.BuildBlockTree();
  EXPECT_EQ(l.BlockTreeCount(), 0);
  EXPECT_EQ(l.UsedBlockDefCount, 0);
  EXPECT_EQ(NewNumbers(l), (std::vector<std::int32_t>{0, 1, 2}));
  EXPECT_EQ(draw::WrittenNumber(l, 5), 2);
}

TEST(BlockTree, UsedGoesThroughTheFirstDefinitionOfANumber) {
  // Two definitions numbered 3: only the first counts; the second inserts #4,
  // which is therefore reached by nothing.
  TEntityLists l;
  Def(l, 3, "first");
  Def(l, 3, "second").Add(Insert(4));
  Def(l, 4);
  Def(l, 8);
  l.Add(Insert(8));
  l.Add(Insert(3));
  l.BuildBlockTree();
  EXPECT_EQ(Used(l), (std::vector<bool>{true, false, false, true}));
  // Used first in definition order (first #3, #8), then the others in order.
  EXPECT_EQ(NewNumbers(l), (std::vector<std::int32_t>{0, 2, 3, 1}));
  EXPECT_EQ(l.UsedBlockDefCount, 2);
  EXPECT_EQ(draw::WrittenNumber(l, 3), 0);
  EXPECT_EQ(draw::WrittenNumber(l, 4), 3);
  EXPECT_EQ(l.BlockTreeName(1), Sjis("first"));
  // Running the step again gives the same result.
  l.BuildBlockTree();
  EXPECT_EQ(NewNumbers(l), (std::vector<std::int32_t>{0, 2, 3, 1}));
  EXPECT_EQ(l.BlockTreeCount(), 2);
}

TEST(BlockTree, CyclesEnd) {
  TEntityLists l;
  Def(l, 1, "A").Add(Insert(2));
  Def(l, 2, "B").Add(Insert(1));
  Def(l, 5, "self").Add(Insert(5));
  l.Add(Insert(1));
  l.Add(Insert(5));
  l.BuildBlockTree();
  EXPECT_EQ(Used(l), (std::vector<bool>{true, true, true}));
  // A (main), self (main), B under A, A again under B, self again under self.
  ASSERT_EQ(l.BlockTreeCount(), 5);
  EXPECT_EQ(l.BlockTree[2].blockNumber, 2);
  EXPECT_EQ(l.BlockTree[2].parent, 0);
  EXPECT_EQ(l.BlockTree[3].parent, 1);
  EXPECT_EQ(l.BlockTree[4].blockNumber, 1);
  EXPECT_EQ(l.BlockTree[4].parent, 2);
  EXPECT_EQ(l.BlockTree[4].depth, 2);
}

TEST(BlockTree, FortyLevelsEachInsertingTheNextTwiceLoadQuickly) {
  // Built as a file: the main list inserts definition 0; definition i inserts
  // i + 1 twice. Expanding every reach would make 2^40 entries.
  constexpr int kLevels = 40;
  const std::int32_t v = 600;
  TEntityLists m;
  m.Add(Insert(0));
  for (int i = 0; i < kLevels; ++i) {
    TEntJwwBlockDef& d = Def(m, i);
    if (i + 1 < kLevels) {
      d.Add(Insert(i + 1));
      d.Add(Insert(i + 1));
    }
  }
  Bytes file = JwwHeader(v);
  ListEncoder(file, v).Lists(m);
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  ASSERT_TRUE(test::Loaded(doc.Load(file.span())));
  EXPECT_EQ(doc.UsedBlockDefCount, kLevels);
  EXPECT_EQ(doc.BlockTreeCount(), 1 + 2 * (kLevels - 1));
  for (const auto& d : doc.BlockDefs) EXPECT_TRUE(d.used);
  StringSink out;
  doc.Write(out, v);
  EXPECT_TRUE(SameBytes(out.bytes, file.bytes()));
}

TEST(BlockTree, WrittenCountIsEveryDefinition) {
  // Definitions nothing reaches are written too, after a count of all of them.
  TEntityLists l;
  Def(l, 4);
  Def(l, 6).Add(TEntJwwSen{kC, 0, 0, 1, 1});
  Def(l, 9);
  l.Add(Insert(9));
  l.BuildBlockTree();
  EXPECT_EQ(l.UsedBlockDefCount, 1);
  StringSink sink;
  ArchiveWriter w(sink);
  l.WriteLists(w, WriteRules{600, 600, false});
  w.Flush();
  TEntityLists back;
  ArchiveReader r(AsBytes(sink.bytes));
  back.ReadLists(r, ReadRules{600, 255, 2048});
  EXPECT_TRUE(r.atEnd());
  ASSERT_EQ(back.BlockDefCount(), 3);
  // #9 is used: 0; #4 and #6 follow as 1 and 2; the insertion names 0.
  EXPECT_EQ(back.BlockDefs[0].number, 1);
  EXPECT_EQ(back.BlockDefs[1].number, 2);
  EXPECT_EQ(back.BlockDefs[1].LineCount(), 1);
  EXPECT_EQ(back.BlockDefs[2].number, 0);
  EXPECT_EQ(back.Blocks[0].blockNumber, 0);
}

TEST(BlockTree, RunsAfterALoadThatFailedInTheDefinitions) {
  // Definition 0 is complete and inserted by the main list; definition 1 is cut.
  TEntityLists m;
  m.Add(Insert(0));
  Def(m, 0);
  Def(m, 1).Add(TEntJwwSen{kC, 0, 0, 1, 1});
  Bytes file = JwwHeader(600);
  ListEncoder(file, 600).Lists(m);
  const std::string cut = file.bytes().substr(0, file.size() - 10);
  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData doc(images);
  EXPECT_FALSE(doc.Load(AsBytes(cut)));
  ASSERT_GE(doc.BlockDefCount(), 1);
  EXPECT_TRUE(doc.BlockDefs[0].used);
  EXPECT_EQ(doc.BlockTreeCount(), 1);
}

TEST(BlockDefinition, ATimeWithBit31ConsumesEightBytesAndBecomesThePosition) {
  Bytes b;
  b.count(0);  // main list
  b.count(2);  // two definitions
  b.newClass(600, "CDataList").common({0, 1, 1, 0, 0, 0, 0}, 600).i32(3).i32(1);
  b.u32(0x80000005u).u32(0x11111111).u32(0x22222222);  // time and 8 more bytes
  b.str("a").count(0);
  b.classRef(1).common({0, 1, 1, 0, 0, 0, 0}, 600).i32(4).i32(1);
  b.u32(0x80000000u).raw(std::string(8, '\xEE'));
  b.str("b").count(0);
  TEntityLists l;
  ArchiveReader r(b.span());
  l.ReadLists(r, ReadRules{600, 255, 2048});
  EXPECT_TRUE(r.atEnd());
  ASSERT_EQ(l.BlockDefCount(), 2);
  EXPECT_EQ(l.BlockDefs[0].time, 1);
  EXPECT_EQ(l.BlockDefs[1].time, 2);
  EXPECT_EQ(l.BlockDefs[1].name, Sjis("b"));
}

}  // namespace
}  // namespace tessaly::test

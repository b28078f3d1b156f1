// The lists as the writer lays them out: class records and references, block
// numbers, and the SXF conversion for versions below 420. Golden bytes are
// written by hand; where the golden bytes are a valid list, the reader must give
// the model back too.
#include <gtest/gtest.h>

#include "archive/reader.h"
#include "archive/writer.h"
#include "entities/entity_list.h"
#include "jww/jww_data.h"
#include "support/entity_lists.h"
#include "support/byte_builder.h"
#include "support/drawing_builder.h"
#include "support/documents.h"

namespace tessaly::test {
namespace {

std::string WriteLists(const TEntityLists& l, std::int32_t version, std::int32_t source) {
  StringSink sink;
  ArchiveWriter w(sink);
  l.WriteLists(w, WriteRules{version, source, false});
  w.Flush();
  return sink.bytes;
}

TEntityLists ReadLists(const Bytes& b, std::int32_t version) {
  TEntityLists l;
  ArchiveReader r(b.span());
  l.ReadLists(r, ReadRules{version, 255, 2048});
  EXPECT_TRUE(r.atEnd()) << r.remaining() << " bytes left";
  l.BuildBlockTree();
  return l;
}

const TEntJwwCommon kC{0, 1, 1, 0, 0, 0, 0};  // a common part every kind keeps as it is

TEntJwwSen Line(double x) {
  return TEntJwwSen{kC, x, 0, x + 1, 0};
}

TEST(WriterTags, LineThenArcThenLine) {
  TEntityLists m;
  m.Add(Line(1));
  m.Add(TEntJwwEnko{kC, 0, 0, 5, 0, 1, 0, 1, 0});
  m.Add(Line(2));
  Bytes g;
  g.count(3);                                                        // main list length
  g.raw({0xFF, 0xFF}).u16(600).u16(8).raw("CDataSen");               // new class, index 1
  g.common({0, 1, 1, 0, 0, 0, 0}, 600).f64(1).f64(0).f64(2).f64(0);  // line, object 2
  g.raw({0xFF, 0xFF}).u16(600).u16(9).raw("CDataEnko");              // new class, index 3
  g.common({0, 1, 1, 0, 0, 0, 0}, 600);                              // arc, object 4
  g.f64(0).f64(0).f64(5).f64(0).f64(1).f64(0).f64(1).i32(0);
  g.raw({0x01, 0x80});                                               // class reference 1
  g.common({0, 1, 1, 0, 0, 0, 0}, 600).f64(2).f64(0).f64(3).f64(0);  // line, object 5
  g.count(0);                                                        // no block definitions
  EXPECT_EQ(Hex(WriteLists(m, 600, 600)), Hex(g.bytes()));
  EXPECT_EQ(Dump(ReadLists(g, 600)), Dump(m));
}

TEST(WriterTags, LineTextLineText) {
  TEntityLists m;
  TEntJwwMoji t{kC, 0, 0, 10, 0, 1, 2.5, 2.5, 0, 0, Sjis("MS"), Sjis("abc")};
  m.Add(Line(1));
  m.Add(t);
  m.Add(Line(2));
  m.Add(t);
  Bytes g;
  g.count(4);
  g.newClass(351, "CDataSen");                                       // index 1
  g.common({0, 1, 1, 0, 0, 0, 0}, 351).f64(1).f64(0).f64(2).f64(0);  // object 2
  g.raw({0xFF, 0xFF}).u16(351).u16(9).raw("CDataMoji");              // index 3
  Bytes text = Bytes().common({0, 1, 1, 0, 0, 0, 0}, 351);
  text.f64(0).f64(0).f64(10).f64(0).i32(1).f64(2.5).f64(2.5).f64(0).f64(0).str("MS").str("abc");
  g.raw(text);                                                       // object 4
  g.raw({0x01, 0x80});                                               // line class
  g.common({0, 1, 1, 0, 0, 0, 0}, 351).f64(2).f64(0).f64(3).f64(0);  // object 5
  g.raw({0x03, 0x80});                                               // text class
  g.raw(text);                                                       // object 6
  g.count(0);
  EXPECT_EQ(Hex(WriteLists(m, 351, 351)), Hex(g.bytes()));
  EXPECT_EQ(Dump(ReadLists(g, 351)), Dump(m));
}

TEST(WriterTags, ClassIndicesBeyond0x7FFEUseTheLongReference) {
  // 0x7FFF lines: the class is index 1 and the last object index 0x8000; a text
  // after them takes class index 0x8001 and its next reference is the long form.
  TEntityLists m;
  for (int i = 0; i < 0x7FFF; ++i) m.Add(Line(0));
  TEntJwwMoji t{kC, 0, 0, 0, 0, 1, 1, 1, 0, 0, Sjis(""), Sjis("a")};
  m.Add(t);
  m.Add(t);
  const std::string out = WriteLists(m, 600, 600);
  Bytes text = Bytes().common({0, 1, 1, 0, 0, 0, 0}, 600);
  text.f64(0).f64(0).f64(0).f64(0).i32(1).f64(1).f64(1).f64(0).f64(0).str("").str("a");
  Bytes tail;
  tail.newClass(600, "CDataMoji").raw(text);       // class index 0x8001
  tail.raw({0xFF, 0x7F, 0x01, 0x80, 0x00, 0x80});  // long reference to 0x8001
  tail.raw(text).count(0);
  ASSERT_GT(out.size(), tail.size());
  EXPECT_EQ(Hex(out.substr(out.size() - tail.size())), Hex(tail.bytes()));
  EXPECT_EQ(out.substr(0, 2), Bytes().raw({0x01, 0x80}).bytes());  // 0x8001 entities
  TEntityLists back = ReadLists(Bytes().raw(out), 600);
  EXPECT_EQ(back.TextCount(), 2);
  EXPECT_EQ(back.EntityIndex.back(), (TEntJwwIndex{kText, 1}));
}

TEST(WriterBlocks, NumbersGoThroughTheFirstDefinitionOfTheNumber) {
  // Definitions: #7 (inserts #5), #9 (reached by nothing), #5, #7 again.
  // The main list inserts #7 and #4 (no such definition).
  TEntityLists m;
  TEntJwwBlock ins{kC, 1, 2, 1, 1, 0, 7};
  m.Add(ins);
  ins.blockNumber = 4;
  m.Add(ins);
  for (std::int32_t n : {7, 9, 5, 7}) {
    TEntJwwBlockDef d;
    d.common = kC;
    d.number = n;
    d.referenced = 1;
    d.time = 100 + n;
    d.name = Sjis("B" + std::to_string(n));
    m.BlockDefs.push_back(d);
  }
  m.BlockDefs[0].Add(TEntJwwBlock{kC, 0, 0, 1, 1, 0, 5});
  m.BuildBlockTree();
  EXPECT_EQ(m.UsedBlockDefCount, 2);
  EXPECT_EQ(draw::WrittenNumber(m, 7), 0);
  EXPECT_EQ(draw::WrittenNumber(m, 5), 1);
  EXPECT_EQ(draw::WrittenNumber(m, 9), 2);  // unused definitions continue the numbering
  EXPECT_EQ(draw::WrittenNumber(m, 4), 0);  // no such definition
  EXPECT_EQ(m.BlockDefs[3].newNumber, 3);

  const CommonBytes c{0, 1, 1, 0, 0, 0, 0};
  Bytes g;
  g.count(2);
  g.newClass(600, "CDataBlock");                                           // index 1
  g.common(c, 600).f64(1).f64(2).f64(1).f64(1).f64(0).i32(0);              // #7 -> 0, object 2
  g.classRef(1).common(c, 600).f64(1).f64(2).f64(1).f64(1).f64(0).i32(0);  // #4 -> 0, object 3
  g.count(4);                                                              // every definition
  g.newClass(600, "CDataList");                                            // index 4
  g.common(c, 600).i32(0).i32(1).i32(107).str("B7");                       // #7 -> 0, object 5
  g.count(1);
  g.classRef(1).common(c, 600).f64(0).f64(0).f64(1).f64(1).f64(0).i32(1);  // #5 -> 1, object 6
  g.classRef(4).common(c, 600).i32(2).i32(1).i32(109).str("B9").count(0);  // #9 -> 2
  g.classRef(4).common(c, 600).i32(1).i32(1).i32(105).str("B5").count(0);  // #5 -> 1
  g.classRef(4).common(c, 600).i32(0).i32(1).i32(107).str("B7").count(0);  // #7 -> 0 (the first #7)
  EXPECT_EQ(Hex(WriteLists(m, 600, 600)), Hex(g.bytes()));
}

TEST(WriterBlocks, AllUsedDefinitionsAreWrittenUnderTheirNewNumbers) {
  // Both used: numbers 30 and 10 become 0 and 1, and the lists read back alike.
  TEntityLists m;
  m.Add(TEntJwwBlock{kC, 0, 0, 1, 1, 0, 30});
  for (std::int32_t n : {30, 10}) {
    TEntJwwBlockDef d;
    d.common = kC;
    d.number = n;
    d.name = Sjis("d");
    m.BlockDefs.push_back(d);
  }
  m.BlockDefs[0].Add(TEntJwwBlock{kC, 0, 0, 1, 1, 0, 10});
  m.BuildBlockTree();
  TEntityLists back = ReadLists(Bytes().raw(WriteLists(m, 700, 700)), 700);
  EXPECT_EQ(back.Blocks[0].blockNumber, 0);
  EXPECT_EQ(back.BlockDefs[0].number, 0);
  EXPECT_EQ(back.BlockDefs[1].number, 1);
  EXPECT_EQ(back.BlockDefs[0].Blocks[0].blockNumber, 1);
  EXPECT_EQ(back.UsedBlockDefCount, 2);
}

TEntJwwSunpo SxfDimension() {
  TEntJwwSunpo d;
  d.common = {1, 1, 2, 0, 0, 0, 0};
  d.line = TEntJwwSen{kC, 0, 0, 100, 0};
  d.text = TEntJwwMoji{kC, 40, 1, 60, 1, 1, 2.5, 2.5, 0, 0, Sjis("MS"), Sjis("100")};
  d.sxfMode = 1;
  d.auxLine1 = TEntJwwSen{{0, 31, 101, 5, 0, 0, 0}, 0, 0, 0, -10};  // SXF style and colour
  d.auxLine2 = TEntJwwSen{kC, 100, 0, 100, -10};
  d.point1 = TEntJwwTen{kC, 0, 0, 0, 0, 0, 0};
  d.point2 = TEntJwwTen{{0, 100, 1, 0, 0, 0, 0}, 100, 0, 1, 9, 0.5, 2};
  d.point3 = TEntJwwTen{kC, 0, -10, 0, 0, 0, 0};
  d.point4 = TEntJwwTen{kC, 100, -10, 0, 0, 0, 0};
  return d;
}

TEST(WriterSxf, A600DrawingWrittenAt351TurnsTheSxfPartIntoSixEntities) {
  TEntityLists m;
  m.Add(SxfDimension());
  const CommonBytes c{0, 1, 1, 0, 0, 0, 0};
  Bytes g;
  g.count(7);                                      // one dimension and six entities
  g.newClass(351, "CDataSunpou");                  // index 1
  g.common({1, 1, 2, 0, 0, 0, 0}, 351);            // the dimension, object 2
  g.common(c, 351).f64(0).f64(0).f64(100).f64(0);  //   its line
  g.common(c, 351).f64(40).f64(1).f64(60).f64(1).i32(1).f64(2.5).f64(2.5).f64(0).f64(
      0);                                                              // its text
  g.str("MS").str("100");                                              //   no SXF part at 351
  g.newClass(351, "CDataSen");                                         // index 3
  g.common({0, 1, 2, 5, 0, 0, 0}, 351).f64(0).f64(0).f64(0).f64(-10);  // aux line 1 (31 -> 1, 101
                                                                       // -> 2), object 4
  g.classRef(3).common(c, 351).f64(100).f64(0).f64(100).f64(-10);      // aux line 2, object 5
  g.newClass(351, "CDataTen");                                         // index 6
  g.common(c, 351).f64(0).f64(0).i32(0);                               // point 1, object 7
  g.classRef(6)
      .common({0, 100, 1, 0, 0, 0, 0}, 351)
      .f64(100)
      .f64(0)
      .i32(1)
      .i32(9)
      .f64(0.5)
      .f64(2);                                            // point 2
  g.classRef(6).common(c, 351).f64(0).f64(-10).i32(0);    // point 3
  g.classRef(6).common(c, 351).f64(100).f64(-10).i32(0);  // point 4, object 10
  g.count(0);
  EXPECT_EQ(Hex(WriteLists(m, 351, 600)), Hex(g.bytes()));
  // Read back, the entities are ordinary ones.
  TEntityLists back = ReadLists(g, 351);
  EXPECT_EQ(back.EntityCount(), 7);
  EXPECT_EQ(back.DimensionCount, 1);
  EXPECT_EQ(back.LineCount(), 2);
  EXPECT_EQ(back.PointCount(), 4);
  EXPECT_EQ(back.Points[1].code, 9);
  // Not converted: a drawing that was itself below 420, a mode of 0, or 420 and up.
  EXPECT_EQ(WriteLists(m, 351, 351).substr(0, 2), Bytes().count(1).bytes());
  m.Dimensions[0].sxfMode = 0;
  EXPECT_EQ(WriteLists(m, 351, 600).substr(0, 2), Bytes().count(1).bytes());
  m.Dimensions[0].sxfMode = 1;
  EXPECT_EQ(WriteLists(m, 420, 600).substr(0, 2), Bytes().count(1).bytes());
}

TEST(WriterSxf, ADefinitionCountsTheConvertedEntitiesToo) {
  TEntityLists m;
  TEntJwwBlockDef d;
  d.common = kC;
  d.name = Sjis("d");
  d.Add(SxfDimension());
  d.Add(Line(1));
  m.BlockDefs.push_back(d);
  m.BuildBlockTree();
  TEntityLists back = ReadLists(Bytes().raw(WriteLists(m, 300, 700)), 300);
  ASSERT_EQ(back.BlockDefCount(), 1);
  EXPECT_EQ(back.BlockDefs[0].EntityCount(), 8);
  EXPECT_EQ(back.BlockDefs[0].LineCount(), 3);
  EXPECT_EQ(back.BlockDefs[0].EntityIndex.back(), (TEntJwwIndex{kLine, 2}));
}

TEST(WriterLists, EmptyEntriesAreSkippedAndCountsMustAgree) {
  TEntityLists m;
  m.Add(Line(1));
  m.Add(SxfDimension());
  m.Add(Line(2));
  // The dissolve empties an entry and lowers the count, keeping the record.
  m.EntityIndex[1] = {kEmpty, 0};
  m.DimensionCount = 0;
  TEntityLists back = ReadLists(Bytes().raw(WriteLists(m, 600, 600)), 600);
  EXPECT_EQ(back.EntityCount(), 2);
  EXPECT_EQ(back.DimensionCount, 0);
  // A count that disagrees with the index is refused rather than written wrong.
  m.DimensionCount = 1;
  EXPECT_THROW(WriteLists(m, 600, 600), WriteError);
  m.DimensionCount = 0;
  m.EntityIndex[2].index = 5;
  EXPECT_THROW(WriteLists(m, 600, 600), WriteError);
  // So is a dimension part of a dimension that is not there.
  m.EntityIndex[2] = PartEntry(1, kPartLine);
  m.PartCount = 1;
  m.Lines.pop_back();
  EXPECT_THROW(WriteLists(m, 600, 600), WriteError);
  m.EntityIndex[2] = PartEntry(0, kPartAuxLine2);
  EXPECT_EQ(ReadLists(Bytes().raw(WriteLists(m, 600, 600)), 600).Lines.back().startX,
            m.Dimensions[0].auxLine2.startX);
}

TEST(WriterFile, WholeDrawingGoldenBothWays) {
  const std::int32_t v = 600;
  Bytes g = JwwHeader(v);
  g.count(1);                                                          // main list
  g.newClass(600, "CDataSen");                                         // class 1
  g.common({3, 2, 5, 1, 1, 2, 0}, v).f64(0).f64(0).f64(10).f64(10);    // line, object 2
  g.count(1);                                                          // one definition
  g.newClass(600, "CDataList");                                        // class 3
  g.common({0, 1, 1, 0, 0, 0, 0}, v).i32(0).i32(0).i32(5).str("blk");  // number 0, object 4
  g.count(1);
  g.newClass(600, "CDataEnko");  // class 5
  g.common({0, 1, 1, 0, 0, 0, 0}, v).f64(0).f64(0).f64(1).f64(0).f64(0).f64(0).f64(1).i32(1);

  MemoryImages imagesStore;
  TBoundImages images(imagesStore);
  TJwwData d(images);
  ASSERT_TRUE(test::Loaded(d.Load(g.span())));
  TEntityLists expected;
  expected.Add(TEntJwwSen{{3, 2, 5, 1, 1, 2, 0}, 0, 0, 10, 10});
  TEntJwwBlockDef def;
  def.common = kC;
  def.time = 5;
  def.name = Sjis("blk");
  def.Add(TEntJwwEnko{kC, 0, 0, 1, 0, 0, 0, 1, 1});
  expected.BlockDefs.push_back(def);
  EXPECT_EQ(Dump(d), Dump(expected));
  EXPECT_FALSE(d.BlockDefs[0].used);
  EXPECT_EQ(d.BlockDefs[0].newNumber, 0);

  // The model built by hand, on the header read from the same bytes, writes the golden bytes.
  TJwwData fresh(images);
  ASSERT_TRUE(fresh.Load(EmptyJwwDrawing(v).span()));
  static_cast<TEntityLists&>(fresh) = expected;
  fresh.BuildBlockTree();
  StringSink out;
  fresh.Write(out, v);
  EXPECT_TRUE(SameBytes(out.bytes, g.bytes()));
}

}  // namespace
}  // namespace tessaly::test

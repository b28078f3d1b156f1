#include "entities/entity_list.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <type_traits>

#include "archive/reader.h"
#include "archive/writer.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace {

constexpr std::string_view kClassNames[] = {"",           "CDataSen",   "CDataEnko",
                                            "CDataTen",   "CDataMoji",  "CDataSunpou",
                                            "CDataSolid", "CDataBlock", "CDataList"};
// What a record of a kind is called in a message.
Message KindWord(std::int32_t kind) {
  switch (kind) {
    case kLine: return Message("line");
    case kArc: return Message("arc");
    case kPoint: return Message("point");
    case kText: return Message("text");
    case kDimension: return Message("dimension");
    case kSolid: return Message("solid");
    case kBlock: return Message("block insertion");
    default: return Message("block definition");
  }
}

// The smallest tagged definition in a file, for bounding untrusted counts: a
// class reference and a definition with an empty name and an empty list.
constexpr std::size_t kMinTaggedDefinition = 2 + kMinCommonSize + 12 + 1 + 2;

std::size_t Bounded(std::uint32_t n, const ArchiveReader& r, std::size_t minBytes) {
  return std::min<std::size_t>(n, r.remaining() / minBytes);
}

// The reader's side of the class-tag scheme: one counter numbers classes and
// objects together from 1, and each entity kind remembers the index of its class.
class TagReader {
 public:
  explicit TagReader(const ReadRules& rules) : rules_(rules) {
    near_[0] = static_cast<std::int8_t>(KindOf(0));  // every kind remembers index 0 at first
  }

  // Reads the tag of an entity and answers its kind.
  std::int32_t EntityTag(ArchiveReader& r) {
    const std::size_t at = r.offset();
    std::uint16_t tag = r.u16();
    if (tag == 0xFFFF) {
      std::string name = ClassRecord(r);
      for (std::int32_t k = kLine; k <= kBlock; ++k) {
        if (name == kClassNames[k]) {
          Remember(k, counter_++);
          return k;
        }
      }
      throw FormatError(FormatError::Kind::kMalformed, at,
                        Message("class \"{name}\" at byte offset {offset} is not an entity class")
                            .Set("name", Printable(name))
                            .Set("offset", static_cast<long long>(at)));
    }
    std::uint32_t index;
    if (tag == 0x7FFF) {
      index = r.u32() & 0x7FFFFFFFu;
    } else if (tag & 0x8000) {
      index = tag - 0x8000u;
    } else {
      throw FormatError(FormatError::Kind::kMalformed, at,
                        Message("object reference 0x{tag} at byte offset {offset} where an entity was expected")
                            .Set("tag", Hex(tag))
                            .Set("offset", static_cast<long long>(at)));
    }
    const std::int32_t kind = index < kNear ? near_[index] : KindOf(index);
    if (kind == kEmpty) {
      throw FormatError(FormatError::Kind::kMalformed, at,
                        Message("class reference {index} at byte offset {offset} names no entity class")
                            .Set("index", static_cast<long long>(index))
                            .Set("offset", static_cast<long long>(at)));
    }
    return kind;
  }

  // A definition's tag is read and not checked.
  void DefinitionTag(ArchiveReader& r) {
    std::uint16_t tag = r.u16();
    if (tag == 0xFFFF) {
      ClassRecord(r);
      ++counter_;
    } else if (tag == 0x7FFF) {
      r.u32();
    }
  }

  void CountObject() { ++counter_; }

 private:
  std::string ClassRecord(ArchiveReader& r) {
    r.u16();  // schema, not used
    const std::size_t at = r.offset();
    std::uint16_t n = r.u16();
    if (n > rules_.classNameLimit) {
      throw FormatError(FormatError::Kind::kMalformed, at,
                        Message("class name of {length} bytes at byte offset {offset} is longer than {limit}")
                            .Set("length", static_cast<long long>(n))
                            .Set("offset", static_cast<long long>(at))
                            .Set("limit", static_cast<long long>(rules_.classNameLimit)));
    }
    auto b = r.bytes(n);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
  }
  static std::string Hex(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v);
    return buf;
  }
  static std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s.substr(0, 40)) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return out;
  }

  // The last kind whose class has that index.
  std::int32_t KindOf(std::uint32_t index) const {
    std::int32_t kind = kEmpty;
    for (std::int32_t k = kLine; k <= kBlock; ++k) {
      if (remembered_[k] == index) kind = k;
    }
    return kind;
  }
  void Remember(std::int32_t kind, std::uint32_t index) {
    const std::uint32_t old = remembered_[kind];
    remembered_[kind] = index;
    for (std::uint32_t i : {old, index}) {
      if (i < kNear) near_[i] = static_cast<std::int8_t>(KindOf(i));
    }
  }

  const ReadRules& rules_;
  std::uint32_t counter_ = 1;
  std::uint32_t remembered_[8] = {};
  // The kinds of the small class indices, looked up for every entity: a file
  // introduces its classes with its first objects.
  static constexpr std::uint32_t kNear = 256;
  std::int8_t near_[kNear] = {};
};

template <typename T>
void ReadInto(ArchiveReader& r, const ReadRules& rules, TEntityList& list) {
  list.Add<T>([&](T& e) { ReadBody(r, rules, e); });
}

// Reserves room for a list of n entities. Each kind gets as many elements as the
// bytes left could hold of it, at most n: memory that is reserved and never
// written is not taken from the system, so this costs nothing for the kinds a
// list does not hold, and the arrays are never copied as they fill.
void ReserveList(const ArchiveReader& r, const ReadRules& rules, std::uint32_t n, TEntityList& list) {
  const std::size_t c = CommonSize(rules.version);
  // Each entity in the file has a two-byte class tag at least.
  auto reserve = [&](auto& array, std::size_t size) { array.reserve(Bounded(n, r, 2 + size)); };
  // A short list fills its arrays as it goes: one element of every kind for
  // each of many small block definitions would cost more than ten times the
  // bytes they take in the file.
  if (n < 16) {
    reserve(list.EntityIndex, c + TEntJwwTen::kBodySize);  // the smallest entity
    return;
  }
  // The index also has room for the entries a dissolve adds: up to eight per
  // dimension (two before version 420), so that it is not copied then.
  const std::size_t parts = rules.version >= 420 ? 8 : 2;
  list.EntityIndex.reserve(Bounded(n, r, 2 + c + TEntJwwTen::kBodySize) +
                           parts * Bounded(n, r, 2 + MinDimensionSize(rules.version)));
  reserve(list.Lines, c + TEntJwwSen::kBodySize);
  reserve(list.Arcs, c + TEntJwwEnko::kBodySize);
  reserve(list.Points, c + TEntJwwTen::kBodySize);
  reserve(list.Texts, c + TEntJwwMoji::kBodySize);
  reserve(list.Dimensions, MinDimensionSize(rules.version));
  reserve(list.Solids, c + TEntJwwSolid::kBodySize);
  reserve(list.Blocks, c + TEntJwwBlock::kBodySize);
}

// Tells the fill hint, every kStep entities, how far the arrays of a list are
// filled.
class FillAhead {
 public:
  static constexpr std::uint32_t kStep = 256;

  FillAhead(FillHint* hint, TEntityList& list) : hint_(hint), list_(list) {}

  void Follow() {
    if (!hint_) return;
    Tell(0, list_.EntityIndex);
    Tell(kLine, list_.Lines);
    Tell(kArc, list_.Arcs);
    Tell(kPoint, list_.Points);
    Tell(kText, list_.Texts);
    Tell(kDimension, list_.Dimensions);
    Tell(kSolid, list_.Solids);
    Tell(kBlock, list_.Blocks);
  }

 private:
  template <typename T>
  void Tell(unsigned slot, const std::vector<T>& v) {
    hint_->Filling(slot, v.data(), v.size() * sizeof(T), v.capacity() * sizeof(T));
  }

  FillHint* hint_;
  TEntityList& list_;
};

// The list a record is in: the main list (definition 0), or a definition's.
Message ListName(std::size_t definition, std::size_t definitions) {
  if (definition == 0) return Message("main list");
  return Message("block definition {index} of {count}")
      .Set("index", static_cast<long long>(definition))
      .Set("count", static_cast<long long>(definitions));
}

// `definition`: 0 for the main list, else the definition's place from 1 on, of
// `definitions`.
void ReadList(ArchiveReader& r, const ReadRules& rules, TagReader& tags, TEntityList& list,
              std::size_t definition, std::size_t definitions) {
  const std::uint32_t n = r.count();
  ReserveList(r, rules, n, list);
  FillAhead ahead(rules.fill, list);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i % FillAhead::kStep == 0) ahead.Follow();
    std::int32_t kind = kEmpty;
    try {
      kind = tags.EntityTag(r);
      switch (kind) {
        case kLine: ReadInto<TEntJwwSen>(r, rules, list); break;
        case kArc: ReadInto<TEntJwwEnko>(r, rules, list); break;
        case kPoint: ReadInto<TEntJwwTen>(r, rules, list); break;
        case kText: ReadInto<TEntJwwMoji>(r, rules, list); break;
        case kDimension: ReadInto<TEntJwwSunpo>(r, rules, list); break;
        case kSolid: ReadInto<TEntJwwSolid>(r, rules, list); break;
        case kBlock: ReadInto<TEntJwwBlock>(r, rules, list); break;
      }
    } catch (const FormatError& e) {
      Message record = kind != kEmpty ? Message("{list}, entity {entity} of {entities}, {kind}")
                                      : Message("{list}, entity {entity} of {entities}");
      record.Set("list", ListName(definition, definitions))
          .Set("entity", static_cast<long long>(i) + 1)
          .Set("entities", static_cast<long long>(n));
      if (kind != kEmpty) record.Set("kind", KindWord(kind));
      throw e.In(std::move(record));
    }
    tags.CountObject();
  }
  // Give back the room reserved for kinds the list does not hold.
  auto release = [](auto& array) {
    if (array.empty()) array = {};
  };
  release(list.Lines);
  release(list.Arcs);
  release(list.Points);
  release(list.Texts);
  release(list.Dimensions);
  release(list.Solids);
  release(list.Blocks);
}

}  // namespace

std::int64_t TEntityList::CountSum() const {
  return std::int64_t{LineCount()} + ArcCount() + PointCount() + TextCount() + DimensionCount +
         SolidCount() + BlockCount() + PartCount;
}

void TEntityList::ClearList() {
  // Swapping with empty vectors frees the memory, which clear() would keep.
  EntityIndex = {};
  Lines = {};
  Arcs = {};
  Points = {};
  Texts = {};
  Dimensions = {};
  Solids = {};
  Blocks = {};
  DimensionCount = 0;
  PartCount = 0;
}

void TEntityLists::ClearLists() {
  ClearList();
  BlockDefs = {};
  BlockTree = {};
  UsedBlockDefCount = 0;
}

void TEntityLists::ReadLists(ArchiveReader& r, const ReadRules& rules) {
  TagReader tags(rules);
  ReadList(r, rules, tags, *this, 0, 0);

  const std::uint32_t m = r.count();
  BlockDefs.reserve(Bounded(m, r, kMinTaggedDefinition));
  for (std::uint32_t i = 0; i < m; ++i) {
    BlockDefs.emplace_back();
    TEntJwwBlockDef& def = BlockDefs.back();
    try {
      tags.DefinitionTag(r);
      def.common = ReadCommon(r, rules.version);
      def.number = r.i32();
      def.referenced = r.i32();
      std::uint32_t time = r.u32();
      if (time & 0x80000000u) {
        // A 64-bit time follows; the definition's position stands in for it.
        r.skip(8);
        time = i + 1;
      }
      def.time = static_cast<std::int32_t>(time);
      r.string(def.name);
    } catch (const FormatError& e) {
      BlockDefs.pop_back();
      throw e.In(ListName(i + 1, m));
    }
    tags.CountObject();
    ReadList(r, rules, tags, def, i + 1, m);
  }
}

namespace {

// The writer's side of the class-tag scheme.
class ListWriter {
 public:
  ListWriter(ArchiveWriter& w, const WriteRules& rules, const TEntityLists& lists)
      : w_(w), rules_(rules), lists_(lists), numbers_(lists.BlockDefs) {}

  void Tag(std::int32_t kind) {
    if (slots_[kind] == 0) {
      w_.newClass(static_cast<std::uint16_t>(rules_.version & 0xFFFF), kClassNames[kind]);
      slots_[kind] = counter_++;
    } else {
      w_.classRef(slots_[kind]);
    }
  }

  std::int32_t Mapped(std::int32_t number) const {
    const std::int32_t def = numbers_.Find(number);
    return def < 0 ? 0 : lists_.BlockDefs[static_cast<std::size_t>(def)].newNumber;
  }

  // The length a list is announced with: the sum of its counts and six for each
  // dimension whose SXF part becomes ordinary entities. ListBody checks that
  // exactly that many entities follow. `definition`: 0 for the main list, else
  // the definition's place from 1 on.
  std::uint32_t Length(const TEntityList& list, std::size_t definition) const {
    std::int64_t n = list.CountSum();
    if (rules_.version < 420 && rules_.sourceVersion >= 420) {
      for (const auto& e : list.EntityIndex) {
        if (e.kind == kDimension && Valid(list, e) && ConvertsSxf(list.Dimensions[e.index], rules_)) n += 6;
      }
    }
    if (n < 0 || n > 0xFFFFFFFFll) throw WriteError(Where(definition, Message("{list}: too many entities")));
    return static_cast<std::uint32_t>(n);
  }

  void List(const TEntityList& list) {
    const std::uint32_t n = Length(list, 0);
    w_.count(n);
    ListBody(list, n, 0);
  }

  void Definitions() {
    w_.count(static_cast<std::uint32_t>(lists_.BlockDefs.size()));
    for (std::size_t i = 0; i < lists_.BlockDefs.size(); ++i) {
      const TEntJwwBlockDef& d = lists_.BlockDefs[i];
      Tag(kBlockDefKind);
      WriteCommon(w_, d.common, kBlockDefKind, rules_.version);
      w_.i32(Mapped(d.number));
      w_.i32(d.referenced);
      w_.i32(d.time);
      w_.cleanString(d.name);
      // The definition's object index comes before its entities.
      const std::uint32_t n = Length(d, i + 1);
      w_.count(n);
      ++counter_;
      ListBody(d, n, i + 1);
    }
  }

 private:
  // `pattern` said of a list: the main list (definition 0), or a definition.
  static Message Where(std::size_t definition, Message pattern) {
    Message list = definition == 0 ? Message("main list")
                                   : Message("block definition {index}").Set("index", static_cast<long long>(definition));
    return std::move(pattern).Set("list", std::move(list));
  }

  // True when an entry of a kind points inside its array.
  static bool Valid(const TEntityList& l, const TEntJwwIndex& e) {
    if (e.index < 0) return false;
    const auto i = static_cast<std::size_t>(e.index);
    switch (e.kind) {
      case kLine: return i < l.Lines.size();
      case kArc: return i < l.Arcs.size();
      case kPoint: return i < l.Points.size();
      case kText: return i < l.Texts.size();
      case kDimension: return i < l.Dimensions.size();
      case kSolid: return i < l.Solids.size();
      case kBlock: return i < l.Blocks.size();
      case kDimensionPart: return PartDimension(e) < l.Dimensions.size();
      default: return true;  // an entry of no kind writes nothing
    }
  }

  // Writes the entities of a list in the order of its index, each entry checked
  // first, and fails unless they were as many as `announced`: a file whose count
  // disagrees with what follows would be misread from there on.
  void ListBody(const TEntityList& list, std::uint32_t announced, std::size_t definition) {
    std::int64_t written = 0;
    for (const auto& e : list.EntityIndex) {
      if (!Valid(list, e)) throw WriteError(Where(definition, Message("{list}: an index entry points outside its array")));
      ForEntry(list, e, [this, &written](std::int32_t kind, const auto& record) {
        using Record = std::decay_t<decltype(record)>;
        if constexpr (std::is_same_v<Record, TEntJwwSunpo>) {
          written += Dimension(record);
        } else if constexpr (std::is_same_v<Record, TEntJwwBlock>) {
          Tag(kBlock);
          WriteBody(w_, rules_, record, Mapped(record.blockNumber));
          ++counter_;
          ++written;
        } else {
          Entity(kind, record);
          ++written;
        }
      });
    }
    if (written != announced) {
      throw WriteError(Where(definition, Message("{list}: the entity counts disagree with the entity index")));
    }
  }

  template <typename T>
  void Entity(std::int32_t kind, const T& e) {
    Tag(kind);
    WriteBody(w_, rules_, e);
    ++counter_;
  }

  // Answers the entities written: 1, or 7 with the SXF part as entities.
  int Dimension(const TEntJwwSunpo& d) {
    Tag(kDimension);
    WriteBody(w_, rules_, d);
    const bool sxf = ConvertsSxf(d, rules_);
    if (sxf) {
      // A version below 420 has no SXF part: its lines and points follow the
      // dimension as ordinary entities.
      ++counter_;
      Tag(kLine);
      WriteBody(w_, rules_, d.auxLine1);
      ++counter_;
      Tag(kLine);
      WriteBody(w_, rules_, d.auxLine2);
      for (const TEntJwwTen* p : {&d.point1, &d.point2, &d.point3, &d.point4}) {
        ++counter_;
        Tag(kPoint);
        WriteBody(w_, rules_, *p);
      }
    }
    ++counter_;
    return sxf ? 7 : 1;
  }

  ArchiveWriter& w_;
  const WriteRules& rules_;
  const TEntityLists& lists_;
  BlockNumberIndex numbers_;
  std::uint32_t counter_ = 1;
  std::uint32_t slots_[9] = {};
};

}  // namespace

void TEntityLists::WriteLists(ArchiveWriter& w, const WriteRules& rules) const {
  ListWriter lw(w, rules, *this);
  lw.List(*this);
  lw.Definitions();
}

}  // namespace tessaly

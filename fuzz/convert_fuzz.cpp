// The whole conversion of a buffer that loads, as a run does it: load, dissolve
// (with and without the reference points), save into a private folder. What a
// conversion promises is checked on every input:
//   - a failed save leaves no file;
//   - the output loads again and holds no dimension;
//   - every entity that is not a dimension is kept, in its order, in the main
//     list and in every block definition (compared as the writer writes it,
//     with the file the document gives without the dissolve);
//   - converting the output once more gives the same bytes, except for the
//     cases where the file's own rules change a value on every write (a text
//     that the one-pass write clean-up leaves with "^m" in it, a negative
//     print-skip value, an SXF colour or line-type name that is not blank as
//     read but that the clean-up empties: written as one space, it is blank
//     the next time and gets its numbered name).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/document_files.h"
#include "archive/ports.h"
#include "archive/writer.h"
#include "dissolve/dissolve.h"
#include "fuzz_support.h"
#include "io/files.h"
#include "jws/jws_data.h"
#include "jww/jww_data.h"
#include "text/text_helpers.h"

namespace tessaly::fuzz {
namespace {
namespace fs = std::filesystem;

// The converted files go into a folder of their own, apart from the images.
const fs::path& OutDir() {
  static WorkingFolder folder;
  static const fs::path path = [] {
    Message why;
    if (!folder.Create(why)) Broken("cannot make the output folder", why.English());
    return folder.Path();
  }();
  return path;
}

// A name that is not blank as read but that the write clean-up empties.
bool EmptiedOnWrite(const JString& name) {
  return !IsBlank(name) && IsBlank(SanitizeForWrite(name));
}

struct JwwKit {
  static constexpr std::string_view kFile = "out.jww";
  WorkingImages kept;
  TJwwData doc{kept.images};
  bool ChangesOnEveryWrite() const {
    if (doc.Header.printSkipTens < 0 || doc.Header.printSkipUnits < 0) return true;
    // The SXF names get a numbered name when blank; a layer's or a group's
    // name stays blank.
    if (doc.Version() < 420) return false;
    return std::any_of(doc.ColorsEx.begin(), doc.ColorsEx.end(),
                       [](const auto& c) { return EmptiedOnWrite(c.name); }) ||
           std::any_of(doc.LineTypesEx.begin(), doc.LineTypesEx.end(),
                       [](const auto& t) { return EmptiedOnWrite(t.name); });
  }
  void Clean() { kept.images.Clear(); }
};

struct JwsKit {
  static constexpr std::string_view kFile = "out.jws";
  TJwsData doc;
  bool ChangesOnEveryWrite() const { return false; }
  void Clean() {}
};

template <typename Kit>
WriteRules RulesOf(const Kit& k) {
  using Format = typename decltype(k.doc)::FormatType;
  return Format::WriteRulesFor(k.doc.Version(), k.doc.Version());
}

// One entity as the writer writes it, to compare two documents by.
template <typename Record>
std::string Bytes(const WriteRules& rules, std::int32_t kind, const Record& e) {
  StringSink sink;
  ArchiveWriter w(sink, 4096);
  WriteCommon(w, e.common, kind, rules.version);
  if constexpr (std::is_same_v<Record, TEntJwwBlock>) {
    WriteBody(w, rules, e, e.blockNumber);
  } else {
    WriteBody(w, rules, e);
  }
  w.Flush();
  return sink.bytes;
}

std::string EntityBytes(const TEntityList& l, const TEntJwwIndex& ix, const WriteRules& rules) {
  switch (ix.kind) {
    case kLine: return Bytes(rules, ix.kind, l.Lines.at(ix.index));
    case kArc: return Bytes(rules, ix.kind, l.Arcs.at(ix.index));
    case kPoint: return Bytes(rules, ix.kind, l.Points.at(ix.index));
    case kText: return Bytes(rules, ix.kind, l.Texts.at(ix.index));
    case kDimension: return Bytes(rules, ix.kind, l.Dimensions.at(ix.index));
    case kSolid: return Bytes(rules, ix.kind, l.Solids.at(ix.index));
    case kBlock: return Bytes(rules, ix.kind, l.Blocks.at(ix.index));
    default: return {};
  }
}

std::vector<TEntJwwIndex> Listed(const TEntityList& l) {
  std::vector<TEntJwwIndex> v;
  for (const auto& ix : l.EntityIndex) {
    if (ix.kind != kEmpty) v.push_back(ix);
  }
  return v;
}

// `out` (converted) begins with the entities of `plain` (not converted) that
// are not dimensions, in order, and holds nothing after them but what a
// dissolve makes.
void CheckKept(const TEntityList& plain, const TEntityList& out, const WriteRules& rules,
               const std::string& where) {
  std::vector<TEntJwwIndex> kept;
  for (const auto& ix : Listed(plain)) {
    if (ix.kind != kDimension) kept.push_back(ix);
  }
  const std::vector<TEntJwwIndex> o = Listed(out);
  if (o.size() < kept.size()) Broken("entities lost", where);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (o[i].kind != kept[i].kind) Broken("entities out of order", where + " entry " + std::to_string(i));
    if (EntityBytes(plain, kept[i], rules) != EntityBytes(out, o[i], rules))
      Broken("entity changed", where + " entry " + std::to_string(i));
  }
  for (std::size_t i = kept.size(); i < o.size(); ++i) {
    const auto k = o[i].kind;
    if (k != kLine && k != kText && k != kPoint) Broken("a dissolve made a wrong kind", where);
  }
}

bool HasEveryWriteChange(std::string_view bytes) {
  using namespace std::string_view_literals;
  return bytes.find("^m"sv) != std::string_view::npos ||
         bytes.find("^\0m\0"sv) != std::string_view::npos;
}

template <typename Kit>
void Convert(std::span<const std::uint8_t> input, bool referencePoints) {
  Kit in;
  if (!in.doc.Load(input)) return in.Clean();

  // The same document without the dissolve, as the writer gives it back.
  std::optional<std::string> plain;
  try {
    StringSink s;
    in.doc.Write(s, in.doc.Version());
    plain = std::move(s.bytes);
  } catch (const WriteError&) {
  }

  // What the input holds besides dimensions, in the main list and in all the
  // definitions together (the writer puts used definitions first).
  auto others = [](const TEntityList& l) {
    return std::count_if(l.EntityIndex.begin(), l.EntityIndex.end(),
                         [](const TEntJwwIndex& ix) { return ix.kind != kEmpty && ix.kind != kDimension; });
  };
  auto othersInDefs = [&](const TEntityLists& d) {
    std::int64_t n = 0;
    for (const auto& def : d.BlockDefs) n += others(def);
    return n;
  };
  const std::int64_t mainOthers = others(in.doc), defOthers = othersInDefs(in.doc);
  const std::size_t defs = in.doc.BlockDefs.size();

  DissolveDimensions(in.doc, referencePoints);
  TESSALY_FUZZ_CHECK(!HasDimensions(in.doc), "a dimension left after the dissolve");
  const fs::path target = OutDir() / Kit::kFile;
  const Failure saveFailure = SaveFile(in.doc, target, in.doc.Version());
  const bool everyWrite = in.ChangesOnEveryWrite();
  in.Clean();
  if (saveFailure) {
    TESSALY_FUZZ_CHECK(!saveFailure.text.empty(), "a failed save without a reason");
    CheckEmpty(OutDir());
    return;
  }
  TESSALY_FUZZ_CHECK(plain.has_value(), "a save that works only after the dissolve");

  std::vector<std::uint8_t> written;
  Message why;
  TESSALY_FUZZ_CHECK(ReadWholeFile(target, written, why), why.English());
  RemoveFileQuietly(target);

  Kit ref;
  const auto* p = reinterpret_cast<const std::uint8_t*>(plain->data());
  const LoadResult refLoad = ref.doc.Load({p, plain->size()});
  TESSALY_FUZZ_CHECK(refLoad.ok(), "the unconverted file does not load: " + refLoad.message);
  // Its images go before the output's come, which have the same names.
  ref.Clean();

  Kit out;
  const LoadResult outLoad = out.doc.Load(written);
  TESSALY_FUZZ_CHECK(outLoad.ok(), "the output does not load: " + outLoad.message);
  TESSALY_FUZZ_CHECK(!HasDimensions(out.doc), "a dimension in the output");
  TESSALY_FUZZ_CHECK(others(ref.doc) == mainOthers && othersInDefs(ref.doc) == defOthers &&
                         ref.doc.BlockDefs.size() == defs,
                     "the writer lost entities or block definitions");
  const WriteRules rules = RulesOf(ref);
  CheckKept(ref.doc, out.doc, rules, "main list");
  TESSALY_FUZZ_CHECK(ref.doc.BlockDefs.size() == out.doc.BlockDefs.size(), "block definitions lost");
  for (std::size_t i = 0; i < ref.doc.BlockDefs.size(); ++i) {
    TESSALY_FUZZ_CHECK(ref.doc.BlockDefs[i].name == out.doc.BlockDefs[i].name, "a block name changed");
    CheckKept(ref.doc.BlockDefs[i], out.doc.BlockDefs[i], rules, "block definition " + std::to_string(i));
  }

  // A second conversion of the output.
  DissolveDimensions(out.doc, referencePoints);
  std::string again;
  try {
    StringSink s;
    out.doc.Write(s, out.doc.Version());
    again = std::move(s.bytes);
  } catch (const WriteError& e) {
    Broken("the output cannot be converted again", e.what());
  }
  out.Clean();
  const std::string_view first(reinterpret_cast<const char*>(written.data()), written.size());
  if (!everyWrite && !HasEveryWriteChange(first) && first != again) {
    std::size_t at = 0;
    while (at < first.size() && at < again.size() && first[at] == again[at]) ++at;
    Broken("a second conversion changes the file", "first difference at byte " + std::to_string(at));
  }
  CheckEmpty(OutDir());
}

}  // namespace
}  // namespace tessaly::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  const std::span<const std::uint8_t> input(data, size);
  const std::string_view head(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8));
  for (bool referencePoints : {true, false}) {
    if (head.starts_with(JwwFormat::kSignature)) {
      fuzz::Convert<fuzz::JwwKit>(input, referencePoints);
    } else if (head.starts_with(JwsFormat::kSignature)) {
      fuzz::Convert<fuzz::JwsKit>(input, referencePoints);
    }
  }
  fuzz::CheckEmpty(fuzz::WorkDir());
  return 0;
}

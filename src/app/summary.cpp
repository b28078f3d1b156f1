#include "app/summary.h"

#include <string>
#include <type_traits>

#include "app/display.h"
#include "app/document_files.h"
#include "io/page_warmer.h"
#include "io/path_text.h"
#include "jws/jws_data.h"
#include "jww/jww_data.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

struct Counts {
  long long kinds[8] = {};
  long long total = 0;
  void Add(const TEntityList& l) {
    for (const auto& e : l.EntityIndex) {
      if (e.kind >= kLine && e.kind <= kBlock) {
        ++kinds[e.kind];
        ++total;
      }
    }
  }
};

// "1 line", "2 lines".
Message Counted(long long n, Message one, Message many) {
  return std::move(n == 1 ? one : many).Set("n", n);
}

Message KindCount(int kind, long long n) {
  switch (kind) {
    case kLine: return Counted(n, Message("{n} line"), Message("{n} lines"));
    case kArc: return Counted(n, Message("{n} arc"), Message("{n} arcs"));
    case kPoint: return Counted(n, Message("{n} point"), Message("{n} points"));
    case kText: return Counted(n, Message("{n} text"), Message("{n} texts"));
    case kDimension: return Counted(n, Message("{n} dimension"), Message("{n} dimensions"));
    case kSolid: return Counted(n, Message("{n} solid"), Message("{n} solids"));
    default: return Counted(n, Message("{n} block insertion"), Message("{n} block insertions"));
  }
}

// "60 entities (25 lines, 7 arcs)".
Message Describe(const Counts& c) {
  Message parts;
  for (int k = kLine; k <= kBlock; ++k) {
    if (c.kinds[k] == 0) continue;
    parts = parts.empty() ? KindCount(k, c.kinds[k])
                          : Message("{list}, {next}").Set("list", std::move(parts)).Set("next", KindCount(k, c.kinds[k]));
  }
  Message entities = Counted(c.total, Message("{n} entity"), Message("{n} entities"));
  if (parts.empty()) return entities;
  return Message("{entities} ({parts})").Set("entities", std::move(entities)).Set("parts", std::move(parts));
}

class Lines {
 public:
  Lines(std::ostream& out, Language language) : out_(out), language_(language) {}
  void operator()(const Message& line) { out_ << Say(line, language_) << "\n"; }

 private:
  std::ostream& out_;
  Language language_;
};

void PrintLists(const TEntityLists& doc, Lines& say) {
  Counts main, defs;
  main.Add(doc);
  for (const auto& d : doc.BlockDefs) defs.Add(d);
  say(Message("  main list: {counts}").Set("counts", Describe(main)));
  Message blocks = doc.BlockDefCount() > 0 ? Message("  block definitions: {used} used / {all} in all, holding {counts}")
                                           : Message("  block definitions: {used} used / {all} in all");
  say(blocks.Set("used", static_cast<long long>(doc.UsedBlockDefCount))
          .Set("all", static_cast<long long>(doc.BlockDefCount()))
          .Set("counts", Describe(defs)));
  say(Message("  dimensions: {all} ({main} in the main list, {defs} in block definitions)")
          .Set("all", main.kinds[kDimension] + defs.kinds[kDimension])
          .Set("main", main.kinds[kDimension])
          .Set("defs", defs.kinds[kDimension]));
}

// What a format shows beyond its lists: a drawing's memo and embedded images.
void PrintOwn(const TJwsData&, Lines&) {}

void PrintOwn(TJwwData& doc, Lines& say) {
  if (!doc.Header.memo.empty()) say(Message("  memo: {memo}").Set("memo", ToDisplay(doc.Header.memo)));
}

void PrintTail(const TJwsData&, Lines&) {}

void PrintTail(TJwwData& doc, Lines& say) {
  if (doc.Version() < 700) return;
  const TBoundImages& images = doc.Images();
  say(Message("  embedded images: {n}").Set("n", static_cast<long long>(images.Entries.size())));
  for (const auto& img : images.Entries) {
    say(Message("    {name} ({size})")
            .Set("name", ToDisplay(img.name))
            .Set("size", Counted(img.size, Message("{n} byte"), Message("{n} bytes"))));
  }
}

// The images' data is not needed to summarise a drawing: it is dropped as it
// is read.
class DroppedImages final : public ImageStore {
 public:
  void Put(const std::string&, bool, std::span<const std::uint8_t>) override {}
  bool Has(const std::string&, bool) override { return false; }
  bool Get(const std::string&, bool, std::vector<std::uint8_t>&, Message& why) override {
    why = Message("not kept");
    return false;
  }
  void Forget(const std::vector<TBindImageType>&) override {}
};

// Loads `path` as a document of the format; nothing printed when the file is
// of another format.
template <typename Doc>
Failure Print(Doc& doc, const fs::path& path, FillHint& fill, Lines& say) {
  if (Failure f = LoadFile(doc, path, &fill)) return f;
  say(Message("{file}: {kind}, version {version}")
          .Set("file", PathToUtf8(path))
          .Set("kind", std::is_same_v<Doc, TJwwData> ? Message("JWW drawing") : Message("JWS figure"))
          .Set("version", static_cast<long long>(doc.Version())));
  PrintOwn(doc, say);
  PrintLists(doc, say);
  PrintTail(doc, say);
  return {};
}

}  // namespace

bool PrintSummary(const fs::path& path, Language language, std::ostream& out, std::ostream& err) {
  // A large drawing is read as a conversion reads it.
  PageWarmer warmer;
  DroppedImages dropped;
  TBoundImages images(dropped);
  TJwwData drawing(images);
  Lines say(out, language);
  Failure f = Print(drawing, path, warmer, say);
  if (f.code == FailureCode::kNotThisFormat) {
    TJwsData figure;
    f = Print(figure, path, warmer, say);
    if (f.code == FailureCode::kNotThisFormat) f.Say(Message("not a JWW drawing or JWS figure"));
  }
  if (f) err << PathToUtf8(path) << ": " << Say(f.message, language) << "\n";
  return !f;
}

}  // namespace tessaly

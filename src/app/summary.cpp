#include "app/summary.h"

#include <string>

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
std::string Counted(long long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Describe(const Counts& c) {
  static const char* kWord[] = {"",     "line",      "arc",   "point",
                                "text", "dimension", "solid", "block insertion"};
  static const char* kWords[] = {"",      "lines",      "arcs",   "points",
                                 "texts", "dimensions", "solids", "block insertions"};
  std::string s = Counted(c.total, "entity", "entities");
  std::string parts;
  for (int k = kLine; k <= kBlock; ++k) {
    if (c.kinds[k] == 0) continue;
    parts += (parts.empty() ? "" : ", ") + Counted(c.kinds[k], kWord[k], kWords[k]);
  }
  if (!parts.empty()) s += " (" + parts + ")";
  return s;
}

void PrintLists(const TEntityLists& doc, std::ostream& out) {
  Counts main, defs;
  main.Add(doc);
  for (const auto& d : doc.BlockDefs) defs.Add(d);
  out << "  main list: " << Describe(main) << "\n";
  out << "  block definitions: " << doc.UsedBlockDefCount << " used / " << doc.BlockDefCount()
      << " in all";
  if (doc.BlockDefCount() > 0) out << ", holding " << Describe(defs);
  out << "\n";
  out << "  dimensions: " << (main.kinds[kDimension] + defs.kinds[kDimension]) << " ("
      << main.kinds[kDimension] << " in the main list, " << defs.kinds[kDimension]
      << " in block definitions)\n";
}

// What a format shows beyond its lists: a drawing's memo and embedded images.
void PrintOwn(const TJwsData&, std::ostream&) {}

void PrintOwn(TJwwData& doc, std::ostream& out) {
  if (!doc.Header.memo.empty()) out << "  memo: " << ToDisplay(doc.Header.memo) << "\n";
}

void PrintTail(const TJwsData&, std::ostream&) {}

void PrintTail(TJwwData& doc, std::ostream& out) {
  if (doc.Version() < 700) return;
  const TBoundImages& images = doc.Images();
  out << "  embedded images: " << images.Entries.size() << "\n";
  for (const auto& img : images.Entries) {
    out << "    " << ToDisplay(img.name) << " (" << Counted(img.size, "byte", "bytes") << ")\n";
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
Failure Print(Doc& doc, const fs::path& path, FillHint& fill, std::ostream& out) {
  if (Failure f = LoadFile(doc, path, &fill)) return f;
  out << PathToUtf8(path) << ": " << Doc::FormatType::kNoun << ", version " << doc.Version() << "\n";
  PrintOwn(doc, out);
  PrintLists(doc, out);
  PrintTail(doc, out);
  return {};
}

}  // namespace

bool PrintSummary(const fs::path& path, std::ostream& out, std::ostream& err) {
  // A large drawing is read as a conversion reads it.
  PageWarmer warmer;
  DroppedImages dropped;
  TBoundImages images(dropped);
  TJwwData drawing(images);
  Failure f = Print(drawing, path, warmer, out);
  if (f.code == FailureCode::kNotThisFormat) {
    TJwsData figure;
    f = Print(figure, path, warmer, out);
    if (f.code == FailureCode::kNotThisFormat) {
      f.Say(Message("not a JWW drawing or JWS figure"));
    }
  }
  if (f) err << PathToUtf8(path) << ": " << f.text << "\n";
  return !f;
}

}  // namespace tessaly

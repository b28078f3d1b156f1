#include "app/summary.h"

#include <string>

#include "app/display.h"
#include "io/file_state.h"
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

template <typename Doc>
bool Print(Doc& doc, const fs::path& path, std::ostream& out, std::ostream& err) {
  const std::string name = PathToUtf8(path);
  if (!doc.Load(path)) {
    err << name << ": " << doc.Error() << "\n";
    return false;
  }
  out << name << ": " << Doc::FormatType::kNoun << ", version " << doc.Version() << "\n";
  PrintOwn(doc, out);
  PrintLists(doc, out);
  PrintTail(doc, out);
  return true;
}

}  // namespace

bool PrintSummary(const fs::path& path, const fs::path& workDir, std::ostream& out,
                  std::ostream& err) {
  if (TJwwData::IsJwwFile(path)) {
    TBoundImages images(workDir);
    TJwwData doc(images);
    return Print(doc, path, out, err);
  }
  if (TJwsData::IsJwsFile(path)) {
    TJwsData doc;
    return Print(doc, path, out, err);
  }
  const FileState st = Inspect(path);
  const std::string why = st.kind == FileState::kMissing  ? "no such file"
                          : st.kind == FileState::kUnknown ? st.error
                          : st.kind == FileState::kFolder  ? "is a folder"
                          : st.kind == FileState::kOther   ? "not a regular file"
                                                           : "not a " + std::string(JwwFormat::kNoun) +
                                                                 " or " + std::string(JwsFormat::kNoun);
  err << PathToUtf8(path) << ": " << why << "\n";
  return false;
}

}  // namespace tessaly

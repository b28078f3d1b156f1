#include "cli/info.h"

#include <string>

#include "jws/jws_data.h"
#include "jww/jww_data.h"
#include "text/display.h"

namespace tessaly::cli {
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

template <typename Doc>
void PrintLists(const Doc& doc, std::ostream& out) {
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

bool PrintFigure(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
  const std::string name = path.string();
  TJwsData doc;
  if (!doc.Load(path)) {
    err << name << ": " << doc.Error() << "\n";
    return false;
  }
  out << name << ": JWS figure, version " << doc.Version() << "\n";
  PrintLists(doc, out);
  return true;
}

}  // namespace

bool PrintInfo(const std::filesystem::path& path, const std::filesystem::path& workDir,
               std::ostream& out, std::ostream& err) {
  const std::string name = path.string();
  if (!TJwwData::IsJwwFile(path)) {
    if (TJwsData::IsJwsFile(path)) return PrintFigure(path, out, err);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    const char* why = !std::filesystem::exists(status)         ? "no such file"
                      : std::filesystem::is_directory(status)  ? "is a folder"
                      : !std::filesystem::is_regular_file(status) ? "not a regular file"
                                                                  : "not a JWW drawing or JWS figure";
    err << name << ": " << why << "\n";
    return false;
  }
  TBoundImages images(workDir);
  TJwwData doc(images);
  if (!doc.Load(path)) {
    err << name << ": " << doc.Error() << "\n";
    return false;
  }
  out << name << ": JWW drawing, version " << doc.Version() << "\n";
  if (!doc.Header.memo.empty()) out << "  memo: " << ToDisplay(doc.Header.memo) << "\n";
  PrintLists(doc, out);
  if (doc.Version() >= 700) {
    out << "  embedded images: " << images.Entries.size() << "\n";
    for (const auto& img : images.Entries) {
      out << "    " << ToDisplay(img.name) << " (" << Counted(img.size, "byte", "bytes") << ")\n";
    }
  }
  return true;
}

}  // namespace tessaly::cli

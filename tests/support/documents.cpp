#include "support/documents.h"

#include "app/run.h"
#include "jws/jws_data.h"
#include "jww/jww_data.h"

namespace tessaly::test {
namespace {

template <typename Doc>
std::int64_t Entries(Doc& doc, const std::filesystem::path& path, std::int32_t kind) {
  if (LoadFile(doc, path)) return -1;
  return EntriesOf(doc, kind);
}

}  // namespace

std::int64_t EntriesOf(const TEntityLists& doc, std::int32_t kind) {
  std::int64_t n = 0;
  auto count = [&](const TEntityList& l) {
    for (const auto& e : l.EntityIndex) n += e.kind == kind;
  };
  count(doc);
  for (const auto& d : doc.BlockDefs) count(d);
  return n;
}

std::int64_t EntriesIn(const std::filesystem::path& path, std::int32_t kind) {
  if (UpperExtension(path) == ".JWS") {
    TJwsData figure;
    return Entries(figure, path, kind);
  }
  MemoryImages store;
  TBoundImages images(store);
  TJwwData drawing(images);
  return Entries(drawing, path, kind);
}

std::int64_t DimensionsIn(const std::filesystem::path& path) { return EntriesIn(path, kDimension); }

}  // namespace tessaly::test

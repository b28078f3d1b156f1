#include "jws/jws_data.h"

#include <vector>

#include "jww/archive_reader.h"
#include "jww/archive_writer.h"
#include "jww/file_io.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

// Figures keep font names and texts whole, and their reader's class-name buffer
// holds 200 bytes. There is no lowest version: every version is read alike,
// with the version deciding only the layout of the entity bodies.
constexpr ReadRules JwsReadRules(std::int32_t version) {
  return ReadRules{version, /*textLimit=*/0, /*classNameLimit=*/TJwsData::kClassNameLimit};
}

void ReadJwsHeader(ArchiveReader& r, TJwsData& doc) {
  auto sig = r.bytes(TJwsData::kSignature.size());
  doc.Header.Signature.assign(reinterpret_cast<const char*>(sig.data()), sig.size());
  r.skip(TJwsData::kFillerSize);
  doc.Header.Version = r.i32();
  for (double& d : doc.Header.HeaderReals1) d = r.f64();
  for (auto& g : doc.LayerGroups) g.scale = r.f64();
  for (std::int32_t& i : doc.Header.HeaderInts) i = r.i32();
  for (double& d : doc.Header.HeaderReals2) d = r.f64();
}

void WriteJwsHeader(ArchiveWriter& w, const TJwsData& doc, std::int32_t version) {
  // The signature as read. A figure built in memory has none yet and gets the
  // figure signature.
  const std::string& sig = doc.Header.Signature;
  if (sig.size() >= TJwsData::kSignature.size()) {
    w.bytes(sig.data(), TJwsData::kSignature.size());
  } else {
    w.bytes(TJwsData::kSignature.data(), TJwsData::kSignature.size());
  }
  static const std::vector<std::uint8_t> kFiller(TJwsData::kFillerSize, 0x2E);
  w.bytes(kFiller.data(), kFiller.size());
  w.i32(version);
  for (double d : doc.Header.HeaderReals1) w.f64(d);
  for (const auto& g : doc.LayerGroups) w.f64(g.scale);
  for (std::int32_t i : doc.Header.HeaderInts) w.i32(i);
  for (double d : doc.Header.HeaderReals2) w.f64(d);
}

}  // namespace

bool TJwsData::IsJwsFile(const fs::path& path) {
  return FileStartsWith(path, kSignature);
}

std::int32_t TJwsData::WrittenVersion(std::int32_t version) {
  if (version <= 230) return 230;
  if (version == 300) return 351;
  return version;
}

void TJwsData::Clear() {
  Header = TJwsHeader{};
  LayerGroups = {};
  ClearLists();
  error_.clear();
}

bool TJwsData::Load(const fs::path& path) {
  Clear();
  return LoadStreamed(path, error_, [this](ArchiveReader& r) { return Parse(r); });
}

bool TJwsData::LoadFromMemory(std::span<const std::uint8_t> bytes) {
  Clear();
  ArchiveReader r(bytes);
  return Parse(r);
}

bool TJwsData::Parse(ArchiveReader& r) {
  bool ok = true;
  try {
    if (!r.startsWith(kSignature)) {
      error_ = "not a JWS figure";
      ok = false;
    } else {
      ReadJwsHeader(r, *this);
    }
  } catch (const FormatError& e) {
    error_ = std::string(e.what()) + " (header)";
    ok = false;
  }
  if (ok) {
    // The figure ends with the block-definition list; anything after it is
    // not read.
    try {
      ReadLists(r, JwsReadRules(Header.Version));
    } catch (const FormatError& e) {
      error_ = e.what();
      ok = false;
    } catch (const std::bad_alloc&) {
      error_ = "out of memory";
      ok = false;
    }
  }
  // Which definitions are in use is worked out from whatever was read, also
  // when the load failed half way.
  BuildBlockTree();
  return ok;
}

bool TJwsData::Save(const fs::path& path, std::int32_t version) {
  return SaveAtomically(path, error_, [&](ByteSink& out) { Write(out, version); });
}

void TJwsData::Write(ByteSink& sink, std::int32_t version) const {
  const std::int32_t target = WrittenVersion(version);
  ArchiveWriter w(sink);
  WriteJwsHeader(w, *this, target);
  // The same lists as a drawing's; the text entities of a figure lose the
  // "%temp%" of a leading "^@BM%temp%". Nothing follows the definitions, in any
  // version.
  WriteLists(w, WriteRules{target, Header.Version, /*rewriteTempImageRefs=*/true});
  w.Flush();
}

}  // namespace tessaly

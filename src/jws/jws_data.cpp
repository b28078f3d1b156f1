#include "jws/jws_data.h"

#include <vector>

#include "archive/reader.h"
#include "archive/writer.h"

namespace tessaly {
template class TDocument<JwsFormat>;

void JwsFormat::ReadHeader(ArchiveReader& r, Header& doc) {
  auto sig = r.bytes(kSignature.size());
  doc.Header.Signature.assign(reinterpret_cast<const char*>(sig.data()), sig.size());
  r.skip(kFillerSize);
  doc.Header.Version = r.i32();
  for (double& d : doc.Header.HeaderReals1) d = r.f64();
  for (auto& g : doc.LayerGroups) g.scale = r.f64();
  for (std::int32_t& i : doc.Header.HeaderInts) i = r.i32();
  for (double& d : doc.Header.HeaderReals2) d = r.f64();
}

void JwsFormat::WriteHeader(ArchiveWriter& w, const Header& doc, std::int32_t version) {
  // The signature as read. A figure built in memory has none yet and gets the
  // figure signature.
  const std::string& sig = doc.Header.Signature;
  if (sig.size() >= kSignature.size()) {
    w.bytes(sig.data(), kSignature.size());
  } else {
    w.bytes(kSignature.data(), kSignature.size());
  }
  static const std::vector<std::uint8_t> kFiller(kFillerSize, 0x2E);
  w.bytes(kFiller.data(), kFiller.size());
  w.i32(version);
  for (double d : doc.Header.HeaderReals1) w.f64(d);
  for (const auto& g : doc.LayerGroups) w.f64(g.scale);
  for (std::int32_t i : doc.Header.HeaderInts) w.i32(i);
  for (double d : doc.Header.HeaderReals2) w.f64(d);
}

}  // namespace tessaly

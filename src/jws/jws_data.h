// A JWS figure held whole in memory: a short header of its own, then a main
// entity list and the block definitions in exactly the layout of a drawing's
// lists. Figures have no memo, no drawing-wide tables and no embedded images.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "entities/document.h"
#include "entities/records.h"

namespace tessaly {

// The 452-byte header of a figure. Nothing in it is interpreted beyond the
// version; every value is kept and written back.
//
//   offset   0   7 bytes   signature "JwsData"
//   offset   7 193 bytes   filler, not read; written as "."
//   offset 200   int32     version
//   offset 204   2 doubles HeaderReals1
//   offset 220  16 doubles scale of layer groups 0 to 15 (LayerGroups)
//   offset 348   6 int32   HeaderInts
//   offset 372  10 doubles HeaderReals2
struct TJwsHeader {
  std::string Signature;  // the first 7 bytes of the file, as read
  std::int32_t Version = 0;
  std::array<double, 2> HeaderReals1{};
  std::array<std::int32_t, 6> HeaderInts{};
  std::array<double, 10> HeaderReals2{};
};

// Everything the header of a figure holds.
struct TJwsHeaderData {
  TJwsHeader Header;
  // Only the scale of each layer group is stored in a figure.
  std::array<TEntJwwLayerGroup, 16> LayerGroups{};
};

// What figures have of their own: the 452-byte header, texts and font names
// kept whole, a class-name buffer of 200 bytes, the "%temp%" of a leading
// "^@BM%temp%" dropped from text entities on writing, and two version rules.
// Nothing follows the block definitions.
struct JwsFormat {
  static constexpr std::string_view kSignature = "JwsData";
  static constexpr std::string_view kNoun = "JWS figure";
  static Message NotThisFormat() { return Message("not a JWS figure"); }
  static constexpr std::string_view kExtension = ".JWS";
  static constexpr std::string_view kBackupExtension = "._JWS";
  static constexpr std::size_t kHeaderSize = 452;
  static constexpr std::size_t kFillerSize = 193;
  // Longest class name a figure's reader takes (the size of its name buffer).
  static constexpr std::size_t kClassNameLimit = 200;

  using Header = TJwsHeaderData;
  using Tail = NoTail;

  static void ReadHeader(ArchiveReader& r, Header& h);
  static void WriteHeader(ArchiveWriter& w, const Header& h, std::int32_t version);
  static std::int32_t Version(const Header& h) { return h.Header.Version; }
  // There is no lowest version: every version is read alike, with the version
  // deciding only the layout of the entity bodies.
  static constexpr ReadRules ReadRulesFor(std::int32_t version) {
    return ReadRules{version, /*textLimit=*/0, /*classNameLimit=*/kClassNameLimit};
  }
  static constexpr WriteRules WriteRulesFor(std::int32_t written, std::int32_t read) {
    return WriteRules{written, read, /*rewriteTempImageRefs=*/true};
  }
  // 230 or lower becomes 230, exactly 300 becomes 351, every other stays.
  static constexpr std::int32_t WrittenVersion(std::int32_t version) {
    return version <= 230 ? 230 : version == 300 ? 351 : version;
  }
};

extern template class TDocument<JwsFormat>;

class TJwsData : public TDocument<JwsFormat> {
 public:
  static constexpr std::string_view kSignature = JwsFormat::kSignature;
  static constexpr std::size_t kHeaderSize = JwsFormat::kHeaderSize;

  TJwsData() = default;

  static constexpr std::int32_t WrittenVersion(std::int32_t version) {
    return JwsFormat::WrittenVersion(version);
  }
};

}  // namespace tessaly

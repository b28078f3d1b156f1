// A JWS figure held whole in memory: a short header of its own, then a main
// entity list and the block definitions in exactly the layout of a drawing's
// lists. Figures have no memo, no drawing-wide tables and no embedded images.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "jww/archive_writer.h"
#include "jww/entity_list.h"
#include "jww/header.h"

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

class TJwsData : public TEntityLists {
 public:
  static constexpr std::string_view kSignature = "JwsData";
  static constexpr std::size_t kHeaderSize = 452;
  static constexpr std::size_t kFillerSize = 193;
  // Longest class name a figure's reader takes (the size of its name buffer).
  static constexpr std::size_t kClassNameLimit = 200;

  TJwsHeader Header;
  // Only the scale of each layer group is stored in a figure.
  std::array<TEntJwwLayerGroup, 16> LayerGroups{};

  // True when the file is a regular file that begins with "JwsData" (whatever
  // follows).
  static bool IsJwsFile(const std::filesystem::path& path);

  // The version a figure is written with when `version` is asked for: 230 or
  // lower becomes 230, exactly 300 becomes 351, every other stays.
  static std::int32_t WrittenVersion(std::int32_t version);

  // Clears the figure and reads the whole file. On false, Error() says why; what
  // was read stays in the figure until the next Clear, and the block definitions
  // in use are worked out from it all the same.
  bool Load(const std::filesystem::path& path);
  bool LoadFromMemory(std::span<const std::uint8_t> bytes);

  // Writes the figure with WrittenVersion(version): to a temporary file beside
  // the target, flushed and renamed over it only when everything was written.
  bool Save(const std::filesystem::path& path, std::int32_t version);
  // Writes the figure to a sink with WrittenVersion(version); throws WriteError.
  void Write(ByteSink& sink, std::int32_t version) const;

  void Clear();

  std::int32_t Version() const { return Header.Version; }
  const std::string& Error() const { return error_; }

 private:
  bool Parse(ArchiveReader& r);

  std::string error_;
};

}  // namespace tessaly

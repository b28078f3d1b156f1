// A JWW drawing held whole in memory: the header, the main entity list, the
// block definitions, and the images embedded in the file (as working files).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "jww/archive_writer.h"
#include "jww/entity_list.h"
#include "jww/header.h"
#include "jww/images.h"

namespace tessaly {

class ArchiveReader;
class ArchiveWriter;

class TJwwData : public TJwwHeaderData, public TEntityLists {
 public:
  static constexpr std::string_view kSignature = "JwwData.";

  // The document extracts embedded images into `images`' working folder and
  // records them there; the writer embeds them again from it.
  explicit TJwwData(TBoundImages& images) : images_(images) {}

  // True when the file is a regular file that begins with "JwwData.".
  static bool IsJwwFile(const std::filesystem::path& path);

  // Clears the document and reads the whole file. On false, Error() says why;
  // what was read stays in the document until the next Clear.
  bool Load(const std::filesystem::path& path);
  bool LoadFromMemory(std::span<const std::uint8_t> bytes);

  // Writes the drawing in `version`'s layout: to a temporary file beside the
  // target, flushed and renamed over it only when everything was written.
  bool Save(const std::filesystem::path& path, std::int32_t version);
  // Writes the drawing to a sink; throws WriteError.
  void Write(ByteSink& sink, std::int32_t version);

  void Clear();

  std::int32_t Version() const { return Header.version; }
  const std::string& Error() const { return error_; }
  TBoundImages& Images() { return images_; }

 private:
  bool Parse(ArchiveReader& r);
  void ReadImages(ArchiveReader& r);
  void WriteImages(ArchiveWriter& w);

  TBoundImages& images_;
  std::string error_;
};

}  // namespace tessaly

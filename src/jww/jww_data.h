// A JWW drawing held whole in memory: the header, the main entity list, the
// block definitions, and the images embedded in the file (as working files).
#pragma once

#include <cstdint>
#include <string_view>

#include "entities/document.h"
#include "jww/header.h"
#include "jww/images.h"

namespace tessaly {

// What drawings have of their own: the header, a 255-byte limit on texts and
// font names, and from version 700 on the embedded images after the lists.
struct JwwFormat {
  static constexpr std::string_view kSignature = "JwwData.";
  static constexpr std::string_view kNoun = "JWW drawing";
  static Message NotThisFormat() { return Message("not a JWW drawing"); }
  static constexpr std::string_view kExtension = ".JWW";
  static constexpr std::string_view kBackupExtension = "._JWW";

  using Header = TJwwHeaderData;

  // The embedded images: handed to the images' store on reading, embedded
  // again from it on writing (those that a text still refers to).
  class Tail {
   public:
    explicit Tail(TBoundImages& images) : images_(images) {}
    void Read(ArchiveReader& r, std::int32_t version);
    void Write(ArchiveWriter& w, std::int32_t version, const TEntityLists& lists) const;
    TBoundImages& Images() const { return images_; }

   private:
    TBoundImages& images_;
  };

  static void ReadHeader(ArchiveReader& r, Header& h) { ::tessaly::ReadHeader(r, h); }
  static void WriteHeader(ArchiveWriter& w, const Header& h, std::int32_t version) {
    ::tessaly::WriteHeader(w, h, version);
  }
  static std::int32_t Version(const Header& h) { return h.Header.version; }
  static constexpr ReadRules ReadRulesFor(std::int32_t version) {
    return ReadRules{version, /*textLimit=*/255, /*classNameLimit=*/2048};
  }
  static constexpr WriteRules WriteRulesFor(std::int32_t written, std::int32_t read) {
    return WriteRules{written, read, /*rewriteTempImageRefs=*/false};
  }
  // A drawing is written in the version asked for.
  static constexpr std::int32_t WrittenVersion(std::int32_t version) { return version; }
};

extern template class TDocument<JwwFormat>;

class TJwwData : public TDocument<JwwFormat> {
 public:
  static constexpr std::string_view kSignature = JwwFormat::kSignature;

  // The document lists the embedded images in `images` and hands their data
  // to its store; the writer embeds them again from there.
  explicit TJwwData(TBoundImages& images) : TDocument(images) {}

  TBoundImages& Images() { return tail().Images(); }
};

}  // namespace tessaly

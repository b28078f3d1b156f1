// The two formats, for the tests that hold for both: a traits type per format,
// for GoogleTest's typed tests (TYPED_TEST_SUITE(Suite, Formats, FormatNames)).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "dissolve/dissolve.h"
#include "jws/jws_data.h"
#include "jww/jww_data.h"
#include "support/documents.h"
#include "support/drawing_builder.h"

namespace tessaly::test {

struct Drawing {
  using Format = JwwFormat;
  static constexpr const char* kName = "Drawing";
  static constexpr const char* kCorpus = "jww";  // the real files' folder in the corpus
  static constexpr const char* kBadSignature = "JwwDat is not the signature";
  // Versions to build the sample in: the header's layouts and the lists'.
  static constexpr std::array<std::int32_t, 7> kVersions = {220, 230, 300, 351, 420, 600, 700};
  // A drawing with a store for its embedded images in memory.
  struct Kit {
    MemoryImages store;
    TBoundImages images{store};
    TJwwData doc{images};
  };
  static void Make(const std::filesystem::path& p, int dimensions, std::int32_t version = 600) {
    draw::MakeDrawing(p, dimensions, version);
  }
};

struct Figure {
  using Format = JwsFormat;
  static constexpr const char* kName = "Figure";
  static constexpr const char* kCorpus = "jws";
  // A drawing is not a figure.
  static constexpr const char* kBadSignature = "JwwData. is a drawing's signature";
  // 200 and 300 are written as 230 and 351.
  static constexpr std::array<std::int32_t, 7> kVersions = {200, 230, 300, 351, 420, 600, 700};
  struct Kit {
    TJwsData doc;
  };
  static void Make(const std::filesystem::path& p, int dimensions, std::int32_t version = 600) {
    draw::MakeFigure(p, dimensions, version);
  }
};

using Formats = testing::Types<Drawing, Figure>;

struct FormatNames {
  template <typename F>
  static std::string GetName(int) {
    return F::kName;
  }
};

// A file of the format: the stem and the extension in lower case ("a.jww").
template <typename F>
std::string FileName(std::string_view stem) {
  std::string name(stem);
  for (char c : F::Format::kExtension)
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Its backup ("a._JWW").
template <typename F>
std::string BackupName(std::string_view stem) {
  return std::string(stem) + std::string(F::Format::kBackupExtension);
}

// The reason a load gives for the bytes of another format.
template <typename F>
std::string NotA() {
  return "not a " + std::string(F::Format::kNoun);
}

// The longest value a text of the format keeps: a drawing cuts its texts, a
// figure keeps them whole (400 bytes stand for that).
template <typename F>
std::size_t LongestText() {
  const std::size_t limit = F::Format::ReadRulesFor(600).textLimit;
  return limit != 0 ? limit : 400;
}

// What converting a file must write: the document read, dissolved and written
// in the version it was read with.
template <typename F>
std::string ConvertedBytes(const std::filesystem::path& source, bool referencePoints) {
  typename F::Kit k;
  EXPECT_TRUE(Loads(k.doc, source));
  DissolveDimensions(k.doc, referencePoints);
  return Written(k.doc, k.doc.Version());
}

}  // namespace tessaly::test

// One file format's steps, as a run uses them on one reusable document: load
// from a file, dissolve, write to a sink, clear. The run knows the formats only
// through this.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <utility>

#include "app/document_files.h"
#include "app/failure.h"
#include "dissolve/dissolve.h"
#include "entities/entity_list.h"

namespace tessaly {

class FormatPipeline {
 public:
  virtual ~FormatPipeline() = default;

  // The upper-cased extension of the files it takes (".JWW").
  virtual std::string_view Extension() const = 0;
  // The extension that replaces the target's for its backup ("._JWW").
  virtual std::string_view BackupExtension() const = 0;
  // What a file of this format is, for messages ("JWW drawing").
  virtual std::string_view Noun() const = 0;

  // Reads the whole file into the document (the signature checked first, and
  // only there); `fill` is told how the lists fill.
  virtual Failure Load(const std::filesystem::path& path, FillHint* fill) = 0;
  virtual TEntityLists& Lists() = 0;
  // The version of the file loaded (the one it is written back in).
  virtual std::int32_t Version() const = 0;
  virtual DissolveResult Dissolve(bool drawReferencePoints) = 0;
  // Writes the document in the version it was read with; throws WriteError.
  virtual void Write(ByteSink& sink) = 0;
  virtual void Clear() = 0;
};

// The pipeline of a document class: its format type says the extensions and
// the noun, the document reads, writes (in the version it was read with, by
// its format's rules: a figure read as 300 is written as 351, say) and clears.
template <typename Doc>
class DocumentPipeline final : public FormatPipeline {
 public:
  using Format = typename Doc::FormatType;

  // `args` construct the document.
  template <typename... Args>
  explicit DocumentPipeline(Args&&... args) : doc_(std::forward<Args>(args)...) {}

  std::string_view Extension() const override { return Format::kExtension; }
  std::string_view BackupExtension() const override { return Format::kBackupExtension; }
  std::string_view Noun() const override { return Format::kNoun; }
  Failure Load(const std::filesystem::path& path, FillHint* fill) override {
    return LoadFile(doc_, path, fill);
  }
  TEntityLists& Lists() override { return doc_; }
  std::int32_t Version() const override { return doc_.Version(); }
  DissolveResult Dissolve(bool drawReferencePoints) override {
    return DissolveDimensions(doc_, drawReferencePoints);
  }
  void Write(ByteSink& sink) override { doc_.Write(sink, doc_.Version()); }
  void Clear() override { doc_.Clear(); }

  Doc& Document() { return doc_; }

 private:
  Doc doc_;
};

}  // namespace tessaly

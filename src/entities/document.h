// One skeleton for the documents of both formats: a header of the format's own,
// then the main entity list and the block definitions, then whatever the format
// keeps after them. Reading, writing and clearing exist once; a small format type
// says what differs:
//
//   kSignature, kNoun, kExtension, kBackupExtension
//   Header                     the header's values, a base of the document
//   Tail                       what follows the lists (made from the document's
//                              constructor arguments): Read(r, version) and
//                              Write(w, version, lists) const
//   ReadHeader(r, header), WriteHeader(w, header, version), Version(header)
//   ReadRulesFor(version)      how the lists of a file of that version are read
//   WriteRulesFor(written, read)
//   WrittenVersion(version)    the version a file asked for is written with
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "archive/reader.h"
#include "archive/writer.h"
#include "entities/entity_list.h"
#include "io/files.h"
#include "io/page_warmer.h"

namespace tessaly {

// Parses a file with `parse` (bool(ArchiveReader&)) while it is being read: only
// the piece being parsed is in memory, never the whole file beside the document.
template <typename ParseFn>
bool LoadStreamed(const std::filesystem::path& path, std::string& error, ParseFn&& parse) {
  FileStream stream;
  if (!stream.Open(path, error)) return false;
  if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
    if (stream.size() > SIZE_MAX) {
      error = "file too large to read";
      return false;
    }
  }
  bool ok = false;
  {
    // Done reading (ahead, too) before the stream is finished.
    ArchiveReader r(stream, static_cast<std::size_t>(stream.size()));
    ok = parse(r);
  }
  std::string why;
  if (!stream.Finish(ok, why) && ok) {
    error = why;
    ok = false;
  }
  return ok;
}

template <typename Format>
class TDocument : public Format::Header, public TEntityLists {
 public:
  using FormatType = Format;
  using HeaderType = typename Format::Header;

  template <typename... Args>
  explicit TDocument(Args&&... args) : tail_(std::forward<Args>(args)...) {}

  // True when the file is a regular file that begins with the signature.
  static bool IsFile(const std::filesystem::path& path) {
    return FileStartsWith(path, Format::kSignature);
  }

  // Clears the document and reads the whole file. On false, Error() says why;
  // what was read stays in the document until the next Clear, and the block
  // definitions in use are worked out from it all the same.
  bool Load(const std::filesystem::path& path) {
    Clear();
    return LoadStreamed(path, error_, [this](ArchiveReader& r) { return Parse(r); });
  }
  bool LoadFromMemory(std::span<const std::uint8_t> bytes) {
    Clear();
    ArchiveReader r(bytes);
    return Parse(r);
  }

  // Writes the document with WrittenVersion(version): to a temporary file beside
  // the target, flushed and renamed over it only when everything was written.
  bool Save(const std::filesystem::path& path, std::int32_t version) {
    return SaveAtomically(path, error_, [&](ByteSink& out) { Write(out, version); });
  }
  // Writes the document to a sink with WrittenVersion(version); throws WriteError.
  void Write(ByteSink& sink, std::int32_t version) const {
    const std::int32_t v = Format::WrittenVersion(version);
    ArchiveWriter w(sink, std::size_t{1} << 20, /*behind=*/true);
    Format::WriteHeader(w, header(), v);
    WriteLists(w, Format::WriteRulesFor(v, Version()));
    tail_.Write(w, v, *this);
    w.Flush();
  }

  void Clear() {
    // Assigned from one empty header rather than a new one each time: a
    // drawing's header holds 562 strings, and a run clears it twice per file.
    static const HeaderType kEmpty{};
    header() = kEmpty;
    ClearLists();
    error_.clear();
  }

  std::int32_t Version() const { return Format::Version(header()); }
  const std::string& Error() const { return error_; }

 protected:
  typename Format::Tail& tail() { return tail_; }

 private:
  HeaderType& header() { return *this; }
  const HeaderType& header() const { return *this; }

  bool Parse(ArchiveReader& r) {
    bool ok = true;
    try {
      if (!r.startsWith(Format::kSignature)) {
        error_ = "not a " + std::string(Format::kNoun);
        return false;
      }
      Format::ReadHeader(r, header());
    } catch (const FormatError& e) {
      error_ = std::string(e.what()) + " (header)";
      return false;
    }
    try {
      ReadRules rules = Format::ReadRulesFor(Version());
      rules.warmer = &warmer_;
      ReadLists(r, rules);
      warmer_.Cancel();
      tail_.Read(r, Version());
    } catch (const FormatError& e) {
      error_ = e.what();
      ok = false;
    } catch (const WriteError& e) {
      error_ = e.what();
      ok = false;
    } catch (const std::bad_alloc&) {
      error_ = "out of memory";
      ok = false;
    }
    warmer_.Cancel();  // what it has not reached yet will not be filled
    // Which definitions are in use is worked out from whatever was read, also
    // when the load failed half way.
    try {
      BuildBlockTree();
    } catch (const std::bad_alloc&) {
      BlockTree = {};
      error_ = "out of memory";
      ok = false;
    }
    return ok;
  }

  typename Format::Tail tail_;
  std::string error_;
  PageWarmer warmer_;
};

// What a format without anything after its lists keeps there.
struct NoTail {
  void Read(ArchiveReader&, std::int32_t) {}
  void Write(ArchiveWriter&, std::int32_t, const TEntityLists&) const {}
};

}  // namespace tessaly

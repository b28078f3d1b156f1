// One skeleton for the documents of both formats: a header of the format's own,
// then the main entity list and the block definitions, then whatever the format
// keeps after them. Reading, writing and clearing exist once; a small format type
// says what differs:
//
//   kSignature, kNoun, kExtension, kBackupExtension, NotThisFormat()
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
#include <new>
#include <span>
#include <string>
#include <utility>

#include "archive/reader.h"
#include "archive/writer.h"
#include "entities/entity_list.h"

namespace tessaly {

// What a load found, as pugixml's parse result says it: ok, or what failed,
// at which byte offset, in which record, with the message a person reads.
struct LoadResult {
  enum class Status : std::uint8_t {
    kOk,
    kNotThisFormat,  // the bytes begin with another signature
    kTooOld,         // a version older than the oldest the format knows
    kNoLayout,       // a version whose header has no defined layout
    kTruncated,      // the bytes end early
    kMalformed,      // a value the format does not allow
    kUnreadable,     // the source could not give its bytes (`system` says why)
    kImages,         // an embedded image could not be kept (`system` says why)
    kTooLarge,       // more bytes than this machine can address
    kOutOfMemory,
  };

  Status status = Status::kOk;
  std::size_t offset = 0;  // where the failure was found
  std::string record;      // the record it was found in ("header", "main list, entity 3 of 10, line")
  std::string system;      // the system's words, for a failure of the system
  std::string message;     // the whole reason, in English
  Message reason;          // the same in words of any language

  explicit operator bool() const { return status == Status::kOk; }
  bool ok() const { return status == Status::kOk; }

  static LoadResult From(const FormatError& e) {
    static constexpr Status kOf[] = {Status::kTruncated, Status::kMalformed, Status::kUnreadable,
                                     Status::kTooOld, Status::kNoLayout};
    return {kOf[static_cast<int>(e.kind())], e.offset(), e.record().English(), e.system(), e.what(), e.Whole()};
  }
  static LoadResult Failed(Status status, std::size_t offset, Message reason, std::string system = {}) {
    std::string message = reason.English();
    return {status, offset, {}, std::move(system), std::move(message), std::move(reason)};
  }
};

template <typename Format>
class TDocument : public Format::Header, public TEntityLists {
 public:
  using FormatType = Format;
  using HeaderType = typename Format::Header;

  template <typename... Args>
  explicit TDocument(Args&&... args) : tail_(std::forward<Args>(args)...) {}

  // Clears the document and reads `size` bytes from `source` as they are parsed:
  // only the window being parsed is in memory, never the whole file beside the
  // document. `fill`, when given, is told how the arrays fill. On failure what
  // was read stays in the document until the next Clear, and the block
  // definitions in use are worked out from it all the same.
  LoadResult Load(ByteSource& source, std::uint64_t size, FillHint* fill = nullptr) {
    Clear();
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
      if (size > SIZE_MAX) return LoadResult::Failed(LoadResult::Status::kTooLarge, 0, Message("file too large to read"));
    }
    ArchiveReader r(source, static_cast<std::size_t>(size));
    return Parse(r, fill);
  }
  // The same from bytes in memory.
  LoadResult Load(std::span<const std::uint8_t> bytes) {
    Clear();
    ArchiveReader r(bytes);
    return Parse(r, nullptr);
  }

  // Writes the document to a sink with WrittenVersion(version); throws WriteError.
  void Write(ByteSink& sink, std::int32_t version) const {
    const std::int32_t v = Format::WrittenVersion(version);
    ArchiveWriter w(sink);
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
  }

  std::int32_t Version() const { return Format::Version(header()); }

 protected:
  typename Format::Tail& tail() { return tail_; }

 private:
  HeaderType& header() { return *this; }
  const HeaderType& header() const { return *this; }

  LoadResult Parse(ArchiveReader& r, FillHint* fill) {
    LoadResult result;
    try {
      if (!r.startsWith(Format::kSignature)) {
        return LoadResult::Failed(LoadResult::Status::kNotThisFormat, 0, Format::NotThisFormat());
      }
      Format::ReadHeader(r, header());
    } catch (const FormatError& e) {
      return LoadResult::From(e.In(Message("header")));
    }
    // Whatever ends the lists, the hint stops: what it has not reached yet
    // will not be filled.
    struct Done {
      FillHint* hint;
      ~Done() {
        if (hint) hint->Done();
      }
    };
    try {
      ReadRules rules = Format::ReadRulesFor(Version());
      rules.fill = fill;
      {
        Done done{fill};
        ReadLists(r, rules);
      }
      tail_.Read(r, Version());
    } catch (const FormatError& e) {
      result = LoadResult::From(e);
    } catch (const WriteError& e) {
      result = LoadResult::Failed(LoadResult::Status::kImages, r.offset(), e.message(), e.system());
    } catch (const std::bad_alloc&) {
      result = LoadResult::Failed(LoadResult::Status::kOutOfMemory, r.offset(), Message("out of memory"));
    }
    // Which definitions are in use is worked out from whatever was read, also
    // when the load failed half way.
    try {
      BuildBlockTree();
    } catch (const std::bad_alloc&) {
      BlockTree = {};
      result = LoadResult::Failed(LoadResult::Status::kOutOfMemory, r.offset(), Message("out of memory"));
    }
    return result;
  }

  typename Format::Tail tail_;
};

// What a format without anything after its lists keeps there.
struct NoTail {
  void Read(ArchiveReader&, std::int32_t) {}
  void Write(ArchiveWriter&, std::int32_t, const TEntityLists&) const {}
};

}  // namespace tessaly

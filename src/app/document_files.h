// The driver's side of the core's ports: the file a document is read from,
// opened here and handed to the document as a source that reads ahead beside
// the parse, and the file it is written to, beside its target and put in place
// only once every byte is on disk. The documents themselves never open a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <utility>

#include "app/failure.h"
#include "archive/ports.h"
#include "entities/document.h"
#include "io/files.h"
#include "io/overlap.h"

namespace tessaly {

// A file opened for a load. Its failures say what the path names when it is
// not a file that can be read (no such file, a folder, ...).
class SourceFile {
 public:
  static Result<std::unique_ptr<SourceFile>> Open(const std::filesystem::path& path);

  // Read in order, the next piece read ahead while this one is parsed.
  ByteSource& Source() { return ahead_; }
  std::uint64_t Size() const { return stream_.size(); }
  // Ends the reading. With `whole`, the rest is read and the file must have
  // kept its size: another program that changed it meanwhile fails the load.
  Failure Finish(bool whole);
  // Another program changed the file while it was read.
  bool Changed() const { return stream_.Changed(); }

 private:
  explicit SourceFile(const std::filesystem::path& path) : path_(path) {}

  std::filesystem::path path_;
  FileStream stream_;
  ReadingAhead ahead_{stream_};  // after the stream: gone before it
};

// Loads a document from a file; `fill` is told how the lists fill. On failure
// what was read stays in the document until its next Clear.
template <typename Doc>
Failure LoadFile(Doc& doc, const std::filesystem::path& path, FillHint* fill = nullptr) {
  auto file = SourceFile::Open(path);
  if (!file) return file.failure();
  LoadResult load;
  try {
    load = doc.Load((*file)->Source(), (*file)->Size(), fill);
  } catch (const std::bad_alloc&) {
    load = LoadResult::Failed(LoadResult::Status::kOutOfMemory, 0, Message("out of memory"));
  }
  Failure end = (*file)->Finish(load.ok());
  if (load.ok()) return end;
  Failure f = LoadFailure(load, path);
  if (f.code == FailureCode::kUnreadable && (*file)->Changed()) f.code = FailureCode::kChangedWhileRead;
  return f;
}

// Writes a file beside `path` that is to replace it: `write(ByteSink&)` makes
// the bytes, a thread of its own hands them to the file (behind `filter`, when
// set). The answer is the file, complete but not yet in place: its Commit puts
// it there, and without one it goes. Throws WriteError; `path` is as it was.
template <typename WriteFn>
std::unique_ptr<AtomicFile> WriteBeside(const std::filesystem::path& path, WriteFn&& write,
                                        const SinkFilter& filter = {}) {
  auto out = std::make_unique<AtomicFile>(path);
  std::unique_ptr<ByteSink> filtered = filter ? filter(*out, out->Target()) : nullptr;
  WritingBehind behind(filtered ? *filtered : *out);
  write(static_cast<ByteSink&>(behind));
  return out;
}

// The same, put in place at once: `path` is replaced only once the file is
// complete and on disk.
template <typename WriteFn>
void WriteFileAtomically(const std::filesystem::path& path, WriteFn&& write,
                         const SinkFilter& filter = {}) {
  WriteBeside(path, std::forward<WriteFn>(write), filter)->Commit();
}

// Saves a document in `version` (as its format writes that version).
template <typename Doc>
Failure SaveFile(const Doc& doc, const std::filesystem::path& path, std::int32_t version) {
  try {
    WriteFileAtomically(path, [&](ByteSink& out) { doc.Write(out, version); });
  } catch (const WriteError& e) {
    return WriteFailure(e, FileRole::kTarget, path);
  } catch (const std::bad_alloc&) {
    return OutOfMemory(path);
  }
  return {};
}

}  // namespace tessaly

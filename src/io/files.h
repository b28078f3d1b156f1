// The file operations a conversion needs: a file read in order as it is parsed,
// a whole file read into memory, and an output that replaces its target only
// once everything was written and flushed.
#pragma once

#include <cstdint>
#include <memory>
#include <filesystem>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "archive/ports.h"

namespace tessaly {

// Owns a file descriptor (a handle on Windows; -1 is none on both) and closes it.
class UniqueFd {
 public:
  explicit UniqueFd(std::intptr_t fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  std::intptr_t get() const { return fd_; }

 private:
  std::intptr_t fd_;
};

// Reads a whole regular file. On failure answers false and says why.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out, Message& error);

// A regular file read from its start to its end, a piece at a time: the reader
// of a large drawing holds only the piece it is parsing.
class FileStream : public ByteSource {
 public:
  FileStream() = default;
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Opens the file; false with the reason when it cannot.
  bool Open(const std::filesystem::path& path, Message& error);
  // The size the file had when it was opened; reading never goes beyond it.
  std::uint64_t size() const { return size_; }
  // Fewer than n bytes only at that size, or when the file could not be read
  // (Why says why: it became shorter, or the system's reason).
  std::size_t Read(std::uint8_t* into, std::size_t n) override;
  Message Why() const override { return error_; }
  // Ends the reading and closes the file. With `whole`, reads what is left and
  // answers false with the reason when the file could not be read whole or
  // changed its size meanwhile.
  bool Finish(bool whole, Message& error);
  // The reason of a failed read or Finish was another program changing the
  // file, not the system failing to read it.
  bool Changed() const { return changed_; }

 private:
  void Close();

  std::intptr_t file_ = -1;  // a handle on Windows
  std::uint64_t size_ = 0;
  std::uint64_t got_ = 0;
  Message error_;
  bool changed_ = false;
};

// Folders whose new entries are flushed to disk once for many files, at the end
// of a run, instead of once after every file put in place.
class FolderFlushes {
 public:
  void Add(const std::filesystem::path& folder);
  // Flushes each folder once and forgets them.
  void FlushAll();

 private:
  std::vector<std::filesystem::path> folders_;
};

// Writes to a temporary file beside the target. Finish flushes it to disk and
// closes it; Commit then renames it over the target and flushes the folder. Until
// Commit the target keeps its contents, and a writer destroyed without Commit
// removes its temporary file, so a run can prepare several files and put them in
// place only when all of them were written. A target that is a symbolic link is
// replaced at the file it points to; the replaced file keeps its permission bits.
// A target whose write bits are all clear is refused, as is one that is not a
// regular file.
class AtomicFile : public ByteSink {
 public:
  explicit AtomicFile(const std::filesystem::path& target);  // throws WriteError
  ~AtomicFile() override;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(const std::uint8_t* data, std::size_t n) override;  // throws WriteError
  // The modification time the file gets (seconds and nanoseconds since 1970).
  void SetModificationTime(std::int64_t seconds, std::int64_t nanoseconds);  // throws WriteError
  // At least the owner may write the file once it is in place.
  void MakeWritable();  // throws WriteError
  void Finish();        // throws WriteError
  void Commit();        // Finish when not done yet; throws WriteError
  // Commit with the folder's flush left to `later` (where the folder need not
  // be flushed before the next step: the file's contents are on disk, and until
  // the folder is flushed a crash can only bring back the file it replaced).
  void Commit(FolderFlushes& later);

  // The file that Commit replaces (a link resolved).
  const std::filesystem::path& Target() const { return target_; }

 private:
  void Discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::intptr_t fd_ = -1;  // a handle on Windows
  bool finished_ = false;
  std::uint64_t written_ = 0;
  std::uint64_t started_ = 0;  // written up to here is on its way to disk
};

// Puts a sink in front of a file being written (the converted file, or the
// backup of the target); tests give one that fails. Null: none.
using SinkFilter = std::function<std::unique_ptr<ByteSink>(ByteSink& file,
                                                           const std::filesystem::path& target)>;

// Writes `write`'s bytes to `target` through an AtomicFile. On failure answers
// false with the reason; the target is then as it was.
template <typename WriteFn>
bool SaveAtomically(const std::filesystem::path& target, std::string& error, WriteFn&& write) {
  error.clear();
  try {
    AtomicFile out(target);
    write(static_cast<ByteSink&>(out));
    out.Commit();
    return true;
  } catch (const WriteError& e) {
    error = e.what();
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  return false;
}

// A copy of a whole regular file into a temporary file beside the destination,
// flushed to disk and left writable, that is not yet in place: Commit on the
// answer renames it over the destination. Until then, and whenever the copy
// fails, the destination keeps its contents; a copy that is never committed
// leaves no file. A destination whose write bits are all clear (an old read-only
// backup) is refused, also for a user whom the system would let write it. With
// `keepTime` the copy takes the source's modification time. `filter`, when set,
// is put in front of the destination. Without `flush` the copy is flushed by
// its Commit (or Finish) instead. Throws WriteError (step kRead when the source
// cannot be read).
std::unique_ptr<AtomicFile> PrepareCopy(const std::filesystem::path& source,
                                        const std::filesystem::path& dest, bool keepTime,
                                        const SinkFilter& filter = {}, bool flush = true);

// Writes a whole file, replacing an older file of that name but never following
// a link, readable by its owner only; on failure removes what it wrote and
// throws WriteError.
void WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data);

// Deletes a file unless it is a folder; failures are ignored.
void RemoveFileQuietly(const std::filesystem::path& path);

// Flushes a file's or a folder's contents to disk.
bool SyncPath(const std::filesystem::path& path);

std::string ErrnoText(int err);

// A failure of the system at `step` on `file`: `what` says it in words ({file}
// names the file), and the system's own words, when there are any, follow
// after a colon.
WriteError SystemFailure(WriteError::Step step, const std::filesystem::path& file, Message what,
                         const std::string& system = {});

}  // namespace tessaly

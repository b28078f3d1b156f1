// The few file operations the formats need: a whole file read into memory, and an
// output that replaces its target only once everything was written and flushed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <new>
#include <string>
#include <vector>

#include "jww/archive_writer.h"

namespace tessaly {

// Owns a file descriptor and closes it.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads a whole regular file. On failure answers false and says why.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out, std::string& error);

// True when the file is a regular file whose first bytes are `signature`. Never
// waits on a named pipe or a device.
bool FileStartsWith(const std::filesystem::path& path, std::string_view signature);

// Writes to a temporary file beside the target; Commit flushes it to disk and
// renames it over the target, then flushes the folder. Until then the target
// keeps its contents, and a writer destroyed without Commit removes its
// temporary file. A target that is a symbolic link is replaced at the file it
// points to; the replaced file keeps its permission bits. A target whose write
// bits are all clear is refused, as is one that is not a regular file.
class AtomicFile : public ByteSink {
 public:
  explicit AtomicFile(const std::filesystem::path& target);  // throws WriteError
  ~AtomicFile() override;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(const std::uint8_t* data, std::size_t n) override;  // throws WriteError
  void Commit();                                                  // throws WriteError

 private:
  void Discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  std::uint64_t written_ = 0;
};

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

// Makes every AtomicFile fail once this many bytes have been written to it, to
// test what a failure half way leaves behind. Tests only.
void SetWriteFailureAfterForTesting(std::optional<std::uint64_t> bytes);

// Asks the system to back a large, not yet touched block of memory with huge
// pages, which makes filling it at once (as a read does) much cheaper. A hint
// only: nothing happens where the system does not offer it or the block is
// small. Not for arrays that fill bit by bit: there the system may stop to make
// room for huge pages more often than it gains.
void AdviseHugePages(const void* data, std::size_t bytes);

// Flushes a file's or a folder's contents to disk.
bool SyncPath(const std::filesystem::path& path);

std::string ErrnoText(int err);

}  // namespace tessaly

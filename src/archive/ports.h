// What the core asks of the world outside it: where bytes come from and where
// they go, and a hint that memory is about to be filled. The core declares
// these and never opens a file or starts a thread itself; io implements them
// for files (with reading ahead, writing behind and page warming on threads of
// their own), tests and tools in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "archive/message.h"

namespace tessaly {

// A write that failed: the document cannot be written as it is, or the bytes
// could not be put where they were to go. A failure of the system names its
// step, the file and the system's own words, so that a caller can tell the
// cases apart without reading the message.
class WriteError : public std::runtime_error {
 public:
  enum class Step : std::uint8_t {
    kContent,     // the document cannot be written as it is
    kTarget,      // the file to replace cannot be replaced (a folder, read-only, ...)
    kCreate,      // the new file cannot be made
    kWrite,       // its bytes cannot be written
    kAttributes,  // its permissions or time cannot be set
    kFlush,       // it cannot be flushed to disk
    kReplace,     // it cannot be put in place of the target
    kRead,        // the file it copies cannot be read
  };

  explicit WriteError(Message what) : std::runtime_error(what.English()), what_(std::move(what)) {}
  WriteError(Step step, std::string file, std::string system, Message what)
      : std::runtime_error(what.English()), step_(step), file_(std::move(file)), system_(std::move(system)),
        what_(std::move(what)) {}

  Step step() const { return step_; }
  // The file concerned (UTF-8), when the system failed.
  const std::string& file() const { return file_; }
  // The system's words for the failure, when it gave any.
  const std::string& system() const { return system_; }
  // What failed, in words of any language.
  const Message& message() const { return what_; }

 private:
  Step step_ = Step::kContent;
  std::string file_;
  std::string system_;
  Message what_;
};

// Where the bytes go. Write throws WriteError on any failure.
//
// A sink may also write beside its caller: BeginWrite hands it a block, which
// stays the sink's (the caller leaves it alone) until EndWrite, which waits for
// the write and throws what it failed with. A sink that cannot answers false
// and has taken nothing; the caller then writes with Write.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const std::uint8_t* data, std::size_t n) = 0;
  virtual bool BeginWrite(const std::uint8_t*, std::size_t) { return false; }
  virtual void EndWrite() {}
};

// Collects the bytes in memory.
class StringSink : public ByteSink {
 public:
  void Write(const std::uint8_t* data, std::size_t n) override {
    bytes.append(reinterpret_cast<const char*>(data), n);
  }
  std::string bytes;
};

// Hands everything on to another sink; a base for sinks that look at the bytes
// on their way.
class ForwardingSink : public ByteSink {
 public:
  explicit ForwardingSink(ByteSink& next) : next_(next) {}
  void Write(const std::uint8_t* data, std::size_t n) override { next_.Write(data, n); }

 protected:
  ByteSink& next_;
};

// Bytes read in order, from a file or from anything else that streams them.
//
// A source may also read beside its caller: BeginRead starts reading the next
// n bytes into `into`, which stays the source's until EndRead answers how many
// arrived (fewer: Why says why). A source that cannot answers false and has
// started nothing; the caller then reads with Read.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes into `into` and answers how many; fewer only at the end
  // or when no more can be read (Why then says why).
  virtual std::size_t Read(std::uint8_t* into, std::size_t n) = 0;
  virtual Message Why() const = 0;
  virtual bool BeginRead(std::uint8_t*, std::size_t) { return false; }
  virtual std::size_t EndRead() { return 0; }
};

// Told, as the arrays of an entity list are filled, where each array is and how
// far it is filled, so that the memory ahead of the fill can be made present
// beside the parse (a fault on every fresh page was a third of a large load).
// It must never write the memory: it may be freed or reused meanwhile.
class FillHint {
 public:
  virtual ~FillHint() = default;
  // Array `slot` (0 to 7 for the arrays of one list) has `capacity` bytes at
  // `data`, of which `used` are filled.
  virtual void Filling(unsigned slot, const void* data, std::size_t used, std::size_t capacity) = 0;
  // The lists are read: nothing more is filled.
  virtual void Done() = 0;
};

}  // namespace tessaly

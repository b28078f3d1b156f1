// Where bytes go to and come from: the few interfaces that the archive code and
// the file code share, so that neither needs the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tessaly {

// Where the bytes go. Write throws WriteError on any failure.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const std::uint8_t* data, std::size_t n) = 0;
};

class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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

// Bytes that arrive while they are parsed (a file still being read).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Waits until the first `end` bytes are there and answers how many are; fewer
  // than `end` when no more will come.
  virtual std::size_t WaitFor(std::size_t end) = 0;
  // Why no more bytes come.
  virtual std::string Why() const = 0;
};

}  // namespace tessaly

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

// Bytes read in order, from a file or from anything else that streams them.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes into `into` and answers how many; fewer only at the end
  // or when no more can be read (Why then says why).
  virtual std::size_t Read(std::uint8_t* into, std::size_t n) = 0;
  virtual std::string Why() const = 0;
};

}  // namespace tessaly

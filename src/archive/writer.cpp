#include "archive/writer.h"

#include <new>

#include "text/text_helpers.h"

namespace tessaly {

ArchiveWriter::ArchiveWriter(ByteSink& sink, std::size_t bufferSize)
    : sink_(sink), size_(bufferSize < 16 ? 16 : bufferSize), buf_(new std::uint8_t[size_]) {}

ArchiveWriter::~ArchiveWriter() {
  // The other buffer is the sink's until its write is over; what it failed
  // with no longer matters.
  if (pending_) {
    try {
      sink_.EndWrite();
    } catch (const std::exception&) {
    }
  }
}

void ArchiveWriter::Spill() { Hand(/*last=*/false); }

void ArchiveWriter::Hand(bool last) {
  if (used_ == 0) return;
  // Writing behind starts with the first full buffer: a file that fits in one
  // is written here.
  if (behind_ && !last && !other_) {
    try {
      other_.reset(new std::uint8_t[size_]);
    } catch (const std::bad_alloc&) {
      behind_ = false;  // no second buffer: the sink is written here
    }
  }
  if (behind_ && other_) {
    if (pending_) {
      pending_ = false;
      sink_.EndWrite();  // the buffer handed on before, and what it failed with
    }
    buf_.swap(other_);
    if (sink_.BeginWrite(other_.get(), used_)) {
      pending_ = true;
      flushed_ += used_;
      used_ = 0;
      return;
    }
    buf_.swap(other_);  // the sink writes only when asked
    behind_ = false;
    other_.reset();
  }
  sink_.Write(buf_.get(), used_);
  flushed_ += used_;
  used_ = 0;
}

void ArchiveWriter::Flush() {
  if (pending_) {
    pending_ = false;
    sink_.EndWrite();
  }
  if (used_ > 0) {
    sink_.Write(buf_.get(), used_);
    flushed_ += used_;
    used_ = 0;
  }
}
void ArchiveWriter::bytes(const void* data, std::size_t n) {
  auto p = static_cast<const std::uint8_t*>(data);
  if (n > size_ - used_) {
    Flush();
    if (n >= size_) {
      sink_.Write(p, n);
      flushed_ += n;
      return;
    }
  }
  std::memcpy(buf_.get() + used_, p, n);
  used_ += n;
}

void ArchiveWriter::zeros(std::size_t n) {
  static const std::uint8_t kZero[256] = {};
  while (n > 0) {
    std::size_t k = n < sizeof kZero ? n : sizeof kZero;
    bytes(kZero, k);
    n -= k;
  }
}

void ArchiveWriter::string(const JString& s) {
  if (s.wide) {
    u8(0xFF);
    u16(0xFFFE);
    const std::size_t units = s.units();
    if (units < 0xFF) {
      u8(static_cast<std::uint8_t>(units));
    } else if (units < 0xFFFF) {
      u8(0xFF);
      u16(static_cast<std::uint16_t>(units));
    } else {
      u8(0xFF);
      u16(0xFFFF);
      u32(static_cast<std::uint32_t>(units));
    }
    bytes(s.bytes.data(), units * 2);
    return;
  }
  const std::size_t n = s.bytes.size();
  // 0xFF 0xFFFE announces the Unicode form, and there is no form beyond uint16.
  if (n == 0xFFFE) throw WriteError(Message("a string of 65534 bytes cannot be written unambiguously"));
  if (n > 0xFFFF) throw WriteError(Message("a string of more than 65535 bytes cannot be written"));
  if (n < 0xFF) {
    u8(static_cast<std::uint8_t>(n));
  } else {
    u8(0xFF);
    u16(static_cast<std::uint16_t>(n));
  }
  bytes(s.bytes.data(), n);
}

void ArchiveWriter::cleanString(const JString& s) {
  if (IsCleanForWrite(s)) {
    string(s);
  } else {
    string(SanitizeForWrite(s));
  }
}

void ArchiveWriter::newClass(std::uint16_t schema, std::string_view name) {
  u16(0xFFFF);
  u16(schema);
  u16(static_cast<std::uint16_t>(name.size()));
  bytes(name.data(), name.size());
}

}  // namespace tessaly

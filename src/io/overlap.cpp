#include "io/overlap.h"

#include <stdexcept>

namespace tessaly {

ReadingAhead::~ReadingAhead() {
  if (job_.Busy()) job_.Wait();
}

std::size_t ReadingAhead::Read(std::uint8_t* into, std::size_t n) {
  // The bytes of a read ahead come first; reading past them would lose them.
  if (job_.Busy()) throw std::logic_error("a read while a read ahead is in progress");
  return next_.Read(into, n);
}

Message ReadingAhead::Why() const {
  if (job_.Busy()) job_.Wait();
  return next_.Why();
}

bool ReadingAhead::BeginRead(std::uint8_t* into, std::size_t n) {
  EndRead();
  return job_.Start([this, into, n] { got_ = next_.Read(into, n); });
}

std::size_t ReadingAhead::EndRead() {
  if (!job_.Busy()) return 0;
  job_.Wait();  // a source's Read does not throw
  return got_;
}

WritingBehind::~WritingBehind() {
  try {
    EndWrite();
  } catch (const std::exception&) {
    // The caller has gone without asking: the write no longer matters.
  }
}

void WritingBehind::Write(const std::uint8_t* data, std::size_t n) {
  EndWrite();
  next_.Write(data, n);
}

bool WritingBehind::BeginWrite(const std::uint8_t* data, std::size_t n) {
  EndWrite();
  return job_.Start([this, data, n] { next_.Write(data, n); });
}

void WritingBehind::EndWrite() {
  if (job_.Busy()) job_.Wait();
}

}  // namespace tessaly

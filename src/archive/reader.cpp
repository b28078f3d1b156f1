#include "archive/reader.h"

#include <algorithm>
#include <new>

#include "io/background.h"
#include "text/text_helpers.h"

namespace tessaly {

// Reading ahead: a thread reads the window after this one into a second buffer
// while this one is parsed, so that the system's copying of the file (a quarter
// of a large load, on the parsing thread) runs beside the parse. The piece is
// read kHead bytes into its buffer, and the bytes left of the old window are
// put in front of it: the piece itself is never copied.
class ArchiveReader::Ahead {
 public:
  static constexpr std::size_t kHead = std::size_t{64} << 10;

  Ahead(ByteSource& source, std::size_t piece)
      : source_(source), piece_(piece), spare_(new std::uint8_t[kHead + piece]) {}

  std::size_t Piece() const { return piece_; }
  std::size_t Room() const { return kHead + piece_; }
  bool Pending() const { return job_.Busy(); }
  std::size_t Wanted() const { return wanted_; }

  // Starts reading the next n bytes (at most a piece); false when no thread
  // can be made.
  bool Start(std::size_t n) {
    wanted_ = n;
    return job_.Start([this] { got_ = source_.Read(spare_.get() + kHead, wanted_); });
  }
  // Waits for the read and answers how much arrived (fewer than wanted: the
  // source said why); the bytes are in Spare() from kHead on.
  std::size_t Wait() {
    job_.Wait();
    return got_;
  }
  std::unique_ptr<std::uint8_t[]>& Spare() { return spare_; }

 private:
  ByteSource& source_;
  const std::size_t piece_;
  std::unique_ptr<std::uint8_t[]> spare_;  // the thread's while a read is pending
  std::size_t wanted_ = 0, got_ = 0;
  BackgroundJob job_;  // last: waited for before the buffer goes
};

ArchiveReader::ArchiveReader(std::span<const std::uint8_t> data)
    : data_(data.data()), windowEnd_(data.size()), size_(data.size()) {}

ArchiveReader::ArchiveReader(ByteSource& source, std::size_t size, std::size_t window)
    : source_(&source), size_(size), window_(window == 0 ? 1 : window) {
  if (size_ / 4 >= window_) {
    try {
      ahead_ = std::make_unique<Ahead>(source, window_);
    } catch (const std::bad_alloc&) {
      // No second buffer: the parsing thread reads itself.
    }
  }
}

ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::Fail(std::size_t need) const {
  throw FormatError(pos_, "truncated at byte offset " + std::to_string(pos_) + ": need " +
                              std::to_string(need) + " bytes, " + std::to_string(remaining()) +
                              " left");
}

bool ArchiveReader::TakeAhead(std::size_t n) {
  const std::size_t kept = windowEnd_ - pos_;
  const std::size_t wanted = ahead_->Wanted();
  const std::size_t got = ahead_->Wait();
  std::unique_ptr<std::uint8_t[]>& spare = ahead_->Spare();
  if (kept <= Ahead::kHead && kept + got >= n) {
    std::uint8_t* front = spare.get() + Ahead::kHead - kept;
    if (kept > 0) std::memcpy(front, At(), kept);
    own_.swap(spare);
    capacity_ = ahead_->Room();  // a buffer grown for one larger read holds more
    data_ = front;
    windowStart_ = pos_;
    windowEnd_ = pos_ + kept + got;
    if (got == wanted && windowEnd_ < size_) ReadAhead();
    return true;
  }
  // The read needs more than the piece, or the bytes left over do not fit in
  // front of it: the window takes them all in one buffer, and Fill goes on.
  const std::size_t room = std::max({window_, n, kept + got, ahead_->Room()});
  if (room > capacity_) {
    std::unique_ptr<std::uint8_t[]> whole(new std::uint8_t[room]);
    if (kept > 0) std::memcpy(whole.get(), At(), kept);
    capacity_ = room;
    own_ = std::move(whole);
  } else if (kept > 0) {
    std::memmove(own_.get(), At(), kept);
  }
  std::memcpy(own_.get() + kept, spare.get() + Ahead::kHead, got);
  data_ = own_.get();
  windowStart_ = pos_;
  windowEnd_ = pos_ + kept + got;
  if (got < wanted && windowEnd_ < pos_ + n) {
    throw FormatError(pos_, "cannot read the file at byte offset " + std::to_string(windowEnd_) + ": " +
                                source_->Why());
  }
  return windowEnd_ >= pos_ + n;
}

void ArchiveReader::Fill(std::size_t n) {
  // Only a reader of a source gets here: in memory the window is the whole
  // archive, and Require has made sure that n bytes are left.
  if (ahead_ && ahead_->Pending() && TakeAhead(n)) return;
  const std::size_t kept = windowEnd_ - pos_;
  // The window holds a window's worth, or the n bytes when they are more; its
  // buffer, when the reader reads ahead, can become the one read into.
  const std::size_t room = std::min(std::max(window_, n), remaining());
  const std::size_t buffer = ahead_ ? std::max(room, ahead_->Room()) : room;
  if (buffer > capacity_) {
    std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[buffer]);
    if (kept > 0) std::memcpy(bigger.get(), At(), kept);
    own_ = std::move(bigger);
    capacity_ = buffer;
  } else if (kept > 0) {
    std::memmove(own_.get(), At(), kept);
  }
  data_ = own_.get();
  windowStart_ = pos_;
  windowEnd_ = pos_ + kept;
  while (windowEnd_ < pos_ + n) {
    const std::size_t want = std::min(room - (windowEnd_ - windowStart_), size_ - windowEnd_);
    const std::size_t got = source_->Read(own_.get() + (windowEnd_ - windowStart_), want);
    windowEnd_ += got;
    if (got < want && windowEnd_ < pos_ + n) {
      throw FormatError(pos_, "cannot read the file at byte offset " + std::to_string(windowEnd_) + ": " +
                                  source_->Why());
    }
  }
  if (ahead_ && windowEnd_ < size_) ReadAhead();
}

void ArchiveReader::ReadAhead() {
  // Without a thread the parsing thread reads itself, as for a small file.
  if (!ahead_->Start(std::min(ahead_->Piece(), size_ - windowEnd_))) ahead_.reset();
}

void ArchiveReader::skip(std::size_t n) {
  if (n > remaining()) Fail(n);
  // What lies beyond the window is read a window at a time and dropped.
  while (pos_ + n > windowEnd_) {
    const std::size_t inWindow = windowEnd_ - pos_;
    pos_ += inWindow;
    n -= inWindow;
    Fill(std::min(n, window_));
  }
  pos_ += n;
}

void ArchiveReader::rawString(JString& into) {
  std::uint32_t n = u8();
  if (n == 0xFF) {
    n = u16();
    if (n == 0xFFFE) {
      // Unicode form: the length counts UTF-16 code units.
      std::uint32_t units = u8();
      if (units == 0xFF) {
        units = u16();
        if (units == 0xFFFF) units = u32();
      }
      if (units > remaining() / 2) Fail(static_cast<std::size_t>(units) * 2);
      auto b = bytes(static_cast<std::size_t>(units) * 2);
      into.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
      into.wide = true;
      return;
    }
  }
  auto b = bytes(n);
  into.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
  into.wide = false;
}

void ArchiveReader::string(JString& into) {
  rawString(into);
  SanitizeOnReadInPlace(into);
}

std::uint32_t ArchiveReader::count() {
  std::uint32_t c = u16();
  if (c == 0xFFFF) c = u32();
  return c;
}

}  // namespace tessaly

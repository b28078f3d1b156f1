#include "archive/reader.h"

#include <algorithm>
#include <new>

#include "text/text_helpers.h"

namespace tessaly {

ArchiveReader::ArchiveReader(std::span<const std::uint8_t> data)
    : data_(data.data()), windowEnd_(data.size()), size_(data.size()) {}

ArchiveReader::ArchiveReader(ByteSource& source, std::size_t size, std::size_t window)
    : source_(&source), size_(size), window_(window == 0 ? 1 : window), ahead_(size_ / 4 >= window_) {}

ArchiveReader::~ArchiveReader() {
  // The spare buffer is the source's until the read into it is over; what the
  // read brought no longer matters.
  if (!pending_) return;
  try {
    source_->EndRead();
  } catch (const std::exception&) {
  }
}

void ArchiveReader::Fail(std::size_t need) const {
  throw FormatError(FormatError::Kind::kTruncated, pos_,
                    Message("truncated at byte offset {offset}: need {need} bytes, {left} left")
                        .Set("offset", static_cast<long long>(pos_))
                        .Set("need", static_cast<long long>(need))
                        .Set("left", static_cast<long long>(remaining())));
}

void ArchiveReader::Unreadable() const {
  Message why = source_->Why();
  std::string system = why.English();
  throw FormatError(FormatError::Kind::kUnreadable, pos_,
                    Message("cannot read the file at byte offset {offset}: {why}")
                        .Set("offset", static_cast<long long>(windowEnd_))
                        .Set("why", std::move(why)),
                    std::move(system));
}

bool ArchiveReader::TakeAhead(std::size_t n) {
  const std::size_t kept = windowEnd_ - pos_;
  const std::size_t got = source_->EndRead();
  pending_ = false;
  if (kept <= kHead && kept + got >= n) {
    std::uint8_t* front = spare_.get() + kHead - kept;
    if (kept > 0) std::memcpy(front, At(), kept);
    own_.swap(spare_);
    capacity_ = SpareRoom();  // a buffer grown for one larger read holds more
    data_ = front;
    windowStart_ = pos_;
    windowEnd_ = pos_ + kept + got;
    if (got == wanted_ && windowEnd_ < size_) ReadAhead();
    return true;
  }
  // The read needs more than the piece, or the bytes left over do not fit in
  // front of it: the window takes them all in one buffer, and Fill goes on.
  const std::size_t room = std::max({window_, n, kept + got, SpareRoom()});
  if (room > capacity_) {
    std::unique_ptr<std::uint8_t[]> whole(new std::uint8_t[room]);
    if (kept > 0) std::memcpy(whole.get(), At(), kept);
    capacity_ = room;
    own_ = std::move(whole);
  } else if (kept > 0) {
    std::memmove(own_.get(), At(), kept);
  }
  std::memcpy(own_.get() + kept, spare_.get() + kHead, got);
  data_ = own_.get();
  windowStart_ = pos_;
  windowEnd_ = pos_ + kept + got;
  if (got < wanted_ && windowEnd_ < pos_ + n) Unreadable();
  return windowEnd_ >= pos_ + n;
}

void ArchiveReader::Fill(std::size_t n) {
  // Only a reader of a source gets here: in memory the window is the whole
  // archive, and Require has made sure that n bytes are left.
  if (views_ != 0) Pinned();
  if (pending_ && TakeAhead(n)) return;
  const std::size_t kept = windowEnd_ - pos_;
  // The window holds a window's worth, or the n bytes when they are more; its
  // buffer, when the reader reads ahead, can become the one read into.
  const std::size_t room = std::min(std::max(window_, n), remaining());
  const std::size_t buffer = ahead_ ? std::max(room, SpareRoom()) : room;
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
    if (got < want && windowEnd_ < pos_ + n) Unreadable();
  }
  if (ahead_ && windowEnd_ < size_) ReadAhead();
}

void ArchiveReader::ReadAhead() {
  if (!spare_) {
    try {
      spare_.reset(new std::uint8_t[SpareRoom()]);
    } catch (const std::bad_alloc&) {
      ahead_ = false;  // no second buffer: the parse reads itself
      return;
    }
  }
  wanted_ = std::min(window_, size_ - windowEnd_);
  pending_ = source_->BeginRead(spare_.get() + kHead, wanted_);
  if (!pending_) {
    // The source reads only when asked, as for a small file.
    ahead_ = false;
    spare_.reset();
  }
}

void ArchiveReader::Pinned() const {
  throw std::logic_error("the archive's window would move while a view of it is open");
}

void ArchiveReader::skip(std::size_t n) {
  if (n > remaining()) Fail(n);
  if (pos_ + n > windowEnd_ && views_ != 0) Pinned();  // before anything moves
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
      const View b = bytes(static_cast<std::size_t>(units) * 2);
      into.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
      into.wide = true;
      return;
    }
  }
  const View b = bytes(n);
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

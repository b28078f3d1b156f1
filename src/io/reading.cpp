// Reading files: whole, as a stream in order, as a copy, or just their first
// bytes. The system calls are the platform half's (raw_file.h).
#include <algorithm>
#include <cstring>
#include <new>

#include "io/files.h"
#include "io/path_text.h"
#include "io/raw_file.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

// What one read of a copy takes.
constexpr std::size_t kCopyPiece = std::size_t{1} << 18;

}  // namespace

bool ReadWholeFile(const fs::path& path, std::vector<std::uint8_t>& out, Message& error) {
  out.clear();
  std::uint64_t size = 0;
  const std::intptr_t file = raw::OpenRegular(path, size, error);
  if (file == -1) return false;
  struct Closer {
    std::intptr_t f;
    ~Closer() { raw::Close(f); }
  } closer{file};
  try {
    // One byte more than the file holds, so that the end shows as an empty read
    // without growing (and copying) the buffer.
    out.resize(static_cast<std::size_t>(size) + 1);
  } catch (const std::bad_alloc&) {
    error = Message("file too large to read into memory");
    return false;
  }
  std::size_t got = 0;
  while (true) {
    if (got == out.size()) out.resize(got + (got < 65536 ? 65536 : got / 2));  // the file grew
    const long long n = raw::Read(file, out.data() + got, out.size() - got, error);
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return true;
}

FileStream::~FileStream() { Close(); }

void FileStream::Close() {
  if (file_ != -1) raw::Close(file_);
  file_ = -1;
}

bool FileStream::Open(const fs::path& path, Message& error) {
  Close();
  size_ = 0;
  got_ = 0;
  error_ = {};
  changed_ = false;
  std::uint64_t size = 0;
  file_ = raw::OpenRegular(path, size, error);
  if (file_ == -1) return false;
  size_ = size;
  return true;
}

std::size_t FileStream::Read(std::uint8_t* into, std::size_t n) {
  if (file_ == -1 || !error_.empty()) return 0;
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - got_));
  std::size_t done = 0;
  while (done < n) {
    const long long k = raw::Read(file_, into + done, n - done, error_);
    if (k < 0) break;
    if (k == 0) {
      error_ = Message("the file became shorter while it was read");
      changed_ = true;
      break;
    }
    done += static_cast<std::size_t>(k);
  }
  got_ += done;
  return done;
}

bool FileStream::Finish(bool whole, Message& error) {
  bool ok = true;
  if (whole && file_ != -1) {
    // What the parse left is read too, and one byte beyond the size seen at the
    // start tells whether the file grew.
    std::uint8_t scratch[65536];
    while (error_.empty() && got_ < size_) {
      if (Read(scratch, sizeof scratch) == 0) break;
    }
    if (error_.empty()) {
      const long long k = raw::Read(file_, scratch, 1, error_);
      if (k > 0) {
        error_ = Message("the file grew while it was read");
        changed_ = true;
      }
    }
    if (!error_.empty()) {
      error = error_;
      ok = false;
    }
  }
  Close();
  return ok;
}

void FolderFlushes::Add(const fs::path& folder) {
  const fs::path f = folder.empty() ? fs::path(".") : folder;
  if (std::find(folders_.begin(), folders_.end(), f) == folders_.end()) folders_.push_back(f);
}

void FolderFlushes::FlushAll() {
  for (const auto& f : folders_) SyncPath(f);
  folders_.clear();
}

std::unique_ptr<AtomicFile> PrepareCopy(const fs::path& source, const fs::path& dest, bool keepTime,
                                        const SinkFilter& filter, bool flush) {
  std::uint64_t size = 0;
  Message why;
  auto unreadable = [&] {
    WriteError e = SystemFailure(WriteError::Step::kRead, source,
                                 Message("{file}: {why}").Set("why", why));
    return e;
  };
  const std::intptr_t file = raw::OpenRegular(source, size, why);
  if (file == -1) throw unreadable();
  struct Closer {
    std::intptr_t f;
    ~Closer() { raw::Close(f); }
  } closer{file};
  std::int64_t seconds = 0, nanoseconds = 0;
  if (keepTime && !raw::ModificationTime(file, seconds, nanoseconds, why)) throw unreadable();
  auto out = std::make_unique<AtomicFile>(dest);
  std::unique_ptr<ByteSink> filtered = filter ? filter(*out, out->Target()) : nullptr;
  ByteSink& sink = filtered ? *filtered : *out;
  std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[kCopyPiece]);
  while (true) {
    const long long n = raw::Read(file, buf.get(), kCopyPiece, why);
    if (n < 0) throw unreadable();  // the temporary file goes with `out`
    if (n == 0) break;
    sink.Write(buf.get(), static_cast<std::size_t>(n));
  }
  // A backup is left writable, whatever mode an older one had.
  out->MakeWritable();
  if (keepTime) out->SetModificationTime(seconds, nanoseconds);
  if (flush) out->Finish();
  return out;
}

}  // namespace tessaly

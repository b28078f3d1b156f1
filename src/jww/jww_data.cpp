#include "jww/jww_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "jww/archive_reader.h"
#include "jww/archive_writer.h"
#include "jww/file_io.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

constexpr ReadRules JwwReadRules(std::int32_t version) {
  return ReadRules{version, /*textLimit=*/255, /*classNameLimit=*/2048};
}

// Writes a working file whole, replacing an older one of that name.
void WriteWorkingFile(const fs::path& path, std::span<const std::uint8_t> data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) throw WriteError("cannot create " + path.string() + ": " + ErrnoText(errno));
  const std::uint8_t* p = data.data();
  std::size_t n = data.size();
  while (n > 0) {
    ssize_t k = ::write(fd, p, n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) {
      int err = errno;
      ::close(fd);
      ::unlink(path.c_str());
      throw WriteError("cannot write " + path.string() + ": " + ErrnoText(err));
    }
    p += k;
    n -= static_cast<std::size_t>(k);
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(path.c_str());
    throw WriteError("cannot write " + path.string() + ": " + ErrnoText(err));
  }
}

}  // namespace

bool TJwwData::IsJwwFile(const fs::path& path) { return FileStartsWith(path, kSignature); }

void TJwwData::Clear() {
  static_cast<TJwwHeaderData&>(*this) = TJwwHeaderData{};
  ClearLists();
  error_.clear();
}

bool TJwwData::Load(const fs::path& path) {
  Clear();
  return LoadStreamed(path, error_, [this](ArchiveReader& r) { return Parse(r); });
}

bool TJwwData::LoadFromMemory(std::span<const std::uint8_t> bytes) {
  Clear();
  ArchiveReader r(bytes);
  return Parse(r);
}

bool TJwwData::Parse(ArchiveReader& r) {
  try {
    if (!r.startsWith(kSignature)) {
      error_ = "not a JWW drawing";
      return false;
    }
    ReadHeader(r, *this);
  } catch (const FormatError& e) {
    error_ = std::string(e.what()) + " (header)";
    return false;
  }
  bool ok = true;
  try {
    ReadLists(r, JwwReadRules(Header.version));
    if (Header.version >= 700) ReadImages(r);
  } catch (const FormatError& e) {
    error_ = e.what();
    ok = false;
  } catch (const WriteError& e) {
    error_ = e.what();
    ok = false;
  } catch (const std::bad_alloc&) {
    error_ = "out of memory";
    ok = false;
  }
  BuildBlockTree();
  return ok;
}

void TJwwData::ReadImages(ArchiveReader& r) {
  images_.Clear();
  const std::uint32_t k = r.u32();
  images_.Entries.reserve(std::min<std::size_t>(k, r.remaining() / 5));
  for (std::uint32_t i = 0; i < k; ++i) {
    const std::string where = " (image " + std::to_string(i + 1) + " of " + std::to_string(k) + ")";
    const std::size_t at = r.offset();
    try {
      TBindImageType img;
      img.name = r.string();
      img.size = r.i32();
      std::string fsName, why;
      if (!img.name.empty() && !CheckImageName(img.name, fsName, why)) throw FormatError(at, why);
      if (img.size < 0) throw FormatError(at, "negative image size " + std::to_string(img.size));
      if (img.name.empty()) {
        r.skip(static_cast<std::size_t>(img.size));  // nothing to keep
        images_.Entries.push_back(std::move(img));
        continue;
      }
      auto data = r.bytes(static_cast<std::size_t>(img.size));
      if (img.size == 0) {
        images_.Entries.push_back(std::move(img));
        continue;
      }
      if (images_.WorkDir().empty()) throw WriteError("no working folder for embedded images");
      // Listed before the file is made, so that the clean-up finds it whatever happens next.
      images_.Entries.push_back(std::move(img));
      WriteWorkingFile(images_.WorkDir() / fsName, data);
    } catch (const FormatError& e) {
      throw FormatError(e.offset(), e.what() + where);
    } catch (const WriteError& e) {
      throw WriteError(std::string("cannot extract an embedded image: ") + e.what() + where);
    }
  }
}

bool TJwwData::Save(const fs::path& path, std::int32_t version) {
  return SaveAtomically(path, error_, [&](ByteSink& out) { Write(out, version); });
}

void TJwwData::Write(ByteSink& sink, std::int32_t version) {
  ArchiveWriter w(sink);
  WriteHeader(w, *this, version);
  WriteLists(w, WriteRules{version, Header.version, false});
  if (version >= 700) WriteImages(w);
  w.Flush();
}

void TJwwData::WriteImages(ArchiveWriter& w) {
  auto& entries = images_.Entries;
  for (auto& e : entries) e.used = false;

  // A text "^@BM%temp%NAME,..." refers to the first image whose name, upper-cased,
  // begins with NAME upper-cased.
  std::vector<std::vector<std::uint32_t>> names;
  names.reserve(entries.size());
  for (const auto& e : entries) names.push_back(DecodeForMatch(e.name, true));
  static const std::vector<std::uint32_t> kMarker = DecodeForMatch(JString("^@BM%temp%"), false);
  auto mark = [&](const TEntityList& list) {
    for (const auto& ix : list.EntityIndex) {
      if (ix.kind != kText || ix.index < 0) continue;
      const JString& text = list.Texts[ix.index].text;
      if (text.units() <= 10) continue;
      std::vector<std::uint32_t> t = DecodeForMatch(text, false);
      if (t.size() <= kMarker.size() || !std::equal(kMarker.begin(), kMarker.end(), t.begin())) continue;
      auto comma = std::find(t.begin() + 10, t.end(), std::uint32_t{','});
      if (comma == t.end()) continue;
      std::vector<std::uint32_t> prefix(t.begin() + 10, comma);
      for (auto& c : prefix) {
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
      }
      for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), names[i].begin())) {
          entries[i].used = true;
          break;
        }
      }
    }
  };
  if (!entries.empty()) {
    mark(*this);
    for (const auto& d : BlockDefs) mark(d);
  }

  std::uint32_t u = 0;
  for (auto& e : entries) {
    if (!e.used) continue;
    std::error_code ec;
    fs::path p = images_.PathOf(e.name);
    e.used = !p.empty() && fs::is_regular_file(p, ec);
    if (e.used) ++u;
  }
  w.u32(u);
  for (const auto& e : entries) {
    if (!e.used) continue;
    w.string(e.name);
    std::vector<std::uint8_t> data;
    std::string why;
    if (!ReadWholeFile(images_.PathOf(e.name), data, why)) {
      throw WriteError("embedded image " + images_.PathOf(e.name).filename().string() + ": " + why);
    }
    if (data.size() > 0x7FFFFFFFu) throw WriteError("embedded image larger than 2 GB");
    w.i32(static_cast<std::int32_t>(data.size()));
    w.bytes(data.data(), data.size());
  }
}

}  // namespace tessaly

#include "jww/jww_data.h"

#include <algorithm>
#include <vector>

#include "archive/reader.h"
#include "archive/writer.h"
#include "io/files.h"
#include "io/path_text.h"
#include "text/text_helpers.h"

namespace tessaly {
namespace fs = std::filesystem;
template class TDocument<JwwFormat>;

void JwwFormat::Tail::Read(ArchiveReader& r, std::int32_t version) {
  if (version < 700) return;
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
      WriteWholeFile(images_.PathOf(images_.Entries.back().name), data);
    } catch (const FormatError& e) {
      throw FormatError(e.offset(), e.what() + where);
    } catch (const WriteError& e) {
      throw WriteError(std::string("cannot extract an embedded image: ") + e.what() + where);
    }
  }
}

void JwwFormat::Tail::Write(ArchiveWriter& w, std::int32_t version, const TEntityLists& lists) const {
  if (version < 700) return;
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
    mark(lists);
    for (const auto& d : lists.BlockDefs) mark(d);
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
      throw WriteError("embedded image " + PathToUtf8(images_.PathOf(e.name).filename()) + ": " + why);
    }
    if (data.size() > 0x7FFFFFFFu) throw WriteError("embedded image larger than 2 GB");
    w.i32(static_cast<std::int32_t>(data.size()));
    w.bytes(data.data(), data.size());
  }
}

}  // namespace tessaly

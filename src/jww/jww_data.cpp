#include "jww/jww_data.h"

#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "archive/reader.h"
#include "archive/writer.h"
#include "text/text_helpers.h"

namespace tessaly {
template class TDocument<JwwFormat>;

namespace {

// The image names sorted, so that the first image (in file order) whose name
// begins with a reference's prefix is found in logarithmic time: the names with
// a prefix are one run of the sorted order, and a tree of minima over the sorted
// order gives the smallest position in a run. Comparing every reference with
// every name would let a file of many near-miss names take quadratic time.
class NamePrefixIndex {
 public:
  using Name = std::vector<std::uint32_t>;

  explicit NamePrefixIndex(const std::vector<Name>& names)
      : names_(names), order_(names.size()), tree_(2 * names.size()) {
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::stable_sort(order_.begin(), order_.end(),
                     [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
    const std::size_t n = order_.size();
    for (std::size_t i = 0; i < n; ++i) tree_[n + i] = order_[i];
    for (std::size_t i = n; i-- > 1;) tree_[i] = std::min(tree_[2 * i], tree_[2 * i + 1]);
  }

  // The position of the first name that begins with `prefix`, or the count of
  // names when none does.
  std::size_t FirstWithPrefix(const Name& prefix) const {
    auto startsWith = [&](std::size_t i) {
      const Name& n = names_[i];
      return n.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), n.begin());
    };
    const auto lo = std::partition_point(order_.begin(), order_.end(),
                                         [&](std::size_t i) { return names_[i] < prefix; });
    const auto hi = std::partition_point(lo, order_.end(), startsWith);
    std::size_t best = names_.size();
    const std::size_t n = order_.size();
    for (std::size_t l = n + static_cast<std::size_t>(lo - order_.begin()),
                     r = n + static_cast<std::size_t>(hi - order_.begin());
         l < r; l /= 2, r /= 2) {
      if (l & 1) best = std::min(best, tree_[l++]);
      if (r & 1) best = std::min(best, tree_[--r]);
    }
    return best;
  }

 private:
  const std::vector<Name>& names_;
  std::vector<std::size_t> order_;  // positions, by name
  std::vector<std::size_t> tree_;   // minima over runs of order_, leaves from n on
};

}  // namespace

void JwwFormat::Tail::Read(ArchiveReader& r, std::int32_t version) {
  if (version < 700) return;
  images_.Clear();
  const std::uint32_t k = r.u32();
  images_.Entries.reserve(std::min<std::size_t>(k, r.remaining() / 5));
  // A later image of a name already stored replaces it. Only the last one of
  // each name is stored again, once the section is read: a working file
  // rewritten for every image of one name (each time a truncation, which some
  // file systems flush to disk at once) took seconds for a drawing of a few
  // hundred kilobytes.
  std::set<std::pair<std::string, bool>> stored;
  // The reader's bytes last only as long as their view: the data waiting to be
  // stored is a copy (of one image per name, so never more than the file).
  std::map<std::pair<std::string, bool>, std::vector<std::uint8_t>> replaced;
  auto where = [k](std::uint32_t i) {
    return Message("image {index} of {count}")
        .Set("index", static_cast<long long>(i) + 1)
        .Set("count", static_cast<long long>(k));
  };
  for (std::uint32_t i = 0; i < k; ++i) {
    const std::size_t at = r.offset();
    try {
      TBindImageType img;
      img.name = r.string();
      img.size = r.i32();
      std::string fsName;
      Message why;
      if (!img.name.empty() && !CheckImageName(img.name, fsName, why)) {
        throw FormatError(FormatError::Kind::kMalformed, at, std::move(why));
      }
      if (img.size < 0) {
        throw FormatError(FormatError::Kind::kMalformed, at,
                          Message("negative image size {size}").Set("size", static_cast<long long>(img.size)));
      }
      if (img.name.empty()) {
        r.skip(static_cast<std::size_t>(img.size));  // nothing to keep
        images_.Entries.push_back(std::move(img));
        continue;
      }
      const ArchiveReader::View data = r.bytes(static_cast<std::size_t>(img.size));
      const bool wide = img.name.wide;
      // Listed before it is stored, so that the clean-up finds it whatever happens next.
      images_.Entries.push_back(std::move(img));
      if (data.size() == 0) continue;
      ImageStore* store = images_.Store();
      if (!store) throw WriteError(Message("no working folder for embedded images"));
      if (!stored.insert({fsName, wide}).second) {
        replaced[{fsName, wide}].assign(data.data(), data.data() + data.size());
        continue;
      }
      store->Put(fsName, wide, data.span());
    } catch (const FormatError& e) {
      throw e.In(where(i));
    } catch (const WriteError& e) {
      throw WriteError(e.step(), e.file(), e.system(),
                       Message("cannot extract an embedded image: {why} ({record})")
                           .Set("why", e.message())
                           .Set("record", where(i)));
    }
  }
  for (const auto& [name, data] : replaced) {
    try {
      images_.Store()->Put(name.first, name.second, data);
    } catch (const WriteError& e) {
      throw WriteError(e.step(), e.file(), e.system(),
                       Message("cannot extract an embedded image: {why}").Set("why", e.message()));
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
  const NamePrefixIndex index(names);
  static const std::vector<std::uint32_t> kMarker = DecodeForMatch(JString("^@BM%temp%"), false);
  auto markText = [&](const JString& text) {
    if (text.units() <= 10) return;
    std::vector<std::uint32_t> t = DecodeForMatch(text, false);
    if (t.size() <= kMarker.size() || !std::equal(kMarker.begin(), kMarker.end(), t.begin()))
      return;
    auto comma = std::find(t.begin() + 10, t.end(), std::uint32_t{','});
    if (comma == t.end()) return;
    std::vector<std::uint32_t> prefix(t.begin() + 10, comma);
    for (auto& c : prefix) {
      if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    }
    const std::size_t first = index.FirstWithPrefix(prefix);
    if (first < entries.size()) entries[first].used = true;
  };
  // Every text entity counts, those a dissolve made from a dimension's value too.
  auto mark = [&](const TEntityList& list) {
    for (const auto& ix : list.EntityIndex) {
      if (ix.index < 0) continue;
      ForEntry(list, ix, [&](std::int32_t kind, const auto& record) {
        if constexpr (std::is_same_v<std::decay_t<decltype(record)>, TEntJwwMoji>) {
          if (kind == kText) markText(record.text);
        }
      });
    }
  };
  if (!entries.empty()) {
    mark(lists);
    for (const auto& d : lists.BlockDefs) mark(d);
  }

  // An image is embedded again when its data is kept (an image of no bytes is
  // kept only as another image of its name).
  ImageStore* store = images_.Store();
  std::uint32_t u = 0;
  for (auto& e : entries) {
    if (!e.used) continue;
    std::string fsName;
    Message why;
    e.used = store && !e.name.empty() && CheckImageName(e.name, fsName, why) && store->Has(fsName, e.name.wide);
    if (e.used) ++u;
  }
  w.u32(u);
  std::vector<std::uint8_t> data;
  for (const auto& e : entries) {
    if (!e.used) continue;
    w.string(e.name);
    std::string fsName;
    Message why;
    CheckImageName(e.name, fsName, why);
    if (!store->Get(fsName, e.name.wide, data, why)) {
      throw WriteError(Message("embedded image {name}: {why}").Set("name", fsName).Set("why", why));
    }
    if (data.size() > 0x7FFFFFFFu) throw WriteError(Message("embedded image larger than 2 GB"));
    w.i32(static_cast<std::int32_t>(data.size()));
    w.bytes(data.data(), data.size());
  }
}

}  // namespace tessaly

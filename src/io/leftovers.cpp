#include "io/leftovers.h"

#include <system_error>

#include "io/file_state.h"
#include "io/path_text.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Digits of a process number, a count that cannot wrap.
std::optional<std::uint64_t> Number(std::string_view digits) {
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  std::uint64_t n = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return n;
}

}  // namespace

std::optional<std::uint64_t> TemporaryFileOwner(std::string_view name) {
  // "." NAME "." PID "." 8 hex digits ".tmp", NAME not empty.
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() < 1 + 1 + 1 + 1 + 1 + 8 + kEnd.size() || name.front() != '.' || !name.ends_with(kEnd))
    return std::nullopt;
  name.remove_suffix(kEnd.size());
  const std::string_view hex = name.substr(name.size() - 8);
  for (char c : hex) {
    if (!IsHex(c)) return std::nullopt;
  }
  name.remove_suffix(8);
  if (name.back() != '.') return std::nullopt;
  name.remove_suffix(1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < 2) return std::nullopt;  // "." NAME "." at least
  return Number(name.substr(dot + 1));
}

std::optional<std::uint64_t> WorkingFolderOwner(std::string_view name) {
  // "tessaly-" PID "-" letters and digits.
  constexpr std::string_view kStart = "tessaly-";
  if (!name.starts_with(kStart)) return std::nullopt;
  name.remove_prefix(kStart.size());
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash + 1 == name.size()) return std::nullopt;
  for (char c : name.substr(dash + 1)) {
    if (!IsAlnum(c)) return std::nullopt;
  }
  return Number(name.substr(0, dash));
}

std::size_t RemoveLeftTemporaryFiles(const fs::path& folder) {
  std::size_t removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::optional<std::uint64_t> pid = TemporaryFileOwner(PathToUtf8(it->path().filename()));
    if (!pid || !ProcessIsGone(*pid)) continue;
    // A file of ours is a regular file; a link or a folder of that name is not.
    // A process of that number on another machine may still be writing it.
    if (InspectLink(it->path()).kind != FileState::kRegular || BeingWritten(it->path())) continue;
    std::error_code rec;
    if (fs::remove(it->path(), rec)) ++removed;
  }
  return removed;
}

std::size_t RemoveLeftWorkingFolders(const fs::path& base) {
  std::size_t removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    const std::optional<std::uint64_t> pid = WorkingFolderOwner(PathToUtf8(it->path().filename()));
    if (!pid || !ProcessIsGone(*pid)) continue;
    if (InspectLink(it->path()).kind != FileState::kFolder) continue;  // never through a link
    std::error_code rec;
    if (fs::remove_all(it->path(), rec) > 0 && !rec) ++removed;
  }
  return removed;
}

}  // namespace tessaly

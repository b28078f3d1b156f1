#include "io/file_state.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace tessaly {
namespace fs = std::filesystem;
namespace {

FileState FromStat(int rc, const struct stat& st) {
  FileState s;
  if (rc != 0) {
    if (errno == ENOENT) return s;
    s.kind = FileState::kUnknown;
    s.error = std::strerror(errno);
    return s;
  }
  s.kind = S_ISREG(st.st_mode) ? FileState::kRegular
           : S_ISDIR(st.st_mode) ? FileState::kFolder
                                 : FileState::kOther;
  s.readOnly = (st.st_mode & 0222) == 0;
  return s;
}

}  // namespace

FileState Inspect(const fs::path& path) {
  struct stat st {};
  const int rc = ::stat(path.c_str(), &st);
  return FromStat(rc, st);
}

FileState InspectLink(const fs::path& path) {
  struct stat st {};
  const int rc = ::lstat(path.c_str(), &st);
  return FromStat(rc, st);
}

bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string FileKey(const fs::path& p) {
  struct stat st {};
  auto identity = [&st] { return "i" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino); };
  if (::stat(p.c_str(), &st) == 0) return identity();
  // A file still to be made, and no link: its folder's identity and its name.
  // (Resolving the whole path asked the system a dozen times for every file.)
  const fs::path name = p.filename();
  if (errno == ENOENT && !name.empty() && name != "." && name != ".." && ::lstat(p.c_str(), &st) != 0) {
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return identity() + "/" + name.string();
  }
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(p, ec), ec);
  if (ec) full = fs::absolute(p, ec).lexically_normal();
  return "p" + full.string();
}

}  // namespace tessaly

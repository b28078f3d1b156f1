#include "app/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "jww/file_io.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

bool EndsWithGz(const std::string& name) {
  if (name.size() < 3) return false;
  const std::string ext = name.substr(name.size() - 3);
  return ext[0] == '.' && (ext[1] == 'g' || ext[1] == 'G') && (ext[2] == 'z' || ext[2] == 'Z');
}

// The working file's name of an entry, or empty when the entry has none.
std::string WorkFileName(const JString& name) {
  std::string fsName, why;
  if (name.empty() || !CheckImageName(name, fsName, why)) return {};
  return fsName;
}

void DeleteWorkFile(const TBoundImages& images, const std::string& fsName) {
  if (images.WorkDir().empty() || fsName.empty() || fsName == "." || fsName == "..") return;
  const fs::path p = images.WorkDir() / fsName;
  struct stat st {};
  if (::lstat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(p.c_str());
}

bool Copy(const fs::path& source, const fs::path& dest, std::string& error,
          struct stat* sourceStat) {
  UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) {
    error = "cannot open " + source.string() + ": " + ErrnoText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) {
    error = "cannot read " + source.string() + ": " + ErrnoText(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = source.string() + " is not a regular file";
    return false;
  }
  if (sourceStat) *sourceStat = st;
  try {
    AtomicFile out(dest);
    std::vector<std::uint8_t> buf(std::size_t{1} << 18);
    while (true) {
      ssize_t n = ::read(in.get(), buf.data(), buf.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        error = "cannot read " + source.string() + ": " + ErrnoText(errno);
        return false;  // the temporary file goes with `out`
      }
      if (n == 0) break;
      out.Write(buf.data(), static_cast<std::size_t>(n));
    }
    out.Commit();
  } catch (const WriteError& e) {
    error = "cannot write " + dest.string() + ": " + e.what();
    return false;
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    return false;
  }
  // A backup is left writable, whatever mode an older one had.
  struct stat ds {};
  if (::stat(dest.c_str(), &ds) == 0 && (ds.st_mode & S_IWUSR) == 0) {
    ::chmod(dest.c_str(), (ds.st_mode & 07777) | S_IWUSR);
  }
  return true;
}

}  // namespace

bool CopyFileData(const fs::path& source, const fs::path& dest, std::string& error) {
  return Copy(source, dest, error, nullptr);
}

bool CopyFileWithDate(const fs::path& source, const fs::path& dest, std::string& error) {
  struct stat st {};
  if (!Copy(source, dest, error, &st)) return false;
  const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  if (::utimensat(AT_FDCWD, dest.c_str(), times, 0) == 0) SyncPath(dest);
  return true;
}

void DeleteCompressedWorkFiles(const TBoundImages& images) {
  for (const auto& e : images.Entries) {
    const std::string name = WorkFileName(e.name);
    if (EndsWithGz(name)) DeleteWorkFile(images, name);
  }
}

void DeleteExpandedWorkFiles(const TBoundImages& images) {
  for (const auto& e : images.Entries) {
    std::string name = WorkFileName(e.name);
    if (EndsWithGz(name)) name.resize(name.size() - 3);
    DeleteWorkFile(images, name);
  }
}

}  // namespace tessaly

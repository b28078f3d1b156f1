#include "app/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>


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

}  // namespace

std::unique_ptr<AtomicFile> PrepareCopy(const fs::path& source, const fs::path& dest, bool keepTime,
                                        std::string& error, const SinkFilter& filter) {
  UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) {
    error = "cannot open " + source.string() + ": " + ErrnoText(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) {
    error = "cannot read " + source.string() + ": " + ErrnoText(errno);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    error = source.string() + " is not a regular file";
    return nullptr;
  }
  try {
    auto out = std::make_unique<AtomicFile>(dest);
    std::unique_ptr<ByteSink> filtered = filter ? filter(*out, out->Target()) : nullptr;
    ByteSink& sink = filtered ? *filtered : *out;
    std::vector<std::uint8_t> buf(std::size_t{1} << 18);
    while (true) {
      ssize_t n = ::read(in.get(), buf.data(), buf.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        error = "cannot read " + source.string() + ": " + ErrnoText(errno);
        return nullptr;  // the temporary file goes with `out`
      }
      if (n == 0) break;
      sink.Write(buf.data(), static_cast<std::size_t>(n));
    }
    // A backup is left writable, whatever mode an older one had.
    out->MakeWritable();
    if (keepTime) out->SetModificationTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    out->Finish();
    return out;
  } catch (const WriteError& e) {
    error = e.what();
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  return nullptr;
}

namespace {

bool CopyNow(const fs::path& source, const fs::path& dest, bool keepTime, std::string& error) {
  std::unique_ptr<AtomicFile> copy = PrepareCopy(source, dest, keepTime, error);
  if (!copy) return false;
  try {
    copy->Commit();
  } catch (const WriteError& e) {
    error = e.what();
    return false;
  }
  return true;
}

}  // namespace

bool CopyFileData(const fs::path& source, const fs::path& dest, std::string& error) {
  return CopyNow(source, dest, false, error);
}

bool CopyFileWithDate(const fs::path& source, const fs::path& dest, std::string& error) {
  return CopyNow(source, dest, true, error);
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

#include "app/file_copy.h"

#include "io/files.h"

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

void DeleteWorkFile(const TBoundImages& images, const std::string& fsName, bool wide) {
  if (images.WorkDir().empty() || fsName.empty() || fsName == "." || fsName == "..") return;
  RemoveFileQuietly(images.FilePath(fsName, wide));
}

}  // namespace

void DeleteCompressedWorkFiles(const TBoundImages& images) {
  for (const auto& e : images.Entries) {
    const std::string name = WorkFileName(e.name);
    if (EndsWithGz(name)) DeleteWorkFile(images, name, e.name.wide);
  }
}

void DeleteExpandedWorkFiles(const TBoundImages& images) {
  for (const auto& e : images.Entries) {
    std::string name = WorkFileName(e.name);
    if (EndsWithGz(name)) name.resize(name.size() - 3);
    DeleteWorkFile(images, name, e.name.wide);
  }
}

}  // namespace tessaly

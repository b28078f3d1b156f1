#include "app/working_images.h"

#include "io/file_state.h"
#include "io/files.h"
#include "io/path_text.h"

namespace tessaly {
namespace {

bool EndsWithGz(const std::string& name) {
  if (name.size() < 3) return false;
  const std::string ext = name.substr(name.size() - 3);
  return ext[0] == '.' && (ext[1] == 'g' || ext[1] == 'G') && (ext[2] == 'z' || ext[2] == 'Z');
}

}  // namespace

std::filesystem::path WorkingFolderImages::PathOf(const std::string& fsName, bool wide) const {
  const std::filesystem::path name = wide ? PathFromUtf8(fsName) : PathFromShiftJisName(fsName);
  return name.empty() ? name : folder_ / name;
}

void WorkingFolderImages::Put(const std::string& fsName, bool wide, std::span<const std::uint8_t> data) {
  WriteWholeFile(PathOf(fsName, wide), data);
}

bool WorkingFolderImages::Has(const std::string& fsName, bool wide) {
  const std::filesystem::path p = PathOf(fsName, wide);
  return !p.empty() && Inspect(p).kind == FileState::kRegular;
}

bool WorkingFolderImages::Get(const std::string& fsName, bool wide, std::vector<std::uint8_t>& data,
                              Message& why) {
  return ReadWholeFile(PathOf(fsName, wide), data, why);
}

void WorkingFolderImages::Forget(const std::vector<TBindImageType>& entries) {
  auto remove = [this](const std::string& fsName, bool wide) {
    if (fsName.empty() || fsName == "." || fsName == "..") return;
    RemoveFileQuietly(PathOf(fsName, wide));
  };
  for (const auto& e : entries) {
    std::string name;
    Message why;
    if (e.name.empty() || !CheckImageName(e.name, name, why)) continue;
    if (EndsWithGz(name)) {
      remove(name, e.name.wide);
      name.resize(name.size() - 3);
    }
    remove(name, e.name.wide);
  }
}

}  // namespace tessaly

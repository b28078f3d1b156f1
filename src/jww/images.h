// Images embedded in a drawing. While a drawing is converted their data lives as
// files in a working folder, one file per image name; the list of them is shared
// by the reader, which extracts them, the writer, which embeds the ones that a
// text still refers to, and the clean-up after each file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "text/jstring.h"

namespace tessaly {

struct TBindImageType {
  JString name;
  std::int32_t size = 0;
  bool used = false;
};

class TBoundImages {
 public:
  TBoundImages() = default;
  explicit TBoundImages(std::filesystem::path workDir) : workDir_(std::move(workDir)) {}

  const std::filesystem::path& WorkDir() const { return workDir_; }
  void SetWorkDir(std::filesystem::path dir) { workDir_ = std::move(dir); }

  std::vector<TBindImageType> Entries;
  void Clear() { Entries.clear(); }

  // The working file of an image name, or an empty path when the name cannot
  // name a file there (see CheckImageName).
  std::filesystem::path PathOf(const JString& name) const;
  // The working file of a name that CheckImageName made (`wide`: from UTF-16).
  std::filesystem::path FilePath(const std::string& fsName, bool wide) const;

 private:
  std::filesystem::path workDir_;
};

// An image name comes from the file and becomes a file name in the working
// folder, so it must be a plain file name: no one-byte "/", "\" or ":" and no
// control character (walked by character, so the trail byte of a two-byte
// character is never a separator, and a lead byte must have a trail byte of
// 0x40 or more), not "." or "..", and at most 255 bytes as a
// file-system name (a UTF-16 name in its UTF-8 form; a lone surrogate fails).
// Answers the file-system name, or false with the reason.
bool CheckImageName(const JString& name, std::string& fsName, std::string& why);

}  // namespace tessaly

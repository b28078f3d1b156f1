// What a path names on disk, and whether two paths name one file.
#pragma once

#include <filesystem>
#include <string>

namespace tessaly {

struct FileState {
  enum Kind { kMissing, kRegular, kFolder, kOther, kUnknown };
  Kind kind = kMissing;
  // All write bits are clear: the file is marked read-only. Root could write it
  // all the same, so this is asked of the file, not of the system.
  bool readOnly = false;
  std::string error;  // why the state could not be found (kUnknown)

  bool exists() const { return kind != kMissing && kind != kUnknown; }
};

// The state of the file a path names, a link followed.
FileState Inspect(const std::filesystem::path& path);

// The file itself when the path is a link: no link is followed.
FileState InspectLink(const std::filesystem::path& path);

// True when both paths name one existing file (by its identity, not its name).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Two paths with the same key name the same file: an existing file by its
// identity, a file still to be made by its resolved path.
std::string FileKey(const std::filesystem::path& path);

}  // namespace tessaly

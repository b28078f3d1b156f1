// The working folder for the images embedded in drawings: unique to the running
// process, readable by its owner only, under the system's temporary folder
// ($TMPDIR when set), and removed with everything in it when it is destroyed.
#pragma once

#include <filesystem>
#include <string>

#include "archive/message.h"

namespace tessaly {

class WorkingFolder {
 public:
  WorkingFolder() = default;
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  // Creates the folder; answers false with the reason.
  bool Create(Message& error);
  void Remove();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tessaly

// The folders a run makes for its targets (an output folder's subfolders), and
// the folders it writes into.
#pragma once

#include <filesystem>
#include <set>
#include <vector>

#include "app/failure.h"

namespace tessaly {

// A folder made for files that all failed is removed again when the run ends,
// if it is still empty; never while the run goes on, when the next file, bound
// for the same folder, may have found it there and be about to write into it.
class RunFolders {
 public:
  RunFolders() = default;
  ~RunFolders() { RemoveEmpty(); }
  RunFolders(const RunFolders&) = delete;
  RunFolders& operator=(const RunFolders&) = delete;

  // Makes the folder and its missing parents.
  Failure Make(const std::filesystem::path& folder);
  // Removes the folders made that are empty, the last made first, and forgets
  // them all.
  void RemoveEmpty();

  // Before the run's first write into a folder: the temporary files that runs
  // killed before they ended left there are removed (leftovers.h). Once per
  // folder and run.
  void Tidy(const std::filesystem::path& folder);
  void ForgetTidied() { tidied_.clear(); }

 private:
  std::vector<std::filesystem::path> made_;
  std::set<std::filesystem::path> tidied_;
};

}  // namespace tessaly

// What the working folder does the same way on every system; making it is each
// platform half's.
#include "io/working_folder.h"

#include <system_error>

namespace tessaly {

WorkingFolder::~WorkingFolder() { Remove(); }

void WorkingFolder::Remove() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
  path_.clear();
}

}  // namespace tessaly

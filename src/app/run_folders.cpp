#include "app/run_folders.h"

#include <system_error>

#include "io/leftovers.h"
#include "io/path_text.h"

namespace tessaly {
namespace fs = std::filesystem;

Failure RunFolders::Make(const fs::path& folder) {
  std::vector<fs::path> missing;
  std::error_code ec;
  for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!fs::create_directory(*it, ec) && ec) {
      Failure f;
      f.code = FailureCode::kCannotCreateFolder;
      f.role = FileRole::kFolder;
      f.file = *it;
      f.system = ec.message();
      f.Say(Message("cannot create the folder {folder}: {system}").Set("folder", PathToUtf8(*it)).Set("system", f.system));
      return f;
    }
    made_.push_back(*it);
  }
  return {};
}

void RunFolders::RemoveEmpty() {
  std::error_code ec;
  // fs::remove takes an empty folder only.
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) fs::remove(*it, ec);
  made_.clear();
}

void RunFolders::Tidy(const fs::path& folder) {
  const fs::path key = (folder.empty() ? fs::path(".") : folder).lexically_normal();
  if (tidied_.insert(key).second) RemoveLeftTemporaryFiles(key);
}

}  // namespace tessaly

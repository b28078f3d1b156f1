#include "io/working_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "io/leftovers.h"

namespace tessaly {
namespace fs = std::filesystem;

bool WorkingFolder::Create(Message& error) {
  Remove();
  const char* tmp = std::getenv("TMPDIR");
  fs::path base = (tmp && *tmp) ? fs::path(tmp) : fs::path("/tmp");
  // Named with the process number, so that a later run knows it for left
  // behind once this process is gone, and removes it.
  RemoveLeftWorkingFolders(base);
  std::string templ = (base / ("tessaly-" + std::to_string(::getpid()) + "-XXXXXX")).string();
  // mkdtemp makes the folder with mode 0700.
  if (::mkdtemp(templ.data()) == nullptr) {
    error = Message("cannot create a working folder in {folder}: {system}")
                .Set("folder", base.string())
                .Set("system", std::strerror(errno));
    return false;
  }
  path_ = templ;
  return true;
}

}  // namespace tessaly

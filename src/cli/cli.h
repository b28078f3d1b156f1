// tessaly-cli as a function, so that it can be tested in-process.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/catalogue.h"

namespace tessaly {
struct FileResult;
}

namespace tessaly::cli {

// What tests may ask of a run.
struct RunHooks {
  // Called after each file's result is printed.
  std::function<void(const FileResult&)> afterFile;
};

// args excludes the program name. Answers the exit status: 0 when every file
// was converted, had nothing to dissolve or was skipped, 1 when any failed, 2
// for a usage error (nothing is converted then), 128 + the signal number after
// Ctrl-C (SIGINT, 130), SIGTERM or SIGHUP, which end the run before the next
// file.
// With `progress` a progress line is kept on `err` (meant for a terminal).
// Everything is said in `language`, but for the paths and what the system says.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool progress = false, const RunHooks& hooks = {}, Language language = Language::kEnglish);

}  // namespace tessaly::cli

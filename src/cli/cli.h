// tessaly-cli as a function, so that it can be tested in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tessaly::cli {

// args excludes the program name. Answers the exit status.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tessaly::cli

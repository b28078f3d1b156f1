// A short readable summary of a JWW drawing or a JWS figure, for --info.
#pragma once

#include <filesystem>
#include <ostream>

namespace tessaly::cli {

// Prints the summary of one file on `out`; answers false after one line on
// `err` saying why when it cannot be read.
bool PrintInfo(const std::filesystem::path& path, const std::filesystem::path& workDir,
               std::ostream& out, std::ostream& err);

}  // namespace tessaly::cli

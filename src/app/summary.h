// A short readable summary of a JWW drawing or a JWS figure, for --info.
#pragma once

#include <filesystem>
#include <ostream>

namespace tessaly {

// Prints the summary of one file on `out` (format, version, counts per kind in
// the main list and in the block definitions, dimensions, and for drawings the
// memo and the embedded images, extracted into `workDir`); answers false after
// one line on `err` saying why when it cannot be read.
bool PrintSummary(const std::filesystem::path& path, const std::filesystem::path& workDir,
                  std::ostream& out, std::ostream& err);

}  // namespace tessaly

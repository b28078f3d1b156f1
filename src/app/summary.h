// A short readable summary of a JWW drawing or a JWS figure, for --info.
#pragma once

#include <filesystem>
#include <ostream>

#include "app/catalogue.h"

namespace tessaly {

// Prints the summary of one file on `out` (format, version, counts per kind in
// the main list and in the block definitions, dimensions, and for drawings the
// memo and the embedded images); answers false after one line on `err` saying
// why when it cannot be read, all in `language` but for names and paths. The format is the one whose signature the file
// begins with, whatever its name.
bool PrintSummary(const std::filesystem::path& path, Language language, std::ostream& out, std::ostream& err);

}  // namespace tessaly

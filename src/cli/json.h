// The results of a run as JSON Lines, for programs: one object per file in the
// list's order, then one summary object. Keys are stable; the README lists them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/catalogue.h"
#include "app/run.h"

namespace tessaly::cli {

// A JSON string of UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::string JsonText(std::string_view utf8);

// The object of one file's result, its reason said in `language`.
std::string FileJson(const FileResult& r, Language language);

// The totals of a run, as the summary object says them.
struct JsonTotals {
  std::size_t files = 0, converted = 0, nothingToDissolve = 0, planned = 0, skipped = 0, failed = 0;
  std::size_t notTakenUp = 0;
  std::int64_t dimensions = 0, lines = 0, texts = 0, points = 0;
  bool dryRun = false, stopped = false;
  int exitStatus = 0;

  void Count(const FileResult& r);
};
std::string SummaryJson(const JsonTotals& t);

}  // namespace tessaly::cli

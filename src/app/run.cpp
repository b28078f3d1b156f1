#include "app/run.h"

#include "io/path_text.h"

namespace tessaly {

std::vector<ConvertItem> ItemsFor(const std::vector<std::filesystem::path>& files,
                                  const std::filesystem::path& destination) {
  std::vector<ConvertItem> items;
  items.reserve(files.size());
  for (const auto& f : files) items.push_back({f, destination, false});
  return items;
}

void FileResult::Fail(Failure why) {
  outcome = FileOutcome::kFailed;
  failure = std::move(why);
  written = false;
  dimensions = lines = texts = points = 0;
}

void RunSummary::Count(const FileResult& r) {
  switch (r.outcome) {
    case FileOutcome::kConverted: ++converted; break;
    case FileOutcome::kNothingToDissolve: ++nothingToDissolve; break;
    case FileOutcome::kSkipped: ++skipped; break;
    case FileOutcome::kFailed: ++failed; break;
  }
  dimensions += r.dimensions;
}

std::string UpperExtension(const std::filesystem::path& path) {
  const std::string name = PathToUtf8(path.filename());
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ext;
}

}  // namespace tessaly

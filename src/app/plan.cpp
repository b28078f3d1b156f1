#include "app/plan.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "io/file_state.h"
#include "io/path_text.h"

namespace tessaly {
namespace fs = std::filesystem;

PlanWalker::PlanWalker(const Converter& converter, std::optional<fs::path> outputDir, Plan& plan)
    : converter_(converter), outputDir_(std::move(outputDir)), plan_(plan) {
  if (outputDir_ && Inspect(*outputDir_).exists()) outputKey_ = FileKey(*outputDir_);
}

namespace {

Failure Examined(const fs::path& p, FailureCode code, Message text, std::string system = {}) {
  Failure f;
  f.code = code;
  f.file = p;
  f.system = std::move(system);
  f.Say(std::move(text));
  return f;
}

}  // namespace

void PlanWalker::Input(const fs::path& p) {
  const FileState st = Inspect(p);
  if (st.kind == FileState::kUnknown) {
    plan_.failures.push_back(Examined(p, FailureCode::kCannotExamine, Message::Value(st.error), st.error));
    return;
  }
  if (!st.exists()) {
    plan_.failures.push_back(InspectLink(p).exists()
                                 ? Examined(p, FailureCode::kLinkToNothing, Message("a link to nothing"))
                                 : Examined(p, FailureCode::kNoSuchFile, Message("no such file")));
    return;
  }
  if (st.kind == FileState::kFolder) {
    const std::size_t before = plan_.items.size();
    Folder(p, fs::path());
    if (plan_.items.size() == before) plan_.emptyFolders.push_back(p);
    return;
  }
  plan_.items.push_back({p, outputDir_ ? *outputDir_ : fs::path(), false});
}

void PlanWalker::Folder(const fs::path& folder, const fs::path& relative) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(it->path());
  if (ec) {
    plan_.failures.push_back(
        Examined(folder, FailureCode::kCannotReadFolder,
                 Message("cannot read the folder: {system}").Set("system", ec.message()), ec.message()));
    return;
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& e : entries) {
    const FileState st = InspectLink(e);
    if (st.kind == FileState::kUnknown) {
      plan_.failures.push_back(Examined(e, FailureCode::kCannotExamine, Message::Value(st.error), st.error));
    } else if (st.kind == FileState::kFolder) {
      // The output folder inside a converted folder holds our own results.
      if (!outputKey_.empty() && FileKey(e) == outputKey_) continue;
      Folder(e, relative / e.filename());
    } else if (st.kind == FileState::kRegular && converter_.IsConvertible(e)) {
      ConvertItem item{e, {}, false};
      if (outputDir_) {
        item.destination = relative.empty() ? *outputDir_ : *outputDir_ / relative;
        item.createDestination = !relative.empty();
      }
      plan_.items.push_back(std::move(item));
    }
  }
}

Plan MakePlan(const Converter& converter, const std::vector<std::string>& inputs,
              const std::optional<fs::path>& outputDir) {
  Plan plan;
  PlanWalker walker(converter, outputDir, plan);
  for (const auto& a : inputs) walker.Input(PathFromUtf8(a));
  return plan;
}

std::vector<Clash> FindClashes(const Converter& converter, const std::vector<ConvertItem>& items,
                               bool sameFileInPlace) {
  std::vector<Clash> clashes;
  std::map<std::string, std::size_t> targets, backups, inPlace;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const ConvertItem& item = items[i];
    if (!converter.IsConvertible(item.source)) continue;
    const std::string source = FileKey(item.source);
    const fs::path target = Converter::TargetFor(item);
    const std::string targetKey = FileKey(target);
    if (sameFileInPlace && targetKey == source && !inPlace.emplace(source, i).second) continue;
    auto [t, newTarget] = targets.emplace(targetKey, i);
    if (!newTarget) {
      const bool sameFile = FileKey(items[t->second].source) == source;
      clashes.push_back({sameFile ? Clash::kSameFile : Clash::kSameTarget, i, t->second, target});
      continue;
    }
    const fs::path backup = converter.BackupFor(item);
    auto [b, newBackup] = backups.emplace(FileKey(backup), i);
    if (!newBackup) clashes.push_back({Clash::kSameBackup, i, b->second, backup});
  }
  return clashes;
}

Failure FindClash(const Converter& converter, const Plan& plan) {
  const std::vector<Clash> clashes = FindClashes(converter, plan.items, /*sameFileInPlace=*/false);
  if (clashes.empty()) return {};
  const Clash& c = clashes.front();
  const fs::path& first = plan.items[c.first].source;
  const fs::path& later = plan.items[c.item].source;
  Failure f;
  f.file = later;
  f.other = first;
  switch (c.kind) {
    case Clash::kSameFile:
      f.code = FailureCode::kNamedTwice;
      f.Say(first != later ? Message("{first} is named twice (also as {later})")
                                 .Set("first", PathToUtf8(first))
                                 .Set("later", PathToUtf8(later))
                           : Message("{first} is named twice").Set("first", PathToUtf8(first)));
      break;
    case Clash::kSameTarget:
      f.code = FailureCode::kSameTarget;
      f.role = FileRole::kTarget;
      f.Say(Message("{first} and {later} would both be written to {where}")
                .Set("first", PathToUtf8(first))
                .Set("later", PathToUtf8(later))
                .Set("where", PathToUtf8(c.where)));
      break;
    case Clash::kSameBackup:
      f.code = FailureCode::kSameBackup;
      f.role = FileRole::kBackup;
      f.Say(Message("{first} and {later} would both be backed up to {where}")
                .Set("first", PathToUtf8(first))
                .Set("later", PathToUtf8(later))
                .Set("where", PathToUtf8(c.where)));
      break;
  }
  return f;
}

bool MayOverlap(const Converter& converter, const std::vector<ConvertItem>& items) {
  // A file that another one replaces or backs up, or one listed twice, is read
  // only once the files before it are in place; so is every file of a list
  // where two would write one file. A single file has nothing to overlap.
  if (items.size() < 2) return false;
  std::map<std::string, std::size_t> written;
  std::vector<std::string> sources;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!converter.IsConvertible(items[i].source)) {
      sources.emplace_back();
      continue;
    }
    sources.push_back(FileKey(items[i].source));
    if (!written.emplace(FileKey(Converter::TargetFor(items[i])), i).second) return false;
    if (!written.emplace(FileKey(converter.BackupFor(items[i])), i).second) return false;
  }
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (sources[i].empty()) continue;
    if (!seen.emplace(sources[i], i).second) return false;
    const auto w = written.find(sources[i]);
    if (w != written.end() && w->second != i) return false;
  }
  return true;
}

std::vector<Message> EmptyFolderNotes(const Converter& converter, const Plan& plan) {
  std::string kinds;
  for (const auto& ext : converter.Extensions()) {
    std::string lower(ext);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    kinds += (kinds.empty() ? "" : " or ") + lower;
  }
  std::vector<Message> notes;
  for (const auto& f : plan.emptyFolders)
    notes.push_back(Message("no {kinds} drawings found in {folder}").Set("kinds", kinds).Set("folder", PathToUtf8(f)));
  return notes;
}

}  // namespace tessaly

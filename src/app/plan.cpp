#include "app/plan.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "io/file_state.h"
#include "io/path_text.h"

namespace tessaly {
namespace fs = std::filesystem;

PlanWalker::PlanWalker(const Converter& converter, std::optional<fs::path> outputDir, Plan& plan,
                       std::optional<fs::path> base)
    : converter_(converter), outputDir_(std::move(outputDir)), plan_(plan) {
  if (outputDir_ && Inspect(*outputDir_).exists()) outputKey_ = FileKey(*outputDir_);
  std::error_code ec;
  if (outputDir_ && base) base_ = fs::absolute(*base, ec).lexically_normal();
}

std::optional<fs::path> PlanWalker::BelowBase(const fs::path& folder) const {
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, ec).lexically_normal();
  // As the names are written; else by the folders' identity, which sees
  // through a link, another spelling of the same name, or another case where
  // names are case-blind.
  fs::path relative = absolute.lexically_relative(*base_);
  if (!relative.empty() && *relative.begin() != "..") return relative == "." ? fs::path() : relative;
  relative.clear();
  for (fs::path p = absolute; p.has_relative_path(); p = p.parent_path()) {
    if (SameFile(p, *base_)) return relative;
    relative = relative.empty() ? p.filename() : p.filename() / relative;
  }
  return std::nullopt;
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

void PlanWalker::Fail(Failure f) {
  plan_.failures.push_back(std::move(f));
  plan_.failedBefore.push_back(plan_.items.size());
}

void PlanWalker::Input(const fs::path& p) {
  const FileState st = Inspect(p);
  if (st.kind == FileState::kUnknown) {
    Fail(Examined(p, FailureCode::kCannotExamine, Message::Value(st.error), st.error));
    return;
  }
  if (!st.exists()) {
    Fail(InspectLink(p).exists()
                                 ? Examined(p, FailureCode::kLinkToNothing, Message("a link to nothing"))
                                 : Examined(p, FailureCode::kNoSuchFile, Message("no such file")));
    return;
  }
  fs::path relative;
  if (base_) {
    const std::optional<fs::path> below = BelowBase(st.kind == FileState::kFolder ? p : p.parent_path());
    if (!below) {
      Fail(
          Examined(p, FailureCode::kOutsideBase,
                   Message("not below the base folder {base}").Set("base", PathToUtf8(*base_))));
      return;
    }
    relative = *below;
  }
  if (st.kind == FileState::kFolder) {
    const std::size_t before = plan_.items.size();
    Folder(p, relative);
    if (plan_.items.size() == before) plan_.emptyFolders.push_back(p);
    return;
  }
  if (!outputDir_) {
    plan_.items.push_back({p, fs::path(), false});
  } else {
    plan_.items.push_back({p, relative.empty() ? *outputDir_ : *outputDir_ / relative, !relative.empty()});
  }
}

void PlanWalker::Folder(const fs::path& folder, const fs::path& relative) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(it->path());
  if (ec) {
    Fail(
        Examined(folder, FailureCode::kCannotReadFolder,
                 Message("cannot read the folder: {system}").Set("system", ec.message()), ec.message()));
    return;
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& e : entries) {
    const FileState st = InspectLink(e);
    if (st.kind == FileState::kUnknown) {
      Fail(Examined(e, FailureCode::kCannotExamine, Message::Value(st.error), st.error));
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
              const std::optional<fs::path>& outputDir, const std::optional<fs::path>& base) {
  Plan plan;
  PlanWalker walker(converter, outputDir, plan, base);
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

namespace {

Failure ClashFailure(const Plan& plan, const Clash& c) {
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

}  // namespace

std::vector<Failure> FindClashes(const Converter& converter, const Plan& plan) {
  std::vector<Failure> failures;
  for (const Clash& c : FindClashes(converter, plan.items, /*sameFileInPlace=*/false))
    failures.push_back(ClashFailure(plan, c));
  return failures;
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

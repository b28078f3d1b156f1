#include "app/convert.h"

#include <functional>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

#include "app/file_copy.h"
#include "io/background.h"
#include "io/path_text.h"
#include "jws/jws_data.h"
#include "io/file_state.h"
#include "io/files.h"
#include "jww/jww_data.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

std::string Counted(std::size_t i, std::size_t n) {
  return "(" + std::to_string(i) + "/" + std::to_string(n) + ") ";
}

// Why a file that its extension gives to a format failed the signature check.
std::string SignatureFailure(const fs::path& source, const FormatPipeline& format) {
  const FileState st = Inspect(source);
  switch (st.kind) {
    case FileState::kMissing: return "no such file";
    case FileState::kUnknown: return "cannot examine the file: " + st.error;
    case FileState::kFolder: return "is a folder";
    case FileState::kOther: return "not a regular file";
    case FileState::kRegular: break;
  }
  std::string why;
  if (!CanOpenForReading(source, why)) return "cannot open: " + why;
  return "not a " + std::string(format.Noun());
}

// Why a file that is to be replaced cannot be, or empty when it can be or does
// not exist yet (`exists` says which). A link counts as the file it points to.
std::string Unreplaceable(const fs::path& p, const char* role, bool& exists) {
  const FileState st = Inspect(p);
  exists = st.exists();
  const std::string what = std::string(role) + " " + PathToUtf8(p);
  switch (st.kind) {
    case FileState::kMissing: return {};
    case FileState::kUnknown: return "cannot examine " + what + ": " + st.error;
    case FileState::kFolder: return what + " is a folder";
    case FileState::kOther: return what + " is not a regular file";
    case FileState::kRegular: break;
  }
  // Root may write anyway; a file marked read-only is left as it is.
  return st.readOnly ? what + " is read-only" : std::string();
}

// The folders made for a file's target, removed again (when still empty) unless
// the file was put in place.
class NewFolders {
 public:
  NewFolders() = default;
  ~NewFolders() {
    std::error_code ec;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) fs::remove(*it, ec);
  }
  NewFolders(const NewFolders&) = delete;
  NewFolders& operator=(const NewFolders&) = delete;

  bool Make(const fs::path& folder, std::string& error) {
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
      missing.push_back(p);
      if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      if (!fs::create_directory(*it, ec) && ec) {
        error = "cannot create the folder " + PathToUtf8(*it) + ": " + ec.message();
        return false;
      }
      made_.push_back(*it);
    }
    return true;
  }
  void Keep() { made_.clear(); }

 private:
  std::vector<fs::path> made_;
};

// Runs a clean-up when the scope ends, however it ends.
class CleanUpGuard {
 public:
  explicit CleanUpGuard(std::function<void()> f) : f_(std::move(f)) {}
  ~CleanUpGuard() { f_(); }
  CleanUpGuard(const CleanUpGuard&) = delete;
  CleanUpGuard& operator=(const CleanUpGuard&) = delete;

 private:
  std::function<void()> f_;
};

}  // namespace

struct Converter::Pending {
  FileResult result;  // as it is once the files are in place
  // Declared before the files, so that folders made for them go after them.
  std::unique_ptr<NewFolders> folders;
  std::unique_ptr<AtomicFile> out;
  std::unique_ptr<AtomicFile> copy;  // the backup's, or none
  fs::path backup;
};

// Puts converted files in place on a thread of its own, one at a time, while
// the run reads and converts the next file: flushing a small file to disk takes
// longer than converting it.
class Converter::Committer {
 public:
  explicit Committer(Converter& converter) : converter_(converter) {}

  bool Busy() const { return job_.Busy(); }

  // Starts putting `pending` in place; false (and `pending` kept) when no
  // thread can be made.
  bool Start(std::unique_ptr<Pending>& pending) {
    job_.Wait();
    pending_ = std::move(pending);
    if (job_.Start([this] {
          result_ = converter_.Commit(*pending_);
          // Its temporary files and new folders, if any are left, go before
          // the result is told.
          pending_.reset();
        })) {
      return true;
    }
    pending = std::move(pending_);
    return false;
  }

  // Waits for the file started last and answers its result.
  FileResult Finish() {
    job_.Wait();
    return std::move(result_);
  }

 private:
  Converter& converter_;
  std::unique_ptr<Pending> pending_;  // the job's while it runs
  FileResult result_;
  BackgroundJob job_;  // last: waited for before the file it puts in place goes
};

std::string BackingUpStatus(std::size_t i, std::size_t n, const fs::path& target) {
  return "バックアップ中" + Counted(i, n) + PathToUtf8(target);
}

std::string ConvertingStatus(std::size_t i, std::size_t n, const fs::path& source) {
  return "変換中" + Counted(i, n) + PathToUtf8(source);
}

std::string FinishedStatus(std::size_t n) {
  return "変換完了(" + std::to_string(n) + ")";
}

std::string StoppedStatus() {
  return "変換を中断しました(ESC)";
}

std::string UpperExtension(const fs::path& path) {
  const std::string name = PathToUtf8(path.filename());
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ext;
}

std::vector<ConvertItem> ItemsFor(const std::vector<fs::path>& files, const fs::path& destination) {
  std::vector<ConvertItem> items;
  items.reserve(files.size());
  for (const auto& f : files) items.push_back({f, destination, false});
  return items;
}

Converter::Converter(SinkFilter filter) : filter_(std::move(filter)) {
  AddPipeline(std::make_unique<DocumentPipeline<TJwwData>>(images_));
  AddPipeline(std::make_unique<DocumentPipeline<TJwsData>>());
}

Converter::~Converter() = default;

void Converter::AddPipeline(std::unique_ptr<FormatPipeline> pipeline) {
  pipelines_.push_back(std::move(pipeline));
}

FormatPipeline* Converter::PipelineFor(const fs::path& path) const {
  const std::string ext = UpperExtension(path);
  for (const auto& p : pipelines_) {
    if (ext == p->Extension()) return p.get();
  }
  return nullptr;
}

std::string Converter::FormatNames() const {
  std::string names;
  for (std::size_t i = 0; i < pipelines_.size(); ++i) {
    if (i > 0) names += i + 1 == pipelines_.size() ? " or " : ", ";
    names += pipelines_[i]->Extension().substr(1);
  }
  return names;
}

std::vector<std::string_view> Converter::Extensions() const {
  std::vector<std::string_view> v;
  for (const auto& p : pipelines_) v.push_back(p->Extension());
  return v;
}

fs::path Converter::TargetFor(const ConvertItem& item) {
  const fs::path folder = item.destination.empty() ? item.source.parent_path() : item.destination;
  return folder / item.source.filename();
}

fs::path Converter::BackupFor(const ConvertItem& item) const {
  const FormatPipeline* format = PipelineFor(item.source);
  if (!format) return {};
  const fs::path target = TargetFor(item);
  // Built from UTF-8 text, never from the ANSI code page's reading of it.
  const std::string name = PathToUtf8(target.filename());
  return target.parent_path() /
         PathFromUtf8(name.substr(0, name.rfind('.')) + std::string(format->BackupExtension()));
}

void Converter::CleanUp() {
  for (const auto& p : pipelines_) p->Clear();
  DeleteCompressedWorkFiles(images_);
  DeleteExpandedWorkFiles(images_);
  images_.Clear();
}

RunSummary Converter::ConvertFiles(std::vector<ConvertItem> items, bool drawReferencePoints,
                                   ConvertFrontEnd& frontEnd) {
  RunSummary summary;
  if (running_) {
    summary.refused = true;
    return summary;
  }
  running_ = true;
  // Whatever a front end throws, the run ends with its working folder removed
  // and a new run possible.
  CleanUpGuard endRun([this] {
    flushes_.FlushAll();
    images_.SetWorkDir({});
    work_.Remove();
    running_ = false;
  });
  const std::size_t n = items.size();
  summary.files = n;

  workError_.clear();
  if (work_.Create(workError_)) {
    images_.SetWorkDir(work_.Path());
  } else {
    images_.SetWorkDir({});  // drawings with embedded images then fail to load, saying why
  }

  auto report = [&](const FileResult& r) {
    switch (r.outcome) {
      case FileOutcome::kConverted:
        ++summary.converted;
        break;
      case FileOutcome::kNothingToDissolve:
        ++summary.nothingToDissolve;
        break;
      case FileOutcome::kSkipped:
        ++summary.skipped;
        break;
      case FileOutcome::kFailed:
        ++summary.failed;
        break;
    }
    summary.dimensions += r.dimensions;
    frontEnd.FileFinished(r);
    frontEnd.ProcessEvents();
  };
  // Destroyed before the run's end above: the files it puts in place are in
  // place before their folders are flushed.
  Committer committer(*this);
  const bool overlap = MayOverlap(items);
  for (std::size_t p = 0; p < n; ++p) {
    if (frontEnd.StopRequested()) {
      summary.stopped = true;
      break;
    }
    std::unique_ptr<Pending> pending;
    FileResult r = ConvertOne(items[p], p, n, drawReferencePoints, frontEnd, pending);
    if (committer.Busy()) report(committer.Finish());
    if (pending) {
      if (overlap && committer.Start(pending)) continue;
      r = Commit(*pending);
    }
    report(r);
  }
  if (committer.Busy()) report(committer.Finish());

  flushes_.FlushAll();
  images_.SetWorkDir({});
  work_.Remove();
  frontEnd.ShowStatus(summary.stopped ? StoppedStatus() : FinishedStatus(n));
  return summary;
}

FileResult Converter::ConvertOne(const ConvertItem& item, std::size_t position, std::size_t count,
                                 bool drawReferencePoints, ConvertFrontEnd& frontEnd,
                                 std::unique_ptr<Pending>& pending) {
  FileResult r;
  r.position = position;
  r.count = count;
  r.source = item.source;
  FormatPipeline* format = PipelineFor(item.source);
  if (!format) {
    r.outcome = FileOutcome::kSkipped;
    r.reason = "not a " + FormatNames() + " file";
    return r;
  }
  frontEnd.FileStarted(item.source, position, count);
  frontEnd.ProcessEvents();
  r.target = TargetFor(item);
  auto fail = [&r](std::string why) {
    r.outcome = FileOutcome::kFailed;
    r.reason = std::move(why);
    return r;
  };

  CleanUpGuard cleanUp([this] { CleanUp(); });
  try {
    // Read first, so that nothing is written for a file that cannot be read.
    if (!format->IsFile(item.source)) return fail(SignatureFailure(item.source, *format));
    if (!format->Load(item.source)) {
      std::string why = format->Error();
      if (!workError_.empty()) why += " (" + workError_ + ")";
      return fail(why);
    }

    // Converting a file in its own folder a second time would back up the
    // converted file over the backup of the original.
    if (SameFile(item.source, r.target) && !HasDimensions(format->Lists())) {
      r.outcome = FileOutcome::kNothingToDissolve;
      return r;
    }
    bool exists = false;
    std::string why = Unreplaceable(r.target, "the target", exists);
    if (!why.empty()) return fail(why);
    fs::path backup;
    if (exists) {
      backup = BackupFor(item);
      bool backupExists = false;
      why = Unreplaceable(backup, "the backup", backupExists);
      if (!why.empty()) return fail(why);
      frontEnd.ShowStatus(BackingUpStatus(position + 1, count, r.target));
    }
    frontEnd.ShowStatus(ConvertingStatus(position + 1, count, item.source));
    const DissolveResult d = format->Dissolve(drawReferencePoints);

    // Nothing on disk changes here: the output and the backup are written to
    // temporary files, flushed and put in place by Commit.
    auto next = std::make_unique<Pending>();
    next->folders = std::make_unique<NewFolders>();
    if (item.createDestination && !item.destination.empty() &&
        !next->folders->Make(item.destination, why))
      return fail(why);
    next->out = std::make_unique<AtomicFile>(r.target);
    {
      std::unique_ptr<ByteSink> filtered = filter_ ? filter_(*next->out, next->out->Target()) : nullptr;
      format->Write(filtered ? *filtered : *next->out);
    }
    if (exists) {
      next->copy = PrepareCopy(r.target, backup, /*keepTime=*/true, why, filter_, /*flush=*/false);
      if (!next->copy) return fail("cannot make the backup: " + why);
      next->backup = backup;
    }
    r.dimensions = d.dimensions;
    r.outcome = d.dimensions > 0 ? FileOutcome::kConverted : FileOutcome::kNothingToDissolve;
    next->result = r;
    pending = std::move(next);
  } catch (const WriteError& e) {
    return fail(e.what());
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  }
  return r;
}

FileResult Converter::Commit(Pending& p) {
  FileResult r = std::move(p.result);
  try {
    // The output and the backup are flushed; the backup's name is on disk
    // before the target is replaced, as it may then be the only copy of the
    // original; the target's folder is flushed as the run ends.
    p.out->Finish();
    if (p.copy) {
      p.copy->Commit();
      r.backup = p.backup;
    }
    p.out->Commit(flushes_);
    p.folders->Keep();
    r.written = true;
    return r;
  } catch (const WriteError& e) {
    r.reason = e.what();
  } catch (const std::bad_alloc&) {
    r.reason = "out of memory";
  }
  r.outcome = FileOutcome::kFailed;
  r.dimensions = 0;
  return r;
}

bool Converter::MayOverlap(const std::vector<ConvertItem>& items) const {
  // A file that another one replaces or backs up, or one listed twice, is read
  // only once the files before it are in place; so is every file of a list
  // where two would write one file. A single file has nothing to overlap.
  if (items.size() < 2) return false;
  std::map<std::string, std::size_t> written;
  std::vector<std::string> sources;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!IsConvertible(items[i].source)) {
      sources.emplace_back();
      continue;
    }
    sources.push_back(FileKey(items[i].source));
    if (!written.emplace(FileKey(TargetFor(items[i])), i).second) return false;
    if (!written.emplace(FileKey(BackupFor(items[i])), i).second) return false;
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

}  // namespace tessaly

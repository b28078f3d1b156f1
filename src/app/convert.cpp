#include "app/convert.h"

#include <new>
#include <utility>

#include "app/plan.h"
#include "io/file_state.h"
#include "io/path_text.h"
#include "jws/jws_data.h"
#include "jww/jww_data.h"

namespace tessaly {
namespace fs = std::filesystem;
namespace {

// Why a file that is to be replaced cannot be, or nothing when it can be or
// does not exist yet. A link counts as the file it points to.
Failure Unreplaceable(const fs::path& p, FileRole role, const FileState& st) {
  Failure f;
  f.role = role;
  f.file = p;
  Message what = role == FileRole::kBackup ? Message("the backup {file}") : Message("the target {file}");
  what.Set("file", PathToUtf8(p));
  switch (st.kind) {
    case FileState::kMissing: return {};
    case FileState::kUnknown:
      f.code = FailureCode::kCannotExamine;
      f.system = st.error;
      f.Say(Message("cannot examine {what}: {system}").Set("what", what).Set("system", st.error));
      return f;
    case FileState::kFolder:
      f.code = FailureCode::kIsFolder;
      f.Say(Message("{what} is a folder").Set("what", what));
      return f;
    case FileState::kOther:
      f.code = FailureCode::kNotRegularFile;
      f.Say(Message("{what} is not a regular file").Set("what", what));
      return f;
    case FileState::kRegular: break;
  }
  // Root may write anyway; a file marked read-only is left as it is.
  if (!st.readOnly) return {};
  f.code = FailureCode::kReadOnly;
  f.Say(Message("{what} is read-only").Set("what", what));
  return f;
}

}  // namespace

Converter::Converter(ConvertHooks hooks) : hooks_(std::move(hooks)) {
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

RunSummary Converter::ConvertFiles(std::vector<ConvertItem> items, bool drawReferencePoints,
                                   ConvertFrontEnd& frontEnd) {
  if (running_) {
    RunSummary refused;
    refused.refused = true;
    return refused;
  }
  // However the run ends (a front end may throw), a new one may start.
  struct Running {
    bool& running;
    ~Running() { running = false; }
  } running{running_ = true};
  const RunSummary summary = Run(items, drawReferencePoints, frontEnd);
  frontEnd.ShowStatus(summary.stopped ? StoppedStatus() : FinishedStatus(items.size()));
  return summary;
}

RunSummary Converter::Run(const std::vector<ConvertItem>& items, bool drawReferencePoints,
                          ConvertFrontEnd& frontEnd) {
  // A dry run's images (it makes no working folder).
  MemoryImages inMemory;
  // The run's end, however it comes: the folders of the files put in place
  // flushed, the folders made for files that all failed removed, the working
  // folder gone.
  struct EndRun {
    Converter& c;
    ~EndRun() {
      c.flushes_.FlushAll();
      c.folders_.RemoveEmpty();
      c.folders_.ForgetTidied();
      c.images_.SetStore(nullptr);
      c.workImages_.reset();
      c.work_.Remove();
    }
  } endRun{*this};
  workError_ = {};
  if (dryRun_) {
    images_.SetStore(&inMemory);
  } else if (work_.Create(workError_)) {
    workImages_ = std::make_unique<WorkingFolderImages>(work_.Path());
    images_.SetStore(workImages_.get());
  }  // else drawings with embedded images fail to load, saying why

  const std::size_t n = items.size();
  RunSummary summary;
  summary.files = n;
  auto report = [&](const FileResult& r) {
    summary.Count(r);
    frontEnd.FileFinished(r);
    frontEnd.ProcessEvents();
  };
  // Gone before the run's end above: the files it puts in place are in place
  // before their folders are flushed.
  Committer committer(flushes_, hooks_);
  const bool overlap = MayOverlap(*this, items);
  for (std::size_t p = 0; p < n; ++p) {
    if (frontEnd.StopRequested()) {
      summary.stopped = true;
      break;
    }
    Prepared file = Prepare(items[p], p, n, drawReferencePoints, frontEnd);
    if (committer.Busy()) report(committer.Finish());
    if (file.files) {
      if (overlap) {
        file.files = committer.Start(std::move(file.files));
        if (!file.files) continue;  // its result comes with the next file's
      }
      file.result = Commit(*file.files, flushes_, hooks_);
    }
    report(file.result);
  }
  if (committer.Busy()) report(committer.Finish());
  return summary;
}

Converter::Prepared Converter::Prepare(const ConvertItem& item, std::size_t position, std::size_t count,
                                       bool drawReferencePoints, ConvertFrontEnd& frontEnd) {
  Prepared p;
  FileResult& r = p.result;
  r.position = position;
  r.count = count;
  r.source = item.source;
  FormatPipeline* format = PipelineFor(item.source);
  if (!format) {
    r.outcome = FileOutcome::kSkipped;
    r.failure.code = FailureCode::kNotConvertible;
    r.failure.file = item.source;
    r.failure.Say(Message("not a {formats} file").Set("formats", FormatNames()));
    return p;
  }
  frontEnd.FileStarted(item.source, position, count);
  frontEnd.ProcessEvents();
  r.target = TargetFor(item);
  r.format = format->Extension().substr(1);
  r.planned = dryRun_;
  // What a killed run left beside this file's target goes, whatever becomes
  // of the file.
  if (!dryRun_) folders_.Tidy(r.target.parent_path());
  auto fail = [&p](Failure f) {
    p.result.Fail(std::move(f));
    return std::move(p);
  };

  struct CleanUp {
    Converter& c;
    ~CleanUp() { c.CleanUpFile(); }
  } cleanUp{*this};
  try {
    // Read first, so that nothing is written for a file that cannot be read.
    if (Failure f = Load(*format, item.source)) return fail(std::move(f));
    r.version = format->Version();

    // Converting a file in its own folder a second time would back up the
    // converted file over the backup of the original.
    if (SameFile(item.source, r.target) && !HasDimensions(format->Lists())) {
      r.outcome = FileOutcome::kNothingToDissolve;
      return p;
    }
    Result<Targets> targets = CheckTargets(item);
    if (!targets) return fail(targets.failure());
    if (!targets->backup.empty()) frontEnd.ShowStatus(BackingUpStatus(position + 1, count, r.target));
    frontEnd.ShowStatus(ConvertingStatus(position + 1, count, item.source));
    const DissolveResult d = format->Dissolve(drawReferencePoints);
    r.dimensions = d.dimensions;
    r.lines = d.lines;
    r.texts = d.texts;
    r.points = d.points;
    r.outcome = d.dimensions > 0 ? FileOutcome::kConverted : FileOutcome::kNothingToDissolve;
    if (dryRun_) {
      r.written = true;
      r.backup = targets->backup;
      return p;
    }

    // Nothing on disk changes here: the output and the backup are written to
    // temporary files, flushed and put in place by Commit.
    Result<std::unique_ptr<PendingFiles>> files = WriteFiles(*format, item, *targets);
    if (!files) return fail(files.failure());
    (*files)->result = r;
    p.files = std::move(*files);
  } catch (const std::bad_alloc&) {
    return fail(OutOfMemory(item.source));
  }
  return p;
}

Failure Converter::Load(FormatPipeline& format, const fs::path& source) {
  Failure f = format.Load(source, &warmer_);
  if (f && !workError_.empty()) f.Say(Message("{why} ({working})").Set("why", f.message).Set("working", workError_));
  return f;
}

Result<Converter::Targets> Converter::CheckTargets(const ConvertItem& item) const {
  Targets t;
  t.target = TargetFor(item);
  const FileState target = Inspect(t.target);
  if (Failure f = Unreplaceable(t.target, FileRole::kTarget, target)) return f;
  if (target.exists()) {
    t.backup = BackupFor(item);
    if (Failure f = Unreplaceable(t.backup, FileRole::kBackup, Inspect(t.backup))) return f;
  }
  return t;
}

Result<std::unique_ptr<PendingFiles>> Converter::WriteFiles(FormatPipeline& format, const ConvertItem& item,
                                                            const Targets& targets) {
  if (item.createDestination && !item.destination.empty()) {
    if (Failure f = folders_.Make(item.destination)) return f;
  }
  auto files = std::make_unique<PendingFiles>();
  try {
    files->out = WriteBeside(targets.target, [&format](ByteSink& out) { format.Write(out); }, hooks_.filter);
  } catch (const WriteError& e) {
    return WriteFailure(e, FileRole::kTarget, targets.target);
  }
  if (!targets.backup.empty()) {
    try {
      files->copy = PrepareCopy(targets.target, targets.backup, /*keepTime=*/true, hooks_.filter, /*flush=*/false);
    } catch (const WriteError& e) {
      return WriteFailure(e, FileRole::kBackup, targets.backup, Message("cannot make the backup: {why}"));
    }
    files->backup = targets.backup;
  }
  return files;
}

void Converter::CleanUpFile() {
  for (const auto& p : pipelines_) p->Clear();
  images_.Clear();
}

}  // namespace tessaly

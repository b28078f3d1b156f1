#include "cli/cli.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>

#include "app/catalogue.h"
#include "app/convert.h"
#include "app/plan.h"
#include "app/summary.h"
#include "app/version.h"
#include "cli/json.h"
#include "io/console.h"
#include "io/path_text.h"

namespace tessaly::cli {
namespace fs = std::filesystem;
namespace {

// The help, said in the user's language.
Message UsageText() {
  return Message(
      "usage: tessaly-cli [options] FILE|FOLDER...\n"
      "       tessaly-cli --info FILE|FOLDER...\n"
      "\n"
      "Dissolves the dimensions of JWW drawings (.jww) and JWS figures (.jws)\n"
      "into lines, texts and points. Each FILE is converted; a FOLDER converts\n"
      "every drawing and figure below it.\n"
      "Without --output-dir each file is converted in its own folder, after a\n"
      "backup copy of it (plan.jww is backed up to plan._JWW, part.jws to\n"
      "part._JWS).\n"
      "\n"
      "  -o, --output-dir DIR     write the converted files into DIR (which must\n"
      "                           exist); a folder's subfolders are made under DIR\n"
      "  --base DIR               with -o: each file goes to the place of its folder\n"
      "                           below DIR, made again under the output folder\n"
      "  --dry-run                read, check and dissolve each file as a run would,\n"
      "                           say what the run would do, write nothing\n"
      "  --json                   one JSON object per file on standard output, then\n"
      "                           a summary; messages go to standard error\n"
      "  --no-reference-points    no temporary points at SXF reference points\n"
      "  --info                   print a summary of each file (a FOLDER: of every\n"
      "                           drawing and figure below it), convert nothing\n"
      "  -q, --quiet              print failures only\n"
      "  -h, --help               show this help\n"
      "  --version                show the version\n"
      "\n"
      "Exit status: 0 when every file was converted, had nothing to dissolve or\n"
      "was skipped; 1 when any failed; 2 for a usage error (nothing converted);\n"
      "130 after Ctrl-C, which stops before the next file (143 after SIGTERM, 129\n"
      "when the terminal closes). With --dry-run: the status the run would have.\n"
      "With --info: 0 when every file was summarised, 1 when any could not be\n"
      "read, 2 for a usage error.\n");
}

struct Options {
  Language language = Language::kEnglish;
  bool info = false;
  bool quiet = false;
  bool referencePoints = true;
  bool dryRun = false;
  bool json = false;
  std::optional<fs::path> outputDir;
  std::optional<fs::path> base;
  std::string conversionOption;  // the last option given that only a conversion takes
  std::vector<std::string> inputs;
};

// The folder of an option with a folder ("-o DIR", "--output-dir DIR",
// "--output-dir=DIR"), taking the next argument when it is that; empty when it
// is missing; nothing when `a` is another option.
std::optional<std::string> FolderOption(const std::string& a, std::string_view shortName, std::string_view longName,
                                        const std::vector<std::string>& args, std::size_t& i) {
  if (a == longName || (!shortName.empty() && a == shortName)) {
    if (i + 1 == args.size()) return std::string();
    return args[++i];
  }
  if (a.size() > longName.size() && a.compare(0, longName.size(), longName) == 0 && a[longName.size()] == '=')
    return a.substr(longName.size() + 1);
  return std::nullopt;
}

// Answers an exit status when the arguments end the run.
std::optional<int> Parse(const std::vector<std::string>& args, Options& o, std::ostream& out,
                         std::ostream& err) {
  const auto say = [&o](const Message& m) { return tessaly::Say(m, o.language); };
  const auto usageError = [&](const Message& m) { err << "tessaly-cli: " << say(m) << "\n"; };
  const auto needsFolder = [&](std::string_view option) {
    usageError(Message("{option} needs a folder name").Set("option", std::string(option)));
    return 2;
  };
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options || a.size() < 2 || a[0] != '-') {
      o.inputs.push_back(a);
    } else if (a == "--") {
      options = false;
    } else if (a == "-h" || a == "--help") {
      out << say(UsageText());
      return 0;
    } else if (a == "--version") {
      out << "tessaly-cli " TESSALY_VERSION "\n";
      return 0;
    } else if (a == "--info") {
      o.info = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "--no-reference-points") {
      o.referencePoints = false;
      o.conversionOption = a;
    } else if (a == "--dry-run" || a == "--json") {
      (a == "--json" ? o.json : o.dryRun) = true;
      o.conversionOption = a;
    } else if (const std::optional<std::string> folder = FolderOption(a, "-o", "--output-dir", args, i)) {
      if (folder->empty()) return needsFolder(a.substr(0, a.find('=')));
      o.outputDir = PathFromUtf8(*folder);
      o.conversionOption = a.substr(0, a.find('='));
    } else if (const std::optional<std::string> base = FolderOption(a, "", "--base", args, i)) {
      if (base->empty()) return needsFolder("--base");
      o.base = PathFromUtf8(*base);
      o.conversionOption = a.substr(0, a.find('='));
    } else {
      usageError(Message("unknown option {option}").Set("option", a));
      err << say(UsageText());
      return 2;
    }
  }
  if (o.info && !o.conversionOption.empty()) {
    usageError(Message("{option} is an option of a conversion; --info converts nothing")
                   .Set("option", o.conversionOption));
    return 2;
  }
  if (o.base && !o.outputDir) {
    usageError(Message("--base places files under the output folder: it needs --output-dir"));
    return 2;
  }
  if (o.inputs.empty()) {
    usageError(Message("no files given"));
    err << say(UsageText());
    return 2;
  }
  return std::nullopt;
}

// "1 file", "2 files".
Message Files(std::int64_t n) {
  return (n == 1 ? Message("{n} file") : Message("{n} files")).Set("n", static_cast<long long>(n));
}
Message Dimensions(std::int64_t n) {
  return (n == 1 ? Message("{n} dimension") : Message("{n} dimensions")).Set("n", static_cast<long long>(n));
}

// At most `columns` terminal columns of a UTF-8 text, counting every
// non-ASCII character as two.
std::string FitColumns(const std::string& s, std::size_t columns) {
  std::size_t used = 0, i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    const std::size_t width = b < 0x80 ? 1 : 2;
    if (used + width > columns) break;
    used += width;
    i = std::min(s.size(), i + len);
  }
  return s.substr(0, i);
}

// What a file came to, in a line for a person; empty for a failure (said on
// the error output).
Message ResultLine(const FileResult& r) {
  const bool backup = !r.backup.empty();
  Message line;
  switch (r.outcome) {
    case FileOutcome::kConverted:
      if (r.planned) {
        line = backup ? Message("{source}: would dissolve {dimensions} -> {target} (backup {backup})")
                      : Message("{source}: would dissolve {dimensions} -> {target}");
      } else {
        line = backup ? Message("{source}: {dimensions} dissolved -> {target} (backup {backup})")
                      : Message("{source}: {dimensions} dissolved -> {target}");
      }
      line.Set("dimensions", Dimensions(r.dimensions));
      break;
    case FileOutcome::kNothingToDissolve:
      if (r.planned) {
        line = !r.written ? Message("{source}: nothing to dissolve, would be left as it is")
               : backup   ? Message("{source}: nothing to dissolve, would be written -> {target} (backup {backup})")
                          : Message("{source}: nothing to dissolve, would be written -> {target}");
      } else {
        line = !r.written ? Message("{source}: nothing to dissolve, left as it is")
               : backup   ? Message("{source}: nothing to dissolve -> {target} (backup {backup})")
                          : Message("{source}: nothing to dissolve -> {target}");
      }
      break;
    case FileOutcome::kSkipped: line = Message("{source}: skipped ({why})").Set("why", r.failure.message); break;
    case FileOutcome::kFailed: return {};
  }
  return line.Set("source", PathToUtf8(r.source))
      .Set("target", PathToUtf8(r.target))
      .Set("backup", PathToUtf8(r.backup));
}

// The result of an input that failed before the run.
FileResult FailedInput(const Failure& f) {
  FileResult r;
  r.source = f.file;
  r.Fail(f);
  return r;
}

// The run's front end on a terminal or in a script: a line per file for a
// person (on the error output with --json, whose objects take the output).
class CliFrontEnd : public ConvertFrontEnd {
 public:
  CliFrontEnd(const Options& o, std::ostream& out, std::ostream& err, bool progress,
              const StopRequests& stop, const RunHooks& hooks)
      : options_(o), out_(o.json ? err : out), err_(err), json_(o.json ? &out : nullptr),
        progress_(progress && !o.quiet), stop_(stop), hooks_(hooks) {
    if (progress_) columns_ = ErrorOutputColumns(columns_);
    totals_.dryRun = o.dryRun;
  }

  void ShowStatus(const std::string&) override {}

  void FileStarted(const fs::path& source, std::size_t position, std::size_t count) override {
    if (!progress_) return;
    const std::string line =
        "[" + std::to_string(position + 1) + "/" + std::to_string(count) + "] " + PathToUtf8(source);
    err_ << "\r\033[K" << FitColumns(line, columns_ - 1) << std::flush;
    shown_ = true;
  }

  // The inputs that failed before the run, each said in its place in the list.
  void FailedBefore(const Plan& plan) {
    failedBefore_ = &plan;
  }
  void SayFailuresBefore(std::size_t position) {
    for (; failedBefore_ && next_ < failedBefore_->failures.size() && failedBefore_->failedBefore[next_] <= position;
         ++next_)
      Fail(failedBefore_->failures[next_]);
  }

  void FileFinished(const FileResult& r) override {
    SayFailuresBefore(r.position);
    if (r.outcome == FileOutcome::kFailed) {
      Fail(r);
    } else {
      Say(ResultLine(r));
      Json(r);
    }
    if (hooks_.afterFile) hooks_.afterFile(r);
  }

  bool StopRequested() override { return stop_.Requested(); }

  // A file that failed, in or before the run.
  void Fail(const FileResult& r) {
    ClearProgress();
    const Message line = r.planned || options_.dryRun ? Message("{file}: would fail: {why}")
                                                      : Message("{file}: failed: {why}");
    err_ << tessaly::Say(Message(line).Set("file", PathToUtf8(r.failure.file.empty() ? r.source : r.failure.file))
                             .Set("why", r.failure.message),
                         options_.language)
         << "\n"
         << std::flush;
    Json(r);
  }
  void Fail(const Failure& f) { Fail(FailedInput(f)); }
  // A file of a run refused as a whole (a clash): its object only.
  void JsonOf(const Failure& f) { Json(FailedInput(f)); }

  void ClearProgress() {
    if (!shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }

  // The summary object, when the output is JSON.
  void Summary(std::size_t notTakenUp, bool stopped, int status) {
    if (!json_) return;
    totals_.notTakenUp = notTakenUp;
    totals_.files += notTakenUp;
    totals_.stopped = stopped;
    totals_.exitStatus = status;
    *json_ << SummaryJson(totals_) << "\n" << std::flush;
  }

 private:
  void Say(const Message& line) {
    if (options_.quiet) return;
    ClearProgress();
    out_ << tessaly::Say(line, options_.language) << "\n";
    if (progress_) out_ << std::flush;
  }

  void Json(const FileResult& r) {
    totals_.Count(r);
    if (json_) *json_ << FileJson(r, options_.language) << "\n";
  }

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
  std::ostream* json_;
  bool progress_;
  const StopRequests& stop_;
  const RunHooks& hooks_;
  bool shown_ = false;
  std::size_t columns_ = 80;
  JsonTotals totals_;
  const Plan* failedBefore_ = nullptr;
  std::size_t next_ = 0;  // the next of its failures to say
};

void SayEmptyFolders(const Converter& converter, const Plan& plan, Language language, std::ostream& err) {
  for (const auto& note : EmptyFolderNotes(converter, plan)) err << "tessaly-cli: " << Say(note, language) << "\n";
}

int RunInfo(const Options& o, std::ostream& out, std::ostream& err) {
  StopRequests stop;
  Converter converter;
  int status = 0;
  for (const auto& input : o.inputs) {
    const Plan plan = MakePlan(converter, {input}, std::nullopt);
    for (const auto& f : plan.failures) {
      err << PathToUtf8(f.file) << ": " << Say(f.message, o.language) << "\n";
      status = 1;
    }
    SayEmptyFolders(converter, plan, o.language, err);
    for (const auto& item : plan.items) {
      if (stop.Requested()) return stop.ExitStatus();
      // A file too big for the memory there is fails alone; the next may fit.
      try {
        if (!PrintSummary(item.source, o.language, out, err)) status = 1;
      } catch (const std::bad_alloc&) {
        err << PathToUtf8(item.source) << ": " << Say(Message("out of memory"), o.language) << "\n";
        status = 1;
      }
    }
  }
  return status;
}

int RunConvert(const Options& o, std::ostream& out, std::ostream& err, bool progress,
               const RunHooks& hooks) {
  if (o.outputDir) {
    std::error_code ec;
    const fs::file_status st = fs::status(*o.outputDir, ec);
    if (!fs::is_directory(st)) {
      const Message why = fs::exists(st) ? Message("the output folder {folder} is not a folder")
                                         : Message("the output folder {folder} does not exist");
      err << "tessaly-cli: " << Say(Message(why).Set("folder", PathToUtf8(*o.outputDir)), o.language) << "\n";
      return 2;
    }
  }
  StopRequests stop;
  Converter converter;
  converter.SetDryRun(o.dryRun);
  const Plan plan = MakePlan(converter, o.inputs, o.outputDir, o.base);
  CliFrontEnd frontEnd(o, out, err, progress, stop, hooks);
  if (const std::vector<Failure> clashes = FindClashes(converter, plan); !clashes.empty()) {
    err << "tessaly-cli: "
        << Say(Message("{clash}; nothing converted").Set("clash", clashes.front().message), o.language) << "\n";
    for (const Failure& f : clashes) frontEnd.JsonOf(f);
    frontEnd.Summary(plan.items.size() + plan.failures.size() - clashes.size(), false, 2);
    return 2;
  }

  frontEnd.FailedBefore(plan);
  SayEmptyFolders(converter, plan, o.language, err);
  const RunSummary s = converter.ConvertFiles(plan.items, o.referencePoints, frontEnd);
  frontEnd.SayFailuresBefore(plan.items.size());
  frontEnd.ClearProgress();

  const std::size_t failed = s.failed + plan.failures.size();
  const std::size_t total = s.files + plan.failures.size();
  const std::size_t left = s.files - s.Done();
  if (!o.quiet) {
    Message line;
    if (o.dryRun) {
      line = s.stopped ? Message("{files}: {converted} would be converted ({dimensions} dissolved), {nothing} with "
                                 "nothing to dissolve, {skipped} skipped, {failed} would fail, {left} not taken "
                                 "up; nothing written")
                       : Message("{files}: {converted} would be converted ({dimensions} dissolved), {nothing} with "
                                 "nothing to dissolve, {skipped} skipped, {failed} would fail; nothing written");
    } else {
      line = s.stopped ? Message("{files}: {converted} converted ({dimensions} dissolved), {nothing} with nothing "
                                 "to dissolve, {skipped} skipped, {failed} failed, {left} not taken up")
                       : Message("{files}: {converted} converted ({dimensions} dissolved), {nothing} with nothing "
                                 "to dissolve, {skipped} skipped, {failed} failed");
    }
    line.Set("files", Files(static_cast<std::int64_t>(total)))
        .Set("converted", static_cast<long long>(s.converted))
        .Set("dimensions", Dimensions(s.dimensions))
        .Set("nothing", static_cast<long long>(s.nothingToDissolve))
        .Set("skipped", static_cast<long long>(s.skipped))
        .Set("failed", static_cast<long long>(failed))
        .Set("left", static_cast<long long>(left));
    (o.json ? err : out) << Say(line, o.language) << "\n";
  }
  if (s.stopped) {
    const Message word = std::string_view(stop.Word()) == "terminated" ? Message("terminated") : Message("interrupted");
    err << "tessaly-cli: "
        << Say(Message("{why}, stopped before {files}")
                   .Set("why", word)
                   .Set("files", Files(static_cast<std::int64_t>(left))),
               o.language)
        << "\n";
    frontEnd.Summary(left, true, stop.ExitStatus());
    return stop.ExitStatus();
  }
  const int status = failed > 0 ? 1 : 0;
  frontEnd.Summary(0, false, status);
  return status;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress,
        const RunHooks& hooks, Language language) {
  Options o;
  o.language = language;
  if (auto status = Parse(args, o, out, err)) return *status;
  // The run catches what one file's load or write throws; memory can also run
  // out in between (walking the folders, the plan, a message). A user then gets
  // a reason and a failed status, never an abort, and every file is as it was:
  // nothing is put in place before a file's last step.
  try {
    if (o.info) return RunInfo(o, out, err);
    return RunConvert(o, out, err, progress, hooks);
  } catch (const std::bad_alloc&) {
    err << "tessaly-cli: " << Say(Message("out of memory"), o.language) << "\n" << std::flush;
    return 1;
  }
}

}  // namespace tessaly::cli

#include "cli/cli.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>

#include "app/convert.h"
#include "app/plan.h"
#include "app/summary.h"
#include "app/version.h"
#include "io/console.h"
#include "io/path_text.h"

namespace tessaly::cli {
namespace fs = std::filesystem;
namespace {

void Usage(std::ostream& out) {
  out << "usage: tessaly-cli [options] FILE|FOLDER...\n"
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
         "  --no-reference-points    no temporary points at SXF reference points\n"
         "  --info                   print a summary of each file (a FOLDER: of every\n"
         "                           drawing and figure below it), convert nothing\n"
         "  -q, --quiet              print failures only\n"
         "  -h, --help               show this help\n"
         "  --version                show the version\n"
         "\n"
         "Exit status: 0 when every file was converted, had nothing to dissolve or\n"
         "was skipped; 1 when any failed; 2 for a usage error (nothing converted);\n"
         "130 after Ctrl-C, which stops before the next file.\n"
         "With --info: 0 when every file was summarised, 1 when any could not be\n"
         "read, 2 for a usage error.\n";
}

struct Options {
  bool info = false;
  bool quiet = false;
  bool referencePoints = true;
  std::optional<fs::path> outputDir;
  std::string conversionOption;  // the last option given that only a conversion takes
  std::vector<std::string> inputs;
};

// Answers an exit status when the arguments end the run.
std::optional<int> Parse(const std::vector<std::string>& args, Options& o, std::ostream& out,
                         std::ostream& err) {
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options || a.size() < 2 || a[0] != '-') {
      o.inputs.push_back(a);
    } else if (a == "--") {
      options = false;
    } else if (a == "-h" || a == "--help") {
      Usage(out);
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
    } else if (a == "-o" || a == "--output-dir") {
      if (i + 1 == args.size() || args[i + 1].empty()) {
        err << "tessaly-cli: " << a << " needs a folder name\n";
        return 2;
      }
      o.outputDir = PathFromUtf8(args[++i]);
      o.conversionOption = a;
    } else if (a.rfind("--output-dir=", 0) == 0) {
      if (a.size() == 13) {
        err << "tessaly-cli: --output-dir needs a folder name\n";
        return 2;
      }
      o.outputDir = PathFromUtf8(a.substr(13));
      o.conversionOption = "--output-dir";
    } else {
      err << "tessaly-cli: unknown option " << a << "\n";
      Usage(err);
      return 2;
    }
  }
  if (o.info && !o.conversionOption.empty()) {
    err << "tessaly-cli: " << o.conversionOption << " is an option of a conversion; --info converts nothing\n";
    return 2;
  }
  if (o.inputs.empty()) {
    err << "tessaly-cli: no files given\n";
    Usage(err);
    return 2;
  }
  return std::nullopt;
}

std::string Plural(std::int64_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
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

class CliFrontEnd : public ConvertFrontEnd {
 public:
  CliFrontEnd(const Options& o, std::ostream& out, std::ostream& err, bool progress,
              const StopRequests& stop, const RunHooks& hooks)
      : options_(o), out_(out), err_(err), progress_(progress && !o.quiet), stop_(stop),
        hooks_(hooks) {
    if (progress_) columns_ = ErrorOutputColumns(columns_);
  }

  void ShowStatus(const std::string&) override {}

  void FileStarted(const fs::path& source, std::size_t position, std::size_t count) override {
    if (!progress_) return;
    const std::string line =
        "[" + std::to_string(position + 1) + "/" + std::to_string(count) + "] " + PathToUtf8(source);
    err_ << "\r\033[K" << FitColumns(line, columns_ - 1) << std::flush;
    shown_ = true;
  }

  void FileFinished(const FileResult& r) override {
    const std::string src = PathToUtf8(r.source);
    switch (r.outcome) {
      case FileOutcome::kConverted:
        Say(src + ": " + Plural(r.dimensions, "dimension") + " dissolved -> " + PathToUtf8(r.target) +
            Backup(r));
        break;
      case FileOutcome::kNothingToDissolve:
        Say(r.written ? src + ": nothing to dissolve -> " + PathToUtf8(r.target) + Backup(r)
                      : src + ": nothing to dissolve, left as it is");
        break;
      case FileOutcome::kSkipped:
        Say(src + ": skipped (" + r.failure.text + ")");
        break;
      case FileOutcome::kFailed:
        Fail(src, r.failure.text);
        break;
    }
    if (hooks_.afterFile) hooks_.afterFile(r);
  }

  bool StopRequested() override { return stop_.Requested(); }

  void Fail(const std::string& what, const std::string& why) {
    ClearProgress();
    err_ << what << ": failed: " << why << "\n" << std::flush;
  }

  void ClearProgress() {
    if (!shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  static std::string Backup(const FileResult& r) {
    return r.backup.empty() ? "" : " (backup " + PathToUtf8(r.backup) + ")";
  }

  void Say(const std::string& line) {
    if (options_.quiet) return;
    ClearProgress();
    out_ << line << "\n";
    if (progress_) out_ << std::flush;
  }

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
  bool progress_;
  const StopRequests& stop_;
  const RunHooks& hooks_;
  bool shown_ = false;
  std::size_t columns_ = 80;
};

void SayEmptyFolders(const Converter& converter, const Plan& plan, std::ostream& err) {
  for (const auto& note : EmptyFolderNotes(converter, plan)) err << "tessaly-cli: " << note << "\n";
}

int RunInfo(const Options& o, std::ostream& out, std::ostream& err) {
  StopRequests stop;
  Converter converter;
  int status = 0;
  for (const auto& input : o.inputs) {
    const Plan plan = MakePlan(converter, {input}, std::nullopt);
    for (const auto& f : plan.failures) {
      err << PathToUtf8(f.file) << ": " << f.text << "\n";
      status = 1;
    }
    SayEmptyFolders(converter, plan, err);
    for (const auto& item : plan.items) {
      if (stop.Requested()) return stop.ExitStatus();
      // A file too big for the memory there is fails alone; the next may fit.
      try {
        if (!PrintSummary(item.source, out, err)) status = 1;
      } catch (const std::bad_alloc&) {
        err << PathToUtf8(item.source) << ": out of memory\n";
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
      err << "tessaly-cli: the output folder " << PathToUtf8(*o.outputDir)
          << (fs::exists(st) ? " is not a folder" : " does not exist") << "\n";
      return 2;
    }
  }
  StopRequests stop;
  Converter converter;
  const Plan plan = MakePlan(converter, o.inputs, o.outputDir);
  if (const Failure clash = FindClash(converter, plan)) {
    err << "tessaly-cli: " << clash.text << "; nothing converted\n";
    return 2;
  }

  CliFrontEnd frontEnd(o, out, err, progress, stop, hooks);
  for (const auto& f : plan.failures) frontEnd.Fail(PathToUtf8(f.file), f.text);
  SayEmptyFolders(converter, plan, err);
  const RunSummary s = converter.ConvertFiles(plan.items, o.referencePoints, frontEnd);
  frontEnd.ClearProgress();

  const std::size_t failed = s.failed + plan.failures.size();
  const std::size_t total = s.files + plan.failures.size();
  if (!o.quiet) {
    std::string line =
        Plural(static_cast<std::int64_t>(total), "file") + ": " + std::to_string(s.converted) +
        " converted (" + Plural(s.dimensions, "dimension") + " dissolved), " +
        std::to_string(s.nothingToDissolve) + " with nothing to dissolve, " +
        std::to_string(s.skipped) + " skipped, " + std::to_string(failed) + " failed";
    if (s.stopped) line += ", " + std::to_string(s.files - s.Done()) + " not taken up";
    out << line << "\n";
  }
  if (s.stopped) {
    err << "tessaly-cli: " << stop.Word() << ", stopped before "
        << Plural(static_cast<std::int64_t>(s.files - s.Done()), "file") << "\n";
    return stop.ExitStatus();
  }
  return failed > 0 ? 1 : 0;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress,
        const RunHooks& hooks) {
  Options o;
  if (auto status = Parse(args, o, out, err)) return *status;
  // The run catches what one file's load or write throws; memory can also run
  // out in between (walking the folders, the plan, a message). A user then gets
  // a reason and a failed status, never an abort, and every file is as it was:
  // nothing is put in place before a file's last step.
  try {
    if (o.info) return RunInfo(o, out, err);
    return RunConvert(o, out, err, progress, hooks);
  } catch (const std::bad_alloc&) {
    err << "tessaly-cli: out of memory\n" << std::flush;
    return 1;
  }
}

}  // namespace tessaly::cli

#include "cli/cli.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>

#include "app/convert.h"
#include "app/working_folder.h"
#include "cli/info.h"

namespace tessaly::cli {
namespace fs = std::filesystem;
namespace {

constexpr const char* kVersion = "0.1.0";

volatile std::sig_atomic_t gSignal = 0;
std::function<void(const FileResult&)> gAfterFileHook;

extern "C" void OnStopSignal(int signo) {
  gSignal = signo;
}

// Ctrl-C and SIGTERM ask the run to stop before the next file; the file being
// written is finished, and the working folder is removed on the way out.
class StopSignals {
 public:
  StopSignals() {
    gSignal = 0;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

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
      out << "tessaly-cli " << kVersion << "\n";
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
      o.outputDir = args[++i];
      o.conversionOption = a;
    } else if (a.rfind("--output-dir=", 0) == 0) {
      if (a.size() == 13) {
        err << "tessaly-cli: --output-dir needs a folder name\n";
        return 2;
      }
      o.outputDir = a.substr(13);
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

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  bool valid = false;
  bool operator==(const FileId& o) const {
    return valid && o.valid && dev == o.dev && ino == o.ino;
  }
};

FileId IdOf(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return {};
  return {st.st_dev, st.st_ino, true};
}

// Two paths with the same key name the same file: an existing file by its
// identity, a file still to be made by its resolved path.
std::string FileKey(const fs::path& p) {
  const FileId id = IdOf(p);
  if (id.valid) return "i" + std::to_string(id.dev) + ":" + std::to_string(id.ino);
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(p, ec), ec);
  if (ec) full = fs::absolute(p, ec).lexically_normal();
  return "p" + full.string();
}

struct Failure {
  fs::path path;
  std::string reason;
};

// What the command line names: the files to convert, and the inputs that
// failed before anything was read.
struct Plan {
  std::vector<ConvertItem> items;
  std::vector<Failure> failures;
  std::vector<fs::path> emptyFolders;  // named folders with nothing to take below them
};

class Walker {
 public:
  Walker(const Converter& converter, const Options& o, Plan& plan)
      : converter_(converter), options_(o), plan_(plan) {
    if (o.outputDir) outputId_ = IdOf(*o.outputDir);
  }

  void Input(const std::string& arg) {
    const fs::path p(arg);
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    if (!fs::exists(st)) {
      std::error_code lec;
      const bool dangling = fs::is_symlink(fs::symlink_status(p, lec));
      plan_.failures.push_back(
          {p, dangling ? "a link to nothing"
                       : (ec && ec != std::errc::no_such_file_or_directory ? ec.message()
                                                                           : "no such file")});
      return;
    }
    if (fs::is_directory(st)) {
      const std::size_t before = plan_.items.size();
      Folder(p, fs::path());
      if (plan_.items.size() == before) plan_.emptyFolders.push_back(p);
      return;
    }
    ConvertItem item{p, {}, false};
    if (options_.outputDir) item.destination = *options_.outputDir;
    plan_.items.push_back(std::move(item));
  }

 private:
  // Takes the regular files below a folder whose extension a format takes, in
  // name order; links are not followed and other files are passed over.
  void Folder(const fs::path& folder, const fs::path& relative) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      entries.push_back(*it);
    if (ec) {
      plan_.failures.push_back({folder, "cannot read the folder: " + ec.message()});
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                return a.path() < b.path();
              });
    for (const auto& e : entries) {
      const fs::file_status st = e.symlink_status(ec);
      if (ec) {
        plan_.failures.push_back({e.path(), ec.message()});
        continue;
      }
      if (fs::is_directory(st)) {
        // The output folder inside a converted folder holds our own results.
        if (outputId_.valid && IdOf(e.path()) == outputId_) continue;
        Folder(e.path(), relative / e.path().filename());
      } else if (fs::is_regular_file(st) && converter_.IsConvertible(e.path())) {
        ConvertItem item{e.path(), {}, false};
        if (options_.outputDir) {
          item.destination =
              relative.empty() ? *options_.outputDir : *options_.outputDir / relative;
          item.createDestination = !relative.empty();
        }
        plan_.items.push_back(std::move(item));
      }
    }
  }

  const Converter& converter_;
  const Options& options_;
  Plan& plan_;
  FileId outputId_;
};

// Two inputs must never write the same target or the same backup: the second
// would overwrite the first's result, or the backup of the original.
bool CheckClashes(const Converter& converter, const Plan& plan, std::ostream& err) {
  std::map<std::string, std::size_t> targets, backups;
  for (std::size_t i = 0; i < plan.items.size(); ++i) {
    const ConvertItem& item = plan.items[i];
    if (!converter.IsConvertible(item.source)) continue;
    const fs::path target = Converter::TargetFor(item);
    auto [t, newTarget] = targets.emplace(FileKey(target), i);
    if (!newTarget) {
      const fs::path& first = plan.items[t->second].source;
      err << "tessaly-cli: ";
      if (FileKey(first) == FileKey(item.source)) {
        err << first.string() << " is named twice";
        if (first != item.source) err << " (also as " << item.source.string() << ")";
      } else {
        err << first.string() << " and " << item.source.string() << " would both be written to "
            << target.string();
      }
      err << "; nothing converted\n";
      return false;
    }
    const fs::path backup = converter.BackupFor(item);
    auto [b, newBackup] = backups.emplace(FileKey(backup), i);
    if (!newBackup) {
      err << "tessaly-cli: " << plan.items[b->second].source.string() << " and "
          << item.source.string() << " would both be backed up to " << backup.string()
          << "; nothing converted\n";
      return false;
    }
  }
  return true;
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
  CliFrontEnd(const Options& o, std::ostream& out, std::ostream& err, bool progress)
      : options_(o), out_(out), err_(err), progress_(progress && !o.quiet) {
    struct winsize ws {};
    if (progress_ && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10)
      columns_ = ws.ws_col;
  }

  void ShowStatus(const std::string&) override {}

  void FileStarted(const fs::path& source, std::size_t position, std::size_t count) override {
    if (!progress_) return;
    const std::string line =
        "[" + std::to_string(position + 1) + "/" + std::to_string(count) + "] " + source.string();
    err_ << "\r\033[K" << FitColumns(line, columns_ - 1) << std::flush;
    shown_ = true;
  }

  void FileFinished(const FileResult& r) override {
    const std::string src = r.source.string();
    switch (r.outcome) {
      case FileOutcome::kConverted:
        Say(src + ": " + Plural(r.dimensions, "dimension") + " dissolved -> " + r.target.string() +
            Backup(r));
        break;
      case FileOutcome::kNothingToDissolve:
        Say(r.written ? src + ": nothing to dissolve -> " + r.target.string() + Backup(r)
                      : src + ": nothing to dissolve, left as it is");
        break;
      case FileOutcome::kSkipped:
        Say(src + ": skipped (" + r.reason + ")");
        break;
      case FileOutcome::kFailed:
        Fail(src, r.reason);
        break;
    }
    if (gAfterFileHook) gAfterFileHook(r);
  }

  bool StopRequested() override { return gSignal != 0; }

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
    return r.backup.empty() ? "" : " (backup " + r.backup.string() + ")";
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
  bool shown_ = false;
  std::size_t columns_ = 80;
};

void SayEmptyFolders(const Converter& converter, const Plan& plan, std::ostream& err) {
  std::string kinds;
  for (const char* ext : {".jww", ".jws"}) {
    if (!converter.IsConvertible(std::string("x") + ext)) continue;
    kinds += (kinds.empty() ? "" : " or ") + std::string(ext);
  }
  for (const auto& f : plan.emptyFolders)
    err << "tessaly-cli: no " << kinds << " drawings found in " << f.string() << "\n";
}

int RunInfo(const Options& o, std::ostream& out, std::ostream& err) {
  StopSignals signals;
  WorkingFolder work;
  std::string why;
  if (!work.Create(why)) {
    err << "tessaly-cli: " << why << "\n";
    return 1;
  }
  Converter converter;
  int status = 0;
  for (const auto& input : o.inputs) {
    Plan plan;
    Walker walker(converter, o, plan);
    walker.Input(input);
    for (const auto& f : plan.failures) {
      err << f.path.string() << ": " << f.reason << "\n";
      status = 1;
    }
    SayEmptyFolders(converter, plan, err);
    for (const auto& item : plan.items) {
      if (gSignal != 0) return 128 + gSignal;
      if (!PrintInfo(item.source, work.Path(), out, err)) status = 1;
    }
  }
  return status;
}

int RunConvert(const Options& o, std::ostream& out, std::ostream& err, bool progress) {
  if (o.outputDir) {
    std::error_code ec;
    const fs::file_status st = fs::status(*o.outputDir, ec);
    if (!fs::is_directory(st)) {
      err << "tessaly-cli: the output folder " << o.outputDir->string()
          << (fs::exists(st) ? " is not a folder" : " does not exist") << "\n";
      return 2;
    }
  }
  StopSignals signals;
  Converter converter;
  Plan plan;
  Walker walker(converter, o, plan);
  for (const auto& a : o.inputs) walker.Input(a);
  if (!CheckClashes(converter, plan, err)) return 2;

  CliFrontEnd frontEnd(o, out, err, progress);
  for (const auto& f : plan.failures) frontEnd.Fail(f.path.string(), f.reason);
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
    err << "tessaly-cli: " << (gSignal == SIGTERM ? "terminated" : "interrupted")
        << ", stopped before " << Plural(static_cast<std::int64_t>(s.files - s.Done()), "file")
        << "\n";
    return 128 + (gSignal != 0 ? gSignal : SIGINT);
  }
  return failed > 0 ? 1 : 0;
}

}  // namespace

void SetAfterFileHookForTesting(std::function<void(const FileResult&)> hook) {
  gAfterFileHook = std::move(hook);
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress) {
  Options o;
  if (auto status = Parse(args, o, out, err)) return *status;
  if (o.info) return RunInfo(o, out, err);
  return RunConvert(o, out, err, progress);
}

}  // namespace tessaly::cli

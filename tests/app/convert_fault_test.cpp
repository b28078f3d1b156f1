// Faults from the outside world during a conversion, each one through the run
// and through the command line: the destination folder read-only or gone, a
// source that shrinks, grows or vanishes while it is read, a working folder
// that cannot be made, an image that cannot be extracted; the target a folder,
// an old read-only backup and a full disk through the command line; and the
// settings file's folder read-only. Every case asserts the same three things: the
// failure is reported with its reason (exit status 1, or 2 where the command
// line refuses before it starts), every file that existed is byte-identical
// afterwards, and no new file is left (temporary, partial, backup or working).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "app/convert.h"
#include "app/recorder.h"
#include "app/settings.h"
#include "cli/cli.h"
#include "jww/jww_data.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/formats.h"
#include "support/scoped_system.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {
namespace draw = test::draw;
namespace fs = std::filesystem;
using test::Immutable;
using test::ReadFile;
using test::ScopedEnv;
using test::SmallFileSystem;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;

using Files = std::vector<std::pair<std::string, std::string>>;

// Runs `action` on the file, opened for reading and writing, at the first read
// of it by another thread than the one that made the interceptor: the thread
// that reads a source while it is parsed. The read waits until the action is
// done, so the file changes exactly between the size taken at opening and the
// bytes read. Needs fanotify (root on Linux); ok() says whether it is armed.
class ReadInterceptor {
 public:
  ReadInterceptor(const fs::path& path, std::function<void(int fd)> action)
      : action_(std::move(action)) {
    fan_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC | FAN_REPORT_TID, O_RDWR | O_LARGEFILE);
    if (fan_ < 0 || ::pipe(stop_) != 0 ||
        ::fanotify_mark(fan_, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD, path.c_str()) != 0) {
      why_ = std::string("fanotify is not available here: ") + std::strerror(errno);
      return;
    }
    thread_ = std::thread([this] { Loop(); });
  }
  ~ReadInterceptor() {
    if (thread_.joinable()) {
      char c = 0;
      (void)!::write(stop_[1], &c, 1);
      thread_.join();
    }
    for (int fd : {fan_, stop_[0], stop_[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }
  bool ok() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  bool fired() const { return fired_; }
  // From now on the action runs on the read after the next `skip` reads.
  void Arm(int skip) {
    skip_ = skip;
    armed_ = true;
  }

 private:
  void Loop() {
    alignas(fanotify_event_metadata) char buf[4096];
    for (;;) {
      pollfd p[2] = {{fan_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (::poll(p, 2, -1) < 0 && errno == EINTR) continue;
      if (p[1].revents) return;
      const ssize_t n = ::read(fan_, buf, sizeof buf);
      if (n <= 0) continue;
      auto* m = reinterpret_cast<fanotify_event_metadata*>(buf);
      for (ssize_t len = n; FAN_EVENT_OK(m, len); m = FAN_EVENT_NEXT(m, len)) {
        if (m->fd < 0) continue;
        if ((m->mask & FAN_ACCESS_PERM) && !fired_ && armed_) {
          if (skip_ > 0) {
            --skip_;
          } else {
            action_(m->fd);
            fired_ = true;
          }
        }
        fanotify_response r{m->fd, FAN_ALLOW};
        (void)!::write(fan_, &r, sizeof r);
        ::close(m->fd);
      }
    }
  }

  std::function<void(int)> action_;
  int fan_ = -1;
  int stop_[2] = {-1, -1};
  std::atomic<bool> fired_{false};
  std::atomic<bool> armed_{false};
  std::atomic<int> skip_{0};
  std::string why_;
  std::thread thread_;
};

enum Format { kJww = 1, kJws = 2 };
enum class Via { kRun, kCommandLine, kSettings };

// One case's folder: src/ holds the source, out/ the destination with an old
// target and an old backup, tmp/ is the system's temporary folder.
struct Env {
  TempDir dir;
  Format format = kJww;
  fs::path source, target, backup;
  // Declared in the order they are undone in reverse.
  std::optional<ScopedEnv> tmpdir;
  std::optional<SmallFileSystem> small;
  std::optional<Immutable> lock;
  std::unique_ptr<ReadInterceptor> reads;
};

std::string ImageData() {
  std::string s = "BM";
  for (int i = 0; s.size() < 100000; ++i) s += std::to_string(i * 7919);
  return s;
}

void MakeSource(Env& e) {
  if (e.format == kJww) {
    test::Drawing::Kit k;
    draw::Sample(k.doc, 700, 40);
    draw::EmbedImage(k.doc, "pic.bmp", ImageData());
    test::SaveBuilt(k.doc, e.source);
  } else {
    test::draw::MakeFigure(e.source, 40);
  }
}

using SetUp = std::function<std::string(Env&)>;  // answers why the case cannot run here

SetUp ChangeWhileRead(std::function<void(int fd, const fs::path&)> change) {
  return [change](Env& e) -> std::string {
    const fs::path p = e.source;
    e.reads = std::make_unique<ReadInterceptor>(p, [change, p](int fd) { change(fd, p); });
    return e.reads->ok() ? "" : e.reads->why();
  };
}

off_t SizeOf(int fd) {
  return ::lseek(fd, 0, SEEK_END);
}

struct FaultCase {
  const char* name;
  unsigned formats;
  SetUp setUp;
  const char* reason;
  int cliStatus = 1;
  bool sourceChanges = false;  // the case changes the source itself
  bool settings = false;       // the case saves the settings instead
  // The run alone meets it in the failure table of the conversion tests.
  bool commandLineOnly = false;
};

const std::vector<FaultCase>& Cases() {
  static const std::vector<FaultCase> cases = {
      {"DestinationReadOnly", kJww | kJws,
       [](Env& e) -> std::string {
         e.lock.emplace(e.target.parent_path());
         return e.lock->ok() ? "" : "chattr +i is not available here";
       },
       "cannot create a file in"},
      {"DestinationGone", kJww | kJws,
       [](Env& e) -> std::string {
         fs::remove_all(e.target.parent_path());
         return "";
       },
       "", 2},
      {"SourceShrinksWhileRead", kJww | kJws,
       ChangeWhileRead([](int fd, const fs::path&) { (void)!::ftruncate(fd, SizeOf(fd) / 2); }),
       "shorter", 1, true},
      {"SourceGrowsWhileRead", kJww | kJws,
       ChangeWhileRead([](int fd, const fs::path&) { (void)!::ftruncate(fd, SizeOf(fd) + 65536); }),
       "grew", 1, true},
      {"SourceVanishesWhileRead", kJww | kJws,
       ChangeWhileRead([](int fd, const fs::path& p) {
         (void)!::ftruncate(fd, 0);
         ::unlink(p.c_str());
       }),
       "shorter", 1, true},
      // Figures embed no images and need no working folder.
      {"WorkingFolderCannotBeMade", kJww,
       [](Env& e) -> std::string {
         WriteFile(e.dir / "tmp-file", "a file, not a folder");
         e.tmpdir.emplace("TMPDIR", (e.dir / "tmp-file").string());
         return "";
       },
       "working folder"},
      {"ImageCannotBeExtracted", kJww,
       [](Env& e) -> std::string {
         fs::create_directories(e.dir / "small-tmp");
         e.small.emplace(e.dir / "small-tmp", 48);  // less than the image
         if (!e.small->mounted()) return e.small->why();
         e.tmpdir.emplace("TMPDIR", (e.dir / "small-tmp").string());
         return "";
       },
       "cannot extract an embedded image"},
      {"TargetIsAFolder", kJww | kJws,
       [](Env& e) -> std::string {
         fs::remove(e.target);
         fs::create_directory(e.target);
         return "";
       },
       "is a folder", 1, false, false, true},
      {"OldReadOnlyBackup", kJww | kJws,
       [](Env& e) -> std::string {
         fs::permissions(e.backup, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         return "";
       },
       "is read-only", 1, false, false, true},
      // Room for the old target and backup and one page more: less than the
      // output.
      {"DiskFull", kJww | kJws,
       [](Env& e) -> std::string {
         const fs::path out = e.target.parent_path();
         e.small.emplace(out, 12);
         if (!e.small->mounted()) return e.small->why();
         WriteFile(e.target, "the old target");
         WriteFile(e.backup, "the old backup");
         return "";
       },
       "No space left on device", 1, false, false, true},
      {"SettingsFolderReadOnly", kJww,
       [](Env& e) -> std::string {
         fs::create_directories(e.dir / "conf");
         e.lock.emplace(e.dir / "conf");
         return e.lock->ok() ? "" : "chattr +i is not available here";
       },
       "", 0, false, true},
  };
  return cases;
}

struct Param {
  std::size_t index;
  Format format;
  Via via;
};

std::vector<Param> Params() {
  std::vector<Param> out;
  for (std::size_t i = 0; i < Cases().size(); ++i) {
    const FaultCase& c = Cases()[i];
    if (c.settings) {
      out.push_back({i, kJww, Via::kSettings});
      continue;
    }
    for (Format f : {kJww, kJws}) {
      if (!(c.formats & f)) continue;
      for (Via v : {Via::kRun, Via::kCommandLine}) {
        if (v == Via::kCommandLine || !c.commandLineOnly) out.push_back({i, f, v});
      }
    }
  }
  return out;
}

Files Without(Files files, const fs::path& root, const fs::path& folder) {
  const std::string prefix = fs::relative(folder, root).string() + "/";
  std::erase_if(files, [&](const auto& f) { return f.first.rfind(prefix, 0) == 0; });
  return files;
}

class ConvertFault : public testing::TestWithParam<Param> {};

TEST_P(ConvertFault, IsReportedAndLeavesEveryFileAsItWas) {
  const Param& p = GetParam();
  const FaultCase& c = Cases()[p.index];
  Env e;
  e.format = p.format;
  const char* name = p.format == kJww ? "a.jww" : "a.jws";
  fs::create_directories(e.dir / "src");
  fs::create_directories(e.dir / "out");
  fs::create_directories(e.dir / "tmp");
  e.source = e.dir / "src" / name;
  e.target = e.dir / "out" / name;
  e.backup = e.dir / "out" / (p.format == kJww ? "a._JWW" : "a._JWS");
  MakeSource(e);
  WriteFile(e.target, "the old target");
  WriteFile(e.backup, "the old backup");
  e.tmpdir.emplace("TMPDIR", (e.dir / "tmp").string());
  if (const std::string why = c.setUp(e); !why.empty()) GTEST_SKIP() << why;
  const Files before = Snapshot(e.dir.path());
  // The first read of the source is the load's, which checks the signature as
  // it begins: the file is opened once.
  if (e.reads) e.reads->Arm(0);

  bool failed = false;
  std::string reason;
  if (p.via == Via::kSettings) {
    failed = !SaveSettings(e.dir / "conf" / "tessaly.dat", Settings{}, "/somewhere");
  } else if (p.via == Via::kRun) {
    Converter converter;
    test::Recorder rec;
    const RunSummary s = converter.ConvertFiles(ItemsFor({e.source}, e.target.parent_path()), true, rec);
    ASSERT_EQ(rec.results.size(), 1u);
    failed = s.failed == 1 && rec.results[0].outcome == FileOutcome::kFailed && !rec.results[0].written;
    reason = rec.results[0].failure.text;
  } else {
    std::ostringstream out, err;
    const int status =
        cli::Run({"-o", e.target.parent_path().string(), e.source.string()}, out, err);
    EXPECT_EQ(status, c.cliStatus) << err.str();
    failed = status == c.cliStatus;
    reason = err.str();
  }
  if (e.reads) {
    EXPECT_TRUE(e.reads->fired()) << "the source was never read by the load";
  }
  e.reads.reset();
  e.lock.reset();

  EXPECT_TRUE(failed) << reason;
  EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  if (p.via != Via::kSettings) {
    EXPECT_FALSE(reason.empty());
  }
  Files after = Snapshot(e.dir.path());
  if (c.sourceChanges) {
    EXPECT_TRUE(draw::SameFiles(Without(before, e.dir.path(), e.dir / "src"),
                                Without(after, e.dir.path(), e.dir / "src")));
  } else {
    EXPECT_TRUE(draw::SameFiles(before, after));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertFault, testing::ValuesIn(Params()),
                         [](const testing::TestParamInfo<Param>& param) {
                           const Param& p = param.param;
                           std::string n = Cases()[p.index].name;
                           if (p.via == Via::kSettings) return n;
                           n += p.format == kJww ? "Jww" : "Jws";
                           n += p.via == Via::kRun ? "Run" : "CommandLine";
                           return n;
                         });

}  // namespace
}  // namespace tessaly

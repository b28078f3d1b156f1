#include "app/commit.h"

#include <new>
#include <utility>

namespace tessaly {

FileResult Commit(PendingFiles& p, FolderFlushes& flushes, const ConvertHooks& hooks) {
  FileResult r = std::move(p.result);
  FileRole role = FileRole::kTarget;
  std::filesystem::path file = r.target;
  try {
    if (hooks.beforeCommit) hooks.beforeCommit(r.target);
    p.out->Finish();
    if (p.copy) {
      role = FileRole::kBackup;
      file = p.backup;
      p.copy->Commit();
      r.backup = p.backup;
      role = FileRole::kTarget;
      file = r.target;
    }
    p.out->Commit(flushes);
    r.written = true;
    return r;
  } catch (const WriteError& e) {
    r.Fail(WriteFailure(e, role, file));
  } catch (const std::bad_alloc&) {
    r.Fail(OutOfMemory(file));
  }
  return r;
}

std::unique_ptr<PendingFiles> Committer::Start(std::unique_ptr<PendingFiles> files) {
  job_.Wait();
  files_ = std::move(files);
  const bool started = job_.Start([this] {
    result_ = Commit(*files_, flushes_, hooks_);
    // Its temporary files, if any are left, go before the result is told.
    files_.reset();
  });
  if (started) return nullptr;
  return std::move(files_);
}

FileResult Committer::Finish() {
  job_.Wait();
  return std::move(result_);
}

}  // namespace tessaly

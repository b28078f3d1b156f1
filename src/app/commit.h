// The last step of a converted file: its output and its backup, written to
// temporary files beside their targets, flushed and renamed into place; on a
// thread of its own while the run reads and converts the next file (flushing a
// small file to disk takes longer than converting it).
#pragma once

#include <filesystem>
#include <memory>

#include "app/run.h"
#include "io/background.h"
#include "io/files.h"

namespace tessaly {

// A converted file waiting to be put in place.
struct PendingFiles {
  FileResult result;  // as it is once the files are in place
  std::unique_ptr<AtomicFile> out;
  std::unique_ptr<AtomicFile> copy;  // the backup's, or none
  std::filesystem::path backup;
};

// Flushes the files and renames them into place: the backup's name is on disk
// before the target is replaced, as it may then be the only copy of the
// original; the target's folder is left to `flushes`. What fails leaves the
// target as it was, and the temporary files go with `files`.
FileResult Commit(PendingFiles& files, FolderFlushes& flushes, const ConvertHooks& hooks);

// Puts converted files in place on a thread of its own, one at a time.
class Committer {
 public:
  Committer(FolderFlushes& flushes, const ConvertHooks& hooks) : flushes_(flushes), hooks_(hooks) {}

  bool Busy() const { return job_.Busy(); }
  // Starts putting `files` in place once the file before is; answers them
  // back when no thread can be made.
  std::unique_ptr<PendingFiles> Start(std::unique_ptr<PendingFiles> files);
  // Waits for the file started last and answers its result.
  FileResult Finish();

 private:
  FolderFlushes& flushes_;
  const ConvertHooks& hooks_;
  std::unique_ptr<PendingFiles> files_;  // the job's while it runs
  FileResult result_;
  BackgroundJob job_;  // last: waited for before the files it puts in place go
};

}  // namespace tessaly

// The conversion run: a list of files, each read, dissolved and written to its
// destination after a backup of the file it replaces, with status texts, a log
// of the files taken up, a result per file, and a stop before the next file.
//
// The run knows the formats only through FormatPipeline (pipeline.h), and its
// front end only through ConvertFrontEnd (run.h). Its rooms: the steps of one
// file here, putting a converted file in place in commit.h, the folders it
// makes in run_folders.h, the images' working files in working_images.h, the
// texts it shows in status_texts.h.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/commit.h"
#include "app/failure.h"
#include "app/pipeline.h"
#include "app/run.h"
#include "app/run_folders.h"
#include "app/status_texts.h"
#include "app/working_images.h"
#include "io/files.h"
#include "io/page_warmer.h"
#include "io/working_folder.h"
#include "jww/images.h"

namespace tessaly {

class Converter {
 public:
  // Takes JWW drawings (".jww") and JWS figures (".jws").
  explicit Converter(ConvertHooks hooks = {});
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  void AddPipeline(std::unique_ptr<FormatPipeline> pipeline);

  // The pipeline a path goes through, by its extension; null when none.
  FormatPipeline* PipelineFor(const std::filesystem::path& path) const;
  bool IsConvertible(const std::filesystem::path& path) const {
    return PipelineFor(path) != nullptr;
  }
  // "JWW" or "JWW or JWS": the formats taken, for messages.
  std::string FormatNames() const;
  // The upper-cased extensions taken (".JWW", ".JWS").
  std::vector<std::string_view> Extensions() const;

  static std::filesystem::path TargetFor(const ConvertItem& item);
  // The target with its extension replaced by the backup extension of the
  // source's format; empty when the source is not convertible.
  std::filesystem::path BackupFor(const ConvertItem& item) const;

  // Converts the items in order. For each file: the load (the signature
  // checked as it begins); every check that can be made before writing (the
  // target and the backup are regular files that may be replaced); the
  // dissolve; the whole output written beside the target; then, when the
  // target exists, its backup copy, written beside the backup; both flushed to
  // disk; only then the backup and the output are renamed into place. A
  // failure before the renames leaves every file as it was and no new one.
  // The flushes and renames of a file run on a thread of their own while the
  // next file is read and converted, unless a file of the list is another's
  // target or backup, or is listed twice. A working folder of its own holds
  // the images of the drawing being converted (figures embed none); it exists
  // for the run only. A run never starts inside another one (the summary says
  // `refused`).
  RunSummary ConvertFiles(std::vector<ConvertItem> items, bool drawReferencePoints,
                          ConvertFrontEnd& frontEnd);

  // A dry run: each file read, checked and dissolved as in a run, its result
  // said (`planned`), and nothing written, made or removed anywhere; the
  // images of a drawing are held in memory instead of a working folder.
  void SetDryRun(bool dryRun) { dryRun_ = dryRun; }

  bool Running() const { return running_; }
  // The working folder of the run in progress (empty between runs).
  std::filesystem::path WorkFolder() const { return work_.Path(); }

 private:
  // A file's steps up to the wait for its files to be put in place: its
  // result when it ends before (failed, skipped, nothing to do), or its files.
  struct Prepared {
    FileResult result;
    std::unique_ptr<PendingFiles> files;
  };
  // The files a converted file replaces: the target, and its backup when the
  // target exists (empty when it does not).
  struct Targets {
    std::filesystem::path target, backup;
  };

  // The whole run; ConvertFiles adds the refusal and the closing status.
  RunSummary Run(const std::vector<ConvertItem>& items, bool drawReferencePoints, ConvertFrontEnd& frontEnd);
  Prepared Prepare(const ConvertItem& item, std::size_t position, std::size_t count, bool drawReferencePoints,
                   ConvertFrontEnd& frontEnd);
  Failure Load(FormatPipeline& format, const std::filesystem::path& source);
  Result<Targets> CheckTargets(const ConvertItem& item) const;
  Result<std::unique_ptr<PendingFiles>> WriteFiles(FormatPipeline& format, const ConvertItem& item,
                                                   const Targets& targets);
  // After every file, whatever happened: the documents and the images' working
  // files emptied.
  void CleanUpFile();

  ConvertHooks hooks_;
  std::vector<std::unique_ptr<FormatPipeline>> pipelines_;
  TBoundImages images_;
  WorkingFolder work_;
  std::unique_ptr<WorkingFolderImages> workImages_;
  Message workError_;  // why the working folder could not be made
  PageWarmer warmer_;
  RunFolders folders_;
  // The folders of the files a run put in place, flushed once as it ends.
  FolderFlushes flushes_;
  bool running_ = false;
  bool dryRun_ = false;
};

}  // namespace tessaly

// The conversion run: a list of files, each read, dissolved and written to its
// destination after a backup of the file it replaces, with status texts, a log
// of the files taken up, a result per file, and a stop before the next file.
//
// The run knows the formats only through FormatPipeline, and its front end (the
// window or the command line) only through ConvertFrontEnd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dissolve/dissolve.h"
#include "entities/entity_list.h"
#include "io/files.h"
#include "io/working_folder.h"
#include "jww/images.h"

namespace tessaly {

// One file format's steps, as the run uses them on one reusable document.
class FormatPipeline {
 public:
  virtual ~FormatPipeline() = default;

  // The upper-cased extension of the files it takes (".JWW").
  virtual std::string_view Extension() const = 0;
  // The extension that replaces the target's for its backup ("._JWW").
  virtual std::string_view BackupExtension() const = 0;
  // What a file of this format is, for messages ("JWW drawing").
  virtual std::string_view Noun() const = 0;

  // The signature check.
  virtual bool IsFile(const std::filesystem::path& path) = 0;
  // Reads the whole file into the document; on false Error() says why.
  virtual bool Load(const std::filesystem::path& path) = 0;
  virtual TEntityLists& Lists() = 0;
  virtual DissolveResult Dissolve(bool drawReferencePoints) = 0;
  // Writes the document in the version it was read with; throws WriteError.
  virtual void Write(ByteSink& sink) = 0;
  virtual void Clear() = 0;
  virtual std::string Error() const = 0;
};

// The pipeline of a document class: its format type says the extensions and
// the noun, the document reads, writes (in the version it was read with, by
// its format's rules: a figure read as 300 is written as 351, say) and clears.
template <typename Doc>
class DocumentPipeline final : public FormatPipeline {
 public:
  using Format = typename Doc::FormatType;

  // `args` construct the document.
  template <typename... Args>
  explicit DocumentPipeline(Args&&... args) : doc_(std::forward<Args>(args)...) {}

  std::string_view Extension() const override { return Format::kExtension; }
  std::string_view BackupExtension() const override { return Format::kBackupExtension; }
  std::string_view Noun() const override { return Format::kNoun; }
  bool IsFile(const std::filesystem::path& path) override { return Doc::IsFile(path); }
  bool Load(const std::filesystem::path& path) override { return doc_.Load(path); }
  TEntityLists& Lists() override { return doc_; }
  DissolveResult Dissolve(bool drawReferencePoints) override {
    return DissolveDimensions(doc_, drawReferencePoints);
  }
  void Write(ByteSink& sink) override { doc_.Write(sink, doc_.Version()); }
  void Clear() override { doc_.Clear(); }
  std::string Error() const override { return doc_.Error(); }

  Doc& Document() { return doc_; }

 private:
  Doc doc_;
};

// One file of a run.
struct ConvertItem {
  std::filesystem::path source;
  // The folder the converted file goes to; empty: the source's own folder.
  std::filesystem::path destination;
  // Make the destination folder (and its parents) when it is missing.
  bool createDestination = false;
};

// Every file to one destination folder (empty: each source's own folder).
std::vector<ConvertItem> ItemsFor(const std::vector<std::filesystem::path>& files,
                                  const std::filesystem::path& destination);

enum class FileOutcome {
  kConverted,          // dimensions dissolved and the target written
  kNothingToDissolve,  // no dimension: written to another folder, or left alone
  kSkipped,            // not a file of any format taken (by its extension)
  kFailed,             // see `reason`; the target is as it was
};

struct FileResult {
  std::size_t position = 0;  // 0-based position in the list
  std::size_t count = 0;     // length of the list
  std::filesystem::path source;
  std::filesystem::path target;  // empty for a skipped file
  std::filesystem::path backup;  // set when a backup was made
  FileOutcome outcome = FileOutcome::kSkipped;
  bool written = false;         // the target was replaced or created
  std::int64_t dimensions = 0;  // dimensions dissolved
  std::string reason;           // why the file failed or was skipped
};

struct RunSummary {
  std::size_t files = 0;  // length of the list
  std::size_t converted = 0, nothingToDissolve = 0, skipped = 0, failed = 0;
  std::int64_t dimensions = 0;
  bool stopped = false;  // a stop request ended the run before its last file
  bool refused = false;  // a run was already in progress: nothing was done

  std::size_t Done() const { return converted + nothingToDissolve + skipped + failed; }
};

// What the run tells its front end, and asks it. All calls come from the thread
// that called ConvertFiles.
class ConvertFrontEnd {
 public:
  virtual ~ConvertFrontEnd() = default;

  // The status line, UTF-8 (see the *Status functions below).
  virtual void ShowStatus(const std::string& text) = 0;
  // A file taken up by a format, before anything is read: the progress log.
  virtual void FileStarted(const std::filesystem::path& source, std::size_t position,
                           std::size_t count) = 0;
  // The result of every file of the list, skipped ones included, in the list's
  // order. A file's result may come after the next file was taken up: while a
  // converted file is flushed to disk and put in place, the next one is read.
  virtual void FileFinished(const FileResult& result) = 0;
  // Asked before every file; true ends the run there.
  virtual bool StopRequested() = 0;
  // Called after a file is taken up and after every file, so that a window can
  // repaint and take input.
  virtual void ProcessEvents() {}
};

// The status texts.
std::string BackingUpStatus(std::size_t i, std::size_t n, const std::filesystem::path& target);
std::string ConvertingStatus(std::size_t i, std::size_t n, const std::filesystem::path& source);
std::string FinishedStatus(std::size_t n);
std::string StoppedStatus();

// The extension of a path's file name from its last dot on, ASCII upper-cased;
// empty when the name has no dot.
std::string UpperExtension(const std::filesystem::path& path);

class Converter {
 public:
  // Takes JWW drawings (".jww") and JWS figures (".jws"). `filter`, when set, is
  // put in front of every file the run writes.
  explicit Converter(SinkFilter filter = {});
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

  // Converts the items in order. For each file: the signature check and the
  // load; every check that can be made before writing (the target and the
  // backup are regular files that may be replaced); the dissolve; the whole
  // output written beside the target; then, when the target exists, its backup
  // copy, written beside the backup; both flushed to disk; only then the backup
  // and the output are renamed into place. A failure before the renames leaves
  // every file as it was and no new one. The flushes and renames of a file run
  // on a thread of their own while the next file is read and converted, unless
  // a file of the list is another's target or backup, or is listed twice.
  // A working folder of its own holds the images of the drawing being
  // converted (figures embed none); it exists for the run only. A run never
  // starts inside another one (the summary says `refused`).
  RunSummary ConvertFiles(std::vector<ConvertItem> items, bool drawReferencePoints,
                          ConvertFrontEnd& frontEnd);

  bool Running() const { return running_; }
  TBoundImages& Images() { return images_; }


 private:
  // A converted file written to its temporary files (and its backup's), to be
  // flushed and put in place.
  struct Pending;
  class Committer;

  // A file's result, or its files waiting to be put in place.
  FileResult ConvertOne(const ConvertItem& item, std::size_t position, std::size_t count,
                        bool drawReferencePoints, ConvertFrontEnd& frontEnd,
                        std::unique_ptr<Pending>& pending);
  // Flushes a file's temporary files and renames them into place.
  FileResult Commit(Pending& pending);
  // True when no file of the list is another's target or backup, nor listed
  // twice: then a file may be read while the one before is put in place.
  bool MayOverlap(const std::vector<ConvertItem>& items) const;
  void CleanUp();

  TBoundImages images_;
  WorkingFolder work_;
  // The folders of the files a run put in place, flushed once as it ends.
  FolderFlushes flushes_;
  std::string workError_;
  std::vector<std::unique_ptr<FormatPipeline>> pipelines_;
  SinkFilter filter_;
  bool running_ = false;
};

}  // namespace tessaly

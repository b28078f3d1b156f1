// What a conversion run is given and what it tells: the files of the list, the
// result of each, the summary, and the front end (the window or the command
// line) that hears them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/failure.h"
#include "io/files.h"

namespace tessaly {

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
  kFailed,             // see `failure`; the target is as it was
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
  std::int64_t lines = 0, texts = 0, points = 0;  // the entities made of them
  std::string_view format;      // "JWW", "JWS": the format by the extension; empty when skipped
  std::int32_t version = 0;     // the version read (0: not read)
  // A dry run: what the run would do. `written`: it would write the target;
  // `backup`: it would make that backup. Nothing was written.
  bool planned = false;
  Failure failure;              // why the file failed or was skipped

  // Failed for `why`: nothing dissolved, the target not written (a backup
  // made before the target could not be replaced stays said).
  void Fail(Failure why);
};

struct RunSummary {
  std::size_t files = 0;  // length of the list
  std::size_t converted = 0, nothingToDissolve = 0, skipped = 0, failed = 0;
  std::int64_t dimensions = 0;
  bool stopped = false;  // a stop request ended the run before its last file
  bool refused = false;  // a run was already in progress: nothing was done

  std::size_t Done() const { return converted + nothingToDissolve + skipped + failed; }
  void Count(const FileResult& r);
};

// What the run tells its front end, and asks it. All calls come from the thread
// that called ConvertFiles.
class ConvertFrontEnd {
 public:
  virtual ~ConvertFrontEnd() = default;

  // The status line, UTF-8 (see status_texts.h).
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

// What tests may put into a run: a sink in front of every file it writes, and
// a step before each converted file is put in place (on the thread that puts
// it there); what it throws fails that file.
struct ConvertHooks {
  SinkFilter filter = {};
  std::function<void(const std::filesystem::path& target)> beforeCommit = {};
};

// The extension of a path's file name from its last dot on, ASCII upper-cased;
// empty when the name has no dot.
std::string UpperExtension(const std::filesystem::path& path);

}  // namespace tessaly

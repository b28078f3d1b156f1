// The backup copy made before a converted file replaces an existing one, and
// the clean-up of the working files of a drawing's embedded images.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "jww/file_io.h"
#include "jww/images.h"

namespace tessaly {

// A copy of a whole regular file into a temporary file beside the destination,
// flushed to disk and left writable, that is not yet in place: Commit on the
// answer renames it over the destination. Until then, and whenever the copy
// fails, the destination keeps its contents; a copy that is never committed
// leaves no file. A destination whose write bits are all clear (an old read-only
// backup) is refused, also for a user whom the system would let write it. With
// `keepTime` the copy takes the source's modification time. `filter`, when set,
// is put in front of the destination. Answers null with the reason on failure.
std::unique_ptr<AtomicFile> PrepareCopy(const std::filesystem::path& source,
                                        const std::filesystem::path& dest, bool keepTime,
                                        std::string& error, const SinkFilter& filter = {});

// Copies a whole regular file and puts the copy in place at once; see PrepareCopy.
bool CopyFileData(const std::filesystem::path& source, const std::filesystem::path& dest,
                  std::string& error);

// CopyFileData, and the destination takes the source's modification time.
bool CopyFileWithDate(const std::filesystem::path& source, const std::filesystem::path& dest,
                      std::string& error);

// For every image listed whose name ends in ".gz" (in any case): deletes its
// working file. Failures are ignored.
void DeleteCompressedWorkFiles(const TBoundImages& images);

// For every image listed: deletes the working file of its name without a final
// ".gz" (in any case). Failures are ignored. Together with the above, an image
// stored as plan1.bmp.gz leaves neither plan1.bmp.gz nor plan1.bmp behind.
void DeleteExpandedWorkFiles(const TBoundImages& images);

}  // namespace tessaly

// The backup copy made before a converted file replaces an existing one, and
// the clean-up of the working files of a drawing's embedded images.
#pragma once

#include <filesystem>
#include <string>

#include "jww/images.h"

namespace tessaly {

// Copies a whole regular file. The copy goes through a temporary file beside
// the destination that is flushed to disk and renamed over it only when
// everything was written, so a failure never leaves a partial destination: an
// existing destination keeps its contents, and no temporary file is left. The
// destination is left writable. A destination whose write bits are all clear
// (an old read-only backup) is refused, also for a user whom the system would
// let write it. Answers false with the reason on any failure.
bool CopyFileData(const std::filesystem::path& source, const std::filesystem::path& dest,
                  std::string& error);

// CopyFileData, then the destination takes the source's modification time
// (a failure to set the time is not a failure of the copy).
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

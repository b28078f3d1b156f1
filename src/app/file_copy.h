// The clean-up of the working files of a drawing's embedded images.
#pragma once

#include <filesystem>
#include "jww/images.h"

namespace tessaly {

// For every image listed whose name ends in ".gz" (in any case): deletes its
// working file. Failures are ignored.
void DeleteCompressedWorkFiles(const TBoundImages& images);

// For every image listed: deletes the working file of its name without a final
// ".gz" (in any case). Failures are ignored. Together with the above, an image
// stored as plan1.bmp.gz leaves neither plan1.bmp.gz nor plan1.bmp behind.
void DeleteExpandedWorkFiles(const TBoundImages& images);

}  // namespace tessaly

// The images of the drawing being converted, kept as files in the run's
// working folder, one file per image name: written as the drawing is read,
// read back as it is written, and removed when the drawing is done with.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "jww/images.h"

namespace tessaly {

class WorkingFolderImages final : public ImageStore {
 public:
  explicit WorkingFolderImages(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& Folder() const { return folder_; }
  // The working file of a file-system name (see CheckImageName).
  std::filesystem::path PathOf(const std::string& fsName, bool wide) const;

  // A file readable by its owner only, an older file of the name replaced but
  // no link followed.
  void Put(const std::string& fsName, bool wide, std::span<const std::uint8_t> data) override;
  bool Has(const std::string& fsName, bool wide) override;
  bool Get(const std::string& fsName, bool wide, std::vector<std::uint8_t>& data, Message& why) override;
  // Deletes the working file of every entry, and for a name that ends in ".gz"
  // (in any case) the file of the name without it too: an image stored as
  // plan1.bmp.gz leaves neither plan1.bmp.gz nor plan1.bmp behind. Failures
  // are ignored.
  void Forget(const std::vector<TBindImageType>& entries) override;

 private:
  std::filesystem::path folder_;
};

}  // namespace tessaly

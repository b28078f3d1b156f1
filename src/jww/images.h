// Images embedded in a drawing. The list of them is shared by the reader, which
// hands each image to a store as it is read, the writer, which embeds again the
// ones that a text still refers to, and the clean-up after each file. Where the
// images are kept is the store's business: the driver keeps them as files in
// its working folder, tools and tests in memory.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "archive/message.h"
#include "text/jstring.h"

namespace tessaly {

struct TBindImageType {
  JString name;
  std::int32_t size = 0;
  bool used = false;
};

// Where the data of embedded images is kept while a drawing is converted, under
// the file-system name CheckImageName makes of an image's name (`wide`: a name
// from UTF-16, in UTF-8; else Shift-JIS bytes).
class ImageStore {
 public:
  virtual ~ImageStore() = default;
  // Keeps an image's data, replacing what the name held. Throws WriteError.
  virtual void Put(const std::string& fsName, bool wide, std::span<const std::uint8_t> data) = 0;
  // True when the name holds data.
  virtual bool Has(const std::string& fsName, bool wide) = 0;
  // The data the name holds; false with the reason when it cannot be had.
  virtual bool Get(const std::string& fsName, bool wide, std::vector<std::uint8_t>& data,
                   Message& why) = 0;
  // Forgets the images of `entries` (the drawing is done with).
  virtual void Forget(const std::vector<TBindImageType>& entries) = 0;
};

// The images in memory.
class MemoryImages final : public ImageStore {
 public:
  void Put(const std::string& fsName, bool wide, std::span<const std::uint8_t> data) override {
    data_[{fsName, wide}].assign(data.begin(), data.end());
  }
  bool Has(const std::string& fsName, bool wide) override { return data_.count({fsName, wide}) != 0; }
  bool Get(const std::string& fsName, bool wide, std::vector<std::uint8_t>& data, Message& why) override {
    const auto it = data_.find({fsName, wide});
    if (it == data_.end()) {
      why = Message("no such image");
      return false;
    }
    data = it->second;
    return true;
  }
  void Forget(const std::vector<TBindImageType>&) override { data_.clear(); }
  std::size_t Count() const { return data_.size(); }

 private:
  std::map<std::pair<std::string, bool>, std::vector<std::uint8_t>> data_;
};

// The images of the drawing being converted, and where their data is kept
// (none: a drawing with embedded images cannot be read or written).
class TBoundImages {
 public:
  TBoundImages() = default;
  explicit TBoundImages(ImageStore& store) : store_(&store) {}

  ImageStore* Store() const { return store_; }
  void SetStore(ImageStore* store) { store_ = store; }

  std::vector<TBindImageType> Entries;
  // Forgets the entries and the data the store keeps for them.
  void Clear() {
    if (store_) store_->Forget(Entries);
    Entries.clear();
  }

 private:
  ImageStore* store_ = nullptr;
};

// An image name comes from the file and becomes a file name in the working
// folder, so it must be a plain file name: no one-byte "/", "\" or ":" and no
// control character (walked by character, so the trail byte of a two-byte
// character is never a separator, and a lead byte must have a trail byte of
// 0x40 or more), not "." or "..", and at most 255 bytes as a
// file-system name (a UTF-16 name in its UTF-8 form; a lone surrogate fails).
// Answers the file-system name, or false with the reason.
bool CheckImageName(const JString& name, std::string& fsName, Message& why);

}  // namespace tessaly

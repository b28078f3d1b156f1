// A sink that fails part way, as a full disk does, and saving through one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/document_files.h"
#include "archive/ports.h"
#include "io/files.h"

namespace tessaly::test {

// Fails once `limit` bytes have gone through it.
class FailingSink : public ForwardingSink {
 public:
  FailingSink(ByteSink& next, std::filesystem::path target, std::uint64_t limit)
      : ForwardingSink(next), target_(std::move(target)), limit_(limit) {}
  void Write(const std::uint8_t* data, std::size_t n) override {
    if (written_ + n > limit_) {
      throw WriteError(WriteError::Step::kWrite, target_.string(), "No space left on device (injected)",
                       Message("cannot write " + target_.string() + ": No space left on device (injected)"));
    }
    written_ += n;
    next_.Write(data, n);
  }

 private:
  std::filesystem::path target_;
  std::uint64_t limit_;
  std::uint64_t written_ = 0;
};

// Saves a document as the driver does, through a sink that fails after `limit`
// bytes; answers why it failed (empty when it did not).
template <typename Doc>
std::string SaveFailingAfter(const Doc& doc, const std::filesystem::path& path, std::int32_t version,
                             std::uint64_t limit) {
  try {
    WriteFileAtomically(path, [&](ByteSink& out) { doc.Write(out, version); },
                        [&](ByteSink& file, const std::filesystem::path&) -> std::unique_ptr<ByteSink> {
                          return std::make_unique<FailingSink>(file, path, limit);
                        });
  } catch (const WriteError& e) {
    return e.what();
  }
  return {};
}

}  // namespace tessaly::test

// A JWW drawing loaded from memory: every input must load or fail cleanly, and
// one that loads must also write (or refuse with a WriteError) without harm.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "io/bytes.h"
#include "jww/jww_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  TBoundImages images(fuzz::WorkDir());
  TJwwData doc(images);
  if (doc.LoadFromMemory(std::span<const std::uint8_t>(data, size))) {
    StringSink out;
    try {
      doc.Write(out, doc.Version());
    } catch (const WriteError&) {
    }
  } else {
    TESSALY_FUZZ_CHECK(!doc.Error().empty(), "a failed load without a reason");
  }
  fuzz::CleanImages(images);
  fuzz::CheckEmpty(fuzz::WorkDir());
  return 0;
}

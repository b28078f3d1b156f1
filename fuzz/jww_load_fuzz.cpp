// A JWW drawing loaded from memory, then written (see LoadAndWrite); its
// embedded images go to the working folder and are removed after each input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "jww/jww_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  fuzz::WorkingImages kept;
  TJwwData doc(kept.images);
  fuzz::LoadAndWrite(doc, std::span<const std::uint8_t>(data, size));
  kept.images.Clear();
  fuzz::CheckEmpty(fuzz::WorkDir());
  return 0;
}

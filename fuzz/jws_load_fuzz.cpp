// A JWS figure loaded from memory, then written (see LoadAndWrite).
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "jws/jws_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  TJwsData doc;
  fuzz::LoadAndWrite(doc, std::span<const std::uint8_t>(data, size));
  return 0;
}

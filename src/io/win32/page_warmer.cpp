#include "io/page_warmer.h"

namespace tessaly::raw {

// Windows has no call that makes fresh private pages present without writing
// them: the parse faults them in itself.
bool PopulateWrite(std::uintptr_t, std::size_t) { return false; }

std::size_t PageSize() { return 4096; }

}  // namespace tessaly::raw

#include "platform/MemoryPolicy.h"

#include <malloc.h>

namespace smt::platform {

void KeepLargeBlocksReturnable() {
  // Setting the limit at all fixes it (the default one moves).
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

}  // namespace smt::platform

#pragma once
// How the process's allocator hands memory back. Called first in main().

namespace smt::platform {

// Large blocks (128 KiB and more: a part list's rows, camera frames) are
// given their own mapping and returned to the system when freed. Without
// this the C library raises that limit each time such a block is freed, so
// the next runs' large blocks come from the heap and stay there: the
// resident size grew with every 20,000-row run (71 -> 86 -> 104 MiB).
void KeepLargeBlocksReturnable();

}  // namespace smt::platform

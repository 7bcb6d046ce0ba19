// Every benchmark program runs under the operator's program's memory
// setting, set before main() as the program sets it first in main(): the
// figures of the program's code and of the baselines beside it are taken
// in the same kind of memory.
#include "platform/MemoryPolicy.h"

namespace {
const bool kProgramMemorySetting = (smt::platform::KeepLargeBlocksReturnable(), true);
}  // namespace

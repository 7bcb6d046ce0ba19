#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/MemoryPolicy.h"
#include "support/ResidentMemory.h"

namespace {
using smt::test::ResidentKiB;

// Large blocks with small long-lived ones between them (as a run leaves
// them: row copies freed, log lines and results kept), all touched, then the
// large ones freed. Returns how much of them stays resident (KiB).
long KeptAfterFreeing() {
  // A large block freed first: it is what raised the C library's limit.
  void* big = std::malloc(8 << 20);
  static_cast<volatile char*>(big)[0] = 1;
  std::free(big);
  const long before = ResidentKiB();
  std::vector<void*> large, small;
  for (int i = 0; i < 64; ++i) {
    auto* p = static_cast<char*>(std::malloc(512 << 10));
    for (size_t k = 0; k < (512u << 10); k += 4096) p[k] = 1;
    large.push_back(p);
    small.push_back(std::malloc(64));
  }
  for (void* p : large) std::free(p);
  const long after = ResidentKiB();
  for (void* p : small) std::free(p);
  return after - before;
}
}  // namespace

// Freed large blocks go back to the system: 32 MiB of them leave (nearly)
// nothing resident behind.
TEST(MemoryPolicy, FreedLargeBlocksLeaveNothingResident) {
  smt::platform::KeepLargeBlocksReturnable();
  EXPECT_LT(KeptAfterFreeing(), 4 * 1024);
}

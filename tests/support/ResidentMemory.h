#pragma once
// How much of this process is resident in memory now, in KiB.
#include <unistd.h>

#include <fstream>

namespace smt::test {

inline long ResidentKiB() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  in >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace smt::test

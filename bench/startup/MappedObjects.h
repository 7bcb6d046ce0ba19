#pragma once
// What the start-up programs print when they quit: how many shared objects
// they had mapped (from /proc/self/maps) and when they were first idle.
#include <time.h>

#include <fstream>
#include <set>
#include <string>

inline int MappedSharedObjects() {
  std::ifstream in("/proc/self/maps");
  std::set<std::string> objects;
  std::string line;
  while (std::getline(in, line)) {
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.find(".so") != std::string::npos) objects.insert(path);
  }
  return static_cast<int>(objects.size());
}

// CLOCK_MONOTONIC in nanoseconds: the same clock in every process, so the
// benchmark can tell how long after it started a program that program was
// first idle.
inline long long MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

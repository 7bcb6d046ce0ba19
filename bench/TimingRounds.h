#pragma once
// Timing rounds shared by the benchmarks that set a program's figure against
// a baseline measured in the same run: the best of several runs of a piece
// of work, the spread of a figure over the rounds, and its one printed form
// ("a / b / c (min / median / max of N rounds, goal <= g)").
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace smt::bench {

struct MinMedMax {
  double min = 0, median = 0, max = 0;
};

inline MinMedMax Spread(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return {};
  return {v.front(), v[v.size() / 2], v.back()};
}

// The shortest of `runs` runs of f(), in milliseconds; `setup` runs untimed
// before each run.
template <class S, class F>
double BestMillis(int runs, S setup, F f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    setup();
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

template <class F>
double BestMillis(int runs, F f) {
  return BestMillis(runs, [] {}, f);
}

// "a / b / c (min / median / max of N rounds, goal <= g)"; no goal part when
// `goal` is 0 or less.
inline std::string RoundsText(const MinMedMax& s, size_t rounds, double goal = 0) {
  char buf[160];
  if (goal > 0)
    std::snprintf(buf, sizeof buf, "%.2f / %.2f / %.2f (min / median / max of %zu rounds, goal <= %g)", s.min, s.median,
                  s.max, rounds, goal);
  else
    std::snprintf(buf, sizeof buf, "%.2f / %.2f / %.2f (min / median / max of %zu rounds)", s.min, s.median, s.max,
                  rounds);
  return buf;
}

}  // namespace smt::bench

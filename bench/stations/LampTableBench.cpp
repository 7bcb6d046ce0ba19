// The lamp point grid's side-file texts and the per-dot parsers that the
// platform runs call for every point.
#include <benchmark/benchmark.h>

#include "stations/LampPointTable.h"

namespace {

using namespace smt::stations;

LampPointTable& Filled() {
  static LampPointTable t;
  static bool once = [] {
    for (int i = 0; i < kLampMaxPoints; ++i) {
      LampPointValues v;
      v.markX = 10.0 + i;
      v.ledX = 1.25;
      v.startSpeed = 10;
      v.runSpeed = 40;
      t.AddPoint(v);
    }
    return true;
  }();
  (void)once;
  return t;
}

void BM_RowTextsRoundTrip(benchmark::State& state) {
  auto& t = Filled();
  LampPointTable other;
  for (auto _ : state) {
    other.SetRowTexts(t.RowTexts());
    benchmark::DoNotOptimize(other.PointCount());
  }
}
BENCHMARK(BM_RowTextsRoundTrip);

void BM_ParseAllDots(benchmark::State& state) {
  auto& t = Filled();
  LampScales s;
  s.px = s.py = s.pz = 1000;
  for (auto _ : state) {
    int64_t sum = 0;
    for (int p = 0; p < kLampMaxPoints; ++p)
      for (int platform = 1; platform <= 2; ++platform)
        for (int kind = 1; kind <= 4; ++kind) sum += t.ParsePointRow(kind, platform, p, s).x;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ParseAllDots);

}  // namespace

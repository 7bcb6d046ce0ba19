// The part list's list-wide work on large lists: sorting by feeder number,
// a find that walks every cell, and the feeder interleaving pass.
#include <benchmark/benchmark.h>

#include <string>

#include "job/JobModel.h"
#include "job/PartListLogic.h"

namespace {

smt::job::JobModel BigJob(int rows) {
  smt::job::JobModel job;
  const char sides[] = {'W', 'N', 'E', 'S'};
  for (int i = 0; i < rows; ++i) {
    smt::job::ListRow r(smt::job::kPlacementCells);
    r.cells = {std::to_string(i + 1), std::to_string(i * 0.5), "3", "90", "R" + std::to_string(i), "电阻", "0603", "Yes",
               "10k", std::string(1, sides[i % 4]) + std::to_string((i * 7) % 60), "No", "10k", "1", "", "", ""};
    job.placementRows.push_back(std::move(r));
  }
  return job;
}

void BM_SortByFeeder(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto job = BigJob(static_cast<int>(state.range(0)));
    smt::job::PartListLogic logic(job);
    logic.sortCode = 9;
    state.ResumeTiming();
    logic.SortList(smt::job::RowKind::Placement);
  }
}
BENCHMARK(BM_SortByFeeder)->Arg(1000)->Arg(10000);

void BM_FindMissingText(benchmark::State& state) {
  auto job = BigJob(static_cast<int>(state.range(0)));
  smt::job::PartListLogic logic(job);
  for (auto _ : state) benchmark::DoNotOptimize(logic.FindFrom("no such text", 0));
}
BENCHMARK(BM_FindMissingText)->Arg(1000)->Arg(10000);

void BM_FeederInterleaving(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto job = BigJob(static_cast<int>(state.range(0)));
    for (auto& r : job.placementRows) r.cells[9] = "W1";
    job.placementRows.back().cells[9] = "E2";
    smt::job::PartListLogic logic(job);
    state.ResumeTiming();
    logic.CheckFeederOrder();
  }
}
BENCHMARK(BM_FeederInterleaving)->Arg(1000);

}  // namespace

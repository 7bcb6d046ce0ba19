// The per-head bookkeeping of a placement cycle: feeder number to pick
// record, and pick record to part job, on a feeder group of 120 rows.
#include <benchmark/benchmark.h>

#include "core/Machine.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "run/FeederPickTarget.h"
#include "run/PickPlacePreparation.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"

namespace {

struct Table {
  // The feeder table of the machine in use, which the run reads.
  smt::feeder::FeederTable& t = smt::run::Feeders(smt::CurrentMachine());
  Table() {
    t.Clear();
    t.AddGroup("A", "");
    t.SetCurrentName("A");
    t.ShowGroupInList("A", smt::feeder::BuiltInNameTables(0));
    std::vector<smt::feeder::FeederRow> rows;
    for (int i = 1; i <= 120; ++i) {
      smt::feeder::FeederCells r;
      r[smt::feeder::kCellNumber] = "W" + std::to_string(i);
      r[smt::feeder::kCellX] = std::to_string(10 + i);
      r[smt::feeder::kCellY] = "-20";
      r[smt::feeder::kCellHead] = "1";
      r[smt::feeder::kCellCamera] = "Yes/Camera 1";
      r[smt::feeder::kCellFly] = "No/60/80";
      r[smt::feeder::kCellFeedMode] = "集中飞达";
      r[smt::feeder::kCellFeature] = "01:R";
      rows.push_back(r);
    }
    t.ReplaceCurrentRows(rows, std::vector<smt::feeder::TrayRecord>(rows.size(), smt::feeder::TrayRecord::Default()));
    auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
    m.xLimit = 1000000;
    m.yLimit = -1000000;
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 100;
  }
};

void BM_PickTargetOfTheLastFeeder(benchmark::State& state) {
  static Table table;
  smt::platform::ScopedRecordingMessages quiet;
  for (auto _ : state) benchmark::DoNotOptimize(smt::run::CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W120"));
}
BENCHMARK(BM_PickTargetOfTheLastFeeder);

void BM_PreparePartJob(benchmark::State& state) {
  static Table table;
  smt::platform::ScopedRecordingMessages quiet;
  smt::run::CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W60");
  smt::run::HeadPlaceState p;
  for (auto _ : state) benchmark::DoNotOptimize(smt::run::PreparePickPlace(smt::CurrentMachine(), table.t.CurrentIndex(), p, 1));
}
BENCHMARK(BM_PreparePartJob);

}  // namespace

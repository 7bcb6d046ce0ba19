// The motion commands: building the payloads of the busiest moves, and a
// full XY move (checks, send, reply, bookkeeping) against the simulator.
#include <benchmark/benchmark.h>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MotionCommands.h"
#include "link/MotionSettings.h"
#include "SimulatedBoardLink.h"

namespace {

void BuildXYMove(benchmark::State& state) {
  for (auto _ : state) {
    auto c = smt::link::BuildCmd64MoveXY(smt::CurrentMachine(), 1234, 10, 30, -4321, 10, 30, 2, 90, 5, 20, 0x80);
    benchmark::DoNotOptimize(c.udpPayload.data());
    benchmark::DoNotOptimize(c.serialPayload.data());
  }
}
BENCHMARK(BuildXYMove);

void BuildHeadsMove(benchmark::State& state) {
  const std::array<int32_t, 8> deltas{10, 20, 30, 40, 50, 60, 70, 80};
  for (auto _ : state) {
    auto c = smt::link::BuildCmd65MoveXYHeads(smt::CurrentMachine(), 1234, 10, 30, -4321, 10, 30, deltas, 5, 20, 1);
    benchmark::DoNotOptimize(c.udpPayload.data());
  }
}
BENCHMARK(BuildHeadsMove);

void XYMoveRoundTrips(benchmark::State& state, bool serialLink) {
  SimulatedBoardLink board(serialLink);
  if (!board.started) {
    state.SkipWithError(board.sim.LastError().c_str());
    return;
  }
  smt::link::RuntimeOf(smt::CurrentMachine()).v2_04 = 1;
  smt::link::MotionSettings m;
  m.xLimit = m.xLimitAbs = 100000;
  m.yLimit = -100000;
  m.yLimitAbs = 100000;
  smt::link::SetMotionSettings(smt::CurrentMachine(), m);
  smt::CurrentMachine().masterResetOk = true;
  smt::CurrentMachine().curX = 1000;
  smt::CurrentMachine().curY = -1000;
  int64_t failures = 0;
  int32_t step = 100;
  for (auto _ : state) {
    if (!smt::link::SendCmd64MoveXY(smt::CurrentMachine(), step, 10, 30, -step, 10, 30, 0, 0, 5, 20, 0x80)) ++failures;
    step = -step;
  }
  state.counters["moves_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["failures"] = static_cast<double>(failures);
  state.counters["position_mismatch"] = static_cast<double>(board.sim.Position(0) - (smt::CurrentMachine().curX - 1000));
  smt::link::SetMotionSettings(smt::CurrentMachine(), {});
}
BENCHMARK_CAPTURE(XYMoveRoundTrips, udp, false)->UseRealTime();
BENCHMARK_CAPTURE(XYMoveRoundTrips, serial, true)->UseRealTime();

}  // namespace

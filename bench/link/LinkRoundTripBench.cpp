// Command round trips against the board simulator: one command sent and its
// reply awaited, over loopback UDP and over a pseudo-terminal.
#include <benchmark/benchmark.h>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/SerialFrame.h"
#include "SimulatedBoardLink.h"

namespace {

smt::link::MachineCommand AxisMove() {
  smt::link::MachineCommand c;
  c.code = 0x61;
  c.trace = false;
  c.udpPayload = smt::link::ByteWriter().U8(0).I32(0).I32(10).I32(5).I32(20).Take();
  c.serialPayload = smt::link::ByteWriter().U8(0).SM32(10).U8(5).U8(20).Take();
  c.reply = &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove;
  return c;
}

void RoundTrips(benchmark::State& state, bool serialLink) {
  SimulatedBoardLink board(serialLink);
  if (!board.started) {
    state.SkipWithError(board.sim.LastError().c_str());
    return;
  }
  smt::CurrentMachine().masterResetOk = true;
  const auto command = AxisMove();
  int64_t failures = 0;
  for (auto _ : state) {
    if (smt::link::SendMachineCommand(smt::CurrentMachine(), command) != smt::link::CommandResult::Ok) ++failures;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["round_trips_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["failures"] = static_cast<double>(failures);
}

void BM_RoundTripUdpLoopback(benchmark::State& state) { RoundTrips(state, false); }
void BM_RoundTripSerialPty(benchmark::State& state) { RoundTrips(state, true); }

void BM_SerialFrameParse(benchmark::State& state) {
  std::vector<uint8_t> stream;
  for (int i = 0; i < 64; ++i) {
    const auto f = smt::link::BuildSerialFrame(0x61, {0, 0, 0, 0, 10, 5, 20});
    stream.insert(stream.end(), f.begin(), f.end());
  }
  smt::link::SerialFrameParser parser;
  size_t frames = 0;
  for (auto _ : state) parser.Feed(stream.data(), stream.size(), [&](const std::vector<uint8_t>&) { ++frames; });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
  benchmark::DoNotOptimize(frames);
}

}  // namespace

BENCHMARK(BM_RoundTripUdpLoopback)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RoundTripSerialPty)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_SerialFrameParse);

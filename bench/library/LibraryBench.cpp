// The library work that runs at start-up and at every opening or OK of a
// library dialog, and one nozzle change against the board simulator.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "library/NozzleChange.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleStrategy.h"
#include "library/PackLibrary.h"
#include "link/CMachineLink.h"
#include "link/LinkRuntime.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "sim/SimBoard.h"

namespace {

std::vector<std::string> PackLines(int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    smt::library::PackRow row;
    smt::library::PackEditFields f;
    f.name = "PKG-" + std::to_string(count - i);
    f.feedMode = "集中飞达";
    f.speedName = "贴装速度";
    f.length = 1 + i % 40;
    smt::library::WritePackFields(row, f);
    lines.push_back(smt::library::PackRowStrings({row})[0]);
  }
  return lines;
}

void BM_BuildPackTable(benchmark::State& state) {
  const auto lines = PackLines(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(smt::library::BuildPackTable(lines));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildPackTable)->Arg(100)->Arg(2000);

void BM_SortPackRowsByLength(benchmark::State& state) {
  const auto table = smt::library::BuildPackTable(PackLines(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    auto rows = table;
    smt::library::SortPackRows(rows, 1);
    benchmark::DoNotOptimize(rows);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortPackRowsByLength)->Arg(2000);

void BM_ComputeNozzlePositions(benchmark::State& state) {
  smt::library::NozzleLibrary lib;
  std::vector<smt::library::NozzleRow> cells;
  for (int i = 0; i < smt::library::kSeatCount; ++i)
    cells.push_back(smt::library::NozzleLibrary::MakeRow(i + 1, 10.0 * i, -20, -1, 10.0 * i, -25, -3, 40,
                                                         i % 3 ? "A" : "B"));
  lib.ReadRows(cells);
  smt::library::NozzleGeometry g;
  g.xPulse = g.yPulse = g.zPulse = 100;
  for (auto _ : state) lib.ComputeNozzlePositions(smt::CurrentMachine(), g);
}
BENCHMARK(BM_ComputeNozzlePositions);

// Take and return one nozzle (two XY moves and two Z strokes each way) over
// loopback UDP.
void BM_NozzleTakeAndReturnUdp(benchmark::State& state) {
  smt::sim::SimConfig config;
  config.udpBindAddress = "127.0.0.1";
  config.udpPort = 0;
  config.discovery = false;
  config.serial = false;
  smt::sim::SimBoard sim(config);
  if (!sim.Start()) {
    state.SkipWithError(sim.LastError().c_str());
    return;
  }
  smt::link::CMachineLink link{smt::CurrentMachine()};
  link.SetLocalPort(0);
  link.Open("127.0.0.1", static_cast<uint32_t>(sim.UdpPort()));
  link.StartReplyLoop();
  auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
  rt.udp = &link;
  rt.commModel = 1;
  rt.headMask = 0x01;  // the simulator reports head 1 fitted
  smt::CurrentMachine().connected = smt::CurrentMachine().resetDone = smt::CurrentMachine().masterResetOk = true;
  smt::CurrentMachine().machineType = 2;
  smt::link::MotionSettings m;
  m.xLimit = m.xLimitAbs = 200000;
  m.yLimit = -150000;
  m.yLimitAbs = 150000;
  m.zLimit = -6000;
  smt::link::SetMotionSettings(smt::CurrentMachine(), m);
  smt::settings::PulseSettings p;
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = p.m_A_Pulse = 100;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(p);
  smt::settings::SpeedState speed;
  for (auto& r : speed.records)
    for (auto& pair : r) pair = {5, 20};
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).speed.Set(speed);
  smt::library::SetNozzleStrategySource(smt::CurrentMachine(), [] { return smt::library::NozzleStrategy{1, 0, 0}; });
  auto& lib = smt::library::TheNozzleLibrary(smt::CurrentMachine());
  lib.ReadRows({smt::library::NozzleLibrary::MakeRow(1, 100, -50, -1, 100, -60, -5, 40, "A")});
  lib.ComputeNozzlePositions(smt::CurrentMachine());
  smt::platform::ScopedRecordingMessages messages;
  int64_t failures = 0;
  for (auto _ : state) {
    if (!smt::library::PickNozzleFromLibrary(smt::CurrentMachine(), 1, 1, false, false)) ++failures;
    if (!smt::library::ReturnNozzleToLibrary(smt::CurrentMachine(), 1, false, false)) ++failures;
  }
  state.counters["failures"] = static_cast<double>(failures);
  if (failures) state.SkipWithError(messages.service.Texts().empty() ? "failed" : messages.service.Texts()[0].c_str());
  rt.udp = nullptr;
  link.Close();
  sim.Stop();
}
BENCHMARK(BM_NozzleTakeAndReturnUdp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

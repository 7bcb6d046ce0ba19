// Reading pick-and-place files and turning them into placement rows, for
// boards of 5,000 parts.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "job/EdaFileReaders.h"
#include "job/EdaPartConversion.h"

using namespace smt::job;

namespace {

std::vector<uint8_t> AltiumCsv(int parts) {
  std::string s = "Altium Designer Pick and Place Locations\r\n\r\nUnits used: mil\r\n\r\n"
                  "\"Designator\",\"Comment\",\"Layer\",\"Footprint\",\"Center-X(mil)\",\"Center-Y(mil)\","
                  "\"Rotation\",\"Description\"\r\n";
  for (int i = 0; i < parts; ++i)
    s += "\"R" + std::to_string(i) + "\",\"10k\",\"TopLayer\",\"RESC1608X55\",\"" + std::to_string(100 + i % 3000) +
         ".125\",\"" + std::to_string(50 + i % 2000) + ".5\",\"" + std::to_string((i % 4) * 90) +
         "\",\"Res Thick Film 0603 10K Ohm 1% 1/10W\"\r\n";
  return {s.begin(), s.end()};
}

std::vector<uint8_t> KiCadPos(int parts) {
  std::string s = "### Module positions\n## Unit = mm, Angle = deg.\n## Side : top\n"
                  "# Ref     Val       Package                PosX       PosY       Rot  Side\n";
  for (int i = 0; i < parts; ++i)
    s += "C" + std::to_string(i) + "       100n      C_0603_1608Metric   " + std::to_string(i % 200) +
         ".2540   -" + std::to_string(i % 150) + ".1000  180.0000  top\n";
  s += "## End\n";
  return {s.begin(), s.end()};
}

void BM_ReadAltiumCsv(benchmark::State& state) {
  const auto bytes = AltiumCsv(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ReadEdaBytes(5, bytes, "board.csv"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadAltiumCsv)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_ReadKiCadPos(benchmark::State& state) {
  const auto bytes = KiCadPos(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ReadEdaBytes(9, bytes, "board.pos"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadKiCadPos)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_ConvertWithFeederMatching(benchmark::State& state) {
  ImportList list;
  list.Append(ReadEdaBytes(5, AltiumCsv(static_cast<int>(state.range(0))), "board.csv").rows);
  std::vector<ImportFeederRow> feeders;
  for (int i = 0; i < 200; ++i) feeders.push_back({"W" + std::to_string(i), "PKG" + std::to_string(i), "v", "1", false});
  feeders.push_back({"E1", "RESC1608X55", "10k", "2", true});  // the last one matches
  std::tm now{};
  for (auto _ : state) benchmark::DoNotOptimize(BuildPlacementRows(list, feeders, {1, 1}, now));
}
BENCHMARK(BM_ConvertWithFeederMatching)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

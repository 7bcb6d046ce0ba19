// The feeder table's line form and the CSV parse on a large table.
#include <benchmark/benchmark.h>

#include "feeder/FeederCsv.h"
#include "feeder/FeederTable.h"

using namespace smt::feeder;

namespace {

std::vector<std::string> MakeLines(int groups, int rows) {
  FeederTable t;
  const FeederNameTables names = BuiltInNameTables(0);
  std::vector<std::string> lines = {std::to_string(groups) + "\tG0\t"};
  for (int g = 0; g < groups; ++g) {
    lines.push_back("G" + std::to_string(g) + "\tdescription\t" + std::to_string(rows) + "\t");
    for (int r = 0; r < rows; ++r) {
      std::string s = "W" + std::to_string(r + 1) + "\t";
      for (int c = 1; c < kFeederCells; ++c) s += (c == kCellFeedMode ? names.Mode(0) : std::to_string(c)) + "\t";
      lines.push_back(s);
    }
    for (int r = 0; r < rows; ++r) {
      lines.push_back("4\t5\t0\t0\t1.0000\t2.0000\t");
      for (int k = 0; k < 4; ++k) lines.push_back("Yes/1\tYes/2\tYes/3\tYes/4\tYes/5\t");
    }
  }
  return lines;
}

void BM_LoadFeederTable(benchmark::State& state) {
  const auto lines = MakeLines(static_cast<int>(state.range(0)), 100);
  const FeederNameTables names = BuiltInNameTables(0);
  for (auto _ : state) {
    FeederTable t;
    auto copy = lines;
    benchmark::DoNotOptimize(t.LoadFromLines(copy, names));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
}
BENCHMARK(BM_LoadFeederTable)->Arg(1)->Arg(20);

void BM_SaveFeederTable(benchmark::State& state) {
  auto lines = MakeLines(static_cast<int>(state.range(0)), 100);
  FeederTable t;
  t.LoadFromLines(lines, BuiltInNameTables(0));
  for (auto _ : state) benchmark::DoNotOptimize(t.SaveToLines());
}
BENCHMARK(BM_SaveFeederTable)->Arg(1)->Arg(20);

void BM_ParseFeederCsv(benchmark::State& state) {
  std::string text = "header\r\n";
  for (int r = 0; r < 500; ++r) {
    text += "W" + std::to_string(r + 1);
    for (int c = 1; c < kFeederCells; ++c) text += "," + std::to_string(c);
    text += ",10,10,2,3,1.0000,1.0000\r\n";
  }
  const FeederNameTables names = BuiltInNameTables(0);
  std::vector<FeederRow> rows;
  std::vector<TrayRecord> trays;
  for (auto _ : state) {
    ParseFeederCsv(text, names, rows, trays);
    benchmark::DoNotOptimize(rows.data());
  }
}
BENCHMARK(BM_ParseFeederCsv);

}  // namespace

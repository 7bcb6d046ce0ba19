// Reading and writing library list files of 10,000 rows.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "platform/ListFile.h"

using namespace smt::platform;

namespace {

ListFileContent MakeRows(int n) {
  ListFileContent c;
  for (int i = 0; i < n; ++i) {
    std::string row;
    for (int cell = 0; cell < 28; ++cell) row += "P" + std::to_string(i) + "_" + std::to_string(cell) + "封装\t";
    c.rows.push_back(std::move(row));
  }
  return c;
}

std::filesystem::path BenchFile() {
  return std::filesystem::temp_directory_path() / "smt-bench-config_pack.fig";
}

void BM_WriteListFile10k(benchmark::State& state) {
  ListFileContent c = MakeRows(10000);
  for (auto _ : state) WriteListFile(BenchFile(), c);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(BenchFile())));
}
BENCHMARK(BM_WriteListFile10k)->Unit(benchmark::kMillisecond);

void BM_ReadListFile10k(benchmark::State& state) {
  WriteListFile(BenchFile(), MakeRows(10000));
  for (auto _ : state) benchmark::DoNotOptimize(ReadListFile(BenchFile(), false));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(BenchFile())));
  std::filesystem::remove(BenchFile());
}
BENCHMARK(BM_ReadListFile10k)->Unit(benchmark::kMillisecond);

}  // namespace

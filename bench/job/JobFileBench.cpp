// Open and save of a job of 20 boards x 2,000 placement rows (with 2,000
// dispensing rows), through the job model and the job files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "job/JobFile.h"
#include "job/JobModel.h"

using namespace smt::job;
namespace fs = std::filesystem;

namespace {

JobModel BigJob(int boards, int rows) {
  JobModel job;
  for (int b = 0; b < boards; ++b) {
    PcbRecord rec;
    rec.m_strName = "板-" + std::to_string(b);
    rec.m_nRows = 2;
    rec.m_nCols = 3;
    rec.m_PanelGrid = FullPanelGrid(2, 3);
    rec.m_Parts.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
      rec.m_Parts.push_back(PlacementFromStoredCells({std::to_string(i + 1), FormatG(i * 0.37), FormatG(i * 0.21), "90", "R" + std::to_string(i),
                             "电阻", "0603", "1/Yes", "10k", "W3", "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""}));
    job.pcbs.m_Records.push_back(std::move(rec));
  }
  job.pcbs.m_strCurPcbName = "板-0";
  job.ShowRecord(0);
  for (int i = 0; i < rows; ++i)
    job.dispenseRows.push_back(DispenseRowFromText(std::to_string(i) + "\t1.5\t2\t-3\tYes\t0\t0\t10\t20\t30\t胶\t\t\t\t\t"));
  return job;
}

fs::path BenchPath() { return fs::temp_directory_path() / ("smt_job_bench_" + std::to_string(::getpid()) + ".smt"); }

void BM_SaveJob(benchmark::State& state) {
  JobModel job = BigJob(20, 2000);
  const fs::path p = BenchPath();
  for (auto _ : state) WriteJobFiles(p, job.ToContent(0), 0);
  state.counters["smt_bytes"] = static_cast<double>(fs::file_size(p));
  fs::remove(p);
  fs::remove(SideFilePath(p, ".dis"));
}
BENCHMARK(BM_SaveJob)->Unit(benchmark::kMillisecond);

void BM_OpenJob(benchmark::State& state) {
  const fs::path p = BenchPath();
  {
    JobModel job = BigJob(20, 2000);
    WriteJobFiles(p, job.ToContent(0), 0);
  }
  JobModel job;
  for (auto _ : state) job.ApplyContent(ReadJobFiles(p, 0), 0);
  state.counters["boards"] = job.pcbs.Count();
  fs::remove(p);
  fs::remove(SideFilePath(p, ".dis"));
}
BENCHMARK(BM_OpenJob)->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state) {
  JobModel job = BigJob(20, 2000);
  const auto bytes = EncodeJobFile(job.ToContent(0));
  for (auto _ : state) {
    auto c = ParseJobFile(bytes);
    benchmark::DoNotOptimize(PcbTable::FromLines(c.curPcbName, c.pcbCount, c.pcbLines));
  }
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

// The formatting of a save alone, of a job opened from its files (every
// number cell written back in the form it was read).
void BM_EncodeOpenedJob(benchmark::State& state) {
  const fs::path p = BenchPath();
  {
    JobModel job = BigJob(20, 2000);
    WriteJobFiles(p, job.ToContent(0), 0);
  }
  JobModel job;
  {
    OpenedJobFiles o = OpenJobFiles(p, 0, JobFileNames::Of(p));
    job.ApplyTable(std::move(o.table), o.sides, 0);
  }
  for (auto _ : state) benchmark::DoNotOptimize(job.EncodeFiles(0).job.size());
  fs::remove(p);
  fs::remove(SideFilePath(p, ".dis"));
}
BENCHMARK(BM_EncodeOpenedJob)->Unit(benchmark::kMillisecond);

// File Open's work on the same job: read, parse, the job model.
void BM_OpenJobFiles(benchmark::State& state) {
  const fs::path p = BenchPath();
  {
    JobModel job = BigJob(20, 2000);
    WriteJobFiles(p, job.ToContent(0), 0);
  }
  const JobFileNames names = JobFileNames::Of(p);
  JobModel job;
  for (auto _ : state) {
    OpenedJobFiles o = OpenJobFiles(p, 0, names);
    job.ApplyTable(std::move(o.table), o.sides, 0, names);
  }
  fs::remove(p);
  fs::remove(SideFilePath(p, ".dis"));
}
BENCHMARK(BM_OpenJobFiles)->Unit(benchmark::kMillisecond);

}  // namespace

// Job files against raw file access of the same bytes, measured in the same
// run: opening (the job file and its dispensing side file read and parsed)
// against one plain read of each file's bytes, and saving (encoded, written
// and put in place together) against a plain write-with-sync of the same
// bytes. Prints each figure, its baseline and the ratio.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "job/JobFile.h"
#include "job/JobModel.h"
#include "platform/FileIo.h"

using namespace smt::job;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

JobFileContent BigContent() {
  JobModel job;
  for (int b = 0; b < 20; ++b) {
    PcbRecord rec;
    rec.m_strName = "板-" + std::to_string(b);
    rec.m_nRows = 2;
    rec.m_nCols = 3;
    rec.m_PanelGrid = FullPanelGrid(2, 3);
    for (int i = 0; i < 2000; ++i)
      rec.m_Parts.push_back({std::to_string(i + 1), FormatG(i * 0.37), FormatG(i * 0.21), "90", "R" + std::to_string(i),
                             "电阻", "0603", "1/Yes", "10k", "W3", "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""});
    job.pcbs.m_Records.push_back(std::move(rec));
  }
  job.pcbs.m_strCurPcbName = "板-0";
  job.ShowRecord(0);
  for (int i = 0; i < 2000; ++i)
    job.dispenseRows.push_back(DispenseRowFromText(std::to_string(i) + "\t1.5\t2\t-3\tYes\t0\t0\t10\t20\t30\t胶\t\t\t\t\t"));
  return job.ToContent(0);
}

template <class F>
double BestMillis(int runs, F f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return best;
}

void WriteSynced(const fs::path& p, const std::vector<uint8_t>& bytes) {
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::perror("write");
  ::fsync(fd);
  ::close(fd);
}

void BM_JobFilesAgainstRawFileAccess(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("smt_job_ratio_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path job = dir / "big.smt";
  const JobFileContent content = BigContent();
  const auto smtBytes = EncodeJobFile(content);
  const auto disBytes = EncodeRowFile(*content.dispenseLines);
  WriteJobFiles(job, content, 0);
  constexpr int kRuns = 7;
  double open = 0, read = 0, save = 0, write = 0, parse = 0, finish = 0, encode = 0;
  for (auto _ : state) {
    // Interleaved, best of several each: both figures see the same machine.
    read = BestMillis(kRuns, [&] {
      benchmark::DoNotOptimize(smt::platform::ReadWholeFile(job));
      benchmark::DoNotOptimize(smt::platform::ReadWholeFile(SideFilePath(job, ".dis")));
    });
    open = BestMillis(kRuns, [&] { benchmark::DoNotOptimize(ReadJobFiles(job, 0)); });
    // Where the open's time goes: parsing bytes already in memory, and the
    // look for an interrupted save.
    parse = BestMillis(kRuns, [&] {
      benchmark::DoNotOptimize(ParseJobFile(smtBytes));
      benchmark::DoNotOptimize(ParseRowFile(disBytes));
    });
    finish = BestMillis(kRuns, [&] { FinishInterruptedSave(job); });
    encode = BestMillis(kRuns, [&] {
      benchmark::DoNotOptimize(EncodeJobFile(content));
      benchmark::DoNotOptimize(EncodeRowFile(*content.dispenseLines));
    });
    write = BestMillis(kRuns, [&] {
      WriteSynced(dir / "raw.smt", smtBytes);
      WriteSynced(dir / "raw.dis", disBytes);
    });
    save = BestMillis(kRuns, [&] { WriteJobFiles(job, content, 0); });
  }
  state.counters["open_ms"] = open;
  state.counters["read_ms"] = read;
  state.counters["open_ratio"] = open / read;
  state.counters["save_ms"] = save;
  state.counters["write_sync_ms"] = write;
  state.counters["save_ratio"] = save / write;
  std::printf("job files of %zu + %zu bytes: open %.2f ms against a raw read %.2f ms, ratio %.2f (goal <= 5); "
              "save %.2f ms against a raw write with sync %.2f ms, ratio %.2f (goal <= 2)\n",
              smtBytes.size(), disBytes.size(), open, read, open / read, save, write, save / write);
  std::printf("  of which: parsing %.2f ms, looking for an interrupted save %.2f ms, encoding %.2f ms\n", parse, finish,
              encode);
  fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_JobFilesAgainstRawFileAccess)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Job files against raw file access of the same bytes, measured in the same
// run, at 1x, 4x and 16x a job of 20 boards of 2,000 parts: opening as the
// operator waits for it (the job file and its dispensing side file read,
// parsed and the job model built from them) against a plain open() + read()
// of each file's bytes into a buffer of its size, and saving (encoded,
// written, synced and put in place together through the journal) against a
// plain write() + fsync() + rename() of the same bytes. Prints each figure,
// its baseline and the ratio.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "job/JobFile.h"
#include "job/JobModel.h"
#include "platform/FileIo.h"

using namespace smt::job;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

JobFileContent BigContent(int scale) {
  JobModel job;
  for (int b = 0; b < 20 * scale; ++b) {
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

// The baselines: what reading and writing the bytes costs at the least.
void PlainRead(const fs::path& p) {
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  ::fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer.get() + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  benchmark::DoNotOptimize(buffer.get());
}

void PlainWriteSyncRename(const fs::path& p, const std::vector<uint8_t>& bytes) {
  const fs::path tmp = p.string() + ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::perror("write");
  ::fsync(fd);
  ::close(fd);
  ::rename(tmp.c_str(), p.c_str());
}

void BM_JobFilesAgainstRawFileAccess(benchmark::State& state) {
  const int scale = static_cast<int>(state.range(0));
  const fs::path dir = fs::temp_directory_path() / ("smt_job_ratio_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path job = dir / "big.smt";
  const JobFileContent content = BigContent(scale);
  const auto smtBytes = EncodeJobFile(content);
  const auto disBytes = EncodeRowFile(*content.dispenseLines);
  WriteJobFiles(job, content, 0);
  const int runs = scale >= 16 ? 3 : 7;
  double open = 0, read = 0, save = 0, write = 0, readParse = 0, parse = 0, finish = 0, encode = 0;
  for (auto _ : state) {
    // Interleaved, best of several each: both figures see the same machine.
    read = BestMillis(runs, [&] {
      PlainRead(job);
      PlainRead(SideFilePath(job, ".dis"));
    });
    open = BestMillis(runs, [&] {
      JobModel model;
      model.ApplyContent(ReadJobFiles(job, 0), 0);
      benchmark::DoNotOptimize(model.placementRows.data());
    });
    // Where the open's time goes: reading and parsing without the model,
    // parsing bytes already in memory, and the look for an interrupted save.
    readParse = BestMillis(runs, [&] { benchmark::DoNotOptimize(ReadJobFiles(job, 0)); });
    parse = BestMillis(runs, [&] {
      benchmark::DoNotOptimize(ParseJobFile(smtBytes));
      benchmark::DoNotOptimize(ParseRowFile(disBytes));
    });
    finish = BestMillis(runs, [&] { FinishInterruptedSave(job); });
    encode = BestMillis(runs, [&] {
      benchmark::DoNotOptimize(EncodeJobFile(content));
      benchmark::DoNotOptimize(EncodeRowFile(*content.dispenseLines));
    });
    write = BestMillis(runs, [&] {
      PlainWriteSyncRename(dir / "raw.smt", smtBytes);
      PlainWriteSyncRename(dir / "raw.dis", disBytes);
    });
    save = BestMillis(runs, [&] { WriteJobFiles(job, content, 0); });
  }
  state.counters["open_ms"] = open;
  state.counters["read_ms"] = read;
  state.counters["open_ratio"] = open / read;
  state.counters["save_ms"] = save;
  state.counters["write_sync_rename_ms"] = write;
  state.counters["save_ratio"] = save / write;
  state.SetLabel(std::to_string(scale) + "x");
  std::printf("job files at %dx (%zu + %zu bytes): open with the model %.2f ms against a plain read %.2f ms, "
              "ratio %.2f (goal <= 5); save %.2f ms against write + fsync + rename %.2f ms, ratio %.2f (goal <= 2)\n",
              scale, smtBytes.size(), disBytes.size(), open, read, open / read, save, write, save / write);
  std::printf("  of which: read and parse %.2f ms, parsing alone %.2f ms, looking for an interrupted save %.2f ms, "
              "encoding %.2f ms\n",
              readParse, parse, finish, encode);
  fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_JobFilesAgainstRawFileAccess)->Arg(1)->Arg(4)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

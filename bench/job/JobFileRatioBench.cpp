// Job files against raw file access of the same bytes, measured in the same
// run under the program's memory setting, at 1x, 4x and 16x a job of 20
// boards of 2,000 parts (the demo-sized job, with 2,000 dispensing rows),
// and jobs of one board of 2,000, 20,000 and 100,000 parts (with the same
// dispensing rows): the program's read of the files, read and parse into
// the board records, and opening as the operator waits for it (read, parse
// and the job model with its shown list) against a plain open() + fstat() +
// read() of each file into a block of its size of the same kind the program
// reads into (a large one a mapping of its own, see LargeBlock.h); saving
// as File Save does it (the model formatted, each file written and synced,
// put in place together through the journal) against a plain write() +
// fsync() + rename() of the same bytes from memory written before. Each
// figure is the best of several runs; three rounds, interleaved, give the
// ratios' min / median / max. The program's results are checked: the
// boards and rows opened, the bytes saved.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/TimingRounds.h"
#include "job/JobFile.h"
#include "job/JobModel.h"
#include "platform/FileIo.h"
#include "platform/MemoryPolicy.h"

using namespace smt::job;
namespace fs = std::filesystem;

namespace {

// Placements along a diagonal; at 100,000 rows the coordinates wrap at the
// board's 10,000 mm (the rows below that keep the values they always had).
JobFileContent BigContent(int boards, int rows) {
  JobModel job;
  for (int b = 0; b < boards; ++b) {
    PcbRecord rec;
    rec.m_strName = "板-" + std::to_string(b);
    rec.m_nRows = 2;
    rec.m_nCols = 3;
    rec.m_PanelGrid = FullPanelGrid(2, 3);
    for (int i = 0; i < rows; ++i)
      rec.m_Parts.push_back(PlacementFromStoredCells({std::to_string(i + 1), FormatG(std::fmod(i * 0.37, 10000.0)), FormatG(std::fmod(i * 0.21, 10000.0)), "90", "R" + std::to_string(i),
                             "电阻", "0603", "1/Yes", "10k", "W3", "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""}));
    job.pcbs.m_Records.push_back(std::move(rec));
  }
  job.pcbs.m_strCurPcbName = "板-0";
  job.ShowRecord(0);
  for (int i = 0; i < 2000; ++i)
    job.dispenseRows.push_back(DispenseRowFromText(std::to_string(i) + "\t1.5\t2\t-3\tYes\t0\t0\t10\t20\t30\t胶\t\t\t\t\t"));
  return job.ToContent(0);
}

using smt::bench::BestMillis;
using smt::bench::MinMedMax;
using smt::bench::RoundsText;
using smt::bench::Spread;

// The baselines: what reading and writing the bytes costs at the least.
// A plain read of the file into a block of its size of the same kind the
// program reads into (fresh, as each open's is).
void PlainRead(const fs::path& p) {
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  ::fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  smt::platform::ByteBlock buffer = smt::platform::NewByteBlock(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer.get() + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  benchmark::DoNotOptimize(buffer.get());
}

// The same read into a buffer that was written before (no fresh page to
// fault in): the copy from the page cache alone.
void ReadIntoTouched(const fs::path& p, std::vector<uint8_t>& buffer) {
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  ::fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  if (buffer.size() < size) buffer.resize(size, 1);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer.data() + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  benchmark::DoNotOptimize(buffer.data());
}

// A plain write() of the bytes (repeated only if the kernel takes fewer at
// once), fsync() and rename() over the old file: nothing else.
void PlainWriteSyncRename(const fs::path& p, const std::vector<uint8_t>& bytes) {
  const fs::path tmp = p.string() + ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) std::perror("open");
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      std::perror("write");
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) std::perror("fsync");
  ::close(fd);
  if (::rename(tmp.c_str(), p.c_str()) != 0) std::perror("rename");
}

// range(0) boards of range(1) placement rows.
void BM_JobFilesAgainstRawFileAccess(benchmark::State& state) {
  const int boards = static_cast<int>(state.range(0));
  const int rowsPerBoard = static_cast<int>(state.range(1));
  const std::string shape = std::to_string(boards) + " boards x " + std::to_string(rowsPerBoard) + " rows";
  // The program's allocator as main() sets it: every block of 128 KiB or
  // more is a mapping of its own, fresh memory each time. Without it what a
  // plain read() reads into depends on what the benchmark freed before (the
  // content built above leaves a heap large enough for 6 and 25 MB, not for
  // 100 MB), and so does every figure.
  smt::platform::KeepLargeBlocksReturnable();
  const fs::path dir = fs::temp_directory_path() / ("smt_job_ratio_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path job = dir / "big.smt";
  const fs::path dis = SideFilePath(job, ".dis");
  const JobFileContent content = BigContent(boards, rowsPerBoard);
  const auto smtBytes = EncodeJobFile(content);
  const auto disBytes = EncodeRowFile(*content.dispenseLines);
  WriteJobFiles(job, content, 0);
  const JobFileNames names = JobFileNames::Of(job);
  JobModel saved;  // the job as the operator saves it: opened from the files
  {
    OpenedJobFiles o = OpenJobFiles(job, 0, names);
    saved.ApplyTable(std::move(o.table), o.sides, 0, names);
  }
  {
    // The baseline writes exactly what the save writes.
    const JobFileBytes same = saved.EncodeFiles(0);
    if (!std::ranges::equal(same.job.bytes(), smtBytes) || !same.dispense ||
        !std::ranges::equal(same.dispense->bytes(), disBytes))
      std::printf("  WARNING: the save writes other bytes than the baseline\n");
  }
  const size_t totalRows = static_cast<size_t>(boards) * static_cast<size_t>(rowsPerBoard);
  const int runs = totalRows >= 600000 ? 3 : 7;
  std::vector<uint8_t> touchedJob, touchedDis;
  double baseRead = 0, copyRead = 0, read = 0, parse = 0, open = 0, showCopy = 0, baseWrite = 0, save = 0, encode = 0;
  std::vector<double> openRatios, parseRatios, saveRatios, openMs, saveMs;
  bool resultsRight = true;
  for (auto _ : state) for (int round = 0; round < 3; ++round) {
    // Interleaved, best of several each: every figure sees the same machine.
    baseRead = BestMillis(runs, [&] {
      PlainRead(job);
      PlainRead(dis);
    });
    copyRead = BestMillis(runs, [&] {
      ReadIntoTouched(job, touchedJob);
      ReadIntoTouched(dis, touchedDis);
    });
    // The program's read of the two files (one buffer of each file's size).
    read = BestMillis(runs, [&] {
      benchmark::DoNotOptimize(smt::platform::ReadFileBuffer(job).size());
      benchmark::DoNotOptimize(smt::platform::ReadFileBuffer(dis).size());
    });
    // Read and parsed into the board records, the side file into its lines.
    OpenedJobFiles parsed;
    parse = BestMillis(
        runs, [&] { parsed = OpenedJobFiles{}; },
        [&] {
          parsed = OpenJobFiles(job, 0, names);
          benchmark::DoNotOptimize(parsed.table.Count());
        });
    // What File Open does: read, parse and the job model with the shown list.
    // (The job open before is emptied untimed: a program just started.)
    JobModel model;
    open = BestMillis(
        runs, [&] { model.Clear(); },
        [&] {
          OpenedJobFiles o = OpenJobFiles(job, 0, names);
          model.ApplyTable(std::move(o.table), o.sides, 0, names);
          benchmark::DoNotOptimize(model.placementRows.data());
        });
    // The shown board's records copied as they are: what showing the board
    // costs when the list holds records of today's size instead of rows of
    // cell texts (the shown rows are 16 strings in a vector of their own
    // each, in small pages of the heap).
    PlacementList shownCopy;
    showCopy = BestMillis(
        runs, [&] { PlacementList().swap(shownCopy); },
        [&] {
          shownCopy = model.pcbs.m_Records[0].m_Parts;
          benchmark::DoNotOptimize(shownCopy.data());
        });
    encode = BestMillis(runs, [&] { benchmark::DoNotOptimize(saved.EncodeFiles(0).job.size()); });
    baseWrite = BestMillis(runs, [&] {
      PlainWriteSyncRename(dir / "raw.smt", smtBytes);
      PlainWriteSyncRename(dir / "raw.dis", disBytes);
    });
    // What File Save does: the model formatted into the files' bytes (the
    // job file written while it is formatted), each synced, and both put in
    // place through the journal. (The same bytes as the baseline's.)
    save = BestMillis(runs, [&] { benchmark::DoNotOptimize(saved.SaveFiles(job, 0).job.size()); });
    // The program's results: every board and row opened, the bytes saved.
    size_t openedRows = 0;
    for (const auto& r : model.pcbs.m_Records) openedRows += r.m_Parts.size();
    const bool opened = model.pcbs.Count() == boards && openedRows == totalRows &&
                        model.placementRows.size() == static_cast<size_t>(rowsPerBoard) &&
                        model.dispenseRows.size() == 2000;
    const bool savedSame = smt::platform::ReadWholeFile(job) == smtBytes && smt::platform::ReadWholeFile(dis) == disBytes;
    if (!opened || !savedSame) {
      resultsRight = false;
      std::printf("  WRONG RESULT: opened %d boards, %zu rows (expected %d, %zu); saved bytes %s\n",
                  model.pcbs.Count(), openedRows, boards, totalRows, savedSame ? "the same" : "DIFFERENT");
    }
    openRatios.push_back(open / baseRead);
    parseRatios.push_back(parse / baseRead);
    saveRatios.push_back(save / baseWrite);
    openMs.push_back(open);
    saveMs.push_back(save);
  }
  state.counters["read_ms"] = read;
  state.counters["parse_ms"] = parse;
  state.counters["open_ms"] = open;
  state.counters["plain_read_ms"] = baseRead;
  state.counters["copy_read_ms"] = copyRead;
  state.counters["open_ratio"] = open / baseRead;
  state.counters["save_ms"] = save;
  state.counters["write_sync_rename_ms"] = baseWrite;
  state.counters["save_ratio"] = save / baseWrite;
  state.SetLabel(shape);
  const MinMedMax o = Spread(openRatios), pr = Spread(parseRatios), sv = Spread(saveRatios);
  state.counters["open_ratio_median"] = o.median;
  state.counters["save_ratio_median"] = sv.median;
  const size_t rounds = openRatios.size();
  std::printf("job files of %s (%zu + %zu bytes), best of %d runs per round, last of %zu rounds:\n", shape.c_str(),
              smtBytes.size(), disBytes.size(), runs, rounds);
  std::printf("  open baseline %.2f ms: open() + fstat() + read() of the job file and the dispensing file, each into "
              "a fresh block of its size of the kind the program reads into (platform::NewByteBlock)\n",
              baseRead);
  std::printf("  (the same reads into memory touched before, the copy alone: %.2f ms; open is %.1f times that)\n",
              copyRead, open / copyRead);
  std::printf("  read   %8.2f ms  ratio %6.2f  (the program's read of the two files)\n", read, read / baseRead);
  std::printf("  parse  %8.2f ms  ratio %6.2f  (read and parsed into the board records)\n", parse, parse / baseRead);
  std::printf("  open   %8.2f ms  ratio %6.2f  (read, parse, the job model and its shown lists; goal <= 5)\n", open,
              open / baseRead);
  std::printf("  show   %8.2f ms  ratio %6.2f  (open less parse: the shown rows built and the side file's rows)\n",
              open - parse, (open - parse) / baseRead);
  std::printf("  (the shown board's %zu records of %zu bytes copied as they are: %.2f ms)\n",
              static_cast<size_t>(rowsPerBoard), sizeof(PlacementRecord), showCopy);
  std::printf("  save baseline %.2f ms: write() of the same bytes from memory filled before, fsync() and rename() "
              "over the old file, for each of the two files\n",
              baseWrite);
  std::printf("  save   %8.2f ms  ratio %6.2f  (File Save: shown rows stored, formatted, written, synced, put in "
              "place; of which formatting %.2f ms; goal <= 2)\n",
              save, save / baseWrite, encode);
  std::printf("  results: %s\n", resultsRight ? "every board and row opened, the saved bytes the same" : "WRONG RESULT");
  std::printf("  %s: open/read %s, parse/read %s, save/write+fsync+rename %s%s\n", shape.c_str(),
              RoundsText(o, rounds, 5).c_str(), RoundsText(pr, rounds).c_str(), RoundsText(sv, rounds, 2).c_str(),
              resultsRight ? "" : "  <-- WRONG RESULT");
  fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_JobFilesAgainstRawFileAccess)
    ->Args({20, 2000})
    ->Args({80, 2000})
    ->Args({320, 2000})
    ->Args({1, 2000})
    ->Args({1, 20000})
    ->Args({1, 100000})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

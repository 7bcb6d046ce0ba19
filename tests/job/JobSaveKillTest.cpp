// A job's files change together: a saving process killed at any moment
// leaves a job that opens as the old pair (.smt + .dis) or the new pair,
// never a mix; what an interrupted save left behind goes at the next open.
#include <gtest/gtest.h>

#include "platform/FileCell.h"
#include "job/JobFileError.h"
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>

#include "job/JobFile.h"
#include "job/JobFileError.h"
#include "job/JobModel.h"
#include "platform/ContentChecksum.h"
#include "platform/FileCell.h"
#include "platform/FileIo.h"
#include "support/SaveKiller.h"
#include "support/TempDir.h"

using namespace smt::job;
namespace fs = std::filesystem;

namespace {

// Every row names its generation: a mix shows as two different generations.
JobFileContent Generation(int gen, int rows) {
  JobFileContent c;
  c.curPcbName = "gen " + std::to_string(gen);
  c.pcbCount = 1;
  c.dispenseLines.emplace();
  for (int i = 0; i < rows; ++i) {
    c.pcbLines.push_back("gen " + std::to_string(gen) + "\tboard row " + std::to_string(i) + "\t12.5\t-3.25\t");
    c.dispenseLines->push_back("gen " + std::to_string(gen) + "\tdot " + std::to_string(i) + "\t1.0\t2.0\t");
  }
  return c;
}

// The generation of the pair on disk, -1 for a mix.
int GenerationOnDisk(const fs::path& job) {
  const JobFileContent c = ReadJobFiles(job, 0);
  const int gen = std::stoi(c.curPcbName.substr(4));
  const std::string tag = "gen " + std::to_string(gen) + "\t";
  if (!c.dispenseLines) return -1;
  for (const auto& l : c.pcbLines)
    if (l.rfind(tag, 0) != 0) return -1;
  for (const auto& l : *c.dispenseLines)
    if (l.rfind(tag, 0) != 0) return -1;
  return gen;
}

}  // namespace

TEST(JobSaveKill, AKilledSaveLeavesTheOldPairOrTheNewOneNeverAMix) {
  smt::test::TempDir dir;
  const fs::path job = dir / "board.smt";
  constexpr int kRows = 3000;
  WriteJobFiles(job, Generation(0, kRows), 0);
  // How long one save takes here: the kills fall before, in and after it.
  smt::test::SaveKiller killer([&] { WriteJobFiles(job, Generation(1, kRows), 0); }, 14);
  const auto save = [&](int g) { WriteJobFiles(job, Generation(g, kRows), 0); };
  int gen = GenerationOnDisk(job);
  ASSERT_EQ(gen, 1);
  int newSeen = 0, oldSeen = 0;
  for (int kill = 0; kill < 120; ++kill) {
    ASSERT_TRUE(killer.KillWhileSaving(save, gen + 1)) << "the saving child failed at kill " << kill;
    const int now = GenerationOnDisk(job);
    ASSERT_NE(now, -1) << "a mix of two saves after kill " << kill;
    ASSERT_GE(now, gen) << "an older pair came back after kill " << kill;
    killer.Left(now == gen);
    (now == gen ? oldSeen : newSeen)++;
    gen = now;
    // Nothing of the interrupted save stays behind.
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "board.smt" || name == "board.dis") << name << " left after kill " << kill;
    }
  }
  // Kills fell both before and after saves were committed.
  EXPECT_GT(newSeen, 0);
  EXPECT_GT(oldSeen, 0);
}

TEST(JobSaveKill, ACommittedSaveIsCompletedAtTheNextOpenAndAnUncommittedOneUndone) {
  smt::test::TempDir dir;
  const fs::path job = dir / "board.smt";
  WriteJobFiles(job, Generation(1, 5), 0);
  const auto newSmt = EncodeJobFile(Generation(2, 5));
  const auto newDis = EncodeRowFile(*Generation(2, 5).dispenseLines);

  // Killed after the journal was written, before the renames: rolled forward.
  const std::string journal2 =
      "SMT job save journal 1\nput\tboard.smt\tboard.smt.tmp999999990\nput\tboard.dis\tboard.dis.tmp999999990\nend\n";
  smt::platform::WriteFileAtomically(dir / "board.smt.tmp999999990", newSmt);
  smt::platform::WriteFileAtomically(dir / "board.dis.tmp999999990", newDis);
  dir.Write("board.smt.journal", journal2);
  EXPECT_EQ(GenerationOnDisk(job), 2);
  EXPECT_FALSE(fs::exists(dir / "board.smt.journal"));
  EXPECT_FALSE(fs::exists(dir / "board.dis.tmp999999990"));

  // Killed after one rename of the journal was done: the rest follows.
  smt::platform::WriteFileAtomically(dir / "board.dis.tmp999999990", EncodeRowFile(*Generation(3, 5).dispenseLines));
  smt::platform::WriteFileAtomically(job, EncodeJobFile(Generation(3, 5)));
  dir.Write("board.smt.journal", journal2);
  EXPECT_EQ(GenerationOnDisk(job), 3);

  // Killed before the journal: the temporaries go, the old pair stays; a
  // journal that is not whole was never committed.
  smt::platform::WriteFileAtomically(dir / "board.smt.tmp999999991", EncodeJobFile(Generation(4, 5)));
  dir.Write("board.smt.journal", "SMT job save journal 1\nput\tboard.smt\tboard.smt.tmp999999991\n");
  EXPECT_EQ(GenerationOnDisk(job), 3);
  EXPECT_FALSE(fs::exists(dir / "board.smt.tmp999999991"));
  EXPECT_FALSE(fs::exists(dir / "board.smt.journal"));
}

// A journal that names each file's size and checksum is followed only when
// every file it puts is on the disk as the save wrote it (its temporary, or
// the target once renamed); otherwise the save never happened: the old pair
// stays and what the save left goes.
TEST(JobSaveKill, AJournalIsFollowedOnlyWhenItsFilesReachedTheDiskAsWritten) {
  const auto newSmt = EncodeJobFile(Generation(2, 5));
  const auto newDis = EncodeRowFile(*Generation(2, 5).dispenseLines);
  auto entry = [](const std::string& name, const std::vector<uint8_t>& bytes) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(smt::platform::ContentChecksum::Of(bytes)));
    return "put\t" + name + "\t" + name + ".tmp999999990\t" + std::to_string(bytes.size()) + "\t" + hex + "\n";
  };
  const std::string whole = "SMT job save journal 2\n" + entry("board.smt", newSmt) + entry("board.dis", newDis) + "end\n";
  std::vector<uint8_t> shortDis(newDis.begin(), newDis.end() - 1);
  std::vector<uint8_t> zeroDis(newDis.size(), 0);
  std::string badNumber = whole;
  badNumber.replace(badNumber.rfind('\t') + 1, 1, "x");
  struct Case {
    const char* what;
    std::string journal;
    std::optional<std::vector<uint8_t>> smtTemp, disTemp, smtTarget, disTarget;
    int expected;
  };
  const std::vector<Case> cases = {
      {"both temporaries as written", whole, newSmt, newDis, {}, {}, 2},
      {"the job file already put in place", whole, {}, newDis, newSmt, {}, 2},
      {"both files already put in place", whole, {}, {}, newSmt, newDis, 2},
      {"the side file's temporary cut short", whole, newSmt, shortDis, {}, {}, 1},
      {"the side file's blocks never written", whole, newSmt, zeroDis, {}, {}, 1},
      {"the side file's temporary missing", whole, newSmt, {}, {}, {}, 1},
      {"a checksum that is no number", badNumber, newSmt, newDis, {}, {}, 1},
      {"the journal cut short", whole.substr(0, whole.size() - 4), newSmt, newDis, {}, {}, 1},
  };
  for (const auto& c : cases) {
    smt::test::TempDir dir;
    const fs::path job = dir / "board.smt";
    WriteJobFiles(job, Generation(1, 5), 0);
    if (c.smtTemp) smt::platform::WriteFileAtomically(dir / "board.smt.tmp999999990", *c.smtTemp);
    if (c.disTemp) smt::platform::WriteFileAtomically(dir / "board.dis.tmp999999990", *c.disTemp);
    if (c.smtTarget) smt::platform::WriteFileAtomically(job, *c.smtTarget);
    if (c.disTarget) smt::platform::WriteFileAtomically(dir / "board.dis", *c.disTarget);
    dir.Write("board.smt.journal", c.journal);
    EXPECT_EQ(GenerationOnDisk(job), c.expected) << c.what;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "board.smt" || name == "board.dis") << name << " left: " << c.what;
    }
  }
}

TEST(JobSaveKill, StaleTemporariesOfInterruptedSavesAreRemovedAtTheNextOpenOrSave) {
  smt::test::TempDir dir;
  const fs::path job = dir / "board.smt";
  WriteJobFiles(job, Generation(1, 5), 0);
  // Temporaries of a process that no longer runs (pid beyond any pid), and one of a running process.
  dir.Write("board.smt.tmp999999999", std::string(1000, 'x'));
  dir.Write("board.dis.tmp999999998", std::string(1000, 'x'));
  const std::string running = "board.dis.tmp" + std::to_string(::getppid());
  dir.Write(running, "x");
  EXPECT_EQ(GenerationOnDisk(job), 1);
  EXPECT_FALSE(fs::exists(dir / "board.smt.tmp999999999"));
  EXPECT_FALSE(fs::exists(dir / "board.dis.tmp999999998"));
  EXPECT_TRUE(fs::exists(dir / running));
  // At a save too.
  dir.Write("board.smt.tmp999999997", "x");
  WriteJobFiles(job, Generation(2, 5), 0);
  EXPECT_FALSE(fs::exists(dir / "board.smt.tmp999999997"));
}

// The job file is written as it is formatted, on a thread of its own: a
// write refused anywhere in it (here the file size limit, as a full disk
// would) refuses the save, and the pair saved before stays as it was with
// nothing of the failed save left beside it.
TEST(JobSaveKill, ASaveWhoseJobFileCannotBeWrittenWholeLeavesTheOldPair) {
  auto model = [](int gen) {
    JobModel job;
    for (int b = 0; b < 4; ++b) {
      PcbRecord rec;
      rec.m_strName = "gen " + std::to_string(gen) + " board " + std::to_string(b);
      rec.m_nRows = 1;
      rec.m_nCols = 1;
      rec.m_PanelGrid = FullPanelGrid(1, 1);
      for (int i = 0; i < 5000; ++i)
        rec.m_Parts.push_back(PlacementFromStoredCells({std::to_string(i + 1), FormatG(i * 0.37), FormatG(i * 0.21), "90",
                                                        "R" + std::to_string(i), "电阻", "0603", "1/Yes", "10k", "W3",
                                                        "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""}));
      job.pcbs.m_Records.push_back(std::move(rec));
    }
    job.pcbs.m_strCurPcbName = "gen " + std::to_string(gen) + " board 0";
    job.ShowRecord(0);
    for (int i = 0; i < 100; ++i)
      job.dispenseRows.push_back(DispenseRowFromText(std::to_string(i) + "\t1.5\t2\t-3\tYes\t0\t0\t10\t20\t30\tgen " +
                                                     std::to_string(gen) + "\t\t\t\t\t"));
    return job;
  };
  JobModel next = model(2);
  const size_t newSize = next.EncodeFiles(0).job.size();
  ASSERT_GT(newSize, size_t{3} << 20);  // several pieces
  struct Case {
    const char* where;
    rlim_t limit;
  };
  const Case cases[] = {{"in the first piece", 64 << 10},
                        {"in a piece in the middle", (size_t{3} << 20) / 2},
                        {"in the last piece", newSize - 1}};
  for (const Case& c : cases) {
    smt::test::TempDir dir;
    const fs::path job = dir / "board.smt";
    JobModel old = model(1);
    const JobFileBytes saved = old.SaveFiles(job, 0);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limited = before;
    limited.rlim_cur = std::min(before.rlim_max, c.limit);
    const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool refused = false;
    try {
      next.SaveFiles(job, 0);
    } catch (const JobFileError&) {
      refused = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, oldSignal);
    EXPECT_TRUE(refused) << c.where;
    EXPECT_EQ(smt::platform::ReadWholeFile(job), std::vector<uint8_t>(saved.job.bytes().begin(), saved.job.bytes().end()))
        << c.where;
    ASSERT_TRUE(saved.dispense) << c.where;
    EXPECT_EQ(smt::platform::ReadWholeFile(dir / "board.dis"),
              std::vector<uint8_t>(saved.dispense->bytes().begin(), saved.dispense->bytes().end()))
        << c.where;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "board.smt" || name == "board.dis") << name << " left: " << c.where;
    }
    // The next save goes through.
    const JobFileBytes again = next.SaveFiles(job, 0);
    EXPECT_EQ(smt::platform::ReadWholeFile(job), std::vector<uint8_t>(again.job.bytes().begin(), again.job.bytes().end()))
        << c.where;
  }
}

// A save keeps each file it replaces or removes open across the rename and
// lets go of it on the model's own thread (so the operator does not wait
// while the kernel frees it). Through saves of a pair, of the job file with
// its side file removed, of the job file alone and of a pair again, the
// files on the disk are each save's bytes; once the model is gone, the
// process holds no descriptor more than before and none to a replaced file.
TEST(JobSaveFiles, ReplacedFilesAreLetGoOfOnceTheModelEnds) {
  smt::test::TempDir dir;
  const fs::path job = dir / "board.smt";
  auto descriptors = [] {
    std::vector<std::string> targets;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      targets.push_back(fs::read_symlink(e.path(), ec).string());
    }
    return targets;
  };
  auto bytesOf = [](const FileBytes& f) { return std::vector<uint8_t>(f.bytes().begin(), f.bytes().end()); };
  const size_t before = descriptors().size();
  {
    JobModel model;
    PcbRecord rec;
    rec.m_strName = "B";
    rec.m_nRows = 1;
    rec.m_nCols = 1;
    rec.m_PanelGrid = FullPanelGrid(1, 1);
    for (int i = 0; i < 2000; ++i)
      rec.m_Parts.push_back(PlacementFromStoredCells({std::to_string(i + 1), "1.5", "2.5", "90", "R" + std::to_string(i),
                                                      "t", "0603", "1/Yes", "10k", "W3", "0/No", "10k", "1", "", "", ""}));
    model.pcbs.m_Records.push_back(std::move(rec));
    model.pcbs.m_strCurPcbName = "B";
    model.ShowRecord(0);
    const bool withDots[] = {true, true, false, false, true};
    for (size_t save = 0; save < std::size(withDots); ++save) {
      model.dispenseRows.clear();
      if (withDots[save])
        for (int i = 0; i < 50; ++i)
          model.dispenseRows.push_back(DispenseRowFromText(std::to_string(i) + "\t1.5\t2\t-3\tYes\t0\t0\t10\t20\t30\tsave " +
                                                           std::to_string(save) + "\t\t\t\t\t"));
      model.pcbs.m_Records[0].m_Parts[0].name = "save " + std::to_string(save);
      const JobFileBytes saved = model.SaveFiles(job, 0);
      const std::string what = "save " + std::to_string(save);
      EXPECT_EQ(smt::platform::ReadWholeFile(job), bytesOf(saved.job)) << what;
      ASSERT_EQ(saved.dispense.has_value(), withDots[save]) << what;
      if (withDots[save])
        EXPECT_EQ(smt::platform::ReadWholeFile(dir / "board.dis"), bytesOf(*saved.dispense)) << what;
      else
        EXPECT_FALSE(fs::exists(dir / "board.dis")) << what;
    }
  }
  const std::vector<std::string> after = descriptors();
  EXPECT_EQ(after.size(), before);
  for (const auto& t : after) EXPECT_EQ(t.find(dir.path().string()), std::string::npos) << t << " still open";
}

// A board value of 1e60 is written whole (it was cut to the first 63
// characters of its "%0.4f" text); no board is that large, so opening such a
// file refuses it with the field named.
TEST(JobNumbers, LargeBoardValuesAreWrittenWholeAndRefusedOnOpen) {
  JobModel job;
  PcbRecord rec;
  rec.m_strName = "B";
  rec.m_dOriginX = 1e60;
  rec.m_dRowSpace = -3.5e70;
  job.pcbs.m_Records.push_back(rec);
  job.pcbs.m_strCurPcbName = "B";
  const JobFileContent first = job.ToContent(0);
  // Written whole, never cut to fewer digits.
  ASSERT_FALSE(first.pcbLines.empty());
  std::vector<std::string_view> cells;
  smt::platform::SplitTabCellViews(first.pcbLines[0], cells);
  ASSERT_GT(cells.size(), 7u);
  EXPECT_EQ(std::stod(std::string(cells[7])), 1e60);
  EXPECT_EQ(std::stod(std::string(cells[4])), -3.5e70);
  // No board is that large: the open names the field instead of loading it.
  JobModel back;
  try {
    back.ApplyContent(first, 0);
    ADD_FAILURE() << "an origin of 1e60 mm was taken";
  } catch (const JobCellError& e) {
    EXPECT_EQ(e.line(), 1);
    EXPECT_EQ(e.field(), "row pitch");
  }
  EXPECT_TRUE(back.pcbs.m_Records.empty());
}

#include <gtest/gtest.h>

#include <thread>

#include "core/LogFile.h"
#include "support/TempDir.h"

using smt::test::TempDir;

TEST(LogFile, WritesOnlyWhileEnabledAndKeepsEarlierRunsOfTheDay) {
  TempDir dir;
  {
    CLogFile log(dir.path(), "2026-12-09");
    log.Write(true, "off %d", 1);
    log.m_bEnable = true;
    log.Write(true, "first run %s", "line");
    log.Write(false, "no newline ");
    log.Write(true, "continued");
  }
  {
    CLogFile log(dir.path(), "2026-12-09");
    log.m_bEnable = true;
    log.Write(true, "second run");
  }
  EXPECT_EQ(dir.Read("Logfile 2026-12-09.txt"), "first run line\nno newline continued\nsecond run\n");
}

TEST(LogFile, LoggingOffAtExitRemovesOnlyAnEmptyFile) {
  TempDir dir;
  {
    CLogFile log(dir.path(), "2026-01-02");
    EXPECT_TRUE(std::filesystem::exists(dir / "Logfile 2026-01-02.txt"));
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "Logfile 2026-01-02.txt"));

  {
    CLogFile log(dir.path(), "2026-01-03");
    log.m_bEnable = true;
    log.Write(true, "kept");
    log.m_bEnable = false;  // switched off later in the run
  }
  EXPECT_EQ(dir.Read("Logfile 2026-01-03.txt"), "kept\n");
}

TEST(LogFile, LongLinesAreNotCutAndThreadsNeverInterleave) {
  TempDir dir;
  std::string longText(5000, 'L');
  {
    CLogFile log(dir.path(), "2026-03-04");
    log.m_bEnable = true;
    log.Write(true, "%s", longText.c_str());
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
      writers.emplace_back([&log, t] {
        for (int i = 0; i < 200; ++i) log.Write(true, "thread %d line %03d %s", t, i, "abcdefghijklmnopqrstuvwxyz");
      });
    }
    for (auto& w : writers) w.join();
  }
  std::string text = dir.Read("Logfile 2026-03-04.txt");
  ASSERT_EQ(text.substr(0, 5001), longText + "\n");
  size_t pos = 5001;
  int lines = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    ASSERT_NE(nl, std::string::npos);
    std::string line = text.substr(pos, nl - pos);
    EXPECT_EQ(line.size(), std::string("thread 0 line 000 abcdefghijklmnopqrstuvwxyz").size()) << line;
    pos = nl + 1;
    ++lines;
  }
  EXPECT_EQ(lines, 800);
}

TEST(LogFile, FileNameCarriesTheDate) {
  EXPECT_EQ(CLogFile::LogFileName("2026-12-09"), "Logfile 2026-12-09.txt");
  EXPECT_EQ(CLogFile::Today().size(), 10u);
}

// The application moves the log to its program directory: later lines go
// there, earlier ones stay where they were, an empty first file is not kept.
TEST(LogFile, MovingToTheProgramDirectorySendsLaterLinesThere) {
  TempDir first, second, third;
  CLogFile log(first.path(), "2026-12-10");
  log.m_bEnable = true;
  log.Write(true, "before");
  log.SetDirectory(second.path());
  log.Write(true, "after");
  EXPECT_EQ(first.Read("Logfile 2026-12-10.txt"), "before\n");
  EXPECT_EQ(second.Read("Logfile 2026-12-10.txt"), "after\n");
  EXPECT_EQ(log.FilePath(), second / "Logfile 2026-12-10.txt");
  log.m_bEnable = false;
  log.SetDirectory(third.path());  // nothing was written to the second since: it keeps its line
  EXPECT_EQ(second.Read("Logfile 2026-12-10.txt"), "after\n");
}

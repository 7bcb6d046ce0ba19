// What a placement run did, counted from the row states it shows: the
// counts behind the progress bar and the window's end line.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "job/RunTally.h"

using namespace smt::job;

namespace {

// The job's shipped language texts.
const std::string kShippedTexts = std::string(SMT_SOURCE_DIR) + "/resources/lang/job";

// One step the run shows: a row's image, the end of a board cell (the list
// reset), or the run's end.
struct Step {
  enum Kind { Row, CellDone, End } kind;
  int row = 0;
  int image = 0;
  bool finished = false;
};
Step R(int row, int image) { return {Step::Row, row, image, false}; }
Step Cell() { return {Step::CellDone}; }
Step EndRun(bool finished) { return {Step::End, 0, 0, finished}; }

struct TallyCase {
  const char* name;
  int toPlace, skipped;
  std::vector<Step> steps;
  int wantToPlace, wantPlaced, wantFailed, wantSkipped;
  bool complete;
  const char* english;
};

std::ostream& operator<<(std::ostream& os, const TallyCase& c) { return os << c.name; }

class RunTallyCases : public ::testing::TestWithParam<TallyCase> {};

TEST_P(RunTallyCases, CountsWhatTheRunShowed) {
  const TallyCase& c = GetParam();
  RunTally t;
  t.Start(c.toPlace, c.skipped);
  for (const Step& s : c.steps) {
    if (s.kind == Step::Row) t.Row(s.row, s.image);
    else if (s.kind == Step::CellDone) t.CellDone();
    else t.End(s.finished);
  }
  const RunCounts n = t.Counts();
  EXPECT_EQ(n.toPlace, c.wantToPlace);
  EXPECT_EQ(n.placed, c.wantPlaced);
  EXPECT_EQ(n.failed, c.wantFailed);
  EXPECT_EQ(n.skipped, c.wantSkipped);
  EXPECT_EQ(n.Complete(), c.complete);
  EXPECT_EQ(RunEndText(n, RunEndWords::Load(kShippedTexts, "English")), c.english);
}

constexpr int P = kRowImagePlaced, F = kRowImageFailed;

INSTANTIATE_TEST_SUITE_P(
    Runs, RunTallyCases,
    ::testing::Values(
        // Four rows placed; the run resets the list at the cell's end.
        TallyCase{"AllPlaced", 4, 0, {R(0, 5), R(0, P), R(1, P), R(2, P), R(3, P), Cell(), EndRun(true)},
                  4, 4, 0, 0, true, "Run finished: placed 4 of 4"},
        // A row that failed and was placed on the retry counts once, as placed.
        TallyCase{"RetriedRowCountsOnce", 2, 0, {R(0, F), R(0, P), R(1, P), Cell(), EndRun(true)},
                  2, 2, 0, 0, true, "Run finished: placed 2 of 2"},
        // A run that ends by itself with a row failed never reads complete.
        TallyCase{"FinishedWithAFailure", 4, 1, {R(0, P), R(1, F), R(2, P), R(3, P), Cell(), EndRun(true)},
                  4, 3, 1, 1, false, "Run finished: placed 3 of 4, 1 failed, 1 skipped - incomplete"},
        // Rows the run never reached: finished, yet fewer placed than it should.
        TallyCase{"FinishedShort", 4, 0, {R(0, P), R(1, P), Cell(), EndRun(true)},
                  4, 2, 0, 0, false, "Run finished: placed 2 of 4 - incomplete"},
        // Stopped in the middle: the cell in work counts, no reset came.
        TallyCase{"Stopped", 4, 0, {R(0, P), R(1, P), EndRun(false)},
                  4, 2, 0, 0, false, "Run stopped: placed 2 of 4"},
        // A panel of two cells: each cell's rows count again.
        TallyCase{"TwoCells", 2, 0, {R(0, P), R(1, P), Cell(), R(0, P), R(1, P), Cell(), EndRun(true)},
                  4, 4, 0, 0, true, "Run finished: placed 4 of 4"},
        // A reset before the first part (the run clears the list) is no cell.
        TallyCase{"ResetBeforeTheFirstPart", 3, 0, {Cell(), R(0, P), R(1, P), R(2, P), Cell(), EndRun(true)},
                  3, 3, 0, 0, true, "Run finished: placed 3 of 3"},
        // Nothing placed at all.
        TallyCase{"NothingPlaced", 4, 0, {R(0, F), R(1, F), R(2, F), R(3, F), Cell(), EndRun(true)},
                  4, 0, 4, 0, false, "Run finished: placed 0 of 4, 4 failed - incomplete"}),
    [](const auto& info) { return std::string(info.param.name); });

// The end line in each language, for a complete and an incomplete run.
TEST(RunEndText, SaysTheCountsInTheOperatorsLanguage) {
  RunCounts all{4, 4, 0, 0, false, true, true};
  RunCounts stopped{4, 1, 1, 2, false, false, true};
  struct Case { const char* language; const char* complete; const char* stopped; };
  for (Case c : {Case{"English", "Run finished: placed 4 of 4", "Run stopped: placed 1 of 4, 1 failed, 2 skipped"},
                 Case{"German", "Lauf beendet: 4 von 4 bestückt",
                      "Lauf abgebrochen: 1 von 4 bestückt, 1 fehlgeschlagen, 2 übersprungen"},
                 Case{"Chinese", "运行结束: 已贴 4 / 4", "运行已停止: 已贴 1 / 4, 失败 1, 跳过 2"}}) {
    const RunEndWords words = RunEndWords::Load(kShippedTexts, c.language);
    EXPECT_EQ(RunEndText(all, words), c.complete);
    EXPECT_EQ(RunEndText(stopped, words), c.stopped);
  }
}

// Nothing is counted outside a run: rows shown before Start, after the end
// or after a reset (File > New) change nothing.
TEST(RunTally, CountsOnlyWhileARunGoes) {
  RunTally t;
  t.Row(0, kRowImagePlaced);
  EXPECT_EQ(t.Counts().placed, 0);
  t.Start(2, 0);
  t.Row(0, kRowImagePlaced);
  t.End(true);
  t.Row(1, kRowImagePlaced);
  EXPECT_EQ(t.Counts().placed, 1);
  EXPECT_TRUE(t.Counts().ended);
  t.Reset();
  EXPECT_FALSE(t.Counts().ended);
  EXPECT_EQ(t.Counts().placed, 0);
}

}  // namespace

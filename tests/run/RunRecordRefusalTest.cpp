// The run works on typed records: a feeder row whose number cells cannot be
// read is refused where the run takes it, naming the feeder and the field,
// and the machine is never sent a move computed from it (a NaN pick X used
// to reach an integer conversion). Judged by the simulated machine's record.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "feeder/FeederTable.h"
#include "job/JobRows.h"
#include "job/WorkRecords.h"
#include "run/RunSimFixture.h"

namespace runtest {
namespace {

using smt::feeder::kCellFeedCount;
using smt::feeder::kCellHead;
using smt::feeder::kCellPickHeight;
using smt::feeder::kCellX;
using smt::feeder::kCellY;

class RunRecordRefusal : public RunSimTest {};

TEST_F(RunRecordRefusal, AFeederWithAnUnreadableNumberIsRefusedNamingItAndNothingIsPickedFromIt) {
  struct Case {
    int cell;
    const char* field;
    const char* text;
  };
  const Case cases[] = {{kCellX, "X", "nan"},           {kCellY, "Y", "inf"},
                        {kCellPickHeight, "pick height", "1e400"}, {kCellFeedCount, "feed count", "ten"},
                        {kCellHead, "head", "1x"},      {kCellX, "X", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " = \"" + c.text + "\"");
    sim->ClearReceived();
    messages.service.Clear();
    // Every part of the job comes from W1.
    rows = {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W1")};
    ASSERT_TRUE(feeders.SetCurrentCell(0, c.cell, c.text));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitEnd());
    EXPECT_FALSE(runFinished);
    EXPECT_EQ(placedCount, 0);
    EXPECT_EQ(Count(0x68), 0);  // nothing placed
    EXPECT_EQ(Count(0x74), 0);  // nothing picked
    const auto texts = messages.service.Texts();
    const bool named = std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
      return t.find("\"W1\"") != std::string::npos && t.find("\"" + std::string(c.field) + "\"") != std::string::npos;
    });
    EXPECT_TRUE(named) << ::testing::PrintToString(texts);
    // Put the feeder right again for the next case.
    ASSERT_TRUE(feeders.SetCurrentCell(0, c.cell, TapeFeeder("W1", 10, -20, "No/Camera 1")[static_cast<size_t>(c.cell)]));
    placedCount = 0;
  }
  // With the feeder as it should be, the same job runs to its end.
  sim->ClearReceived();
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x68), 2);
}

// The lists become records when the run takes them: a bad number in any
// row gives the run nothing and names the list, the row and the field.
TEST(RunListRecords, AListRowWithAnUnreadableNumberGivesTheRunNoRowsAndNamesIt) {
  auto row = [](const std::string& x) {
    smt::job::ListRow r(smt::job::kPlacementCells);
    r.cells = {"1", x, "-5", "90", "R1", "", "0603", "Yes", "", "W1", "No", "", "1", "", "", ""};
    return r;
  };
  std::string refusal;
  auto good = smt::job::PlacementRecordsOf({row("5"), row("8.25")}, refusal);
  EXPECT_EQ(refusal, "");
  ASSERT_EQ(good.size(), 2u);
  EXPECT_DOUBLE_EQ(good[1].x, 8.25);
  EXPECT_TRUE(good[0].place);
  EXPECT_EQ(good[0].feeder, "W1");
  for (const char* bad : {"nan", "inf", "1e400", "five", "5mm", ""}) {
    auto none = smt::job::PlacementRecordsOf({row("5"), row(bad)}, refusal);
    EXPECT_TRUE(none.empty()) << bad;
    EXPECT_NE(refusal.find("placement list"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("line 2"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("\"X\""), std::string::npos) << refusal;
  }
}

}  // namespace
}  // namespace runtest

// The drilling machine's run on the simulated machine.
#include <cstring>

#include "RunSimFixture.h"

namespace runtest {
namespace {

using smt::run::DrillRow;

DrillRow Hole(double x, double y, double depth, double step) {
  DrillRow r;
  r.x = x;
  r.y = y;
  r.z = -20;  // start Z
  r.depth = depth;
  r.feed = step;
  r.lift = 1;
  r.feedStart = r.feedRun = r.liftStart = r.liftRun = 5;
  return r;
}

class DrillRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    g_nMachineType = 9;
    g_dZPulsePerMm = 10;
    holes = {Hole(1, -1, 10, 4), Hole(2, -2, 8, 4)};
    auto& s = smt::run::Services();
    s.drillRows = [this] { return holes; };
    s.setDrillRowState = [this](int row, int state) {
      std::lock_guard lk(m);
      drillStates[row] = state;
    };
  }
  // The Z steps of the pecks (feed moves) of the last run.
  std::vector<int32_t> ZMoves() {
    std::vector<int32_t> z;
    for (const auto& c : sim->Received())
      if (c.code == 0x61 && c.payload.size() >= 9 && c.payload[0] == 2) {
        int32_t v = 0;
        std::memcpy(&v, &c.payload[5], 4);  // axis, position, steps, ...
        z.push_back(v);
      }
    return z;
  }
  std::vector<DrillRow> holes;
  std::map<int, int> drillStates;
};

TEST_F(DrillRun, DrillsEveryHoleInPecksAndHomes) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(drillStates[0], 6);
  EXPECT_EQ(drillStates[1], 6);
  EXPECT_EQ(Count(0x53), 3);  // two holes and the end move
  // Per hole: start move, four pecks of three moves, the move back up.
  const auto z = ZMoves();
  ASSERT_EQ(z.size(), 2u * 14u);
  // Depth 10 mm in steps of 4 mm: pecks of 4, 4, 4 and the remaining 2.
  EXPECT_EQ((std::vector<int32_t>{z[2], z[5], z[8], z[11]}), (std::vector<int32_t>{40, 40, 40, 20}));
  // Depth 8 mm: the last peck is empty.
  EXPECT_EQ((std::vector<int32_t>{z[16], z[19], z[22], z[25]}), (std::vector<int32_t>{40, 40, 40, 0}));
  EXPECT_EQ(homeCount, 1);
  EXPECT_EQ(Count(0x67) + Count(0x62), 0);  // no picks, no conveyor
}

TEST_F(DrillRun, FeedOfZeroPerStepIsRefusedInsteadOfDrillingForever) {
  holes[1].feed = 0;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(drillStates[0], 6);
  EXPECT_EQ(drillStates[1], 9);
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Drill step error !")), texts.end());
}

TEST_F(DrillRun, HoleDeeperThanTheZTravelIsRefused) {
  holes[0].depth = 700;  // 7000 steps below a start at -200: beyond the 6000 of travel
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_TRUE(ZMoves().empty());
}

}  // namespace
}  // namespace runtest

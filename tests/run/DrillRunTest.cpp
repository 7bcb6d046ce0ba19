// The drilling machine's run on the simulated machine.
#include <cstring>
#include <tuple>

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
    smt::CurrentMachine().machineType = 9;
    smt::CurrentMachine().steps.zPulsePerMm = 10;
    holes = {Hole(1, -1, 10, 4), Hole(2, -2, 8, 4)};
    auto& s = smt::run::Services(smt::CurrentMachine());
    s.drillRows = [this] { return holes; };
    display->onRowState = [this, placement = display->onRowState](smt::job::RowKind list, int row, int state,
                                                                   bool select) {
      if (list != smt::job::RowKind::Drill) return placement(list, row, state, select);
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
  // Per hole: start move, the pecks of three moves each, the move back up.
  // Depth 10 mm in feeds of 4 mm: pecks of 4, 4 and the remaining 2, the
  // bottom at 10 mm; depth 8 mm: two pecks of 4 (no empty third one).
  const auto z = ZMoves();
  ASSERT_EQ(z.size(), 11u + 8u);
  EXPECT_EQ((std::vector<int32_t>{z[2], z[5], z[8]}), (std::vector<int32_t>{40, 40, 20}));
  EXPECT_EQ((std::vector<int32_t>{z[13], z[16]}), (std::vector<int32_t>{40, 40}));
  // The deepest point of each hole below its start point, and Z back where
  // it started after each.
  for (const auto& [from, to, depth] : {std::tuple{0u, 11u, 100}, std::tuple{11u, 19u, 80}}) {
    int32_t at = 0, start = 0, deepest = 0;
    for (size_t i = from; i < to; ++i) {
      at += z[i];
      if (i == from) start = at;
      deepest = std::max(deepest, at - start);
    }
    EXPECT_EQ(deepest, depth + 10) << "the lift (1 mm) above the surface plus the depth";
    EXPECT_EQ(at, 0) << "Z back where it started";
  }
  EXPECT_EQ(homeCount, 1);
  EXPECT_EQ(Count(0x67) + Count(0x62), 0);  // no picks, no conveyor
}

// Stop in the middle of a hole: the spindle comes back up out of the hole
// (Z back where the run found it), wherever the stop falls.
TEST_F(DrillRun, StopInTheMiddleOfAHoleRaisesTheSpindle) {
  for (size_t stopAfter : {2u, 5u, 8u, 14u}) {
    sim->ClearReceived();
    sim->SetReplyDelay(std::chrono::milliseconds(15));
    ASSERT_TRUE(Start()) << stopAfter;
    ASSERT_TRUE(Pump([&] { return ZMoves().size() >= stopAfter || !smt::CurrentMachine().runContinue.load(); }, std::chrono::seconds(10)));
    smt::CurrentMachine().runContinue = false;
    smt::CurrentMachine().run.pauseEvent.Set();
    ASSERT_TRUE(WaitEnd()) << stopAfter;
    sim->SetReplyDelay(std::chrono::milliseconds(0));
    const auto z = ZMoves();
    ASSERT_GE(z.size(), stopAfter);
    int32_t at = 0;
    for (int32_t v : z) at += v;
    EXPECT_EQ(at, 0) << "stopped after " << z.size() << " Z moves: Z left " << at << " steps down";
    EXPECT_FALSE(runFinished);
  }
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

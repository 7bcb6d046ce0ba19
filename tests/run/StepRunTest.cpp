// The one-row-at-a-time run modes on the simulated machine.
#include "RunSimFixture.h"

namespace runtest {
namespace {

using namespace std::chrono_literals;
using smt::run::DispenseRow;

DispenseRow DotRow(double x, double y, const std::string& on = "Yes") {
  DispenseRow r;
  r.x = x;
  r.y = y;
  r.z = -2;           // depth mm
  r.dispense = on == "Yes";
  r.valveClose = 0;   // close height 0: lift by the full depth
  r.closeDelay = 20;
  return r;
}

class StepRunTest : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    dots = {DotRow(1, -1), DotRow(2, -2, "No"), DotRow(3, -3)};
    auto& s = smt::run::Services(smt::CurrentMachine());
    s.dispenseRows = [this] { return dots; };
    // The dispensing list's states here; the placement list's as the fixture records them.
    display->onRowState = [this, placement = display->onRowState](smt::job::RowKind list, int row, int image,
                                                                   bool select) {
      if (list != smt::job::RowKind::Dispense) return placement(list, row, image, select);
      std::lock_guard lk(m);
      dispensed.push_back(row);
    };
  }
  void Mode(int mode) {
    auto st = smt::run::Strategy(smt::CurrentMachine());
    st.m_RunSelect = mode;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
  }
  std::vector<DispenseRow> dots;
  std::vector<int> dispensed;
};

TEST_F(StepRunTest, DispensingVisitsTheRowsMarkedYesAndStrokesOncePerDot) {
  Mode(1);
  ASSERT_TRUE(Start(1));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(dispensed, (std::vector<int>{0, 2}));
  EXPECT_EQ(Count(0x68), 2);
  const auto stroke = sim->LastReceived(0x68);
  ASSERT_TRUE(stroke.has_value());
  EXPECT_TRUE(Pump([&] { return !sim->Output(2); }));  // the valve is closed again
  EXPECT_EQ(homeCount, 1);
}

TEST_F(StepRunTest, DispensingDepthBeyondTheZTravelStopsTheRun) {
  Mode(1);
  dots[0].z = -80;  // 8000 steps, the Z travel is 6000
  ASSERT_TRUE(Start(1));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x68), 0);
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Z Pos Error !")), texts.end());
}

TEST_F(StepRunTest, DispenseThenPlaceHandsTheBoardToThePlacementRun) {
  Mode(2);
  smt::CurrentMachine().machineType = 2;
  ASSERT_TRUE(Start(2));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(dispensed, (std::vector<int>{0, 2}));
  // Two dots, then the parts the dispensing head leaves to head 1.
  EXPECT_GE(Count(0x68), 3);
  EXPECT_EQ(State(0), 6);
}

TEST_F(StepRunTest, FeederCheckModeVisitsEachFeederPointAndStopsAfterTheFirstCell) {
  Mode(7);
  board.panelCols = 2;
  board.colPitch = 20;
  ASSERT_TRUE(Start(7));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(State(r), 6);
  EXPECT_EQ(Count(0x67), 0);  // nothing is picked
  EXPECT_EQ(alignCount, 0);   // the feeder check does not look at the board
}

TEST_F(StepRunTest, SelectedDispensingWithNothingSelectedEndsAtOnce) {
  Mode(1);
  for (auto& d : dots) d.dispense = false;
  ASSERT_TRUE(Start(1));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(homeCount, 0);
}

}  // namespace
}  // namespace runtest

// The eight-head run on the simulated machine, one head at a time and in
// batch commands.
#include "RunSimFixture.h"

namespace runtest {
namespace {

class EightHeadRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    smt::CurrentMachine().machineType = 7;
    smt::CurrentMachine().headCount = 8;
    auto st = smt::run::Strategy(smt::CurrentMachine());
    st.m_HeaderSelect = 6;  // eight heads, same nozzle
    smt::run::SetStrategy(smt::CurrentMachine(), st);
  }
  void Batch(bool on) {
    auto st = smt::run::Strategy(smt::CurrentMachine());
    st.m_TogetherCode = on ? 1 : 0;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
  }
};

TEST_F(EightHeadRun, PicksAndPlacesEachHeadWithItsOwnCommands) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(State(r), 6) << r;
  EXPECT_EQ(Count(0x74), 3);
  EXPECT_EQ(Count(0x77), 3);
  EXPECT_EQ(Count(0x67), 0);  // no separate strokes on this board
  EXPECT_EQ(homeCount, 1);
  // Head k places with head code 0x20 + k - 1.
  const auto last = sim->LastReceived(0x77);
  ASSERT_TRUE(last.has_value());
  ASSERT_GE(last->payload.size(), 66u);
  EXPECT_EQ(last->payload[65], 0x22);
}

TEST_F(EightHeadRun, BatchModeSendsOneCommandPerCycle) {
  Batch(true);
  rows.erase(rows.begin() + 2);  // heads 1 and 2
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x75), 1);
  EXPECT_EQ(Count(0x78), 1);
  EXPECT_EQ(Count(0x74) + Count(0x77), 0);
  const auto pick = sim->LastReceived(0x75);
  const auto place = sim->LastReceived(0x78);
  ASSERT_TRUE(pick && place);
  EXPECT_EQ(pick->payload.at(0), 0xC0);  // bits 7 and 6: heads 1 and 2
  EXPECT_EQ(place->payload.at(0), 0xC0);
  EXPECT_EQ(State(0), 6);
  EXPECT_EQ(State(1), 6);
}

TEST_F(EightHeadRun, PositivePlaceHeightIsRefusedBeforeAnythingIsSent) {
  auto row = *feeders.CurrentRow(0);
  ASSERT_TRUE(feeders.SetCurrentCell(0, smt::feeder::kCellHeight, "15"));  // part height lifts the place point above 0
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x77), 0);
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Place height set error !")), texts.end());
}

}  // namespace
}  // namespace runtest

#include "run/FeederPickTest.h"

namespace runtest {
namespace {

TEST_F(EightHeadRun, FeederPickTestPicksWithTheChosenHeadAndShowsThePartToTheCamera) {
  vision->visionCameraPosition = [](int cam) {
    return cam == 1 ? std::pair<int32_t, int32_t>{6000, -4000} : std::pair<int32_t, int32_t>{9000, -4000};
  };
  smt::run::PickFromFeederTest(smt::CurrentMachine(), 3, 1, "W2");
  const auto pick = sim->LastReceived(0x74);
  ASSERT_TRUE(pick.has_value());
  EXPECT_EQ(pick->payload.at(80), 0x22);  // head 3
  EXPECT_EQ(pick->payload.at(0), 2);      // feeder number 2
  EXPECT_EQ(smt::CurrentMachine().curX, 6000);
  EXPECT_EQ(smt::CurrentMachine().curY, -4000);
}

TEST_F(EightHeadRun, FeederPickTestOfAnUnknownFeederSendsNothing) {
  smt::run::PickFromFeederTest(smt::CurrentMachine(), 1, 1, "W7");
  EXPECT_EQ(Count(0x74), 0);
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"Feed Index No Find"}));
}

}  // namespace
}  // namespace runtest

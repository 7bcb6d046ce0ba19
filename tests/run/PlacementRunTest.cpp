// Whole placement runs on the simulated machine: the main road, pause,
// resume and stop from the program and from the machine's keys, and the
// failure paths.
#include <thread>

#include <cstring>

#include "core/Machine.h"
#include "RunSimFixture.h"
#include "library/MarkLibrary.h"

namespace runtest {
namespace {

using namespace std::chrono_literals;

TEST_F(RunSimTest, PlacesEveryRowOnTwoHeadsAndHomesAtTheEnd) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(State(r), 6) << "row " << r;
  EXPECT_EQ(Count(0x67), 3);  // one pick stroke per part
  EXPECT_EQ(Count(0x68), 3);  // one place stroke per part
  EXPECT_EQ(alignCount, 1);   // marks measured once per board
  EXPECT_EQ(visionCount, 1);  // only the W2 part asks for the camera
  EXPECT_EQ(homeCount, 1);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  // The feeder lost three parts.
  EXPECT_EQ(feeders.CurrentRow(0)->Cell(smt::feeder::kCellQuantity), "98");
  EXPECT_EQ(feeders.CurrentRow(1)->Cell(smt::feeder::kCellQuantity), "99");
  // The end move leaves the head at X 1000, Y -1000.
  EXPECT_EQ(smt::CurrentMachine().curX, 1000);
  EXPECT_EQ(smt::CurrentMachine().curY, -1000);
  EXPECT_TRUE(Pump([] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0; }));
}

TEST_F(RunSimTest, RowsNotToPlaceAreSkipped) {
  rows[1].place = false;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(State(0), 6);
  EXPECT_EQ(State(1), -1);
  EXPECT_EQ(State(2), 6);
  EXPECT_EQ(Count(0x68), 2);
}

struct PauseRoute {
  const char* name;
  bool keys;
};

class RunPauseTest : public RunSimTest, public ::testing::WithParamInterface<PauseRoute> {
 protected:
  void Pause() {
    if (GetParam().keys) sim->SendUdpReport(0x14, {2});
    else {
      smt::CurrentMachine().paused = true;
      smt::CurrentMachine().run.pauseEvent.Reset();
    }
  }
  void Resume() {
    if (GetParam().keys) sim->SendUdpReport(0x14, {3});
    else {
      smt::CurrentMachine().paused = false;
      smt::CurrentMachine().run.pauseEvent.Set();
    }
  }
  void Stop() {
    if (GetParam().keys) sim->SendUdpReport(0x14, {4});
    else {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.pauseEvent.Set();
    }
  }
};

TEST_P(RunPauseTest, PauseHoldsTheRunAndResumeFinishesIt) {
  sim->SetReplyDelay(30ms);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(Pump([&] { return Count(0x67) >= 1; }));
  Pause();
  ASSERT_TRUE(Pump([] { return smt::CurrentMachine().paused.load(); }));
  std::this_thread::sleep_for(400ms);  // whatever was under way has finished
  const int held = Count(0x68) + Count(0x67);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Count(0x68) + Count(0x67), held);
  EXPECT_FALSE(ended);
  Resume();
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x68), 3);
}

TEST_P(RunPauseTest, StopWhilePausedEndsTheRunWithoutEndMoves) {
  sim->SetReplyDelay(30ms);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(Pump([&] { return Count(0x67) >= 1; }));
  Pause();
  ASSERT_TRUE(Pump([] { return smt::CurrentMachine().paused.load(); }));
  std::this_thread::sleep_for(200ms);
  Stop();
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(homeCount, 0);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  EXPECT_TRUE(Pump([] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Routes, RunPauseTest,
                         ::testing::Values(PauseRoute{"window", false}, PauseRoute{"machineKeys", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunSimTest, LostMoveReplyEndsTheRunAndReleasesTheMachine) {
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd65.SetTimeout(500ms);
  sim->DropRepliesTo(0x65, 100);
  ASSERT_TRUE(Start());
  const bool endedInTime = WaitEnd(30s);
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd65.SetTimeout(60s);
  ASSERT_TRUE(endedInTime);
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x67), 0);
  EXPECT_EQ(homeCount, 0);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  EXPECT_TRUE(Pump([] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0; }));
}

TEST_F(RunSimTest, FailedMarkAlignmentEndsTheRunBeforeAnyPick) {
  alignResult = false;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x65), 0);
}

TEST_F(RunSimTest, PartNotFoundByVisionIsDiscardedAndSkippedOnTheOperatorsYes) {
  visionFinds = false;
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::Yes);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(State(0), 6);
  EXPECT_NE(State(1), 6);
  EXPECT_EQ(State(2), 6);
  EXPECT_EQ(Count(0x68), 2);      // the W2 part was never set down
  EXPECT_GE(visionCount, 2);      // the cycle's try and the repair's
  EXPECT_FALSE(messages.service.Texts().empty());
}

TEST_F(RunSimTest, PartNotFoundEndsTheRunOnTheOperatorsNo) {
  visionFinds = false;
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(homeCount, 0);
}

TEST_F(RunSimTest, FeederMissingFromTheGroupEndsTheRunWithItsMessage) {
  rows[0].feeder = "W9";
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Feed Index No Find")), texts.end());
}

TEST_F(RunSimTest, NoFeederGroupRefusesTheRun) {
  smt::run::Feeders(smt::CurrentMachine()).Clear();
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  const auto texts = messages.service.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "没有找到料架组 !");
}

TEST_F(RunSimTest, FeederThreadThatNeverPresentsThePartTimesOut) {
  // A run whose feeder thread cannot start its cycle: the pick wait ends
  // with a clear failure instead of hanging.
  smt::run::SetRunThreadProc(smt::CurrentMachine(), smt::run::RunThread::Feeder, [](smt::Machine& m) { smt::run::FeedBusy(m) = 0; });
  smt::run::Timeouts(smt::CurrentMachine()).feedReady = 500ms;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  smt::run::SetRunThreadProc(smt::CurrentMachine(), smt::run::RunThread::Feeder, smt::run::FeederThreadProc);
  EXPECT_FALSE(runFinished);
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Feed time out !")), texts.end());
}

}  // namespace
}  // namespace runtest

namespace runtest {
namespace {

class OwnMarkRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    saved = smt::library::TheMarkLibrary(smt::CurrentMachine()).m_MarkRows;
    smt::library::MarkEditFields f;
    f.name = "M1";
    f.mark1X = 1.5;
    f.mark1Y = -0.5;
    f.brightness = 70;
    smt::library::TheMarkLibrary(smt::CurrentMachine()).m_MarkRows = {smt::library::MakeMarkRow(f)};
    vision->recognizeOwnMark = [this](const smt::library::MarkEditFields& m, smt::run::HeadPlaceState&) {
      seenMarks.push_back(m.name);
      return markFound.load();
    };
  }
  void TearDown() override {
    smt::library::TheMarkLibrary(smt::CurrentMachine()).m_MarkRows = saved;
    RunSimTest::TearDown();
  }
  std::vector<smt::library::MarkListRow> saved;
  std::vector<std::string> seenMarks;
  std::atomic<bool> markFound{true};
};

TEST_F(OwnMarkRun, PartWithItsOwnMarkIsPlacedAfterTheMarkIsFound) {
  rows[0].ownMark = "M1";
  rows[2].ownMark = "Unknown";  // not in the library: placed without a look
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(seenMarks, (std::vector<std::string>{"M1"}));
  for (int r = 0; r < 3; ++r) EXPECT_EQ(State(r), 6) << r;
}

TEST_F(OwnMarkRun, OwnMarkNotFoundEndsTheRun) {
  rows[1].ownMark = "M1";
  markFound = false;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_NE(State(1), 6);
}

}  // namespace
}  // namespace runtest

namespace runtest {
namespace {

TEST_F(RunSimTest, DipComponentIsDippedAfterThePick) {
  ASSERT_TRUE(feeders.SetCurrentCell(0, smt::feeder::kCellFeedMode, "CL_浸渍站"));
  smt::run::Services(smt::CurrentMachine()).dippingStation = [] {
    smt::run::DipStation d;
    d.x = 30;
    d.y = -40;
    d.z = -3;
    return std::optional<smt::run::DipStation>(d);
  };
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x68), 3);
  // Two W1 parts, each dipped down and up on its head's Z axis.
  EXPECT_EQ(Count(0x61), 4);
  EXPECT_TRUE(Pump([&] { return !sim->Output(10); }));
}

TEST_F(RunSimTest, DipComponentWithoutAStationEndsTheRun) {
  ASSERT_TRUE(feeders.SetCurrentCell(0, smt::feeder::kCellFeedMode, "CL_浸渍站"));
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_TRUE(Pump([&] { return !sim->Output(10); }));
}

}  // namespace
}  // namespace runtest

namespace runtest {
namespace {

class CoverRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    auto st = smt::run::Strategy(smt::CurrentMachine());
    st.m_Cover = 1;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
    cover.stepPulse = 100;
    cover.coverTotal = 100;
    cover.onceTotal = 2;
    cover.blankTotal = 0;
    smt::run::Services(smt::CurrentMachine()).cover = [this] { return cover; };
    smt::run::Services(smt::CurrentMachine()).saveCoverCounters = [this](int total, int count) {
      std::lock_guard lk(m);
      saved.push_back({total, count});
    };
  }
  int AxisMoves(uint8_t axis) {
    int n = 0;
    for (const auto& c : sim->Received())
      if (c.code == 0x61 && !c.payload.empty() && c.payload[0] == axis) ++n;
    return n;
  }
  smt::run::CoverSettings cover;
  std::vector<std::pair<int, int>> saved;
};

TEST_F(CoverRun, TwoHeadsAdvanceTheTapeTwoPocketsPerCycle) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(AxisMoves(14), 2);  // one tape step per cycle
  const auto step = [&] {
    for (const auto& c : sim->Received())
      if (c.code == 0x61 && c.payload.size() >= 9 && c.payload[0] == 14) {
        int32_t v = 0;
        std::memcpy(&v, &c.payload[5], 4);
        return v;
      }
    return 0;
  }();
  EXPECT_EQ(step, 200);
  ASSERT_FALSE(saved.empty());
  // Every placed part counted; the pocket counter is emptied at two.
  EXPECT_EQ(saved.back().first, 3);
}

TEST_F(CoverRun, FullTapeIsClosedOutAndTheRunEndsNormally) {
  cover.coverTotal = 2;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(State(0), 6);
  EXPECT_EQ(State(1), 6);
  EXPECT_NE(State(2), 6);  // no new rows once the tape is full
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved.back(), (std::pair<int, int>{0, 0}));
  EXPECT_EQ(homeCount, 1);
}

}  // namespace
}  // namespace runtest

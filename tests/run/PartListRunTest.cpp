// A run started and stopped through the part list's own run control, with
// its checks, busy state and end-of-run step.
#include "RunSimFixture.h"
#include "job/FeederView.h"
#include "job/JobModel.h"
#include "job/PartListData.h"
#include "job/PartListLogic.h"
#include "job/RunControl.h"
#include "run/FeederPickTarget.h"
#include "support/PartListHooks.h"

namespace runtest {
namespace {

using namespace std::chrono_literals;
using smt::job::RowKind;

class PartListRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    for (const auto& r : rows) {
job.placementRows.push_back(ListRowOf(r));
    }
    smt::job::FeederSourceOf(smt::CurrentMachine()).listRows = [this] {
      std::vector<smt::job::FeederRowView> v;
      for (int i = 0; i < feeders.CurrentRowCount(); ++i) {
        const auto row = *feeders.CurrentRow(i);
        v.push_back({std::vector<std::string>(row.begin(), row.end()), 0, 0});
      }
      return v;
    };
    smt::testing::FillPartListHooks(logic);
    smt::testing::FillRunControlHooks(control, logic);
    logic.calcFeederPickTarget = [](const std::string& f, int slot, int requested) {
      return smt::run::CalcFeederPickTarget(smt::CurrentMachine(), slot, requested, f);
    };
    control.startRun = [](int mode) { return smt::run::StartRun(smt::CurrentMachine(), mode); };
    control.runMode = [] { return 0; };
    control.sleep = [](int) {};
    auto& s = smt::run::Services(smt::CurrentMachine());
    s.nextPlaceRow = [this](int& row, int count, int slot, int requested) {
      return logic.NextPlaceRow(row, count, slot, requested);
    };
    s.onRunEnd = [this](bool finished) {
      runFinished = finished;
      control.OnRunEnd(finished);
      ended = true;
    };
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
  }
  void TearDown() override {
    smt::job::FeederSourceOf(smt::CurrentMachine()) = {};
    RunSimTest::TearDown();
  }
  bool Idle() {
    return Pump([&] {
      return !smt::CurrentMachine().machineBusy && control.m_bSmtThreadBusy == 0 && control.m_bFeedThreadBusy == 0;
    }, 10s);
  }

  // The machine's part list, which the run reads.
  smt::job::PartListData& data = smt::job::PartListOf(smt::CurrentMachine());
  smt::job::JobModel& job = data.job;
  smt::job::PartListLogic& logic = data.logic;
  smt::job::RunControl& control = data.run;
};

TEST_F(PartListRun, StartRunsTheJobAndTheEndStepReleasesEverything) {
  ASSERT_TRUE(control.OnStart());
  EXPECT_TRUE(smt::CurrentMachine().machineBusy);
  // A second Start while the run goes is refused.
  EXPECT_FALSE(control.OnStart());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_TRUE(Idle());
  EXPECT_FALSE(smt::CurrentMachine().runContinue);
  EXPECT_EQ(Count(0x68), 3);
  // The end-of-run state sent to the machine. It is sent without a reply,
  // so the board may take it a moment after the end step is done.
  EXPECT_TRUE(Pump([&] { return sim->LastState() == 4; }, 5s)) << "last state " << sim->LastState();
}

TEST_F(PartListRun, StopFromThePanelEndsTheRunAndTheFeederThread) {
  sim->SetReplyDelay(30ms);
  ASSERT_TRUE(control.OnStart());
  ASSERT_TRUE(Pump([&] { return Count(0x67) >= 1; }));
  control.OnPause();
  std::this_thread::sleep_for(200ms);
  control.OnStop();
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_TRUE(Idle());
  EXPECT_LT(Count(0x68), 3);
}

TEST_F(PartListRun, SelectedRowsOnlyArePlaced) {
  logic.Select(RowKind::Placement, 2, true);
  control.OnStartFrom(smt::job::StartFrom::SelectedSmt);
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(State(0), -1);
  EXPECT_EQ(State(1), -1);
  EXPECT_EQ(State(2), 6);
  EXPECT_EQ(Count(0x68), 1);
  EXPECT_TRUE(Idle());
  EXPECT_EQ(logic.m_bSelectedSmt, 0);  // the end step clears the selector
}

TEST_F(PartListRun, StartFromTheCurrentRowSkipsTheRowsBefore) {
  logic.State(RowKind::Placement).testRow = 1;
  control.OnStartFrom(smt::job::StartFrom::CurrentSmt);
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(State(0), -1);
  EXPECT_EQ(State(1), 6);
  EXPECT_EQ(State(2), 6);
}

}  // namespace
}  // namespace runtest

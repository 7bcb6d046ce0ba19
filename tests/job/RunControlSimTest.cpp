// Start, Pause, Regain, Stop, the run clock and the end of a run, and the
// coordinate tests, against the simulated machine.
#include "../link/MotionFixture.h"
#include "PartListTestSupport.h"
#include "job/BoardGeometry.h"
#include "job/CoordinateTests.h"
#include "job/CurrentBoard.h"
#include "job/RunControl.h"
#include "job/RunGlobals.h"
#include "link/LinkRuntime.h"
#include "platform/WorkerThreads.h"

using namespace smt::job;
using namespace smt::job::testing;
using linktest::WaitFor;

namespace {

class RunSim : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    linktest::MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    smt::testing::FillPartListHooks(logic);
    smt::testing::FillRunControlHooks(run, logic);
    FeederSourceOf(smt::CurrentMachine()).listRows = [this] { return feeders; };
    FeederSourceOf(smt::CurrentMachine()).groupRows = [this] { return feeders; };
    feeders = {Feeder("W1", ""), Feeder("W2", "")};
    auto view = std::make_shared<smt::testing::QuietRunControlView>();
    view->onButton = [this](int b, bool on) { buttons[b] = on; };
    view->onJogInfo = [this](int box, const std::string& t) { info[box] = t; };
    run.view.Connect(view);
    run.startRun = [this](int mode) {
      modes.push_back(mode);
      return engineStarts;
    };
    run.boardCount = [this]() -> int& { return boardCount; };
    run.sleep = [this](int ms) { sleeps.push_back(ms); };
    run.later = [this](int, std::function<void()> fn) { later.push_back(std::move(fn)); };
    for (int i = 0; i < 3; ++i) {
      auto r = Placement(i + 1, 10 + i, 5, "0", "R" + std::to_string(i + 1));
      r.cells[9] = i == 2 ? "W2" : "W1";
      r.cells[12] = std::to_string(i + 1);
      job.placementRows.push_back(r);
    }
  }
  void TearDown() override {
    FeederSourceOf(smt::CurrentMachine()) = {};
    smt::CurrentMachine().runContinue = false;
    linktest::MotionSimTest::TearDown();
  }
  std::vector<std::string> Texts() { return messages.service.Texts(); }
  std::vector<std::pair<int, int>> StatesWithCode(int code) {
    std::vector<std::pair<int, int>> out;
    for (auto s : sim->States())
      if (s.first == code) out.push_back(s);
    return out;
  }

  JobModel job;
  PartListLogic logic{job};
  RunControl run{smt::CurrentMachine(), logic};
  // The machine type the part list reads (the machine's).
  std::atomic<int>& type = smt::CurrentMachine().machineType;
  std::vector<FeederRowView> feeders;
  std::map<int, bool> buttons;
  std::map<int, std::string> info;
  std::vector<int> modes, sleeps;
  std::vector<std::function<void()>> later;
  bool engineStarts = true;
  int boardCount = 0;
};

TEST_F(RunSim, StartChecksTheListOfTheRunModeFirst) {
  job.placementRows.clear();
  EXPECT_FALSE(run.OnStart());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"没有贴装表单 !"}));
  messages.service.Clear();
  job.dispenseRows.push_back(DispenseRowFromText("1\t0\t0\t0\tYes\t"));
  job.runSelect = 1;  // dispensing: the dispensing list decides
  EXPECT_TRUE(run.OnStart());
  EXPECT_EQ(modes, (std::vector<int>{1}));
  EXPECT_TRUE(Texts().empty());
}

TEST_F(RunSim, StartSetsTheRunStateAndHandsOverTheRunMode) {
  job.runSelect = 3;
  smt::CurrentMachine().run.pauseEvent.Reset();
  ASSERT_TRUE(run.OnStart());
  EXPECT_EQ(boardCount, 1);
  EXPECT_TRUE(smt::CurrentMachine().machineBusy);
  EXPECT_TRUE(smt::CurrentMachine().runContinue);
  EXPECT_TRUE(smt::CurrentMachine().run.feedRun);
  EXPECT_TRUE(smt::CurrentMachine().run.pauseEvent.IsSet());
  EXPECT_EQ(modes, (std::vector<int>{3}));
  EXPECT_FALSE(buttons[kBtnStart]);
  EXPECT_TRUE(buttons[kBtnPause]);
  EXPECT_TRUE(buttons[kBtnStop]);
  // A second start meanwhile is refused as running.
  EXPECT_FALSE(run.OnStart());
  EXPECT_EQ(Texts().back(), "Machine is runnig !");
}

TEST_F(RunSim, StartRefusalsLeaveEveryFlag) {
  struct Case {
    std::function<void()> arrange;
    std::string message, box1, box2;
  } cases[] = {
      {[&] { job.placementRows[2].cells[9] = "N1"; }, "3行料架号不存在 !", "", ""},
      {[&] { run.m_bSmtThreadBusy = 1; }, "", kSmtThreadBusy, ""},
      {[&] { run.m_bConveyorThreadBusy = 1; }, "", "", kConveyorThreadBusy},
      {[&] { smt::CurrentMachine().connected = false; }, "Machine is not connection !", "", ""},
      {[&] { smt::CurrentMachine().resetDone = false; }, "Machine is not reset !", "", ""},
  };
  for (auto& c : cases) {
    messages.service.Clear();
    info.clear();
    c.arrange();
    EXPECT_FALSE(run.OnStart());
    EXPECT_FALSE(smt::CurrentMachine().machineBusy);
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(messages.service.Texts().empty() ? "" : messages.service.Texts().back(), c.message);
    EXPECT_EQ(info[1], c.box1);
    EXPECT_EQ(info[2], c.box2);
    job.placementRows[2].cells[9] = "W2";
    run.m_bSmtThreadBusy = run.m_bConveyorThreadBusy = 0;
    smt::CurrentMachine().connected = smt::CurrentMachine().resetDone = true;
  }
}

TEST_F(RunSim, AnEngineThatDoesNotStartLeavesTheMachineIdle) {
  engineStarts = false;
  EXPECT_FALSE(run.OnStart());
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  EXPECT_FALSE(smt::CurrentMachine().runContinue);
  EXPECT_TRUE(buttons[kBtnStart]);
  EXPECT_FALSE(buttons[kBtnStop]);
}

TEST_F(RunSim, PauseRegainAndStopWorkTheGateAndTellTheMachine) {
  Introduce();
  ASSERT_TRUE(run.OnStart());
  run.OnPause();
  EXPECT_TRUE(smt::CurrentMachine().paused);
  EXPECT_FALSE(smt::CurrentMachine().run.pauseEvent.IsSet());
  ASSERT_TRUE(WaitFor([&] { return !StatesWithCode(2).empty(); }));
  run.OnRegain();
  EXPECT_TRUE(smt::CurrentMachine().run.pauseEvent.IsSet());
  ASSERT_TRUE(WaitFor([&] { return !StatesWithCode(3).empty(); }));
  EXPECT_EQ(StatesWithCode(3).back().second, 1);  // network link
  const size_t before = sim->Received().size();
  run.OnStop();  // no auto transport: no command
  EXPECT_FALSE(smt::CurrentMachine().runContinue);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sim->Received().size(), before);
  run.autoTransport = [] { return true; };
  run.OnStop();
  ASSERT_TRUE(WaitFor([&] { return !StatesWithCode(15).empty(); }));
  EXPECT_FALSE(smt::CurrentMachine().run.conveyorRun);
}

TEST_F(RunSim, StartFromNeedsTheMasterReset) {
  smt::CurrentMachine().masterResetOk = false;
  run.OnStartFrom(StartFrom::SelectedSmt);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"请先按总复位机器 !"}));
  EXPECT_EQ(logic.m_bSelectedSmt, 0);
  smt::CurrentMachine().masterResetOk = true;
  run.OnStartFrom(StartFrom::SelectedSmt);
  EXPECT_EQ(logic.m_bSelectedSmt, 1);
  EXPECT_EQ(modes.size(), 1u);
}

TEST_F(RunSim, RunClockTextsAndRate) {
  smt::CurrentMachine().run.runHours = 1;
  smt::CurrentMachine().run.runMinutes = 2;
  smt::CurrentMachine().run.runSeconds = 2;
  run.m_nCurrentPart = 5;
  run.OnTimerTick();
  EXPECT_EQ(run.ClockText(), "T  1: 2: 3");
  EXPECT_EQ(run.CountText(), "5");
  run.m_nPlacedCount = 3723;  // one part a second
  EXPECT_EQ(run.CountText(), "5/3723-3600");
  smt::CurrentMachine().run.runHours = smt::CurrentMachine().run.runMinutes = 0;
  smt::CurrentMachine().run.runSeconds = 59;
  run.OnTimerTick();
  EXPECT_EQ(smt::CurrentMachine().run.runMinutes, 1);
  EXPECT_EQ(smt::CurrentMachine().run.runSeconds, 0);
}

// The eight-head machine's vacuum outputs the run left on go off at its end,
// whether it finished or was stopped (a stopped run used to leave them on,
// with the parts on the nozzles).
TEST_F(RunSim, RunEndSwitchesPumpsOffAfterAFinishedOrAStoppedRun) {
  Introduce();
  type = 7;
  smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons = 0b101;
  ASSERT_TRUE(run.OnStart());
  run.OnRunEnd(false);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  ASSERT_TRUE(WaitFor([&] { return !StatesWithCode(4).empty(); }));
  ASSERT_TRUE(WaitFor([&] { return sim->LastReceived(0x03).has_value(); }));
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0);
  for (int out : {32, 34}) EXPECT_FALSE(sim->Output(out)) << out;
  EXPECT_TRUE(buttons[kBtnStart]);
  EXPECT_FALSE(buttons[kBtnPause]);
  smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons = 0b101;
  sim->ClearReceived();

  ASSERT_TRUE(run.OnStart());
  smt::CurrentMachine().masterResetOk = false;
  sleeps.clear();
  run.OnRunEnd(true);
  EXPECT_FALSE(buttons[kBtnStart]);  // no master reset: Start stays off
  EXPECT_EQ(sleeps, (std::vector<int>{200, 5, 5}));  // the settling pause, then the pumps' exhaust waits
  ASSERT_TRUE(WaitFor([&] { return sim->LastReceived(0x03).has_value(); }));
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0);
}

// --- coordinate tests ---

class CoordSim : public RunSim {
 protected:
  void SetUp() override {
    RunSim::SetUp();
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 100;
    PcbRecord rec;
    rec.m_strName = "B";
    rec.m_nRows = 1;
    rec.m_nCols = 3;
    rec.m_dColSpace = 50;
    rec.m_dOriginX = 20;
    rec.m_dOriginY = -100;
    rec.m_PanelGrid = FullPanelGrid(1, 3);
    rec.m_PanelGrid[0][1] = "0/1";
    rec.m_PanelGrid[0][2] = "0/2";
    job.pcbs.m_Records.push_back(rec);
    job.shownPcbName = "B";
    LoadCurrentBoardValues(smt::CurrentMachine(), rec);
    smt::CurrentMachine().steps.nozzleOffsetX = {100, 200, 300, 400, 500, 600, 700};
    smt::CurrentMachine().steps.nozzleOffsetY = {-10, -20, -30, -40, -50, -60, -70};
    smt::CurrentMachine().steps.cameraOffsetX = 1000;
    smt::CurrentMachine().steps.cameraOffsetY = 2000;
    tests.onDone = [this](bool m) {
      moved = m;
      done = true;
    };
    tests.autoChangeNozzle = [] { return 0; };
    camera.Connect(cameraPanel);
  }
  void TearDown() override {
    smt::platform::WorkerThreads::Instance().StopAndJoinAll();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    smt::CurrentMachine().steps.nozzleOffsetX = {};
    smt::CurrentMachine().steps.nozzleOffsetY = {};
    smt::CurrentMachine().steps.cameraOffsetX = smt::CurrentMachine().steps.cameraOffsetY = 0;
    RunSim::TearDown();
  }
  std::shared_ptr<smt::testing::RecordingMarkCameraPanel> cameraPanel =
      std::make_shared<smt::testing::RecordingMarkCameraPanel>();
  MarkCameraPanelSlot camera{"MarkCameraPanel"};
  CoordinateTests tests{smt::CurrentMachine(), logic, camera};
  std::atomic<bool> done{false}, moved{false};
};

TEST_F(CoordSim, NozzleTestMovesTheChosenNozzleOverThePart) {
  logic.State(RowKind::Placement).testRow = 2;  // X 12, Y 5, head 3
  tests.OnSuctionTest();
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));
  EXPECT_TRUE(moved);
  // Third board (column 2): X (2 * 50 + 20 + 12) mm less nozzle 3's offset.
  EXPECT_EQ(smt::CurrentMachine().curX, 13200 - 200);
  EXPECT_EQ(smt::CurrentMachine().curY, -9500 + 20);
  EXPECT_EQ(sim->Position(0), 13000);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
}

TEST_F(CoordSim, CameraTestOpensTheMarkCameraWithItsLight) {
  logic.State(RowKind::Placement).testRow = 0;
  tests.OnCameraTest();
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));
  EXPECT_EQ(cameraPanel->opened, 1);
  EXPECT_EQ(cameraPanel->feederLight, 1);
  EXPECT_EQ(smt::CurrentMachine().curX, 13000 - 1000);
  EXPECT_EQ(smt::CurrentMachine().curY, -9500 - 2000);
}

TEST_F(CoordSim, RefusalsMoveNothing) {
  tests.OnSuctionTest();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"请选择要测试的行 !"}));
  logic.State(RowKind::Placement).testRow = 0;
  for (auto& c : smt::CurrentMachine().board.panelGrid[0]) c = "0";
  tests.OnSuctionTest();
  EXPECT_EQ(Texts().back(), "没有找到PCB板 !");
  smt::CurrentMachine().machineBusy = true;
  tests.OnSuctionTest();
  EXPECT_EQ(Texts().back(), "Machine is runnig !");
  smt::CurrentMachine().machineBusy = false;
  EXPECT_FALSE(sim->LastReceived(0x64).has_value());
}

TEST_F(CoordSim, ARowWhosePointIsNoNumberIsRefusedByNameAndNothingMoves) {
  // A cell an editor left that is no number, in each list: the test names
  // the list, the row and the field instead of driving to a made-up point.
  struct Case {
    RowKind list;
    std::string rowText;
    const char* field;
  } cases[] = {
      {RowKind::Placement, "1\t12abc\t5\t0\tR1\t\t\tYes\t\tW1\tNo\t\t3\t\t\t\t", "X"},
      {RowKind::Placement, "1\t12\tnan\t0\tR1\t\t\tYes\t\tW1\tNo\t\t3\t\t\t\t", "Y"},
      {RowKind::Dispense, "1\t4\t1e999\t-1\tYes\t5\t10\t50\t50\t50\t\t\t\t\t\t", "Y"},
      {RowKind::Dispense, "1\t0x10\t2\t-1\tYes\t5\t10\t50\t50\t50\t\t\t\t\t\t", "X"},
      {RowKind::Drill, "1\thole\t1\t--3\t4\t-1\t2\t1\t1\t0\t1\t1\t20\t40\t\t", "X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rowText);
    messages.service.Clear();
    ListRow row(CellCount(c.list));
    row.cells = SplitTabCells(c.rowText, CellCount(c.list));
    auto& rows = logic.Rows(c.list);
    rows.clear();
    rows.push_back(row);
    logic.State(c.list).testRow = 0;
    switch (c.list) {
      case RowKind::Placement: tests.OnSuctionTest(); break;
      case RowKind::Dispense: tests.OnDisHeadTest(); break;
      case RowKind::Drill: tests.OnDrillTest(); break;
    }
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_NE(Texts()[0].find("line 1, field \"" + std::string(c.field) + "\""), std::string::npos) << Texts()[0];
    EXPECT_FALSE(done.load());
    EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  }
  EXPECT_FALSE(sim->LastReceived(0x64).has_value());
}

TEST_F(CoordSim, SerialLinkSendsTheStateCommandFirst) {
  UseSerial();
  logic.State(RowKind::Placement).testRow = 0;
  tests.autoChangeNozzle = [] { return 1; };  // nozzle 1: no offset
  tests.OnSuctionTest();
  ASSERT_TRUE(WaitFor([&] { return done.load(); }, std::chrono::seconds(10)));
  ASSERT_FALSE(sim->States().empty());
  EXPECT_EQ(sim->States().front().first, 0);
  EXPECT_EQ(smt::CurrentMachine().curX, 13000);
}

TEST_F(CoordSim, MarkCorrectionCases) {
  MarkMeasurement m;
  // Marks on but not measured: no correction at all.
  smt::CurrentMachine().board.useMarks = true;
  smt::CurrentMachine().correction.mark1DevStepsX = 30;
  EXPECT_EQ(BoardPointTarget(smt::CurrentMachine(), 10, 5, 0, 2, m), (std::pair<int32_t, int32_t>{13000, -9500}));
  // Measured, Mark 2 at (0, 0): a pure shift by Mark 1's deviation.
  m.m_bMarkMeasured = 1;
  smt::CurrentMachine().correction.mark1DevStepsY = -40;
  EXPECT_EQ(BoardPointTarget(smt::CurrentMachine(), 10, 5, 0, 2, m), (std::pair<int32_t, int32_t>{13030, -9540}));
  // Mark 2 set, zero deviations: turned by 0 about Mark 1, then Mark 1 added back.
  smt::CurrentMachine().board.mark1X = 1;
  smt::CurrentMachine().board.mark1Y = 1;
  smt::CurrentMachine().board.mark2X = 41;
  smt::CurrentMachine().board.mark2Y = 1;
  smt::CurrentMachine().board.mark1StepsX = smt::CurrentMachine().board.mark1StepsY = 100;
  smt::CurrentMachine().board.marksPerPanel = true;
  EXPECT_EQ(BoardPointTarget(smt::CurrentMachine(), 10, 5, 0, 2, m), (std::pair<int32_t, int32_t>{13030, -9540}));
  smt::CurrentMachine().board.marksPerPanel = false;
  EXPECT_EQ(BoardPointTarget(smt::CurrentMachine(), 10, 5, 0, 2, m), (std::pair<int32_t, int32_t>{2000 + 10000 + 1000 + 30, -9540}));
  smt::CurrentMachine().board.useMarks = false;
  smt::CurrentMachine().correction.mark1DevStepsX = smt::CurrentMachine().correction.mark1DevStepsY = 0;
}

TEST_F(CoordSim, PlatformTestKeepsTheDeltasOfTheCameraToY2Move) {
  type = 4;
  smt::CurrentMachine().machineType = 4;
  smt::CurrentMachine().steps.y2ToY1OffsetX = 7;
  smt::CurrentMachine().steps.y2ToY1OffsetY = 9;
  logic.State(RowKind::Placement).testRow = 0;  // X 10, Y 5
  tests.OnPlatformTest(PlatformTest::CameraToY2);
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));
  EXPECT_EQ(tests.m_nCoordTestCode, 535);
  EXPECT_EQ(smt::CurrentMachine().motion.lastPlatformDelta[0], 13000 + 7 - 1000);
  EXPECT_EQ(smt::CurrentMachine().motion.lastPlatformDelta[1], -9500 + 9 - 2000);
  smt::CurrentMachine().steps.y2ToY1OffsetX = smt::CurrentMachine().steps.y2ToY1OffsetY = 0;
  smt::CurrentMachine().machineType = 0;
}

}  // namespace

#pragma once
// A small job on the simulated machine: one board with two marks, a feeder
// group of two tape feeders on the west bank, placement rows that name
// them, two heads, and every run service a recorder or a stub.
//
// The window thread's work goes through the real dispatcher to the test's
// own thread (the QApplication's), whose event loop every wait pumps: what
// the run hands to the window thread runs there, as in the program.
#include <QCoreApplication>
#include <atomic>
#include <functional>
#include <thread>
#include <map>
#include <mutex>

#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "link/MotionFixture.h"
#include "platform/QtGuiDispatcher.h"
#include "platform/WorkerThreads.h"
#include "run/HeadRecords.h"
#include "run/RunDispatch.h"
#include "job/JobRows.h"
#include "job/PartListData.h"
#include "run/RunServices.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "support/RecordingRunDisplay.h"
#include "support/TestRunVision.h"

namespace runtest {

using smt::feeder::FeederCells;
using smt::feeder::FeederRow;
using smt::run::PlacementRow;

inline smt::feeder::FeederCells TapeFeeder(const std::string& number, double x, double y, const std::string& camera) {
  FeederCells r;
  r[smt::feeder::kCellNumber] = number;
  r[smt::feeder::kCellPackage] = "0603";
  r[smt::feeder::kCellX] = std::to_string(x);
  r[smt::feeder::kCellY] = std::to_string(y);
  r[smt::feeder::kCellLength] = "1.6";
  r[smt::feeder::kCellWidth] = "0.8";
  r[smt::feeder::kCellHeight] = "0.5";
  r[smt::feeder::kCellAngle] = "0";
  r[smt::feeder::kCellHead] = "1";
  r[smt::feeder::kCellVacuum] = "0";
  r[smt::feeder::kCellCamera] = camera;
  r[smt::feeder::kCellFly] = "No/60/80";
  r[smt::feeder::kCellFeedMode] = "集中飞达";
  r[smt::feeder::kCellFeedCoord] = "5";
  r[smt::feeder::kCellFeedCount] = "1";
  r[smt::feeder::kCellFeedTime] = "10";
  r[smt::feeder::kCellPickHeight] = "-5";
  r[smt::feeder::kCellQuantity] = "100";
  r[smt::feeder::kCellFeature] = "01:贴片电阻";
  return r;
}

inline PlacementRow Part(int serial, double x, double y, const std::string& feeder, const std::string& place = "Yes") {
  PlacementRow r;
  r.serial = serial;
  r.x = x;
  r.y = y;
  r.angle = 90;
  r.place = place == "Yes";
  r.feeder = feeder;
  return r;
}

// The part list's row of a part, with the cell texts an operator's list holds.
inline smt::job::ListRow ListRowOf(const PlacementRow& r) {
  smt::job::ListRow lr(16);
  lr.cells[0] = std::to_string(r.serial);
  lr.cells[1] = std::to_string(r.x);
  lr.cells[2] = std::to_string(r.y);
  lr.cells[3] = smt::job::FormatG(r.angle);
  lr.cells[7] = r.place ? "Yes" : "No";
  lr.cells[9] = r.feeder;
  lr.cells[14] = r.ownMark;
  return lr;
}

// Waits for `cond` while the window thread's events are processed.
inline bool Pump(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  QCoreApplication::processEvents();
  return cond();
}

class RunSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    smt::platform::GuiDispatcher::Install(&gui);
    smt::CurrentMachine().machineType = 2;
    smt::CurrentMachine().headCount = 2;
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = smt::CurrentMachine().steps.zPulsePerMm = 100;
    smt::CurrentMachine().steps.aPulsePerDeg = 10;
    savedBasic = *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic();
    auto basic = savedBasic;
    basic.m_Z_Nozzle1ToPCBHeight = -10;  // heads go down to the board
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(basic);
    smt::run::SmtStrategy st;
    st.m_HeaderSelect = 1;
    st.m_RunSelect = 0;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
    feeders.AddGroup("A", "");
    feeders.SetCurrentName("A");
    feeders.ShowGroupInList("A", smt::feeder::BuiltInNameTables(0));
    feeders.ReplaceCurrentRows({TapeFeeder("W1", 10, -20, "No/Camera 1"), TapeFeeder("W2", 14, -20, "Yes/Camera 1")},
                               {smt::feeder::TrayRecord::Default(), smt::feeder::TrayRecord::Default()});
    rows = {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")};
    board.originX = 50;
    board.originY = -60;
    board.marksOn = true;
    board.mark1X = 1;
    board.mark1Y = -1;
    board.mark2X = 30;
    board.mark2Y = -20;
    Install();
    smt::run::CreateRunEvents(smt::CurrentMachine());
    smt::run::Timeouts(smt::CurrentMachine()) = {};
    smt::run::Timeouts(smt::CurrentMachine()).feedReady = std::chrono::milliseconds(3000);
    Introduce();
  }
  void TearDown() override {
    if (smt::CurrentMachine().machineBusy || smt::CurrentMachine().runContinue) {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.pauseEvent.Set();
      Pump([&] { return ended.load(); }, std::chrono::seconds(10));
    }
    // The feeder thread leaves once the run has ended.
    Pump([&] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0 && smt::run::SmtBusy(smt::CurrentMachine()) == 0; }, std::chrono::seconds(5));
    QCoreApplication::processEvents();
    // The run's threads read the services to their last step (the end step
    // clears the run thread's busy byte through them): none may still run
    // when they are replaced.
    smt::platform::WorkerThreads::Instance().StopAndJoinAll();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    QCoreApplication::processEvents();
    smt::platform::GuiDispatcher::Install(nullptr);
    smt::run::Services(smt::CurrentMachine()) = {};
    smt::run::SetStrategy(smt::CurrentMachine(), {});
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(savedBasic);
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().pick) p = {};
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().place) p = {};
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = smt::CurrentMachine().steps.zPulsePerMm = smt::CurrentMachine().steps.aPulsePerDeg = 1;
    smt::CurrentMachine().correction.mark1DevStepsX = smt::CurrentMachine().correction.mark1DevStepsY = 0;
    smt::CurrentMachine().correction.boardRotation = 0.0;
    smt::CurrentMachine().headCount = 1;
    MotionSimTest::TearDown();
  }

  void Install() {
    auto& s = smt::run::Services(smt::CurrentMachine());
    s = {};
    s.placementRows = [this] { return rows; };
    s.board = [this] { return board; };
    display = std::make_shared<testsupport::RecordingRunDisplay>();
    display->onRowState = [this](smt::job::RowKind list, int row, int image, bool) {
      if (list != smt::job::RowKind::Placement) return;
      std::lock_guard lk(m);
      states[row] = image;
      stateLog.push_back({row, image});
    };
    s.display.Connect(display);
    vision = std::make_shared<testsupport::TestRunVision>();
    vision->alignBoardMarks = [this] {
      ++alignCount;
      smt::CurrentMachine().correction.mark1DevStepsX = 30;
      smt::CurrentMachine().correction.mark1DevStepsY = -20;
      smt::CurrentMachine().correction.boardRotation = 0.0;
      return alignResult.load();
    };
    vision->recognizeHeadPart = [this](smt::run::HeadPlaceState& p, bool) {
      ++visionCount;
      if (!visionFinds) {
        p.failed = 1;
        return true;
      }
      p.correctionX = 7;
      p.correctionY = -3;
      return true;
    };
    vision->visionCameraPosition = [](int) { return std::pair<int32_t, int32_t>{5000, -3000}; };
    s.vision.Connect(vision);
    s.onRunEnd = [this](bool finished) {
      runFinished = finished;
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.feedRun = false;
      smt::ReleaseMachineBusy(smt::CurrentMachine());
      ended = true;
    };
    s.startHome = [this] { ++homeCount; };
  }

  // What the part list's Start does around the dispatcher.
  bool Start(int mode = 0) {
    ended = false;
    if (!smt::TryClaimMachineBusy(smt::CurrentMachine())) return false;
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.feedRun = true;
    smt::CurrentMachine().run.conveyorRun = true;
    smt::CurrentMachine().paused = false;
    smt::CurrentMachine().run.pauseEvent.Set();
    if (!smt::run::StartRun(smt::CurrentMachine(), mode)) {
      smt::CurrentMachine().runContinue = smt::CurrentMachine().run.feedRun = smt::CurrentMachine().run.conveyorRun = false;
      smt::ReleaseMachineBusy(smt::CurrentMachine());
      return false;
    }
    return true;
  }
  bool WaitEnd(std::chrono::seconds limit = std::chrono::seconds(20)) {
    return Pump([&] { return ended.load(); }, limit);
  }
  int State(int row) {
    std::lock_guard lk(m);
    auto it = states.find(row);
    return it == states.end() ? -1 : it->second;
  }
  int Count(uint16_t code) {
    int n = 0;
    for (const auto& c : sim->Received())
      if (c.code == code) ++n;
    return n;
  }

  smt::platform::QtGuiDispatcher gui;
  smt::settings::BasicSettings savedBasic;
  // The feeder table of the test's machine, which the run reads.
  smt::feeder::FeederTable& feeders = smt::run::Feeders(smt::CurrentMachine());
  std::vector<PlacementRow> rows;
  smt::run::RunBoard board;
  std::mutex m;
  std::shared_ptr<testsupport::RecordingRunDisplay> display;
  std::shared_ptr<testsupport::TestRunVision> vision;
  std::map<int, int> states;
  std::vector<std::pair<int, int>> stateLog;
  std::atomic<bool> ended{false}, runFinished{false}, alignResult{true}, visionFinds{true};
  std::atomic<int> alignCount{0}, visionCount{0}, homeCount{0};
  // The part list's placed counter, which the run counts up.
  std::atomic<int32_t>& placedCount = smt::job::PartListOf(smt::CurrentMachine()).run.m_nPlacedCount;
};

}  // namespace runtest

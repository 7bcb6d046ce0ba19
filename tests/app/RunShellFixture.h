#pragma once
// The program as main() builds it (headless), its serial link on the
// simulated board, connected and homed, with a job of tape feeders and
// placement rows put into its panels. The test thread is the window thread:
// waits pump its event loop, so the run's window work runs where it runs in
// the program.
#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "ShellFixture.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/JobRows.h"
#include "library/NozzleSeats.h"
#include "link/MachineHoming.h"
#include "run/RunSimFixture.h"
#include "sim/SimBoard.h"

namespace runshell {

struct Placed {
  int64_t x, y;
};
// The board's record of place strokes (0x68): where the gantry stood.
inline std::vector<Placed> Placements(const smt::sim::SimBoard& sim) {
  std::vector<Placed> out;
  for (const auto& s : sim.Strokes())
    if (s.code == 0x68) out.push_back({s.axes.count(0) ? s.axes.at(0) : 0, s.axes.count(1) ? s.axes.at(1) : 0});
  return out;
}

inline smt::feeder::FeederCells NoVision(smt::feeder::FeederCells r) {
  r[smt::feeder::kCellCamera] = "No/Camera 1";
  return r;
}

// What the board received in order, as (code, first payload byte).
inline std::vector<std::pair<int, int>> Sequence(const std::vector<smt::sim::ReceivedCommand>& received,
                                                 std::initializer_list<int> codes) {
  std::vector<std::pair<int, int>> out;
  for (const auto& c : received)
    for (int code : codes)
      if (c.code == code) out.push_back({c.code, c.payload.empty() ? -1 : c.payload[0]});
  return out;
}
inline std::vector<std::pair<int, int>> Sequence(const smt::sim::SimBoard& sim, std::initializer_list<int> codes) {
  return Sequence(sim.Received(), codes);
}
inline int IndexOf(const std::vector<std::pair<int, int>>& seq, std::pair<int, int> what, size_t from = 0) {
  for (size_t i = from; i < seq.size(); ++i)
    if (seq[i] == what) return static_cast<int>(i);
  return -1;
}

}  // namespace runshell

class RunShellTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    smt::sim::SimConfig c;
    c.udp = withNetworkLink;
    c.udpPort = 0;  // any free port: the suite runs beside a simulator holding the board's own
    c.discovery = false;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
  }
  void TearDown() override {
    if (smt::CurrentMachine().runContinue || smt::CurrentMachine().machineBusy) {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.pauseEvent.Set();
      Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    }
    ShellTest::TearDown();
    sim->Stop();
    smt::CurrentMachine().connected = false;
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().pick) p = {};
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().place) p = {};
    for (auto& h : smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle) h = 0;
  }

  // Pumps the window thread's events until `cond` holds or `limit` passes.
  static bool Pump(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (cond()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    QCoreApplication::processEvents();
    return cond();
  }

  // The machine settings of the job: 100 steps per mm, travel room, the
  // serial link to the simulated board, and `extra` sections.
  void WriteMachine(const std::string& extra) {
    WriteConfig("[SetBasicConfig]\nm_CommModel=0\nm_X_Limit=900\nm_Y_Limit=-900\nm_Z_Limit=-90\n"
                "m_Z_Nozzle1ToPCBHeight=-10\nm_Z_Nozzle1ToFeed=-5\nm_Z_Nozzle2ToFeed=-5\nm_ThrowDelay=100\n"
                "[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\nm_A_Pulse=10\n"
                "m_WestWalk_Pulse=100\nm_WestLift_Pulse=100\nm_NorthWalk_Pulse=100\nm_NorthLift_Pulse=100\n"
                "m_EastWalk_Pulse=100\nm_EastLift_Pulse=100\n"
                "[SerialPortConfig]\nCOM1=" + sim->SerialPath() +
                "\n[ManualControlConfig]\nm_ComNumber=1\n" + extra);
  }

  // Starts the program, connects its link and homes the machine.
  CSMTView& StartConnected(const std::string& extra) {
    WriteMachine(extra);
    CMainFrame& f = Start();
    view = f.view();
    EXPECT_NE(view, nullptr);
    // Written by the connecting thread, read by the pumping window thread.
    std::atomic<bool> up{false}, done{false};
    std::thread t([&] {
      up = view->m_pManualControl->ConnectNow();
      done = true;
    });
    Pump([&] { return done.load(); }, std::chrono::seconds(20));
    t.join();
    EXPECT_TRUE(up.load());
    EXPECT_TRUE(smt::link::MachineHoming::Of(smt::CurrentMachine()).StartHomeThread(0, 0));
    EXPECT_TRUE(Pump([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); }));
    smt::CurrentMachine().masterResetOk = true;
    return *view;
  }

  // The job: feeders into the feeder table's current group (and its list),
  // placement rows into the part list.
  void PutJob(const std::vector<smt::feeder::FeederRow>& feeders, const std::vector<smt::run::PlacementRow>& rows) {
    auto& table = view->m_pFeedList->Table();
    std::vector<smt::feeder::TrayRecord> trays(feeders.size(), smt::feeder::TrayRecord::Default());
    table.ReplaceCurrentRows(feeders, trays);
    view->m_pFeedList->ShowCurrentGroup();
    auto& job = view->m_pPartList->Job();
    job.placementRows.clear();
    for (const auto& r : rows) {
      // The list's cell texts of the record, as an operator's list holds them.
      smt::job::ListRow lr(16);
      lr.cells[0] = std::to_string(r.serial);
      lr.cells[1] = std::to_string(r.x);
      lr.cells[2] = std::to_string(r.y);
      lr.cells[3] = smt::job::FormatG(r.angle);
      lr.cells[7] = r.place ? "Yes" : "No";
      lr.cells[9] = r.feeder;
      lr.cells[14] = r.ownMark;
      job.placementRows.push_back(lr);
    }
    job.NotifyRows(smt::job::RowKind::Placement);
  }

  // The toolbar's Start, then the run to its end (the end step releases the machine).
  bool RunToEnd(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    view->m_pPartList->OnStart();
    if (!Pump([] { return smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(2))) {
      for (const auto& t : messages.service.Texts()) ADD_FAILURE() << "refused: " << t;
      ADD_FAILURE() << "jog info: " << view->m_pManualControl->InfoText() << " | " << view->m_pManualControl->InfoText2();
      return false;
    }
    return Pump([&] {
      auto& r = view->m_pPartList->Run();
      return !smt::CurrentMachine().machineBusy && r.m_bSmtThreadBusy == 0 && r.m_bFeedThreadBusy == 0;
    }, limit);
  }

  // After a normal end the machine homes again.
  bool WaitHomedAgain() {
    return Pump([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
  }

  // Commands received, in order, with the given code.
  std::vector<smt::sim::ReceivedCommand> Commands(uint16_t code) {
    std::vector<smt::sim::ReceivedCommand> out;
    for (const auto& c : sim->Received())
      if (c.code == code) out.push_back(c);
    return out;
  }

  std::unique_ptr<smt::sim::SimBoard> sim;
  CSMTView* view = nullptr;
  bool withNetworkLink = false;  // the board answers on the network too (set before SetUp)
};

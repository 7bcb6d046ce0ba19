#pragma once
// The real shell as a lamp machine (type 4) on the simulated board over the
// serial link: a job with LED points in the point table, a feeder, and a
// Mark camera that renders the boards lying on the two platforms from where
// the simulated board's glue gantry and platforms stand.
#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "ShellFixture.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "job/BoardGeometry.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "sim/SimBoard.h"
#include "stations/CDialogLampMachineList.h"
#include "stations/LampPointTable.h"
#include "vision/MarkAlign.h"
#include "vision/SimulatedScene.h"

namespace lamptest {

inline int32_t T(double v) { return static_cast<int32_t>(v); }

class LampShell : public ShellTest {
 protected:
  static constexpr double kPulse = 100;  // X, Y and Z pulses per mm
  static constexpr double kCamX = 20, kCamY = -5, kZ5X = 10, kZ5Y = 2, kZ6X = -10, kZ6Y = 3;

  void SetUp() override {
    ShellTest::SetUp();
    messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
    smt::sim::SimConfig c;
    c.udpBindAddress = "127.0.0.1";
    c.udpPort = 0;
    c.discovery = false;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
    WriteConfig(
        "[MachineSetConfig]\nMachineSet=4\n"
        "[SetBasicConfig]\nm_CommModel=0\nm_X_Limit=500\nm_Y_Limit=-400\nm_Z_Limit=-50\n"
        "m_X_CameraToNozzle1=20\nm_Y_CameraToNozzle1=-5\nm_X_Nozzle5ToNozzle1=10\nm_Y_Nozzle5ToNozzle1=2\n"
        "m_X_Nozzle6ToNozzle1=-10\nm_Y_Nozzle6ToNozzle1=3\n"
        "[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\n"
        "[ManualControlConfig]\nm_ComNumber=1\nm_XY_RunSteps=100\nm_Z_RunSteps=50\nm_A_RunSteps=10\nm_Feed_RunSteps=100\n"
        "[SerialPortConfig]\nCOM1=" + sim->SerialPath() + "\n"
        "[LampMachineListConfig]\nm_CountSet=2\nm_CountFinish=0\nm_CountUnfinish=2\n");
  }

  void TearDown() override {
    if (smt::CurrentMachine().runContinue) {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.pauseEvent.Set();
      Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    }
    smt::vision::SetMarkCamera(smt::CurrentMachine(), {}, {});
    ShellTest::TearDown();
    sim->Stop();
    smt::link::RuntimeOf(smt::CurrentMachine()).serial = nullptr;
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = nullptr;
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
    smt::CurrentMachine().motion.curPlatform[0] = smt::CurrentMachine().motion.curPlatform[1] = 0;
    for (auto& z : smt::CurrentMachine().curZ) z = 0;
    for (auto& a : smt::CurrentMachine().curA) a = 0;
    smt::run::SetStrategy(smt::CurrentMachine(), {});
  }

  // Runs the window's events until `done` or the limit.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
  }

  // The program started, connected on the serial link and homed.
  CMainFrame& StartConnected() {
    CMainFrame& f = Start();
    view = f.view();
    EXPECT_TRUE(view->m_pManualControl->ConnectNow());
    EXPECT_TRUE(smt::CurrentMachine().connected.load());
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    return f;
  }

  // Point p: the Mark, the LED from the Mark, the three dots from the LED.
  struct Point {
    double markX, markY, ledX, ledY;
    double red[2], silver1[2], silver2[2];
  };
  smt::stations::LampPointValues ValuesOf(const Point& p) {
    smt::stations::LampPointValues v;
    v.markX = p.markX;
    v.markY = p.markY;
    v.ledX = p.ledX;
    v.ledY = p.ledY;
    v.placeZ = -0.5;
    v.startSpeed = 10;
    v.runSpeed = 20;
    const double* offs[3] = {p.red, p.silver1, p.silver2};
    for (int g = 0; g < 3; ++g) {
      auto& d = v.dots[static_cast<size_t>(g)];
      d.x = offs[g][0];
      d.y = offs[g][1];
      d.height = -2.0 - g * 0.1;
      d.valveOpen = -1.0;
      d.valveClose = 1.0;
      d.bottomDelay = 5;
      d.closeDelay = 6;
    }
    return v;
  }

  // The job: a board with the Mark camera values, one placement row per
  // point, the feeder they name, and the point table through the job's
  // side-file seam.
  void LoadJob(const std::vector<Point>& points) {
    this->points = points;
    auto& job = view->m_pPartList->Job();
    job.pcbs.Add("Lamp");
    auto* rec = job.pcbs.Find("Lamp");
    ASSERT_NE(rec, nullptr);
    rec->m_dVisualZoom = 20;
    rec->m_dVisualBox = 3;
    rec->m_dMarkDiameter = 1.0;
    rec->m_nLightContrast = 128;
    rec->m_nVisualTimes = 2;
    rec->m_nMarkCollectTime = 1;
    job.shownPcbName = "Lamp";
    job.placementRows.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      smt::job::ListRow r(16);
      r.cells[0] = std::to_string(i + 1);
      r.cells[1] = "0";
      r.cells[2] = "0";
      r.cells[3] = "0";
      r.cells[4] = "LED";
      r.cells[7] = "Yes";
      r.cells[9] = "W1";
      job.placementRows.push_back(r);
    }
    smt::stations::LampPointTable table;
    for (size_t i = 0; i < points.size(); ++i) table.FillPointRows(static_cast<int>(i), ValuesOf(points[i]));
    ASSERT_TRUE(job.setLampRows);
    job.setLampRows(table.RowTexts());
    smt::feeder::FeederCells w1;
    w1[smt::feeder::kCellNumber] = "W1";
    w1[smt::feeder::kCellPackage] = "0603";
    w1[smt::feeder::kCellX] = "300";
    w1[smt::feeder::kCellY] = "-20";
    w1[smt::feeder::kCellHead] = "1";
    w1[smt::feeder::kCellFeedMode] = "集中飞达";
    w1[smt::feeder::kCellPickHeight] = "-5";
    w1[smt::feeder::kCellQuantity] = "100";
    view->m_pFeedList->Table().ReplaceCurrentRows({w1}, {smt::feeder::TrayRecord::Default()});
    view->m_pFeedList->ShowCurrentGroup();
  }

  // The platform under the camera: the one the gantry last moved with it.
  int LastPlatform() const {
    const auto all = sim->Received();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
      if (it->code == 0x53 && it->payload.size() > 7 && (it->payload[7] == 1 || it->payload[7] == 12))
        return it->payload[7] == 1 ? 1 : 2;
    return 1;
  }

  // The Mark camera on the glue gantry sees the board of that platform,
  // lying displaced by disp[platform] from where the table says.
  void InstallMarkCamera() {
    smt::vision::SetMarkCamera(smt::CurrentMachine(), [] { return true; },
                               [this](cv::Mat& frame) {
                                 const int platform = LastPlatform();
                                 const double cx = sim->Position(9) / kPulse + kCamX;
                                 const double cy = sim->Position(platform == 1 ? 1 : 12) / kPulse + kCamY;
                                 smt::vision::SimulatedScene scene(640, 480, 20.0, {cx, -cy});
                                 const auto d = disp[platform];
                                 for (const auto& p : points) scene.AddMark({p.markX + d[0], -(p.markY + d[1])}, 1.0);
                                 frame = scene.Render();
                                 return true;
                               });
  }

  void SetLampMachineCountersForTest() {
    smt::stations::LampCounters c;
    c.m_CountSet = 2;
    c.m_CountFinish = 0;
    c.m_CountUnfinish = 2;
    SetCurrentLampCounters(smt::CurrentMachine(), c);
  }

  // What the board took and what the operator was told, for a failure report.
  std::string Diagnose() const {
    std::string d = "messages:";
    const auto texts = messages.service.Texts();
    for (size_t i = 0; i < texts.size() && i < 5; ++i) d += " [" + texts[i] + "]";
    d += "\nboard took:";
    const auto all = sim->Received();
    for (size_t i = 0; i < all.size() && i < 60; ++i) {
      const auto& c = all[i];
      char b[8];
      std::snprintf(b, sizeof b, " %02X", c.code);
      d += b;
    }
 d += "\ncell(0,3) " + smt::stations::LampPointTable::Of(smt::CurrentMachine()).Cell(0, 3) + " camX " +
         std::to_string(smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_X_CameraToNozzle1) + " px " +
         std::to_string(smt::CurrentMachine().steps.xPulsePerMm);
    d += "\nstrokes: " + std::to_string(sim->Strokes().size()) + " glue X " + std::to_string(sim->Position(9)) +
         " Y1 " + std::to_string(sim->Position(1)) + " Y2 " + std::to_string(sim->Position(12));
    return d;
  }

  void SetRunMode(int mode) {
    auto st = smt::run::Strategy(smt::CurrentMachine());
    st.m_RunSelect = mode;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
    view->m_pPartList->Job().runSelect = mode;
  }

  // The glue X and platform Y where dot `group` of point `p` belongs on a
  // board displaced by `d` (pulses).
  std::pair<int32_t, int32_t> DotTarget(const Point& p, int group, const std::array<double, 2>& d) {
    const double* off = group == 0 ? p.red : group == 1 ? p.silver1 : p.silver2;
    const double hx = group == 0 ? kZ5X : kZ6X, hy = group == 0 ? kZ5Y : kZ6Y;
    return {T(p.markX * kPulse) + T((p.ledX + off[0]) * kPulse) - T(hx * kPulse) + T(d[0] * kPulse),
            T(p.markY * kPulse) + T((p.ledY + off[1]) * kPulse) - T(hy * kPulse) + T(d[1] * kPulse)};
  }

  std::unique_ptr<smt::sim::SimBoard> sim;
  CSMTView* view = nullptr;
  std::vector<Point> points;
  std::array<std::array<double, 2>, 3> disp{{{0, 0}, {0.30, -0.20}, {-0.25, 0.15}}};
};

}  // namespace lamptest

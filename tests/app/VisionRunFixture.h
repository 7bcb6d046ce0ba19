#pragma once
// The program as main() builds it on a simulated machine whose cameras see
// what the machine does: a board put down off its nominal place and turned,
// parts picked each with its own error, centred by the vision cameras and
// placed where the board truly is. The simulated machine records where
// every part was let go. The machine's scales (steps per mm of X and Y,
// steps per degree of A) are members, set before StartProgram.
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <thread>
#include <memory>

#include "../link/MotionFixture.h"
#include "link/MachineGuards.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "app/MainFrame.h"
#include "app/SMTApp.h"
#include "app/SMTView.h"
#include "core/MachineState.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPartList.h"
#include "job/CDialogPCBEdit.h"
#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/WorkerThreads.h"
#include "run/MachineSteps.h"
#include "run/RunServices.h"
#include "job/CurrentBoard.h"
#include "library/MarkLibrary.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "sim/WorldCameras.h"
#include "support/TempDir.h"
#include "vision/CameraDS.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/VisionGlobals.h"

namespace visionrun {

using namespace std::chrono_literals;
using smt::feeder::FeederCells;
using smt::feeder::FeederRow;

constexpr double kStepsPerMm = 100, kStepsPerDeg = 100;  // the fixture's default scales
constexpr double kSideX = 0.3, kSideY = -0.2;  // side camera's centre from head 2 (mm)

struct Target {
  double x, y, angle;
};

inline FeederRow Feeder(const std::string& number, double x, double y, const std::string& camera, bool fly) {
  FeederCells r;
  r[smt::feeder::kCellNumber] = number;
  r[smt::feeder::kCellPackage] = "2010";
  r[smt::feeder::kCellX] = std::to_string(x);
  r[smt::feeder::kCellY] = std::to_string(y);
  r[smt::feeder::kCellLength] = "5.0";
  r[smt::feeder::kCellWidth] = "2.5";
  r[smt::feeder::kCellHeight] = "0.5";
  r[smt::feeder::kCellAngle] = "0";
  r[smt::feeder::kCellHead] = "1";
  r[smt::feeder::kCellVacuum] = "0";
  r[smt::feeder::kCellCamera] = camera;
  r[smt::feeder::kCellFly] = fly ? "Yes/60/80" : "No/60/80";
  r[smt::feeder::kCellFeedMode] = "集中飞达";
  r[smt::feeder::kCellFeedCoord] = "5";
  r[smt::feeder::kCellFeedCount] = "1";
  r[smt::feeder::kCellFeedTime] = "10";
  r[smt::feeder::kCellPickHeight] = "-5";
  r[smt::feeder::kCellQuantity] = "100";
  r[smt::feeder::kCellFeature] = "01:贴片电阻";
  return r;
}

inline std::vector<std::string> StoredRow(int serial, double x, double y, double angle, const std::string& feeder) {
  std::vector<std::string> r(16);
  r[0] = std::to_string(serial);
  r[1] = std::to_string(x);
  r[2] = std::to_string(y);
  r[3] = std::to_string(angle);
  r[4] = "R" + std::to_string(serial);
  r[7] = "1/Yes";
  r[9] = feeder;
  r[10] = "0/";
  return r;
}

class VisionRunSim : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().languageSet = 0;
    smt::CurrentMachine().headCount = 1;
    smt::platform::WorkerThreads::Instance().ResetForTests();
    for (const auto& f : smt::library::ListFiles()) {
      smt::platform::ListFileContent c;
      if (f.hasLeading) c.leading = "";
      if (f.id == smt::library::ListFileId::Feed) c.rows = {"1\t料架组1\t", "料架组1\t\t0\t"};
      smt::platform::WriteListFile(dir / f.name, c);
    }
    dir.Write("config.ini",
              "[MachineSetConfig]\nMachineSet=2\n"
              "[CameraListConfig]\nm_HighSpeedCamera=1\nm_MarkCamera=1\nm_VisualCamera1=1\nm_VisualCamera2=1\n"
              "m_FlyCamera=1\n");
  }

  void TearDown() override {
    if (smt::CurrentMachine().runContinue) {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.pauseEvent.Set();
      WaitEnd(10s);
    }
    if (app) {
      if (auto* v = app->frame()->view(); v && v->m_pSetView) v->m_pSetView->CloseCameras();
      app->ExitInstance();
    }
    app.reset();
    sim->SetWorld(nullptr);
    smt::platform::ClearProfileCache();
    smt::run::SetStrategy(smt::CurrentMachine(), {});
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = smt::CurrentMachine().steps.zPulsePerMm = smt::CurrentMachine().steps.aPulsePerDeg = 1;
    smt::CurrentMachine().correction.mark1DevStepsX = smt::CurrentMachine().correction.mark1DevStepsY = smt::CurrentMachine().correction.mark2DevStepsX = smt::CurrentMachine().correction.mark2DevStepsY = 0;
    smt::CurrentMachine().correction.boardRotation = 0.0;
    smt::CurrentMachine().camera.highSpeedCamera = 0;
    smt::CurrentMachine().headCount = 1;
    SetCaptureDeviceSource({});
    MotionSimTest::TearDown();
  }

  CSMTView& View() { return *app->frame()->view(); }
  std::string Info() {
    std::string all;
    for (const auto& t : hooks.Info()) all += t;
    return all;
  }
  std::string Shown() {
    std::string all;
    for (const auto& t : messages.service.Texts()) all += "[" + t + "] ";
    return all;
  }

  // The program with the simulated machine's cameras, connected and homed:
  // its industrial cameras (high-speed camera mode 1), or `captureDevices`
  // capture cameras (mode 0) opened from the camera panel.
  void StartProgram(int machineType, int headSelect, int captureDevices = 0, const std::string& moreConfig = {}) {
    const int highSpeed = captureDevices > 0 ? 0 : 1;
    dir.Write("config.ini", "[MachineSetConfig]\nMachineSet=" + std::to_string(machineType) +
                                "\n[CameraListConfig]\nm_HighSpeedCamera=" + std::to_string(highSpeed) +
                                "\nm_MarkCamera=1\nm_VisualCamera1=1\nm_VisualCamera2=1\nm_FlyCamera=1\n" + moreConfig);
    app = std::make_unique<CSMTApp>();
    CSMTApp::Options o;
    o.appDir = dir.str();
    o.installQtServices = false;
    o.show = false;
    ASSERT_TRUE(app->InitInstance(o));
    // The run talks to the simulated board over UDP.
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = &link;
    smt::link::RuntimeOf(smt::CurrentMachine()).serial = &serial;
    smt::link::RuntimeOf(smt::CurrentMachine()).hooks = &hooks;
    UseUdp();
    UpdateSettings([this](smt::link::MotionSettings& m) {
      m.xLimit = m.xLimitAbs = 200000;
      m.yLimit = -150000;
      m.yLimitAbs = 150000;
      m.zLimit = -6000;
      m.aRevolution = static_cast<int>(std::lround(360 * stepsPerDeg));
      m.resetToVisualOrigin = true;  // homing ends with the camera at the vision origin
    });
    sim->SetHeadMask(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load());  // the heads the program expects are fitted
    smt::CurrentMachine().connected = true;
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;

    auto& machine = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
    smt::settings::PulseSettings pulse = *machine.Pulse();
    pulse.m_X_Pulse = pulse.m_Y_Pulse = stepsPerMm;
    pulse.m_Z_Pulse = 100;
    pulse.m_A_Pulse = stepsPerDeg;
    machine.SetPulse(pulse);
    smt::settings::BasicSettings basic = *machine.Basic();
    basic.m_X_CameraToNozzle1 = -40;
    basic.m_Y_CameraToNozzle1 = 12;
    basic.m_X_Nozzle2ToNozzle1 = 30;
    basic.m_X_Nozzle3ToNozzle1 = 60;
    basic.m_X_Nozzle4ToNozzle1 = 90;
    basic.m_X_Nozzle5ToNozzle1 = 120;
    basic.m_X_Nozzle6ToNozzle1 = 150;
    basic.m_X_Nozzle7ToNozzle1 = 180;
    basic.m_X_Nozzle8ToNozzle1 = 210;
    basic.m_X_ThrowPosition = 450;
    basic.m_Y_ThrowPosition = -20;
    basic.m_Z_Nozzle1ToPCBHeight = -10;
    basic.m_AutoMagnify = 4.0;
    basic.m_ResetToVisualOrigin = 1;
    basic.m_X_Limit = 2000;
    basic.m_Y_Limit = -1500;
    basic.m_X_VisualOrigin = 20;
    basic.m_Y_VisualOrigin = -20;
    machine.SetBasic(basic);
    // What confirming the settings dialogs does: the step geometry follows.
    smt::job::LoadStepGeometry(smt::CurrentMachine());
    smt::job::SetupHeadLayout(smt::CurrentMachine());

    smt::run::SmtStrategy st = smt::run::Strategy(smt::CurrentMachine());
    st.m_HeaderSelect = headSelect;
    st.m_RunSelect = 0;
    st.m_AutoChangeNozzle = 0;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
    smt::CurrentMachine().headCount = smt::run::HeadCountOfMode(headSelect);

    // Vision cameras 1 and 2 and their values.
    CDialogCameraList& list = *View().m_pCameraList;
    for (int c = 0; c < 2; ++c) {
      smt::vision::CameraRecord r;
      r.CameraNumber = c + 1;
      r.CameraPulse_X = static_cast<int32_t>((300 + 40 * c) * stepsPerMm);
      r.CameraPulse_Y = static_cast<int32_t>(-50 * stepsPerMm);
      r.VisualZoom = 80;
      r.VisualSize = 12.6;
      r.CorrectionTimes = 5;
      r.Precision_XY = xyPrecisionSteps;
      r.Precision_A = anglePrecisionSteps;
      r.CollectTime = 80;
      (c == 0 ? list.m_Camera_first : list.m_Camera_second) = r;
    }
    // The camera table's first two rows are the vision cameras the feeders name.
    app->frame()->Lists().cameraRows = smt::vision::ReadCameraRows({"Camera 1\t", "Camera 2\t"}, "config_camera.fig");
    list.m_Settings.m_iFlyStartSpeed = 5;
    list.m_Settings.m_iFlyNormalSpeed = 9;

    // The simulated machine's world, with the same geometry.
    world = std::make_shared<smt::sim::SimWorld>();
    smt::sim::WorldGeometry g;
    g.stepsPerMmX = g.stepsPerMmY = stepsPerMm;
    g.stepsPerDegA = stepsPerDeg;
    for (int k = 2; k <= 8; ++k) {
      g.headOffsetX[static_cast<size_t>(k - 1)] = smt::job::NozzleOffsetX(smt::CurrentMachine(), k);
      g.headOffsetY[static_cast<size_t>(k - 1)] = smt::job::NozzleOffsetY(smt::CurrentMachine(), k);
    }
    g.markCameraX = smt::CurrentMachine().steps.cameraOffsetX;
    g.markCameraY = smt::CurrentMachine().steps.cameraOffsetY;
    g.visionCameraX = {list.m_Camera_first.CameraPulse_X, list.m_Camera_second.CameraPulse_X};
    g.visionCameraY = {list.m_Camera_first.CameraPulse_Y, list.m_Camera_second.CameraPulse_Y};
    // The side camera sees head 2 while head 1 is over camera 1, its centre
    // a little away from head 2; the camera list holds head 2's place seen
    // from the side camera's centre.
    g.sideCameraX = list.m_Camera_first.CameraPulse_X + smt::job::NozzleOffsetX(smt::CurrentMachine(), 2) +
                    static_cast<int32_t>(kSideX * stepsPerMm);
    g.sideCameraY = list.m_Camera_first.CameraPulse_Y + smt::job::NozzleOffsetY(smt::CurrentMachine(), 2) +
                    static_cast<int32_t>(kSideY * stepsPerMm);
    list.m_Settings.m_Correct_X = -kSideX;
    list.m_Settings.m_Correct_Y = -kSideY;
    world->SetGeometry(g);
    sim->SetWorld(world.get());
    recordWorld = world.get();
    smt::sim::WorldCameraLook look;
    look.cols = 1280;
    look.rows = 1024;
    look.pixelsPerMm = {18.0, 80.0, 80.0};
    cameras = smt::sim::MakeWorldCameras(world, look);
    if (captureDevices > 0) {
      // The capture devices the program lists, each frame counted.
      auto inner = smt::sim::MakeWorldCaptureDevices(world, look, captureDevices);
      CaptureDeviceSource counted = inner;
      counted.open = [this, inner](int index) -> std::unique_ptr<CCameraDS> {
        std::shared_ptr<CCameraDS> cam = inner.open(index);
        if (!cam) return nullptr;
        return std::make_unique<CCameraDS>([this, cam, index]() -> cv::Mat {
          cv::Mat m;
          if (cam->QueryFrame(m)) ++captureFrames[static_cast<size_t>(index)];
          return m;
        });
      };
      SetCaptureDeviceSource(counted);
    }
    View().m_pSetView->SetCameraSystem(cameras.system);
    View().m_pSetView->OnInitDialog(dir.str());
    if (captureDevices > 0) {
      // The operator opens the capture cameras on the camera panel.
      View().m_pSetView->OnBnClickedOpenCamera();
      ASSERT_TRUE(View().m_pSetView->m_pDirectShowCamera[0] != nullptr) << Shown();
    }
    smt::job::SetupHeadLayout(smt::CurrentMachine());
  }

  // A panel of two boards side by side with two marks, turned and shifted
  // on the machine by what the job does not know.
  void LoadJob(const std::string& camera, bool fly, double offX, double offY, double turn) {
    smt::job::PcbRecord rec;
    rec.m_strName = "PANEL";
    rec.m_nRows = 1;
    rec.m_nCols = 2;
    rec.m_dColSpace = 40;
    rec.m_dOriginX = 270;
    rec.m_dOriginY = -120;
    rec.m_bMarkEnable = true;
    rec.m_dMark1X = 2;
    rec.m_dMark1Y = -2;
    rec.m_dMark2X = 70;
    rec.m_dMark2Y = -30;
    rec.m_dVisualZoom = 18;
    rec.m_dVisualBox = markBoxMm;
    rec.m_dMarkDiameter = 1.0;
    rec.m_nLightContrast = 120;
    rec.m_nLightBrightness = 90;
    rec.m_nVisualTimes = 3;
    rec.m_nMarkCollectTime = 100;
    rec.m_PanelGrid = smt::job::FullPanelGrid(1, 2);
    // The rows set before, or five at assorted angles.
    if (rows.empty()) rows = {{5, -5, 90}, {12, -8, 0}, {20, -15, 45}, {8, -20, 30}, {26, -6, 180}};
    const char* feeders[] = {"W1", "W2"};
    for (size_t i = 0; i < rows.size(); ++i)
      rec.m_Parts.push_back(smt::job::PlacementFromStoredCells(StoredRow(static_cast<int>(i + 1), rows[i].x, rows[i].y, rows[i].angle, feeders[i % 2])));
    CDialogPartList& pl = *View().m_pPartList;
    pl.Job().pcbs.m_Records.push_back(rec);
    pl.Job().pcbs.m_strCurPcbName = rec.m_strName;
    pl.Job().ShowRecord(0);

    auto& table = View().m_pFeedList->Table();
    table.ReplaceCurrentRows({Feeder("W1", 260, -20, camera, fly), Feeder("W2", 264, -20, camera, fly)},
                             {smt::feeder::TrayRecord::Default(), smt::feeder::TrayRecord::Default()});
    View().m_pFeedList->ShowCurrentGroup();
    world->AddFeeder({260, -20, 0, 5.0, 2.5});
    world->AddFeeder({264, -20, 0, 5.0, 2.5});
    smt::sim::WorldBoard b;
    b.originX = rec.m_dOriginX;
    b.originY = rec.m_dOriginY;
    b.offsetX = offX;
    b.offsetY = offY;
    b.rotationDeg = turn;
    b.marks = {{rec.m_dMark1X, rec.m_dMark1Y}, {rec.m_dMark2X, rec.m_dMark2Y}};
    b.markDiameter = rec.m_dMarkDiameter;
    world->SetBoard(b);
    world->SetPickErrors({{0.25, -0.15, 2.0}, {-0.2, 0.3, -1.5}, {0.1, 0.2, 3.0}, {-0.3, -0.1, -2.5}, {0.15, 0.25, 1.0}});
  }

  // Every target on the board: the rows in both boards of the panel.
  std::vector<Target> Targets() const {
    std::vector<Target> out;
    for (int cell = 0; cell < 2; ++cell)
      for (const auto& r : rows) out.push_back({r.x + 40 * cell, r.y, r.angle});
    return out;
  }

  // Waits for the run's end; `atEnd` gets the operator messages of the run
  // and of the closing home. The run's end homes the machine: done when it
  // is homed again.
  bool WaitEnd(std::chrono::milliseconds limit = 60s, std::vector<std::string>* atEnd = nullptr) {
    const auto end = std::chrono::steady_clock::now() + limit;
    bool ended = false;
    while (std::chrono::steady_clock::now() < end) {
      QApplication::processEvents();
      if (!ended && !smt::CurrentMachine().runContinue.load() && smt::run::SmtBusy(smt::CurrentMachine()).load() == 0) ended = true;
      if (ended && !smt::CurrentMachine().machineBusy.load() && smt::CurrentMachine().resetDone.load()) {
        // A little longer: a late word of the closing home is seen too.
        for (int i = 0; i < 50; ++i) {
          QApplication::processEvents();
          std::this_thread::sleep_for(2ms);
        }
        if (atEnd) *atEnd = messages.service.Texts();
        return true;
      }
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  // The largest distance (mm) and turn (degrees) of a placement from its target.
  static double AngleGap(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180) d -= 360;
    if (d < -180) d += 360;
    return std::fabs(d);
  }
  struct Miss {
    double mm = 0, deg = 0;
    int unmatched = 0;
  };
  Miss Worst() const {
    Miss m;
    const auto placed = world->Placements();
    auto targets = Targets();
    for (const auto& t : targets) {
      const smt::sim::Release* best = nullptr;
      double bestD = 1e9;
      for (const auto& p : placed) {
        const double d = std::hypot(p.boardX - t.x, p.boardY - t.y);
        if (d < bestD) {
          bestD = d;
          best = &p;
        }
      }
      if (!best || bestD > 3.0) {
        ++m.unmatched;
        continue;
      }
      m.mm = std::max(m.mm, bestD);
      m.deg = std::max(m.deg, AngleGap(best->boardAngleDeg, t.angle));
    }
    return m;
  }

  smt::test::TempDir dir;
  std::unique_ptr<CSMTApp> app;
  std::shared_ptr<smt::sim::SimWorld> world;
  smt::sim::WorldCameras cameras;
  std::vector<Target> rows;
  std::array<std::atomic<int>, 2> captureFrames{};
  // The machine's scales: set before StartProgram.
  double stepsPerMm = kStepsPerMm, stepsPerDeg = kStepsPerDeg;
  int anglePrecisionSteps = 4;  // the vision cameras' A precision (steps)
  int xyPrecisionSteps = 1;     // and their X/Y precision (steps)
  double markBoxMm = 3;         // the board's Mark search box
};

}  // namespace visionrun



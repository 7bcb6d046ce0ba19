// Whole placement runs of the program as main() builds it, on a simulated
// machine whose cameras see what the machine does: a board put down off its
// nominal place and turned, parts picked each with its own error, centred by
// the vision cameras and placed where the board truly is. The simulated
// machine records where every part was let go.
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

namespace {

using namespace std::chrono_literals;
using smt::feeder::FeederRow;

constexpr double kStepsPerMm = 100, kStepsPerDeg = 100;
constexpr double kSideX = 0.3, kSideY = -0.2;  // side camera's centre from head 2 (mm)

struct Target {
  double x, y, angle;
};

FeederRow Feeder(const std::string& number, double x, double y, const std::string& camera, bool fly) {
  FeederRow r;
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

std::vector<std::string> StoredRow(int serial, double x, double y, double angle, const std::string& feeder) {
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
    g_nLanguageSet = 0;
    g_nHeadCount = 1;
    smt::platform::WorkerThreads::Instance().ResetForTests();
    for (const auto& f : smt::app::ListFiles()) {
      smt::platform::ListFileContent c;
      if (f.hasLeading) c.leading = "";
      if (f.id == smt::app::ListFileId::Feed) c.rows = {"1\t料架组1\t", "料架组1\t\t0\t"};
      smt::platform::WriteListFile(dir / f.name, c);
    }
    dir.Write("config.ini",
              "[MachineSetConfig]\nMachineSet=2\n"
              "[CameraListConfig]\nm_HighSpeedCamera=1\nm_MarkCamera=1\nm_VisualCamera1=1\nm_VisualCamera2=1\n"
              "m_FlyCamera=1\n");
  }

  void TearDown() override {
    if (g_bRunContinue) {
      g_bRunContinue = false;
      g_hPauseEvent.Set();
      WaitEnd(10s);
    }
    if (app) {
      if (auto* v = app->frame()->view(); v && v->m_pSetView) v->m_pSetView->CloseCameras();
      app->ExitInstance();
    }
    app.reset();
    sim->SetWorld(nullptr);
    smt::platform::ClearProfileCache();
    smt::run::SetStrategy({});
    g_dXPulsePerMm = g_dYPulsePerMm = g_dZPulsePerMm = g_dAPulsePerDeg = 1;
    g_nMark1DevStepsX = g_nMark1DevStepsY = g_nMark2DevStepsX = g_nMark2DevStepsY = 0;
    g_dBoardRotation = 0.0;
    g_nHighSpeedCamera = 0;
    g_nHeadCount = 1;
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
  void StartProgram(int machineType, int headSelect, int captureDevices = 0) {
    const int highSpeed = captureDevices > 0 ? 0 : 1;
    dir.Write("config.ini", "[MachineSetConfig]\nMachineSet=" + std::to_string(machineType) +
                                "\n[CameraListConfig]\nm_HighSpeedCamera=" + std::to_string(highSpeed) +
                                "\nm_MarkCamera=1\nm_VisualCamera1=1\nm_VisualCamera2=1\nm_FlyCamera=1\n");
    app = std::make_unique<CSMTApp>();
    CSMTApp::Options o;
    o.appDir = dir.str();
    o.installQtServices = false;
    o.show = false;
    ASSERT_TRUE(app->InitInstance(o));
    // The run talks to the simulated board over UDP.
    smt::link::Runtime().udp = &link;
    smt::link::Runtime().serial = &serial;
    smt::link::Runtime().hooks = &hooks;
    UseUdp();
    UpdateSettings([](smt::link::MotionSettings& m) {
      m.xLimit = m.xLimitAbs = 200000;
      m.yLimit = -150000;
      m.yLimitAbs = 150000;
      m.zLimit = -6000;
      m.aRevolution = 360 * static_cast<int>(kStepsPerDeg);
      m.resetToVisualOrigin = true;  // homing ends with the camera at the vision origin
    });
    sim->SetHeadMask(smt::link::Runtime().headMask.load());  // the heads the program expects are fitted
    g_bConnected = true;
    g_bResetDone = true;
    g_bMasterResetOk = true;

    auto& machine = smt::settings::SettingsStores::Instance().machine;
    smt::settings::PulseSettings pulse = *machine.Pulse();
    pulse.m_X_Pulse = pulse.m_Y_Pulse = kStepsPerMm;
    pulse.m_Z_Pulse = 100;
    pulse.m_A_Pulse = kStepsPerDeg;
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
    smt::job::LoadStepGeometry();
    smt::job::SetupHeadLayout();

    smt::run::SmtStrategy st = smt::run::Strategy();
    st.m_HeaderSelect = headSelect;
    st.m_RunSelect = 0;
    st.m_AutoChangeNozzle = 0;
    smt::run::SetStrategy(st);
    g_nHeadCount = smt::run::HeadCountOfMode(headSelect);

    // Vision cameras 1 and 2 and their values.
    CDialogCameraList& list = *View().m_pCameraList;
    for (int c = 0; c < 2; ++c) {
      smt::vision::CameraRecord r;
      r.CameraNumber = c + 1;
      r.CameraPulse_X = static_cast<int32_t>((300 + 40 * c) * kStepsPerMm);
      r.CameraPulse_Y = static_cast<int32_t>(-50 * kStepsPerMm);
      r.VisualZoom = 80;
      r.VisualSize = 12.6;
      r.CorrectionTimes = 5;
      r.Precision_XY = 1;
      r.Precision_A = 4;
      r.CollectTime = 80;
      (c == 0 ? list.m_Camera_first : list.m_Camera_second) = r;
    }
    // The camera table's first two rows are the vision cameras the feeders name.
    app->frame()->m_lists.cameraRows = {"Camera 1\t", "Camera 2\t"};
    list.m_Settings.m_iFlyStartSpeed = 5;
    list.m_Settings.m_iFlyNormalSpeed = 9;

    // The simulated machine's world, with the same geometry.
    world = std::make_shared<smt::sim::SimWorld>();
    smt::sim::WorldGeometry g;
    g.stepsPerMmX = g.stepsPerMmY = kStepsPerMm;
    g.stepsPerDegA = kStepsPerDeg;
    for (int k = 2; k <= 8; ++k) {
      g.headOffsetX[static_cast<size_t>(k - 1)] = smt::job::NozzleOffsetX(k);
      g.headOffsetY[static_cast<size_t>(k - 1)] = smt::job::NozzleOffsetY(k);
    }
    g.markCameraX = g_nCameraOffsetX;
    g.markCameraY = g_nCameraOffsetY;
    g.visionCameraX = {list.m_Camera_first.CameraPulse_X, list.m_Camera_second.CameraPulse_X};
    g.visionCameraY = {list.m_Camera_first.CameraPulse_Y, list.m_Camera_second.CameraPulse_Y};
    // The side camera sees head 2 while head 1 is over camera 1, its centre
    // a little away from head 2; the camera list holds head 2's place seen
    // from the side camera's centre.
    g.sideCameraX = list.m_Camera_first.CameraPulse_X + smt::job::NozzleOffsetX(2) +
                    static_cast<int32_t>(kSideX * kStepsPerMm);
    g.sideCameraY = list.m_Camera_first.CameraPulse_Y + smt::job::NozzleOffsetY(2) +
                    static_cast<int32_t>(kSideY * kStepsPerMm);
    list.m_Settings.m_Correct_X = -kSideX;
    list.m_Settings.m_Correct_Y = -kSideY;
    world->SetGeometry(g);
    sim->SetWorld(world.get());
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
    smt::job::SetupHeadLayout();
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
    rec.m_dVisualBox = 3;
    rec.m_dMarkDiameter = 1.0;
    rec.m_nLightContrast = 120;
    rec.m_nLightBrightness = 90;
    rec.m_nVisualTimes = 3;
    rec.m_nMarkCollectTime = 100;
    rec.m_PanelGrid = smt::job::FullPanelGrid(1, 2);
    rows = {{5, -5, 90}, {12, -8, 0}, {20, -15, 45}, {8, -20, 30}, {26, -6, 180}};
    const char* feeders[] = {"W1", "W2"};
    for (size_t i = 0; i < rows.size(); ++i)
      rec.m_Parts.push_back(StoredRow(static_cast<int>(i + 1), rows[i].x, rows[i].y, rows[i].angle, feeders[i % 2]));
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
      if (!ended && !g_bRunContinue.load() && smt::run::SmtBusy().load() == 0) ended = true;
      if (ended && !g_bMachineBusy.load() && g_bResetDone.load()) {
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
};

struct RunCase {
  const char* name;
  int machineType, headSelect;
  const char* camera;  // feeders' vision cell
  bool fly;            // centred in flight
  bool centred;        // the parts land on target
};

class VisionRunCases : public VisionRunSim, public ::testing::WithParamInterface<RunCase> {};

TEST_P(VisionRunCases, EveryPartLandsOnTheTrueBoard) {
  const RunCase c = GetParam();
  StartProgram(c.machineType, c.headSelect);
  LoadJob(c.camera, c.fly, 0.4, -0.3, 0.6);
  Introduce();
  ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitEnd(60s, &shown)) << "busy " << g_bMachineBusy.load() << " run " << g_bRunContinue.load() << " homed " << g_bResetDone.load() << "\n" << Info();
  EXPECT_TRUE(shown.empty()) << shown.front() << Info();
  // The closing home ends with the Mark camera at the vision origin.
  ASSERT_FALSE(world->GantryStops().empty());
  EXPECT_EQ(world->GantryStops().back(), (std::array<int64_t, 2>{6000, -3200}));
  EXPECT_EQ(world->Placements().size(), Targets().size());
  int highestHead = 0;
  for (const auto& r : world->Placements()) highestHead = std::max(highestHead, r.head);
  EXPECT_EQ(highestHead, std::min(g_nHeadCount.load(), static_cast<int>(rows.size())))
      << "every head of the machine type places (as many as a board has rows)";
  int flyPasses = 0;
  for (const auto& r : sim->Received()) flyPasses += r.code == 0x63 ? 1 : 0;
  if (c.fly) EXPECT_GT(flyPasses, 0) << "the heads crossed the fly camera";
  else EXPECT_EQ(flyPasses, 0);
  const Miss m = Worst();
  EXPECT_EQ(m.unmatched, 0);
  if (c.centred) {
    EXPECT_LE(m.mm, 0.05) << Info();
    EXPECT_LE(m.deg, 0.2);
  } else {
    EXPECT_GT(std::max(m.mm / 0.05, m.deg / 0.2), 2.0) << "without vision the pick errors stay";
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, VisionRunCases,
                         ::testing::Values(RunCase{"TwoHeadsStopAndLook", 2, 1, "Yes/Camera 1", false, true},
                                           RunCase{"TwoHeadsFly", 2, 1, "Yes/Camera 1", true, true},
                                           RunCase{"TwoHeadsVisionOff", 2, 1, "No/Camera 1", false, false},
                                           RunCase{"TwoHeadsCamera2", 2, 1, "Yes/Camera 2", false, true},
                                           RunCase{"FourHeadsStopAndLook", 3, 3, "Yes/Camera 1", false, true},
                                           RunCase{"FourHeadsFly", 3, 3, "Yes/Camera 1", true, true},
                                           RunCase{"FourHeadsVisionOff", 3, 3, "No/Camera 1", false, false},
                                           RunCase{"EightHeadsStopAndLook", 7, 6, "Yes/Camera 1", false, true},
                                           RunCase{"EightHeadsFly", 7, 6, "Yes/Camera 1", true, true},
                                           RunCase{"EightHeadsVisionOff", 7, 6, "No/Camera 1", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A feeder whose pockets are empty: the vision camera sees a bare nozzle,
// the part is not centred and the operator is asked what to do.
struct FailureCase {
  const char* name;
  smt::platform::MsgAnswer answer;
  size_t placed;  // W1's parts of both boards are placed when W2's are skipped
};

class VisionFailureCases : public VisionRunSim, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(VisionFailureCases, TheOperatorDecidesAboutAPartVisionCannotCentre) {
  const FailureCase c = GetParam();
  StartProgram(2, 1);
  LoadJob("Yes/Camera 1", false, 0.4, -0.3, 0.6);
  world->SetFeederEmpty(1, true);
  messages.service.SetDefaultAnswer(c.answer);
  Introduce();
  ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
  ASSERT_TRUE(WaitEnd(90s)) << Info();
  ASSERT_FALSE(messages.service.Texts().empty()) << "the operator was asked";
  if (c.answer == smt::platform::MsgAnswer::Yes) EXPECT_EQ(world->Placements().size(), c.placed);
  else EXPECT_LT(world->Placements().size(), 6u);
  for (const auto& p : world->Placements()) EXPECT_EQ(p.part.feeder, 0) << "no part of the empty feeder";
}

// The operator refills the empty feeder and answers Cancel: the run feeds
// again, picks a new part, centres it and places every part of the job.
class RefillAndRetry : public smt::platform::RecordingMessageService {
 public:
  explicit RefillAndRetry(smt::sim::SimWorld& world) : world_(world) {}
  smt::platform::MsgAnswer Show(const smt::platform::MessageRequest& request) override {
    RecordingMessageService::Show(request);
    if (retried_.exchange(true)) return smt::platform::MsgAnswer::No;
    world_.SetFeederEmpty(1, false);
    return smt::platform::MsgAnswer::Cancel;
  }

 private:
  smt::sim::SimWorld& world_;
  std::atomic<bool> retried_{false};
};

TEST_F(VisionRunSim, RetryAfterARefillFeedsAgainAndPlacesEveryPart) {
  StartProgram(2, 1);
  LoadJob("Yes/Camera 1", false, 0.4, -0.3, 0.6);
  world->SetFeederEmpty(1, true);
  RefillAndRetry operatorAnswers(*world);
  smt::platform::MessageService::Install(&operatorAnswers);
  Introduce();
  const bool started = View().m_pPartList->Run().OnStart();
  const bool ended = started && WaitEnd(90s);
  smt::platform::MessageService::Install(&messages.service);
  ASSERT_TRUE(started);
  ASSERT_TRUE(ended) << Info();
  ASSERT_EQ(operatorAnswers.Texts().size(), 1u) << "asked once, the retry succeeds";
  EXPECT_EQ(world->Placements().size(), Targets().size());
  const Miss m = Worst();
  EXPECT_EQ(m.unmatched, 0);
  EXPECT_LE(m.mm, 0.05) << Info();
  EXPECT_LE(m.deg, 0.2);
}

INSTANTIATE_TEST_SUITE_P(Runs, VisionFailureCases,
                         ::testing::Values(FailureCase{"SkipGoesOn", smt::platform::MsgAnswer::Yes, 6},
                                           FailureCase{"StopEndsTheRun", smt::platform::MsgAnswer::No, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Capture cameras (high-speed camera mode 0): the camera panel's capture
// devices behind the machine's video switch. On machine type 5 with two of
// them, head 2 is seen by the side camera while head 1 is over camera 1.
struct CaptureCase {
  const char* name;
  int machineType, headSelect, devices;
  const char* fly;     // "Yes" or "No": both heads centred in one pass
  bool sideView;       // head 2 seen by the side camera, without a move of its own
};

class CaptureRunCases : public VisionRunSim, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(CaptureRunCases, EveryPartLandsOnTheTrueBoard) {
  const CaptureCase c = GetParam();
  StartProgram(c.machineType, c.headSelect, c.devices);
  LoadJob("Yes/Camera 1", std::string(c.fly) == "Yes", 0.4, -0.3, 0.6);
  Introduce();
  for (auto& n : captureFrames) n = 0;
  ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitEnd(60s, &shown)) << Info();
  EXPECT_TRUE(shown.empty()) << shown.front() << Info();
  EXPECT_EQ(world->Placements().size(), Targets().size());
  const Miss m = Worst();
  EXPECT_EQ(m.unmatched, 0);
  EXPECT_LE(m.mm, 0.05) << Info();
  EXPECT_LE(m.deg, 0.2);
  EXPECT_GT(captureFrames[0].load(), 0) << "the Mark and vision frames came from the capture camera";
  // Head 2 over camera 1 on its own: the gantry at camera 1 less head 2's offset.
  const auto& cam1 = View().m_pCameraList->m_Camera_first;
  const int32_t head2X = cam1.CameraPulse_X - smt::job::NozzleOffsetX(2);
  const int32_t head2Y = cam1.CameraPulse_Y - smt::job::NozzleOffsetY(2);
  int head2Moves = 0;
  for (const auto& at : world->GantryStops())
    if (at[0] == head2X && at[1] == head2Y) ++head2Moves;
  if (c.sideView) {
    EXPECT_GT(captureFrames[1].load(), 0) << "head 2 seen by the side camera";
    EXPECT_EQ(head2Moves, 0) << "head 2 needs no move of its own";
  } else {
    EXPECT_EQ(captureFrames[1].load(), 0);
    EXPECT_GT(head2Moves, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CaptureRunCases,
    ::testing::Values(CaptureCase{"TwoHeadsOneCaptureCamera", 2, 1, 1, "No", false},
                      CaptureCase{"TwoCamerasSideView", 5, 1, 2, "Yes", true},
                      CaptureCase{"TwoCamerasEachHeadAlone", 5, 1, 2, "No", false},
                      CaptureCase{"OneCameraEachHeadAlone", 5, 1, 1, "Yes", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The feeder list's "pick to camera" test on the eight-head type: the chosen
// head picks from the feeder and brings the part over the chosen vision
// camera, at that camera's place in the camera table.
struct PickTestCase {
  const char* name;
  int mode;  // the feeder list's test: 12 + head for camera 1, 20 + head for camera 2
  int head, camera;
};

class FeederPickTestCases : public VisionRunSim, public ::testing::WithParamInterface<PickTestCase> {};

TEST_P(FeederPickTestCases, ThePartGoesOverTheChosenCamera) {
  const PickTestCase c = GetParam();
  StartProgram(8, 8);
  LoadJob("Yes/Camera 1", false, 0, 0, 0);
  Introduce();
  CDialogFeedList& feeders = *View().m_pFeedList;
  feeders.SelectRow(1, true);
  ASSERT_TRUE(feeders.StartTest(c.mode)) << Shown();
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < end && (g_bMachineBusy.load() || !sim->LastReceived(0x64))) {
    QApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_FALSE(g_bMachineBusy.load()) << Info();
  EXPECT_TRUE(messages.service.Texts().empty()) << Shown();
  const auto& cam = c.camera == 1 ? View().m_pCameraList->m_Camera_first : View().m_pCameraList->m_Camera_second;
  ASSERT_FALSE(world->GantryStops().empty());
  const auto at = world->GantryStops().back();
  EXPECT_EQ(at[0], cam.CameraPulse_X - smt::job::NozzleOffsetX(c.head));
  EXPECT_EQ(at[1], cam.CameraPulse_Y - smt::job::NozzleOffsetY(c.head));
}

INSTANTIATE_TEST_SUITE_P(EightHeads, FeederPickTestCases,
                         ::testing::Values(PickTestCase{"Head1Camera1", 13, 1, 1}, PickTestCase{"Head3Camera2", 23, 3, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A part with its own mark: the mark library's row names where the mark is
// from the part; the camera centres on that mark and the part goes where
// the mark says, wherever the mark truly is on the board.
smt::library::MarkEditFields OwnMark(const std::string& name) {
  smt::library::MarkEditFields m;
  m.name = name;
  m.mark1X = 6;
  m.mark1Y = 4;
  m.allowedDeviation = 2000;
  m.viewBox = 3;
  m.diameter = 1.0;
  m.precision = 30;
  m.contrast = 120;
  m.brightness = 90;
  m.captureTime = 100;
  m.repeats = 2;
  return m;
}

TEST_F(VisionRunSim, APartWithItsOwnMarkGoesWhereTheMarkIs) {
  StartProgram(2, 1);
  // The mark of row 1 lies (0.15, -0.1) mm away from where the job has it.
  const double shiftX = 0.15, shiftY = -0.1;
  LoadJob("Yes/Camera 1", false, 0.4, -0.3, 0.6);
  auto& rec = View().m_pPartList->Job().pcbs.m_Records.back();
  rec.m_Parts[0][14] = "OM1";
  View().m_pPartList->Job().ShowRecord(0);
  smt::library::TheMarkLibrary().m_MarkRows = {smt::library::MakeMarkRow(OwnMark("OM1"))};
  smt::sim::WorldBoard b;
  b.originX = rec.m_dOriginX;
  b.originY = rec.m_dOriginY;
  b.offsetX = 0.4;
  b.offsetY = -0.3;
  b.rotationDeg = 0.6;
  b.marks = {{rec.m_dMark1X, rec.m_dMark1Y}, {rec.m_dMark2X, rec.m_dMark2Y}};
  for (int cell = 0; cell < 2; ++cell)
    b.marks.push_back({rows[0].x + 6 + shiftX + 40 * cell, rows[0].y + 4 + shiftY});
  world->SetBoard(b);
  Introduce();
  ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitEnd(60s, &shown)) << Info();
  EXPECT_TRUE(shown.empty()) << shown.front() << Info();
  const auto placed = world->Placements();
  ASSERT_EQ(placed.size(), Targets().size());
  for (int cell = 0; cell < 2; ++cell) {
    // The mark's place from the part is counted along the machine's axes.
    const auto mark = world->MachinePointOf(rows[0].x + 6 + shiftX + 40 * cell, rows[0].y + 4 + shiftY);
    const auto target = world->BoardPointOf(mark[0] - 6, mark[1] - 4);
    const double tx = target[0], ty = target[1];
    double best = 1e9;
    for (const auto& p : placed) best = std::min(best, std::hypot(p.boardX - tx, p.boardY - ty));
    EXPECT_LE(best, 0.05) << "cell " << cell << ": the part follows its mark\n" << Info();
  }
  int marks = 0;
  for (const auto& t : hooks.Info()) marks += t.find("SpecifyMark") != std::string::npos ? 1 : 0;
  EXPECT_GE(marks, 2) << "the own mark was looked at in both cells";
}

// The labeling machine (type 10) finds a part's own mark by the part's
// template image (Template/<feeder>.png in the program folder).
TEST_F(VisionRunSim, TheLabelingMachineCentresOnTheTemplatesFeature) {
  StartProgram(10, 1);
  LoadJob("Yes/Camera 1", false, 0, 0, 0);
  // A feature of two round pads, its centre 0.3 mm right of and 0.2 mm
  // below the camera's centre (a round-mark search takes one pad).
  const int32_t gx = 8000, gy = -6000;
  const double camX = (gx + g_nCameraOffsetX) / kStepsPerMm, camY = (gy + g_nCameraOffsetY) / kStepsPerMm;
  smt::sim::WorldBoard b;
  b.marks = {{camX + 0.3 - 0.5, camY - 0.2}, {camX + 0.3 + 0.5, camY - 0.2}};
  b.markDiameter = 0.6;
  world->SetBoard(b);
  ASSERT_TRUE(smt::link::SendCmd64MoveXY(gx - g_nCurX, 10, 100, gy - g_nCurY, 10, 100, 0, 0, 0, 0, 0x80));
  // The template: the feature as the Mark camera sees it, cut 2 mm square.
  const cv::Mat whole =
      smt::sim::RenderView({{true, -0.5, 0, 0.6, 0.6, 0, 240}, {true, 0.5, 0, 0.6, 0.6, 0, 240}}, 200, 200, 18.0, 0.0, 1);
  std::filesystem::create_directories(dir / "Template");
  ASSERT_TRUE(cv::imwrite((dir / "Template" / "W7.png").string(), whole(cv::Rect(78, 86, 44, 28))));
  smt::run::HeadPlaceState p;
  p.feederNumber = "W7";
  smt::library::MarkEditFields m = OwnMark("T");
  m.precision = 60;
  m.viewBox = 4;
  m.repeats = 2;
  std::atomic<bool> found{false}, done{false};
  g_bRunContinue = true;  // as in a run: the centring goes on past its pause gate
  std::thread worker([&] {
    found = smt::run::Services().recognizeOwnMark(m, p);
    done = true;
  });
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (!done && std::chrono::steady_clock::now() < end) {
    QApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  worker.join();
  g_bRunContinue = false;
  ASSERT_TRUE(found) << Shown() << Info();
  const double nowX = (sim->Position(0) + g_nCameraOffsetX) / kStepsPerMm;
  const double nowY = (sim->Position(1) + g_nCameraOffsetY) / kStepsPerMm;
  EXPECT_NEAR(nowX, camX + 0.3, 0.05);
  EXPECT_NEAR(nowY, camY - 0.2, 0.05);
}

}  // namespace

namespace {

// The camera panel's camera buttons: the chosen camera's frames come live
// (the one shown before pauses), not a frozen picture under a new name.
TEST_F(VisionRunSim, ACameraButtonShowsThatCamerasLiveFrames) {
  StartProgram(2, 1);
  LoadJob("Yes/Camera 1", false, 0, 0, 0);
  Introduce();
  CDialogSetView& panel = *View().m_pSetView;
  auto pump = [](std::chrono::milliseconds t) {
    const auto end = std::chrono::steady_clock::now() + t;
    while (std::chrono::steady_clock::now() < end) {
      QApplication::processEvents();
      std::this_thread::sleep_for(2ms);
    }
  };
  struct Step {
    void (CDialogSetView::*button)();
    int role;
  };
  for (const Step step : {Step{&CDialogSetView::OnBnClickedOpenVisualCamera1, 1},
                          Step{&CDialogSetView::OnBnClickedOpenVisualCamera2, 2},
                          Step{&CDialogSetView::OnBnClickedOpenMarkCamera, 0}}) {
    (panel.*step.button)();
    pump(300ms);  // the switch settles
    std::array<uint64_t, 3> before{};
    for (int r = 0; r < 3; ++r) before[static_cast<size_t>(r)] = panel.Engine().Stats(r).captured;
    // The chosen camera goes on taking frames (however busy the host is).
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end &&
           panel.Engine().Stats(step.role).captured < before[static_cast<size_t>(step.role)] + 3)
      pump(20ms);
    for (int r = 0; r < 3; ++r) {
      const uint64_t now = panel.Engine().Stats(r).captured;
      // A paused camera may still hand over the one frame it was taking.
      if (r == step.role) EXPECT_GE(now, before[static_cast<size_t>(r)] + 3) << "camera " << r << " plays";
      else EXPECT_LE(now, before[static_cast<size_t>(r)] + 1) << "camera " << r << " is paused";
    }
    EXPECT_EQ(g_nVisionMode.load(), step.role);
  }
  EXPECT_TRUE(messages.service.Texts().empty()) << Shown();
}

}  // namespace

// Whole placement runs of the program as main() builds it, on a simulated
// machine whose cameras see what the machine does (VisionRunFixture.h): capture
// cameras, the feeder list's pick-to-camera test, the camera buttons and the
// vision origin after homing.
#include "VisionRunFixture.h"

using namespace std::chrono_literals;
using visionrun::kStepsPerMm;
using visionrun::Target;
using visionrun::VisionRunSim;

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
  const int32_t head2X = cam1.CameraPulse_X - smt::job::NozzleOffsetX(smt::CurrentMachine(), 2);
  const int32_t head2Y = cam1.CameraPulse_Y - smt::job::NozzleOffsetY(smt::CurrentMachine(), 2);
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
  while (std::chrono::steady_clock::now() < end && (smt::CurrentMachine().machineBusy.load() || !sim->LastReceived(0x64))) {
    QApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_FALSE(smt::CurrentMachine().machineBusy.load()) << Info();
  EXPECT_TRUE(messages.service.Texts().empty()) << Shown();
  const auto& cam = c.camera == 1 ? View().m_pCameraList->m_Camera_first : View().m_pCameraList->m_Camera_second;
  ASSERT_FALSE(world->GantryStops().empty());
  const auto at = world->GantryStops().back();
  EXPECT_EQ(at[0], cam.CameraPulse_X - smt::job::NozzleOffsetX(smt::CurrentMachine(), c.head));
  EXPECT_EQ(at[1], cam.CameraPulse_Y - smt::job::NozzleOffsetY(smt::CurrentMachine(), c.head));
}

INSTANTIATE_TEST_SUITE_P(EightHeads, FeederPickTestCases,
                         ::testing::Values(PickTestCase{"Head1Camera1", 13, 1, 1}, PickTestCase{"Head3Camera2", 23, 3, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(smt::CurrentMachine().camera.visionMode.load(), step.role);
  }
  EXPECT_TRUE(messages.service.Texts().empty()) << Shown();
}

}  // namespace

namespace {

// After homing the Mark camera goes to the vision origin and centres on its
// mark with the shown board's stored Mark camera zoom: the PCB editor's
// fields (here edited to a zoom of 1 and a precision of 1, never applied)
// are not the board's values.
TEST_F(VisionRunSim, HomingCentresOnTheVisionOriginMarkWithTheShownBoardsValues) {
  StartProgram(2, 1);
  LoadJob("Yes/Camera 1", false, 0, 0, 0);
  auto& machine = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  smt::settings::BasicSettings basic = *machine.Basic();
  basic.m_CottectionTimeReset = 4;
  basic.m_VisualOriginSize = 1.0;
  basic.m_VisualOriginBox = 3;
  machine.SetBasic(basic);
  // The vision origin's mark lies 0.2 / 0.1 mm from where the settings put it.
  const auto& rec = View().m_pPartList->Job().pcbs.m_Records.back();
  smt::sim::WorldBoard b;
  b.originX = rec.m_dOriginX;
  b.originY = rec.m_dOriginY;
  b.marks = {{rec.m_dMark1X, rec.m_dMark1Y}, {rec.m_dMark2X, rec.m_dMark2Y},
             {20.2 - rec.m_dOriginX, -19.9 - rec.m_dOriginY}};
  world->SetBoard(b);
  auto& editor = View().m_pPartList->PcbEditor().Fields();
  editor.m_VisualZoom = 1.0;
  editor.m_DetectPrecision = 1;
  Introduce();
  smt::CurrentMachine().resetDone = false;
  ASSERT_TRUE(smt::link::MachineHoming::Of(smt::CurrentMachine()).StartHomeThread(0, 0));
  const auto end = std::chrono::steady_clock::now() + 20s;
  bool settled = false;
  while (std::chrono::steady_clock::now() < end && !settled) {
    QApplication::processEvents();
    std::this_thread::sleep_for(5ms);
    settled = smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load() &&
              !smt::link::MachineHoming::Of(smt::CurrentMachine()).m_bResetToOriginPending.load();
  }
  // The correction's last moves.
  for (int i = 0; i < 100; ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(settled) << Info();
  EXPECT_TRUE(messages.service.Texts().empty()) << Shown();
  const double camX = (sim->Position(0) + smt::CurrentMachine().steps.cameraOffsetX) / stepsPerMm;
  const double camY = (sim->Position(1) + smt::CurrentMachine().steps.cameraOffsetY) / stepsPerMm;
  EXPECT_NEAR(camX, 20.2, 0.05) << "the camera centred on the origin mark\n" << Info();
  EXPECT_NEAR(camY, -19.9, 0.05);
}

}  // namespace

// Whole placement runs of the program as main() builds it, on a simulated
// machine whose cameras see what the machine does (VisionRunFixture.h).
#include "VisionRunFixture.h"

using namespace std::chrono_literals;
using visionrun::kStepsPerMm;
using visionrun::Target;
using visionrun::VisionRunSim;

namespace {

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
  ASSERT_TRUE(WaitEnd(60s, &shown)) << "busy " << smt::CurrentMachine().machineBusy.load() << " run " << smt::CurrentMachine().runContinue.load() << " homed " << smt::CurrentMachine().resetDone.load() << "\n" << Info();
  EXPECT_TRUE(shown.empty()) << shown.front() << Info();
  // The closing home ends with the Mark camera at the vision origin.
  ASSERT_FALSE(world->GantryStops().empty());
  EXPECT_EQ(world->GantryStops().back(), (std::array<int64_t, 2>{6000, -3200}));
  EXPECT_EQ(world->Placements().size(), Targets().size());
  int highestHead = 0;
  for (const auto& r : world->Placements()) highestHead = std::max(highestHead, r.head);
  EXPECT_EQ(highestHead, std::min(smt::CurrentMachine().headCount.load(), static_cast<int>(rows.size())))
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
  if (c.answer == smt::platform::MsgAnswer::Yes) EXPECT_EQ(world->Placements().size(), c.placed) << Shown();
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
  while (std::chrono::steady_clock::now() < end && (smt::CurrentMachine().machineBusy.load() || !sim->LastReceived(0x64))) {
    QApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_FALSE(smt::CurrentMachine().machineBusy.load()) << Info();
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
  rec.m_Parts[0].ownMark = "OM1";
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

// The labeling machine (type 10) with label paper from its feeders: each
// run ends with the machine homed again (X, Y and Z), so the next sheet
// starts with Start; both runs place every part.
TEST_F(VisionRunSim, TheLabelingRunEndsHomedAndTheNextSheetStartsWithStart) {
  StartProgram(10, 1, 0, "[LabelingSetConfig]\nm_GlassSheets=1\n");
  LoadJob("No/Camera 1", false, 0, 0, 0);
  Introduce();
  for (int sheet = 0; sheet < 2; ++sheet) {
    SCOPED_TRACE(sheet);
    const size_t placed = world->Placements().size();
    sim->ClearReceived();
    ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
    std::vector<std::string> shown;
    ASSERT_TRUE(WaitEnd(60s, &shown)) << "busy " << smt::CurrentMachine().machineBusy.load() << " homed "
                                      << smt::CurrentMachine().resetDone.load() << "\n" << Shown() << Info();
    EXPECT_TRUE(shown.empty()) << shown.front();
    EXPECT_EQ(world->Placements().size() - placed, Targets().size());
    // The run's last command is the closing home, after the last placement.
    const auto r = sim->Received();
    ASSERT_FALSE(r.empty());
    size_t lastHome = 0, lastMove = 0;
    for (size_t k = 0; k < r.size(); ++k) {
      if (smt::link::IsHomeCode(static_cast<uint8_t>(r[k].code))) lastHome = k + 1;
      if (smt::link::IsMotionCode(static_cast<uint8_t>(r[k].code))) lastMove = k + 1;
    }
    EXPECT_GT(lastHome, lastMove);
  }
}

// The labeling machine (type 10) finds a part's own mark by the part's
// template image (Template/<feeder>.png in the program folder).
TEST_F(VisionRunSim, TheLabelingMachineCentresOnTheTemplatesFeature) {
  StartProgram(10, 1);
  LoadJob("Yes/Camera 1", false, 0, 0, 0);
  // A feature of two round pads, its centre 0.3 mm right of and 0.2 mm
  // below the camera's centre (a round-mark search takes one pad).
  const int32_t gx = 8000, gy = -6000;
  const double camX = (gx + smt::CurrentMachine().steps.cameraOffsetX) / kStepsPerMm, camY = (gy + smt::CurrentMachine().steps.cameraOffsetY) / kStepsPerMm;
  smt::sim::WorldBoard b;
  b.marks = {{camX + 0.3 - 0.5, camY - 0.2}, {camX + 0.3 + 0.5, camY - 0.2}};
  b.markDiameter = 0.6;
  world->SetBoard(b);
  ASSERT_TRUE(smt::link::SendCmd64MoveXY(smt::CurrentMachine(), gx - smt::CurrentMachine().curX, 10, 100, gy - smt::CurrentMachine().curY, 10, 100, 0, 0, 0, 0, 0x80));
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
  smt::CurrentMachine().runContinue = true;  // as in a run: the centring goes on past its pause gate
  std::thread worker([&] {
    found = smt::run::Services(smt::CurrentMachine()).vision->RecognizeOwnMark(m, p);
    done = true;
  });
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (!done && std::chrono::steady_clock::now() < end) {
    QApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  worker.join();
  smt::CurrentMachine().runContinue = false;
  ASSERT_TRUE(found) << Shown() << Info();
  const double nowX = (sim->Position(0) + smt::CurrentMachine().steps.cameraOffsetX) / kStepsPerMm;
  const double nowY = (sim->Position(1) + smt::CurrentMachine().steps.cameraOffsetY) / kStepsPerMm;
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

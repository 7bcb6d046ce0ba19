// Whole placement runs of the program as main() builds it, on a simulated
// machine whose cameras see what the machine does (VisionRunFixture.h): what
// the operator decides when vision cannot centre a part, parts with their own
// mark and the labeling machine.
#include "core/Machine.h"
#include "VisionRunFixture.h"

using namespace std::chrono_literals;
using visionrun::kStepsPerMm;
using visionrun::Target;
using visionrun::VisionRunSim;

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
  smt::library::TheMarkLibrary(smt::CurrentMachine()).m_MarkRows = {smt::library::MakeMarkRow(OwnMark("OM1"))};
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

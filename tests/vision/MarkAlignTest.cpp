// Board mark alignment on simulated Mark-camera frames: the camera looks at
// a scene whose axis follows the machine's X and Y, and the moves go to the
// simulated main board.
#include <gtest/gtest.h>

#include <cmath>

#include "job/BoardGeometry.h"
#include "link/MotionFixture.h"
#include "vision/MarkAlign.h"
#include "vision/SimulatedScene.h"

namespace {

using namespace smt::vision;

constexpr double kPulsesPerMm = 100.0;

class MarkAlignSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.pauseEvent.Set();
    scene.SetBackground(20);
  }
  void TearDown() override {
    smt::CurrentMachine().runContinue = false;
    MotionSimTest::TearDown();
  }

  // The camera axis in scene mm from the machine position (Y steps are
  // negative; scene y runs down the picture).
  cv::Point2d AxisMm() const { return {smt::CurrentMachine().curX.load() / kPulsesPerMm, -smt::CurrentMachine().curY.load() / kPulsesPerMm}; }

  MarkVisionIo Io() {
    MarkVisionIo io = DefaultMarkVisionIo(smt::CurrentMachine());
    io.cameraReady = [this] { return cameraFitted; };
    io.grabFrame = [this](cv::Mat& f) {
      ++frames;
      if (!frameComes) return false;
      scene.SetAxis(AxisMm());
      f = scene.Render();
      return true;
    };
    io.sleepMs = [](int) {};
    io.info = [this](const std::string& l) { lines.push_back(l); };
    io.storeManualOffsets = [this](const ManualMarkOffsetsMm& m) { manual = m; stored = true; };
    io.pulsesPerMmX = io.pulsesPerMmY = kPulsesPerMm;
    return io;
  }
  MarkAlignParams Params() {
    MarkAlignParams p;
    p.visualZoom = 20.0;
    p.visualBox = 3.0;
    p.markDiameter = 1.0;
    p.detectPrecision = 20;
    p.contrast = 128;
    p.passes = 3;
    return p;
  }
  MarkAlignBoard Board(double m2xMm, double m2yMm) {
    MarkAlignBoard b;
    b.mark1X = 1000;
    b.mark1Y = -2000;
    b.mark2X = static_cast<int32_t>(m2xMm * kPulsesPerMm);
    b.mark2Y = static_cast<int32_t>(-m2yMm * kPulsesPerMm);
    b.mark2XMm = m2xMm;
    b.mark2YMm = m2yMm;
    return b;
  }
  MarkAligner Aligner() { return MarkAligner(smt::CurrentMachine(), Io(), Params(), {5, 20, 5, 20}, {2, 8, 2, 8}); }

  SimulatedScene scene{640, 480, 20.0};
  bool cameraFitted = true;
  bool frameComes = true;  // false: the camera's frame does not come in time
  int frames = 0;
  std::vector<std::string> lines;
  ManualMarkOffsetsMm manual;
  bool stored = false;
};

TEST_F(MarkAlignSimTest, TwoMarksGiveTheirOffsetsAndTheBoardRotation) {
  // Nominal marks (10, 20) and (40, 20) mm; the board lies 0.3 mm right,
  // 0.2 mm down and turned so Mark 2 is a further 0.4 mm down.
  scene.AddMark({10.3, 20.2}, 1.0);
  scene.AddMark({40.3, 20.6}, 1.0);
  ASSERT_TRUE(Aligner().AlignBoardMarks(Board(40.0, 20.0), false));
  EXPECT_NEAR(smt::CurrentMachine().correction.mark1DevStepsX.load(), 30, 2);
  EXPECT_NEAR(smt::CurrentMachine().correction.mark1DevStepsY.load(), -20, 2);
  EXPECT_NEAR(smt::CurrentMachine().correction.mark2DevStepsX.load(), 30, 2);
  EXPECT_NEAR(smt::CurrentMachine().correction.mark2DevStepsY.load(), -60, 2);
  const double expected = MarkVectorAngle(3000.0, -40.0);
  EXPECT_NEAR(smt::CurrentMachine().correction.boardRotation.load(), expected, 0.05);
  EXPECT_EQ(smt::CurrentMachine().camera.currentMark.load(), 2);
  // The machine really went there: the camera sits on Mark 2.
  EXPECT_NEAR(sim->Position(0), 4030, 2);
  EXPECT_NEAR(sim->Position(1), -2060, 2);
  ASSERT_TRUE(stored);
  EXPECT_NEAR(manual.mark1X, 0.30, 0.021);
  EXPECT_NEAR(manual.mark2Y, -0.60, 0.021);
  EXPECT_EQ(frames, 6);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().rfind("Mark: X = ", 0), 0u);
}

TEST_F(MarkAlignSimTest, SingleMarkBoardStopsAfterMarkOne) {
  scene.AddMark({10.1, 20.0}, 1.0);
  smt::CurrentMachine().correction.boardRotation = 3.0;
  ASSERT_TRUE(Aligner().AlignBoardMarks(Board(0.0, 0.0), true));
  EXPECT_EQ(smt::CurrentMachine().correction.boardRotation.load(), 0.0);
  EXPECT_NEAR(smt::CurrentMachine().correction.mark1DevStepsX.load(), 10, 2);
  EXPECT_EQ(smt::CurrentMachine().camera.currentMark.load(), 1);
  EXPECT_FALSE(stored);
}

TEST_F(MarkAlignSimTest, FailuresAreReportedAndEndTheAlignment) {
  struct Case {
    const char* name;
    double diameter;  // mark drawn
    bool camera;
    bool frame;  // the camera's frame comes
    std::string message;
  };
  // A frame that does not come is told as such, not as a mark of the wrong
  // size, by the board's alignment and by a mark of the caller's choice.
  const std::vector<Case> cases = {
      {"no camera", 1.0, false, true, kNoCameraText},
      {"mark too small", 0.6, true, true, kMarkSizeText},
      {"no mark", 0.0, true, true, kMarkSizeText},
      {"no frame", 1.0, true, false, kNoFrameText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scene.Clear();
    if (c.diameter > 0) scene.AddMark({10.0, 20.0}, c.diameter);
    cameraFitted = c.camera;
    frameComes = c.frame;
    messages.service.Clear();
    EXPECT_FALSE(Aligner().AlignBoardMarks(Board(40.0, 20.0), true));
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.message});
    if (c.frame) continue;
    messages.service.Clear();
    frames = 0;
    SpecifiedMark m;
    int cx = 0, cy = 0;
    EXPECT_FALSE(Aligner().RecognizeMark(m, cx, cy));
    EXPECT_EQ(frames, 1) << "no second look at a camera that gave nothing";
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kNoFrameText});
  }
}

TEST_F(MarkAlignSimTest, MarksTooCloseAreRefused) {
  scene.AddMark({10.0, 20.0}, 1.0);
  MarkAlignBoard b = Board(10.0, 20.0);
  b.mark2XMm = 10.0;  // not the single-mark case, yet the same point
  EXPECT_FALSE(Aligner().AlignBoardMarks(b, true));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kMarksTooClose});
}

TEST_F(MarkAlignSimTest, StoppedRunEndsAtThePauseGate) {
  scene.AddMark({10.0, 20.0}, 1.0);
  smt::CurrentMachine().runContinue = false;
  EXPECT_FALSE(Aligner().AlignBoardMarks(Board(40.0, 20.0), true));
  EXPECT_EQ(frames, 0);
}

TEST_F(MarkAlignSimTest, RecognizeMarkAddsToTheCallersCounters) {
  // The camera starts 0.25 mm left of and 0.15 mm below a round mark.
  scene.AddMark({5.25, 2.0}, 1.2);
  smt::CurrentMachine().curX = 500;
  smt::CurrentMachine().curY = -215;
  sim->ClearReceived();
  SpecifiedMark m;
  m.kind = 1;
  m.zoom = 20.0;
  m.boxMm = 3.0;
  m.diameterMm = 1.2;
  m.contrast = 128;
  m.passes = 2;
  int cx = 7, cy = -3;
  ASSERT_TRUE(Aligner().RecognizeMark(m, cx, cy));
  EXPECT_NEAR(cx, 7 + 25, 2);
  EXPECT_NEAR(cy, -3 + 15, 2);
}

TEST_F(MarkAlignSimTest, RecognizeMarkTakesOneExtraLookAfterAFirstMiss) {
  SpecifiedMark m;
  m.contrast = 128;
  m.zoom = 20.0;
  m.boxMm = 3.0;
  m.passes = 2;
  int cx = 0, cy = 0;
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = 0;
  EXPECT_FALSE(Aligner().RecognizeMark(m, cx, cy));
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kMarkFailedText});
}

TEST_F(MarkAlignSimTest, RecognizeMarkAsksBeforeGoingBeyondTheCorrectionLimit) {
  scene.AddMark({0.5, 0.0}, 1.0);
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = 0;
  SpecifiedMark m;
  m.contrast = 128;
  m.zoom = 20.0;
  m.boxMm = 3.0;
  m.passes = 1;
  m.maxCorrectionPulses = 20;
  messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
  int cx = 0, cy = 0;
  EXPECT_FALSE(Aligner().RecognizeMark(m, cx, cy));
  EXPECT_EQ(cx, 0);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kMarkToleranceText});
}

TEST(MarkVectorAngleTest, AxisAndSignRules) {
  EXPECT_EQ(MarkVectorAngle(0, 0), 0.0);
  EXPECT_EQ(MarkVectorAngle(0, -5), 90.0);
  EXPECT_EQ(MarkVectorAngle(7, 0), 0.0);
  EXPECT_NEAR(MarkVectorAngle(1, 1), 45.0, 1e-12);
  EXPECT_NEAR(BoardAngleFromMarks(1.0, 1.5), 0.5, 1e-12);
  EXPECT_NEAR(BoardAngleFromMarks(-1.0, -1.5), -0.5, 1e-12);
  EXPECT_NEAR(BoardAngleFromMarks(0.2, -0.1), 0.1, 1e-12);
}

}  // namespace

// Head part centring on simulated vision-camera frames: the picked part is
// seen from below and follows the head's X, Y and A on the simulated board.
#include <gtest/gtest.h>

#include "link/MotionFixture.h"
#include "vision/HeadVision.h"
#include "vision/MarkAlign.h"
#include "vision/SimulatedScene.h"

namespace {

using namespace smt::vision;

constexpr double kPulsesPerMm = 100.0, kPulsesPerDeg = 10.0;

class HeadVisionSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.pauseEvent.Set();
    smt::CurrentMachine().headCount = 1;
  }
  void TearDown() override {
    smt::CurrentMachine().runContinue = false;
    MotionSimTest::TearDown();
  }
  // A resistor body on the nozzle, offset by `offsetMm` and turned by `deg`
  // when the head is at X = Y = A = 0; a positive A turn turns it back.
  cv::Mat Frame() {
    SimulatedScene s(640, 480, 20.0);
    const cv::Point2d p{offsetMm.x + smt::CurrentMachine().curX.load() / kPulsesPerMm, offsetMm.y + smt::CurrentMachine().curY.load() / kPulsesPerMm};
    s.AddRect(p, {4.0, 2.0}, deg - smt::CurrentMachine().curA[0].load() / kPulsesPerDeg);
    return s.Render();
  }
  HeadVisionIo Io() {
    HeadVisionIo io = DefaultHeadVisionIo(smt::CurrentMachine());
    io.cameraReady = [this](int) { return cameraFitted; };
    io.grabFrame = [this](int, cv::Mat& f) {
      ++frames;
      f = followsHead ? Frame() : frozen;
      return true;
    };
    io.sleepMs = [](int) {};
    io.report = [this](const std::string& info, const std::string& log) {
      infos.push_back(info);
      logs.push_back(log);
    };
    io.setRowState = [this](int row, int state) { rowStates.push_back({row, state}); };
    io.pulsesPerMmX = io.pulsesPerMmY = kPulsesPerMm;
    io.pulsesPerDegA = kPulsesPerDeg;
    io.autoMagnify = 4.0;
    return io;
  }
  HeadVisionJob Job() {
    HeadVisionJob j;
    j.headTarget = 1;
    j.row = 12;
    j.partLength = 4.0;
    j.partWidth = 2.0;
    j.contrast = 128;
    j.recognitionType = 1;
    j.visionMode = 1;
    j.speeds = {2, 8, 2, 8, 3, 9};
    return j;
  }
  HeadVisionCamera Camera() {
    HeadVisionCamera c;
    c.zoom = 20.0;
    c.visualSize = 12.0;
    c.correctionTimes = 3;
    c.precisionXY = 3;
    c.precisionA = 3;
    c.correctionPulseX[0] = 11;
    c.correctionPulseY[0] = -7;
    return c;
  }

  cv::Point2d offsetMm{0.0, 0.0};
  double deg = 0.0;
  bool cameraFitted = true, followsHead = true;
  cv::Mat frozen;
  int frames = 0;
  std::vector<std::string> infos, logs;
  std::vector<std::pair<int, int>> rowStates;
};

TEST_F(HeadVisionSimTest, OffsetAndTurnedPartIsCorrectedByMoves) {
  offsetMm = {-0.4, 0.25};
  deg = 6.0;
  HeadVisionJob j = Job();
  ASSERT_TRUE(RecognizeHeadPart(j, Camera(), Io()));
  EXPECT_EQ(j.failed, 0);
  // The corrections moved the head 0.4 mm in X and 0.25 mm in Y; the
  // per-head correction is added once at the end.
  EXPECT_NEAR(j.correctionX, 40 + 11, 4);
  EXPECT_NEAR(j.correctionY, -25 - 7, 4);
  EXPECT_NEAR(sim->Position(0), 40, 4);
  EXPECT_NEAR(sim->Position(1), -25, 4);
  EXPECT_NEAR(sim->Position(40), 60, 3);  // A1 turned back by 6 degrees
  EXPECT_TRUE(rowStates.empty());
  ASSERT_FALSE(infos.empty());
  EXPECT_NE(logs.front().find("A =  "), std::string::npos);
  EXPECT_EQ(infos.front().find("A =  "), std::string::npos);
}

TEST_F(HeadVisionSimTest, PartWithinPrecisionCausesNoMove) {
  HeadVisionJob j = Job();
  sim->ClearReceived();
  ASSERT_TRUE(RecognizeHeadPart(j, Camera(), Io()));
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(j.correctionX, 11);
  EXPECT_EQ(j.correctionY, -7);
  EXPECT_FALSE(sim->LastReceived(0x64).has_value());
}

TEST_F(HeadVisionSimTest, NeverWithinPrecisionEndsWithVisionFailedRow) {
  offsetMm = {-0.5, 0.0};
  followsHead = false;
  frozen = Frame();
  HeadVisionJob j = Job();
  ASSERT_TRUE(RecognizeHeadPart(j, Camera(), Io()));
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(j.failed, 1);
  EXPECT_EQ(rowStates, (std::vector<std::pair<int, int>>{{12, 8}}));
  EXPECT_NEAR(sim->Position(0), 150, 12);  // three correction moves of 0.5 mm
}

TEST_F(HeadVisionSimTest, NoPassesFailsWithoutAFrame) {
  HeadVisionCamera c = Camera();
  c.correctionTimes = 0;
  HeadVisionJob j = Job();
  ASSERT_TRUE(RecognizeHeadPart(j, c, Io()));
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(j.failed, 1);
}

TEST_F(HeadVisionSimTest, MeasureOnlyModeStoresWithoutMoving) {
  offsetMm = {-0.3, 0.0};
  HeadVisionJob j = Job();
  j.visionMode = 2;
  sim->ClearReceived();
  ASSERT_TRUE(RecognizeHeadPart(j, Camera(), Io()));
  EXPECT_NEAR(j.correctionX, 30 + 11, 4);
  EXPECT_FALSE(sim->LastReceived(0x64).has_value());
}

TEST_F(HeadVisionSimTest, MissingCameraLeavesTheJobUntouched) {
  cameraFitted = false;
  HeadVisionJob j = Job();
  j.correctionX = 99;
  EXPECT_FALSE(RecognizeHeadPart(j, Camera(), Io()));
  EXPECT_EQ(j.correctionX, 99);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kNoCameraText});
}

TEST_F(HeadVisionSimTest, StoppedRunEndsAMissedLook) {
  followsHead = false;
  frozen = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
  smt::CurrentMachine().runContinue = false;
  HeadVisionJob j = Job();
  EXPECT_FALSE(RecognizeHeadPart(j, Camera(), Io()));
  EXPECT_EQ(j.failed, 0);
}

TEST_F(HeadVisionSimTest, FlyFrameStoresPerHeadAndFlyCorrections) {
  offsetMm = {-0.2, 0.1};
  HeadVisionJob j = Job();
  j.visionMode = 2;
  RecognizeLiveFrame(j, Camera(), Frame(), Io(), 0.05);
  EXPECT_EQ(j.failed, 0);
  EXPECT_NEAR(j.correctionX, 11 + 20, 4);
  EXPECT_NEAR(j.correctionY, -10 + 5, 4);
  HeadVisionJob none = Job();
  none.visionMode = 2;
  RecognizeLiveFrame(none, Camera(), cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0)), Io(), 0.0);
  EXPECT_EQ(none.failed, 1);
  EXPECT_EQ(none.correctionX, 0);
}

TEST(HeadVisionGeometryTest, AnglesAndBoxes) {
  EXPECT_EQ(NormalizeTargetAngle(200), 20);
  EXPECT_EQ(NormalizeTargetAngle(300), -60);
  EXPECT_EQ(NormalizeTargetAngle(90), 90);
  EXPECT_EQ(NormalizeTargetAngle(-30), -30);
  // Whole turns come off first: a row of 400 degrees is one of 40, 900 one
  // of 180 (0 for the recognisers), -450 one of 270.
  EXPECT_EQ(NormalizeTargetAngle(400), 40);
  EXPECT_EQ(NormalizeTargetAngle(900), 0);
  EXPECT_EQ(NormalizeTargetAngle(-450), -90);
  // 45 degrees: (m + margin) x 1.4, limited by the visual size.
  EXPECT_DOUBLE_EQ(HeadBoxSize(3, 2, 45, 4, 20), 7 * 1.4);
  EXPECT_DOUBLE_EQ(HeadBoxSize(3, 2, 45, 4, 9), 9);
  EXPECT_DOUBLE_EQ(HeadBoxSize(3, 2, 90.7, 4, 20), 7);
  // Fly: limit first, then the enlargement.
  EXPECT_DOUBLE_EQ(FlyBoxSize(3, 2, 45, 4, 6), 6 * 1.4);
  EXPECT_DOUBLE_EQ(FlyBoxSize(3, 2, 90, 4, 6), 6);
}

}  // namespace

namespace {

using namespace smt::vision;

class FlyVisionSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.pauseEvent.Set();
    f.startX = 10000;
    f.endX = 16000;
    f.lineY = -20000;
    f.headCount = 4;
    f.flyStartSpeed = 7;
    f.flyNormalSpeed = 21;
    for (int i = 0; i < 8; ++i) f.triggers[i] = 1000 * (i + 1);
    f.headOffsetX[2] = 3000;
    f.headOffsetY[2] = 50;
    f.cellOriginX = 400;
    f.cellOriginY = -600;
    s = {3, 9, 4, 12, 5, 15};
    io = DefaultFlyIo(smt::CurrentMachine());
    io.pulsesPerMmX = io.pulsesPerMmY = 100;
    io.resetShotIndex = [this] { ++resets; };
  }
  void TearDown() override {
    smt::CurrentMachine().runContinue = false;
    MotionSimTest::TearDown();
  }
  FlyPass f;
  FlySpeeds s;
  FlyIo io;
  int resets = 0;
};

TEST_F(FlyVisionSimTest, SeparatePassGoesToTheStartThenFliesToTheEnd) {
  ASSERT_TRUE(FlyVisionAllHeads(smt::CurrentMachine(), f, s, 1, 80, false, 0, 0, 0, 0, io));
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 16000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -20000);
  auto fly = sim->LastReceived(0x63);
  ASSERT_TRUE(fly.has_value());
  EXPECT_EQ(fly->payload[2], 4);  // heads in the pass
}

TEST_F(FlyVisionSimTest, CombinedPayloadCarriesThePlacePointOfTheHead) {
  smt::CurrentMachine().curX = 2000;
  smt::CurrentMachine().curY = -1000;
  const auto p = BuildFlyPlacePayload(smt::CurrentMachine(), f, s, 3, 150.0, -120.0, 0.5, -0.25, 100, 100);
  const auto le = [&](int at) {
    return static_cast<int32_t>(p[at] | p[at + 1] << 8 | p[at + 2] << 16 | p[at + 3] << 24);
  };
  EXPECT_EQ(le(0), 2000);
  EXPECT_EQ(p[8], 0x80);
  EXPECT_EQ(le(9), 8000);
  EXPECT_EQ(le(13), -19000);
  EXPECT_EQ(p[66], 1);
  EXPECT_EQ(p[67], 1);
  EXPECT_EQ(p[68], 4);
  EXPECT_EQ(le(69), 6000);
  EXPECT_EQ(le(81 + 4 * 7), 8000);
  EXPECT_EQ(p[113], 2);
  // (150.5 mm x 100) - 16000 + 400 - 3000; (-120.25 x 100) + 20000 - 600 - 50.
  EXPECT_EQ(le(114), 15050 - 16000 + 400 - 3000);
  EXPECT_EQ(le(118), -12025 + 20000 - 600 - 50);
  EXPECT_EQ(le(126), 9);
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = -1000;
  ASSERT_TRUE(FlyVisionAllHeads(smt::CurrentMachine(), f, s, 1, 80, true, 150.0, -120.0, 0, 0, io));
  auto sent = sim->LastReceived(0x73);
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(sent->payload.size(), 130u);
}

}  // namespace

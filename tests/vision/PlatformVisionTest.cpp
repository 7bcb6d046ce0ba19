// Platform vision: one look at the picked part after the X move, vacuum
// first; on simulated frames with the move on the simulated board.
#include <gtest/gtest.h>

#include "link/MotionFixture.h"
#include "job/BoardGeometry.h"
#include "vision/PlatformVision.h"
#include "vision/SimulatedScene.h"

namespace {

using namespace smt::vision;

class PlatformVisionSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseSerial();  // the platform's moves are serial three-axis moves
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.pauseEvent.Set();
    cams[0].cameraPulseX = 3000;
    cams[0].camera.zoom = 20.0;
    cams[0].camera.correctionPulseX[0] = 5;
    cams[0].camera.correctionPulseY[0] = -5;
    cams[1] = cams[0];
    cams[1].cameraPulseX = 6000;
  }
  void TearDown() override {
    smt::CurrentMachine().runContinue = false;
    MotionSimTest::TearDown();
  }
  PlatformVisionIo Io() {
    PlatformVisionIo io = DefaultPlatformVisionIo(smt::CurrentMachine());
    io.head.cameraReady = [](int) { return true; };
    io.head.grabFrame = [this](int, cv::Mat& f) {
      ++frames;
      SimulatedScene s(320, 240, 20.0);
      s.AddRect({-0.3, 0.2}, {3.0, 1.5}, 0.0);
      f = s.Render();
      return true;
    };
    io.head.sleepMs = [](int) {};
    io.head.report = [](const std::string&, const std::string&) {};
    io.head.pulsesPerMmX = io.head.pulsesPerMmY = 100;
    io.head.pulsesPerDegA = 10;
    io.vacuumKpa = [this] { return vacuum; };
    io.selectLight = [this](int ch, int) { channels.push_back(ch); };
    return io;
  }
  HeadVisionJob Job(int camera, int mode) {
    HeadVisionJob j;
    j.headTarget = 1;
    j.visionCamera = camera;
    j.visionMode = mode;
    j.recognitionType = 1;
    j.contrast = 128;
    return j;
  }
  std::array<PlatformCamera, 2> cams;
  int frames = 0;
  int vacuum = 40;
  std::vector<int> channels;
};

TEST_F(PlatformVisionSimTest, VacuumBelowTheRequiredFailsWithoutAFrame) {
  vacuum = 19;
  HeadVisionJob j = Job(1, 2);
  EXPECT_FALSE(PlatformVisionCentre(smt::CurrentMachine(), j, 20, 1, cams, Io()));
  EXPECT_EQ(j.failed, 1);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(sim->Position(0), 3000);  // the move over camera 1 went first
  vacuum = 20;
  HeadVisionJob k = Job(2, 2);
  EXPECT_FALSE(PlatformVisionCentre(smt::CurrentMachine(), k, 20, 1, cams, Io()));
  EXPECT_EQ(k.failed, 0);
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(channels, (std::vector<int>{2, 3}));
  EXPECT_EQ(sim->Position(0), 6000);
  EXPECT_NEAR(k.correctionX, 5 + 30, 3);
  EXPECT_NEAR(k.correctionY, -5 + -20, 3);
}

TEST_F(PlatformVisionSimTest, CameraCentringModeKeepsZeroCorrections) {
  HeadVisionJob j = Job(1, 1);
  EXPECT_FALSE(RecognizePlatformPart(smt::CurrentMachine(), j, cams, Io()));
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(j.correctionX, 0);
  EXPECT_EQ(j.correctionY, 0);
}

TEST_F(PlatformVisionSimTest, HeadFiveKeepsThePreviousTargetWithoutRotation) {
  smt::CurrentMachine().camera.platformVisionTargetX = 1234;
  HeadVisionJob j = Job(1, 2);
  j.headTarget = 5;
  smt::CurrentMachine().motion.headMoveArgs[4] = 77;
  EXPECT_FALSE(PlatformVisionCentre(smt::CurrentMachine(), j, 0, 1, cams, Io()));
  EXPECT_EQ(sim->Position(0), 1234);
  EXPECT_EQ(sim->Position(40), 0);
  EXPECT_EQ(sim->Position(44), 0);
  smt::CurrentMachine().motion.headMoveArgs[4] = 0;
}

TEST_F(PlatformVisionSimTest, OtherHeadsGoOverTheCameraLessTheirOffsetWithTheirTurn) {
  smt::CurrentMachine().steps.nozzleOffsetX[0] = 400;  // head 2
  smt::CurrentMachine().motion.headMoveArgs[1] = 30;
  HeadVisionJob j = Job(1, 2);
  j.headTarget = 2;
  EXPECT_FALSE(PlatformVisionCentre(smt::CurrentMachine(), j, 0, 2, cams, Io()));
  smt::CurrentMachine().steps.nozzleOffsetX[0] = 0;
  smt::CurrentMachine().motion.headMoveArgs[1] = 0;
  EXPECT_EQ(sim->Position(0), 3000 - 400);
  EXPECT_EQ(sim->Position(41), 30);  // A2 turned with the move
  const auto move = sim->LastReceived(0x54);
  ASSERT_TRUE(move.has_value());
  EXPECT_EQ(move->payload[7], 12);  // platform 2's axis, no step
  EXPECT_EQ(move->payload[14], 2);  // head 2's A block
  EXPECT_EQ(smt::CurrentMachine().motion.curPlatform[1].load(), 0);
}

TEST_F(PlatformVisionSimTest, StoppedRunStopsTheCentring) {
  smt::CurrentMachine().runContinue = false;
  HeadVisionJob j = Job(1, 2);
  EXPECT_TRUE(PlatformVisionCentre(smt::CurrentMachine(), j, 0, 1, cams, Io()));
  EXPECT_EQ(frames, 0);
}

}  // namespace

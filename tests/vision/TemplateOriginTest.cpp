// Template centring and visual-origin calibration on simulated Mark-camera
// frames, with the moves and the position command on the simulated board.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "link/MotionFixture.h"
#include "vision/SimulatedScene.h"
#include "vision/TemplateOrigin.h"

namespace {

using namespace smt::vision;

constexpr double kPulsesPerMm = 100.0;

class TemplateOriginSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.pauseEvent.Set();
    scene.SetBackground(30);
  }
  void TearDown() override {
    smt::CurrentMachine().runContinue = false;
    MotionSimTest::TearDown();
  }
  // An L-shaped feature with its corner at `at` (mm).
  void AddFeature(cv::Point2d at) {
    scene.AddRect({at.x + 0.5, at.y}, {1.0, 0.3}, 0);
    scene.AddRect({at.x, at.y + 0.4}, {0.3, 1.1}, 0);
  }
  MarkVisionIo Io() {
    MarkVisionIo io = DefaultMarkVisionIo(smt::CurrentMachine());
    io.cameraReady = [] { return true; };
    io.grabFrame = [this](cv::Mat& f) {
      ++frames;
      scene.SetAxis({smt::CurrentMachine().curX.load() / kPulsesPerMm, -smt::CurrentMachine().curY.load() / kPulsesPerMm});
      f = scene.Render();
      return true;
    };
    io.sleepMs = [](int) {};
    io.info = [this](const std::string& l) { lines.push_back(l); };
    io.pulsesPerMmX = io.pulsesPerMmY = kPulsesPerMm;
    return io;
  }
  SimulatedScene scene{640, 480, 20.0};
  int frames = 0;
  std::vector<std::string> lines;
};

TEST_F(TemplateOriginSimTest, TemplateCentringFollowsTheFeature) {
  // The template: the feature seen centred.
  AddFeature({0.0, 0.0});
  scene.SetAxis({0.0, 0.0});
  const cv::Mat full = scene.Render();
  const cv::Mat templ = full(cv::Rect(320 - 30, 240 - 30, 60, 60)).clone();
  // The camera at (0, 10) mm; the feature lies 0.6 mm right and 0.4 mm down.
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = -1000;
  scene.Clear();
  AddFeature({0.6, 10.4});
  TemplateCentring c;
  c.zoom = 20.0;
  c.boxMm = 8.0;
  c.passes = 2;
  int cx = 0, cy = 0;
  ASSERT_TRUE(MatchPartTemplate(c, templ, Io(), {2, 8, 2, 8}, cx, cy));
  EXPECT_NEAR(cx, 60, 6);
  EXPECT_NEAR(cy, -40, 6);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().rfind("template: X=", 0), 0u);
}

TEST_F(TemplateOriginSimTest, TemplateSquareSizeChecks) {
  const cv::Mat templ(20, 20, CV_8UC3, cv::Scalar(255, 255, 255));
  struct Case {
    double zoom, box;
    std::string message;
  };
  for (const Case& k : {Case{10, 0.4, kTemplateTooSmall}, Case{20, 30, kTemplateTooBig},
                        Case{10, 1.5, kTemplateLarger}}) {
    messages.service.Clear();
    TemplateCentring c;
    c.zoom = k.zoom;
    c.boxMm = k.box;
    int cx = 0, cy = 0;
    EXPECT_FALSE(MatchPartTemplate(c, templ, Io(), {}, cx, cy));
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{k.message});
  }
}

TEST_F(TemplateOriginSimTest, NoMatchAfterTheExtraLookFails) {
  AddFeature({0.0, 0.0});
  const cv::Mat templ = cv::Mat(40, 40, CV_8UC3, cv::Scalar(0, 0, 0));
  cv::Mat t2 = templ.clone();
  cv::circle(t2, {20, 20}, 12, cv::Scalar(255, 255, 255), -1);
  TemplateCentring c;
  c.zoom = 20;
  c.boxMm = 6;
  c.scorePercent = 99;
  c.passes = 1;
  int cx = 0, cy = 0;
  EXPECT_FALSE(MatchPartTemplate(c, t2, Io(), {}, cx, cy));
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kTemplateFailed});
}

TEST_F(TemplateOriginSimTest, CentredOriginMarkSendsTheUnchangedPosition) {
  smt::CurrentMachine().curX = 5000;
  smt::CurrentMachine().curY = -3000;
  scene.AddMark({50.0, 30.0}, 1.0);
  VisualOriginSettings s;
  s.passes = 1;
  s.zoom = 20;
  s.boxMm = 3;
  s.markSizeMm = 1.0;
  s.contrast = 128;
  ASSERT_TRUE(CalibrateVisualOrigin(smt::CurrentMachine(), s, Io(), {2, 8, 2, 8}));
  auto cmd = sim->LastReceived(0x70);
  ASSERT_TRUE(cmd.has_value());
  ASSERT_EQ(cmd->payload.size(), 8u);
  const int32_t x = cmd->payload[0] | cmd->payload[1] << 8 | cmd->payload[2] << 16 | cmd->payload[3] << 24;
  const int32_t y = cmd->payload[4] | cmd->payload[5] << 8 | cmd->payload[6] << 16 | cmd->payload[7] << 24;
  EXPECT_EQ(x, 5000);
  EXPECT_EQ(y, -3000);
}

TEST_F(TemplateOriginSimTest, OffCentreOriginOnSerialLinkOnlyShiftsTheCounters) {
  UseSerial();
  smt::CurrentMachine().curX = 5000;
  smt::CurrentMachine().curY = -3000;
  scene.AddMark({50.2, 30.0}, 1.0);
  VisualOriginSettings s;
  s.passes = 1;
  s.zoom = 20;
  s.boxMm = 3;
  s.contrast = 128;
  s.networkLink = false;
  ASSERT_TRUE(CalibrateVisualOrigin(smt::CurrentMachine(), s, Io(), {2, 8, 2, 8}));
  EXPECT_FALSE(sim->LastReceived(0x70).has_value());
  // The machine moved 0.2 mm, the counters still say where it was.
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 5000);
  EXPECT_NEAR(sim->Position(0), 20, 2);
}

// The Mark camera gives no picture (the grab fails, or gives an empty one):
// both operations say that no picture came, not that the template or the
// mark's size failed, show no measurement, and change nothing: no move, no
// position command, the counters and the caller's corrections as they were.
TEST_F(TemplateOriginSimTest, NoPictureSaysSoAndChangesNothing) {
  struct Case {
    const char* name;
    bool originCalibration;  // else the template centring
    bool grabSays;           // what the failed grab returns (its picture is empty)
  };
  const Case cases[] = {{"template, grab failed", false, false},
                        {"template, empty picture", false, true},
                        {"origin, grab failed", true, false},
                        {"origin, empty picture", true, true}};
  AddFeature({0.0, 0.0});
  scene.AddMark({50.0, 30.0}, 1.0);
  const cv::Mat templ = scene.Render()(cv::Rect(290, 210, 60, 60)).clone();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    messages.service.Clear();
    lines.clear();
    smt::CurrentMachine().curX = 5000;
    smt::CurrentMachine().curY = -3000;
    const size_t commandsBefore = sim->ReceivedCount();
    const auto xBefore = sim->Position(0), yBefore = sim->Position(1);
    MarkVisionIo io = Io();
    io.grabFrame = [&](cv::Mat& f) {
      ++frames;
      f.release();
      return k.grabSays;
    };
    int cx = 7, cy = -3;
    if (k.originCalibration) {
      VisualOriginSettings s;
      s.zoom = 20;
      s.boxMm = 3;
      s.contrast = 128;
      EXPECT_FALSE(CalibrateVisualOrigin(smt::CurrentMachine(), s, io, {2, 8, 2, 8}));
    } else {
      TemplateCentring c;
      c.zoom = 20.0;
      c.boxMm = 8.0;
      EXPECT_FALSE(MatchPartTemplate(c, templ, io, {2, 8, 2, 8}, cx, cy));
    }
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kNoFrameText});
    EXPECT_TRUE(lines.empty()) << lines.front();
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 5000);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), -3000);
    EXPECT_EQ(cx, 7);
    EXPECT_EQ(cy, -3);
    // Not a command went to the machine, and it stands where it stood.
    EXPECT_EQ(sim->ReceivedCount(), commandsBefore);
    EXPECT_EQ(sim->Position(0), xBefore);
    EXPECT_EQ(sim->Position(1), yBefore);
  }
}

}  // namespace

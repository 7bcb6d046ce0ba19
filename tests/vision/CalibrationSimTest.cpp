// Calibration tasks against the board simulator over UDP: the standard
// piece is taken to the camera and put back, and the scale calibration
// converges on frames that show the piece at a known scale.
#include <gtest/gtest.h>

#include <cmath>

#include <opencv2/imgproc.hpp>

#include "link/MotionFixture.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "support/TempDir.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraCalibration.h"
#include "vision/VisionGlobals.h"

using namespace smt::vision;

namespace {

class CalibrationSim : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
    smt::settings::PulseSettings p;
    p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = 100;
    p.m_A_Pulse = 10;
    store.SetPulse(p);
    smt::settings::BasicSettings b;
    b.m_X_CameraToNozzle1 = 5;
    b.m_Y_CameraToNozzle1 = -3;
    store.SetBasic(b);
    settings.m_BaseCoordinates_X = 10;
    settings.m_BaseCoordinates_Y = -10;
    settings.m_BaseCoordinates_Z = -2;
    settings.m_BaseDiameter = 5;
    table.AppendRow(RowFromEditValuesFor("Camera 1", 50, -20));
    table.RebuildRecords(100, 100);
    job = std::make_shared<CalibrationJob>();
    job->machine = &smt::CurrentMachine();
    job->table = &table;
    job->settings = &settings;
    job->calibrationRunning = &running;
    job->appDir = dir.str();
    job->selectedRow = 0;
  }
  void TearDown() override {
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic({});
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse({});
    MotionSimTest::TearDown();
  }
  static CameraRow RowFromEditValuesFor(const std::string& name, double x, double y);
  void Run(int task) {
    job->task = task;
    ASSERT_TRUE(smt::TryClaimMachineBusy(smt::CurrentMachine()));
    CameraCalibrationThreadProc(job);
    EXPECT_FALSE(smt::CurrentMachine().machineBusy.load()) << "the task releases the busy state";
  }

  smt::test::TempDir dir;
  CameraTable table;
  CameraListSettings settings;
  std::atomic<bool> running{false};
  std::shared_ptr<CalibrationJob> job;
};

}  // namespace

CameraRow CalibrationSim::RowFromEditValuesFor(const std::string& name, double x, double y) {
  CameraCells r;
  r[0] = name;
  r[1] = smt::platform::FormatDouble(x);
  r[2] = smt::platform::FormatDouble(y);
  for (int i = 3; i < 20; ++i) r[i] = "0.0000";
  r[20] = "18.00";  // a scale to be calibrated
  r[21] = "8.00";
  r[22] = "100";
  r[23] = "50";
  r[24] = "3";
  r[25] = "1";
  r[26] = "1";
  r[27] = "50";
  return CameraRow(r, "config_camera.fig", 1);
}

TEST_F(CalibrationSim, StandardPieceGoesToTheCameraAndBack) {
  Run(1);  // Mark camera over the piece: base minus the camera offset
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1000 - 500);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -1000 + 300);
  EXPECT_EQ(sim->Position(0), 500);
  Run(2);  // picked with nozzle 1 and carried over camera 1
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 5000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -2000);
  EXPECT_EQ(sim->Position(1), -2000);
  ASSERT_TRUE(sim->LastReceived(0x67).has_value());
  EXPECT_EQ(smt::CurrentMachine().camera.visionMode.load(), 1);
  Run(3);  // back at the base position, released
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -1000);
  ASSERT_TRUE(sim->LastReceived(0x68).has_value());
  EXPECT_EQ(sim->Position(0), 1000);
}

TEST_F(CalibrationSim, ScaleCalibrationConvergesOnTheTrueScale) {
  // Frames of camera 1 show the 5 mm piece at 20 pixels per mm.
  int frames = 0;
  job->grabFrame = [&](int role, cv::Mat& f) {
    EXPECT_EQ(role, 1);
    ++frames;
    f = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::circle(f, {320, 240}, 50, cv::Scalar(255, 255, 255), cv::FILLED, cv::LINE_AA);
    return true;
  };
  Run(4);
  // The piece's outline measures a pixel or two over its 100 pixels.
  EXPECT_NEAR(table.m_Camera_first.VisualZoom, 20.0, 0.5);
  EXPECT_EQ(table.Rows()[0].Cells()[20], smt::platform::FormatDouble(table.m_Camera_first.VisualZoom, 2));
  EXPECT_GE(frames, 2) << "the first scale (18) is off by more than 1 %";
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1000) << "the piece is put back";
  EXPECT_FALSE(smt::CurrentMachine().runContinue.load());
}

// Camera position (task 5): the camera row says 50 / -20 mm, the camera
// truly sits 0.3 / -0.2 mm from there, and the piece is held 0.1 / 0.05 mm
// off the nozzle's axis. The four quarter turns put the piece round the
// nozzle's axis; their middle is the camera's error, corrected in one pass.
TEST_F(CalibrationSim, CameraPositionIsFoundInOnePass) {
  const double errX = 0.3, errY = -0.2, offX = 0.1, offY = 0.05, ppm = 18.0;
  job->grabFrame = [&](int, cv::Mat& f) {
    const double turn = static_cast<double>(sim->Position(40)) / 10.0 * CV_PI / 180.0;
    const double x = errX + offX * std::cos(turn) - offY * std::sin(turn);
    const double y = errY + offX * std::sin(turn) + offY * std::cos(turn);
    f = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
    const cv::Point centre(static_cast<int>(std::lround((320 + x * ppm) * 16)),
                           static_cast<int>(std::lround((240 + y * ppm) * 16)));
    cv::circle(f, centre, static_cast<int>(2.5 * ppm * 16), cv::Scalar(255, 255, 255), cv::FILLED, cv::LINE_AA, 4);
    return true;
  };
  Run(5);
  const double x = std::atof(table.Rows()[0].Cells()[1].c_str()), y = std::atof(table.Rows()[0].Cells()[2].c_str());
  // The picture's x and y are the machine's: the row moves against the
  // offset seen.
  EXPECT_NEAR(x, 50 - errX, 0.02) << "one pass finds the camera";
  EXPECT_NEAR(y, -20 - errY, 0.02);
  EXPECT_EQ(table.m_Camera_first.CameraPulse_X, static_cast<int32_t>(std::atof(table.Rows()[0].Cells()[1].c_str()) * 100));
}

// A look that finds nothing leaves the camera's place as it was (a missing
// look is no look at 0).
TEST_F(CalibrationSim, CameraPositionStaysWhenALookFindsNothing) {
  int looks = 0;
  job->grabFrame = [&](int, cv::Mat& f) {
    f = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
    if (++looks <= 2) cv::circle(f, {330, 245}, 45, cv::Scalar(255, 255, 255), cv::FILLED, cv::LINE_AA);
    return true;
  };
  Run(5);
  EXPECT_EQ(table.Rows()[0].Cells()[1], smt::platform::FormatDouble(50));
  EXPECT_EQ(table.Rows()[0].Cells()[2], smt::platform::FormatDouble(-20));
}

TEST_F(CalibrationSim, NoCameraLeavesThePieceOnTheNozzle) {
  smt::platform::ScopedRecordingMessages messages;
  Run(5);  // no panel and no frame source: the camera check fails
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"没有相机 !"});
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 5000) << "still over the camera";
  EXPECT_FALSE(sim->LastReceived(0x68).has_value());
}

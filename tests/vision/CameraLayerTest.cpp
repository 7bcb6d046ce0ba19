// The camera layer: roles by name, the simulated camera's play, pause,
// trigger and time-outs, parameters, and the video device list.
#include <gtest/gtest.h>

#include "platform/ReadRefusals.h"

#include <QSpinBox>
#include <QTimer>
#include <QApplication>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <thread>

#include "vision/CDialogSetView.h"
#include "vision/CameraDS.h"
#include "platform/NumberEdit.h"
#include "vision/CameraSettingsPage.h"
#include "vision/PartRecognizers.h"
#include "vision/SimulatedCamera.h"

using namespace smt::vision;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {
std::shared_ptr<SimulatedCamera> MakeCamera(const std::string& name) {
  auto cam = std::make_shared<SimulatedCamera>(name, CameraCapability{1280, 1024, false});
  auto scene = std::make_shared<SimulatedScene>();
  scene->AddMark({1.5, -0.5}, 2.0);
  cam->SetScene(scene);
  return cam;
}
}  // namespace

TEST(CameraRoles, NamesDecideTheRoleExactly) {
  EXPECT_EQ(CameraRoleFromName("Mark_Camera"), kRoleMarkCamera);
  EXPECT_EQ(CameraRoleFromName("Visual_Camera_1"), kRoleVisualCamera1);
  EXPECT_EQ(CameraRoleFromName("Visual_Camera_2"), kRoleVisualCamera2);
  EXPECT_EQ(CameraRoleFromName("mark_camera"), -1);
  EXPECT_EQ(CameraRoleFromName("Visual_Camera_2 "), -1);
  SimulatedCameraSystem bus;
  bus.Add(MakeCamera("Mark_Camera"));
  bus.Add(MakeCamera("Visual_Camera_2"));
  bus.Add(MakeCamera("Other"));
  bus.Add(MakeCamera("Visual_Camera_1"));  // a fourth camera is never seen
  const auto cams = bus.Enumerate(3);
  ASSERT_EQ(cams.size(), 3u);
  const CameraRoles roles = AssignCameraRoles(cams);
  EXPECT_EQ(roles.byRole[0]->FriendlyName(), "Mark_Camera");
  EXPECT_EQ(roles.byRole[1], nullptr);
  EXPECT_EQ(roles.byRole[2]->FriendlyName(), "Visual_Camera_2");
  EXPECT_EQ(roles.mismatched, std::vector<std::string>{"Other"});
}

TEST(SimulatedCamera, PausedCameraEndsWithNoFrameAfterTheTimeOut) {
  auto cam = MakeCamera("Mark_Camera");
  cv::Mat frame;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(cam->GetNextFrame(frame, 60ms));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 55ms);
  EXPECT_TRUE(frame.empty());
  ASSERT_TRUE(cam->Play());
  ASSERT_TRUE(cam->GetNextFrame(frame, 60ms));
  EXPECT_EQ(frame.size(), cv::Size(1280, 1024));
  EXPECT_EQ(cam->FramesCaptured(), 1u);
  // The frame shows the scene: the mark is found where it was put.
  double dX = 0, dY = 0;
  ASSERT_TRUE(RecognizePart(frame, 0, false, 10.0, 20.0, dX, dY).found);
  EXPECT_NEAR(dX, -1.5, 0.005);
  EXPECT_NEAR(dY, 0.5, 0.005);
  cam->Pause();
  EXPECT_FALSE(cam->GetNextFrame(frame, 20ms));
}

TEST(SimulatedCamera, HardwareTriggerGivesOneFramePerPulse) {
  auto cam = MakeCamera("Visual_Camera_1");
  ASSERT_TRUE(cam->SetTriggerMode(TriggerMode::Hardware));
  EXPECT_EQ(cam->GetTriggerMode(), TriggerMode::Hardware);
  cam->Play();
  cv::Mat frame;
  EXPECT_FALSE(cam->GetNextFrame(frame, 30ms));  // no trigger: no frame
  cam->FireTrigger();
  cam->FireTrigger();
  EXPECT_TRUE(cam->GetNextFrame(frame, 30ms));
  EXPECT_TRUE(cam->GetNextFrame(frame, 30ms));
  EXPECT_FALSE(cam->GetNextFrame(frame, 30ms));
  std::thread machine([&] {
    std::this_thread::sleep_for(20ms);
    cam->FireTrigger();
  });
  EXPECT_TRUE(cam->GetNextFrame(frame, 2000ms));  // a trigger during the wait serves it
  machine.join();
  cam->SetTriggerMode(TriggerMode::Continuous);
  EXPECT_TRUE(cam->GetNextFrame(frame, 30ms));
}

TEST(SimulatedCamera, FramesFromImageFilesInTurn) {
  const fs::path a = fs::temp_directory_path() / ("simcam-a-" + std::to_string(::getpid()) + ".png");
  const fs::path b = fs::temp_directory_path() / ("simcam-b-" + std::to_string(::getpid()) + ".png");
  cv::imwrite(a.string(), cv::Mat(10, 20, CV_8UC3, cv::Scalar::all(10)));
  cv::imwrite(b.string(), cv::Mat(10, 20, CV_8UC3, cv::Scalar::all(200)));
  SimulatedCamera cam("Visual_Camera_2", {20, 10, false});
  ASSERT_TRUE(cam.SetImageFiles({a.string(), "/nonexistent.png", b.string()}));
  cam.Play();
  cv::Mat f;
  ASSERT_TRUE(cam.GetNextFrame(f, 10ms));
  EXPECT_EQ(f.at<cv::Vec3b>(0, 0)[0], 10);
  ASSERT_TRUE(cam.GetNextFrame(f, 10ms));
  EXPECT_EQ(f.at<cv::Vec3b>(0, 0)[0], 200);
  ASSERT_TRUE(cam.GetNextFrame(f, 10ms));
  EXPECT_EQ(f.at<cv::Vec3b>(0, 0)[0], 10);
  fs::remove(a);
  fs::remove(b);
  EXPECT_FALSE(cam.SetImageFiles({"/nonexistent.png"}));
  EXPECT_FALSE(cam.GetNextFrame(f, 10ms));  // no source: no frame, no hang
}

TEST(SimulatedCamera, ParametersSaveLoadAndClamp) {
  auto cam = MakeCamera("Mark_Camera");
  CameraParameters p;
  p.exposureUs = 2500.5;
  p.analogGain = 3.25;
  p.gamma = 120;
  p.contrast = 90;
  p.mirrorX = true;
  ASSERT_TRUE(cam->SetParameters(p));
  const fs::path file = fs::temp_directory_path() / ("simcam-par-" + std::to_string(::getpid()) + ".txt");
  ASSERT_TRUE(cam->SaveParameters(file.string()));
  auto other = MakeCamera("Mark_Camera");
  ASSERT_TRUE(other->LoadParameters(file.string()));
  EXPECT_EQ(other->Parameters(), p);
  {
    std::ofstream out(file);
    out << "exposureUs=-5\nanalogGain=99\ngamma=abc\nunknown=1\n";
  }
  // A value that is not a number in its range keeps the camera's setting
  // and is told once, naming the file, the line and the field.
  smt::platform::ForgetReadRefusals();
  ASSERT_TRUE(other->LoadParameters(file.string()));
  EXPECT_EQ(other->Parameters(), p);
  const auto refused = smt::platform::ReadRefusalsSoFar();
  ASSERT_EQ(refused.size(), 3u);
  EXPECT_EQ(refused[0].file, file.string());
  EXPECT_EQ(refused[0].where, "line 1, field \"exposureUs\"");
  EXPECT_EQ(refused[1].where, "line 2, field \"analogGain\"");
  EXPECT_EQ(refused[2].where, "line 3, field \"gamma\"");
  EXPECT_NE(refused[1].need.find("1..16"), std::string::npos);
  {
    std::ofstream out(file);
    out << "exposureUs=nan\ncontrast=1e400\nmirrorX=1x\ngamma=150\n";
  }
  ASSERT_TRUE(other->LoadParameters(file.string()));
  EXPECT_EQ(other->Parameters().exposureUs, p.exposureUs);
  EXPECT_EQ(other->Parameters().contrast, p.contrast);
  EXPECT_EQ(other->Parameters().mirrorX, p.mirrorX);
  EXPECT_EQ(other->Parameters().gamma, 150);
  EXPECT_EQ(smt::platform::ReadRefusalsSoFar().size(), 6u);
  smt::platform::ForgetReadRefusals();
  fs::remove(file);
  EXPECT_FALSE(other->LoadParameters(file.string()));
}

TEST(SimulatedCamera, SettingsPageAppliesOnlyOnOk) {
  auto cam = MakeCamera("Mark_Camera");
  const CameraParameters before = cam->Parameters();
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* page = qobject_cast<CameraSettingsPage*>(w)) {
        page->findChild<smt::platform::NumberEdit*>("gamma")->setValue(150);
        page->reject();
      }
  });
  EXPECT_FALSE(ShowCameraSettingsPage(*cam, nullptr));
  EXPECT_EQ(cam->Parameters(), before);
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* page = qobject_cast<CameraSettingsPage*>(w)) {
        page->findChild<smt::platform::NumberEdit*>("gamma")->setValue(150);
        page->accept();
      }
  });
  EXPECT_TRUE(ShowCameraSettingsPage(*cam, nullptr));
  EXPECT_EQ(cam->Parameters().gamma, 150);
}

// The node number of a device entry is read whole: "video" and digits only.
// The simulated camera count of the environment: a whole number in 0..3, or
// none at all.
TEST(CaptureCamera, DeviceNodesAndTheSimulatedCountAreReadWhole) {
  const std::pair<const char*, std::optional<int>> nodes[] = {
      {"video0", 0},      {"video12", 12},         {"video999999", 999999}, {"video1000000", std::nullopt},
      {"video", std::nullopt}, {"video-1", std::nullopt}, {"video+1", std::nullopt}, {"video1a", std::nullopt},
      {"video 1", std::nullopt}, {"vbi0", std::nullopt}, {"Video1", std::nullopt},  {"video1e3", std::nullopt},
  };
  for (const auto& [name, node] : nodes) EXPECT_EQ(VideoNodeNumber(name), node) << name;
  const std::pair<const char*, int> counts[] = {
      {"0", 0},    {"1", 1},     {"3", 3},     {" 2 ", 2},  {"4", 0},     {"-1", 0},   {"nan", 0},
      {"inf", 0},  {"1e400", 0}, {"two", 0},   {"2abc", 0}, {"2.5", 0},   {"", 0},     {"99999999999", 0},
  };
  for (const auto& [text, count] : counts) EXPECT_EQ(SimulatedCameraCount(text), count) << "\"" << text << "\"";
  EXPECT_EQ(SimulatedCameraCount(nullptr), 0);
}

TEST(CaptureCamera, DeviceListAndMissingDevices) {
  const fs::path dir = fs::temp_directory_path() / ("v4l-" + std::to_string(::getpid()));
  for (const char* n : {"video10", "video2", "vbi0", "videoX"}) {
    fs::create_directories(dir / n);
    std::ofstream(dir / n / "name") << "Cam " << n << "\n";
  }
  const auto devices = EnumerateVideoInputDevices(dir.string());
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].nodeNumber, 2);
  EXPECT_EQ(devices[0].friendlyName, "Cam video2");
  EXPECT_EQ(devices[1].nodeNumber, 10);
  fs::remove_all(dir);
  EXPECT_EQ(OpenDirectShowCamera(-1), nullptr);
  EXPECT_EQ(OpenDirectShowCamera(1000), nullptr);
  CCameraDS cam;
  cv::Mat f;
  EXPECT_FALSE(cam.QueryFrame(f, 10ms));  // not open: no frame, at once
}

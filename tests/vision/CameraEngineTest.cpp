#include <algorithm>
// The camera engine with simulated cameras, the camera panel's live view
// and vision commands, and the calibration arithmetic.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"
#include "platform/WorkerThreads.h"
#include "support/CameraPanelHooks.h"
#include "support/TempDir.h"
#include "link/LinkHooks.h"
#include "link/LinkRuntime.h"
#include "settings/SettingsStores.h"
#include "vision/CameraDS.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraCalibration.h"
#include "vision/CameraEngine.h"
#include "vision/SimulatedCamera.h"
#include "vision/VisionGlobals.h"
#include "vision/VisionTemplates.h"

using namespace smt::vision;
using namespace std::chrono_literals;

namespace {

std::shared_ptr<SimulatedCamera> Camera(const std::string& name, cv::Point2d markMm) {
  auto cam = std::make_shared<SimulatedCamera>(name, CameraCapability{320, 240, false});
  auto scene = std::make_shared<SimulatedScene>(320, 240, 20.0);
  scene->AddMark(markMm, 2.0);
  cam->SetScene(scene);
  return cam;
}

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds limit = 3s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    QApplication::processEvents();
    std::this_thread::sleep_for(5ms);
  }
  return cond();
}

}  // namespace

TEST(CameraEngineTest, RolesByNameOnlyFirstPlaysAndRequestsAreServed) {
  SimulatedCameraSystem system;
  auto mark = Camera("Mark_Camera", {0, 0});
  auto v2 = Camera("Visual_Camera_2", {1, 0});
  auto v1 = Camera("Visual_Camera_1", {0, 1});
  system.Add(mark);
  system.Add(v2);
  system.Add(v1);
  system.Add(Camera("Visual_Camera_1", {0, 0}));  // a fourth is never seen
  CameraEngine engine;
  engine.SetMinFrameInterval(5ms);
  EXPECT_EQ(engine.StartCameras(system, 0), 3);
  EXPECT_EQ(engine.RoleDevice(0), 0);
  EXPECT_EQ(engine.RoleDevice(1), 2);
  EXPECT_EQ(engine.RoleDevice(2), 1);
  EXPECT_TRUE(mark->IsPlaying());
  EXPECT_FALSE(v1->IsPlaying());
  EXPECT_FALSE(v2->IsPlaying());
  cv::Mat frame;
  EXPECT_FALSE(engine.RequestFrame(2, frame, 300ms)) << "a paused camera serves nothing";
  EXPECT_EQ(engine.PendingFrames(2), 0) << "the timed-out request is withdrawn";
  ASSERT_TRUE(engine.SwitchCamera(2, -1));
  EXPECT_FALSE(mark->IsPlaying());
  ASSERT_TRUE(engine.RequestFrame(2, frame, 2s));
  EXPECT_EQ(frame.cols, 320);
  // A find-template job on visual camera 2 only publishes and stays set.
  engine.RequestJob(2, kJobFindTemplate, 1);
  ASSERT_TRUE(engine.FrameEvent(2).Wait(2s));
  EXPECT_EQ(engine.VisionJob(), kJobFindTemplate);
  EXPECT_TRUE(engine.Shutdown(3s));
  EXPECT_FALSE(engine.Running());
}

TEST(CameraEngineTest, NoCameraAndNameMismatch) {
  smt::platform::ScopedRecordingMessages messages;
  SimulatedCameraSystem none;
  CameraEngine engine;
  EXPECT_EQ(engine.StartCameras(none, 0), 0);
  EXPECT_FALSE(engine.SwitchCamera(0, -1));
  SimulatedCameraSystem odd;
  odd.Add(Camera("Other", {0, 0}));
  CameraEngine engine2;
  EXPECT_EQ(engine2.StartCameras(odd, 0), 1);
  EXPECT_FALSE(engine2.HasRole(0));
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"No camera found !", "Camera name mismatch"}));
}

// A frame the camera was already taking when a request came (a frame of
// the machine before the move the requester waited for) serves no request:
// the frame and the job get one asked of the camera after the request.
TEST(CameraEngineTest, AFrameOnItsWayWhenAskedDoesNotServeTheRequest) {
  struct Case {
    const char* name;
    bool job;  // a vision command on the frame instead of the frame itself
  };
  for (const Case c : {Case{"frame", false}, Case{"job", true}}) {
    // Every frame carries the number of the camera's ask that made it; the
    // ask can be held, as a camera busy exposing.
    struct Source {
      std::mutex m;
      std::condition_variable cv;
      bool hold = false;
      int asks = 0, heldAsk = 0;
    };
    auto src = std::make_shared<Source>();
    auto cam = std::make_shared<SimulatedCamera>("Mark_Camera", CameraCapability{32, 24, true});
    cam->SetFrameSource([src] {
      std::unique_lock lk(src->m);
      const int ask = ++src->asks;
      if (src->hold) {
        src->heldAsk = ask;
        src->cv.notify_all();
        src->cv.wait_for(lk, 10s, [&] { return !src->hold; });
      }
      return cv::Mat(24, 32, CV_16UC1, cv::Scalar(ask));
    });
    SimulatedCameraSystem system;
    system.Add(cam);
    CameraEngine engine;
    engine.SetMinFrameInterval(0ms);
    std::atomic<int> jobFrame{-1};
    CameraEngine::Callbacks cb;
    cb.runJob = [&](int, int, const cv::Mat& frame, int) { jobFrame = frame.at<uint16_t>(0, 0); };
    engine.SetCallbacks(cb);
    src->hold = true;  // the camera's first frame is held
    ASSERT_EQ(engine.StartCameras(system, 0), 1) << c.name;
    int held = 0;
    {
      std::unique_lock lk(src->m);
      ASSERT_TRUE(src->cv.wait_for(lk, 5s, [&] { return src->heldAsk != 0; })) << c.name;
      held = src->heldAsk;
    }
    // The request comes while the held frame is on its way.
    std::atomic<int> served{-1};
    std::thread requester;
    if (c.job) {
      engine.RequestJob(0, kJobVisionTest, 0);
    } else {
      requester = std::thread([&] {
        cv::Mat f;
        served = engine.RequestFrame(0, f, 5s) && !f.empty() ? f.at<uint16_t>(0, 0) : 0;
      });
      ASSERT_TRUE(WaitFor([&] { return engine.PendingFrames(0) == 1; })) << c.name;
    }
    {
      std::lock_guard lk(src->m);
      src->hold = false;
    }
    src->cv.notify_all();
    if (c.job) {
      EXPECT_TRUE(WaitFor([&] { return jobFrame.load() >= 0; }, 5s)) << c.name;
      EXPECT_GT(jobFrame.load(), held) << c.name;
    } else {
      requester.join();
      EXPECT_GT(served.load(), held) << c.name;
    }
    EXPECT_EQ(engine.PendingFrames(0), 0) << c.name;
    EXPECT_TRUE(engine.Shutdown(3s)) << c.name;
  }
}

TEST(CameraEngineTest, TriggeredFramesRaiseFlyDoneAfterTheLastHead) {
  SimulatedCameraSystem system;
  auto v1 = Camera("Visual_Camera_1", {0, 0});
  system.Add(v1);
  CameraEngine engine;
  engine.SetMinFrameInterval(0ms);
  std::atomic<int> seen{0};
  CameraEngine::Callbacks cb;
  cb.flyFrame = [&](int head, const cv::Mat&) { seen = head; };
  engine.SetCallbacks(cb);
  ASSERT_EQ(engine.StartCameras(system, 0), 1);
  engine.SetTriggerMode(1, 2);
  engine.m_nFlyHeadCount = 4;
  engine.m_nFlyShotIndex = 0;
  engine.m_hFlyDoneEvent.Reset();
  for (int k = 0; k < 3; ++k) v1->FireTrigger();
  EXPECT_TRUE(WaitFor([&] { return seen.load() == 3; }));
  EXPECT_FALSE(engine.m_hFlyDoneEvent.IsSet());
  v1->FireTrigger();
  EXPECT_TRUE(engine.m_hFlyDoneEvent.Wait(2s));
  EXPECT_EQ(seen.load(), 4);
  engine.Shutdown();
}

TEST(CameraEngineTest, CursorAndCentredView) {
  cv::Mat frame(480, 1282, CV_8UC3, cv::Scalar(0, 0, 0));
  cv::Mat view = CutCentredView(frame, 1.0);
  EXPECT_EQ(view.cols, 1280);
  EXPECT_EQ(view.data, frame.ptr(0, 1)) << "the view starts at column 1 and shares the pixels";
  cv::Mat img(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
  DrawCrossCursor(img, 600);
  // The square is cut to the image height: its top edge lies on row 0.
  const cv::Vec3b top = img.at<cv::Vec3b>(0, 200);
  EXPECT_EQ(top[0], 0);
  EXPECT_GT(top[1], 150);
  EXPECT_EQ(img.at<cv::Vec3b>(0, 40), cv::Vec3b(0, 0, 0)) << "left of the square";
}

TEST(CameraPanelTest, LiveViewShowsFramesOfTheSimulatedMarkCamera) {
  smt::test::TempDir dir;
  dir.Write("config.ini", "[CameraListConfig]\r\nm_HighSpeedCamera=1\r\nm_MarkCamera=1\r\n");
  auto system = std::make_shared<SimulatedCameraSystem>();
  system->Add(Camera("Mark_Camera", {0, 0}));
  smt::CurrentMachine().camera.visionMode = 0;
  {
    CDialogSetView panel(smt::CurrentMachine());
    smt::testing::FillCameraPanelHooks(panel);
    panel.SetCameraSystem(system);
    panel.LoadConfig(dir.str());
    panel.OnInitDialog(dir.str());
    EXPECT_TRUE(WaitFor([&] { return !panel.LivePicture().isNull(); }));
    // The grab thread counts a frame in the status after handing it to the
    // live view: the status is read until it shows a counted frame (the
    // first reading only starts the rates).
    panel.ShowCameraStatus();
    EXPECT_TRUE(WaitFor([&] {
      panel.ShowCameraStatus();
      return panel.m_nImageHeight == 240;
    }, 10s));
    EXPECT_TRUE(panel.StatusText().startsWith("Mark_Camera | Size:320*240 | Display FPS:")) << panel.StatusText().toStdString();
    EXPECT_EQ(panel.m_nImageHeight, 240);
    cv::Mat frame;
    EXPECT_TRUE(panel.GrabFrame(0, frame, 2s));
    panel.CloseCameras();
    EXPECT_FALSE(panel.Engine().Running());
  }
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  smt::CurrentMachine().camera.highSpeedMarkCamera = false;
}

TEST(CameraPanelTest, TemplatesAreCutHeldAndFound) {
  smt::platform::ScopedRecordingMessages messages;
  smt::test::TempDir dir;
  cv::Mat frame(240, 320, CV_8UC3, cv::Scalar(0, 0, 0));
  cv::circle(frame, {160, 120}, 6, cv::Scalar(255, 255, 255), cv::FILLED);
  cv::Mat cut;
  EXPECT_EQ(CutTemplateSquare(frame, 1.0, 22.0, cut), TemplateCutResult::Ok);
  EXPECT_EQ(cut.rows, 20);
  EXPECT_EQ(CutTemplateSquare(frame, 0.2, 20.0, cut), TemplateCutResult::TooSmall);
  EXPECT_EQ(CutTemplateSquare(frame, 13.0, 20.0, cut), TemplateCutResult::TooBig);
  CDialogSetView panel(smt::CurrentMachine());
  smt::testing::FillCameraPanelHooks(panel);
  panel.m_strAppDir = dir.str();
  panel.m_VisualSize = 3.0;
  panel.m_dPixelPerMm = 20.0;
  panel.findChild<QLineEdit*>("visualSize")->setText("3.00");
  // No file for a new name: refused.
  panel.m_strTemplateName = "W1";
  smt::CurrentMachine().camera.highSpeedCamera = 1;
  panel.TemplateCommand(kJobFindTemplate, "W1");  // no camera: nothing queued
  EXPECT_TRUE(messages.service.Texts().empty());
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  EXPECT_TRUE(WriteTemplateFile(dir.str(), "W2", frame(cv::Rect(150, 110, 20, 20)).clone()));
  EXPECT_FALSE(HeldTemplateFor(smt::CurrentMachine(), dir.str(), "W2").empty());
  EXPECT_TRUE(HeldTemplateFor(smt::CurrentMachine(), dir.str(), "missing").empty());
  // A name that is no file name reaches no file: nothing is written outside
  // the template folder, and the refusal names the name.
  const std::string outside = "../../outside/W1";
  EXPECT_EQ(TemplateFilePath(dir.str(), outside), "");
  EXPECT_FALSE(WriteTemplateFile(dir.str(), outside, frame(cv::Rect(150, 110, 20, 20)).clone()));
  EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "outside"));
  EXPECT_TRUE(HeldTemplateFor(smt::CurrentMachine(), dir.str(), outside).empty());
  EXPECT_NE(TemplateNameRefusal(outside).find(outside), std::string::npos);
  EXPECT_EQ(TemplateNameRefusal("W1"), "");
}

TEST(CalibrationArithmetic, CentreScaleAxesAndWindows) {
  // The middle of the largest and smallest look (0 is not a look: with it
  // a pass corrected only half the error).
  EXPECT_NEAR(HeadOffsetCentre({0.2, 0.3, 0.4, 0.3}), 0.3, 1e-12);
  EXPECT_NEAR(HeadOffsetCentre({-0.2, -0.1, -0.3, -0.1}), -0.2, 1e-12);
  EXPECT_NEAR(HeadOffsetCentre({0.3, 0.3, 0.3, 0.3}), 0.3, 1e-12);
  EXPECT_TRUE(NextScale(5, 5.04, 20).accepted);
  const ScaleStep s = NextScale(5, 5.05, 20);
  EXPECT_FALSE(s.accepted);
  EXPECT_NEAR(s.scale, 20.2, 1e-9);
  EXPECT_EQ(HeadAxesFor(2, 0).z, 2);
  EXPECT_TRUE(HeadAxesFor(2, 0).negate);
  EXPECT_EQ(HeadAxesFor(3, 7).z, 0x22);
  EXPECT_EQ(HeadAxesFor(3, 7).rotation, 0x2A);
  int32_t base = 0;
  EXPECT_FALSE(FlyTriggerInWindow(1, 900, 1000, 0, &base)) << "below the pitch";
  EXPECT_TRUE(FlyTriggerInWindow(1, 1200, 1000, 0, &base));
  EXPECT_EQ(base, 1000);
  EXPECT_FALSE(FlyTriggerInWindow(1, 1900, 1000, 0, &base)) << "t + 130 beyond twice the pitch";
}

namespace {
struct InfoRecorder : smt::link::LinkHooks {
  std::mutex m;
  std::vector<std::string> lines;
  void AppendInfoLine(const std::string& t, bool) override {
    std::lock_guard lk(m);
    lines.push_back(t);
  }
};
}  // namespace

TEST(CameraPanelTest, VisionTestOnTheMarkCameraReportsAndMoves) {
  smt::platform::ScopedRecordingMessages messages;
  InfoRecorder info;
  smt::link::RuntimeOf(smt::CurrentMachine()).hooks = &info;
  smt::settings::PulseSettings p;
  p.m_X_Pulse = p.m_Y_Pulse = 100;
  p.m_A_Pulse = 10;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(p);
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().camera.visionMode = 0;
  CDialogSetView panel(smt::CurrentMachine());
  smt::testing::FillCameraPanelHooks(panel);
  panel.m_VisualSize = 6.0;
  panel.m_dPixelPerMm = 20.0;
  panel.m_Light_Contrast = 100;
  panel.TakeJobParameters();
  // A 2 mm mark 1 mm right of and 0.5 mm below the picture centre.
  cv::Mat frame(240, 320, CV_8UC3, cv::Scalar(0, 0, 0));
  cv::circle(frame, {180, 130}, 20, cv::Scalar(255, 255, 255), cv::FILLED, cv::LINE_AA);
  panel.RunVisionTest(0, frame, true);
  {
    // The move worker may add its own trace lines meanwhile: look for the report.
    std::lock_guard lk(info.m);
    const bool reported = std::any_of(info.lines.begin(), info.lines.end(),
                                      [](const std::string& l) { return l.rfind("Mark: X = -1.0", 0) == 0; });
    EXPECT_TRUE(reported) << (info.lines.empty() ? std::string("no lines") : info.lines.front());
  }
  EXPECT_NEAR(panel.m_nMoveX.load(), -100, 2);
  EXPECT_NEAR(panel.m_nMoveY.load(), -50, 2);
  // The move worker has no link here: it fails and frees the machine.
  EXPECT_TRUE(WaitFor([] { return !smt::CurrentMachine().machineBusy.load(); }));
  // A mark as large as the box is no mark.
  cv::Mat big(240, 320, CV_8UC3, cv::Scalar(0, 0, 0));
  cv::circle(big, {160, 120}, 200, cv::Scalar(255, 255, 255), cv::FILLED);
  panel.RunVisionTest(0, big, false);
  {
    std::lock_guard lk(info.m);
    EXPECT_NE(std::find(info.lines.begin(), info.lines.end(), "视觉识别失败 !"), info.lines.end());
  }
  // While the machine runs the move is refused (the failed move above
  // counted the link as lost: connected again for this check).
  // The lost link also left the machine not homed: homed again for this check.
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().machineBusy = true;
  panel.RunVisionTest(0, frame, true);
  EXPECT_EQ(messages.service.Texts().back(), "Machine is runnig !");
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().connected = false;
  smt::link::RuntimeOf(smt::CurrentMachine()).hooks = nullptr;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse({});
}

TEST(CameraPanelTest, EditsZoomAndLanguageFallBack) {
  CDialogSetView panel(smt::CurrentMachine());
  smt::testing::FillCameraPanelHooks(panel);
  auto* brightness = panel.findChild<QLineEdit*>("lightBrightness");
  panel.m_Light_Brightness = 40;
  for (const char* bad : {"300", "-5", "x"}) {
    brightness->setText(bad);
    panel.OnEnChangeLightBrightness();
    EXPECT_EQ(panel.m_Light_Brightness, 40) << bad;
  }
  // Zoom steps on the double value: eight presses from 1.0 leave a bit
  // over 0.2, a ninth still applies, a tenth does nothing.
  panel.m_pDirectShowCamera[0] = std::make_unique<CCameraDS>();  // a usable camera for the check
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  for (int i = 0; i < 9; ++i) panel.OnBnClickedZoomIn();
  EXPECT_NEAR(panel.m_dDisplayZoom, 0.1, 1e-9);
  panel.OnBnClickedZoomIn();
  EXPECT_NEAR(panel.m_dDisplayZoom, 0.1, 1e-9);
  panel.m_dDisplayZoom = 1.0;
  panel.OnBnClickedZoomOut();
  EXPECT_DOUBLE_EQ(panel.m_dDisplayZoom, 1.0);
  panel.m_pDirectShowCamera[0].reset();
  smt::test::TempDir dir;
  dir.Write("config.ini", "[LanguageSetConfig]\r\nLanguageSet=Klingon\r\n");
  panel.LoadConfig(dir.str());
  EXPECT_EQ(panel.m_nLanguage, 1);
  EXPECT_EQ(panel.m_VisualSize, 0.0);
  EXPECT_EQ(panel.m_Light_Contrast, 0);
}

// The camera panel's visual size, contrast and brightness keep what the
// operator types: a word is not eaten keystroke by keystroke ("hello" stayed
// "o"), a value that does not fit is not taken, and leaving the box with it
// names the field and its range.
TEST(CameraPanelTest, TypedBoxValuesAreKeptWholeAndRefusedByName) {
  smt::platform::ScopedRecordingMessages messages;
  CDialogSetView panel(smt::CurrentMachine());
  smt::testing::FillCameraPanelHooks(panel);
  panel.m_dPixelPerMm = 20.0;
  panel.m_nImageHeight = 480;  // a box of at most 24 mm
  panel.m_VisualSize = 3.0;
  auto type = [](QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    for (QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(e, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(e, &enter);
  };
  struct Case {
    const char* box;
    const char* text;
    const char* hi;  // the range's upper end, named in the refusal (the lower is 0)
  };
  const Case cases[] = {{"visualSize", "hello", " 24 "},   {"visualSize", "300", " 24 "},
                        {"visualSize", "2x", " 24 "},      {"lightContrast", "300", " 255 "},
                        {"lightContrast", "abc", " 255 "}, {"lightBrightness", "-1", " 255 "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " " + c.text);
    auto* e = panel.findChild<QLineEdit*>(c.box);
    ASSERT_NE(e, nullptr);
    messages.service.Clear();
    type(e, c.text);
    EXPECT_EQ(e->text().toStdString(), c.text);
    ASSERT_FALSE(messages.service.Texts().empty());
    const std::string said = messages.service.Texts().front();
    EXPECT_NE(said.find(smt::platform::FieldLabelOf(e)), std::string::npos) << said;
    EXPECT_NE(said.find(" 0 "), std::string::npos) << said;
    EXPECT_NE(said.find(c.hi), std::string::npos) << said;
  }
  // While typing, only what fits was taken (a valid beginning such as the
  // "2" of "2x" is, as the live box follows the typing); never "300".
  EXPECT_LE(panel.m_VisualSize, 24.0);
  EXPECT_LE(panel.m_Light_Contrast, 255);
  messages.service.Clear();
  type(panel.findChild<QLineEdit*>("visualSize"), "12.5");
  EXPECT_EQ(panel.m_VisualSize, 12.5);
  EXPECT_TRUE(messages.service.Texts().empty());
}

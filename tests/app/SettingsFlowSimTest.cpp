// The program as main() builds it, restarted with settings saved by the
// basic settings dialog, drives the simulated board over the serial link
// with them: homing after connecting with the set speeds and on to the
// vision origin, a jog by the set step, a 10 mm test run of X.
#include <QCheckBox>
#include <QComboBox>

#include "SettingsFlowFixture.h"
#include "feeder/FeederServices.h"
#include "link/WindowPanels.h"
#include "link/MachineHoming.h"
#include "run/RunServices.h"
#include "vision/CDialogSetView.h"
#include "vision/MarkAlign.h"
#include "vision/VisionGlobals.h"

#include <opencv2/imgproc.hpp>
#include "link/MotionGlobals.h"
#include "sim/SimBoard.h"

using namespace smt::app;
using settingsflow::ConfirmDialog;

namespace {

// Waits while the window thread keeps working (the workers post to it).
bool WaitWithEvents(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return cond();
}

std::string WithKeys(std::string config, const std::string& section, const std::string& keys) {
  const std::string head = "[" + section + "]\n";
  const auto at = config.find(head);
  if (at == std::string::npos) return config + head + keys;
  return config.insert(at + head.size(), keys);
}

}  // namespace

class SettingsFlowSim : public SettingsFlow {
 protected:
  void SetUp() override {
    SettingsFlow::SetUp();
    smt::sim::SimConfig c;
    c.udp = false;
    c.discovery = false;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
    std::string config = settingsflow::kSettings;
    config = WithKeys(config, "ManualControlConfig", "m_ComNumber=6\nm_XY_RunSteps=250\n");
    config = WithKeys(config, "SetBasicConfig",
                      "m_VisualOriginBox=3.5000\nm_OriginLightContrast=77\nm_OriginLightBrightness=66\n"
                      "m_FeedBrightness=99\nm_CottectionTimeReset=1\nm_VisualOriginSize=2.0000\n"
                      "m_SmtFinishToVisualOrigin=1\nm_CottectionTimeSmt=1\n");
    config = WithKeys(config, "SerialPortConfig", "COM6=" + sim->SerialPath() + "\n");
    config = WithKeys(config, "m_PickPart_SpeedConfig",
                      "m_PickPart_Speed.m_Start_X=20\nm_PickPart_Speed.m_Normal_X=40\n"
                      "m_PickPart_Speed.m_Start_Y=20\nm_PickPart_Speed.m_Normal_Y=40\n");
    config = WithKeys(config, "PcbEditConfig", "m_VisualZoom=18.0000\nm_DetectPrecision=20\n");
    config = WithKeys(config, "m_VisualCorrection_SpeedConfig",
                      "m_VisualCorrection_Speed.m_Start_X=5\nm_VisualCorrection_Speed.m_Normal_X=9\n"
                      "m_VisualCorrection_Speed.m_Start_Y=5\nm_VisualCorrection_Speed.m_Normal_Y=9\n");
    WriteConfig(config);
  }
  void TearDown() override {
    ShellTest::TearDown();
    if (sim) sim->Stop();
    smt::CurrentMachine().connected = smt::CurrentMachine().resetDone = smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().camera.highSpeedCamera = 0;
  }
  std::unique_ptr<smt::sim::SimBoard> sim;
};

TEST_F(SettingsFlowSim, AfterARestartTheSavedSettingsDriveTheBoard) {
  // First run: the operator sets the vision origin, homing to it and a
  // smaller X travel, and confirms.
  {
    CMainFrame& f = Start();
    f.show();
    ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetBasic>(*f.view(), cmd::kSetBasic, [](auto& d) {
      d.Edit("m_X_VisualOrigin")->setText("40");
      d.Edit("m_Y_VisualOrigin")->setText("-30");
      d.Edit("m_X_Limit")->setText("450");
      d.Check("m_ResetToVisualOrigin")->setChecked(true);
      d.Check("m_OnlineToReset")->setChecked(true);
    }));
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    smt::platform::WorkerThreads::Instance().ResetForTests();
  }

  // Restart: nothing opened, the link connects and homes by itself. The
  // go-to drop-down was opened once and is still open: its mark belongs to
  // its own commands, not to the homing's last step.
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  CDialogManualControl& panel = *v.m_pManualControl;
  f.OnToolbarDropDown(cmd::kToolGoTo);
  ASSERT_TRUE(v.m_bGoToFromMenu.load());
  smt::CurrentMachine().camera.highSpeedCamera = 1;  // the live view needs no capture device
  // The Mark camera sees the origin mark (2 mm at 18 pixels per mm) half a
  // millimetre to the right of the image centre.
  smt::vision::SetMarkCamera(smt::CurrentMachine(), [] { return true; },
                             [](cv::Mat& frame) {
                               frame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
                               cv::circle(frame, cv::Point(320 + 9, 240), 18, cv::Scalar(255, 255, 255), cv::FILLED);
                               return true;
                             });
  ASSERT_TRUE(panel.ConnectNow());
  const bool homed = WaitWithEvents([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); });
  if (!homed) {
    for (auto& t : messages.service.Texts()) ADD_FAILURE() << "msg: " << t;
    ADD_FAILURE() << "busy " << smt::CurrentMachine().machineBusy.load() << " homed " << smt::CurrentMachine().resetDone.load() << " x " << sim->Position(0)
                  << " info " << panel.InfoText() << " 52:" << sim->LastReceived(0x52).has_value()
                  << " pending " << smt::link::MachineHoming::Of(smt::CurrentMachine()).m_bResetToOriginPending.load();
  }
  ASSERT_TRUE(homed);
  // Homing went out with the reset speeds of the settings file, the run
  // speeds capped by its speed limit (20).
  auto home = sim->LastReceived(0x02);
  ASSERT_TRUE(home.has_value());
  ASSERT_GE(home->payload.size(), 4u);
  EXPECT_EQ(home->payload[0], 11);  // X start
  EXPECT_EQ(home->payload[1], 20);  // X run 22, capped
  EXPECT_EQ(home->payload[2], 13);  // Y start
  EXPECT_EQ(home->payload[3], 20);  // Y run 24, capped
  // ... and ended with the Mark camera over the vision origin, X 200 x 40 -
  // 200 x 30, Y 160 x -30 - 160 x -12.5, corrected once: the board moved on
  // by the mark's 0.5 mm (100 steps) while the counters keep the nominal
  // position.
  EXPECT_TRUE(WaitWithEvents([&] { return sim->Position(0) == 2100 && sim->Position(1) == -2800; }));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 2000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -2800);
  EXPECT_EQ(smt::link::GetMotionSettings(smt::CurrentMachine()).xLimit, 90000);
  EXPECT_TRUE(panel.m_bJogControlsEnabled.load());
  // The Mark camera came on for the vision origin with its box and lights,
  // without complaining that the machine was not homed yet.
  CDialogSetView& camera = *v.m_pSetView;
  EXPECT_DOUBLE_EQ(camera.m_VisualSize, 3.5);
  EXPECT_EQ(camera.m_Light_Contrast, 77);
  EXPECT_EQ(camera.m_Light_Brightness, 66);
  EXPECT_TRUE(messages.service.Texts().empty());
  // A feeder move opens it once with the feeder brightness.
  smt::link::CameraPanelPortOf(smt::CurrentMachine())->OpenMarkCameraWithFeederLight();
  EXPECT_TRUE(WaitWithEvents([&] { return camera.m_Light_Brightness == 99; }));
  EXPECT_FALSE(camera.m_bFeederLight);
  v.switchLiveCamera(GoToCamera::Mark);
  EXPECT_NE(camera.m_Light_Brightness, 99);

  // Pump 2 follows the saved run mode 1: output 8 first, then output 2.
  static_cast<QAbstractButton*>(panel.Control(1037))->setChecked(true);
  sim->ClearReceived();
  panel.OnPump(2);
  // (Output commands have no reply: wait until both arrived.)
  auto outputs = [&] {
    std::vector<int> out;
    for (const auto& r : sim->Received())
      if (r.code == 0x03 && !r.payload.empty()) out.push_back(r.payload[0]);
    return out;
  };
  ASSERT_TRUE(WaitWithEvents([&] { return outputs().size() >= 2; }));
  EXPECT_EQ(outputs(), (std::vector<int>{8, 2}));
  EXPECT_TRUE(WaitWithEvents([&] { return sim->Output(2); }));
  EXPECT_TRUE(sim->Output(8));

  // A jog moves X by the set step.
  ASSERT_TRUE(panel.Jog(0, true));
  EXPECT_TRUE(WaitWithEvents([&] { return sim->Position(0) == 2350 && !smt::CurrentMachine().machineBusy.load(); }));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 2250);

  // A 10 mm test run of X is accepted and moves 2000 steps.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetPulse>(
      v, cmd::kSetPulse,
      [](auto& d) {
        d.RunAxis()->setCurrentIndex(0);
        d.Edit("testDistance")->setText("10");
        d.OnTestRun();
      },
      false));
  EXPECT_TRUE(WaitWithEvents([&] { return sim->Position(0) == 4350 && !smt::CurrentMachine().machineBusy.load(); }));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 4250);
  // After a placed board the run brings the Mark camera back to the vision
  // origin and corrects there once more.
  ASSERT_TRUE(smt::run::Services(smt::CurrentMachine()).visionOriginAfterPlacement());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 2000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -2800);
  EXPECT_EQ(sim->Position(0), 2200);
  for (const auto& text : messages.service.Texts()) EXPECT_EQ(text.find("Pos Error"), std::string::npos) << text;
}

TEST_F(SettingsFlowSim, PulseTestRunSwitchesTheWalkOutputOffWithItsNumberOnTheNetwork) {
  smt::sim::SimConfig c;
  c.udpBindAddress = "127.0.0.1";
  c.udpPort = 0;
  c.discovery = false;
  c.serial = false;
  smt::sim::SimBoard board(c);
  ASSERT_TRUE(board.Start()) << board.LastError();
  CMainFrame& f = Start();
  smt::link::CMachineLink link{smt::CurrentMachine()};
  link.SetLocalPort(0);
  ASSERT_TRUE(link.Open("127.0.0.1", static_cast<uint32_t>(board.UdpPort())));
  link.StartReplyLoop();
  auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
  smt::link::Link* panelLink = rt.udp.exchange(&link);
  rt.commModel = 1;
  smt::CurrentMachine().connected = true;
  ASSERT_TRUE(f.view()->pulseTestRunner);
  f.view()->pulseTestRunner->SwitchOutputOff(6);
  EXPECT_TRUE(WaitWithEvents([&] { return board.LastReceived(0x03).has_value(); }));
  const auto out = board.LastReceived(0x03);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(board.OutputValue(6), 6);
  EXPECT_FALSE(board.Output(6));
  smt::CurrentMachine().connected = false;
  rt.commModel = 0;
  rt.udp = panelLink;
  link.Close();
  board.Stop();
}

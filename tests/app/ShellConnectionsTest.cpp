// The shell's connections between panels, tried on the program as it starts:
// the jog panel and the run toolbar, the front-panel keys, the information
// boxes, the manual Mark offsets, the PCB editor and the camera panel, and
// the feeder and run services the shell connects.
#include <QAction>
#include <QCoreApplication>
#include <QComboBox>
#include <QDoubleSpinBox>

#include "platform/NumberEdit.h"
#include "ShellFixture.h"
#include "job/PartListData.h"
#include "link/LinkRuntime.h"
#include "link/LinkTestSupport.h"
#include "sim/SimBoard.h"
#include "vision/VisionGlobals.h"
#include <thread>
#include "feeder/FeederServices.h"
#include "link/WindowPanels.h"
#include "job/PcbRecord.h"
#include "job/BoardGeometry.h"
#include "job/CSMTDoc.h"
#include "vision/CDialogCameraList.h"
#include "job/CDialogPCBEdit.h"
#include "job/CToolBarPartControl.h"
#include "job/RunControl.h"
#include "link/FrontPanelKeys.h"
#include "link/ManualMarkOffsets.h"
#include "link/MachineHoming.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"
#include <QProgressBar>
#include "settings/SettingsStores.h"
#include "stations/ConveyorStation.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool Enabled(CDialogPartList& p, int button) { return p.ToolBar().Button(button)->isEnabled(); }

}  // namespace

class ShellConnectionsTest : public ShellTest {
 protected:
  void TearDown() override {
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().resetDone = false;
    smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().paused = false;
    smt::CurrentMachine().masterResetOk = false;
    smt::link::MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = -1;
    ShellTest::TearDown();
  }
};

TEST_F(ShellConnectionsTest, JogEnablingSwitchesStartAfterAFullHomeAndPcbClampOnConveyorMachines) {
  struct Case {
    int type;
    int resetMode;
    bool start, clamp;
  };
  for (const Case& c : {Case{7, 0, true, true}, Case{2, 0, true, false}, Case{7, 3, false, true}}) {
    WriteConfig("[MachineSetConfig]\nMachineSet=" + std::to_string(c.type) + "\n");
    CMainFrame& f = Start();
    CDialogPartList& p = *f.view()->m_pPartList;
    Settle();
    EXPECT_FALSE(Enabled(p, smt::job::kBtnStart));
    smt::link::MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = c.resetMode;
    f.view()->m_pManualControl->EnableJogControls(true);
    Settle();
    EXPECT_EQ(Enabled(p, smt::job::kBtnStart), c.start) << c.type;
    EXPECT_EQ(Enabled(p, smt::job::kBtnPcbClamp), c.clamp) << c.type;
    f.view()->m_pManualControl->EnableJogControls(false);
    Settle();
    EXPECT_FALSE(Enabled(p, smt::job::kBtnPcbClamp));
    app->ExitInstance();
    app.reset();
  }
}

TEST_F(ShellConnectionsTest, PcbClampStartsTheConveyorsClampTask) {
  CMainFrame& f = Start();
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  smt::stations::ConveyorStation::Of(smt::CurrentMachine()).SetClamped(false);
  f.view()->m_pPartList->OnPcbClamp();
  EXPECT_EQ(smt::stations::ConveyorStation::Of(smt::CurrentMachine()).CurrentTask(), 11);
  smt::platform::WorkerThreads::Instance().StopAndJoinAll();
  smt::platform::WorkerThreads::Instance().ResetForTests();
}

TEST_F(ShellConnectionsTest, FrontPanelPauseAndResumeKeysSwitchTheToolbar) {
  CMainFrame& f = Start();
  CDialogPartList& p = *f.view()->m_pPartList;
  smt::CurrentMachine().machineBusy = true;
  smt::link::OnStatusReport(smt::CurrentMachine(), 2);
  Settle();
  EXPECT_FALSE(Enabled(p, smt::job::kBtnPause));
  EXPECT_TRUE(Enabled(p, smt::job::kBtnRegain));
  smt::link::OnStatusReport(smt::CurrentMachine(), 3);
  Settle();
  EXPECT_TRUE(Enabled(p, smt::job::kBtnPause));
  EXPECT_FALSE(Enabled(p, smt::job::kBtnRegain));
}

TEST_F(ShellConnectionsTest, AFullHomeShowsTheBoardsMarkValuesInTheCameraPanel) {
  CMainFrame& f = Start();
  auto& fields = f.view()->m_pPartList->PcbEditor().Fields();
  fields.m_VisualZoom = 25;
  fields.m_VisualBox = 3.5;
  fields.m_LightContrast = 120;
  fields.m_LightBrightness = 80;
  auto& homing = smt::link::MachineHoming::Of(smt::CurrentMachine());
  homing.m_nResetMode = 0;
  homing.ResetAfterHome();
  Settle();
  CDialogSetView& camera = *f.view()->m_pSetView;
  EXPECT_DOUBLE_EQ(camera.m_VisualSize, 3.5);
  EXPECT_DOUBLE_EQ(camera.m_dPixelPerMm, 25);
  EXPECT_EQ(camera.m_Light_Contrast, 120);
  EXPECT_EQ(camera.m_Light_Brightness, 80);
}

TEST_F(ShellConnectionsTest, BusyTextsShowWhateverTheInformationSwitchSaysAndEmptyingClearsBothBoxes) {
  CMainFrame& f = Start();
  CDialogManualControl& jog = *f.view()->m_pManualControl;
  auto& run = f.view()->m_pPartList->Run();
  jog.m_bShowInformation = 0;
  run.view->JogInfo(1, smt::job::kSmtThreadBusy);
  run.view->JogInfo(2, smt::job::kConveyorThreadBusy);
  EXPECT_EQ(jog.InfoText(), smt::job::kSmtThreadBusy);
  EXPECT_EQ(jog.InfoText2(), smt::job::kConveyorThreadBusy);
  run.view->JogInfo(1, "");
  run.view->JogInfo(2, "");
  EXPECT_EQ(jog.InfoText(), "");
  EXPECT_EQ(jog.InfoText2(), "");
}

TEST_F(ShellConnectionsTest, ManualMarkOffsetsFromTheJogMenuReachTheBoardAndServeOneRun) {
  CMainFrame& f = Start();
  // The shown board's stored values (the PCB editor's fields are not read).
  smt::job::PcbRecord fields_;
  fields_.m_strName = "PCB->1";
  fields_.m_dOriginX = 10;
  fields_.m_dOriginY = -10;
  fields_.m_dMark1X = 5;
  fields_.m_dMark1Y = -5;
  fields_.m_dMark2X = 40;
  fields_.m_dMark2Y = -30;
  auto& job = f.view()->m_pPartList->Job();
  job.pcbs.m_Records.push_back(fields_);
  job.ShowRecord(job.pcbs.Count() - 1);
  struct {
    double originX, originY, mark1X, mark1Y;
  } fields{10, -10, 5, -5};
  const auto pulse = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Pulse();
  const auto geometry = smt::link::CurrentMarkCameraGeometry(smt::CurrentMachine());
  // The camera 1 mm right of and 0.5 mm below Mark 1.
  const double wantX = fields.originX + fields.mark1X + 1.0, wantY = fields.originY + fields.mark1Y - 0.5;
  smt::CurrentMachine().curX = static_cast<int32_t>((wantX - geometry.xCameraToNozzle1) * pulse->m_X_Pulse);
  smt::CurrentMachine().curY = static_cast<int32_t>((wantY - geometry.yCameraToNozzle1) * pulse->m_Y_Pulse);
  smt::CurrentMachine().correction.mark1DevStepsX = 0;
  f.view()->m_pManualControl->OnMenuCommand(33083);
  EXPECT_TRUE(messages.service.Texts().empty());
  EXPECT_NE(smt::CurrentMachine().correction.mark1DevStepsX.load(), 0);
  // The run skips the recognition once, then recognises again.
  EXPECT_TRUE(smt::run::TakeMarksMeasured(smt::CurrentMachine()));
  EXPECT_FALSE(smt::run::TakeMarksMeasured(smt::CurrentMachine()));
  f.view()->m_pManualControl->OnMenuCommand(33083);
  f.view()->m_pManualControl->OnMenuCommand(33330);
  EXPECT_FALSE(smt::run::TakeMarksMeasured(smt::CurrentMachine()));
  smt::CurrentMachine().correction.mark1DevStepsX = 0;
}

TEST_F(ShellConnectionsTest, PcbEditorCameraFieldsReachTheCameraPanelAndTooBigIsRefused) {
  CMainFrame& f = Start();
  auto& pcb = f.view()->m_pPartList->PcbEditor();
  CDialogSetView& camera = *f.view()->m_pSetView;
  auto* zoom = pcb.findChild<smt::platform::NumberEdit*>("c_1119");
  auto* box = pcb.findChild<smt::platform::NumberEdit*>("c_1051");
  ASSERT_TRUE(zoom && box);
  // The edits hand their values on as they change.
  box->setValue(2.0);
  zoom->setValue(30.0);
  EXPECT_DOUBLE_EQ(camera.m_dPixelPerMm, 30.0);
  auto& panel = smt::job::PartListOf(smt::CurrentMachine()).camera;
  panel->ShowContrast(77);
  panel->ShowBrightness(66);
  EXPECT_EQ(camera.m_Light_Contrast, 77);
  EXPECT_EQ(camera.m_Light_Brightness, 66);
  EXPECT_EQ(panel->Light(), std::make_pair(77, 66));
  box->setValue(5.0);
  zoom->setValue(200.0);  // zoom x box over the image height
  ASSERT_GT(zoom->value() * box->value(), camera.m_nImageHeight);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"参数太大 !"});
  EXPECT_DOUBLE_EQ(camera.m_dPixelPerMm, 30.0);
}

TEST_F(ShellConnectionsTest, DrillRunEndLiftsWithTheDrillEditorsSpeeds) {
  CMainFrame& f = Start();
  auto& p = *f.view()->m_pPartList;
  EXPECT_EQ(p.Run().DrillLiftSpeeds(), std::make_pair(20, 40));
  p.Logic().drillEdit.liftStart = 7;
  p.Logic().drillEdit.liftRun = 9;
  EXPECT_EQ(p.Run().DrillLiftSpeeds(), std::make_pair(7, 9));
}

TEST_F(ShellConnectionsTest, CameraPanelTakesTheFeedersImageFeatureTheCameraListsReversalAndFolds) {
  CMainFrame& f = Start();
  f.show();  // the camera panel fills its choices when first shown
  Settle();
  CDialogSetView& camera = *f.view()->m_pSetView;
  smt::link::CameraPanelPortOf(smt::CurrentMachine())->SetImageFeature("03:钽电容");
  auto* feature = camera.findChild<QComboBox*>("featureType");
  ASSERT_NE(feature, nullptr);
  EXPECT_EQ(feature->currentIndex(), 3);
  f.view()->m_pCameraList->m_Settings.m_VisualImageColorReversal = 1;
  EXPECT_TRUE(camera.neighbours->VisualColourReversal());
  f.view()->m_pCameraList->m_Settings.m_VisualImageColorReversal = 0;
  EXPECT_FALSE(camera.neighbours->VisualColourReversal());
  camera.OnBnClickedExpand();
  EXPECT_EQ(camera.height(), 30 + 78 + 416);
  camera.OnBnClickedExpand();
  EXPECT_EQ(camera.height(), 446);
}

TEST_F(ShellConnectionsTest, SavingTheJobAlsoSavesTheCameraList) {
  CMainFrame& f = Start();
  f.view()->m_pCameraList->m_Settings.m_VisualImageColorReversal = 1;
  ASSERT_TRUE(f.view()->document()->SaveProject(dir.path() / "job.smt"));
  EXPECT_EQ(Config("CameraListConfig", "m_VisualImageColorReversal"), "1");
}

// "联机后打开相机" over the simulated board's serial port: with the switch on
// the camera panel opens its camera after the connect (here it finds none and
// says so). The jog controls are off while the connect runs.
TEST_F(ShellConnectionsTest, ConnectOpensTheCamerasWhenTheSettingAsksAndJogIsOffMeanwhile) {
  for (const int openCamera : {1}) {
    linktest::ResetLinkState();
    smt::sim::SimConfig c;
    c.udpBindAddress = "127.0.0.1";
    c.udpPort = 0;
    c.discovery = false;
    smt::sim::SimBoard sim(c);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WriteConfig("[SetBasicConfig]\nm_CommModel=0\nm_OpenCamera=" + std::to_string(openCamera) +
                "\n[SerialPortConfig]\nCOM1=" + sim.SerialPath() + "\n[ManualControlConfig]\nm_ComNumber=1\n" +
                "[CameraListConfig]\nm_HighSpeedCamera=0\n");
    CMainFrame& f = Start();
    smt::CurrentMachine().camera.highSpeedCamera = 0;
    CDialogManualControl& jog = *f.view()->m_pManualControl;
    jog.EnableJogControls(true);
    messages.service.Clear();
    jog.OnOnline();
    EXPECT_FALSE(jog.m_bJogControlsEnabled.load());
    for (int i = 0; i < 300 && (jog.Connecting() || !smt::CurrentMachine().connected); ++i) {
      Settle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(smt::CurrentMachine().connected.load()) << openCamera << " " << jog.ButtonText();
    Settle();
    bool cameraAsked = false;
    for (const auto& t : messages.service.Texts()) cameraAsked = cameraAsked || t.find("无法打开摄像头") != std::string::npos;
    EXPECT_TRUE(cameraAsked);
    app->ExitInstance();
    app.reset();
    sim.Stop();
    linktest::ResetLinkState();
  }
}

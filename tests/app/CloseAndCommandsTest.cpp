#include <QAction>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "job/CSMTDoc.h"
#include "settings/SettingsStores.h"

using namespace smt::app;
using smt::platform::MsgAnswer;

TEST_F(ShellTest, CloseWithoutPcbTableAsksNothing) {
  CMainFrame& f = Start();
  f.hasUnsavedChanges = [] { return false; };
  EXPECT_TRUE(f.OnClose());
  EXPECT_TRUE(messages.service.Texts().empty());
  EXPECT_EQ(Config("MachineSetConfig", "MachineSet"), "0");
  EXPECT_TRUE(smt::CurrentMachine().udpStop.load());
  smt::CurrentMachine().udpStop = false;
  smt::CurrentMachine().comStop = false;
}

TEST_F(ShellTest, CancelAtTheClosePromptSavesAndStopsNothing) {
  CMainFrame& f = Start();
  int saves = 0;
  f.hasUnsavedChanges = [] { return true; };
  f.saveProject = [&] { return ++saves, true; };
  std::atomic<bool> workerStopped{false};
  smt::platform::WorkerThreads::Instance().Start("run", [&](std::stop_token st) {
    while (!st.stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    workerStopped = true;
  });
  messages.service.QueueAnswer(MsgAnswer::Cancel);
  EXPECT_FALSE(f.OnClose());
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], "是否要保存工程文件 ?");  // the window's language only
  EXPECT_EQ(saves, 0);
  EXPECT_FALSE(smt::CurrentMachine().udpStop.load());
  EXPECT_FALSE(workerStopped.load());
  EXPECT_EQ(Config("LanguageSetConfig", "LanguageSet"), "<none>");

  messages.service.QueueAnswer(MsgAnswer::Yes);
  EXPECT_TRUE(f.OnClose());
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(workerStopped.load());  // joined before the window goes
  smt::CurrentMachine().udpStop = false;
  smt::CurrentMachine().comStop = false;
}

TEST_F(ShellTest, AJobThatCouldNotBeSavedKeepsTheWindow) {
  CMainFrame& f = Start();
  f.hasUnsavedChanges = [] { return true; };
  f.saveProject = [] { return false; };
  messages.service.QueueAnswer(MsgAnswer::Yes);
  EXPECT_FALSE(f.OnClose());
  EXPECT_FALSE(smt::CurrentMachine().udpStop.load());
}

TEST_F(ShellTest, SettingsCommandsRefusedWhileBusyOthersOpen) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  std::vector<int> opened;
  const int all[] = {cmd::kSetBasic,   cmd::kDippingStation, cmd::kFeedGroup, cmd::kSpeedSet,    cmd::kCameraList,
                     cmd::kNozzleList, cmd::kSetPulse,       cmd::kOftenData, cmd::kPackData,    cmd::kMarkData,
                     cmd::kAutoFeed,   cmd::kAutoTransport,  cmd::kLabelingSet, cmd::kCpuVersionNumber};
  for (int id : all) v.RegisterDialog(id, [&opened, id](QWidget*) { opened.push_back(id); });
  smt::CurrentMachine().machineBusy = true;
  for (int id : all) v.OnCommand(id);
  smt::CurrentMachine().machineBusy = false;
  EXPECT_EQ(opened, (std::vector<int>{cmd::kSetBasic, cmd::kDippingStation, cmd::kSpeedSet, cmd::kNozzleList,
                                      cmd::kSetPulse, cmd::kOftenData, cmd::kPackData, cmd::kMarkData,
                                      cmd::kCpuVersionNumber}));
  auto texts = messages.service.Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "设备正在自动工作，不能操作料架组 !");
  EXPECT_EQ(texts[1], "设备正在自动工作，禁止此项执行 !");
}

TEST_F(ShellTest, MachineTypeGatesLampTableAutoFeedAndFirmware) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  int opened = 0;
  for (int id : {cmd::kLampMachineSet, cmd::kAutoFeed, cmd::kFirmwareUpdate})
    v.RegisterDialog(id, [&](QWidget*) { ++opened; });
  v.OnCommand(cmd::kLampMachineSet);  // type 0
  smt::CurrentMachine().machineType = 8;
  smt::CurrentMachine().machineBusy = true;
  v.OnCommand(cmd::kAutoFeed);  // silent on type 8, even while busy
  smt::CurrentMachine().machineBusy = false;
  int mode = 0;
  v.linkMode = [&] { return mode; };
  v.OnCommand(cmd::kFirmwareUpdate);  // serial link
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"此功能不可用 !", "此功能不可用 !"}));
  smt::CurrentMachine().machineType = 4;
  mode = 1;
  v.OnCommand(cmd::kLampMachineSet);
  v.OnCommand(cmd::kFirmwareUpdate);
  EXPECT_EQ(opened, 2);
}

TEST_F(ShellTest, ListButtonsSwitchTheRightHandPanel) {
  CMainFrame& f = Start();
  f.show();
  CSMTView& v = *f.view();
  v.OnShowFeedList();
  EXPECT_TRUE(v.m_pFeedList->isVisible());
  EXPECT_FALSE(v.m_pPartList->isVisible());
  v.OnShowFeedList();  // again: stays shown
  EXPECT_TRUE(v.m_pFeedList->isVisible());
  EXPECT_EQ(v.feedListShownCount, 1);
  v.OnShowPartList();
  EXPECT_TRUE(v.m_pPartList->isVisible());
  EXPECT_FALSE(v.m_pFeedList->isVisible());
}

TEST_F(ShellTest, CloseSavesTheJobThroughTheDocumentAndTheLibraryFiles) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  ASSERT_NE(v.document(), nullptr);
  EXPECT_FALSE(f.hasUnsavedChanges());
  v.m_pPartList->Job().pcbs.Add("Board-A");
  ASSERT_TRUE(f.hasUnsavedChanges());
  const auto jobPath = dir / "job1.smt";
  v.document()->AskSavePath = [&] { return std::optional<std::filesystem::path>(jobPath); };
  f.Lists().markRows = {"Mark1\t"};
  messages.service.QueueAnswer(MsgAnswer::Yes);
  EXPECT_TRUE(f.OnClose());
  EXPECT_TRUE(std::filesystem::exists(jobPath));
  EXPECT_EQ(f.StatusPaneText(1).toStdString(), jobPath.string());
  EXPECT_EQ(smt::platform::ReadListFile(dir / "ConfigBackup/config_mark.fig", false).rows, f.Lists().markRows);
  smt::CurrentMachine().udpStop = false;
  smt::CurrentMachine().comStop = false;

  // The saved job opens again with its board.
  v.m_pPartList->Job().pcbs.FreePcbList();
  ASSERT_TRUE(v.document()->OnOpenDocument(jobPath));
  EXPECT_EQ(v.m_pPartList->Job().pcbs.FindPcbIndex("Board-A"), 0);
}

TEST_F(ShellTest, CameraViewValuesSurviveARestart) {
  WriteConfig("[SetViewConfig]\nm_BinaryImg=1\nm_VisualSize=3.5\nm_Light_Contrast=120\nm_Light_Brightness=80\n");
  CMainFrame& f = Start();
  EXPECT_TRUE(f.view()->m_pSetView->m_bBinaryImg);
  EXPECT_TRUE(f.OnClose());
  EXPECT_EQ(Config("SetViewConfig", "m_VisualSize"), "3.50");
  EXPECT_EQ(Config("SetViewConfig", "m_Light_Contrast"), "120");
  EXPECT_EQ(Config("SetViewConfig", "m_Light_Brightness"), "80");
  EXPECT_EQ(Config("SetViewConfig", "m_BinaryImg"), "1");
  smt::CurrentMachine().udpStop = false;
  smt::CurrentMachine().comStop = false;
}

TEST_F(ShellTest, GoToCommandsAreGuardedAndHomeIsRefusedWhileBusy) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  smt::CurrentMachine().connected = false;
  v.OnCommand(cmd::kGoNozzleToThrow[0]);
  v.OnCommand(cmd::kGoCameraToMark1);
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().machineBusy = true;
  v.OnCommand(cmd::kGoHome);
  EXPECT_TRUE(smt::CurrentMachine().resetDone.load());  // a running machine keeps its homed state
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().connected = false;
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is not connection !",
                                                                "Machine is runnig !"}));
}

TEST_F(ShellTest, OneKeyZeroTakesTheCurrentPositionAsZeroPoint) {
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->onSetAllZero);
  smt::CurrentMachine().curX = 1234;
  smt::CurrentMachine().curY = -567;
  f.view()->m_pManualControl->onSetAllZero();
  auto& zero = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.m_ZeroPoint;
  EXPECT_EQ(zero[0].load(), 1234);
  EXPECT_EQ(zero[1].load(), -567);
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = 0;
  f.view()->m_pManualControl->onSetAllZero();
}

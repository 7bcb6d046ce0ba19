// The firmware dialog under the offscreen platform: its guards, the feeder
// board choice, its texts, and one piece of work run through its worker
// against the simulator with the lines shown on the window thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>

#include "FirmwareSimFixture.h"
#include "link/CDialogFirmwareUpdate.h"
#include "platform/QtGuiDispatcher.h"
#include "platform/WorkerThreads.h"

using namespace smt::link;
using fwtest::FirmwareSimTest;

namespace {

class FirmwareDialog : public FirmwareSimTest {
 protected:
  FirmwareDialogEnvironment DialogEnv() {
    FirmwareDialogEnvironment e;
    e.link = &link;
    e.appDir = dir.str();
    e.settle = std::chrono::milliseconds(5);
    return e;
  }
  // Lets the worker finish, showing its lines on this (the window) thread.
  bool FinishWork(CDialogFirmwareUpdate& d) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents();
      if (!d.WorkerRunning()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
};

struct GuardCase {
  const char* name;
  bool connected;
  bool busy;
  std::string message;
};

class FirmwareDialogGuards : public FirmwareDialog, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(FirmwareDialogGuards, EveryButtonRefusesAndStartsNothing) {
  CDialogFirmwareUpdate d(smt::CurrentMachine(), DialogEnv());
  for (QPushButton* b : {d.UpgradeButton(), d.ReadConfigButton(), d.WriteLimitButton()}) {
    messages.service.Clear();
    smt::CurrentMachine().connected = GetParam().connected;
    smt::CurrentMachine().machineBusy = GetParam().busy;
    b->click();
    EXPECT_FALSE(d.WorkerRunning());
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{GetParam().message});
    EXPECT_EQ(smt::CurrentMachine().machineBusy.load(), GetParam().busy);  // a refusal leaves the busy state alone
  }
  EXPECT_TRUE(SentBootCommands().empty());
  smt::CurrentMachine().machineBusy = false;
}

INSTANTIATE_TEST_SUITE_P(Dialog, FirmwareDialogGuards,
                         ::testing::Values(GuardCase{"Offline", false, false, "机器没有联机 !"},
                                           GuardCase{"OfflineAndBusy", false, true, "机器没有联机 !"},
                                           GuardCase{"Busy", true, true, "机器正在运行 !"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirmwareDialog, FeederChoiceIsTakenWhenTheUpgradeStartsAndKeptForTheNextOpening) {
  // The worker's end is shown on the window thread (this one), as in the program.
  smt::platform::QtGuiDispatcher gui;
  smt::platform::GuiDispatcher::Install(&gui);
  struct Uninstall {
    ~Uninstall() { smt::platform::GuiDispatcher::Install(nullptr); }
  } uninstall;
  {
    CDialogFirmwareUpdate d(smt::CurrentMachine(), DialogEnv());
    EXPECT_TRUE(d.FeedRadio(0)->isChecked());  // "Feed32" the first time
    EXPECT_EQ(d.FeedRadio(3)->text().toStdString(), "Feed128");
    d.FeedRadio(2)->setChecked(true);
    EXPECT_EQ(d.m_nFeedSelect, 0);  // not yet
    messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);  // no images: stop at the first question
    d.UpgradeButton()->click();
    EXPECT_EQ(d.m_nFeedSelect, 2);
    ASSERT_TRUE(FinishWork(d));
  }
  CDialogFirmwareUpdate again(smt::CurrentMachine(), DialogEnv());
  EXPECT_TRUE(again.FeedRadio(2)->isChecked());
  again.FeedRadio(0)->setChecked(true);
  again.UpgradeButton()->click();
  ASSERT_TRUE(FinishWork(again));
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);  // the worker gave the busy state back
}

TEST_F(FirmwareDialog, TextsComeFromTheLanguageFile) {
  dir.Write("English.ini",
            "[FirmwareUpdateConfig]\nFirmwareUpdate.c_FirmwareUpdate=Board firmware update\nFirmwareUpdate.c_Upadte=Upgrade\n");
  FirmwareDialogEnvironment env = DialogEnv();
  env.language = "English";
  CDialogFirmwareUpdate d(smt::CurrentMachine(), env);
  EXPECT_EQ(d.windowTitle().toStdString(), "Board firmware update");
  EXPECT_EQ(d.UpgradeButton()->text().toStdString(), "Upgrade");
  EXPECT_EQ(d.ReadConfigButton()->text().toStdString(), "读取配置信息");  // missing key: the built-in text
  EXPECT_EQ(d.StatusText(), "升级信息");
}

TEST_F(FirmwareDialog, ReadConfigurationRunsOnTheWorkerAndShowsOnTheWindow) {
  smt::platform::QtGuiDispatcher gui;
  smt::platform::GuiDispatcher::Install(&gui);
  CDialogFirmwareUpdate d(smt::CurrentMachine(), DialogEnv());
  d.ReadConfigButton()->click();
  EXPECT_TRUE(d.WorkerRunning());
  EXPECT_FALSE(d.UpgradeButton()->isEnabled());  // no second start while it runs
  EXPECT_TRUE(smt::CurrentMachine().machineBusy);
  ASSERT_TRUE(FinishWork(d));
  QCoreApplication::processEvents();
  smt::platform::GuiDispatcher::Install(nullptr);
  EXPECT_EQ(d.m_nThreadMode, 2);
  EXPECT_NE(d.ConfigText().find("设备描述：SMT main board"), std::string::npos) << d.ConfigText();
  EXPECT_EQ(d.StatusText(), "读出配置信息完成");
  EXPECT_EQ(d.ProgressValue(), 100);
  EXPECT_TRUE(d.UpgradeButton()->isEnabled());
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
}

TEST_F(FirmwareDialog, MenuCommandRefusesWhileBusyAndOnTheSerialLink) {
  smt::CurrentMachine().machineBusy = true;
  OpenFirmwareUpdateDialog(nullptr, smt::CurrentMachine(), DialogEnv());
  smt::CurrentMachine().machineBusy = false;
  FirmwareDialogEnvironment serial = DialogEnv();
  serial.commModel = 0;
  OpenFirmwareUpdateDialog(nullptr, smt::CurrentMachine(), serial);
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"设备正在自动工作，禁止此项执行 !", "此功能不可用 !"}));
}

}  // namespace

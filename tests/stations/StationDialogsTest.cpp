// The station dialogs under the offscreen platform: values, ranges, saving
// and the refusals of the width buttons.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include "support/TestPanels.h"
#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/CDialogDippingStation.h"
#include "stations/CDialogSetCover.h"
#include "stations/ConveyorStation.h"
#include "stations/ConveyorTexts.h"
#include "stations/StationTexts.h"

namespace {

using namespace smt::stations;

class StationDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("station-dlg-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().machineBusy = false;
    ConveyorStation::Of(smt::CurrentMachine()).SetSettings(ConveyorSettings::Load(dir.string()));
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  smt::platform::ScopedRecordingMessages messages;
};

TEST_F(StationDialogTest, ConveyorWidthButtonsCheckResetAndRange) {
  ConveyorSettings s = ConveyorStation::Of(smt::CurrentMachine()).Settings();
  s.m_AutoTransport = 1;
  s.m_SetWidth = 50;
  s.m_MinRange = s.m_MaxRange = 50;
  ConveyorStation::Of(smt::CurrentMachine()).SetSettings(s);
  CDialogAutoTransport dlg(smt::CurrentMachine(), dir.string());
  dlg.OnPress(1521);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"超出范围 !"});
  // Up and down do nothing (no message) when the range is empty.
  smt::testing::RecordingJogPanel jog;
  jog.widthSteps = 100;
  smt::testing::ConnectedPanel<smt::link::JogPanelActions> connected(smt::link::JogPanelPortOf(smt::CurrentMachine()), jog);
  dlg.OnPress(1528);
  dlg.OnPress(1529);
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_DOUBLE_EQ(dlg.m_editSetWidth->value(), 50.0);
  // A reset required but not done refuses the width move.
  dlg.m_checks[1043]->setChecked(true);
  dlg.m_editMaxRange->setValue(80);
  messages.service.Clear();
  dlg.OnPress(1521);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"请先复位传送带 !"});
  // Without the reset switch an in-range width goes to the test thread
  // (refused here only because the machine is not connected).
  dlg.m_checks[1043]->setChecked(false);
  messages.service.Clear();
  dlg.OnPress(1521);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
}

TEST_F(StationDialogTest, ConveyorPassThroughOnlyOnBigMachines) {
  ConveyorStation::Of(smt::CurrentMachine()).SetPassThrough(false);
  {
    CDialogAutoTransport dlg(smt::CurrentMachine(), dir.string());
    EXPECT_FALSE(dlg.m_checks[1038]->isEnabled());
    dlg.OnPress(1038);
    EXPECT_FALSE(ConveyorStation::Of(smt::CurrentMachine()).PassThrough());
  }
  smt::CurrentMachine().machineType = 7;
  CDialogAutoTransport dlg(smt::CurrentMachine(), dir.string());
  EXPECT_TRUE(dlg.m_checks[1038]->isEnabled());
  dlg.m_checks[1038]->setChecked(true);  // the click has set it: it was clear
  dlg.OnPress(1038);
  EXPECT_TRUE(ConveyorStation::Of(smt::CurrentMachine()).PassThrough());
  EXPECT_FALSE(dlg.m_checks[1036]->isEnabled());
  EXPECT_FALSE(dlg.m_buttons[1004]->isEnabled());
  ConveyorStation::Of(smt::CurrentMachine()).SetPassThrough(false);
}

TEST_F(StationDialogTest, ConveyorOkSavesAndBusyKeepsItOpen) {
  CDialogAutoTransport dlg(smt::CurrentMachine(), dir.string());
  dlg.m_editStartSpeed->setValue(9);
  smt::CurrentMachine().machineBusy = true;
  dlg.accept();
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"测试正在进行中，不可以关闭对话框"});
  smt::CurrentMachine().machineBusy = false;
  EXPECT_EQ(ConveyorSettings::Load(dir.string()).m_ConveyorStartSpeed, 9);
  dlg.ShowTestProgress(3);
  EXPECT_EQ(dlg.m_progress->text().toStdString(), "送板测试--正在进行");
  dlg.ShowTestProgress(6);
  EXPECT_EQ(dlg.m_progress->text().toStdString(), "出板测试--已经完成");
}

TEST_F(StationDialogTest, DippingOkChecksRangesAndSaves) {
  CDialogDippingStation dlg(smt::CurrentMachine(), dir.string());
  dlg.m_editY->setValue(5.0);  // outside -1000..0
  dlg.accept();
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(smt::platform::ConfigPath(dir.string())));
  dlg.m_editY->setValue(-12.5);
  dlg.m_editDelay->setValue(250);
  dlg.accept();
  const auto s = DippingStationSettings::Load(dir.string());
  EXPECT_DOUBLE_EQ(s.m_DippingStation_Y, -12.5);
  EXPECT_EQ(s.m_DippingStation_Delay, 250);
}

TEST_F(StationDialogTest, CoverOkWritesTheSevenKeys) {
  CDialogSetCover dlg(smt::CurrentMachine(), dir.string(), "Chinese");
  EXPECT_EQ(dlg.m_edits[0]->value(), 1);  // zero in the file loads as 1
  dlg.m_edits[0]->setValue(250);
  dlg.m_edits[5]->setValue(12);
  dlg.accept();
  const auto s = CoverTapeSettings::Load(dir.string());
  EXPECT_EQ(s.m_StepPulse, 250);
  EXPECT_EQ(s.m_CoverTotalCount, 12);
  dlg.OnTest(4);  // not connected
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
}

}  // namespace

namespace {

TEST(StationLanguageTest, EachLanguageFileReachesTheDialogs) {
  const auto dir = std::filesystem::temp_directory_path() / ("station-lang-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  struct Case {
    const char* language;
    const char* title;
  };
  for (const Case c : {Case{"English", "Conveyor operation"}, Case{"German", "Förderband-Bedienung"},
                       Case{"Chinese", "自动送板操作"}}) {
    std::filesystem::copy_file(std::string(SMT_SOURCE_DIR) + "/resources/lang/stations/" + c.language + ".ini",
                               dir / (std::string(c.language) + ".ini"),
                               std::filesystem::copy_options::overwrite_existing);
    const auto t = smt::stations::ConveyorTexts::Load(dir.string(), c.language);
    EXPECT_EQ(t.Text("AutoTransport.c_AutoTransportControl"), c.title);
    smt::stations::StationTexts d;
    d.Load(dir.string(), c.language, "SetCoverConfig", smt::stations::CoverTapeTextTable());
    EXPECT_FALSE(d.Text("SetCover.C_LockTest").empty());
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

#include "stations/CDialogLabelingSet.h"
#include "stations/LabelingMachine.h"

namespace {

TEST(LabelingDialogTest, TestPointsCheckTheFeedLimits) {
  smt::platform::ScopedRecordingMessages messages;
  smt::CurrentMachine().connected = false;
  auto& m = smt::stations::LabelingMachine::Of(smt::CurrentMachine());
  smt::stations::LabelingScales k;
  k.northFeedLimit = 300;
  k.westFeedLimit = -200;
  m.SetScales(k);
  smt::stations::LabelingSettings s;
  s.m_StartX = 300;
  s.m_StartY = -10;
  s.m_EndX = 300.5;
  s.m_EndY = -250;
  m.SetSettings(s);
  CDialogLabelingSet dlg(smt::CurrentMachine(), std::filesystem::temp_directory_path().string());
  dlg.OnTestPoint(1);  // at the limit: allowed (not connected: nothing starts, no message)
  EXPECT_TRUE(messages.service.Texts().empty());
  dlg.OnTestPoint(2);
  dlg.OnTestPoint(3);
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"X 超出限位 !", "Y 超出限位 !"}));
  dlg.ToggleHead();
  EXPECT_EQ(dlg.m_head->text().toStdString(), "A2");
}

}  // namespace

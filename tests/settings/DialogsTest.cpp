#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/CDialogPositionLimitDetour.h"
#include "settings/CDialogSetBasic.h"
#include "settings/CDialogSetPulse.h"
#include "settings/CDialogSpeedTemplate.h"
#include "settings/MachineSettingsStore.h"
#include "settings/SettingsMenuCommands.h"
#include "settings/SpeedStore.h"
#include "support/TempDir.h"

using namespace smt::settings;
using smt::platform::ScopedRecordingMessages;
using smt::test::TempDir;

namespace {

struct MachineGlobals {
  MachineGlobals() { Reset(); }
  ~MachineGlobals() { Reset(); }
  static void Reset() {
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().connected = smt::CurrentMachine().resetDone = smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
    for (auto& z : smt::CurrentMachine().curZ) z = 0;
  }
};

class SettingsDialogs : public ::testing::Test {
 protected:
  void SetUp() override { store.LoadAll(dir.str()); }
  TempDir dir;
  MachineGlobals globals;
  MachineSettingsStore store;
  ScopedRecordingMessages messages;
};

}  // namespace

TEST_F(SettingsDialogs, BasicOkRefusesAnyBadFieldAndLeavesEverythingAsItWas) {
  const BasicSettings before = *store.Basic();
  CDialogSetBasic dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
  dlg.Edit("m_X_CameraToNozzle1")->setText("12.5");  // valid, exchanged first
  dlg.Edit("m_X_Limit")->setText("0");                // 0.1 .. 10000
  EXPECT_FALSE(dlg.TryAccept());
  EXPECT_EQ(*store.Basic(), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("0.1"), std::string::npos);

  struct Bad {
    const char* key;
    const char* text;
  } bad[] = {{"m_Y_Limit", "5"}, {"m_ThrowDelay", "50"}, {"m_ChangeDelay", "40000"}, {"m_Exhaust", "abc"},
             {"m_Correction_X2", "1.5"}};
  for (const auto& b : bad) {
    CDialogSetBasic d(smt::CurrentMachine(), store, dir.str(), "Chinese");
    d.Edit(b.key)->setText(b.text);
    EXPECT_FALSE(d.TryAccept()) << b.key;
    EXPECT_EQ(*store.Basic(), before) << b.key;
  }
}

TEST_F(SettingsDialogs, BasicOkCommitsAndRestartFindsTheValues) {
  {
    CDialogSetBasic dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
    EXPECT_TRUE(store.m_bDialogOpen);
    dlg.Edit("m_X_CameraToNozzle1")->setText("12.34567");
    dlg.Edit("m_X_Limit")->setText("450");
    dlg.Check("m_OpenCamera")->setChecked(true);
    EXPECT_TRUE(dlg.TryAccept());
  }
  EXPECT_FALSE(store.m_bDialogOpen);
  EXPECT_DOUBLE_EQ(store.Basic()->m_X_CameraToNozzle1, 12.34567);
  MachineSettingsStore restarted;
  restarted.LoadAll(dir.str());
  EXPECT_DOUBLE_EQ(restarted.Basic()->m_X_CameraToNozzle1, 12.3457);
  EXPECT_DOUBLE_EQ(restarted.Basic()->m_X_Limit, 450);
  EXPECT_EQ(restarted.Basic()->m_OpenCamera, 1);
}

TEST_F(SettingsDialogs, BasicCancelLeavesNoTraceEvenOnMachineTypeFour) {
  BasicSettings b = *store.Basic();
  b.m_Y_Nozzle3ToNozzle1 = 1.5;
  b.m_ResetToVisualOrigin = 1;
  store.SetBasic(b);
  smt::CurrentMachine().machineType = 4;
  CDialogSetBasic dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
  EXPECT_EQ(dlg.Edit("m_Y_Nozzle3ToNozzle1")->text(), "0");
  EXPECT_FALSE(dlg.Check("m_ResetToVisualOrigin")->isChecked());
  EXPECT_FALSE(dlg.Edit("m_Y_Nozzle3ToNozzle1")->isEnabled());
  dlg.reject();
  EXPECT_EQ(*store.Basic(), b);
  EXPECT_FALSE(store.m_bDialogOpen);
}

TEST_F(SettingsDialogs, BasicMachineTypeZeroGreysTheRightFields) {
  CDialogSetBasic dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
  EXPECT_TRUE(dlg.Edit("m_Z_Nozzle2ToFeed")->isEnabled());
  EXPECT_TRUE(dlg.Edit("m_X_Nozzle2ToNozzle1")->isEnabled());
  EXPECT_TRUE(dlg.Edit("m_FeedOverBack")->isEnabled());
  EXPECT_FALSE(dlg.Edit("m_Correction_X2")->isEnabled());
  EXPECT_FALSE(dlg.Edit("m_SuctionNozzleValue2")->isEnabled());
  EXPECT_FALSE(dlg.Edit("m_Z_Nozzle3ToFeed")->isEnabled());
  EXPECT_FALSE(dlg.TakeButton(TeachButton::ZNozzleFeed3)->isEnabled());
}

TEST_F(SettingsDialogs, BasicTakeButtonsWriteOnlyTheEdit) {
  PulseSettings p = *store.Pulse();
  p.m_X_Pulse = 1000;
  p.m_Z_Pulse = 0;  // no scale: the field keeps its text
  store.SetPulse(p);
  smt::CurrentMachine().curX = 12345;
  smt::CurrentMachine().curZ[0] = -400;
  CDialogSetBasic dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
  const BasicSettings before = *store.Basic();
  dlg.TakeButton(TeachButton::ThrowX)->click();
  EXPECT_EQ(dlg.Edit("m_X_ThrowPosition")->text(), "12.3451");
  dlg.Edit("m_Z_Nozzle1ToFeed")->setText("-3");
  dlg.TakePosition(TeachButton::ZNozzleFeed1);
  EXPECT_EQ(dlg.Edit("m_Z_Nozzle1ToFeed")->text(), "-3");
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("脉冲值为 0"), std::string::npos);
  EXPECT_EQ(*store.Basic(), before);
  // The two start-up switches exclude each other.
  dlg.Check("m_OnlineToReset")->click();
  dlg.Check("m_DebugModel")->click();
  EXPECT_FALSE(dlg.Check("m_OnlineToReset")->isChecked());
}

TEST_F(SettingsDialogs, AutoZGuardsInOrder) {
  int started = 0;
  CDialogSetBasic::Hooks hooks;
  hooks.startAutoZ = [&] { ++started; };
  CDialogSetBasic dlg(smt::CurrentMachine(), store, dir.str(), "Chinese", nullptr, hooks);
  dlg.OnAutoZ();
  smt::CurrentMachine().connected = true;
  dlg.OnAutoZ();
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().machineBusy = true;
  dlg.OnAutoZ();
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().curZ[3] = -10;
  dlg.OnAutoZ();
  smt::CurrentMachine().curZ[3] = 0;
  dlg.OnAutoZ();
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"机器没有联机 !", "机器没有复位 !", "机器正在运行 !",
                                      "错误 E3：贴片头没有复位 !"}));
  EXPECT_EQ(started, 1);
}

TEST_F(SettingsDialogs, PulseGenerateAndCheckWorkOnScratchValuesUntilOk) {
  const PulseSettings before = *store.Pulse();
  {
    CDialogSetPulse dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
    dlg.Edit("m_X_Pulse")->setText("1000");
    dlg.OnGenerate();
    EXPECT_EQ(messages.service.Texts().back(), "请选择传动方式 !");
    dlg.Screw()->setChecked(true);
    dlg.Edit("stepAngle")->setText("1.8");
    dlg.Edit("microsteps")->setText("16");
    dlg.Edit("diameter")->setText("5");
    dlg.OnGenerate();
    EXPECT_EQ(dlg.Edit("linear")->text(), "640");
    dlg.Edit("diameter")->setText("0");
    dlg.OnGenerate();
    EXPECT_NE(messages.service.Texts().back().find("must not be 0"), std::string::npos);
    dlg.RunAxis()->setCurrentIndex(0);
    dlg.Edit("testDistance")->setText("100");
    dlg.Edit("measured")->setText("99.5");
    dlg.OnCheck();
    EXPECT_TRUE(dlg.Edit("check")->text().startsWith("1005.025"));
    dlg.Edit("measured")->setText("0");
    dlg.OnCheck();
    EXPECT_NE(messages.service.Texts().back().find("measured distance"), std::string::npos);
    dlg.reject();
  }
  EXPECT_EQ(*store.Pulse(), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));

  CDialogSetPulse dlg(smt::CurrentMachine(), store, dir.str(), "Chinese");
  dlg.Edit("m_Y_Pulse")->setText("0");
  dlg.Edit("m_X_Pulse")->setText("800");
  EXPECT_FALSE(dlg.TryAccept());
  EXPECT_EQ(*store.Pulse(), before);
  dlg.Edit("m_Y_Pulse")->setText("80");
  EXPECT_TRUE(dlg.TryAccept());
  EXPECT_DOUBLE_EQ(store.Pulse()->m_X_Pulse, 800);
  EXPECT_DOUBLE_EQ(LoadPulseSettings(dir.str()).m_Y_Pulse, 80);
}

TEST_F(SettingsDialogs, PulseTestRunSwitchesOutputAndRespectsLimits) {
  struct Runner : PulseTestRunner {
    std::vector<int> outputs;
    std::vector<std::array<int, 3>> jogs;
    void SwitchOutputOff(int o) override { outputs.push_back(o); }
    void Jog(int axis, int dir, int32_t steps) override { jogs.push_back({axis, dir, steps}); }
    TestRunPositions CurrentPositions() override { return {}; }
  } runner;
  smt::CurrentMachine().connected = smt::CurrentMachine().resetDone = true;
  CDialogSetPulse dlg(smt::CurrentMachine(), store, dir.str(), "Chinese", nullptr, &runner);
  dlg.Edit("m_WestWalk_Pulse")->setText("100");
  dlg.RunAxis()->setCurrentIndex(8);  // west walk on machine type 0
  dlg.Edit("testDistance")->setText("5");  // positive: beyond the west limit
  dlg.OnTestRun();
  EXPECT_EQ(runner.outputs, std::vector<int>{5});
  EXPECT_TRUE(runner.jogs.empty());
  EXPECT_EQ(messages.service.Texts().back(), "测试的数据越限 !");
  dlg.RunAxis()->setCurrentIndex(4);  // A1: no check
  dlg.OnTestRun();
  ASSERT_EQ(runner.jogs.size(), 1u);
  EXPECT_EQ(runner.jogs[0][0], 4);
}

TEST_F(SettingsDialogs, DetourOkStoresAndCancelKeeps) {
  {
    CDialogPositionLimitDetour dlg(store, dir.str(), "Chinese");
    dlg.Check("m_W_S_PositionLimitPositionDetour")->setChecked(true);
    dlg.Edit("m_W_S_LessPosition_dX")->setText("120");
    dlg.reject();
  }
  EXPECT_EQ(*store.Detour(), DetourSettings{});
  CDialogPositionLimitDetour dlg(store, dir.str(), "Chinese");
  dlg.Check("m_W_S_PositionLimitPositionDetour")->setChecked(true);
  dlg.Edit("m_W_S_LessPosition_dX")->setText("x");
  EXPECT_FALSE(dlg.TryAccept());
  EXPECT_EQ(*store.Detour(), DetourSettings{});
  dlg.Edit("m_W_S_LessPosition_dX")->setText("120");
  EXPECT_TRUE(dlg.TryAccept());
  EXPECT_EQ(LoadDetourSettings(dir.str()).m_W_S_LessPosition_dX, 120);
  EXPECT_EQ(store.Detour()->m_W_S_PositionLimitPositionDetour, 1);
}

namespace {
std::vector<std::string> TemplateRows() {
  std::vector<std::string> rows;
  for (int tier = 0; tier < 3; ++tier)
    for (const char* name : {"复位速度", "Fast"}) {
      std::string row = std::string(name) + "\t";
      for (int a = 0; a < 16; ++a) row += SpeedCell(100 - 30 * tier, 200 - 60 * tier) + "\t";
      rows.push_back(row);
    }
  return rows;
}
}  // namespace

TEST_F(SettingsDialogs, SpeedOkWithoutTierRefusesAndCancelLeavesNoTrace) {
  SpeedStore speed;
  speed.BuildTemplateArrays("复位速度\tFast\tFast\tFast\tFast\tFast\tFast\t", TemplateRows(), DefaultSpeedNames(), 0);
  speed.LoadConfig(dir.str());
  speed.LoadAllUsageSpeeds(dir.str());
  const auto before = speed.Get();
  {
    CDialogSpeedTemplate dlg(speed, dir.str(), "Chinese", 0);
    dlg.NameEdit()->setText("Slow");
    dlg.OnAdd();
    EXPECT_EQ(dlg.TierTable(Tier::Low)->rowCount(), 3);
    EXPECT_FALSE(dlg.TryAccept());
    EXPECT_EQ(messages.service.Texts().back(), "请选择速度模板 !");
    dlg.reject();
  }
  EXPECT_EQ(speed.Get(), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "config_speed.fig"));
  EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));
}

TEST_F(SettingsDialogs, SpeedOkOnTierPageCommitsEverything) {
  SpeedStore speed;
  speed.BuildTemplateArrays("复位速度\tFast\tFast\tFast\tFast\tFast\tFast\t", TemplateRows(), DefaultSpeedNames(), 0);
  speed.LoadConfig(dir.str());
  CDialogSpeedTemplate dlg(speed, dir.str(), "Chinese", 3);
  dlg.SettingEdit("m_LowSpeedZoom")->setText("50");
  dlg.OnDerive(Tier::Low);  // low = high x 50 %: 50 / 100
  EXPECT_EQ(dlg.TierTable(Tier::Low)->item(1, 1)->text(), "50 / 100");
  // Refused rename leaves the table as it was.
  dlg.OnRowClicked(Tier::Low, 1);
  dlg.NameEdit()->setText("");
  dlg.OnChange();
  EXPECT_EQ(messages.service.Texts().back(), "速度名称不能为空 !");
  EXPECT_EQ(dlg.TierTable(Tier::High)->item(1, 0)->text(), "Fast");
  dlg.SettingEdit("m_XY_RunFast")->setText("50000");
  EXPECT_FALSE(dlg.TryAccept());
  EXPECT_EQ(speed.Get()->settings.m_SpeedMenuCheck, 0);
  dlg.SettingEdit("m_XY_RunFast")->setText("2000");
  EXPECT_TRUE(dlg.TryAccept());
  EXPECT_EQ(speed.Get()->settings.m_SpeedMenuCheck, 3);
  EXPECT_EQ(speed.Record(SpeedUse::Smt)[0], (SpeedPair{50, 100}));
  SpeedStore restarted;
  restarted.LoadConfig(dir.str());
  restarted.LoadAllUsageSpeeds(dir.str());
  EXPECT_EQ(restarted.Get()->settings.m_XY_RunFast, 2000);
  EXPECT_EQ(restarted.Record(SpeedUse::Smt)[0], (SpeedPair{50, 100}));
  EXPECT_TRUE(std::filesystem::exists(dir / "config_speed.fig"));
}

TEST_F(SettingsDialogs, MenuCommandsOpenDialogsAndRefuseWhileBusy) {
  SpeedStore speed;
  QWidget parent;
  SettingsMenuCommands menu(&parent, smt::CurrentMachine(), store, speed, dir.str());
  std::vector<std::string> opened;
  int tabShown = -1;
  menu.SetDialogRunner([&](QDialog& d) {
    opened.push_back(d.objectName().toStdString());
    if (auto* s = qobject_cast<CDialogSpeedTemplate*>(&d)) tabShown = s->Tabs()->currentIndex();
    return int(QDialog::Rejected);
  });
  smt::CurrentMachine().machineBusy = true;  // these open even while busy
  menu.OnSetBasic();
  menu.OnSetPulse();
  menu.OnLowSpeedTemplate();
  EXPECT_EQ(tabShown, 3);
  menu.OnSpeedSet();
  EXPECT_EQ(tabShown, 0);
  EXPECT_EQ(opened, (std::vector<std::string>{"CDialogSetBasic", "CDialogSetPulse", "CDialogSpeedTemplate",
                                              "CDialogSpeedTemplate"}));
  EXPECT_FALSE(menu.MayOpenFeedGroup());
  EXPECT_FALSE(menu.MayOpenWhileNotBusy());
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"设备正在自动工作，不能操作料架组 !", "设备正在自动工作，禁止此项执行 !"}));
  smt::CurrentMachine().machineType = 8;
  EXPECT_FALSE(menu.MayOpenAutoFeed());
  EXPECT_EQ(messages.service.Texts().size(), 2u);  // silent on type 8
  smt::CurrentMachine().machineBusy = false;
  EXPECT_FALSE(menu.MayOpenLampMachineSet());
  EXPECT_FALSE(menu.MayOpenFirmwareUpdate());  // serial link
  smt::CurrentMachine().machineType = 4;
  EXPECT_TRUE(menu.MayOpenLampMachineSet());
}

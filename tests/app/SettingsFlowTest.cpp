// The saved settings reach every consumer when the program starts, without
// any dialog being opened, and again after each settings dialog's OK.
#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "job/BoardGeometry.h"
#include "library/NozzleSeats.h"
#include "link/MotionSettings.h"
#include "link/PumpButtons.h"
#include "run/CDialogSMTStrategy.h"
#include "run/StrategySettings.h"
#include "settings/CDialogSetBasic.h"
#include "settings/CDialogSetPulse.h"
#include "settings/CDialogSpeedTemplate.h"
#include "settings/SettingsStores.h"
#include "settings/SpeedTemplates.h"

using namespace smt::app;

namespace {

// Every value differs from what the program has before loading.
const char* kSettings =
    "[MachineSetConfig]\nMachineSet=3\n"
    "[SetPulseConfig]\nm_X_Pulse=200.0000\nm_Y_Pulse=160.0000\nm_Z_Pulse=50.0000\nm_A_Pulse=10.0000\n"
    "m_WestWalk_Pulse=11.0000\nm_WestLift_Pulse=12.0000\nm_NorthWalk_Pulse=13.0000\nm_NorthLift_Pulse=14.0000\n"
    "m_EastWalk_Pulse=15.0000\nm_EastLift_Pulse=16.0000\nm_AutoWalk1_Pulse=40.0000\nm_AutoWalk2_Pulse=18.0000\n"
    "[SetBasicConfig]\nm_X_Limit=500.0000\nm_Y_Limit=-400.0000\nm_Z_Limit=-20.0000\nm_WestFeed_Limit=-100.0000\n"
    "m_NorthFeed_Limit=90.0000\nm_EastFeed_Limit=-80.0000\nm_SouthFeed_Limit=70.0000\n"
    "m_X_CameraToNozzle1=30.0000\nm_Y_CameraToNozzle1=-12.5000\nm_X_Nozzle2ToNozzle1=20.0000\n"
    "m_X_Nozzle3ToNozzle1=40.0000\nm_X_Nozzle4ToNozzle1=60.0000\nm_X_ThrowPosition=100.0000\n"
    "m_Y_ThrowPosition=-50.0000\nm_Exhaust=30\nm_OnlineToReset=1\nm_ResetToVisualOrigin=1\n"
    "m_SuctionNozzleOffset=1\nm_SuctionNozzleValue1=7\nm_Z_Nozzle1ToFeed=-5.0000\nm_Z_Nozzle2ToFeed=-6.0000\n"
    "[SpeedTemplateConfig]\nm_SpeedMenuCheck=1\nm_MediumSpeedZoom=50\nm_LowSpeedZoom=20\nm_bOptimizeFarSpeed=1\n"
    "m_AccelSpeed=60\nm_bMaxSpeedLimit=1\nm_MaxSpeedLimitValue=20\nm_XY_RunFast=2000\nm_A_RunFast=3600\n"
    "[m_Reset_SpeedConfig]\nm_Reset_Speed.m_Start_X=11\nm_Reset_Speed.m_Normal_X=22\n"
    "m_Reset_Speed.m_Start_Y=13\nm_Reset_Speed.m_Normal_Y=24\n"
    "[m_Handle_SpeedConfig]\nm_Handle_Speed.m_Start_X=31\nm_Handle_Speed.m_Normal_X=42\n"
    "[AutoTransportConfig]\nm_ResetWidth=120.5000\nm_AutoTransport=1\n"
    "[SmtStrategyConfig]\nm_RunSelect=1\n"
    "[ManualControlConfig]\nm_bShowPulse=0\nm_XY_RunSteps=100\n";

// The speed templates: per tier a reset template and a "Fast" one.
void WriteSpeedTemplates(smt::test::TempDir& dir) {
  smt::platform::ListFileContent c;
  c.leading = "复位速度\tFast\tFast\tFast\tFast\tFast\tFast\t";
  for (int tier = 0; tier < 3; ++tier)
    for (const char* name : {"复位速度", "Fast"}) {
      const int base = (std::string(name) == "Fast" ? 500 : 700) + 10 * tier;
      std::string row = std::string(name) + "\t";
      for (int a = 0; a < 16; ++a) row += smt::settings::SpeedCell(base, base + 5) + "\t";
      c.rows.push_back(row);
    }
  smt::platform::WriteListFile(dir / "config_speed.fig", c);
}

// Opens the dialog of `command` through the view, lets `edit` change it and
// confirms it with OK.
template <class Dialog>
bool ConfirmDialog(CSMTView& view, int command, const std::function<void(Dialog&)>& edit) {
  bool found = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      found = true;
      edit(*d);
      d->accept();
    } else if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      other->reject();
    }
  });
  view.OnCommand(command);
  return found;
}

}  // namespace

class SettingsFlow : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    WriteConfig(kSettings);
    smt::platform::ListFileContent nozzles;
    nozzles.rows = {"1\t10.0000\t-20.0000\t-3.0000\t4.0000\t5.0000\t6.0000\t7\tnote\t"};
    smt::platform::WriteListFile(dir / "config_nozzle.fig", nozzles);
    WriteSpeedTemplates(dir);
  }
  void TearDown() override {
    ShellTest::TearDown();
    g_nMachineType = 0;
  }
};

TEST_F(SettingsFlow, EveryConsumerHasTheSavedSettingsRightAfterStartUp) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  ASSERT_EQ(g_nMachineType.load(), 3);

  // Run geometry, camera offset and head layout (steps).
  EXPECT_DOUBLE_EQ(g_dXPulsePerMm, 200.0);
  EXPECT_EQ(g_nCameraOffsetX, 6000);
  EXPECT_EQ(g_nCameraOffsetY, -2000);
  EXPECT_EQ(g_nNozzleOffsetX[0], 4000);
  EXPECT_EQ(g_nThrowPositionX, 20000);
  EXPECT_EQ(g_nFlyHeadCount, 4);
  EXPECT_EQ(g_nFlyTrigger[1], 8000);
  // Nozzle seats.
  EXPECT_EQ(g_NozzleSeats.Get(0).nX, 2000);
  EXPECT_EQ(g_NozzleSeats.Get(0).nY, -3200);
  EXPECT_EQ(g_NozzleSeats.Get(0).nEntranceZHead[1], 300 - 50);

  // The link: limits, switches, vacuum, speed options, homing speeds, run
  // mode (pump buttons and after-home outputs), conveyor width.
  const auto m = smt::link::GetMotionSettings();
  EXPECT_EQ(m.xLimit, 100000);
  EXPECT_EQ(m.yLimit, -64000);
  EXPECT_EQ(m.zLimit, -1000);
  EXPECT_EQ(m.yLimitAbs, 64000);
  EXPECT_DOUBLE_EQ(m.xPulse, 200.0);
  EXPECT_EQ(m.exhaust, 30);
  EXPECT_TRUE(m.onlineToReset);
  EXPECT_TRUE(m.resetToVisualOrigin);
  EXPECT_TRUE(m.suctionNozzleOffset);
  EXPECT_EQ(m.suctionNozzleValue[0], 7);
  EXPECT_TRUE(m.optimizeFarSpeed);
  EXPECT_EQ(m.accelSpeed, 60);
  EXPECT_TRUE(m.maxSpeedLimit);
  EXPECT_EQ(m.maxSpeedLimitValue, 20);
  EXPECT_EQ(m.aRevolution, 3600);
  EXPECT_EQ(m.resetSpeed[0].start, 11);
  EXPECT_EQ(m.resetSpeed[0].normal, 22);
  EXPECT_EQ(m.resetSpeed[1].normal, 24);
  EXPECT_EQ(m.runSelect, 1);
  EXPECT_EQ(smt::link::PumpOutputs(2, 3, m.runSelect, m.exhaust).front().output, 8);
  EXPECT_TRUE(m.autoTransport);
  EXPECT_EQ(m.conveyorWidthTarget, 4820);

  // The jog panel: limits, feeder limits, manual speeds, gear steps, boxes.
  CDialogManualControl& panel = *v.m_pManualControl;
  const auto jog = panel.JogPad().Context();
  EXPECT_EQ(jog.xLimit, 100000);
  EXPECT_EQ(jog.yLimit, -64000);
  EXPECT_EQ(jog.westLimit, -1100);
  EXPECT_EQ(jog.northLimit, 1170);
  EXPECT_EQ(jog.handleSpeed[0][0], 31);
  EXPECT_EQ(jog.handleSpeed[0][1], 42);
  EXPECT_EQ(jog.templates.m_XY_RunFast, 2000);
  panel.ShowPositions(true, 2000, true, -1600, true, 100, true, 50);
  EXPECT_EQ(panel.PositionText(0), "10.00");
  EXPECT_EQ(panel.PositionText(1), "-10.00");
  EXPECT_EQ(panel.PositionText(2), "2.00");
  EXPECT_EQ(panel.PositionText(3), "5.00");
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(SettingsFlow, EveryConsumerFollowsEachDialogsOk) {
  CMainFrame& f = Start();
  f.show();
  CSMTView& v = *f.view();
  CDialogManualControl& panel = *v.m_pManualControl;

  // Basic settings.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetBasic>(v, cmd::kSetBasic, [](auto& d) {
    d.Edit("m_X_Limit")->setText("600");
    d.Edit("m_Exhaust")->setText("40");
    d.Edit("m_X_Nozzle2ToNozzle1")->setText("25");
    d.Edit("m_WestFeed_Limit")->setText("-50");
  }));
  auto m = smt::link::GetMotionSettings();
  EXPECT_EQ(m.xLimit, 120000);
  EXPECT_EQ(m.exhaust, 40);
  EXPECT_EQ(panel.JogPad().Context().xLimit, 120000);
  EXPECT_EQ(panel.JogPad().Context().westLimit, -550);
  EXPECT_EQ(g_nNozzleOffsetX[0], 5000);
  EXPECT_EQ(g_nFlyTrigger[1], 10000);

  // Pulse settings.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetPulse>(v, cmd::kSetPulse, [](auto& d) {
    d.Edit("m_X_Pulse")->setText("250");
    d.Edit("m_AutoWalk1_Pulse")->setText("50");
  }));
  m = smt::link::GetMotionSettings();
  EXPECT_EQ(m.xLimit, 150000);
  EXPECT_DOUBLE_EQ(m.xPulse, 250.0);
  EXPECT_EQ(m.conveyorWidthTarget, 6025);
  EXPECT_EQ(panel.JogPad().Context().xLimit, 150000);
  EXPECT_DOUBLE_EQ(g_dXPulsePerMm, 250.0);
  EXPECT_EQ(g_nCameraOffsetX, 7500);
  EXPECT_EQ(g_NozzleSeats.Get(0).nX, 2500);
  panel.ShowPositions(true, 2500, false, 0, false, 0, false, 0);
  EXPECT_EQ(panel.PositionText(0), "10.00");

  // Speed templates: OK on the medium page reaches the homing speeds, the
  // manual speeds and the speed options.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSpeedTemplate>(v, cmd::kMediumSpeedTemplate, [](auto& d) {
    d.Tabs()->setCurrentIndex(2);
    d.SettingEdit("m_AccelSpeed")->setText("70");
    d.SettingEdit("m_MaxSpeedLimitValue")->setText("25");
    d.SettingEdit("m_XY_RunFast")->setText("3000");
  }));
  m = smt::link::GetMotionSettings();
  EXPECT_EQ(m.resetSpeed[0].start, 710);
  EXPECT_EQ(m.resetSpeed[0].normal, 715);
  EXPECT_EQ(m.resetSpeed[15].start, 710);
  EXPECT_EQ(m.accelSpeed, 70);
  EXPECT_EQ(m.maxSpeedLimitValue, 25);
  EXPECT_EQ(panel.JogPad().Context().handleSpeed[0][0], 510);
  EXPECT_EQ(panel.JogPad().Context().templates.m_XY_RunFast, 3000);

  // Strategy: the run mode reaches the pump buttons.
  bool strategyShown = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<CDialogSMTStrategy*>(QApplication::activeModalWidget())) {
      strategyShown = true;
      d->Button(smt::run::RunModeIds()[0])->setChecked(true);
      d->accept();
    }
  });
  v.m_pPartList->OnStrategy();
  ASSERT_TRUE(strategyShown);
  EXPECT_EQ(smt::run::Strategy().m_RunSelect, 0);
  m = smt::link::GetMotionSettings();
  EXPECT_EQ(m.runSelect, 0);
  EXPECT_EQ(smt::link::PumpOutputs(2, 3, m.runSelect, m.exhaust).front().output, 2);
}

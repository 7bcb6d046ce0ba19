#pragma once
// A program directory whose settings differ from every value the program
// has before loading, and a helper that confirms a settings dialog opened
// through the view.
#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "job/BoardGeometry.h"
#include "library/NozzleSeats.h"
#include "job/CurrentBoard.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/PumpButtons.h"
#include "run/CDialogSMTStrategy.h"
#include "run/StrategySettings.h"
#include "settings/CDialogSetBasic.h"
#include "settings/CDialogSetPulse.h"
#include "settings/CDialogSpeedTemplate.h"
#include "settings/SettingsStores.h"
#include "settings/SpeedTemplates.h"


namespace settingsflow {

// Every value differs from what the program has before loading.
inline const char* kSettings =
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
inline void WriteSpeedTemplates(smt::test::TempDir& dir) {
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
// confirms it with OK (or closes it with Cancel).
template <class Dialog>
bool ConfirmDialog(CSMTView& view, int command, const std::function<void(Dialog&)>& edit, bool ok = true) {
  bool found = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      found = true;
      edit(*d);
      if (ok)
        d->accept();
      else
        d->reject();
    } else if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      other->reject();
    }
  });
  view.OnCommand(command);
  return found;
}

}  // namespace settingsflow

class SettingsFlow : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    WriteConfig(settingsflow::kSettings);
    smt::platform::ListFileContent nozzles;
    nozzles.rows = {"1\t10.0000\t-20.0000\t-3.0000\t4.0000\t5.0000\t6.0000\t7\tnote\t"};
    smt::platform::WriteListFile(dir / "config_nozzle.fig", nozzles);
    settingsflow::WriteSpeedTemplates(dir);
  }
  void TearDown() override {
    ShellTest::TearDown();
    smt::CurrentMachine().machineType = 0;
  }
};


// The vision dialogs work on the machine they are built on: with two machine
// objects in one process (the one in use and another), a dialog built on
// either reads that machine's position, busy, link and homing state and
// nothing of the other one.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableWidget>

#include "core/Machine.h"
#include "link/MachineGuards.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "support/CameraPanelHooks.h"
#include "support/TempDir.h"
#include "vision/CDialogCameraEdit.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraEditValues.h"
#include "vision/CameraListSettings.h"

namespace {

// The state a machine is put in before the dialogs are asked.
struct MachineState {
  int32_t x, y, z;
  bool busy, connected, homed;
};

void Put(smt::Machine& m, const MachineState& s) {
  m.curX = s.x;
  m.curY = s.y;
  m.curZ[0] = s.z;
  m.machineBusy = s.busy;
  m.connected = s.connected;
  m.resetDone = s.homed;
}

class VisionDialogMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::settings::PulseSettings p;
    p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = 100;
    p.m_A_Pulse = 10;
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(p);
    // The second machine has scales of its own: a dialog that read the
    // machine in use's would show other figures.
    p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = 200;
    smt::settings::SettingsStores::Of(other).machine.SetPulse(p);
  }
  void TearDown() override {
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse({});
    Put(smt::CurrentMachine(), {0, 0, 0, false, false, false});
  }
  smt::Machine other;
  smt::test::TempDir dir;
  smt::platform::ScopedRecordingMessages messages;
};

}  // namespace

// Each dialog built on the machine in use and on the other machine, the two
// machines in different states: captures, refusals and the link checks
// follow the dialog's own machine.
TEST_F(VisionDialogMachine, EachDialogReadsTheMachineItWasBuiltOn) {
  struct Case {
    const char* what;
    MachineState own, foreign;
  };
  const Case cases[] = {
      {"far corner, idle, homed", {123456, -98765, -4321, false, true, true}, {0, 0, 0, true, false, false}},
      {"origin, busy, offline", {0, 0, 0, true, false, false}, {500000, 250000, -1000, false, true, true}},
      {"negative, connected, not homed", {-2500, -1, 7, false, true, false}, {1, 2, 3, true, false, true}},
  };
  for (const bool onOther : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (onOther ? " (second machine)" : " (machine in use)"));
      smt::Machine& own = onOther ? other : smt::CurrentMachine();
      smt::Machine& foreign = onOther ? smt::CurrentMachine() : other;
      Put(own, c.own);
      Put(foreign, c.foreign);
      const auto table = smt::settings::SettingsStores::Of(own).machine.Geometry()->table;
      const auto basic = smt::settings::SettingsStores::Of(own).machine.Basic();

      // The camera editor's position buttons.
      CDialogCameraEdit editor(own);
      editor.OnCaptureX();
      editor.OnCaptureY();
      EXPECT_EQ(editor.editX->text().toStdString(), smt::vision::CapturePositionText(c.own.x, table.dXPulse));
      EXPECT_EQ(editor.editY->text().toStdString(), smt::vision::CapturePositionText(c.own.y, table.dYPulse));

      // The camera list: the base position buttons and OK's busy refusal.
      CDialogCameraList list(own);
      list.m_strAppPath = dir.str();
      list.OnCaptureBaseX();
      list.OnCaptureBaseY();
      list.OnCaptureBaseZ();
      EXPECT_EQ(list.edits["m_BaseCoordinates_X"]->text().toStdString(),
                smt::vision::CaptureBaseX(c.own.x, basic->m_X_CameraToNozzle1, table.dXPulse));
      EXPECT_EQ(list.edits["m_BaseCoordinates_Y"]->text().toStdString(),
                smt::vision::CaptureBaseY(c.own.y, basic->m_Y_CameraToNozzle1, table.dYPulse));
      EXPECT_EQ(list.edits["m_BaseCoordinates_Z"]->text().toStdString(), smt::vision::CaptureBaseZ(c.own.z, table.dZPulse));
      messages.service.Clear();
      list.OnCancel();
      const bool refused = !messages.service.Texts().empty() && messages.service.Texts().back() == "机器正在运行 !";
      EXPECT_EQ(refused, c.own.busy);

      // The camera panel's Mark camera button checks the link and homing.
      CDialogSetView panel(own);
      smt::testing::FillCameraPanelHooks(panel);
      messages.service.Clear();
      panel.OnBnClickedOpenMarkCamera();
      const std::vector<std::string> told = messages.service.Texts();
      if (!c.own.connected) {
        EXPECT_EQ(told, std::vector<std::string>{smt::link::kNotConnected});
      } else if (!c.own.homed) {
        EXPECT_EQ(told, std::vector<std::string>{smt::link::kNotReset});
      } else {
        EXPECT_TRUE(told.empty()) << told.front();
      }
    }
  }
}

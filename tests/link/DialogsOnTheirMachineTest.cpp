// The link's dialogs work on the machine they are built on: a second machine
// object, not the one in use, is the one whose link state they read, whose
// settings they keep, whose ports and runtime the jog panel connects itself
// to and whose stop flag it sets when it goes. The machine in use holds the
// opposite values throughout and must keep them.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "link/CDialogFirmwareUpdate.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRuntime.h"
#include "link/MotionSettings.h"
#include "link/WindowPanels.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

namespace {

std::string Yes(bool b) { return b ? "yes" : "no"; }

struct DialogCase {
  const char* name;
  // Builds the dialog on `m`, works it, and returns what it showed or did.
  std::function<std::string(smt::Machine& m, smt::platform::RecordingMessageService& messages)> run;
  std::string expected;
};

int CheckedRadio(CDialogFirmwareUpdate& d) {
  for (int i = 0; i < 4; ++i)
    if (d.FeedRadio(i)->isChecked()) return i;
  return -1;
}

const DialogCase kCases[] = {
    {"FirmwareDialogKeepsThatMachinesFeederBoardAndAsksItsLink",
     [](smt::Machine& m, smt::platform::RecordingMessageService& messages) {
       m.firmwareFeedSelect = 2;
       CDialogFirmwareUpdate d(m, FirmwareDialogEnvironment{});
       std::string out = "shown " + std::to_string(CheckedRadio(d));
       d.FeedRadio(3)->setChecked(true);
       d.OnBnClickedUpgrade();  // the machine it was built on is not connected
       out += "; kept " + std::to_string(m.firmwareFeedSelect.load());
       out += "; " + (messages.Texts().empty() ? std::string("no message") : messages.Texts().back());
       out += "; working " + Yes(d.WorkerRunning()) + "; busy " + Yes(m.machineBusy);
       return out;
     },
     "shown 2; kept 3; 机器没有联机 !; working no; busy no"},
    {"FirmwareMenuRefusesWhileThatMachineIsBusy",
     [](smt::Machine& m, smt::platform::RecordingMessageService& messages) {
       m.machineBusy = true;
       OpenFirmwareUpdateDialog(nullptr, m, FirmwareDialogEnvironment{});
       m.machineBusy = false;
       return messages.Texts().empty() ? std::string("opened") : messages.Texts().back();
     },
     "设备正在自动工作，禁止此项执行 !"},
    {"JogPanelConnectsToThatMachineAndShowsItsLink",
     [](smt::Machine& m, smt::platform::RecordingMessageService&) {
       std::string out;
       {
         CDialogManualControl panel{m};
         smt::link::JogPanelActions* self = &panel;
         out += "port " + Yes(smt::link::JogPanelPortOf(m).get() == self);
         out += "; runtime " + Yes(smt::link::RuntimeOf(m).hooks.load() == &panel);
         out += "; mutex " + Yes(&panel.LinkMutex() == &m.linkMutex);
         m.connected = true;
         panel.ApplyLanguageTexts();
         out += "; button " + panel.ButtonText();
         // A lamp machine (type 4) shows the second platform's Y keys.
         m.machineType = 4;
         panel.LayoutForMachineModel(-1, false);
         out += "; platform keys " + Yes(!panel.Control(1040)->isHidden());
         m.connected = false;
       }
       out += "; stopped " + Yes(m.comStop);
       return out;
     },
     "port yes; runtime yes; mutex yes; button 联机成功; platform keys yes; stopped yes"},
    {"JogPanelKeepsItsControlsOffWhileThatMachinesLinkIsLost",
     [](smt::Machine& m, smt::platform::RecordingMessageService&) {
       CDialogManualControl panel{m};
       m.link.knownLost = true;
       panel.EnableJogControls(true);
       std::string out = "lost: jog " + Yes(panel.m_bJogControlsEnabled);
       m.link.knownLost = false;
       panel.EnableJogControls(true);
       out += "; back: jog " + Yes(panel.m_bJogControlsEnabled);
       return out;
     },
     "lost: jog no; back: jog yes"},
    {"JogPanelTakesThatMachinesSettingsIntoItsMotionSettings",
     [](smt::Machine& m, smt::platform::RecordingMessageService&) {
       smt::settings::BasicSettings basic;
       basic.m_Exhaust = 7;
       smt::settings::SettingsStores::Of(m).machine.SetBasic(basic);
       CDialogManualControl panel{m};
       panel.TakeMachineSettings();
       return "exhaust " + std::to_string(smt::link::GetMotionSettings(m).exhaust) + "; in use " +
              std::to_string(smt::link::GetMotionSettings(smt::CurrentMachine()).exhaust);
     },
     "exhaust 7; in use 5"},
};

class LinkDialogsOnTheirMachine : public ::testing::TestWithParam<DialogCase> {};

TEST_P(LinkDialogsOnTheirMachine, ReadAndSetThatMachineNotTheOneInUse) {
  smt::platform::ScopedRecordingMessages messages;
  smt::Machine& inUse = smt::CurrentMachine();
  smt::Machine builtOn;
  ASSERT_NE(&inUse, &builtOn);
  // The machine in use: connected, its link not lost, type 0, feeder board 0.
  inUse.connected = true;
  inUse.link.knownLost = false;
  inUse.firmwareFeedSelect = 0;
  inUse.machineType = 0;

  EXPECT_EQ(GetParam().run(builtOn, messages.service), GetParam().expected);
  EXPECT_TRUE(inUse.connected);
  EXPECT_FALSE(inUse.machineBusy);
  EXPECT_FALSE(inUse.comStop);
  EXPECT_EQ(inUse.firmwareFeedSelect.load(), 0);
  EXPECT_EQ(inUse.machineType.load(), 0);
  EXPECT_EQ(smt::link::JogPanelPortOf(smt::CurrentMachine()).get(), nullptr);
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).hooks.load(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, LinkDialogsOnTheirMachine, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DialogCase>& i) { return std::string(i.param.name); });

}  // namespace

// The settings dialogs and menu commands work on the machine they are built
// on: the same dialog built on the current machine and on a second machine
// object, standing at other positions, busy or not, reads each machine's own
// state and writes its own settings.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "platform/MessageService.h"
#include "settings/CDialogSetBasic.h"
#include "settings/SettingsMenuCommands.h"
#include "settings/SettingsStores.h"
#include "settings/TeachPosition.h"
#include "support/TempDir.h"

using namespace smt::settings;

namespace {

// One machine as the operator left it.
struct Stand {
  double perMm;
  int32_t x;
  bool busy;
};

void Place(smt::Machine& m, const Stand& s) {
  auto& store = SettingsStores::Of(m).machine;
  PulseSettings p = *store.Pulse();
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = s.perMm;
  store.SetPulse(p);
  m.machineType = 3;
  m.curX = s.x;
  m.machineBusy = s.busy;
}

struct Case {
  const char* name;
  // Builds the dialog on `m` (with that machine's stores), works it and
  // returns what it shows or what it told the operator.
  std::function<std::string(smt::Machine& m, const std::string& dir)> result;
  std::string onCurrent, onSecond;
};

const Case kCases[] = {
    {"basic settings take the throw position from their machine",
     [](smt::Machine& m, const std::string& dir) {
       CDialogSetBasic d(m, SettingsStores::Of(m).machine, dir, "Chinese");
       d.TakePosition(TeachButton::ThrowX);
       const std::string shown = d.Edit("m_X_ThrowPosition")->text().toStdString();
       d.reject();
       return shown;
     },
     "12.5001", "400.0001"},
    {"menu commands refuse on their machine's busy state",
     [](smt::Machine& m, const std::string& dir) {
       smt::platform::ScopedRecordingMessages messages;
       QWidget parent;
       auto& stores = SettingsStores::Of(m);
       SettingsMenuCommands menu(&parent, m, stores.machine, stores.speed, dir);
       menu.SetBusyMessages("one", "two");
       const bool may = menu.MayOpenWhileNotBusy();
       const auto told = messages.service.Texts();
       return std::string(may ? "opens" : "refused") + (told.empty() ? "" : " " + told.front());
     },
     "opens", "refused two"},
};

TEST(SettingsDialogsOwnMachine, EachDialogWorksOnTheMachineItWasBuiltOn) {
  smt::test::TempDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    smt::Machine& current = smt::CurrentMachine();
    smt::Machine second;
    Place(current, {8, 100, false});
    Place(second, {100, 40000, true});
    EXPECT_EQ(c.result(second, dir.str()), c.onSecond);
    EXPECT_EQ(c.result(current, dir.str()), c.onCurrent);
    current.machineBusy = false;
  }
}

}  // namespace

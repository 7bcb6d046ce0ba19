// The part list's dialogs work on the machine they are built on: a second
// machine object, not the one in use, gives the positions, settings and
// hooks they read, and its hooks are the ones their jog pads drive. The
// machine in use holds different values throughout and must see nothing.
#include <gtest/gtest.h>

#include <QPushButton>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartEditDis.h"
#include "job/CDialogPartEditDrill.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPartList.h"
#include "job/PartEditorSupport.h"
#include "job/PartListData.h"
#include "link/LinkRuntime.h"
#include "platform/MessageService.h"
#include "platform/NumberEdit.h"
#include "settings/SettingsStores.h"

using namespace smt::job;

namespace {

struct JogCall {
  int axis = -1, direction = -1;
};

// What a machine shows its dialogs: positions, pulses, the board origin and
// platform its hooks give; its jog hook records what it was asked to do.
struct MachineFace {
  int type;
  int32_t x, y, z;
  double xPulse, yPulse, zPulse;
  std::pair<double, double> origin;
  int platform;
};

void Dress(smt::Machine& m, const MachineFace& f, std::vector<JogCall>& jogs) {
  m.machineType = f.type;
  m.curX = f.x;
  m.curY = f.y;
  m.curZ[0] = f.z;
  smt::settings::PulseSettings p;
  p.m_X_Pulse = f.xPulse;
  p.m_Y_Pulse = f.yPulse;
  p.m_Z_Pulse = f.zPulse;
  m.Part<smt::settings::SettingsStores>().machine.SetPulse(p);
  PartEditorHooks& h = PartEditorHooksOf(m);
  h.pcbOrigin = [o = f.origin] { return o; };
  h.platformSelect = [n = f.platform] { return n; };
  h.jog = [&jogs](int axis, int direction) { jogs.push_back({axis, direction}); };
}

std::string Shown(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%0.4f", v);
  return b;
}

std::string JogText(const std::vector<JogCall>& jogs) {
  std::string s;
  for (const JogCall& j : jogs) s += "jog " + std::to_string(j.axis) + (j.direction ? "+" : "-") + ";";
  return s;
}

// Presses a jog pad button of `dialog` and says what the jog hooks were asked.
std::string PressPad(QWidget& dialog, const char* button, const std::vector<JogCall>& jogs) {
  auto* b = dialog.findChild<QPushButton*>(button);
  if (!b) return "no button";
  b->click();
  return JogText(jogs);
}

struct DialogCase {
  const char* name;
  // Builds the dialog on `m`, works it, and returns what it showed or did.
  std::function<std::string(smt::Machine& m, const std::vector<JogCall>& jogs)> run;
  std::string expected;
};

// The machine the dialogs are built on: a lamp machine (type 4) whose jog
// panel drives the second platform, steps of 1/100 mm in X and Y.
const MachineFace kBuiltOn{4, 12345, 67890, -4500, 100, 100, 200, {10, 20}, 2};
// The machine in use meanwhile: another type, other positions and scales.
const MachineFace kInUse{0, 500000, 400000, -100, 1000, 1000, 1000, {0, 0}, 1};

const DialogCase kCases[] = {
    {"PlacementEditorTakesX",
     [](smt::Machine& m, const std::vector<JogCall>&) {
       CDialogPartEditSmt d(m, PartListOf(m).job);
       d.OnTakeX();  // (12345 - 10 * 100) / 100
       return d.Box(1005)->text().toStdString();
     },
     "113.4501"},
    {"PlacementEditorPadDrivesTheSecondPlatform",
     [](smt::Machine& m, const std::vector<JogCall>& jogs) {
       CDialogPartEditSmt d(m, PartListOf(m).job);
       return PressPad(d, "c_1139", jogs);  // X+ on platform 2 of a lamp machine: axis 9
     },
     "jog 9+;"},
    {"DispensingEditorTakesY",
     [](smt::Machine& m, const std::vector<JogCall>&) {
       CDialogPartEditDis d(m);
       d.OnTakeY();  // (67890 - 20 * 100) / 100
       return d.Box(1006)->text().toStdString();
     },
     "658.9001"},
    {"DispensingEditorPadDrivesTheSecondPlatform",
     [](smt::Machine& m, const std::vector<JogCall>& jogs) {
       CDialogPartEditDis d(m);
       return PressPad(d, "c_1148", jogs);  // Y- on platform 2: axis 12
     },
     "jog 12-;"},
    {"DrillEditorTakesZ",
     [](smt::Machine& m, const std::vector<JogCall>&) {
       CDialogPartEditDrill d(m);
       d.OnTakeZ();  // -4500 / 200
       return d.Box(1008)->text().toStdString();
     },
     "-22.5001"},
    {"DrillEditorPadKeepsThePlainAxes",
     [](smt::Machine& m, const std::vector<JogCall>& jogs) {
       CDialogPartEditDrill d(m);
       return PressPad(d, "c_1139", jogs);
     },
     "jog 0+;"},
    {"PcbEditorTakesTheSecondPlatformsY",
     [](smt::Machine& m, const std::vector<JogCall>&) {
       m.motion.curPlatform[1] = 30000;
       smt::link::RuntimeOf(m).headGroup = 2;
       CDialogPCBEdit d(m, PartListOf(m).job, PartListOf(m).camera);
       d.OnTakePosition(1234);  // origin Y from the second platform: 30000 / 100
       return Shown(static_cast<smt::platform::NumberEdit*>(d.Control("c_1104"))->value());
     },
     "300.0001"},
    {"PartListPanelShowsThatMachinesJobAndItsEditorsTakeFromIt",
     [](smt::Machine& m, const std::vector<JogCall>&) {
       CDialogPartList panel{m};
       if (&panel.Job() != &PartListOf(m).job) return std::string("another job");
       panel.DrillEditor().OnTakeX();  // (12345 - 10 * 100) / 100, "%g"
       return panel.DrillEditor().Box(1005)->text().toStdString();
     },
     "113.45"},
};

class DialogsOnTheirMachine : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DialogsOnTheirMachine, ReadAndDriveThatMachineNotTheOneInUse) {
  smt::platform::ScopedRecordingMessages messages;
  smt::Machine& inUse = smt::CurrentMachine();
  smt::Machine builtOn;
  ASSERT_NE(&inUse, &builtOn);
  std::vector<JogCall> inUseJogs, builtOnJogs;
  Dress(inUse, kInUse, inUseJogs);
  Dress(builtOn, kBuiltOn, builtOnJogs);

  EXPECT_EQ(GetParam().run(builtOn, builtOnJogs), GetParam().expected);
  EXPECT_EQ(JogText(inUseJogs), "");
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{});
  // The machine in use kept its own values.
  EXPECT_EQ(inUse.curX.load(), kInUse.x);
  EXPECT_EQ(inUse.machineType.load(), kInUse.type);
  EXPECT_EQ(inUse.Part<smt::settings::SettingsStores>().machine.Pulse()->m_X_Pulse, kInUse.xPulse);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogsOnTheirMachine, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DialogCase>& i) { return std::string(i.param.name); });

}  // namespace

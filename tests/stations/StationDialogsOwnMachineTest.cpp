// The station dialogs work on the machine they are built on: with a second
// machine object beside the current one, each dialog reads that machine's
// positions and settings and writes its stations, and the current machine
// is left as it was.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "platform/MessageService.h"
#include "platform/NumberEdit.h"
#include "settings/SettingsStores.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/CDialogDippingStation.h"
#include "stations/CDialogLampMachineList.h"
#include "stations/ConveyorStation.h"
#include "stations/DippingStation.h"
#include "stations/LampPointTable.h"
#include "support/TempDir.h"

namespace {

using namespace smt::stations;

std::string Text(double v) {
  std::ostringstream s;
  s.precision(10);
  s << v;
  return s.str();
}

// Scales of a machine's pulse settings (pulses per mm on X, Y, Z).
void UseScales(smt::Machine& m, double perMm) {
  auto& store = smt::settings::SettingsStores::Of(m).machine;
  smt::settings::PulseSettings p = *store.Pulse();
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = perMm;
  store.SetPulse(p);
}

struct Case {
  const char* name;
  // Builds the dialog on `m`, works it as an operator would and confirms.
  std::function<void(smt::Machine& m, const std::string& dir)> work;
  // What the machine's part holds of the dialog's work.
  std::function<std::string(smt::Machine& m)> observe;
  std::string expected;
};

const Case kCases[] = {
    {"dipping station teaches X from its machine's position and scale",
     [](smt::Machine& m, const std::string& dir) {
       CDialogDippingStation d(m, dir);
       d.OnTeach(0);
       d.OnTeach(1);
       d.accept();
     },
     [](smt::Machine& m) {
       const auto s = DippingStation::Of(m).Settings();
       return Text(s.m_DippingStation_X) + " " + Text(s.m_DippingStation_Y);
     },
     // 40000 / 100 and -25000 / 100, each nudged 0.0001 away from zero.
     "400.0001 -250.0001"},
    {"lamp point table adds its point to its machine's table",
     [](smt::Machine& m, const std::string& dir) {
       CDialogLampMachineList d(m, dir);
       d.runEditor = [](CDialogLampMachineEdit& e) {
         static_cast<smt::platform::NumberEdit*>(e.m_fields[1])->setValue(3.5);  // cell 3: mark X
         static_cast<smt::platform::NumberEdit*>(e.m_fields[10])->setValue(7);   // cell 12
         return true;
       };
       d.OnAdd();
     },
     [](smt::Machine& m) {
       auto& t = LampPointTable::Of(m);
       return std::to_string(t.PointCount()) + " " + (t.PointCount() > 0 ? t.Cell(0, 3) : std::string("-"));
     },
     "1 3.5000"},
    {"lamp point table keeps its counters on its machine",
     [](smt::Machine& m, const std::string& dir) {
       CDialogLampMachineList d(m, dir);
       d.m_editSet->setValue(40);
       d.accept();
     },
     [](smt::Machine& m) { return std::to_string(CurrentLampCounters(m).m_CountSet); }, "40"},
    {"conveyor page stores its speed on its machine's conveyor",
     [](smt::Machine& m, const std::string& dir) {
       ConveyorStation::Of(m).SetSettings(ConveyorSettings::Load(dir));  // as at start-up
       CDialogAutoTransport d(m, dir);
       d.m_editStartSpeed->setValue(9);
       d.accept();
     },
     [](smt::Machine& m) { return std::to_string(ConveyorStation::Of(m).Settings().m_ConveyorStartSpeed); },
     "9"},
};

TEST(StationDialogsOwnMachine, EachDialogReadsAndWritesTheMachineItWasBuiltOn) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    smt::platform::ScopedRecordingMessages messages;
    smt::test::TempDir dir;
    smt::Machine& current = smt::CurrentMachine();
    smt::Machine second;
    // Apart in every value a dialog could read by mistake.
    UseScales(current, 1);
    UseScales(second, 100);
    current.curX = 111;
    current.curY = -222;
    second.curX = 40000;
    second.curY = -25000;
    const std::string currentBefore = c.observe(current);
    c.work(second, dir.str());
    EXPECT_EQ(c.observe(second), c.expected);
    EXPECT_EQ(c.observe(current), currentBefore) << "the current machine was changed";
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{});
  }
}

}  // namespace

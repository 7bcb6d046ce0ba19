// The library dialogs read the machine they are built on: the same dialog
// built on the current machine and on a second machine object, standing at
// other positions with other scales, shows each machine's own values
// (captures are nudged 0.0001 away from zero).
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <string>

#include "LibraryTestSupport.h"
#include "core/Machine.h"
#include "library/CDialogMarkEdit.h"
#include "library/CDialogNozzleEdit.h"
#include "library/CDialogNozzleList.h"
#include "library/NozzleSeats.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

using namespace smt::library;

namespace {

// One machine's position and scale, as the operator left it.
struct Stand {
  double perMm;
  int32_t x, y, z1;
  int head3Nozzle;
};

void Place(smt::Machine& m, const Stand& s) {
  auto& store = smt::settings::SettingsStores::Of(m).machine;
  smt::settings::PulseSettings p = *store.Pulse();
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = s.perMm;
  store.SetPulse(p);
  smt::settings::BasicSettings b = *store.Basic();
  b.m_Z_Limit = 50;  // mm below the table a height may be taken
  store.SetBasic(b);
  m.machineType = 3;
  m.curX = s.x;
  m.curY = s.y;
  m.curZ[0] = s.z1;
  m.Part<NozzleState>().headNozzle[2] = s.head3Nozzle;
}

struct Case {
  const char* name;
  // Builds the dialog on `m`, works it and returns what it shows.
  std::function<std::string(smt::Machine& m, const std::string& dir)> shown;
  std::string onCurrent, onSecond;
};

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

const Case kCases[] = {
    {"seat editor takes the seat X and Y from its machine",
     [](smt::Machine& m, const std::string& dir) {
       NozzleEditFields f;
       CDialogNozzleEdit::Environment env;
       env.appDir = dir;
       CDialogNozzleEdit d(f, m, env);
       d.OnCapture(CDialogNozzleEdit::Capture::SeatX);
       d.OnCapture(CDialogNozzleEdit::Capture::SeatY);
       return Text(d.Edit("x")) + " " + Text(d.Edit("y"));
     },
     "12.5001 -4.0001", "400.0001 -250.0001"},
    {"seat editor takes the pick height from its machine's head 1",
     [](smt::Machine& m, const std::string& dir) {
       NozzleEditFields f;
       CDialogNozzleEdit::Environment env;
       env.appDir = dir;
       CDialogNozzleEdit d(f, m, env);
       d.OnCapture(CDialogNozzleEdit::Capture::PickZ);
       return Text(d.Edit("pickHeight"));
     },
     "-3.0001", "-20.0001"},
    {"mark editor takes the mark position from its machine",
     [](smt::Machine& m, const std::string& dir) {
       MarkEditFields f;
       CDialogMarkEdit::Environment env;
       env.appDir = dir;
       CDialogMarkEdit d(f, m, env);
       d.OnCaptureX();
       d.OnCaptureY();
       return Text(d.Edit("mark1X")) + " " + Text(d.Edit("mark1Y"));
     },
     "12.5001 -4.0001", "400.0001 -250.0001"},
    {"nozzle library shows the nozzle its machine's head 3 holds",
     [](smt::Machine& m, const std::string& dir) {
       NozzleLibrary lib;
       CDialogNozzleList::Environment env;
       env.appDir = dir;
       CDialogNozzleList d(lib, m, env);
       return d.HeadLabel(3)->text().toStdString();
     },
     "2", "5"},
};

TEST(LibraryDialogsOwnMachine, EachDialogShowsTheMachineItWasBuiltOn) {
  const auto dir = librarytest::ScratchDir("library-own-machine");
  smt::Machine& current = smt::CurrentMachine();
  smt::Machine second;
  Place(current, {8, 100, -32, -24, 2});
  Place(second, {100, 40000, -25000, -2000, 5});
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    smt::platform::ScopedRecordingMessages messages;
    EXPECT_EQ(c.shown(second, dir.string()), c.onSecond);
    EXPECT_EQ(c.shown(current, dir.string()), c.onCurrent);
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{});
  }
}

}  // namespace

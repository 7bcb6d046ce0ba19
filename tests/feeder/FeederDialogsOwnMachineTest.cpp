// The feeder dialogs work on the machine they are built on: the same dialog
// built on the current machine and on a second machine object, standing at
// other positions with other scales, reads and writes each machine's own
// values.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "feeder/AutoFeeders.h"
#include "feeder/CDialogAutoFeed.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedList.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "support/QuietFeederServices.h"

using namespace smt::feeder;

namespace {

// One machine as the operator left it.
struct Stand {
  double perMm;
  int32_t x, y;
  int testLoop;  // typed into the automatic feeder dialog
};

void Place(smt::Machine& m, const Stand& s) {
  auto& store = smt::settings::SettingsStores::Of(m).machine;
  smt::settings::PulseSettings p = *store.Pulse();
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = s.perMm;
  store.SetPulse(p);
  m.machineType = 3;
  m.curX = s.x;
  m.curY = s.y;
}

struct Case {
  const char* name;
  // Builds the dialog on `m`, works it and returns what it shows or stored.
  std::function<std::string(smt::Machine& m, const Stand& s)> result;
  std::string onCurrent, onSecond;
};

const Case kCases[] = {
    {"feeder editor teaches X and Y from its machine",
     [](smt::Machine& m, const Stand&) {
       CDialogFeedList panel(m);
       CDialogFeedEdit& e = *panel.Editor();
       e.TeachX(false);
       e.TeachY(false);
       return e.Edit("x")->text().toStdString() + " " + e.Edit("y")->text().toStdString();
     },
     "12.5001 -4.0001", "400.0001 -250.0001"},
    {"automatic feeder dialog stores its values in its machine's feeders",
     [](smt::Machine& m, const Stand& s) {
       CDialogAutoFeed d(m);
       d.OnInitDialog();
       d.Edit("m_Feed_Times")->setText("1");
       d.Edit("m_TestLoop")->setText(QString::number(s.testLoop));
       d.Check("m_bAutoFeed")->setChecked(true);
       if (!d.TryAccept()) return std::string("refused");
       const AutoFeedConfig c = AutoFeeders::Of(m).Config();
       return std::to_string(c.m_TestLoop) + " " + std::to_string(c.m_bAutoFeed);
     },
     "3 1", "7 1"},
};

TEST(FeederDialogsOwnMachine, EachDialogWorksOnTheMachineItWasBuiltOn) {
  smt::testing::QuietFeederServices quiet;
  const Stand onCurrent{8, 100, -32, 3}, onSecond{100, 40000, -25000, 7};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    smt::platform::ScopedRecordingMessages messages;
    smt::Machine& current = smt::CurrentMachine();
    smt::Machine second;
    Place(current, onCurrent);
    Place(second, onSecond);
    EXPECT_EQ(c.result(second, onSecond), c.onSecond);
    EXPECT_EQ(c.result(current, onCurrent), c.onCurrent);
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{});
  }
}

}  // namespace

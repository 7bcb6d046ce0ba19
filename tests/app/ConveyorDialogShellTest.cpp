// The conveyor dialog as the program opens it from its menu, with the
// simulated board on the serial line: the reset width and the width range
// open on a double-click of their labels, the width buttons jog by the jog
// panel's S-axis steps, a conveyor reset refreshes the open dialog, and
// "启用自动进板" shows or hides the jog panel's conveyor trace.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "ShellSimFixture.h"
#include "app/CommandIds.h"
#include "link/JogPanelLayout.h"
#include "link/MachineHoming.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/ConveyorStation.h"

namespace {

// `lines` placed at the start of `section` of `config`.
std::string WithLines(std::string config, const std::string& section, const std::string& lines) {
  const std::string head = "[" + section + "]\n";
  const auto at = config.find(head);
  if (at == std::string::npos) return config + head + lines;
  return config.insert(at + head.size(), lines);
}

void DoubleClick(QWidget* w) {
  const QPointF at(2, 2);
  QMouseEvent press(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
}

}  // namespace

class ConveyorDialogShellTest : public ShellSimTest {
 protected:
  CMainFrame& StartWithConveyor() {
    std::string config = MachineConfig();
    config = WithLines(config, "SetPulseConfig", "m_AutoWalk1_Pulse=40\n");
    config = WithLines(config, "ManualControlConfig", "m_S_RunSteps=200\n");
    config += "[AutoTransportConfig]\nm_AutoTransport=1\nm_Reset=1\nm_ResetWidth=120.5\nm_SetWidth=100\n"
              "m_MinRange=50\nm_MaxRange=300\nm_ConveyorStartSpeed=10\nm_ConveyorNormalSpeed=20\n";
    WriteConfig(config);
    CMainFrame& f = Start();
    EXPECT_TRUE(f.view()->m_pManualControl->ConnectNow());
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    return f;
  }

  // Opens the dialog from the menu and runs `use` on it while it is open.
  bool WithDialog(CMainFrame& f, const std::function<void(CDialogAutoTransport&)>& use) {
    bool found = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<CDialogAutoTransport*>(QApplication::activeModalWidget());
      if (!d) {
        if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
        return;
      }
      found = true;
      use(*d);
      Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
      d->reject();
    });
    f.view()->OnCommand(smt::app::cmd::kAutoTransport);
    return found;
  }
};

TEST_F(ConveyorDialogShellTest, ResetWidthAndRangeOpenOnADoubleClickOfTheirLabels) {
  CMainFrame& f = StartWithConveyor();
  EXPECT_TRUE(WithDialog(f, [&](CDialogAutoTransport& d) {
    EXPECT_FALSE(d.m_editResetWidth->isEnabled());
    EXPECT_FALSE(d.m_editMinRange->isEnabled());
    EXPECT_FALSE(d.m_editMaxRange->isEnabled());
    // The labels are found by their texts, as the operator sees them.
    QLabel* resetWidth = nullptr;
    QLabel* range = nullptr;
    for (QLabel* l : d.findChildren<QLabel*>()) {
      if (l->text() == "复位时宽度") resetWidth = l;
      if (l->text() == "设定宽度范围") range = l;
    }
    ASSERT_TRUE(resetWidth && range);
    DoubleClick(resetWidth);
    EXPECT_TRUE(d.m_editResetWidth->isEnabled());
    EXPECT_FALSE(d.m_editMinRange->isEnabled());
    DoubleClick(range);
    EXPECT_TRUE(d.m_editMinRange->isEnabled());
    EXPECT_TRUE(d.m_editMaxRange->isEnabled());
  }));
}

TEST_F(ConveyorDialogShellTest, AConveyorResetRefreshesTheOpenDialogAndTheWidthJogsByTheJogPanelsSteps) {
  CMainFrame& f = StartWithConveyor();
  EXPECT_TRUE(WithDialog(f, [&](CDialogAutoTransport& d) {
    QPushButton* reset = d.m_buttons[1520];
    ASSERT_TRUE(reset->isEnabled());
    // Before the reset the width does not move.
    d.m_buttons[1528]->click();
    EXPECT_EQ(messages.service.Texts().back(), "请先复位传送带 !");
    d.m_editSetWidth->setValue(77);
    emit reset->pressed();
    EXPECT_FALSE(reset->isEnabled());
    // The reset runs on the board; its end shows the reset width in the open dialog.
    EXPECT_TRUE(Pump([&] { return reset->isEnabled(); }, std::chrono::seconds(10)));
    EXPECT_EQ(d.m_editSetWidth->text().toStdString(), "120.50");
    EXPECT_TRUE(smt::stations::ConveyorStation::Of(smt::CurrentMachine()).WidthResetDone());
    Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    // Up: 200 S-axis steps at 40 steps per mm are 5 mm.
    emit d.m_buttons[1528]->pressed();
    EXPECT_EQ(d.m_editSetWidth->text().toStdString(), "125.50");
    Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    emit d.m_buttons[1529]->pressed();
    emit d.m_buttons[1529]->pressed();
    EXPECT_EQ(d.m_editSetWidth->text().toStdString(), "115.50");
  }));
}

TEST_F(ConveyorDialogShellTest, ConveyorInUseShowsOrHidesTheJogPanelsConveyorTrace) {
  CMainFrame& f = StartWithConveyor();
  QWidget* trace = f.view()->m_pManualControl->Control(smt::link::jogid::kInfo2);
  ASSERT_TRUE(trace);
  EXPECT_FALSE(trace->isHidden());
  EXPECT_TRUE(WithDialog(f, [&](CDialogAutoTransport& d) {
    QCheckBox* inUse = d.m_checks[1036];
    ASSERT_TRUE(inUse->isChecked());
    inUse->click();
    EXPECT_TRUE(trace->isHidden());
    EXPECT_FALSE(d.m_buttons[1004]->isEnabled());
    inUse->click();
    EXPECT_FALSE(trace->isHidden());
    EXPECT_TRUE(d.m_buttons[1004]->isEnabled());
  }));
}

// A zone step whose answer the board never sends: the operator closes the
// dialog while it waits. The dialog closes, the wait is given up and the
// machine is free again at once, with nothing to tell (the operator asked
// for it); the board saw the one zone command and nothing after it.
TEST_F(ConveyorDialogShellTest, ClosingTheDialogDuringAZoneWaitGivesItUpAndFreesTheMachine) {
  CMainFrame& f = StartWithConveyor();
  bool closed = false;
  EXPECT_TRUE(WithDialog(f, [&](CDialogAutoTransport& d) {
    messages.service.Clear();
    sim->DropRepliesTo(0x62, 1);
    emit d.m_buttons[1004]->pressed();
    ASSERT_TRUE(Pump([&] { return sim->LastReceived(0x62).has_value(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(smt::CurrentMachine().machineBusy.load());
    const size_t sent = sim->Received().size();
    d.reject();
    closed = !d.isVisible();
    EXPECT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(2)));
    Pump([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(sim->Received().size(), sent) << "the task went on after it was given up";
    EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
  }));
  EXPECT_TRUE(closed);
  EXPECT_TRUE(smt::CurrentMachine().connected.load());
}

// The same silent zone step with the dialog left open: the wait ends after
// the operator's board-in wait time-out (1000 ms here) and its margin, not
// the conveyor family's two minutes, with one message, and the machine is
// free again.
TEST_F(ConveyorDialogShellTest, ASilentZoneStepEndsAfterTheOperatorsWaitTimeOut) {
  std::string config = MachineConfig();
  config += "[AutoTransportConfig]\nm_AutoTransport=1\nm_WaitTimeOut=1000\nm_ConveyorStartSpeed=10\n"
            "m_ConveyorNormalSpeed=20\nm_AutoTransport_1_1=10\n";
  WriteConfig(config);
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->ConnectNow());
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  EXPECT_TRUE(WithDialog(f, [&](CDialogAutoTransport& d) {
    messages.service.Clear();
    sim->DropRepliesTo(0x62, 1);
    emit d.m_buttons[1004]->pressed();
    ASSERT_TRUE(Pump([&] { return sim->LastReceived(0x62).has_value(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(8)))
        << "the zone step still waits";
    Pump([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(messages.service.Texts().size(), 1u);
  }));
}

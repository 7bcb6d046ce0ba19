// Jogging, speed gears, the feeder pad and the pump buttons against the
// board simulator over a real socket: what the board is asked to move is
// what the press asked for, held jogs stop at the travel room, a click is
// one step, and the busy state always comes back.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "link/CDialogManualControl.h"
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "link/JogPad.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/PumpButtons.h"
#include "platform/WorkerThreads.h"

using namespace smt::link;

namespace {

JogContext TestContext() {
  JogContext c;
  c.xLimit = 200000;
  c.yLimit = -150000;
  c.zLimit = -6000;
  // The west walk counts down from 0, the north and east walks up.
  c.westLimit = -50000;
  c.northLimit = 50000;
  c.eastLimit = 50000;
  for (auto& p : c.handleSpeed) p = {4, 12};
  c.westLiftPulse = c.northLiftPulse = c.eastLiftPulse = 10;
  c.openLength = 4;
  c.closeLength = 2;
  return c;  // templates: 1000/100/10/1 (XY), 500/50/5/1 (Z) ...
}

JogSteps FastSteps() {
  JogSteps s;
  ApplyGear(s, 0, TestContext().templates);
  return s;
}

}  // namespace

class JogOnSimulator : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    Introduce();
    sim->ClearReceived();
    runner.SetContext(TestContext());
    runner.SetSteps(FastSteps());
  }
  void TearDown() override {
    runner.Release();
    WaitIdle();
    MotionSimTest::TearDown();
  }
  bool WaitIdle() {
    return linktest::WaitFor([&] { return !runner.m_bJogRunning && !smt::CurrentMachine().machineBusy; }, std::chrono::seconds(5));
  }
  size_t Count(uint16_t code) {
    size_t n = 0;
    for (const auto& c : sim->Received()) n += c.code == code;
    return n;
  }
  std::vector<int> OutputsSwitched() {
    std::vector<int> v;
    for (const auto& c : sim->Received())
      if (c.code == 0x03) v.push_back(c.payload.at(0) * (c.payload.at(1) ? 1 : -1));
    return v;
  }

  JogRunner runner{smt::CurrentMachine()};
};

// A click (press, then release before the first step) is exactly one step;
// the board and the program agree on where the axis is afterwards.
TEST_F(JogOnSimulator, ClickMovesExactlyOneStepOfItsFamily) {
  struct Case {
    int type, axis;
    bool positive;
    int simAxis;
    int64_t moved;
  };
  const Case cases[] = {
      {0, 0, true, 0, 1000},    // X+ with the XY step
      {0, 1, false, 1, -1000},  // Y-
      {0, 2, true, 2, -500},    // Z1+: the Z pair takes the opposite sign
      {0, 8, false, 8, -1000},  // west feeder walk with the feeder step
      {7, 32, false, 32, -500}, // eight heads: Z1- down by its own code
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " axis " << c.axis);
    smt::CurrentMachine().machineType = c.type;
    const int64_t before = sim->Position(c.simAxis);
    ASSERT_TRUE(runner.Jog(c.axis, c.positive, true, false, 0));
    runner.Release();  // released before the worker's first step
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(sim->Position(c.simAxis) - before, c.moved);
  }
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -1000);
  // The pair motor moved Z1 and Z2 apart; the eight-head code moved Z1 alone.
  EXPECT_EQ(smt::CurrentMachine().curZ[0].load(), 0);
  EXPECT_EQ(smt::CurrentMachine().curZ[1].load(), -500);
  EXPECT_TRUE(messages.service.Texts().empty());
}

// A held jog repeats until the axis has no more room, then ends by itself.
TEST_F(JogOnSimulator, HeldJogStopsAtTheTravelLimit) {
  runner.m_StepPause = std::chrono::milliseconds(5);
  smt::CurrentMachine().curX = 200000 - 2500;
  ASSERT_TRUE(runner.Jog(0, true, true, false, 0));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Count(0x61), 2u);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 200000 - 500);
  EXPECT_TRUE(messages.service.Texts().empty());
}

// Without room nothing is sent and the busy state is not kept.
TEST_F(JogOnSimulator, NoRoomNoAxisOrNoLinkSendsNothing) {
  struct Case {
    int type, axis;
    bool positive;
    bool connected;
  };
  const Case cases[] = {
      {0, 0, false, true},  // X- at X = 0
      {0, 1, true, true},   // Y+ at Y = 0
      {9, 2, true, true},   // drill: Z1+ with Z1 at the top
      {4, 9, true, true},   // lamp machine, platform 1: axis 9 has no room
      {2, 40, true, true},  // an A5 code on a two-head machine
      {0, 0, true, false},  // offline
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " axis " << c.axis);
    smt::CurrentMachine().machineType = c.type;
    smt::CurrentMachine().connected = c.connected;
    EXPECT_FALSE(runner.Jog(c.axis, c.positive, true, false, 0));
    EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  }
  smt::CurrentMachine().connected = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Count(0x61), 0u);
  // Only the jog on a lost link says why (no room and no axis stay silent).
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
}

// The busy state is the guard: a second press while a jog runs is refused,
// and any other holder of the busy state keeps jogs out.
TEST_F(JogOnSimulator, SecondPressWhileBusyIsRefused) {
  sim->SetReplyDelay(std::chrono::milliseconds(150));
  ASSERT_TRUE(runner.Jog(0, true, true, false, 0));
  EXPECT_FALSE(runner.Jog(1, false, true, false, 0));
  runner.Release();
  ASSERT_TRUE(WaitIdle());
  sim->SetReplyDelay(std::chrono::milliseconds(0));
  EXPECT_EQ(Count(0x61), 1u);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), 0);

  smt::CurrentMachine().machineBusy = true;
  EXPECT_FALSE(runner.Jog(0, true, true, false, 0));
  EXPECT_TRUE(smt::CurrentMachine().machineBusy.load());  // not released by the refused press
  smt::CurrentMachine().machineBusy = false;
}

// A step the command refuses ends the held jog with one message, not one
// per repetition; the busy state comes back.
TEST_F(JogOnSimulator, RefusedStepEndsTheHeldJogWithOneMessage) {
  runner.m_StepPause = std::chrono::milliseconds(5);
  smt::CurrentMachine().curY = 10;  // outside the Y travel: every X step is refused
  ASSERT_TRUE(runner.Jog(0, true, true, false, 0));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kYPosError});
  EXPECT_EQ(Count(0x61), 0u);
}

// A lowered head limits the XY jog to the slow step (fine stays fine) and
// the display is refreshed.
TEST_F(JogOnSimulator, LoweredHeadLimitsTheXYStep) {
  int refreshed = 0;
  runner.onStepsChanged = [&] { ++refreshed; };
  smt::CurrentMachine().curZ[1] = -100;
  ASSERT_TRUE(runner.Jog(0, true, false, false, 0));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 10);
  EXPECT_EQ(runner.Steps().m_XY_RunSteps, 10);
  EXPECT_GE(refreshed, 1);

  JogSteps fine = runner.Steps();
  fine.m_XY_RunSteps = 1;
  runner.SetSteps(fine);
  ASSERT_TRUE(runner.Jog(0, true, false, false, 0));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 11);
  EXPECT_EQ(runner.Steps().m_XY_RunSteps, 1);

  // The drilling machine has no such limit.
  smt::CurrentMachine().machineType = 9;
  runner.SetSteps(FastSteps());
  ASSERT_TRUE(runner.Jog(0, true, false, false, 0));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1011);
}

// Gears advance once per debounce interval, wrap after fine, set all five
// steps and go to the board as state 5; offline the gear changes locally and
// the operator is told.
TEST_F(JogOnSimulator, SpeedGearsAreDebouncedAndSentToTheBoard) {
  EXPECT_EQ(runner.NextSpeedGear(), 1);
  EXPECT_EQ(runner.NextSpeedGear(), 1);  // a double press within the interval
  const JogSteps medium = runner.Steps();
  EXPECT_EQ(medium, (JogSteps{1, 100, 50, 100, 100, 100}));
  for (int expected : {2, 3, 0}) {
    std::this_thread::sleep_for(std::chrono::milliseconds(110));
    EXPECT_EQ(runner.NextSpeedGear(), expected);
  }
  EXPECT_EQ(runner.Steps(), FastSteps());
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->States().size() >= 5; }));
  std::vector<std::pair<int, int>> states = sim->States();
  EXPECT_EQ(states, (std::vector<std::pair<int, int>>{{5, 1}, {5, 1}, {5, 2}, {5, 3}, {5, 0}}));

  smt::CurrentMachine().connected = false;
  std::this_thread::sleep_for(std::chrono::milliseconds(110));
  EXPECT_EQ(runner.NextSpeedGear(), 1);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kNotConnected});
}

// The feeder pad on the west side: the walk switches the feeder output off
// first; a lift is one stroke of the tape length; the south side does nothing.
TEST_F(JogOnSimulator, FeederPadDrivesTheChosenSide) {
  runner.m_Feed_Direction = 2;  // west
  EXPECT_FALSE(runner.FeederPadPress(1229));  // Y+: walk 8 +, no room at 0
  ASSERT_TRUE(runner.FeederPadPress(1230));   // Y-: walk 8 -
  runner.Release();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(OutputsSwitched(), (std::vector<int>{-5, -5}));
  EXPECT_EQ(sim->Position(8), -1000);

  ASSERT_TRUE(runner.FeederPadPress(1227));  // X+: lift 11 -, open length 4 mm x 10
  ASSERT_TRUE(WaitIdle());
  const auto lift = sim->LastReceived(0x61);
  ASSERT_TRUE(lift.has_value());
  EXPECT_EQ(lift->payload.at(0), 11);
  EXPECT_EQ(Count(0x61), 2u);  // a lift does not repeat

  runner.m_Feed_Direction = 1;  // south
  for (int id : {1227, 1228, 1229, 1230, 1231}) EXPECT_FALSE(runner.FeederPadPress(id));
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
}

// The release of the direction button closes the feeder after the press's
// lift: output off, then the closing lift; offline it only tells the operator.
TEST_F(JogOnSimulator, DirectionButtonReleaseClosesTheFeeder) {
  runner.m_Feed_Direction = 0;  // east
  ASSERT_TRUE(runner.FeederPadPress(1231));
  EXPECT_TRUE(RuntimeOf(smt::CurrentMachine()).feederButtonHeld.load());
  ASSERT_TRUE(runner.FeederButtonRelease());
  ASSERT_TRUE(linktest::WaitFor([&] { return Count(0x61) == 2 && !smt::CurrentMachine().machineBusy; }, std::chrono::seconds(5)));
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(RuntimeOf(smt::CurrentMachine()).feederButtonHeld.load());
  std::vector<int> axes;
  for (const auto& c : sim->Received())
    if (c.code == 0x61) axes.push_back(c.payload.at(0));
  EXPECT_EQ(axes, (std::vector<int>{13, 13}));
  const auto outs = OutputsSwitched();
  ASSERT_FALSE(outs.empty());
  EXPECT_EQ(outs.back(), -7);  // east feeder output off before closing
  EXPECT_TRUE(linktest::WaitFor([&] { return !sim->Output(7); }));

  smt::CurrentMachine().connected = false;
  ASSERT_TRUE(runner.FeederButtonRelease());
  ASSERT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kNotConnected});
}

// Pump buttons switch the outputs of their machine type, in order.
TEST_F(JogOnSimulator, PumpButtonsSwitchTheirOutputs) {
  smt::CurrentMachine().machineType = 3;
  UpdateSettings([](MotionSettings& m) {
    m.runSelect = 1;
    m.exhaust = 40;
  });
  ASSERT_TRUE(SwitchPump(smt::CurrentMachine(), 2, true));
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->Output(2); }));
  EXPECT_TRUE(linktest::WaitFor([&] { return sim->Output(8); }));
  ASSERT_TRUE(SwitchPump(smt::CurrentMachine(), 2, false));
  ASSERT_TRUE(linktest::WaitFor([&] { return !sim->Output(2); }));
  EXPECT_EQ(OutputsSwitched(), (std::vector<int>{8, 2, -8, -2}));
  EXPECT_EQ(sim->OutputValue(2), 5);

  smt::CurrentMachine().machineType = 7;
  UpdateSettings([](MotionSettings& m) { m.runSelect = 0; });
  ASSERT_TRUE(SwitchPump(smt::CurrentMachine(), 8, true));
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->Output(39); }));
  EXPECT_EQ(sim->OutputValue(39), 40);

  smt::CurrentMachine().connected = false;
  sim->ClearReceived();
  EXPECT_FALSE(SwitchPump(smt::CurrentMachine(), 1, true));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(sim->Received().empty());
}

// The panel's pump button: offline a click only changes the mark; the next
// click after connecting sends the state it shows.
TEST_F(JogOnSimulator, PanelPumpButtonFollowsTheLink) {
  CDialogManualControl panel{smt::CurrentMachine()};
  RuntimeOf(smt::CurrentMachine()).udp = &link;  // the panel's own link is not open here
  auto* pump1 = static_cast<QPushButton*>(panel.Control(1225));
  smt::CurrentMachine().connected = false;
  pump1->click();
  EXPECT_TRUE(panel.PumpChecked(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(OutputsSwitched().empty());
  smt::CurrentMachine().connected = true;
  pump1->click();
  EXPECT_FALSE(panel.PumpChecked(1));
  ASSERT_TRUE(linktest::WaitFor([&] { return !OutputsSwitched().empty(); }));
  EXPECT_EQ(OutputsSwitched(), std::vector<int>{-1});
  pump1->click();
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->Output(1); }));
  EXPECT_TRUE(panel.PumpChecked(1));
}

// The panel's buttons: a press of X+ and its release is one step; the
// front-panel jog key goes through the same jog.
TEST_F(JogOnSimulator, PanelButtonsAndFrontPanelKeysJog) {
  CDialogManualControl panel{smt::CurrentMachine()};
  RuntimeOf(smt::CurrentMachine()).udp = &link;  // the panel's own link is not open here
  panel.JogPad().SetContext(TestContext());
  panel.JogPad().SetSteps(FastSteps());
  panel.PressControl(1139);
  panel.ReleaseControl(1139);
  ASSERT_TRUE(linktest::WaitFor([&] { return !panel.JogPad().m_bJogRunning && !smt::CurrentMachine().machineBusy; }));
  EXPECT_EQ(sim->Position(0), 1000);

  RouteJog(smt::CurrentMachine(), 0, 0);  // front-panel key 7: X-, one step
  ASSERT_TRUE(linktest::WaitFor([&] { return Count(0x61) == 2 && !smt::CurrentMachine().machineBusy; }));
  EXPECT_EQ(sim->Position(0), 0);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
}

// The arrow keys jog X and Y while held (a press and release is one step);
// Ctrl+Shift advances the gear.
TEST_F(JogOnSimulator, ArrowKeysJogAndCtrlShiftChangesTheGear) {
  CDialogManualControl panel{smt::CurrentMachine()};
  RuntimeOf(smt::CurrentMachine()).udp = &link;
  panel.JogPad().SetContext(TestContext());
  panel.JogPad().SetSteps(FastSteps());
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(&panel, &down);
  QApplication::sendEvent(&panel, &up);
  ASSERT_TRUE(linktest::WaitFor([&] { return Count(0x61) == 1 && !smt::CurrentMachine().machineBusy; }));
  EXPECT_EQ(sim->Position(1), -1000);

  QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ShiftModifier);
  QApplication::sendEvent(&panel, &ctrl);
  EXPECT_EQ(panel.JogPad().Steps().m_SpeedGears, 1);
  QApplication::processEvents();
  EXPECT_EQ(panel.StepDisplay(), "XY100,  Z50,  A100,  F100,  S100");
}

// A jog that is taken but moves nothing keeps why: a step of 0, or no room
// towards the travel limit; a jog that moves, or one refused while offline,
// has no such reason.
TEST_F(JogOnSimulator, AJogThatMovesNothingKeepsWhy) {
  using Nothing = JogRunner::NothingToMove;
  struct Case { int xySteps; bool positive; bool connected; bool started; Nothing why; };
  const Case cases[] = {
      {0, true, true, false, Nothing::ZeroStep},
      {1000, false, true, false, Nothing::AtLimit},  // X- at X = 0
      {1000, true, true, true, Nothing::None},
      {0, true, false, false, Nothing::None},
  };
  for (const Case& c : cases) {
    JogSteps s = FastSteps();
    s.m_XY_RunSteps = c.xySteps;
    runner.SetSteps(s);
    smt::CurrentMachine().curX = 0;
    smt::CurrentMachine().connected = c.connected;
    EXPECT_EQ(runner.Jog(0, c.positive, false, false, 0), c.started) << c.xySteps << c.positive;
    EXPECT_EQ(runner.LastNothingToMove(), c.why) << c.xySteps << c.positive;
    ASSERT_TRUE(WaitIdle());
    smt::CurrentMachine().connected = true;
  }
}

// Two machine objects in one process, each with its own links to its own
// simulated board: what is sent through one machine's link lands on that
// board and changes that machine's state only. The machine in use (the
// test's own, with no link at all) is neither of them, so a command that
// slipped to it would not be sent anywhere.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "LinkTestSupport.h"
#include "core/Machine.h"
#include "link/CMachineLink.h"
#include "link/CSerialLink.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "link/JogPad.h"
#include "link/MotionSettings.h"
#include "link/ProcessCommands.h"
#include "link/PumpButtons.h"
#include "link/RunMachine.h"
#include "link/WindowPanels.h"
#include "platform/WorkerThreads.h"
#include "sim/SimBoard.h"
#include "support/TestPanels.h"

namespace {

enum class Kind { Udp, Serial };

// One machine with its board and its two links, connected and homed.
struct Station {
  smt::Machine machine;
  std::unique_ptr<smt::sim::SimBoard> sim;
  smt::link::CMachineLink udp{machine};
  smt::link::CSerialLink serial{machine};

  bool Start(Kind kind, std::string& error) {
    smt::sim::SimConfig c;
    c.udpBindAddress = "127.0.0.1";
    c.udpPort = 0;
    c.discovery = false;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    if (!sim->Start()) {
      error = sim->LastError();
      return false;
    }
    udp.SetLocalPort(0);
    if (!udp.Open("127.0.0.1", static_cast<uint32_t>(sim->UdpPort()))) {
      error = udp.LastError();
      return false;
    }
    udp.StartReplyLoop();
    if (!serial.Open(sim->SerialPath())) {
      error = "cannot open " + sim->SerialPath();
      return false;
    }
    auto& rt = smt::link::RuntimeOf(machine);
    rt.udp = &udp;
    rt.serial = &serial;
    rt.commModel = kind == Kind::Udp ? 1 : 0;
    rt.headMask = 0x01;
    smt::link::LinkWindowPortOf(machine).Own(std::make_shared<linktest::QuietLinkWindow>());
    smt::link::CameraPanelPortOf(machine).Own(std::make_shared<smt::testing::RecordingCameraPanel>());
    smt::link::JogPanelPortOf(machine).Own(std::make_shared<linktest::QuietJogPanel>());
    smt::link::MotionSettings m;
    m.xLimit = m.xLimitAbs = 200000;
    m.yLimit = -150000;
    m.yLimitAbs = 150000;
    m.zLimit = -6000;
    m.aRevolution = 3600;
    m.exhaust = 5;
    for (int i = 0; i < 16; ++i) {
      m.resetSpeed[i] = {10, 30};
      m.originUpdate[i] = true;
    }
    smt::link::SetMotionSettings(machine, m);
    machine.machineType = 0;
    machine.connected = true;
    machine.resetDone = true;
    machine.masterResetOk = true;
    return true;
  }

  void Stop() {
    serial.Close();
    udp.Close();
    if (sim) sim->Stop();
  }

  bool Received(uint16_t code) const { return sim->LastReceived(code).has_value(); }
};

struct KindCase {
  const char* name;
  Kind kind;
};

class TwoMachines : public ::testing::TestWithParam<KindCase> {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(a.Start(GetParam().kind, error)) << error;
    ASSERT_TRUE(b.Start(GetParam().kind, error)) << error;
    // The machine in use has no link: nothing sent to it leaves the process.
    ASSERT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).ActiveLink(), nullptr);
  }
  void TearDown() override {
    smt::platform::WorkerThreads::Instance().StopAndJoinAll();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    a.Stop();
    b.Stop();
  }

  Station a, b;
};

// Polls `cond` (bounded).
bool Eventually(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return cond();
}

TEST_P(TwoMachines, AnOutputLandsOnTheBoardOfTheMachineThatSentIt) {
  ASSERT_TRUE(smt::link::SetOutput(a.machine, 2, 1, 5));
  ASSERT_TRUE(Eventually([&] { return a.sim->Output(2); }));
  EXPECT_FALSE(b.sim->Output(2));
  EXPECT_FALSE(b.Received(0x03));
  // The pump button of the output is the sending machine's.
  EXPECT_EQ(smt::link::RuntimeOf(a.machine).pumpButtons.load() & 0x02, 0x02);
  EXPECT_EQ(smt::link::RuntimeOf(b.machine).pumpButtons.load(), 0);

  ASSERT_TRUE(smt::link::SetOutput(b.machine, 3, 1, 5));
  ASSERT_TRUE(Eventually([&] { return b.sim->Output(3); }));
  EXPECT_FALSE(a.sim->Output(3));
  EXPECT_TRUE(a.sim->Output(2));
  EXPECT_FALSE(b.sim->Output(2));
}

TEST_P(TwoMachines, MovesGoToTheirOwnBoardAndPositions) {
  // A single-axis move on the first machine, an XY move on the second.
  ASSERT_TRUE(smt::link::SendCmd61MoveAxis(a.machine, 0, 1200, 10, 30));
  EXPECT_EQ(a.sim->Position(0), 1200);
  EXPECT_EQ(a.machine.curX.load(), 1200);
  EXPECT_EQ(b.sim->Position(0), 0);
  EXPECT_EQ(b.machine.curX.load(), 0);
  EXPECT_FALSE(b.Received(0x61));

  ASSERT_TRUE(smt::link::SendCmd64MoveXY(b.machine, 800, 10, 30, -700, 10, 30, 0, 0, 0, 0, 0));
  EXPECT_EQ(b.sim->Position(0), 800);
  EXPECT_EQ(b.sim->Position(1), -700);
  EXPECT_EQ(b.machine.curX.load(), 800);
  EXPECT_EQ(b.machine.curY.load(), -700);
  EXPECT_EQ(a.sim->Position(0), 1200);
  EXPECT_EQ(a.sim->Position(1), 0);
  EXPECT_EQ(a.machine.curY.load(), 0);
  EXPECT_FALSE(a.Received(0x64));
  // The machine in use moved nowhere.
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
}

TEST_P(TwoMachines, AHomingOnItsWorkerHomesItsOwnMachineOnly) {
  ASSERT_TRUE(smt::link::SendCmd61MoveAxis(a.machine, 0, 500, 10, 30));
  ASSERT_TRUE(smt::link::SendCmd61MoveAxis(b.machine, 0, 900, 10, 30));
  a.sim->ClearReceived();
  b.sim->ClearReceived();

  // The XYZ homing of the second machine, on a worker.
  ASSERT_TRUE(smt::link::MachineHoming::Of(b.machine).StartHomeThread(4, 1));
  EXPECT_TRUE(b.machine.machineBusy.load() || b.Received(0x02));
  ASSERT_TRUE(Eventually([&] { return !b.machine.machineBusy.load(); }));
  EXPECT_TRUE(b.Received(0x02));
  EXPECT_EQ(b.machine.curX.load(), 0);
  EXPECT_FALSE(a.Received(0x02));
  EXPECT_EQ(a.machine.curX.load(), 500);
  EXPECT_FALSE(a.machine.machineBusy.load());
  EXPECT_EQ(smt::link::MachineHoming::Of(a.machine).m_nResetMode.load(), -1);
  EXPECT_EQ(smt::link::MachineHoming::Of(b.machine).m_nResetMode.load(), 4);

  // And the first machine's, on the calling thread.
  ASSERT_TRUE(smt::link::MachineHoming::Of(a.machine).HomeAxes(4, 1));
  EXPECT_TRUE(a.Received(0x02));
  EXPECT_EQ(a.machine.curX.load(), 0);
  EXPECT_FALSE(a.machine.machineBusy.load());
}

TEST_P(TwoMachines, ABoardGoneMakesOnlyItsMachineLost) {
  b.sim->Stop();
  // The second machine's next command finds its link gone (a send that
  // fails, or the reply wait seeing the loss); the first goes on.
  smt::link::SendCmd61MoveAxis(b.machine, 0, 100, 10, 30);
  ASSERT_TRUE(Eventually([&] { return !b.machine.connected.load(); }));
  EXPECT_TRUE(b.machine.link.knownLost.load());
  EXPECT_TRUE(a.machine.connected.load());
  EXPECT_FALSE(a.machine.link.knownLost.load());
  ASSERT_TRUE(smt::link::SendCmd61MoveAxis(a.machine, 1, -300, 10, 30));
  EXPECT_EQ(a.sim->Position(1), -300);
}


// What a machine's own objects and commands send: each runs on one machine
// and must land on that machine's board only, with the reply taken by that
// machine.
struct Operation {
  const char* name;
  uint16_t code;  // the command the board must have received
  std::function<bool(Station& s)> run;
  // What the board and the machine show afterwards ("" when it must not have been sent).
  std::function<std::string(Station& s)> shows;
};

std::string Num(int64_t v) { return std::to_string(v); }

const Operation kOperations[] = {
    {"JogRunnerOfTheMachine", 0x61,
     [](Station& s) {
       smt::link::JogRunner jog(s.machine);
       smt::link::JogContext c;
       c.xLimit = 200000;
       c.handleSpeed[0] = {10, 30};
       jog.SetContext(c);
       jog.m_StepPause = std::chrono::milliseconds(0);
       if (!jog.Jog(0, true, false, true, 250)) return false;
       // The jog's worker releases the machine it was started for.
       return Eventually([&] { return !jog.m_bJogRunning.load() && !s.machine.machineBusy.load(); });
     },
     [](Station& s) { return "board X " + Num(s.sim->Position(0)) + ", machine X " + Num(s.machine.curX); }},
    {"RunMachineOfTheMachine", 0x64,
     [](Station& s) {
       return smt::link::RunMachineOf(s.machine).MoveGantry(300, {10, 30}, -200, {10, 30},
                                                           smt::link::GantryMove::Plain);
     },
     [](Station& s) {
       return "board XY " + Num(s.sim->Position(0)) + "," + Num(s.sim->Position(1)) + ", machine XY " +
              Num(s.machine.curX) + "," + Num(s.machine.curY);
     }},
    {"PumpOfTheMachine", 0x03,
     [](Station& s) {
       // An output has no reply: the board's state is awaited.
       return smt::link::SwitchPump(s.machine, 1, true) && Eventually([&] { return s.sim->Output(1); });
     },
     [](Station& s) { return std::string("output 1 ") + (s.sim->Output(1) ? "on" : "off"); }},
    {"DispenseMoveOfTheMachine", 0x53,
     [](Station& s) { return smt::link::SendCmd53DispenseMove(s.machine, 0, 120, 10, 30, 1, -80, 10, 30); },
     [](Station& s) {
       return "board XY " + Num(s.sim->Position(0)) + "," + Num(s.sim->Position(1)) + ", machine XY " +
              Num(s.machine.curX) + "," + Num(s.machine.curY);
     }},
    {"VacuumReadingOfTheMachine", 0x15,
     [](Station& s) { return smt::link::SendCmd15ReadVacuum(s.machine, 1) == smt::link::CommandResult::Ok; },
     [](Station& s) { return "vacuum " + Num(s.machine.link.vacuumKpa.load()); }},
};

TEST_P(TwoMachines, EachMachinesObjectsDriveItsOwnBoard) {
  a.sim->SetVacuum(41);
  b.sim->SetVacuum(73);
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(op.name);
    a.sim->ClearReceived();
    b.sim->ClearReceived();
    const std::string aBefore = op.shows(a);
    // A reading is awaited only by a busy machine task.
    b.machine.machineBusy = op.code == 0x15;
    ASSERT_TRUE(op.run(b));
    b.machine.machineBusy = false;
    EXPECT_TRUE(b.Received(op.code));
    EXPECT_FALSE(a.Received(op.code));
    EXPECT_EQ(op.shows(a), aBefore);
    const std::string bAfter = op.shows(b);
    // The same on the first machine shows the same there, and leaves the second as it was.
    a.machine.machineBusy = op.code == 0x15;
    ASSERT_TRUE(op.run(a));
    a.machine.machineBusy = false;
    EXPECT_TRUE(a.Received(op.code));
    EXPECT_EQ(op.shows(b), bAfter);
    if (op.code == 0x15) {
      EXPECT_EQ(op.shows(a), "vacuum 41");
      EXPECT_EQ(bAfter, "vacuum 73");
    } else {
      EXPECT_EQ(op.shows(a), bAfter);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Links, TwoMachines,
                         ::testing::Values(KindCase{"Udp", Kind::Udp}, KindCase{"Serial", Kind::Serial}),
                         [](const ::testing::TestParamInfo<KindCase>& i) { return std::string(i.param.name); });

}  // namespace

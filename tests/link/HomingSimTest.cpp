// Homing against the simulator for a table of machine types and reset
// modes: the machine is at its references afterwards, the program's
// positions agree, the right command carried the request, and the busy
// state is clear at the end of every path, failures included.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "link/MotionCommands.h"
#include "platform/WorkerThreads.h"

using namespace smt::link;

class HomingSim : public linktest::MotionSimTest {
 protected:
  // Both sides away from their references.
  void MoveAway(bool feederWalks = true) {
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 0, 1000, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 1, -1500, 10, 30));
    if (feederWalks) {
      ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 8, 70, 10, 30));
    }
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 2, 40, 10, 30));
  }
};

TEST_F(HomingSim, EveryMachineTypeAndModeEndsHomedWithBusyClear) {
  struct Case {
    int type;
    int mode;
    bool serial;
    uint16_t code;       // the command that carried the request
    bool xHomed, yHomed, walkHomed, zHomed;
    bool masterReset;    // mode sets the master reset
    bool resetDone;      // a whole-machine homing
  };
  const Case cases[] = {
      {0, 0, false, 0x02, true, true, true, true, true, true},
      {0, 0, true, 0x02, true, true, true, true, true, true},
      {0, 1, false, 0x02, true, false, false, true, false, false},
      {2, 2, true, 0x02, false, true, false, true, false, false},
      {3, 3, false, 0x02, false, false, false, true, true, false},
      {5, 4, true, 0x02, true, true, false, true, true, false},
      {0, 5, false, 0x02, false, false, true, false, false, false},
      {10, 5, true, 0x02, false, false, true, false, false, false},
      {7, 0, false, 0x72, true, true, false, true, true, true},
      {8, 4, false, 0x72, true, true, false, true, true, false},
      // A home-selection reply whose head state matches the fitted heads accepts the master reset.
      {7, 2, false, 0x72, false, true, false, true, true, false},
      {4, 0, true, 0x52, true, true, false, true, true, true},
      {4, 1, true, 0x52, true, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " mode " + std::to_string(c.mode) + (c.serial ? " serial" : " UDP"));
    c.serial ? UseSerial() : UseUdp();
    smt::CurrentMachine().machineType = 0;
    // The lamp, eight-head and insertion machines have no side feeder walks.
    MoveAway(c.type != 4 && c.type != 7 && c.type != 8);
    const int32_t x = smt::CurrentMachine().curX, y = smt::CurrentMachine().curY, w = smt::CurrentMachine().motion.curAxis8;
    smt::CurrentMachine().machineType = c.type;
    smt::CurrentMachine().masterResetOk = false;
    smt::CurrentMachine().resetDone = false;
    sim->ClearReceived();
    EXPECT_TRUE(MachineHoming::Of(smt::CurrentMachine()).HomeAxes(c.mode, 1));
    EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
    EXPECT_TRUE(sim->LastReceived(c.code).has_value());
    EXPECT_EQ(smt::CurrentMachine().curX.load(), c.xHomed ? 0 : x);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), c.yHomed ? 0 : y);
    EXPECT_EQ(smt::CurrentMachine().motion.curAxis8.load(), c.walkHomed ? 0 : w);
    if (c.zHomed) {
      EXPECT_EQ(smt::CurrentMachine().curZ[0].load(), 0);
    }
    EXPECT_EQ(sim->Position(0), smt::CurrentMachine().curX.load());
    EXPECT_EQ(sim->Position(1), smt::CurrentMachine().curY.load());
    EXPECT_EQ(sim->Position(8), smt::CurrentMachine().motion.curAxis8.load());
    if (c.zHomed && c.type != 7 && c.type != 8) {
      EXPECT_EQ(sim->Position(2), 0);
    }
    EXPECT_EQ(smt::CurrentMachine().masterResetOk.load(), c.masterReset);
    EXPECT_EQ(smt::CurrentMachine().resetDone.load(), c.resetDone);
    linktest::ZeroPositions();
    smt::CurrentMachine().machineType = 0;
    ASSERT_TRUE(MachineHoming::Of(smt::CurrentMachine()).HomeAxes(0, 1));  // both sides back at 0 for the next case
  }
}

TEST_F(HomingSim, AFullHomeSwitchesTheVacuumOffAndTellsTheBoard) {
  UseUdp();
  // Type 0: outputs 1 to 4 off with value 5, master reset set again after an error cleared it.
  ASSERT_TRUE(SetOutput(smt::CurrentMachine(), 2, 1, 5));
  smt::CurrentMachine().masterResetOk = false;
  ASSERT_TRUE(MachineHoming::Of(smt::CurrentMachine()).HomeAxes(0, 1));
  for (int out = 1; out <= 4; ++out) EXPECT_TRUE(linktest::WaitFor([&] { return sim->OutputValue(out) == 5 && !sim->Output(out); }));
  EXPECT_TRUE(smt::CurrentMachine().masterResetOk.load());
  EXPECT_TRUE(linktest::WaitFor([&] { return sim->LastState() == 4; }));
  EXPECT_GT(hooks.jogEnables.load(), 0);

  // Type 7, run mode 1, heads 1 and 3 fitted: outputs 32 and 34 go off with m_Exhaust.
  smt::CurrentMachine().machineType = 7;
  RuntimeOf(smt::CurrentMachine()).headMask = 0x05;
  sim->SetHeadMask(0x05);
  UpdateSettings([](MotionSettings& m) {
    m.runSelect = 1;
    m.exhaust = 30;
  });
  ASSERT_TRUE(SetOutput(smt::CurrentMachine(), 32, 1, 5));
  ASSERT_TRUE(SetOutput(smt::CurrentMachine(), 34, 1, 5));
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x05);
  ASSERT_TRUE(MachineHoming::Of(smt::CurrentMachine()).HomeAxes(0, 1));
  EXPECT_TRUE(linktest::WaitFor([&] { return !sim->Output(32) && !sim->Output(34); }));
  EXPECT_EQ(sim->OutputValue(32), 30);
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x00);
}

TEST_F(HomingSim, RequestsThatHomeNothingOrFailStillClearBusy) {
  struct Case {
    const char* what;
    int type;
    int mode;
    bool serial;
    std::function<void(smt::sim::SimBoard&)> fault;
    std::string message;  // part of the text shown
  };
  const Case cases[] = {
      {"type 7, south feeder", 7, 8, false, nullptr, "此机型没有该复位"},
      {"type 4, conveyor width", 4, 9, true, nullptr, "此机型没有该复位"},
      {"no mode", 0, -1, false, nullptr, "此机型没有该复位"},
      {"lamp machine on the network link", 4, 0, false, nullptr, "通讯未完成 ！"},
      {"home selection over the serial link", 7, 0, true, nullptr, "needs the Ethernet link"},
      {"home with an error status", 0, 0, false, [](auto& s) { s.InjectStatus(0x02, 0x20); }, "Error-20"},
      {"head state not the fitted heads", 7, 0, false, [](auto& s) { s.SetHeadMask(0x03); }, ""},
      {"serial home error frame", 0, 0, true, [](auto& s) { s.InjectSerialError(0x02, 0xE2, 0x01); }, "Error E2-01"},
      {"no answer", 0, 3, false, [](auto& s) { s.DropReplies(1); }, "等待机器应答超时"},
  };
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::milliseconds(400));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.serial ? UseSerial() : UseUdp();
    smt::CurrentMachine().machineType = c.type;
    smt::CurrentMachine().resetDone = true;
    messages.service.Clear();
    if (c.fault) c.fault(*sim);
    EXPECT_FALSE(MachineHoming::Of(smt::CurrentMachine()).HomeAxes(c.mode, 1));
    EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
    if (c.mode == 0) {
      EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    }
    if (!c.message.empty()) {
      const auto texts = messages.service.Texts();
      EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(c.message) != std::string::npos; }))
          << (texts.empty() ? "(no message)" : texts[0]);
    }
    sim->SetHeadMask(0x01);
  }
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::seconds(180));
}

TEST_F(HomingSim, StartHomeThreadClaimsBusyBeforeItsWorker) {
  UseUdp();
  // Busy: a request of the panel (request 1) starts nothing and changes nothing.
  smt::CurrentMachine().machineBusy = true;
  smt::CurrentMachine().resetDone = true;
  EXPECT_FALSE(MachineHoming::Of(smt::CurrentMachine()).StartHomeThread(0, 1));
  EXPECT_TRUE(smt::CurrentMachine().resetDone.load());
  EXPECT_TRUE(smt::CurrentMachine().machineBusy.load());
  // The run engine's request (0) homes inside its busy task.
  sim->ClearReceived();
  ASSERT_TRUE(MachineHoming::Of(smt::CurrentMachine()).StartHomeThread(3, 0));
  EXPECT_TRUE(linktest::WaitFor([&] { return !smt::CurrentMachine().machineBusy; }));
  EXPECT_TRUE(sim->LastReceived(0x02).has_value());
  EXPECT_TRUE(smt::CurrentMachine().resetDone.load());  // mode 3 leaves the homed flag
  // Mode 0 clears the homed flag until the homing is done.
  ASSERT_TRUE(MachineHoming::Of(smt::CurrentMachine()).OnResetAll());
  EXPECT_TRUE(linktest::WaitFor([&] { return smt::CurrentMachine().resetDone && !smt::CurrentMachine().machineBusy; }));
  // Not connected: nothing.
  smt::CurrentMachine().connected = false;
  EXPECT_FALSE(MachineHoming::Of(smt::CurrentMachine()).OnResetZ());
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
}

TEST_F(HomingSim, AfterConnectHomesWhenTheSettingSaysSo) {
  UseUdp();
  Introduce();
  UpdateSettings([](MotionSettings& m) { m.onlineToReset = false; });
  MachineHoming::Of(smt::CurrentMachine()).OnLinkUpSteps();
  EXPECT_EQ(hooks.homeButton.load(), 1);
  UpdateSettings([](MotionSettings& m) {
    m.onlineToReset = true;
    m.debugModel = true;
  });
  smt::CurrentMachine().resetDone = false;
  sim->ClearReceived();
  MachineHoming::Of(smt::CurrentMachine()).OnLinkUpSteps();
  EXPECT_TRUE(linktest::WaitFor([&] { return smt::CurrentMachine().resetDone && !smt::CurrentMachine().machineBusy; }));
  EXPECT_TRUE(sim->LastReceived(0x02).has_value());
  EXPECT_EQ(hooks.homeButton.load(), 1);
}

TEST_F(HomingSim, VisionOriginTakesOverTheEndOfAFullHome) {
  UseUdp();
  std::atomic<int> moves{0};
  linktest::TestLinkWindow().onCameraToVisionOrigin = [&] {
    // The camera's move claims the machine for itself.
    EXPECT_TRUE(smt::TryClaimMachineBusy(smt::CurrentMachine()));
    ++moves;
  };
  UpdateSettings([](MotionSettings& m) { m.resetToVisualOrigin = true; });
  smt::CurrentMachine().resetDone = false;
  ASSERT_TRUE(MachineHoming::Of(smt::CurrentMachine()).HomeAxes(0, 1));
  EXPECT_EQ(moves.load(), 1);
  EXPECT_TRUE(MachineHoming::Of(smt::CurrentMachine()).m_bResetToOriginPending.load());
  // The homed flag is the camera move's to set; its busy claim is left alone.
  EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
  EXPECT_TRUE(smt::CurrentMachine().machineBusy.load());
  smt::CurrentMachine().machineBusy = false;
}

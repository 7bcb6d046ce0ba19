// Moves against the board simulator over real sockets and a pseudo-terminal:
// after every sequence the program's positions equal the machine's; a move
// the board refuses or reports an error for changes no position; values
// that a serial form cannot carry are refused before anything is sent.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "link/MotionCommands.h"
#include "link/ProcessCommands.h"

using namespace smt::link;

namespace {

struct LinkCase {
  const char* name;
  bool serial;
  int v2_04;
};

int32_t Mod(int64_t v, int32_t r) { return static_cast<int32_t>(((v % r) + r) % r); }

}  // namespace

class MotionSim : public linktest::MotionSimTest {
 protected:
  // The program's positions against the board's, axis by axis.
  void ExpectSamePositions(const std::string& where, bool eightHeads = true) {
    SCOPED_TRACE(where);
    EXPECT_EQ(smt::CurrentMachine().curX.load(), sim->Position(0));
    EXPECT_EQ(smt::CurrentMachine().curY.load(), sim->Position(1));
    // Z pair motors: positive steps lower the odd head.
    EXPECT_EQ(smt::CurrentMachine().curZ[0].load(), -sim->Position(2));
    EXPECT_EQ(smt::CurrentMachine().curZ[1].load(), sim->Position(2));
    EXPECT_EQ(smt::CurrentMachine().curZ[2].load(), -sim->Position(3));
    EXPECT_EQ(smt::CurrentMachine().curZ[3].load(), sim->Position(3));
    for (int z = 4; z < 8; ++z) EXPECT_EQ(smt::CurrentMachine().curZ[z].load(), sim->Position(32 + z)) << "Z" << z + 1;
    // The board counts A steps; the program keeps them within one revolution.
    for (int a = 0; a < (eightHeads ? 8 : 4); ++a) {
      EXPECT_EQ(Mod(smt::CurrentMachine().curA[a], kRev), Mod(sim->Position(40 + a), kRev)) << "A" << a + 1;
      EXPECT_LT(std::abs(smt::CurrentMachine().curA[a].load()), kRev) << "A" << a + 1;
    }
    EXPECT_EQ(smt::CurrentMachine().motion.curAxis8.load(), sim->Position(8));
    EXPECT_EQ(smt::CurrentMachine().motion.curAxis9.load(), sim->Position(9));
    EXPECT_EQ(smt::CurrentMachine().motion.curAxis10.load(), sim->Position(10));
    EXPECT_EQ(smt::CurrentMachine().motion.curConveyorWidth.load(), sim->Position(14));
  }
};

TEST_F(MotionSim, ASequenceOfMovesLeavesTheProgramWhereTheMachineIs) {
  const LinkCase links[] = {{"UDP", false, 0}, {"serial short form", true, 0}, {"serial long form", true, 1}};
  for (const LinkCase& l : links) {
    SCOPED_TRACE(l.name);
    l.serial ? UseSerial() : UseUdp();
    RuntimeOf(smt::CurrentMachine()).v2_04 = l.v2_04;
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 0, 5000, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 1, -3000, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 2, 300, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 3, -200, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 4, 3500, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 40, 200, 10, 30));  // A1 again: wraps past one revolution
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 8, 120, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 36, -100, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 14, 50, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 48, 25, 10, 30));
    ExpectSamePositions("single-axis moves");
    ASSERT_TRUE(SendCmd64MoveXY(smt::CurrentMachine(), -1000, 10, 30, 2000 - 4000, 10, 30, 2, 3000, 5, 20, 0x80));
    ASSERT_TRUE(SendCmd64MoveXY(smt::CurrentMachine(), 20000, 10, 30, -1000, 10, 30, 0, 0, 5, 20, 0x40));
    std::array<int32_t, 8> turns{10, 20, 30, 40, 50, 60, 70, 80};
    for (int h = 0; h < 8; ++h) smt::CurrentMachine().motion.headMoveArgs[h] = turns[h];
    ASSERT_TRUE(SendCmd65MoveXYHeads(smt::CurrentMachine(), 500, 10, 30, -500, 10, 30, 5, 20, 1));
    ASSERT_TRUE(SendCmd63FlyMove(smt::CurrentMachine(), 4, 800, 10, 30, {100, 200, 300, 400}));
    ASSERT_EQ(SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 2, {120, 10, 30, 0, 0, 10, 30, 0, 0, 0}), CommandResult::Ok);
    ASSERT_EQ(SendCmd66MoveFeedAxis(smt::CurrentMachine(), 1, 3, {-40, 10, 30, 0, 0, 10, 30, 0, 0, 0}), CommandResult::Ok);
    ASSERT_TRUE(SendCmd53DispenseMove(smt::CurrentMachine(), 0, 100, 5, 20, 1, -100, 5, 20));
    ASSERT_EQ(SendCmd67MoveZ(smt::CurrentMachine(), 2, -500, 10, 30, 1, 100, 0), CommandResult::Ok);
    ASSERT_EQ(SendCmd68MoveZVacuum(smt::CurrentMachine(), 2, -500, 10, 30, 0, 100, 50), CommandResult::Ok);
    ASSERT_EQ(SendCmd62Zones(smt::CurrentMachine(), 1, 0, 1, 0, 100, 200, -300, 5, 9), CommandResult::Ok);
    // The serial form turns heads 1 to 4 only, and the program books four.
    ExpectSamePositions("XY, fly, feeder and dispense moves");
    if (l.serial) {
      for (int h = 4; h < 8; ++h) EXPECT_EQ(smt::CurrentMachine().curA[h].load(), 0) << "A" << h + 1;
    }
    EXPECT_EQ(sim->Position(213), -300);
    linktest::ZeroPositions();
    sim->Stop();
    // A fresh board for the next link.
    TearDown();
    SetUp();
  }
}

TEST_F(MotionSim, CombinedHeadMovesOverUdpBookTheirDeltas) {
  UseUdp();
  Cmd74Payload pick{};
  PutLE32(pick, 19, 7000);
  PutLE32(pick, 27, -6000);
  for (int h = 0; h < 8; ++h) PutLE32(pick, 40 + 4 * h, 100 * (h + 1));
  pick[80] = 35;
  ASSERT_TRUE(SendCmd74PickMove(smt::CurrentMachine(), pick));
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x08);  // head 4 holds its part
  Cmd77Payload place{};
  PutLE32(place, 4, -2000);
  PutLE32(place, 12, 1000);
  for (int h = 0; h < 8; ++h) PutLE32(place, 25 + 4 * h, -100 * (h + 1));
  place[65] = 35;
  ASSERT_TRUE(SendCmd77PlaceMove(smt::CurrentMachine(), place));
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x00);
  Cmd73Payload fly{};
  PutLE32(fly, 9, 1000);
  PutLE32(fly, 13, -1000);
  PutLE32(fly, 69, 500);
  PutLE32(fly, 114, 250);
  PutLE32(fly, 118, -125);
  PutLE32(fly, 26, kRev - 1);
  ASSERT_TRUE(SendCmd73VisionMove(smt::CurrentMachine(), fly));
  Cmd55Payload label{};
  label[0] = 2;
  PutLE32(label, 2, 100);
  PutLE32(label, 6, -40);
  ASSERT_TRUE(SendCmd55LabelMove(smt::CurrentMachine(), label));
  label[0] = 9;
  ASSERT_TRUE(SendCmd55LabelMove(smt::CurrentMachine(), label));
  ExpectSamePositions("head moves");
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 7000 - 2000 + 1000 + 500 + 250);
  EXPECT_EQ(smt::CurrentMachine().curA[0].load(), kRev - 1);
  // The fly pass's trace line is the panel's own text.
  const auto info = hooks.Info();
  EXPECT_NE(std::find(info.begin(), info.end(), "73->移动飞行\n"), info.end());
  EXPECT_NE(std::find(info.begin(), info.end(), "73->结束\n"), info.end());
}

TEST_F(MotionSim, AnErrorReplyLeavesEveryPositionAsItWas) {
  struct Case {
    const char* what;
    bool serial;
    std::function<void(smt::sim::SimBoard&)> fault;
    std::function<bool()> move;
  };
  const Case cases[] = {
      {"61 status 0x14 (UDP)", false, [](auto& s) { s.InjectStatus(0x61, 0x14); },
       [] { return SendCmd61MoveAxis(smt::CurrentMachine(), 0, 700, 10, 30); }},
      {"64 status 0x11 (UDP)", false, [](auto& s) { s.InjectStatus(0x64, 0x11); },
       [] { return SendCmd64MoveXY(smt::CurrentMachine(), 700, 10, 30, -700, 10, 30, 1, 50, 5, 5, 0); }},
      {"65 status 0x20 (UDP)", false, [](auto& s) { s.InjectStatus(0x65, 0x20); },
       [] { return SendCmd65MoveXYHeads(smt::CurrentMachine(), 700, 10, 30, -700, 10, 30, {5, 5, 5, 5, 5, 5, 5, 5}, 5, 5, 0); }},
      {"66 status 0x30 (UDP)", false, [](auto& s) { s.InjectStatus(0x66, 0x30); },
       [] { return SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 1, {700, 1, 1, 0, 0, 1, 1, 0, 0, 0}) == CommandResult::Ok; }},
      {"53 status 0x14 (UDP)", false, [](auto& s) { s.InjectStatus(0x53, 0x14); },
       [] { return SendCmd53DispenseMove(smt::CurrentMachine(), 0, 700, 5, 20, 1, -700, 5, 20); }},
      {"61 error E8 (serial)", true, [](auto& s) { s.InjectSerialError(0x61, 0xE8, 0x11); },
       [] { return SendCmd61MoveAxis(smt::CurrentMachine(), 0, 700, 10, 30); }},
      {"64 error E3 (serial)", true, [](auto& s) { s.InjectSerialError(0x64, 0xE3, 0x00); },
       [] { return SendCmd64MoveXY(smt::CurrentMachine(), 700, 10, 30, -700, 10, 30, 0, 0, 5, 5, 0x80); }},
      {"66 error 66 (serial)", true, [](auto& s) { s.InjectSerialError(0x66, 0x66, 0x00); },
       [] { return SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 1, {700, 1, 1, 0, 0, 1, 1, 0, 0, 0}) == CommandResult::Ok; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.serial ? UseSerial() : UseUdp();
    smt::CurrentMachine().masterResetOk = true;
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 0, 1000, 10, 30));
    ASSERT_TRUE(SendCmd61MoveAxis(smt::CurrentMachine(), 1, -1000, 10, 30));
    const int32_t x = smt::CurrentMachine().curX, y = smt::CurrentMachine().curY, a1 = smt::CurrentMachine().curA[0], w = smt::CurrentMachine().motion.curAxis8;
    c.fault(*sim);
    EXPECT_FALSE(c.move());
    EXPECT_EQ(smt::CurrentMachine().curX.load(), x);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), y);
    EXPECT_EQ(smt::CurrentMachine().curA[0].load(), a1);
    EXPECT_EQ(smt::CurrentMachine().motion.curAxis8.load(), w);
    ExpectSamePositions(c.what);
  }
}

TEST_F(MotionSim, RefusalsSendNothingAndTellWhy) {
  struct Case {
    const char* what;
    bool serial;
    int v2_04;
    std::function<bool()> move;
    std::string textPart;
  };
  const Case cases[] = {
      {"X one past the limit", false, 0, [] { return SendCmd61MoveAxis(smt::CurrentMachine(), 0, 200001, 10, 30); }, "X Pos Error !"},
      {"64 Y above 0", false, 0, [] { return SendCmd64MoveXY(smt::CurrentMachine(), 0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 0x80); }, "Y Pos Error !"},
      {"65 without master reset", false, 0,
       [] { smt::CurrentMachine().masterResetOk = false; return SendCmd65MoveXYHeads(smt::CurrentMachine(), -1, 1, 1, 0, 1, 1, {}, 1, 1, 0); }, "Error E3 !"},
      {"64 short form, X 40000", true, 0, [] { return SendCmd64MoveXY(smt::CurrentMachine(), 40000, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0); },
       "does not fit the 16-bit serial field"},
      {"64 with a firmware switch of no form", true, 7, [] { return SendCmd64MoveXY(smt::CurrentMachine(), 100, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0); },
       "m_V2_04 = 7"},
      {"65 head turn 40000", true, 0,
       [] { return SendCmd65MoveXYHeads(smt::CurrentMachine(), 0, 1, 1, 0, 1, 1, {40000}, 1, 1, 0); }, "does not fit the 16-bit serial field"},
      {"74 over the serial link", true, 0, [] { return SendCmd74PickMove(smt::CurrentMachine(), {}); }, "needs the Ethernet link"},
      {"77 over the serial link", true, 0, [] { return SendCmd77PlaceMove(smt::CurrentMachine(), {}); }, "needs the Ethernet link"},
      {"73 over the serial link", true, 0, [] { return SendCmd73VisionMove(smt::CurrentMachine(), {}); }, "needs the Ethernet link"},
      {"55 over the serial link", true, 0, [] { return SendCmd55LabelMove(smt::CurrentMachine(), {}); }, "needs the Ethernet link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.serial ? UseSerial() : UseUdp();
    RuntimeOf(smt::CurrentMachine()).v2_04 = c.v2_04;
    smt::CurrentMachine().masterResetOk = true;
    messages.service.Clear();
    sim->ClearReceived();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.move());
    // Refused at once: no reply is awaited.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    const auto texts = messages.service.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(c.textPart), std::string::npos) << texts[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sim->ReceivedCount(), 0u);
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
    EXPECT_EQ(smt::CurrentMachine().curA[0].load(), 0);
  }
}

TEST_F(MotionSim, MasterResetGateOf64DependsOnFlagsAndLink) {
  // Flags 0 runs without the master reset; whether it books depends on the link.
  UseUdp();
  smt::CurrentMachine().masterResetOk = false;
  EXPECT_TRUE(SendCmd64MoveXY(smt::CurrentMachine(), 100, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);
  UseSerial();
  RuntimeOf(smt::CurrentMachine()).v2_04 = 0;
  EXPECT_FALSE(SendCmd64MoveXY(smt::CurrentMachine(), 100, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);
  // With 0x80 it refuses before sending.
  messages.service.Clear();
  sim->ClearReceived();
  EXPECT_FALSE(SendCmd64MoveXY(smt::CurrentMachine(), 100, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0x80));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Error E3 !"});
  EXPECT_EQ(smt::CurrentMachine().link.lastMoveCmd.load(), 0x40);
}

TEST_F(MotionSim, StrokesMarkTheirNozzleAndTheConveyorWritesItsZoneLine) {
  UseUdp();
  ASSERT_EQ(SendCmd67MoveZ(smt::CurrentMachine(), 35, -300, 10, 30, 1, 100, 0), CommandResult::Ok);
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x08);  // "真空泵 4"
  ASSERT_EQ(SendCmd68MoveZVacuum(smt::CurrentMachine(), 35, -300, 10, 30, 0, 100, 50), CommandResult::Ok);
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x00);
  UseSerial();
  ASSERT_EQ(SendCmd67MoveZ(smt::CurrentMachine(), 3, -300, 10, 30, 1, 100, 0), CommandResult::Ok);
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x04);  // "真空泵 3" for steps < 0
  ASSERT_EQ(SendCmd67MoveZ(smt::CurrentMachine(), 35, 300, 10, 30, 1, 100, 0), CommandResult::Ok);
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).pumpButtons.load(), 0x0C);  // the serial form picks within the pair: 4
  UseUdp();
  ASSERT_EQ(SendCmd62Zones(smt::CurrentMachine(), 2, 0, 1, 0, 10, 10, 10, 5, 9), CommandResult::Ok);
  ASSERT_EQ(SendCmd62Zones(smt::CurrentMachine(), 5, 0, 1, 0, 10, 10, 10, 5, 9), CommandResult::Ok);  // no trace
  EXPECT_EQ(hooks.Info2(), "62->区域 2 开始...2 结束\n");
  EXPECT_EQ(sim->Position(211), 20);
}

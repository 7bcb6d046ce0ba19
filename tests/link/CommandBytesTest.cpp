// Golden bytes of every motion, process and homing command on both links,
// and the value rules behind them: limits at and one step past the edge,
// the A wrap, the Z pair signs, the speed rules and what does not fit a
// serial field.
#include <gtest/gtest.h>

#include <sstream>

#include "LinkTestSupport.h"
#include "link/CommandEncoding.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/ProcessCommands.h"
#include "link/SerialFrame.h"

using namespace smt::link;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Hex(const std::string& text) {
  Bytes out;
  std::string digits;
  for (char ch : text)
    if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

class CommandBytes : public ::testing::Test {
 protected:
  void SetUp() override {
    linktest::ResetLinkState();
    MotionSettings m;
    m.xLimit = 100000;
    m.xLimitAbs = 100000;
    m.yLimit = -80000;
    m.yLimitAbs = 80000;
    m.zLimit = -5000;
    m.aRevolution = 3600;
    m.exhaust = 5;
    m.conveyorWaitTimeOut = 3000;
    SetMotionSettings(smt::CurrentMachine(), m);
    smt::CurrentMachine().curX = 1000;
    smt::CurrentMachine().curY = -2000;
    smt::CurrentMachine().motion.curAxis8 = 0;
    smt::CurrentMachine().motion.curAxis9 = 77;
    smt::CurrentMachine().motion.curAxis10 = 0;
    for (auto& z : smt::CurrentMachine().curZ) z = 0;
    for (auto& a : smt::CurrentMachine().curA) a = 0;
  }
  void TearDown() override {
    SetMotionSettings(smt::CurrentMachine(), {});
    smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
    smt::CurrentMachine().motion.curAxis9 = 0;
  }
};

}  // namespace

TEST_F(CommandBytes, EveryCommandOnBothLinks) {
  struct Case {
    const char* what;
    std::function<MachineCommand()> build;
    uint8_t code;
    const char* udp;
    const char* serial;
    size_t frameLength;
  };
  const std::array<int32_t, 12> offsets{100, -100, 200};
  const std::array<int32_t, 8> deltas{1, -2, 3, -4, 5, 6, 7, 8};
  const Case cases[] = {
      {"61 X", [] { return BuildCmd61MoveAxis(smt::CurrentMachine(), 0, -300, 5, 20); }, 0x61,
       "00 E8030000 D4FEFFFF 05000000 14000000", "00 8000012C 05 14", 16},
      {"61 north walk, start past a byte", [] { return BuildCmd61MoveAxis(smt::CurrentMachine(), 9, 300, 300, 20); }, 0x61,
       "09 4D000000 2C010000 2C010000 14000000", "09 0000012C FF 14", 16},
      {"61 Z5 single", [] { return BuildCmd61MoveAxis(smt::CurrentMachine(), 36, -10, 0, 20); }, 0x61,
       "24 00000000 F6FFFFFF 00000000 14000000", "24 8000000A 00 14", 16},
      {"64 short form", [] { RuntimeOf(smt::CurrentMachine()).v2_04 = 0; return BuildCmd64MoveXY(smt::CurrentMachine(), -300, 5, 20, 100, 6, 21, 1, -50, 7, 22, 0x80); },
       0x64, "E8030000 D4FEFFFF 30F8FFFF 64000000 05000000 14000000 80 01 CEFFFFFF 07000000 16000000",
       "812C 05 14 0064 06 15 01 8032 07 16 80", 23},
      {"64 long form", [] { RuntimeOf(smt::CurrentMachine()).v2_04 = 1; return BuildCmd64MoveXY(smt::CurrentMachine(), -300, 5, 20, 100, 6, 21, 1, -50, 7, 22, 0x80); },
       0x64, "E8030000 D4FEFFFF 30F8FFFF 64000000 05000000 14000000 80 01 CEFFFFFF 07000000 16000000",
       "8000012C 05 14 00000064 06 15 01 8032 07 16 80", 27},
      {"65", [&] { return BuildCmd65MoveXYHeads(smt::CurrentMachine(), -300, 5, 20, 100, 6, 21, deltas, 9, 10, 1); }, 0x65,
       "E8030000 D4FEFFFF 30F8FFFF 64000000 05000000 14000000 01 01000000 FEFFFFFF 03000000 FCFFFFFF 05000000 "
       "06000000 07000000 08000000 09000000 0A000000",
       "8000012C 05 14 00000064 06 15 0001 09 0A 8002 09 0A 0003 09 0A 8004 09 0A 01", 38},
      {"63", [&] { return BuildCmd63FlyMove(smt::CurrentMachine(), 4, 500, 10, 30, offsets); }, 0x63,
       "0100 04 E8030000 F4010000 0A000000 1E000000 64000000 9CFFFFFF C8000000 00000000 00000000 00000000 00000000 "
       "00000000 00000000000000000000000000000000 02",
       "01 00 04 000001F4 0A 1E 0064 FF9C 00C8 0000 0000 0000 0000 0000 0000 0000 0000 0000 02", 43},
      {"67", [] { return BuildCmd67MoveZ(smt::CurrentMachine(), 2, -500, 10, 30, 1, 100, 0); }, 0x67,
       "02 0CFEFFFF 0A000000 1E000000 6400 00", "02 800001F4 0A 1E 01 0064 00", 20},
      {"68", [] { return BuildCmd68MoveZVacuum(smt::CurrentMachine(), 3, 400, 10, 30, -250, 100, 55); }, 0x68,
       "03 90010000 0A000000 1E000000 FA000000 05 6400 37", "03 00000190 0A 1E 000000FA 0064 37", 23},
      {"66 north side", [] { return BuildCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 2, {120, 10, 30, 500, 600, 11, 31, 1000, 1, 2}); }, 0x66,
       "00 02 4D000000 78000000 0A000000 1E000000 F4010000 58020000 0B000000 1F000000 E803 01 02",
       "02 00000078 0A 1E 01F4 0258 0B 1F 03E8 01 02", 26},
      {"56 automatic feeders",
       [] { return BuildCmd66MoveFeedAxis(smt::CurrentMachine(), 1, 10, {0x01020304, 0x05060708, 0x090A0B0C, 0, 0, 0, 0, 200, 3, 4}); }, 0x56,
       "01 0A 00000000 04030201 08070605 0C0B0A09 00000000 00000000 00000000 00000000 C800 03 04",
       "0A 01020304 05060708 090A0B0C 00C8 03 04", 26},
      {"62", [] { return BuildCmd62Zones(smt::CurrentMachine(), 2, 0, 1, 0, -1, 1000, 0, 10, 30); }, 0x62,
       "02 00 B80B 01 00 0B FFFFFFFF 0C E8030000 0D 00000000 0A000000 1E000000",
       "02 00 01 00 0B 80000001 0C 000003E8 0D 00000000 0A 1E", 30},
      {"53", [] { return BuildCmd53DispenseMove(smt::CurrentMachine(), 0, -300, 5, 20, 1, 100, 6, 21); }, 0x53,
       "00 01 E8030000 D4FEFFFF 30F8FFFF 64000000 05000000 14000000 80", "00 8000012C 05 14 01 00000064 06 15 80", 24},
      {"58", [] { return BuildCmd58GlueDispense(smt::CurrentMachine(), 10, -100, 10, 30, 5, -200, 300, 1, 2, 3); }, 0x58,
       "0A 9CFFFFFF 0A000000 1E000000 05 C8000000 2C010000 0100 0200 0300",
       "0A 80000064 0A 1E 05 000000C8 0000012C 0001 0002", 29},
      {"71", [] { return BuildCmd71ProbeZ1(smt::CurrentMachine(), -1000, 10, 30); }, 0x71, "20 18FCFFFF 0A000000 1E000000", "20 800003E8 0A 1E",
       16},
  };
  for (const Case& c : cases) {
    const MachineCommand m = c.build();
    EXPECT_EQ(m.code, c.code) << c.what;
    EXPECT_EQ(m.udpPayload, Hex(c.udp)) << c.what << " (UDP)";
    EXPECT_EQ(m.serialPayload, Hex(c.serial)) << c.what << " (serial)";
    EXPECT_EQ(BuildSerialFrame(m.code, m.serialPayload).size(), c.frameLength) << c.what;
    EXPECT_TRUE(m.serialRefusal.empty()) << c.what << ": " << m.serialRefusal;
  }
}

TEST_F(CommandBytes, StepCountsThatDoNotFitTheSerialFieldAreRefusedNotTruncated) {
  RuntimeOf(smt::CurrentMachine()).v2_04 = 0;
  struct Case { const char* what; MachineCommand m; bool refused; };
  const std::array<int32_t, 8> wide{32768};
  const std::array<int32_t, 8> fits{-32767};
  std::array<int32_t, 12> farOffset{};
  farOffset[3] = 70000;
  const Case cases[] = {
      {"64 short, X 32767", BuildCmd64MoveXY(smt::CurrentMachine(), 32767, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0), false},
      {"64 short, X 32768", BuildCmd64MoveXY(smt::CurrentMachine(), 32768, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0), true},
      {"64 short, Y -40000", BuildCmd64MoveXY(smt::CurrentMachine(), 0, 1, 1, -40000, 1, 1, 0, 0, 1, 1, 0), true},
      {"64 short, A 32768", BuildCmd64MoveXY(smt::CurrentMachine(), 0, 1, 1, 0, 1, 1, 1, 32768, 1, 1, 0), true},
      {"65 head 1 at 32768", BuildCmd65MoveXYHeads(smt::CurrentMachine(), 0, 1, 1, 0, 1, 1, wide, 1, 1, 0), true},
      {"65 head 1 at -32767", BuildCmd65MoveXYHeads(smt::CurrentMachine(), 0, 1, 1, 0, 1, 1, fits, 1, 1, 0), false},
      {"63 trigger offset 70000", BuildCmd63FlyMove(smt::CurrentMachine(), 8, 0, 1, 1, farOffset), true},
      {"61 steps INT32_MIN", BuildCmd61MoveAxis(smt::CurrentMachine(), 8, INT32_MIN, 1, 1), true},
      {"66 lift travel 70000", BuildCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 1, {0, 1, 1, 70000, 0, 1, 1, 0, 0, 0}), true},
  };
  for (const Case& c : cases) EXPECT_EQ(!c.m.serialRefusal.empty(), c.refused) << c.what;
  // The same X of 40000 fits the long form.
  RuntimeOf(smt::CurrentMachine()).v2_04 = 1;
  EXPECT_TRUE(BuildCmd64MoveXY(smt::CurrentMachine(), 40000, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0).serialRefusal.empty());
  // A switch value that selects no frame form: refused, with the value in the text.
  RuntimeOf(smt::CurrentMachine()).v2_04 = 2;
  const auto none = BuildCmd64MoveXY(smt::CurrentMachine(), 10, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0);
  EXPECT_NE(none.serialRefusal.find("m_V2_04 = 2"), std::string::npos);
  EXPECT_FALSE(none.udpPayload.empty());
}

TEST_F(CommandBytes, LimitChecksAtTheEdgeAndOneStepPast) {
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = 0;
  struct Case { const char* what; uint8_t axis; int32_t steps; std::string refusal; };
  const Case cases[] = {
      {"X to 0 - 1", 0, -1, kXPosError},
      {"X to the limit", 0, 100000, ""},
      {"X one past the limit", 0, 100001, kXPosError},
      {"Y to the limit", 1, -80000, ""},
      {"Y one past the limit", 1, -80001, kYPosError},
      {"Y above 0", 1, 1, kYPosError},
      {"Z pair to the limit (lowers Z1)", 2, 5000, ""},
      {"Z pair one past (Z1)", 2, 5001, kZPosError},
      {"Z pair one past (Z2)", 3, -5001, kZPosError},
      {"Z3 single to the limit", 34, -5000, ""},
      {"Z3 single one past", 34, -5001, kZPosError},
      {"Z3 single above 0", 34, 1, kZPosError},
      {"A has no limit", 4, 1000000, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckAxisMoveLimits(smt::CurrentMachine(), c.axis, c.steps), c.refusal) << c.what;
  // Code 1 while X lies outside its travel: the X error although X does not move.
  smt::CurrentMachine().curX = -5;
  EXPECT_EQ(CheckAxisMoveLimits(smt::CurrentMachine(), 1, -10), kXPosError);
  // Code 0 checks X before Y.
  smt::CurrentMachine().curY = 10;
  EXPECT_EQ(CheckAxisMoveLimits(smt::CurrentMachine(), 0, -1), kXPosError);
  EXPECT_EQ(CheckAxisMoveLimits(smt::CurrentMachine(), 0, 10), kYPosError);
}

TEST_F(CommandBytes, SpeedRules) {
  // Start at least 1 on X and Y only.
  EXPECT_EQ(AxisMoveSpeeds(smt::CurrentMachine(), 0, 10, 0, 20), std::make_pair(1, 20));
  EXPECT_EQ(AxisMoveSpeeds(smt::CurrentMachine(), 32, 10, 0, 20), std::make_pair(0, 20));
  MotionSettings m = GetMotionSettings(smt::CurrentMachine());
  m.optimizeFarSpeed = true;
  m.accelSpeed = 50;
  m.maxSpeedLimit = true;
  m.maxSpeedLimitValue = 32;
  SetMotionSettings(smt::CurrentMachine(), m);
  // 10 - 50000/100000 x (30 - 10) x 50/100 = 5.
  EXPECT_EQ(AxisMoveSpeeds(smt::CurrentMachine(), 0, -50000, 10, 30), std::make_pair(5, 30));
  // Run speeds above the cap come down to it; the far rule only touches X and Y.
  EXPECT_EQ(AxisMoveSpeeds(smt::CurrentMachine(), 8, 50000, 10, 50), std::make_pair(10, 32));
  // Each XY axis is capped on its own: X 50 -> 32, Y 20 stays 20.
  const XYSpeeds s = ShapeXYSpeeds(smt::CurrentMachine(), 0, 0, {10, 50, 10, 20});
  EXPECT_EQ(s.xRun, 32);
  EXPECT_EQ(s.yRun, 20);
  // A long far move takes the start below 1: it is sent as 1.
  const XYSpeeds far = ShapeXYSpeeds(smt::CurrentMachine(), 100000, 0, {10, 50, 10, 20});
  EXPECT_EQ(far.xStart, 1);
  // 0x53: a start below 1 makes start and run of that axis 1.
  m.optimizeFarSpeed = false;
  m.maxSpeedLimit = false;
  SetMotionSettings(smt::CurrentMachine(), m);
  const DispenseSpeeds d = ShapeDispenseSpeeds(smt::CurrentMachine(), 10, 10, {0, 20, 5, 20});
  EXPECT_EQ(d.start1, 1);
  EXPECT_EQ(d.run1, 1);
  EXPECT_EQ(d.start2, 5);
  EXPECT_EQ(d.run2, 20);
  // Serial speed bytes: never the low byte of a larger value.
  EXPECT_EQ(SpeedByte(300), 255u);
  EXPECT_EQ(SpeedByte(256), 255u);
  EXPECT_EQ(SpeedByte(-4), 0u);
  EXPECT_EQ(SpeedByte(200), 200u);
}

TEST_F(CommandBytes, AWrapAndVacuumValue) {
  const int32_t R = 3600;
  EXPECT_EQ(WrapA(R - 10 + 20, R), 10);
  EXPECT_EQ(WrapA(-R + 10 - 20, R), -10);
  EXPECT_EQ(WrapA(R, R), 0);
  EXPECT_EQ(WrapA(-R, R), 0);
  EXPECT_EQ(WrapA(R - 1, R), R - 1);

  MotionSettings m = GetMotionSettings(smt::CurrentMachine());
  m.suctionNozzleOffset = true;
  m.suctionNozzleValue = {5, 7, 0, 0, 0, 0, 0, 9};
  SetMotionSettings(smt::CurrentMachine(), m);
  EXPECT_EQ(StrokeVacuumValue(smt::CurrentMachine(), 2, -500, 50), 55);  // nozzle 1
  EXPECT_EQ(StrokeVacuumValue(smt::CurrentMachine(), 2, 500, 50), 57);   // nozzle 2
  EXPECT_EQ(StrokeVacuumValue(smt::CurrentMachine(), 39, 0, 50), 59);    // nozzle 8
  EXPECT_EQ(StrokeVacuumValue(smt::CurrentMachine(), 2, -500, 96), 0);   // 101
  EXPECT_EQ(StrokeVacuumValue(smt::CurrentMachine(), 2, -500, -6), 0);   // -1
  EXPECT_EQ(StrokeVacuumValue(smt::CurrentMachine(), 5, 0, 50), 50);     // no nozzle: no offset
  EXPECT_EQ(NozzleOfStroke(3, -1), 3);
  EXPECT_EQ(NozzleOfStroke(3, 0), 4);
  EXPECT_EQ(NozzleOfStroke(35, 0), 4);
}

TEST_F(CommandBytes, HomingPayloadsByMachineTypeAndMode) {
  MotionSettings m = GetMotionSettings(smt::CurrentMachine());
  for (int i = 0; i < 16; ++i) {
    m.resetSpeed[i] = {10 + i, 20 + i};
    m.originUpdate[i] = true;
  }
  m.originUpdate[9] = false;  // m_09_W2: the north walk is not re-homed
  m.conveyorStartSpeed = 40;
  m.conveyorNormalSpeed = 80;
  std::array<int32_t, 14> f{};
  ASSERT_TRUE(MachineHoming::Cmd02Fields(0, m, f));
  EXPECT_EQ(f, (std::array<int32_t, 14>{10, 20, 11, 21, 12, 22, 13, 23, 18, 28, 0, 0, 22, 32}));
  ASSERT_TRUE(MachineHoming::Cmd02Fields(2, m, f));
  EXPECT_EQ(f, (std::array<int32_t, 14>{0, 0, 11, 21, 12, 22, 13, 23, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(MachineHoming::Cmd02Fields(9, m, f));  // auto walk 1 in the west place, no flag
  EXPECT_EQ(f, (std::array<int32_t, 14>{0, 0, 0, 0, 0, 0, 0, 0, 24, 34, 0, 0, 0, 0}));
  EXPECT_FALSE(MachineHoming::Cmd02Fields(-1, m, f));

  // Type 7, mode 3: no X or Y start; the head words follow the head flags
  // (m_04_A1 .. m_0B_L1; heads 2 and 6 are clear here).
  m.originUpdate[5] = false;
  std::array<uint8_t, 48> block{};
  ASSERT_TRUE(MachineHoming::Cmd72Block(3, m, block));
  EXPECT_EQ(Bytes(block.begin(), block.end()),
            Hex("00000000 00000000 14000000 0C000000 00000000 0C000000 0C000000 0C000000 00000000 0C000000 0C000000 "
                "16000000"));
  ASSERT_TRUE(MachineHoming::Cmd72Block(1, m, block));
  EXPECT_EQ(block[0], 10);
  EXPECT_EQ(block[4], 0);
  EXPECT_FALSE(MachineHoming::Cmd72Block(5, m, block));
  EXPECT_EQ(MachineHoming::Cmd05Payload(m), Hex("09 00000000 28000000 50000000"));

  // Lamp machine: X, X2, Y, Y2, Z1, Z2, Z3.
  std::array<int32_t, 14> p{};
  ASSERT_TRUE(MachineHoming::SerialHomePairs(0, m, p));
  EXPECT_EQ(p, (std::array<int32_t, 14>{10, 20, 0, 0, 11, 21, 11, 21, 12, 22, 13, 23, 12, 22}));
  ASSERT_TRUE(MachineHoming::SerialHomePairs(7, m, p));
  EXPECT_EQ(p, (std::array<int32_t, 14>{0, 0, 10, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(MachineHoming::SerialHomePairs(8, m, p));
  EXPECT_FALSE(MachineHoming::SerialHomePairs(9, m, p));
}

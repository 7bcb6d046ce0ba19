// The serial three-axis move 0x54 against the simulated board on its
// pseudo-terminal: the frame byte by byte, the travel refusals, the speed
// rules, the bounded wait for the board's move-done reply and the board's
// own check of the frame's shape.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "link/SerialFrame.h"
#include "link/SerialMove.h"

using namespace smt::link;

namespace {

class SerialMove : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseSerial();
  }
  std::vector<uint8_t> LastFrame() {
    const auto c = sim->LastReceived(0x54);
    return c ? c->raw : std::vector<uint8_t>{};
  }
};

TEST_F(SerialMove, FrameCarriesTheThreeBlocksInSignAndMagnitudeAndBooksAfterTheReply) {
  smt::CurrentMachine().curX = 5000;
  smt::CurrentMachine().curY = -3000;
  ASSERT_TRUE(MoveXYSerial(smt::CurrentMachine(), -1000, 10, 30, 1, 1000, 11, 31, 2, -5, 12, 32));
  const std::vector<uint8_t> expect{0xEE, 0x00, 0x16, 0x54,                    //
                                    0x00, 0x80, 0x00, 0x03, 0xE8, 10,   30,    // X
                                    0x01, 0x00, 0x00, 0x03, 0xE8, 11,   31,    // Y
                                    0x02, 0x80, 0x05, 12,   32,   0x80};       // head 2's A, closing byte
  auto f = LastFrame();
  ASSERT_EQ(f.size(), 29u);
  EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 24), expect);
  uint8_t sum = 0;
  for (size_t i = 1; i <= 23; ++i) sum = static_cast<uint8_t>(sum + f[i]);
  EXPECT_EQ(f[24], sum);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 25, f.end()), (std::vector<uint8_t>{0xFF, 0xFC, 0xFF, 0xFF}));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 4000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -2000);
  EXPECT_EQ(sim->Position(0), -1000);
  EXPECT_EQ(sim->Position(1), 1000);
  EXPECT_EQ(sim->Position(41), -5);
  EXPECT_EQ(sim->BadFrames(), 0u);
}

TEST_F(SerialMove, SecondPlatformAxisBooksPlatformTwoY) {
  smt::CurrentMachine().curY = 0;
  ASSERT_TRUE(MoveXYSerial(smt::CurrentMachine(), 200, 5, 5, 12, -700, 5, 5, 0, 0, 0, 0));
  EXPECT_EQ(smt::CurrentMachine().motion.curPlatform[1].load(), -700);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), 0);
  EXPECT_EQ(sim->Position(12), -700);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 200);
}

struct LimitCase {
  const char* name;
  int32_t curX, curY, dX, d2;
  uint8_t axis2;
  const char* refusal;  // nullptr: sent
};

TEST_F(SerialMove, TravelLimitsRefuseBeforeAnythingIsSent) {
  const LimitCase cases[] = {
      {"X exactly at the limit", 199000, -10, 1000, 0, 1, nullptr},
      {"one pulse past the X limit", 199000, -10, 1001, 0, 1, "X Pos Error !"},
      {"below X 0", 10, -10, -11, 0, 1, "X Pos Error !"},
      {"Y above 0", 10, -10, 0, 11, 1, "Y Pos Error !"},
      {"Y below its limit", 10, -149990, 0, -11, 1, "Y Pos Error !"},
      {"platform 2 Y is not checked against platform 1's", 10, -10, 0, 50, 12, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    smt::CurrentMachine().curX = c.curX;
    smt::CurrentMachine().curY = c.curY;
    messages.service.Clear();
    sim->ClearReceived();
    const bool ok = MoveXYSerial(smt::CurrentMachine(), c.dX, 5, 5, c.axis2, c.d2, 5, 5, 0, 0, 0, 0);
    if (c.refusal) {
      EXPECT_FALSE(ok);
      ASSERT_EQ(messages.service.Texts().size(), 1u);
      EXPECT_EQ(messages.service.Texts()[0], c.refusal);
      EXPECT_FALSE(sim->LastReceived(0x54).has_value());
      EXPECT_EQ(smt::CurrentMachine().curX.load(), c.curX);
    } else {
      EXPECT_TRUE(ok);
      EXPECT_TRUE(sim->LastReceived(0x54).has_value());
    }
  }
}

struct SpeedCase {
  const char* name;
  bool far, cap;
  int capValue, accel;
  int32_t dX, startX, runX, d2, start2, run2;
  uint8_t sx, rx, s2, r2;  // as sent
};

TEST_F(SerialMove, SpeedRulesShapeTheSentSpeeds) {
  const SpeedCase cases[] = {
      {"cap lowers both run speeds when one is above", false, true, 20, 100, 100, 5, 30, 100, 5, 10, 5, 20, 5, 20},
      {"start 0 sends start 1 and run 1", false, false, 0, 100, 100, 0, 30, 100, 4, 9, 1, 1, 4, 9},
      // 10 - 100000 / 200000 x (30 - 10) x 50 / 100 = 5; 10 - 75000 / 150000 x 20 x 0.5 = 5
      {"far moves start slower", true, false, 0, 50, 100000, 10, 30, 75000, 10, 30, 5, 30, 5, 30},
      {"a far move that reduces below 1 starts and runs at 1", true, false, 0, 100, 200000, 1, 30, 0, 3, 4, 1, 1, 3, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UpdateSettings([&](MotionSettings& m) {
      m.optimizeFarSpeed = c.far;
      m.accelSpeed = c.accel;
      m.maxSpeedLimit = c.cap;
      m.maxSpeedLimitValue = c.capValue;
    });
    smt::CurrentMachine().curX = 0;
    smt::CurrentMachine().curY = -100000;
    ASSERT_TRUE(MoveXYSerial(smt::CurrentMachine(), c.dX, c.startX, c.runX, 1, c.d2, c.start2, c.run2, 0, 0, 0, 0));
    const auto f = LastFrame();
    ASSERT_EQ(f.size(), 29u);
    EXPECT_EQ(f[9], c.sx);
    EXPECT_EQ(f[10], c.rx);
    EXPECT_EQ(f[16], c.s2);
    EXPECT_EQ(f[17], c.r2);
  }
}

TEST_F(SerialMove, NetworkLinkAndMissingMasterResetSendNothing) {
  UseUdp();
  EXPECT_FALSE(MoveXYSerial(smt::CurrentMachine(), 100, 5, 5, 1, 0, 5, 5, 0, 0, 0, 0));
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], "通讯未完成 ！");
  UseSerial();
  messages.service.Clear();
  smt::CurrentMachine().masterResetOk = false;
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove.Reset();
  EXPECT_FALSE(MoveXYSerial(smt::CurrentMachine(), 100, 5, 5, 1, 0, 5, 5, 0, 0, 0, 0));
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], "Error E3 !");
  // A waiting partner is woken.
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove.IsSet());
  EXPECT_FALSE(sim->LastReceived(0x54).has_value());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
}

TEST_F(SerialMove, AMoveTheBoardNeverReportsDoneEndsAfterItsTimeOutWithTheMachineFree) {
  const auto saved = smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove.timeout();
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove.SetTimeout(std::chrono::milliseconds(300));
  sim->DropReplies(1);
  smt::CurrentMachine().machineBusy = true;
  EXPECT_FALSE(MoveXYSerial(smt::CurrentMachine(), 100, 5, 5, 1, 0, 5, 5, 0, 0, 0, 0));
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove.SetTimeout(saved);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
}

TEST_F(SerialMove, BoardDropsAMoveFrameOfTheWrongShape) {
  const auto good = BuildCmd54SerialMove(smt::CurrentMachine(), {100, 5, 5, 1, 0, 5, 5, 0, 0, 0, 0}).serialPayload;
  ASSERT_EQ(good.size(), 20u);
  struct Bad {
    const char* name;
    std::vector<uint8_t> payload;
  };
  auto without = good;
  without.pop_back();
  auto wrongEnd = good;
  wrongEnd.back() = 0x00;
  auto wrongAxis = good;
  wrongAxis[0] = 0x01;
  const Bad cases[] = {{"one byte short", without}, {"no closing 0x80", wrongEnd}, {"X axis code not 0", wrongAxis}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto before = sim->BadFrames();
    const auto frame = BuildSerialFrame(0x54, c.payload);
    ASSERT_TRUE(WriteComFrame(smt::CurrentMachine(), frame.data(), static_cast<uint32_t>(frame.size())));
    EXPECT_TRUE(linktest::WaitFor([&] { return sim->BadFrames() > before; }));
    EXPECT_FALSE(sim->LastReceived(0x54).has_value());
    EXPECT_EQ(sim->Position(0), 0);
  }
}

}  // namespace

// Which reply completes which command, with a man in the middle between the
// program and the simulated board on both links that holds the board's
// replies back past the guard time or sends them twice. Judged by the
// board: no command is reported done that the board did not do, and the
// program's position is the board's.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "ReplyProxy.h"
#include "link/MotionCommands.h"

using namespace smt::link;
using namespace std::chrono_literals;

namespace {

bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit) {
  return linktest::WaitFor(cond, limit);
}

}  // namespace

class ReplyCorrelation : public linktest::MotionSimTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    linktest::MotionSimTest::SetUp();
    ASSERT_TRUE(proxy.Start(sim->UdpPort(), sim->SerialPath()));
    link.Close();
    link.SetLocalPort(0);
    ASSERT_TRUE(link.Open("127.0.0.1", static_cast<uint32_t>(proxy.UdpPort())));
    link.StartReplyLoop();
    serial.Close();
    ASSERT_TRUE(serial.Open(proxy.SerialPath()));
    GetParam() ? UseSerial() : UseUdp();
    smt::CurrentMachine().connected = true;
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(300ms);
  }
  void TearDown() override {
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(60s);
    for (auto* e : AllReplyEvents()) e->ForgetLateReply();
    proxy.Stop();
    linktest::MotionSimTest::TearDown();
  }
  bool Move(int32_t dx) { return SendCmd64MoveXY(dx, 5, 10, 0, 5, 10, 0, 0, 0, 0, 0); }
  // The board refuses its next XY move.
  void BoardRefusesNextMove() {
    if (GetParam()) sim->InjectSerialError(0x64, 0x64, 0);
    else sim->InjectStatus(0x64, 0x11);
  }
  // The operator connects again and homes: the program counts from 0 where
  // the board stands now.
  void ReconnectAndHome() {
    smt::CurrentMachine().connected = true;
    OnLinkRestored();
    MachineHoming::Instance().m_nResetMode = 0;
    ASSERT_EQ(SendCmd02Home({}), CommandResult::Ok);
    MachineHoming::Instance().m_nResetMode = -1;
    linktest::ZeroPositions();
    homeX = sim->Position(0);
  }

  linktest::ReplyProxy proxy;
  int64_t homeX = 0;  // the board's X where the program's X is 0
};

// A reply held back past its command's time-out and past the guard time
// after it: the operator reconnected and homed in between, and the next move
// (which the board refuses, slowly) is in flight when the old reply comes.
// It must not be taken for that move's answer.
TEST_P(ReplyCorrelation, AReplyLaterThanTheGuardNeverCompletesTheNextCommand) {
  const auto t0 = std::chrono::steady_clock::now();
  proxy.DelayNext(0x64, 1800ms);
  EXPECT_FALSE(Move(100));  // times out at 300 ms
  EXPECT_FALSE(smt::CurrentMachine().connected.load());
  // Past the guard time (1 s after the time-out) before the reconnect.
  std::this_thread::sleep_until(t0 + 1500ms);
  ReconnectAndHome();
  // The board takes its time to refuse the next move: the old reply (due at
  // 1.8 s) comes while this move waits.
  proxy.DelayNext(0x64, 700ms);
  BoardRefusesNextMove();
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(3s);
  EXPECT_FALSE(Move(100)) << "a move the board refused was reported done";
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
  EXPECT_EQ(sim->Position(0), homeX);
  EXPECT_GE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.LateRepliesDiscarded(), 1u);
  // The family works again, and the program's X is the board's.
  ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 3s));
  EXPECT_TRUE(Move(100));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);
  EXPECT_EQ(sim->Position(0), homeX + 100);
}

// A reply the board's answer comes twice: the second copy arrives after the
// move it belongs to was done and before the next one went out, and is
// dropped; the next move, which the board refuses, is not reported done;
// the one after it is, and the program's X is the board's throughout.
TEST_P(ReplyCorrelation, ADuplicatedReplyNeverCompletesAnotherCommand) {
  proxy.DuplicateNext(0x64, 60ms);
  const uint64_t stray = smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.StrayRepliesDiscarded();
  EXPECT_TRUE(Move(100));
  // The copy arrives with no XY move in flight: it is dropped.
  ASSERT_TRUE(WaitUntil([&] { return smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.StrayRepliesDiscarded() >= stray + 1; }, 2s));
  BoardRefusesNextMove();
  EXPECT_FALSE(Move(100)) << "a move the board refused was reported done";
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);
  EXPECT_EQ(sim->Position(0), 100);
  // The refused move's own answer came; the next move gets its own.
  EXPECT_TRUE(Move(100));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 200);
  EXPECT_EQ(sim->Position(0), 200);
}

INSTANTIATE_TEST_SUITE_P(Links, ReplyCorrelation, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Serial" : "Udp"); });

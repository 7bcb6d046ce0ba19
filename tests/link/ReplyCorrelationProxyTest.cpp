// Which reply completes which command, with a man in the middle between the
// program and the simulated board on both links that holds the board's
// replies back past the guard time or sends them twice. Judged by the
// board: no command is reported done that the board did not do, and the
// program's position is the board's.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "ReplyProxy.h"
#include "link/LinkTexts.h"
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
    for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->ForgetLateReply();
    proxy.Stop();
    linktest::MotionSimTest::TearDown();
  }
  bool Move(int32_t dx) { return SendCmd64MoveXY(smt::CurrentMachine(), dx, 5, 10, 0, 5, 10, 0, 0, 0, 0, 0); }
  // The board refuses its next XY move.
  void BoardRefusesNextMove() {
    if (GetParam()) sim->InjectSerialError(0x64, 0x64, 0);
    else sim->InjectStatus(0x64, 0x11);
  }
  // The operator connects again and homes: the program counts from 0 where
  // the board stands now.
  void ReconnectAndHome() {
    smt::CurrentMachine().connected = true;
    OnLinkRestored(smt::CurrentMachine());
    MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = 0;
    ASSERT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::Ok);
    MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = -1;
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

// Moves the board received so far.
size_t MovesReceived(smt::sim::SimBoard& sim) {
  size_t n = 0;
  for (const auto& r : sim.Received()) n += r.code == 0x64;
  return n;
}

// The board's answer comes twice, the copy at each of these delays: before
// the next move would go out, or while it would be in flight with its own
// answer slow (150 ms). A second answer to one command means a reply may be
// taken for another's: the move is reported done (the board did it), the
// machine counts as not homed, the operator is told once, and the next move
// is not sent. After a home the family works and the program's X is the
// board's.
TEST_P(ReplyCorrelation, ADuplicatedReplyLeavesThePositionUncertainAndNothingMoreIsSent) {
  for (const auto again : {60ms, 20ms, 90ms}) {
    SCOPED_TRACE(again.count());
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().link.positionLost = false;
    messages.service.Clear();
    ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 3s));
    const int64_t x0 = sim->Position(0);
    const int32_t cur0 = smt::CurrentMachine().curX.load();
    proxy.DuplicateNext(0x64, again);
    EXPECT_TRUE(Move(100));
    EXPECT_EQ(sim->Position(0), x0 + 100);
    // The next move, right away, its own answer 150 ms slow.
    const size_t sent = MovesReceived(*sim);
    proxy.DelayNext(0x64, 150ms);
    EXPECT_FALSE(Move(100)) << "a move was reported done on another's reply";
    EXPECT_EQ(MovesReceived(*sim), sent) << "a move went out while the position was uncertain";
    EXPECT_EQ(sim->Position(0), x0 + 100);
    EXPECT_EQ(smt::CurrentMachine().curX.load(), cur0 + 100);
    EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 3s));
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(messages.service.Texts().size(), 1u);
    EXPECT_NE(messages.service.Texts()[0].find(smt::link::LinkTextsOf(smt::CurrentMachine()).positionUncertain), std::string::npos);
    // Homed again: the family works, the program's X is the board's.
    proxy.ForgetPending();
    ReconnectAndHome();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(Move(100));
    EXPECT_EQ(sim->Position(0), homeX + 100);
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);
  }
}

// Late and repeated answers in either order before a move the board
// refuses with a slow answer: whatever the program reports done, the board
// did; a refused move is never reported done.
TEST_P(ReplyCorrelation, LateAndRepeatedRepliesInEitherOrderNeverReportARefusedMoveDone) {
  for (const bool lateFirst : {true, false}) {
    SCOPED_TRACE(lateFirst ? "late, then repeated" : "repeated, then late");
    for (int step = 0; step < 2; ++step) {
      const bool late = (step == 0) == lateFirst;
      proxy.ForgetPending();  // the last step's move may not have been sent
      if (!smt::CurrentMachine().connected.load() || !smt::CurrentMachine().resetDone.load()) {
        ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 6s));
        ReconnectAndHome();
        ASSERT_FALSE(HasFatalFailure());
      }
      messages.service.Clear();
      const int64_t x0 = sim->Position(0);
      if (late) proxy.DelayNext(0x64, 1300ms);  // 1 s after the 300 ms time-out
      else proxy.DuplicateNext(0x64, 60ms);
      const bool first = Move(100);
      EXPECT_EQ(first, !late);
      if (first) EXPECT_EQ(sim->Position(0), x0 + 100);
      if (late) {
        // Connected and homed again before the late answer comes.
        ReconnectAndHome();
        ASSERT_FALSE(HasFatalFailure());
      }
      // The board refuses the next move and takes 150 ms to say so.
      const int64_t x1 = sim->Position(0);
      const size_t sent = MovesReceived(*sim);
      proxy.DelayNext(0x64, 150ms);
      if (late) BoardRefusesNextMove();  // after a repeat the move is not sent at all
      smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(3s);
      const bool second = Move(100);
      smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(300ms);
      // Reported done only when the board did it; refused, never.
      EXPECT_FALSE(second) << "a move the board refused, or was never sent, was reported done";
      EXPECT_EQ(sim->Position(0), x1);
      if (!late) EXPECT_EQ(MovesReceived(*sim), sent);
      if (late) EXPECT_GE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.LateRepliesDiscarded(), 1u);
    }
  }
}

// Late replies of every age after a 1 s time-out, and copies of a reply at
// every delay, one after the other in either order. A late reply comes
// while the next move, which the board refuses (slowly), is in flight; a
// copy comes before the next move goes out or while it is in flight with
// its own answer 150 ms slow. Judged by the board: a move it refused is
// never reported done, and whatever was reported done, it did.
struct LateAndCopy {
  std::chrono::milliseconds late;
  std::chrono::milliseconds copy;
};

class LateAndCopies : public ReplyCorrelation {
 protected:
  ReplyEvent& MoveXY() { return smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY; }
  void HomeIfUncertain() {
    ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 12s));
    std::this_thread::sleep_for(50ms);
    sim->ClearInjected(0x64);
    proxy.ForgetPending();
    if (!smt::CurrentMachine().connected.load() || !smt::CurrentMachine().resetDone.load()) ReconnectAndHome();
  }
  // The next move; the board refuses it and says so `answerAfter` late.
  // False when it was reported done on a reply that was not its own.
  void RefusedMoveIsNotDone(std::chrono::milliseconds answerAfter) {
    const int64_t x1 = sim->Position(0);
    const int32_t cur1 = smt::CurrentMachine().curX.load();
    BoardRefusesNextMove();
    proxy.DelayNext(0x64, answerAfter);
    MoveXY().SetTimeout(3s);
    const bool done = Move(100);
    MoveXY().SetTimeout(1s);
    EXPECT_FALSE(done) << "a move the board refused, or never got, was reported done";
    EXPECT_EQ(sim->Position(0), x1);
    EXPECT_EQ(smt::CurrentMachine().curX.load(), cur1);
  }
  void Late(std::chrono::milliseconds late) {
    SCOPED_TRACE("late " + std::to_string(late.count()) + " ms");
    const auto t0 = std::chrono::steady_clock::now();
    const auto seen = MoveXY().LateRepliesDiscarded() + MoveXY().RepliesOutOfTurn();
    MoveXY().SetTimeout(1s);
    proxy.DelayNext(0x64, late);
    EXPECT_FALSE(Move(100));  // times out after 1 s
    EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    ReconnectAndHome();
    ASSERT_FALSE(HasFatalFailure());
    // The next move goes out just before the late reply comes.
    std::this_thread::sleep_until(t0 + late - 150ms);
    RefusedMoveIsNotDone(400ms);
    ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 12s));
    // Written by the proxy; the program's reader takes it in its own time.
    EXPECT_TRUE(WaitUntil([&] { return MoveXY().LateRepliesDiscarded() + MoveXY().RepliesOutOfTurn() > seen; }, 2s));
  }
  void Copy(std::chrono::milliseconds again) {
    SCOPED_TRACE("copy after " + std::to_string(again.count()) + " ms");
    messages.service.Clear();
    const int64_t x0 = sim->Position(0);
    proxy.DuplicateNext(0x64, again);
    EXPECT_TRUE(Move(100));
    EXPECT_EQ(sim->Position(0), x0 + 100);
    RefusedMoveIsNotDone(150ms);
    ASSERT_TRUE(WaitUntil([&] { return proxy.Idle(); }, 3s));
    // The copy was seen (the program's reader takes it in its own time),
    // before or after the next move: not homed until a home.
    WaitUntil([&] { return smt::CurrentMachine().link.positionLost.load(); }, 2s);
    EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    EXPECT_TRUE(smt::CurrentMachine().link.positionLost.load());
  }
};

TEST_P(LateAndCopies, NoMoveTheBoardRefusedIsReportedDone) {
  for (const LateAndCopy c : {LateAndCopy{2300ms, 60ms}, LateAndCopy{6000ms, 150ms}, LateAndCopy{10000ms, 500ms}}) {
    for (const bool lateFirst : {true, false}) {
      SCOPED_TRACE(lateFirst ? "late, then copied" : "copied, then late");
      for (int step = 0; step < 2; ++step) {
        HomeIfUncertain();
        ASSERT_FALSE(HasFatalFailure());
        if ((step == 0) == lateFirst) Late(c.late);
        else Copy(c.copy);
        ASSERT_FALSE(HasFatalFailure());
      }
    }
  }
  // Homed again, the family works and the program's X is the board's.
  HomeIfUncertain();
  EXPECT_TRUE(Move(100));
  EXPECT_EQ(sim->Position(0), homeX + 100);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);
}

INSTANTIATE_TEST_SUITE_P(Links, LateAndCopies, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Serial" : "Udp"); });

INSTANTIATE_TEST_SUITE_P(Links, ReplyCorrelation, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Serial" : "Udp"); });

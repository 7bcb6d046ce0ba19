// Waiting for a reply: a family that answers quickly is watched for a moment
// before the waiting thread sleeps. Whether the reply comes while it watches,
// after it went to sleep, never, or was there before the wait, the wait ends
// as before: taken once, with how the reply ended, or timed out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/ReplyEvent.h"
#include "platform/Event.h"

using namespace std::chrono_literals;
using smt::link::ReplyEvent;
using smt::link::ReplyWait;
using Clock = std::chrono::steady_clock;

namespace {

// Teaches the family how quickly it answers: `replies` waits of `after` each.
void Train(ReplyEvent& e, std::chrono::microseconds after, int replies) {
  for (int i = 0; i < replies; ++i) {
    e.Reset();
    std::thread t([&] {
      std::this_thread::sleep_for(after);
      e.Signal();
    });
    EXPECT_EQ(e.Wait(smt::CurrentMachine(), 2s), ReplyWait::Done);
    t.join();
  }
}

}  // namespace

TEST(ReplyWait, EndsAsTheReplyEndsWhetherWatchedOrSleptFor) {
  struct Case {
    const char* what;
    std::chrono::microseconds trained;  // how quickly the family answered so far
    std::chrono::microseconds after;    // when this reply comes; negative: never
    bool failure;
    std::chrono::milliseconds timeout;
    ReplyWait expected;
  };
  const Case cases[] = {
      {"fast family, reply at once", 0us, 0us, false, 2000ms, ReplyWait::Done},
      {"fast family, reply while watched", 0us, 40us, false, 2000ms, ReplyWait::Done},
      {"fast family, reply after the watch", 0us, 5000us, false, 2000ms, ReplyWait::Done},
      {"fast family, failure while watched", 0us, 30us, true, 2000ms, ReplyWait::Failed},
      {"fast family, failure after the watch", 0us, 5000us, true, 2000ms, ReplyWait::Failed},
      {"fast family, no reply", 0us, -1us, false, 30ms, ReplyWait::TimedOut},
      {"fast family, no reply, time-out shorter than the watch", 0us, -1us, false, 0ms, ReplyWait::TimedOut},
      {"slow family, quick reply", 3000us, 20us, false, 2000ms, ReplyWait::Done},
      {"slow family, no reply", 3000us, -1us, false, 30ms, ReplyWait::TimedOut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReplyEvent e("Test", 60s);
    Train(e, c.trained, 16);
    e.Reset();
    std::thread answer;
    if (c.after.count() >= 0)
      answer = std::thread([&] {
        std::this_thread::sleep_for(c.after);
        if (c.failure) e.SignalFailure(7);
        else e.Signal(0);
      });
    const auto t0 = Clock::now();
    EXPECT_EQ(e.Wait(smt::CurrentMachine(), c.timeout), c.expected);
    const auto took = Clock::now() - t0;
    if (answer.joinable()) answer.join();
    if (c.expected == ReplyWait::TimedOut) {
      EXPECT_GE(took, c.timeout);
    }
    if (c.failure) {
      EXPECT_EQ(e.status(), 7);
    }
    // Taken once: the event is clear again.
    EXPECT_FALSE(e.IsSet());
    EXPECT_EQ(e.Wait(smt::CurrentMachine(), 0ms), ReplyWait::TimedOut);
  }
}

TEST(ReplyWait, AReplyThatCameBeforeTheWaitIsTakenOnce) {
  ReplyEvent e("Test", 60s);
  Train(e, 0us, 8);
  e.Reset();
  e.Signal();
  EXPECT_EQ(e.Wait(smt::CurrentMachine(), 1s), ReplyWait::Done);
  EXPECT_EQ(e.Wait(smt::CurrentMachine(), 20ms), ReplyWait::TimedOut);
}

TEST(ReplyWait, TakingAnEventWithoutWaiting) {
  smt::platform::Event autoReset(false, false), manual(true, false);
  EXPECT_FALSE(autoReset.TryWait());
  autoReset.Set();
  EXPECT_TRUE(autoReset.TryWait());
  EXPECT_FALSE(autoReset.TryWait());
  EXPECT_FALSE(autoReset.IsSet());
  manual.Set();
  EXPECT_TRUE(manual.TryWait());
  EXPECT_TRUE(manual.TryWait());
  EXPECT_TRUE(manual.IsSet());
  manual.Reset();
  EXPECT_FALSE(manual.TryWait());
}

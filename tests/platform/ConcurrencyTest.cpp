#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/GuiDispatcher.h"
#include "platform/LinkMutex.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"

using namespace smt::platform;
using namespace std::chrono_literals;

TEST(Event, AutoResetReleasesOneWaiterAndClears) {
  Event e(false, false);
  EXPECT_FALSE(e.Wait(1ms));
  e.Set();
  EXPECT_TRUE(e.Wait(0ms));
  EXPECT_FALSE(e.Wait(1ms));  // the wait took it

  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) waiters.emplace_back([&] { released += e.Wait(300ms) ? 1 : 0; });
  std::this_thread::sleep_for(50ms);
  e.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 1);
}

TEST(Event, ManualResetReleasesEveryoneUntilReset) {
  Event gate(true, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) waiters.emplace_back([&] { released += gate.Wait(2s) ? 1 : 0; });
  gate.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 3);
  EXPECT_TRUE(gate.Wait(0ms));
  gate.Reset();
  EXPECT_FALSE(gate.Wait(1ms));
}

TEST(LinkMutex, SameThreadMayTakeItAgainOthersWaitWithTimeOut) {
  LinkMutex m;
  std::lock_guard outer(m);
  {
    std::lock_guard inner(m);  // a sequence holding the mutex sends a command
  }
  std::atomic<bool> got{true};
  std::thread other([&] { got = m.TryLockFor(20ms); });
  other.join();
  EXPECT_FALSE(got);
}

// Plain data written by several threads, each holding the mutex through
// TryLockFor as the link's senders do. In the ThreadSanitizer build this is a
// reported race unless the sanitizer sees the timed lock taken.
TEST(LinkMutex, TimedLockOrdersTheDataItGuards) {
  LinkMutex m;
  long guarded = 0;  // deliberately not atomic
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(m.TryLockFor(5s));
        std::lock_guard held(m, std::adopt_lock);
        ++guarded;
        std::lock_guard again(m);  // a command inside the held sequence
        ++guarded;
      }
    });
  }
  for (auto& t : senders) t.join();
  EXPECT_EQ(guarded, 1600);
}

TEST(WorkerThreads, ShutDownStopsAndJoinsEveryWorker) {
  WorkerThreads::Instance().ResetForTests();
  std::atomic<int> finished{0};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(WorkerThreads::Instance().Start("loop", [&](std::stop_token st) {
      while (!st.stop_requested()) std::this_thread::sleep_for(1ms);
      ++finished;
    }));
  }
  EXPECT_EQ(WorkerThreads::Instance().RunningCount(), 4u);
  WorkerThreads::Instance().StopAndJoinAll();
  EXPECT_EQ(finished.load(), 4);  // joined: they all ran to their end
  EXPECT_FALSE(WorkerThreads::Instance().Start("late", [](std::stop_token) {}));
  WorkerThreads::Instance().ResetForTests();
}

TEST(WorkerThreads, FinishedWorkersAreReaped) {
  WorkerThreads::Instance().ResetForTests();
  Event done(true);
  WorkerThreads::Instance().Start("short", [&](std::stop_token) { done.Set(); });
  ASSERT_TRUE(done.Wait(2s));
  for (int i = 0; i < 200 && WorkerThreads::Instance().RunningCount() != 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(WorkerThreads::Instance().RunningCount(), 0u);
}

TEST(MessageService, RecordsTextsAndAnswersAsTold) {
  ScopedRecordingMessages rec;
  rec.service.QueueAnswer(MsgAnswer::Cancel);
  EXPECT_EQ(ShowMessage("first", MsgButtons::YesNoCancel), MsgAnswer::Cancel);
  EXPECT_EQ(ShowMessage("second", MsgButtons::YesNo), MsgAnswer::Yes);  // default for Yes/No boxes
  rec.service.SetDefaultAnswer(MsgAnswer::No);
  std::thread worker([] { ShowMessage("from a worker", MsgButtons::YesNo); });
  worker.join();
  EXPECT_EQ(rec.service.Texts(), (std::vector<std::string>{"first", "second", "from a worker"}));
}

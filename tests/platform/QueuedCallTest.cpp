// Work queued onto the window thread from a worker: it runs there, sees what
// the worker wrote before queueing it, and is dropped (its captures freed)
// when its object goes first. Under ThreadSanitizer the worker's writes and
// the window thread's reads are reported as a race unless the queue's
// hand-over is marked (Qt's own queue mutex is invisible to the sanitizer).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/QtGuiDispatcher.h"
#include "platform/QueuedCall.h"

using namespace smt::platform;
using namespace std::chrono_literals;

namespace {

template <class F>
bool PumpUntil(F done, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

struct Way {
  const char* name;
  // Queues `work` from the calling thread onto `window`'s thread.
  std::function<void(QtGuiDispatcher& window, std::function<void()> work)> queue;
};

const Way kWays[] = {
    {"PostTo", [](QtGuiDispatcher& window, std::function<void()> work) { PostTo(&window, std::move(work)); }},
    {"DispatcherPost", [](QtGuiDispatcher& window, std::function<void()> work) { window.Post(std::move(work)); }},
    {"DispatcherRunBlocking",
     [](QtGuiDispatcher& window, std::function<void()> work) { window.RunBlocking(std::move(work)); }},
};

class QueuedCall : public ::testing::TestWithParam<Way> {};

}  // namespace

TEST_P(QueuedCall, RunsOnTheWindowThreadAndSeesWhatTheWorkerWroteBeforeQueueing) {
  QtGuiDispatcher window;
  bool ran = false;  // window thread only
  std::thread::id ranOn;
  std::string seen;
  std::promise<void> release;
  auto released = release.get_future();
  // The worker stays alive and unjoined until the work has run, so nothing
  // but the queue itself orders its writes before the window thread's reads.
  std::thread worker([&] {
    auto text = std::make_shared<std::string>(300, 'x');
    (*text)[7] = 'w';
    GetParam().queue(window, [&, text] {
      seen = *text;
      ranOn = std::this_thread::get_id();
      ran = true;
    });
    released.wait_for(10s);
  });
  const bool done = PumpUntil([&] { return ran; });
  release.set_value();
  worker.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  ASSERT_EQ(seen.size(), 300u);
  EXPECT_EQ(seen[7], 'w');
}

// Qt frees a queued task when the last of its two holders lets go: the
// queued event, or the queueing call itself, which may return only after the
// window thread ran the work. Many tasks queued back to back from a busy
// worker give the worker that last word now and then; the window thread's
// reads of what the work captured must still come before the worker frees
// it.
TEST_P(QueuedCall, WorkThatRanIsFreedSafelyWhicheverThreadLetsGoLast) {
  QtGuiDispatcher window;
  constexpr int kTasks = 2000;
  int ran = 0;  // window thread only
  long sum = 0;  // window thread only
  std::atomic<bool> queued{false};
  std::thread worker([&] {
    for (int i = 1; i <= kTasks; ++i) {
      const long value = i;
      GetParam().queue(window, [&ran, &sum, value] {
        sum += value;
        ++ran;
      });
      // A short pause lets the window thread fall asleep, so the next task
      // wakes it while this thread is still inside the queueing call.
      std::this_thread::sleep_for(20us);
    }
    queued = true;
  });
  const bool done = PumpUntil([&] { return queued.load() && ran == kTasks; }, 60s);
  worker.join();
  ASSERT_TRUE(done) << ran << " of " << kTasks << " ran";
  EXPECT_EQ(sum, static_cast<long>(kTasks) * (kTasks + 1) / 2);
}

INSTANTIATE_TEST_SUITE_P(Ways, QueuedCall, ::testing::ValuesIn(kWays),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QueuedCallDrop, WorkForAnObjectThatGoesFirstIsDroppedAndItsCapturesFreed) {
  auto target = std::make_unique<QObject>();
  auto held = std::make_shared<std::string>(300, 'h');
  bool ran = false;
  std::atomic<bool> queued{false};
  QObject* const to = target.get();
  std::thread worker([&ran, &queued, to, held] {
    auto text = std::make_shared<std::string>(300, 'x');
    PostTo(to, [&ran, held, text] { ran = !held->empty() && !text->empty(); });
    queued.store(true, std::memory_order_relaxed);  // no ordering: only the queue orders
  });
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (!queued.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(queued.load(std::memory_order_relaxed));
  target.reset();  // takes its queued work with it
  worker.join();
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
  EXPECT_EQ(held.use_count(), 1);
}

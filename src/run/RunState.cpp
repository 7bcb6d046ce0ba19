#include "run/RunState.h"

#include <array>
#include <thread>

#include "platform/WorkerThreads.h"
#include "core/Machine.h"

namespace smt::run {

smt::platform::Event& HeadPickedEvent(smt::Machine& m, int head) {
  switch (head) {
    case 2: return m.run.head2PickedEvent;
    case 3: return m.run.head3PickedEvent;
    case 4: return m.run.head4PickedEvent;
    default: return m.run.head1PickedEvent;
  }
}

namespace {
struct FeedOutcome {
  std::atomic<bool> failed{false};
};
size_t PickIndex(int head) { return static_cast<size_t>(head < 1 || head > 4 ? 0 : head - 1); }
bool ShuttingDown() { return smt::platform::WorkerThreads::Instance().ShuttingDown(); }
}  // namespace

void SignalHeadPicked(smt::Machine& m, int head) {
  m.run.headPicked[PickIndex(head)] = true;
  HeadPickedEvent(m, head).Set();
}
bool HeadHasPicked(smt::Machine& m, int head) { return m.run.headPicked[PickIndex(head)]; }
void ClearHeadPicked(smt::Machine& m, int head) { m.run.headPicked[PickIndex(head)] = false; }

smt::platform::Event& HeadFeedReadyEvent(smt::Machine& m, int head) {
  if (head < 1 || head > 4) head = 1;
  return m.run.headFeedReadyEvent[head - 1];
}

void CreateRunEvents(smt::Machine& m) {
  auto& r = m.run;
  r.pauseEvent.Set();
  for (auto* e : {&r.dispenseDoneEvent, &r.placeDoneEvent, &r.boardReadyEvent, &r.boardDoneEvent, &r.feedRequestEvent,
                  &r.head1PickedEvent, &r.head2PickedEvent, &r.head3PickedEvent, &r.head4PickedEvent,
                  &r.platformGluedEvent1, &r.platformGluedEvent2, &r.platformFreeEvent1, &r.platformFreeEvent2})
    e->Reset();
  for (auto& e : r.headFeedReadyEvent) e.Reset();
  m.Part<FeedOutcome>().failed = false;
}

void MarkFeedFailed(smt::Machine& m) {
  m.Part<FeedOutcome>().failed = true;
  for (auto& e : m.run.headFeedReadyEvent) e.Set();
}
bool FeedFailed(smt::Machine& m) { return m.Part<FeedOutcome>().failed.load(); }

WaitResult WaitFeedReady(smt::Machine& m, int head) {
  const WaitResult r = WaitRunEvent(m, HeadFeedReadyEvent(m, head), Timeouts(m).feedReady);
  return FeedFailed(m) ? WaitResult::Stopped : r;
}

RunTimeouts& Timeouts(smt::Machine& m) { return m.Part<RunTimeouts>(); }

WaitResult WaitRunEvent(smt::Machine& m, smt::platform::Event& event, std::chrono::milliseconds limit,
                        const std::atomic<bool>& runFlag) {
  const auto slice = Timeouts(m).poll;
  std::chrono::milliseconds waited{0};
  for (;;) {
    if (event.Wait(slice)) return runFlag ? WaitResult::Signalled : WaitResult::Stopped;
    if (!runFlag || ShuttingDown()) return WaitResult::Stopped;
    if (!m.paused) waited += slice;
    if (waited >= limit) return WaitResult::TimedOut;
  }
}

WaitResult WaitRunEvent(smt::Machine& m, smt::platform::Event& event, std::chrono::milliseconds limit) {
  return WaitRunEvent(m, event, limit, m.runContinue);
}

bool PauseGate(smt::Machine& m) {
  while (!m.run.pauseEvent.Wait(Timeouts(m).poll)) {
    if (!m.runContinue || ShuttingDown()) return false;
  }
  return m.runContinue.load() && !ShuttingDown();
}

bool RunSleep(smt::Machine& m, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (!m.runContinue || ShuttingDown()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(20)));
  }
  return m.runContinue.load();
}


}  // namespace smt::run

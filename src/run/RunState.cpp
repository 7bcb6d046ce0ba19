#include "run/RunState.h"

#include <array>
#include <thread>

#include "platform/WorkerThreads.h"
#include "core/Machine.h"

namespace smt::run {

smt::platform::Event& HeadPickedEvent(int head) {
  switch (head) {
    case 2: return smt::CurrentMachine().run.head2PickedEvent;
    case 3: return smt::CurrentMachine().run.head3PickedEvent;
    case 4: return smt::CurrentMachine().run.head4PickedEvent;
    default: return smt::CurrentMachine().run.head1PickedEvent;
  }
}

namespace {
size_t PickIndex(int head) { return static_cast<size_t>(head < 1 || head > 4 ? 0 : head - 1); }
}  // namespace

void SignalHeadPicked(int head) {
  smt::CurrentMachine().run.headPicked[PickIndex(head)] = true;
  HeadPickedEvent(head).Set();
}
bool HeadHasPicked(int head) { return smt::CurrentMachine().run.headPicked[PickIndex(head)]; }
void ClearHeadPicked(int head) { smt::CurrentMachine().run.headPicked[PickIndex(head)] = false; }

smt::platform::Event& HeadFeedReadyEvent(int head) {
  if (head < 1 || head > 4) head = 1;
  return smt::CurrentMachine().run.headFeedReadyEvent[head - 1];
}

void CreateRunEvents() {
  smt::CurrentMachine().run.pauseEvent.Set();
  for (auto* e : {&smt::CurrentMachine().run.dispenseDoneEvent, &smt::CurrentMachine().run.placeDoneEvent, &smt::CurrentMachine().run.boardReadyEvent, &smt::CurrentMachine().run.boardDoneEvent,
                  &smt::CurrentMachine().run.feedRequestEvent, &smt::CurrentMachine().run.head1PickedEvent, &smt::CurrentMachine().run.head2PickedEvent, &smt::CurrentMachine().run.head3PickedEvent,
                  &smt::CurrentMachine().run.head4PickedEvent, &smt::CurrentMachine().run.platformGluedEvent1, &smt::CurrentMachine().run.platformGluedEvent2, &smt::CurrentMachine().run.platformFreeEvent1,
                  &smt::CurrentMachine().run.platformFreeEvent2})
    e->Reset();
  for (auto& e : smt::CurrentMachine().run.headFeedReadyEvent) e.Reset();
}

RunTimeouts& Timeouts() {
  return smt::CurrentMachine().Part<RunTimeouts>();
}

static bool ShuttingDown() { return smt::platform::WorkerThreads::Instance().ShuttingDown(); }

WaitResult WaitRunEvent(smt::platform::Event& event, std::chrono::milliseconds limit,
                        const std::atomic<bool>& runFlag) {
  const auto slice = Timeouts().poll;
  std::chrono::milliseconds waited{0};
  for (;;) {
    if (event.Wait(slice)) return runFlag ? WaitResult::Signalled : WaitResult::Stopped;
    if (!runFlag || ShuttingDown()) return WaitResult::Stopped;
    if (!smt::CurrentMachine().paused) waited += slice;
    if (waited >= limit) return WaitResult::TimedOut;
  }
}

bool PauseGate() {
  while (!smt::CurrentMachine().run.pauseEvent.Wait(Timeouts().poll)) {
    if (!smt::CurrentMachine().runContinue || ShuttingDown()) return false;
  }
  return smt::CurrentMachine().runContinue.load() && !ShuttingDown();
}

bool RunSleep(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (!smt::CurrentMachine().runContinue || ShuttingDown()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(20)));
  }
  return smt::CurrentMachine().runContinue.load();
}

}  // namespace smt::run

#include "run/RunState.h"

#include <array>
#include <thread>

#include "platform/WorkerThreads.h"

namespace smt::run {

smt::platform::Event& HeadPickedEvent(int head) {
  switch (head) {
    case 2: return g_hHead2PickedEvent;
    case 3: return g_hHead3PickedEvent;
    case 4: return g_hHead4PickedEvent;
    default: return g_hHead1PickedEvent;
  }
}

namespace {
std::array<std::atomic<bool>, 4> g_headPicked{};
size_t PickIndex(int head) { return static_cast<size_t>(head < 1 || head > 4 ? 0 : head - 1); }
}  // namespace

void SignalHeadPicked(int head) {
  g_headPicked[PickIndex(head)] = true;
  HeadPickedEvent(head).Set();
}
bool HeadHasPicked(int head) { return g_headPicked[PickIndex(head)]; }
void ClearHeadPicked(int head) { g_headPicked[PickIndex(head)] = false; }

smt::platform::Event& HeadFeedReadyEvent(int head) {
  if (head < 1 || head > 4) head = 1;
  return g_hHeadFeedReadyEvent[head - 1];
}

void CreateRunEvents() {
  g_hPauseEvent.Set();
  for (auto* e : {&g_hDispenseDoneEvent, &g_hPlaceDoneEvent, &g_hBoardReadyEvent, &g_hBoardDoneEvent,
                  &g_hFeedRequestEvent, &g_hHead1PickedEvent, &g_hHead2PickedEvent, &g_hHead3PickedEvent,
                  &g_hHead4PickedEvent, &g_hPlatformGluedEvent1, &g_hPlatformGluedEvent2, &g_hPlatformFreeEvent1,
                  &g_hPlatformFreeEvent2})
    e->Reset();
  for (auto& e : g_hHeadFeedReadyEvent) e.Reset();
}

RunTimeouts& Timeouts() {
  static RunTimeouts t;
  return t;
}

static bool ShuttingDown() { return smt::platform::WorkerThreads::Instance().ShuttingDown(); }

WaitResult WaitRunEvent(smt::platform::Event& event, std::chrono::milliseconds limit,
                        const std::atomic<bool>& runFlag) {
  const auto slice = Timeouts().poll;
  std::chrono::milliseconds waited{0};
  for (;;) {
    if (event.Wait(slice)) return runFlag ? WaitResult::Signalled : WaitResult::Stopped;
    if (!runFlag || ShuttingDown()) return WaitResult::Stopped;
    if (!g_bPaused) waited += slice;
    if (waited >= limit) return WaitResult::TimedOut;
  }
}

bool PauseGate() {
  while (!g_hPauseEvent.Wait(Timeouts().poll)) {
    if (!g_bRunContinue || ShuttingDown()) return false;
  }
  return g_bRunContinue.load() && !ShuttingDown();
}

bool RunSleep(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (!g_bRunContinue || ShuttingDown()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(20)));
  }
  return g_bRunContinue.load();
}

}  // namespace smt::run

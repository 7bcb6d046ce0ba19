// The feeder thread of a run: presents each head's part while the run
// thread moves, one head ahead.
#include "app/core/LogFile.h"
#include "run/MachineSteps.h"
#include "run/RunDispatch.h"
#include "run/RunState.h"

namespace smt::run {

namespace {

bool Wait(smt::platform::Event& e, std::chrono::milliseconds limit) {
  const auto r = WaitRunEvent(e, limit, g_bFeedRun);
  if (r == WaitResult::TimedOut) CLogFile::Instance().Write(true, "feeder thread: wait time out");
  return r == WaitResult::Signalled;
}

bool Advance(int head) {
  auto& r = g_HeadPick[static_cast<size_t>(head - 1)];
  r.feedPending = 1;
  return FeedAdvance(r, false) && g_bFeedRun;
}

void Ready(int head) { HeadFeedReadyEvent(head).Set(); }
bool Picked(int head) { return Wait(HeadPickedEvent(head), Timeouts().picked); }

// One cycle; false ends the thread.
bool Cycle(int& last) {
  auto& h1 = g_HeadPick[0];
  auto& h2 = g_HeadPick[1];
  if (h1.row < 0) {
    h1.feedRequested = 0;
  } else {
    h1.feedRequested = h1.feedPending = 1;
    if (h2.row >= 0 && (h2.feedSide != h1.feedSide || h2.feederIndex != h1.feederIndex)) h2.feedRequested = h2.feedPending = 1;
    else h2.feedRequested = 0;
  }
  const int heads = g_nCycleHeads;
  if (heads < 1 || heads > 4) return true;  // nothing to feed: wait for the next request
  if (!Advance(1)) return false;
  Ready(1);
  if (heads == 1) {
    if (!Picked(1)) return false;
    last = 1;
    return true;
  }
  if (h2.feederNumber != h1.feederNumber) {
    if (!Advance(2) || !Picked(1)) return false;
    FeedDone(h1);
  } else {
    if (!Picked(1)) return false;
    FeedDone(h1);
    if (!g_bFeedRun || !Advance(2)) return false;
  }
  Ready(2);
  if (!Picked(2)) return false;
  last = 2;
  for (int k = 3; k <= heads; ++k) {
    FeedDone(g_HeadPick[static_cast<size_t>(k - 2)]);
    if (!g_bFeedRun || !Advance(k)) return false;
    Ready(k);
    if (!Picked(k)) return false;
    last = k;
  }
  return true;
}

}  // namespace

void FeederThreadProc() {
  FeedBusy() = 1;
  if (Wait(g_hFeedRequestEvent, Timeouts().feedRequest)) {
    while (g_bFeedRun) {
      int last = 0;
      if (!Cycle(last)) break;
      if (last > 0) FeedDone(g_HeadPick[static_cast<size_t>(last - 1)]);
      if (!g_bFeedRun) break;
      if (!Wait(g_hFeedRequestEvent, Timeouts().feedRequest)) break;
    }
  }
  FeedBusy() = 0;
}

}  // namespace smt::run

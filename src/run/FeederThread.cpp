// The feeder thread of a run: presents each head's part while the run
// thread moves, one head ahead.
//
// It feeds from its own copy of the pick records of the cycle, taken when
// the run thread's feed request wakes it: the run thread fills the records
// of the next cycle as soon as the last head has picked, while this thread
// may still be finishing (FeedDone) the last head of this one. Only the two
// feed flags of the shared records are written here (see run/HeadRecords.h).
#include <cstdlib>

#include "core/LogFile.h"
#include "feeder/FeederTable.h"
#include "run/MachineSteps.h"
#include "run/RunFinish.h"
#include "run/RunServices.h"
#include "run/RunThreadProcs.h"
#include "run/RunState.h"

namespace smt::run {

namespace {

bool Wait(smt::Machine& m, smt::platform::Event& e, std::chrono::milliseconds limit) {
  const auto r = WaitRunEvent(m, e, limit, m.run.feedRun);
  if (r == WaitResult::TimedOut) CLogFile::Instance().Write(true, "feeder thread: wait time out");
  return r == WaitResult::Signalled;
}

class FeederCycle {
 public:
  FeederCycle(smt::Machine& machine, std::string name0402) : m(machine), name0402_(std::move(name0402)) {}

  // Copies the records of the coming cycle. Called right after the feed
  // request: the run thread has finished writing them and does not write
  // them again before the last head of this cycle has picked.
  void Take() {
    for (size_t i = 0; i < mine_.size(); ++i) mine_[i] = m.Part<smt::run::HeadRecords>().pick[i];
  }

  // One cycle; false ends the thread. `last` is the head whose feed is to be
  // finished once the cycle is over.
  bool Run(int& last) {
    auto& h1 = m.Part<smt::run::HeadRecords>().pick[0];
    auto& h2 = m.Part<smt::run::HeadRecords>().pick[1];
    const HeadPickState& m1 = mine_[0];
    const HeadPickState& m2 = mine_[1];
    if (m1.row < 0) {
      h1.feedRequested = 0;
    } else {
      h1.feedRequested = 1;
      h1.feedPending = 1;
      if (m2.row >= 0 && (m2.feedSide != m1.feedSide || m2.feederIndex != m1.feederIndex)) {
        h2.feedRequested = 1;
        h2.feedPending = 1;
      } else {
        h2.feedRequested = 0;
      }
    }
    const int heads = m.run.cycleHeads;
    if (heads < 1 || heads > 4) return true;  // nothing to feed: wait for the next request
    if (!Advance(1, false)) return false;
    Ready(1);
    if (heads == 1) {
      if (!Picked(1)) return false;
      last = 1;
      return true;
    }
    if (m2.feederNumber != m1.feederNumber) {
      if (!Advance(2, false) || !Picked(1)) return false;
      FeedDone(m, mine_[0]);
    } else {
      if (!Picked(1)) return false;
      FeedDone(m, mine_[0]);
      if (!m.run.feedRun || !Advance(2, true)) return false;
    }
    Ready(2);
    if (!Picked(2)) return false;
    last = 2;
    for (int k = 3; k <= heads; ++k) {
      FeedDone(m, mine_[static_cast<size_t>(k - 2)]);
      if (!m.run.feedRun || !Advance(k, true)) return false;
      Ready(k);
      if (!Picked(k)) return false;
      last = k;
    }
    return true;
  }

  void Done(int head) { FeedDone(m, mine_[static_cast<size_t>(head - 1)]); }

 private:
  // `afterPick`: the head before has picked, so a "0402" feeder's pocket
  // count is read again (the previous head's preparation may have turned it).
  bool Advance(int head, bool afterPick) {
    auto& shared = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(head - 1)];
    auto& r = mine_[static_cast<size_t>(head - 1)];
    // The run thread has read the count again before the picked event this
    // thread waited for.
    if (afterPick && r.row != -1 && r.feedModeText == name0402_) r.feedCount = shared.feedCount;
    shared.feedPending = 1;
    r.feedPending = 1;
    const bool ok = FeedAdvance(m, r, false);
    shared.feedPending = 0;
    return ok && m.run.feedRun;
  }
  void Ready(int head) {
    ClearHeadPicked(m, head);
    HeadFeedReadyEvent(m, head).Set();
  }
  // A pick made just before the run ended counts: the run's end wakes this
  // thread with the flag already down, and that head's automatic feeder must
  // still be released.
  bool Picked(int head) { return Wait(m, HeadPickedEvent(m, head), Timeouts(m).picked) || HeadHasPicked(m, head); }

  smt::Machine& m;
  std::array<HeadPickState, 4> mine_;
  std::string name0402_;
};

}  // namespace

void FeederThreadProc(smt::Machine& m) {
  // The dispatcher has claimed the busy byte before this thread started; a
  // caller that starts the thread by hand gets it claimed here.
  FeedBusy(m) = 1;
  FeederCycle cycle(m, FeedModeNames(m)[4]);
  if (Wait(m, m.run.feedRequestEvent, Timeouts(m).feedRequest)) {
    while (m.run.feedRun) {
      cycle.Take();
      int last = 0;
      if (!cycle.Run(last)) {
        // No part comes: the run's wait for it ends now (a stop ends it anyway).
        if (m.run.feedRun && m.runContinue) {
          CLogFile::Instance().Write(true, "feeder thread: a feed failed, the run's wait for its part ends");
          MarkFeedFailed(m);
        }
        break;
      }
      if (last > 0) cycle.Done(last);
      if (!m.run.feedRun) break;
      if (!Wait(m, m.run.feedRequestEvent, Timeouts(m).feedRequest)) break;
    }
  }
  FeedBusy(m) = 0;
}

}  // namespace smt::run

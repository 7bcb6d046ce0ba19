#pragma once
// The run's events and flags (the machine object's `run`, core/Machine.h)
// and the bounded waits every run thread uses.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "core/MachineState.h"
#include "job/RunGlobals.h"
#include "link/MotionGlobals.h"
#include "platform/Event.h"

// The run's events and flags live in the machine object (core/Machine.h: run).

namespace smt::run {

// The run's events and waits of machine `m`.

// The picked event of head 1..4.
smt::platform::Event& HeadPickedEvent(smt::Machine& m, int head);
// The run thread's word that head 1..4 has picked its part: marks the pick,
// then sets the head's picked event. The end of a run sets the picked events
// too (to wake the feeder thread), so the feeder thread asks HeadHasPicked
// whether a wake-up at the end was a real pick whose feeder it must still
// release. The feeder thread clears the mark before it says the part is ready.
void SignalHeadPicked(smt::Machine& m, int head);
bool HeadHasPicked(smt::Machine& m, int head);
void ClearHeadPicked(smt::Machine& m, int head);
smt::platform::Event& HeadFeedReadyEvent(smt::Machine& m, int head);

// Puts every run event into its initial state (pause gate open, the others
// clear). Called once when the part list starts and before each run.
void CreateRunEvents(smt::Machine& m);

// How long a run waits for a partner before it gives up. Time spent paused
// does not count.
struct RunTimeouts {
  std::chrono::milliseconds feedReady{30000};     // run thread: a part presented
  std::chrono::milliseconds picked{600000};       // feeder thread: the head has picked
  std::chrono::milliseconds feedRequest{600000};  // feeder thread: the next cycle
  std::chrono::milliseconds board{600000};        // a board in place / done
  std::chrono::milliseconds partner{600000};      // dispensing <-> placing hand-over
  std::chrono::milliseconds poll{100};
};
RunTimeouts& Timeouts(smt::Machine& m);

enum class WaitResult { Signalled, Stopped, TimedOut };

// The feeder thread could not present a part (a feed command failed, or it
// gave up): it marks so and sets every head's feed-ready event, so that the
// run thread's wait for a part ends at once rather than at its limit. The
// failed command has told the operator why. Cleared by CreateRunEvents.
void MarkFeedFailed(smt::Machine& m);
bool FeedFailed(smt::Machine& m);
// The run thread's wait for head 1..4's part: Signalled; Stopped when the
// run was stopped or the feed failed (told already); TimedOut after
// Timeouts(m).feedReady.
WaitResult WaitFeedReady(smt::Machine& m, int head);

// Waits for `event` while `runFlag` stays set (the run flag of `m` when
// none is given). Paused time (of `m`) is not counted; the program's
// shut-down counts as a stop.
WaitResult WaitRunEvent(smt::Machine& m, smt::platform::Event& event, std::chrono::milliseconds limit,
                        const std::atomic<bool>& runFlag);
WaitResult WaitRunEvent(smt::Machine& m, smt::platform::Event& event, std::chrono::milliseconds limit);

// The pause gate: waits while the run is paused; false when the run was
// stopped (run flag clear) meanwhile.
bool PauseGate(smt::Machine& m);

// Sleeps `ms` in small slices; false when the run was stopped meanwhile.
bool RunSleep(smt::Machine& m, int ms);

}  // namespace smt::run

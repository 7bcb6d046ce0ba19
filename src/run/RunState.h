#pragma once
// Process-wide state of a production run beside the run flags of
// core/MachineState.h, job/RunGlobals.h and link/MotionGlobals.h: the
// events that only the run engine owns, the heads of the coming cycle and
// the bounded waits every run thread uses.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "core/MachineState.h"
#include "job/RunGlobals.h"
#include "link/MotionGlobals.h"
#include "platform/Event.h"

// The conveyor has put a board into the work position.
inline smt::platform::Event g_hBoardReadyEvent{false, false};
// Heads 1..4: the feeder thread has presented the head's part.
inline smt::platform::Event g_hHeadFeedReadyEvent[4];
// Platform runs: a platform is glued / free again.
inline smt::platform::Event g_hPlatformGluedEvent1{false, false}, g_hPlatformGluedEvent2{false, false};
inline smt::platform::Event g_hPlatformFreeEvent1{false, false}, g_hPlatformFreeEvent2{false, false};

// Heads served by the feeder thread in the coming cycle (0..4).
inline std::atomic<int> g_nCycleHeads{0};
// The strategy's automatic nozzle change, copied for the run.
inline std::atomic<bool> g_bAutoChangeNozzle{false};
// Which list the place and dispense steps read: 1 placement, 2 dispensing.
inline std::atomic<int> g_nActiveList{1};
// Set after the first vacuum read of a cycle; cleared by the run loop.
inline std::atomic<bool> g_bFirstVisionDone{false};
// Set when a repair ends (the next feed of that feeder is a double feed).
inline std::atomic<bool> g_bDoubleFeed{false};

namespace smt::run {

// The picked event of head 1..4.
smt::platform::Event& HeadPickedEvent(int head);
// The run thread's word that head 1..4 has picked its part: marks the pick,
// then sets the head's picked event. The end of a run sets the picked events
// too (to wake the feeder thread), so the feeder thread asks HeadHasPicked
// whether a wake-up at the end was a real pick whose feeder it must still
// release. The feeder thread clears the mark before it says the part is ready.
void SignalHeadPicked(int head);
bool HeadHasPicked(int head);
void ClearHeadPicked(int head);
smt::platform::Event& HeadFeedReadyEvent(int head);

// Puts every run event into its initial state (pause gate open, the others
// clear). Called once when the part list starts and before each run.
void CreateRunEvents();

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
RunTimeouts& Timeouts();

enum class WaitResult { Signalled, Stopped, TimedOut };

// Waits for `event` while `runFlag` stays set. Paused time is not counted;
// the program's shut-down counts as a stop.
WaitResult WaitRunEvent(smt::platform::Event& event, std::chrono::milliseconds limit,
                        const std::atomic<bool>& runFlag = g_bRunContinue);

// The pause gate: waits while the run is paused; false when the run was
// stopped (run flag clear) meanwhile.
bool PauseGate();

// Sleeps `ms` in small slices; false when the run was stopped meanwhile.
bool RunSleep(int ms);

}  // namespace smt::run

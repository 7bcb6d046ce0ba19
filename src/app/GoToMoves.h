#pragma once
// The go-to move workers: the XY move to the go-to target (with the stop
// position after a vision-origin move, and the nozzle's vacuum released on
// arrival) and, on the lamp machine, the move of the platform axes. Both run
// on a worker thread; the caller has claimed the busy state, which they
// release on every path.
#include <functional>

#include "app/GoToPlanner.h"

namespace smt {
class Machine;
}

namespace smt::app {

struct GoToMoveRequest {
  int kind = 0;              // the go-to kind (1..8 also the nozzle whose vacuum goes off)
  bool fromMenu = false;     // started from the go-to menu: jog controls stay as they are
  bool stopAfter = false;    // vision origin: go on to the stop position when it is on
  int machineType = 0;
  int platform = 1;          // lamp machine
  // The stop-position plan (computed on the window thread before the start).
  GoToPlan stopPlan;
  // Shows view message k (1..20).
  std::function<void(int)> showMessage;
  // Called on arrival when the homing handed over to this move.
  std::function<bool()> takeResetToOriginPending;
  // The vision-origin correction, run on arrival when the settings ask for
  // passes and the move did not come from the go-to drop-down.
  std::function<void()> correctVisualOrigin;
};

// XY: returns true when the target (and the stop position, when asked) was reached.
bool MoveToTarget(smt::Machine& machine, const GoToMoveRequest& request);
// Lamp machine platform axes by kind; true on success.
bool MoveAxesToTarget(smt::Machine& machine, const GoToMoveRequest& request);

}  // namespace smt::app

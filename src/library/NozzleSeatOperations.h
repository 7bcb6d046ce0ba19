#pragma once
// The seat menu of the nozzle library: moves of the Mark camera or a head to
// a seat or its entrance, lowering a head to the take height, taking and
// returning a nozzle. The window thread checks the machine, claims the busy
// state and hands a copy of the row (its record as read) to one worker; the worker always
// releases the busy state and gives the dialog back.
#include <functional>

#include "library/NozzleLibrary.h"

namespace smt::library {

enum class NozzleOp { CameraToSeat = 0, HeadToSeat = 1, HeadToEntrance = 2, LowerToSeat = 3, Take = 4, Return = 5 };

struct NozzleOpRequest {
  int op = -1;            // m_nNozzleOp, 0..5 (others do nothing)
  int selectedRow = -1;   // m_nSelectedRow
  int selectedHead = 0;   // m_nSelectedHead, 0 = A1
  NozzleListRow row;      // the list row as read, when the menu was used
};

// A row whose numbers did not read moves nothing: the seat operations
// refuse it, naming the row's problem in the log, and return false.
// MoveToSeat: mode 0 camera to seat, 1 head to seat, 2 head to entrance.
// `switchToMarkCamera` is called first for mode 0 when a vision camera is shown.
bool MoveToSeat(smt::Machine& machine, int mode, int selectedHead, const NozzleListRow& row,
                const std::function<void()>& switchToMarkCamera);
// The head's step count down to the entrance height of the row (operation 3).
bool LowerToSeatHeight(smt::Machine& machine, int selectedHead, const NozzleListRow& row, bool nineteenSeat, int delayMs);

// What the worker reports to the window (all optional).
struct NozzleOpCallbacks {
  std::function<void(bool enable)> enableDialog;   // posted to the window thread
  std::function<void()> switchToMarkCamera;        // camera panel
};

// The body of the worker (runs on the caller's thread).
void RunNozzleOperation(smt::Machine& machine, const NozzleOpRequest& request, const NozzleOpCallbacks& callbacks);

// Checks connected, homed, not running (each a message), claims the busy
// state and starts the worker. False when nothing was started.
bool StartNozzleOperation(smt::Machine& machine, const NozzleOpRequest& request, NozzleOpCallbacks callbacks);

// The magazine switch: the same checks, then output 7 (1 open, 0 closed).
bool SwitchMagazine(smt::Machine& machine, bool open);

}  // namespace smt::library

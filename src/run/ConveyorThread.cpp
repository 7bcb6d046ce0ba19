// The conveyor thread of a run with automatic board transport: one board
// ahead of the run thread through the conveyor zones.
#include "core/LogFile.h"
#include "run/RunDispatch.h"
#include "run/RunState.h"

namespace smt::run {

namespace {

bool Zone(int code) {
  if (!smt::CurrentMachine().run.conveyorRun) return false;
  auto& s = Services();
  if (!s.runZones || !s.runZones(code)) {
    smt::CurrentMachine().run.conveyorRun = false;
    return false;
  }
  return smt::CurrentMachine().run.conveyorRun;
}

bool BoardDone() {
  const auto r = WaitRunEvent(smt::CurrentMachine().run.boardDoneEvent, Timeouts().board, smt::CurrentMachine().run.conveyorRun);
  if (r == WaitResult::TimedOut) CLogFile::Instance().Write(true, "conveyor thread: board wait time out");
  return r == WaitResult::Signalled;
}

void Run() {
  auto& s = Services();
  int count = s.boardCount ? s.boardCount() : 1;
  bool first = true;
  if (!Zone(1)) return;
  if (count <= 0) {
    Zone(4);
    return;
  }
  const RunSelectors sel = Selectors();
  for (;;) {
    --count;
    if (!Zone(2)) return;
    smt::CurrentMachine().run.boardReadyEvent.Set();
    if (sel.Any()) {
      if (!BoardDone()) return;
      if (Zone(3)) Zone(4);
      return;
    }
    if (count <= 0) {
      if (!BoardDone()) return;
      if (!first && !Zone(4)) return;
      if (Zone(3)) Zone(4);
      return;
    }
    if (!Zone(1)) return;
    if (!first && !Zone(4)) return;
    if (!BoardDone()) return;
    if (!Zone(3)) return;
    first = false;
  }
}

}  // namespace

void ConveyorThreadProc() {
  ConveyorBusy() = 1;
  Run();
  // A run thread waiting for a board wakes too.
  if (!smt::CurrentMachine().run.conveyorRun) smt::CurrentMachine().run.boardReadyEvent.Set();
  ConveyorBusy() = 0;
}

}  // namespace smt::run

// The conveyor thread of a run with automatic board transport: one board
// ahead of the run thread through the conveyor zones.
#include "core/LogFile.h"
#include "run/RunFinish.h"
#include "run/RunServices.h"
#include "run/RunThreadProcs.h"
#include "run/RunState.h"

namespace smt::run {

namespace {

bool Zone(smt::Machine& m, int code) {
  if (!m.run.conveyorRun) return false;
  auto& s = Services(m);
  if (!s.runZones || !s.runZones(code)) {
    m.run.conveyorRun = false;
    return false;
  }
  return m.run.conveyorRun;
}

bool BoardDone(smt::Machine& m) {
  const auto r = WaitRunEvent(m, m.run.boardDoneEvent, Timeouts(m).board, m.run.conveyorRun);
  if (r == WaitResult::TimedOut) CLogFile::Instance().Write(true, "conveyor thread: board wait time out");
  return r == WaitResult::Signalled;
}

void Run(smt::Machine& m) {
  auto& s = Services(m);
  int count = s.boardCount ? s.boardCount() : 1;
  bool first = true;
  if (!Zone(m, 1)) return;
  if (count <= 0) {
    Zone(m, 4);
    return;
  }
  const RunSelectors sel = Selectors(m);
  for (;;) {
    --count;
    if (!Zone(m, 2)) return;
    m.run.boardReadyEvent.Set();
    if (sel.Any()) {
      if (!BoardDone(m)) return;
      if (Zone(m, 3)) Zone(m, 4);
      return;
    }
    if (count <= 0) {
      if (!BoardDone(m)) return;
      if (!first && !Zone(m, 4)) return;
      if (Zone(m, 3)) Zone(m, 4);
      return;
    }
    if (!Zone(m, 1)) return;
    if (!first && !Zone(m, 4)) return;
    if (!BoardDone(m)) return;
    if (!Zone(m, 3)) return;
    first = false;
  }
}

}  // namespace

void ConveyorThreadProc(smt::Machine& m) {
  ConveyorBusy(m) = 1;
  Run(m);
  // A run thread waiting for a board wakes too.
  if (!m.run.conveyorRun) m.run.boardReadyEvent.Set();
  ConveyorBusy(m) = 0;
}

}  // namespace smt::run

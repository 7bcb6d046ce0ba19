#include "run/RunFinish.h"

#include <chrono>
#include <thread>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "core/MachineState.h"
#include "platform/WorkerThreads.h"
#include "run/MachineSteps.h"
#include "run/RunDisplay.h"
#include "run/RunServices.h"
#include "run/RunState.h"

namespace smt::run {

void FinishRun(smt::Machine& m, bool finished) {
  // Everything that belongs to this run is put down before the end step
  // releases the machine, so a run started right after cannot have its
  // flags cleared by this one.
  m.runContinue = false;
  m.run.feedRun = false;
  m.run.feedRequestEvent.Set();
  for (int k = 1; k <= 4; ++k) HeadPickedEvent(m, k).Set();
  if (!finished) {
    m.run.conveyorRun = false;
    m.run.boardDoneEvent.Set();
  }
  // At the end of a finished run the feeder thread only has the automatic
  // feeder of the last pick to release: the end step comes after that
  // release, not beside it. Bounded: a feeder thread stuck in a link wait
  // does not hold the end of the run. (After a stop, a Start waits for the
  // stopped run's threads instead.) The release is one short command, so the
  // wait looks often: a coarse step was a fixed 2 ms added to every run.
  if (finished) {
    const auto feederDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (FeedBusy(m) != 0 && std::chrono::steady_clock::now() < feederDeadline &&
           !smt::platform::WorkerThreads::Instance().ShuttingDown())
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (FeedBusy(m) != 0) CLogFile::Instance().Write(true, "run end: feeder thread still busy after 5 s");
  }
  // A run that ended early leaves no part on a nozzle: carried to the throw
  // position and let go there (or held until the operator takes it off).
  if (!finished) ThrowHeldPartsAfterStop(m);
  auto& s = Services(m);
  if (auto d = Display(m)) d->EnableRunWindows(true);
  if (s.onRunEnd) s.onRunEnd(finished);
  else m.ReleaseBusy();
  // The run thread counts as busy until its end step is done: a Start that
  // waits for a stopped run's threads must not begin while that step still
  // switches outputs off and stops the clock.
  SmtBusy(m) = 0;
}

}  // namespace smt::run

#include "run/RunDispatch.h"

#include "run/MachineSteps.h"
#include "link/ReplyEvent.h"

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/MachineCommands.h"
#include "platform/Hooks.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "run/TheMachine.h"

namespace smt::run {

namespace {
// The thread procedure of each run thread (a test may put its own in place),
// and the mutex that guards the table: the machine's, one dispatch at a time.
struct RunThreadProcs {
  std::mutex mutex;
  std::map<RunThread, RunThreadProc> procs{{RunThread::Smt, SmtRunThreadProc},
                                           {RunThread::Feeder, FeederThreadProc},
                                           {RunThread::Conveyor, ConveyorThreadProc},
                                           {RunThread::StepRun, StepRunThreadProc},
                                           {RunThread::EightHead, EightHeadRunThreadProc},
                                           {RunThread::Drill, DrillRunThreadProc},
                                           {RunThread::PlatformDispense, PlatformDispenseThreadProc},
                                           {RunThread::PlatformPlace, PlatformPlaceThreadProc},
                                           {RunThread::Label, LabelRunThreadProc}};
};
RunThreadProcs& ThreadProcs() { return smt::CurrentMachine().Part<RunThreadProcs>(); }
std::map<RunThread, RunThreadProc>& Procs() { return ThreadProcs().procs; }
std::atomic<uint8_t>* BusyByteOf(RunThread t) {
  switch (t) {
    case RunThread::Feeder: return &FeedBusy();
    case RunThread::Conveyor: return &ConveyorBusy();
    case RunThread::Smt: case RunThread::EightHead: case RunThread::Label: case RunThread::Drill: return &SmtBusy();
    default: return nullptr;
  }
}
void ResetHeadEvents() {
  smt::CurrentMachine().run.feedRequestEvent.Reset();
  for (int k = 1; k <= 4; ++k) {
    HeadFeedReadyEvent(k).Reset();
    HeadPickedEvent(k).Reset();
  }
}
}  // namespace

const char* RunThreadName(RunThread t) {
  switch (t) {
    case RunThread::Drill: return "DrillRun";
    case RunThread::Conveyor: return "ConveyorRun";
    case RunThread::EightHead: return "EightHeadRun";
    case RunThread::Label: return "LabelRun";
    case RunThread::Smt: return "SmtRun";
    case RunThread::Feeder: return "FeederRun";
    case RunThread::StepRun: return "StepRun";
    case RunThread::PlatformDispense: return "PlatformDispenseRun";
    case RunThread::PlatformPlace: return "PlatformPlaceRun";
  }
  return "Run";
}

std::vector<RunThread> PlanRun(int mode, int type, const RunSelectors& sel, bool autoTransport) {
  using T = RunThread;
  if (type == 9) return {T::Drill};
  std::vector<T> plan;
  if (autoTransport) plan.push_back(T::Conveyor);
  const bool eight = type == 7 || type == 8;
  if (mode == 0) {
    if (eight) plan.push_back(T::EightHead);
    else if (type == 10) plan.push_back(T::Label);
    else plan.insert(plan.end(), {T::Smt, T::Feeder});
  } else if (mode == 1 || mode == 2) {
    if (!sel.Placement()) plan.push_back(T::StepRun);
    else if (eight) plan.push_back(T::EightHead);
    else plan.insert(plan.end(), {T::Smt, T::Feeder});
  } else if (mode == 9 || mode == 10) {
    plan.push_back(T::PlatformDispense);
  } else if (mode == 11 || mode == 12) {
    plan.insert(plan.end(), {T::PlatformDispense, T::PlatformPlace, T::Feeder});
  } else {
    plan.push_back(T::StepRun);
  }
  return plan;
}

void SetRunThreadProc(RunThread t, RunThreadProc proc) {
  std::lock_guard lk(ThreadProcs().mutex);
  Procs()[t] = std::move(proc);
}

bool StartRun(int runMode) {
  // A run that needs a hook nobody connected does not start; the message names it.
  if (!smt::platform::RequireHooks("Start", smt::CurrentMachine().machineType)) return false;
  // A stored run mode or head mode the machine type does not have never
  // runs (only the strategy page corrects them when it is opened).
  if (const std::string refused = MachineTypeRefusal(runMode, Strategy().m_HeaderSelect, smt::CurrentMachine().machineType);
      !refused.empty()) {
    CLogFile::Instance().Write(true, "run refused: %s", refused.c_str());
    smt::platform::ShowMessage(refused);
    return false;
  }
  auto& s = Services();
  const RunSelectors sel = Selectors();
  const bool transport = s.autoTransport && s.autoTransport();
  const auto plan = PlanRun(runMode, smt::CurrentMachine().machineType, sel, transport);
  std::vector<std::pair<RunThread, RunThreadProc>> procs;
  {
    std::lock_guard lk(ThreadProcs().mutex);
    for (RunThread t : plan) {
      auto it = Procs().find(t);
      if (it == Procs().end() || !it->second) {
        CLogFile::Instance().Write(true, "run thread %s not available", RunThreadName(t));
        smt::platform::ShowMessage(RunText("PartList.c_Message_09", kRunNotAvailable));
        return false;
      }
      procs.emplace_back(t, it->second);
    }
  }
  TheMachine().AnnounceRunStart();
  if (transport) {
    smt::CurrentMachine().run.boardReadyEvent.Reset();
    smt::CurrentMachine().run.boardDoneEvent.Reset();
  }
  for (auto& [t, proc] : procs) {
    if (t == RunThread::Smt || t == RunThread::PlatformPlace) ResetHeadEvents();
    // The thread's busy byte is claimed before the thread exists, so Start
    // can never see a run whose threads read as idle.
    std::atomic<uint8_t>* busy = BusyByteOf(t);
    if (busy) *busy = 1;
    CLogFile::Instance().Write(true, "run thread %s start", RunThreadName(t));
    // A hook found missing during the run ends it like a stop, releasing the machine.
    auto body = [proc, t](std::stop_token) {
      // A Stop ends the run thread's reply waits (the feeder and conveyor
      // threads finish theirs; a later Start waits for them).
      smt::link::t_replyWaitsEndOnStop = t != RunThread::Feeder && t != RunThread::Conveyor;
      try {
        proc();
      } catch (const smt::platform::UnwiredHook& e) {
        CLogFile::Instance().Write(true, "run thread %s ended: hook not connected: %s", RunThreadName(t), e.hook().c_str());
        smt::CurrentMachine().runContinue = false;
        smt::CurrentMachine().run.feedRun = false;
        smt::CurrentMachine().run.conveyorRun = false;
        smt::CurrentMachine().run.pauseEvent.Set();
        if (t != RunThread::Feeder && t != RunThread::Conveyor) FinishRun(false);
        else if (auto* b = BusyByteOf(t)) *b = 0;
        throw;
      }
    };
    if (!smt::platform::WorkerThreads::Instance().Start(RunThreadName(t), body)) {
      if (busy) *busy = 0;
      // Shut-down under way: whatever started sees the cleared flags and leaves.
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.feedRun = false;
      smt::CurrentMachine().run.conveyorRun = false;
      smt::CurrentMachine().run.pauseEvent.Set();
      return false;
    }
  }
  return true;
}

void FinishRun(bool finished) {
  // Everything that belongs to this run is put down before the end step
  // releases the machine, so a run started right after cannot have its
  // flags cleared by this one.
  smt::CurrentMachine().runContinue = false;
  smt::CurrentMachine().run.feedRun = false;
  smt::CurrentMachine().run.feedRequestEvent.Set();
  for (int k = 1; k <= 4; ++k) HeadPickedEvent(k).Set();
  if (!finished) {
    smt::CurrentMachine().run.conveyorRun = false;
    smt::CurrentMachine().run.boardDoneEvent.Set();
  }
  // At the end of a finished run the feeder thread only has the automatic
  // feeder of the last pick to release: the end step comes after that
  // release, not beside it. Bounded: a feeder thread stuck in a link wait
  // does not hold the end of the run. (After a stop, a Start waits for the
  // stopped run's threads instead.) The release is one short command, so the
  // wait looks often: a coarse step was a fixed 2 ms added to every run.
  if (finished) {
    const auto feederDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (FeedBusy() != 0 && std::chrono::steady_clock::now() < feederDeadline &&
           !smt::platform::WorkerThreads::Instance().ShuttingDown())
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (FeedBusy() != 0) CLogFile::Instance().Write(true, "run end: feeder thread still busy after 5 s");
  }
  // A run that ended early leaves no part on a nozzle: carried to the throw
  // position and let go there (or held until the operator takes it off).
  if (!finished) ThrowHeldPartsAfterStop();
  auto& s = Services();
  if (auto d = Display()) d->EnableRunWindows(true);
  if (s.onRunEnd) s.onRunEnd(finished);
  else smt::ReleaseMachineBusy();
  // The run thread counts as busy until its end step is done: a Start that
  // waits for a stopped run's threads must not begin while that step still
  // switches outputs off and stops the clock.
  SmtBusy() = 0;
}

}  // namespace smt::run

#include "run/RunDispatch.h"

#include "run/MachineSteps.h"
#include "run/PickPlacePreparation.h"
#include "link/ReplyEvent.h"

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "core/ThreadMachine.h"
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
RunThreadProcs& ThreadProcs(smt::Machine& m) { return m.Part<RunThreadProcs>(); }
std::atomic<uint8_t>* BusyByteOf(smt::Machine& m, RunThread t) {
  switch (t) {
    case RunThread::Feeder: return &FeedBusy(m);
    case RunThread::Conveyor: return &ConveyorBusy(m);
    case RunThread::Smt: case RunThread::EightHead: case RunThread::Label: case RunThread::Drill: return &SmtBusy(m);
    default: return nullptr;
  }
}
void ResetHeadEvents(smt::Machine& m) {
  m.run.feedRequestEvent.Reset();
  for (int k = 1; k <= 4; ++k) {
    HeadFeedReadyEvent(m, k).Reset();
    HeadPickedEvent(m, k).Reset();
  }
}
// Stops what started of a run that could not start whole.
void ClearRunFlags(smt::Machine& m) {
  m.runContinue = false;
  m.run.feedRun = false;
  m.run.conveyorRun = false;
  m.run.pauseEvent.Set();
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

void SetRunThreadProc(smt::Machine& m, RunThread t, RunThreadProc proc) {
  auto& table = ThreadProcs(m);
  std::lock_guard lk(table.mutex);
  table.procs[t] = std::move(proc);
}

bool StartRun(smt::Machine& m, int runMode) {
  // A run that needs a hook nobody connected does not start; the message names it.
  if (!smt::platform::RequireHooks("Start", m.machineType)) return false;
  // A stored run mode or head mode the machine type does not have never
  // runs (only the strategy page corrects them when it is opened).
  if (const std::string refused = MachineTypeRefusal(runMode, Strategy(m).m_HeaderSelect, m.machineType);
      !refused.empty()) {
    CLogFile::Instance().Write(true, "run refused: %s", refused.c_str());
    smt::platform::ShowMessage(refused);
    return false;
  }
  auto& s = Services(m);
  const RunSelectors sel = Selectors(m);
  const bool transport = s.autoTransport && s.autoTransport();
  const auto plan = PlanRun(runMode, m.machineType, sel, transport);
  std::vector<std::pair<RunThread, RunThreadProc>> procs;
  {
    auto& table = ThreadProcs(m);
    std::lock_guard lk(table.mutex);
    for (RunThread t : plan) {
      auto it = table.procs.find(t);
      if (it == table.procs.end() || !it->second) {
        CLogFile::Instance().Write(true, "run thread %s not available", RunThreadName(t));
        smt::platform::ShowMessage(RunText(m, "PartList.c_Message_09", kRunNotAvailable));
        return false;
      }
      procs.emplace_back(t, it->second);
    }
  }
  {
    // The run's start goes to the run's own machine.
    smt::ThreadMachineScope bound(m);
    TheMachine(m).AnnounceRunStart();
  }
  ForgetTakenBoard(m);
  if (transport) {
    m.run.boardReadyEvent.Reset();
    m.run.boardDoneEvent.Reset();
  }
  for (auto& [t, proc] : procs) {
    if (t == RunThread::Smt || t == RunThread::PlatformPlace) ResetHeadEvents(m);
    // The thread's busy byte is claimed before the thread exists, so Start
    // can never see a run whose threads read as idle.
    std::atomic<uint8_t>* busy = BusyByteOf(m, t);
    if (busy) *busy = 1;
    CLogFile::Instance().Write(true, "run thread %s start", RunThreadName(t));
    // A hook found missing during the run ends it like a stop, releasing the machine.
    auto body = [proc, t, &m](std::stop_token) {
      // The thread works for the run's machine to its end: what it reaches
      // without being handed the machine finds this one too.
      smt::ThreadMachineScope bound(m);
      // A Stop ends the run thread's reply waits (the feeder and conveyor
      // threads finish theirs; a later Start waits for them).
      smt::link::t_replyWaitsEndOnStop = t != RunThread::Feeder && t != RunThread::Conveyor;
      smt::link::t_onRunThread = true;
      try {
        proc(m);
      } catch (const smt::platform::UnwiredHook& e) {
        CLogFile::Instance().Write(true, "run thread %s ended: hook not connected: %s", RunThreadName(t), e.hook().c_str());
        ClearRunFlags(m);
        if (t != RunThread::Feeder && t != RunThread::Conveyor) FinishRun(m, false);
        else if (auto* b = BusyByteOf(m, t)) *b = 0;
        throw;
      }
    };
    if (!smt::platform::WorkerThreads::Instance().Start(RunThreadName(t), body)) {
      if (busy) *busy = 0;
      // Shut-down under way: whatever started sees the cleared flags and leaves.
      ClearRunFlags(m);
      return false;
    }
  }
  return true;
}

}  // namespace smt::run

#pragma once
// Starting a run: which threads a run mode starts on a machine type, and
// the thread procedures the dispatcher starts.
#include <functional>
#include <string>
#include <vector>

#include "run/RunFinish.h"
#include "run/RunServices.h"
#include "run/RunThreadProcs.h"

namespace smt::run {

enum class RunThread { Drill, Conveyor, EightHead, Label, Smt, Feeder, StepRun, PlatformDispense, PlatformPlace };

// The threads of a run, in start order.
std::vector<RunThread> PlanRun(int runMode, int machineType, const RunSelectors& sel, bool autoTransport);
const char* RunThreadName(RunThread t);

// The thread procedures (the placement, feeder and conveyor threads are
// built in; the others are installed by their owners). A missing one makes
// the start fail. Each is given the machine its run was started for.
using RunThreadProc = std::function<void(smt::Machine&)>;
void SetRunThreadProc(smt::Machine& machine, RunThread t, RunThreadProc proc);

// The part list's "no such function" text (PartList.c_Message_09) is shown
// when a run mode has no thread on this machine; this is its built-in text.
inline constexpr const char* kRunNotAvailable = "暂无此功能 !";

// Sends the run state to `machine` and starts the threads of the plan on it.
// The threads keep that machine to their end, whatever machine is in use
// meanwhile. False (nothing started) when a thread of the plan is not
// available or cannot start.
bool StartRun(smt::Machine& machine, int runMode);

}  // namespace smt::run

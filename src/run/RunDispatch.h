#pragma once
// Starting a run: which threads a run mode starts on a machine type, and
// the thread procedures the dispatcher starts.
#include <functional>
#include <string>
#include <vector>

#include "run/RunServices.h"

namespace smt::run {

enum class RunThread { Drill, Conveyor, EightHead, Label, Smt, Feeder, StepRun, PlatformDispense, PlatformPlace };

// The threads of a run, in start order.
std::vector<RunThread> PlanRun(int runMode, int machineType, const RunSelectors& sel, bool autoTransport);
const char* RunThreadName(RunThread t);

// The thread procedures (the placement, feeder and conveyor threads are
// built in; the others are installed by their owners). A missing one makes
// the start fail.
using RunThreadProc = std::function<void()>;
void SetRunThreadProc(RunThread t, RunThreadProc proc);

// The part list's "no such function" text (PartList.c_Message_09) is shown
// when a run mode has no thread on this machine; this is its built-in text.
inline constexpr const char* kRunNotAvailable = "暂无此功能 !";

// Sends the run state and starts the threads of the plan. False (nothing
// started) when a thread of the plan is not available or cannot start.
bool StartRun(int runMode);

// Thread procedures.
void SmtRunThreadProc();
void FeederThreadProc();
void ConveyorThreadProc();
void StepRunThreadProc();
void EightHeadRunThreadProc();
void DrillRunThreadProc();
void LabelRunThreadProc();
// The lamp machine: dispensing the LED points, then placing on them.
void PlatformDispenseThreadProc();
void PlatformPlaceThreadProc();

// Ends a run from a run thread: releases the partner threads and calls the
// part list's end-of-run step.
void FinishRun(bool finished);

}  // namespace smt::run

#pragma once
// The run's thread procedures, each on the machine of its run. The
// dispatcher (RunDispatch.h) starts them; they end their run through
// RunFinish.h, so that a run thread never calls back into the dispatcher.
namespace smt {
class Machine;
}

namespace smt::run {

// Thread procedures, each on the machine of its run.
void SmtRunThreadProc(smt::Machine& machine);
void FeederThreadProc(smt::Machine& machine);
void ConveyorThreadProc(smt::Machine& machine);
void StepRunThreadProc(smt::Machine& machine);
void EightHeadRunThreadProc(smt::Machine& machine);
void DrillRunThreadProc(smt::Machine& machine);
void LabelRunThreadProc(smt::Machine& machine);
// The lamp machine: dispensing the LED points, then placing on them.
void PlatformDispenseThreadProc(smt::Machine& machine);
void PlatformPlaceThreadProc(smt::Machine& machine);

}  // namespace smt::run

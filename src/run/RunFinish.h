#pragma once
// The end of a run, called by the run threads.
namespace smt {
class Machine;
}

namespace smt::run {

// Ends a run of `machine` from a run thread: releases the partner threads
// and calls the part list's end-of-run step.
void FinishRun(smt::Machine& machine, bool finished);

}  // namespace smt::run

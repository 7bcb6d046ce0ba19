#pragma once
// The machine's state flags and positions live in the machine object
// (core/Machine.h); these are the busy claim's helpers every operation uses.
#include "core/Machine.h"

namespace smt {

// Claims the busy state of `machine` for an operation about to start a
// worker. Returns false when the machine is already busy; the claim is
// atomic, so two buttons pressed at once never both start.
inline bool TryClaimMachineBusy(Machine& machine) { return machine.TryClaimBusy(); }
inline void ReleaseMachineBusy(Machine& machine) { machine.ReleaseBusy(); }

// Releases the busy state of the machine the claim was made on when it goes
// out of scope (every path of a worker).
class BusyRelease {
 public:
  explicit BusyRelease(Machine& machine) : machine_(machine) {}
  ~BusyRelease() { machine_.ReleaseBusy(); }
  BusyRelease(const BusyRelease&) = delete;
  BusyRelease& operator=(const BusyRelease&) = delete;

 private:
  Machine& machine_;
};

}  // namespace smt

#pragma once
// The machine's state flags and positions live in the machine object
// (core/Machine.h); these are the busy claim's helpers every operation uses.
#include "core/Machine.h"

namespace smt {

// Claims the busy state of the current machine for an operation about to
// start a worker. Returns false when the machine is already busy; the claim
// is atomic, so two buttons pressed at once never both start.
inline bool TryClaimMachineBusy() { return CurrentMachine().TryClaimBusy(); }
inline void ReleaseMachineBusy() { CurrentMachine().ReleaseBusy(); }

// Releases the busy state when it goes out of scope (every path of a worker).
// Releases the machine that was current when the claim was made.
class BusyRelease {
 public:
  BusyRelease() : machine_(CurrentMachine()) {}
  explicit BusyRelease(Machine& machine) : machine_(machine) {}
  ~BusyRelease() { machine_.ReleaseBusy(); }
  BusyRelease(const BusyRelease&) = delete;
  BusyRelease& operator=(const BusyRelease&) = delete;

 private:
  Machine& machine_;
};

}  // namespace smt

#include "core/Machine.h"
#include "core/ThreadMachine.h"

namespace smt {

namespace {

// The machine code reaches when nothing made one current: the program's
// machine (main() makes it first), and the one of tools and benchmarks that
// drive a piece of the logic alone.
Machine& ProcessMachine() {
  static Machine machine;
  return machine;
}

std::atomic<Machine*> current{nullptr};
// The machine the calling thread works for, when it was bound to one.
thread_local Machine* boundToThread = nullptr;

}  // namespace

Machine& CurrentMachine() {
  if (boundToThread) return *boundToThread;
  Machine* m = current.load(std::memory_order_acquire);
  return m ? *m : ProcessMachine();
}

MachineScope::MachineScope(Machine& machine) : previous_(current.exchange(&machine, std::memory_order_acq_rel)) {}

MachineScope::~MachineScope() { current.store(previous_, std::memory_order_release); }

ThreadMachineScope::ThreadMachineScope(Machine& machine) : previous_(boundToThread) { boundToThread = &machine; }

ThreadMachineScope::~ThreadMachineScope() { boundToThread = previous_; }

}  // namespace smt

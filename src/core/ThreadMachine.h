#pragma once
// A machine bound to one thread: a worker started for a machine binds it,
// so that code it calls which still reaches the machine in use finds the
// worker's machine, not the one in use elsewhere.
namespace smt {

class Machine;

// Binds `machine` to the calling thread for the life of the scope: on this
// thread the machine in use is `machine`, whatever machine is in use (a
// MachineScope elsewhere does not change it). Scopes nest; the binding
// before is back afterwards.
class ThreadMachineScope {
 public:
  explicit ThreadMachineScope(Machine& machine);
  ~ThreadMachineScope();
  ThreadMachineScope(const ThreadMachineScope&) = delete;
  ThreadMachineScope& operator=(const ThreadMachineScope&) = delete;

 private:
  Machine* previous_;
};

}  // namespace smt

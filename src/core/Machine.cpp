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

Machine::~Machine() {
  // Stop first: every part is still there while the threads are stopped and
  // joined. An action that registers another one (by making a part) has it
  // run next.
  for (;;) {
    std::function<void()> stop;
    {
      std::lock_guard lk(partsMutex_);
      if (stopActions_.empty()) break;
      stop = std::move(stopActions_.back());
      stopActions_.pop_back();
    }
    if (stop) stop();
  }
  // Then free the parts, newest first, each outside the lock so that a
  // part's destructor may still reach the parts made before it.
  for (;;) {
    std::shared_ptr<void> last;
    {
      std::lock_guard lk(partsMutex_);
      if (parts_.empty()) break;
      last = std::move(parts_.back().second);
      parts_.pop_back();
    }
    last.reset();
  }
}

void Machine::AddStopAction(std::function<void()> stop) {
  std::lock_guard lk(partsMutex_);
  stopActions_.push_back(std::move(stop));
}

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

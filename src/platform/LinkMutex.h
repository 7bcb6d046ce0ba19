#pragma once
// The machine link's mutex: one command at a time, and a thread that holds
// it around a sequence may take it again for each command of the sequence.
#include <chrono>
#include <mutex>

namespace smt::platform {

class LinkMutex {
 public:
  void lock() { m_.lock(); }
  void unlock() { m_.unlock(); }
  bool try_lock() { return m_.try_lock(); }
  // False when the mutex could not be taken within `timeout`.
  bool TryLockFor(std::chrono::milliseconds timeout) { return m_.try_lock_for(timeout); }

 private:
  std::recursive_timed_mutex m_;
};

}  // namespace smt::platform

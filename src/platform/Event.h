#pragma once
// Win32-style events: auto-reset (one waiter is released and the event
// clears) or manual-reset (stays set until Reset). Every wait has a time-out.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace smt::platform {

class Event {
 public:
  explicit Event(bool manualReset = false, bool initiallySet = false)
      : manual_(manualReset), set_(initiallySet) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was set within `timeout` (an auto-reset event is
  // cleared by the wait that takes it); false on time-out.
  bool Wait(std::chrono::milliseconds timeout);
  bool IsSet() const;
  // Takes the event when it is set (clearing an auto-reset one), without
  // waiting. Cheap when it is not set: no lock is taken.
  bool TryWait();

 private:
  const bool manual_;
  std::atomic<bool> set_;  // changed under m_; read without it by TryWait
  mutable std::mutex m_;
  std::condition_variable cv_;
};

}  // namespace smt::platform

#pragma once
// The reply event of one command family: an auto-reset event that also
// carries how the reply ended (done, or failed: an error status, a home that
// failed, a head mask that does not match, an error report of the board) and
// the time-out after which the sender gives up waiting.
#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/Event.h"

namespace smt::link {

enum class ReplyWait { Done, Failed, TimedOut };

class ReplyEvent {
 public:
  ReplyEvent(const char* name, std::chrono::milliseconds timeout) : name_(name), timeout_(timeout.count()) {}

  void Reset() {
    event_.Reset();
    failed_ = false;
    status_ = 0;
  }
  void Signal(uint8_t status = 0) {
    status_ = status;
    failed_ = false;
    event_.Set();
  }
  void SignalFailure(uint8_t status) {
    status_ = status;
    failed_ = true;
    event_.Set();
  }
  ReplyWait Wait(std::chrono::milliseconds timeout) {
    if (!event_.Wait(timeout)) return ReplyWait::TimedOut;
    return failed_ ? ReplyWait::Failed : ReplyWait::Done;
  }
  ReplyWait Wait() { return Wait(timeout()); }
  bool IsSet() const { return event_.IsSet(); }

  // The status byte of the last reply.
  uint8_t status() const { return status_; }
  const char* name() const { return name_; }
  std::chrono::milliseconds timeout() const { return std::chrono::milliseconds(timeout_.load()); }
  void SetTimeout(std::chrono::milliseconds t) { timeout_ = t.count(); }
  smt::platform::Event& event() { return event_; }

 private:
  const char* name_;
  std::atomic<long long> timeout_;
  smt::platform::Event event_{false, false};
  std::atomic<bool> failed_{false};
  std::atomic<uint8_t> status_{0};
};

}  // namespace smt::link

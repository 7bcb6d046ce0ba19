#pragma once
// The reply event of one command family: an auto-reset event that also
// carries how the reply ended (done, or failed: an error status, a home that
// failed, a head mask that does not match, an error report of the board) and
// the time-out after which the sender gives up waiting.
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
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
  // A reply (or error report) of the family. While a timed-out command's
  // reply is still owed, the first one within the guard time is taken as
  // that late reply and thrown away: it never completes a newer command.
  void Signal(uint8_t status = 0) {
    if (TakeLateReply()) return;
    status_ = status;
    failed_ = false;
    event_.Set();
  }
  void SignalFailure(uint8_t status) {
    if (TakeLateReply()) return;
    status_ = status;
    failed_ = true;
    event_.Set();
  }

  // The sender gave up waiting: the reply may still come within `guard`.
  void MarkTimedOut(std::chrono::milliseconds guard) {
    std::lock_guard lk(lateMutex_);
    owed_ = true;
    guardEnd_ = std::chrono::steady_clock::now() + guard;
  }
  // Before a new command of the family: while a late reply is owed and the
  // guard runs, wait for it (bounded by the guard). Returns at once otherwise.
  void SettleBeforeSend() {
    for (;;) {
      {
        std::lock_guard lk(lateMutex_);
        if (!owed_) return;
        if (std::chrono::steady_clock::now() >= guardEnd_) {
          owed_ = false;  // never came: taken as lost
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // A clean new start (a reconnect): nothing is owed any more.
  void ForgetLateReply() {
    std::lock_guard lk(lateMutex_);
    owed_ = false;
  }
  bool LateReplyOwed() const {
    std::lock_guard lk(lateMutex_);
    return owed_ && std::chrono::steady_clock::now() < guardEnd_;
  }
  uint64_t LateRepliesDiscarded() const { return discarded_.load(); }
  // How long after a time-out a reply still counts as the late one.
  std::chrono::milliseconds LateGuard() const {
    return std::clamp(timeout(), std::chrono::milliseconds(1000), std::chrono::milliseconds(10000));
  }
  ReplyWait Wait(std::chrono::milliseconds timeout) {
    const auto start = std::chrono::steady_clock::now();
    // A family that answers within microseconds is watched for a moment
    // before the thread sleeps: the reply is then taken without a wake-up.
    bool taken = SpinFor(start, std::min<std::chrono::nanoseconds>(SpinBudget(), timeout));
    if (!taken) taken = event_.Wait(timeout);
    if (!taken) return ReplyWait::TimedOut;
    NoteReplyTime(std::chrono::steady_clock::now() - start);
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

  bool TakeLateReply() {
    std::lock_guard lk(lateMutex_);
    if (!owed_) return false;
    owed_ = false;
    if (std::chrono::steady_clock::now() >= guardEnd_) return false;
    ++discarded_;
    return true;
  }
  // Watching pays only when the reply comes within a short time; families
  // whose replies take longer than the limit are slept for at once. The
  // watching thread yields between looks, so the threads that answer and
  // hand the reply over run first even when they share its CPU.
  static constexpr std::chrono::nanoseconds kSpinLimit{200'000};
  std::chrono::nanoseconds SpinBudget() const {
    const long long typical = typicalReplyNs_.load(std::memory_order_relaxed);
    if (typical >= kSpinLimit.count()) return {};
    return std::min(kSpinLimit, std::chrono::nanoseconds(2 * typical + 20'000));
  }
  bool SpinFor(std::chrono::steady_clock::time_point start, std::chrono::nanoseconds budget) {
    if (budget.count() <= 0) return false;
    const auto end = start + budget;
    for (unsigned i = 0;; ++i) {
      if (event_.TryWait()) return true;
      if ((i & 7) == 7 && std::chrono::steady_clock::now() >= end) return false;
      // Yielding rather than pausing: a thread that shares this CPU (the
      // one that hands the reply over) runs at once.
      sched_yield();
    }
  }
  // A running average of how long the family's replies take.
  void NoteReplyTime(std::chrono::steady_clock::duration d) {
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    const long long old = typicalReplyNs_.load(std::memory_order_relaxed);
    typicalReplyNs_.store(old + (ns - old) / 8, std::memory_order_relaxed);
  }
  std::atomic<long long> typicalReplyNs_{50'000};

  mutable std::mutex lateMutex_;
  bool owed_ = false;
  std::chrono::steady_clock::time_point guardEnd_{};
  std::atomic<uint64_t> discarded_{0};
};

}  // namespace smt::link

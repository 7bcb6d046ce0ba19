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

#include "core/MachineState.h"
#include "platform/Event.h"
#include "platform/WorkerThreads.h"

namespace smt::link {

// Abandoned: the program shuts down, or the run that sent the command was
// stopped and the reply did not come within the stop's grace (a move's
// grace for a move). LinkLost: the
// link went down while the command waited.
enum class ReplyWait { Done, Failed, TimedOut, Abandoned, LinkLost };

// What a reply wait watches besides its reply, its time-out and the
// shut-down. A connect's probe (the serial hello) is sent while the link
// still counts as lost, so the lost link must not end its wait. A move (or a
// homing) is ended by a Stop only after the move's grace.
enum class WaitWatch { LinkAndStop, MoveAndStop, ConnectProbe };

// How long a stopped run's command may still take its reply before the wait
// is given up.
inline constexpr std::chrono::milliseconds kStopReplyGrace{400};
// The same for a move: the board carries it out whatever the program does,
// and a move whose reply is given up leaves the machine not homed. A slow
// board's reply (or one of a loaded PC) comes within this; only a board that
// stays silent costs the homing. Short enough that a Stop still ends the run
// within a second.
inline constexpr std::chrono::milliseconds kStopMoveGrace{900};

// Set on the run's own threads (not the feeder or conveyor threads, which
// are not waited for at a Stop): their reply waits end at a Stop.
inline thread_local bool t_replyWaitsEndOnStop = false;

class ReplyEvent {
 public:
  ReplyEvent(const char* name, std::chrono::milliseconds timeout) : name_(name), timeout_(timeout.count()) {}

  void Reset() {
    event_.Reset();
    failed_ = false;
    status_ = 0;
  }
  // The command of the family goes out now: from here until its reply is
  // taken (or given up) a reply of the family may be its answer. Clears a
  // stale signal.
  void Arm() {
    {
      std::lock_guard lk(lateMutex_);
      inFlight_ = true;
    }
    Reset();
  }
  // A reply of the family as the board sends it (the reply dispatch): taken
  // only while a command of the family is in flight, and never while the
  // late reply of a timed-out command is still owed (that first reply is the
  // late one and is thrown away). A reply that no command could have asked
  // for (a duplicate, a reply after its command gave up) is counted and
  // dropped.
  void Answer(uint8_t status = 0) { Take(status, false); }
  void AnswerFailure(uint8_t status) { Take(status, true); }
  // Unconditional: sets the event (the program's own hand-shakes).
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

  // The sender gave up waiting: the reply may still come, and whenever it
  // comes it is not the answer of a later command. It stays owed until it
  // comes, or, after a reconnect (RenewGuard), until `guard` has passed.
  void MarkTimedOut(std::chrono::milliseconds guard) {
    std::lock_guard lk(lateMutex_);
    owed_ = true;
    inFlight_ = false;
    guard_ = guard;
    guardEnd_ = std::chrono::steady_clock::time_point::max();
  }
  // Before a new command of the family: while a late reply is owed, wait
  // for it a moment (at most the guard time). Returns at once otherwise.
  // When it does not come the next command goes out all the same and the
  // first reply of the family is still taken as the late one: the command
  // then fails on its time-out instead of completing on another's reply.
  void SettleBeforeSend() {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      {
        std::lock_guard lk(lateMutex_);
        if (!owed_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now >= guardEnd_) {
          owed_ = false;  // forgotten after a reconnect's guard
          return;
        }
        if (now - start >= guard_) return;
      }
      if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // A reconnect: a reply still owed is waited for only the guard time more.
  void RenewGuard() {
    std::lock_guard lk(lateMutex_);
    if (owed_) guardEnd_ = std::chrono::steady_clock::now() + guard_;
  }
  // A clean new start (tests, a fresh board): nothing is owed any more.
  void ForgetLateReply() {
    std::lock_guard lk(lateMutex_);
    owed_ = false;
    inFlight_ = false;
  }
  bool LateReplyOwed() const {
    std::lock_guard lk(lateMutex_);
    return owed_ && std::chrono::steady_clock::now() < guardEnd_;
  }
  uint64_t LateRepliesDiscarded() const { return discarded_.load(); }
  // Replies that came while no command of the family was in flight.
  uint64_t StrayRepliesDiscarded() const { return stray_.load(); }
  // How long after a time-out a reply still counts as the late one.
  std::chrono::milliseconds LateGuard() const {
    return std::clamp(timeout(), std::chrono::milliseconds(1000), std::chrono::milliseconds(10000));
  }
  // Waits for the reply of a command sent to `machine`, watching that
  // machine's link and run. The form without a machine watches the machine
  // in use.
  ReplyWait Wait(std::chrono::milliseconds timeout, WaitWatch watch = WaitWatch::LinkAndStop) {
    return Wait(smt::CurrentMachine(), timeout, watch);
  }
  ReplyWait Wait(const smt::Machine& machine, std::chrono::milliseconds timeout,
                 WaitWatch watch = WaitWatch::LinkAndStop) {
    const auto start = std::chrono::steady_clock::now();
    // What the wait watches besides its reply: the program's shut-down, a
    // Stop of the run it belongs to, and the link going down.
    const bool probe = watch == WaitWatch::ConnectProbe;
    const bool inRun = !probe && t_replyWaitsEndOnStop && machine.runContinue.load();
    const bool linked = machine.connected.load();
    // A family that answers within microseconds is watched for a moment
    // before the thread sleeps: the reply is then taken without a wake-up.
    bool taken = SpinFor(start, std::min<std::chrono::nanoseconds>(SpinBudget(), timeout));
    const auto deadline = start + timeout;
    std::chrono::steady_clock::time_point stopSeen{};
    while (!taken) {
      const auto now = std::chrono::steady_clock::now();
      const auto left = now >= deadline ? std::chrono::milliseconds(0)
                                        : std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
      taken = event_.Wait(std::min(left, kWatchSlice));
      if (taken) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        // A stopped run's move that ran into its time-out within the grace
        // was given up by the Stop, as it would have been at the grace's end.
        const bool stopped = watch == WaitWatch::MoveAndStop && inRun && !machine.runContinue.load();
        return stopped ? ReplyWait::Abandoned : ReplyWait::TimedOut;
      }
      if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return ReplyWait::Abandoned;
      // Lost while it waits, or already between the send and the wait (the
      // board's port found closed the moment the command reached it).
      if (!probe && !machine.connected.load() && (linked || machine.link.knownLost.load()))
        return ReplyWait::LinkLost;
      if (inRun && !machine.runContinue.load()) {
        const auto seen = std::chrono::steady_clock::now();
        if (stopSeen == std::chrono::steady_clock::time_point{}) stopSeen = seen;
        else if (seen - stopSeen >= (watch == WaitWatch::MoveAndStop ? kStopMoveGrace : kStopReplyGrace))
          return ReplyWait::Abandoned;
      }
    }
    NoteReplyTime(std::chrono::steady_clock::now() - start);
    return failed_ ? ReplyWait::Failed : ReplyWait::Done;
  }
  // The command gave up its reply without a time-out mark (refused, not sent).
  void Disarm() {
    std::lock_guard lk(lateMutex_);
    inFlight_ = false;
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
  void Take(uint8_t status, bool failed) {
    {
      std::lock_guard lk(lateMutex_);
      if (owed_) {
        owed_ = false;
        if (std::chrono::steady_clock::now() < guardEnd_) {
          ++discarded_;
          return;
        }
      }
      if (!inFlight_) {
        ++stray_;
        return;
      }
      inFlight_ = false;
    }
    status_ = status;
    failed_ = failed;
    event_.Set();
  }
  // Watching pays only when the reply comes within a short time; families
  // whose replies take longer than the limit are slept for at once. The
  // watching thread yields between looks, so the threads that answer and
  // hand the reply over run first even when they share its CPU.
  static constexpr std::chrono::nanoseconds kSpinLimit{200'000};
  // Between looks at the shut-down, the run's Stop and the link state.
  static constexpr std::chrono::milliseconds kWatchSlice{20};
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
  bool inFlight_ = false;
  std::chrono::milliseconds guard_{1000};
  std::chrono::steady_clock::time_point guardEnd_{};
  std::atomic<uint64_t> discarded_{0};
  std::atomic<uint64_t> stray_{0};
};

}  // namespace smt::link

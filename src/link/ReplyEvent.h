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
// Set on a thread whose operator may give up its wait (the conveyor
// dialog's test thread): while the flag it points to is set, that thread's
// reply waits end at once, given up like a stopped run's.
inline thread_local const std::atomic<bool>* t_replyWaitCancel = nullptr;
// Set on every thread of a run (feeder and conveyor threads too): a move such
// a thread is refused after its run was stopped is not told again.
inline thread_local bool t_onRunThread = false;

// What became of a reply the board sent. Taken: the answer of the command
// in flight. Late: the owed reply of a command that gave up, thrown away
// while no command of the family was in flight. OutOfTurn: a reply that no
// command could have asked for (a second reply, one while nothing waits),
// or one that came while both a late reply was owed and a command was in
// flight (either could be its owner): a command may have been, or may be,
// taken as done on another's reply.
// Unclaimed: a report that names no command and came while nothing of the
// family was in flight; it ends nothing.
enum class ReplyTaken { Taken, Late, OutOfTurn, Unclaimed };

// After a reply is taken, the family's next command waits this long from
// it before it goes out, so that a copy of that reply (sent twice, or
// repeated on the way) arrives while no command of the family is in flight
// and is seen as out of turn, instead of completing the next command.
inline constexpr std::chrono::milliseconds kReplyEchoWindow{250};
// How long after a command gave up its reply the family's next command
// waits for that reply before it goes out (at the least): a reply that
// comes meanwhile is thrown away. A moving family's reply stays owed after
// this too, until it comes: any reply of the family that comes while one is
// owed and a command is in flight may be either, so that command ends
// failed and the position uncertain.
inline constexpr std::chrono::milliseconds kMinLateWindow{5000};

class ReplyEvent {
 public:
  // `positional`: the family's commands move axes, so a reply out of turn
  // leaves the machine's position uncertain.
  // `keepsOwed`: a reply given up stays owed past the late window (see
  // MarkTimedOut); the homing family, whose every command ends at the
  // origin, forgets it at the window's end like a family that does not move.
  ReplyEvent(const char* name, std::chrono::milliseconds timeout, bool positional = true, bool keepsOwed = true)
      : name_(name), timeout_(timeout.count()), positional_(positional), keepsOwed_(positional && keepsOwed) {}
  bool positional() const { return positional_; }

  void Reset() {
    event_.Reset();
    failed_ = false;
    outOfTurn_ = false;
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
  // only while a command of the family is in flight and no late reply of a
  // command that gave up is owed. The owed late reply, when it comes while
  // nothing is in flight, is thrown away. When it may have come (a reply
  // while one is owed and a command is in flight), the command in flight
  // ends failed and out of turn: which command the reply belongs to cannot
  // be told. A reply that no command could have asked for is counted and
  // dropped, and reported out of turn.
  ReplyTaken Answer(uint8_t status = 0) { return Take(status, false); }
  ReplyTaken AnswerFailure(uint8_t status) { return Take(status, true); }
  // A board error report that names no command, given to the family of the
  // last command sent: it ends that command's wait with a failure when one
  // is in flight (and comes out of turn when a late reply was owed then, as
  // any reply does). While nothing is in flight it ends nothing and is not
  // taken for the family's owed late reply (nothing says it is that reply):
  // Unclaimed.
  ReplyTaken AnswerUnnamedFailure(uint8_t status) { return Take(status, true, true); }
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

  // The sender gave up waiting: the reply may still come, and when it comes
  // it is not the answer of a later command. The family's next command
  // waits for it through the late window (`guard`, at least kMinLateWindow,
  // from now; a reconnect does not shorten it). A moving family's reply stays
  // owed past the window until a reply of the family comes, as nothing tells
  // a late reply from the next command's own; another family's is forgotten
  // at the window's end.
  void MarkTimedOut(std::chrono::milliseconds guard) {
    std::lock_guard lk(lateMutex_);
    owed_ = true;
    inFlight_ = false;
    owedUntil_ = std::chrono::steady_clock::now() + std::max(guard, kMinLateWindow);
  }
  // Before a new command of the family: a positional family's command goes
  // out only kReplyEchoWindow after the family's last reply was taken, and
  // while a late reply is owed it waits for it (until the late window ends).
  // A reply of the family that comes later than that, while a command is in
  // flight, is taken as that command's answer; the command's own answer then
  // comes out of turn and is reported so.
  void SettleBeforeSend() {
    for (;;) {
      {
        std::lock_guard lk(lateMutex_);
        const auto now = std::chrono::steady_clock::now();
        ForgetIfOver(now);
        const bool echoOver = !positional_ || now - lastTaken_ >= kReplyEchoWindow;
        // Past the late window the command goes out; a reply still owed
        // then fails whichever command it meets in flight.
        const bool owedWait = owed_ && now < owedUntil_;
        if (!owedWait && echoOver) return;
      }
      if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // A clean new start (tests, a fresh board): nothing is owed any more.
  void ForgetLateReply() {
    std::lock_guard lk(lateMutex_);
    owed_ = false;
    inFlight_ = false;
    boardWentAway_ = false;
  }
  // The board's line or port closed under the program (the board restarted
  // or went away): what it owed then went nowhere, and a board that
  // restarted owes nothing. The next connect forgets it (a time-out of a
  // board that stays connected does not).
  void NoteBoardWentAway() {
    std::lock_guard lk(lateMutex_);
    boardWentAway_ = true;
  }
  void OnReconnected() {
    std::lock_guard lk(lateMutex_);
    if (boardWentAway_) owed_ = false;
    boardWentAway_ = false;
  }
  bool LateReplyOwed() const {
    std::lock_guard lk(lateMutex_);
    return owed_ && (keepsOwed_ || std::chrono::steady_clock::now() < owedUntil_);
  }
  // Replies that came out of turn (see ReplyTaken).
  uint64_t RepliesOutOfTurn() const { return outOfTurnCount_.load(); }
  uint64_t LateRepliesDiscarded() const { return discarded_.load(); }
  // Replies that came while no command of the family was in flight.
  uint64_t StrayRepliesDiscarded() const { return stray_.load(); }
  // How long after a time-out a reply still counts as the late one.
  std::chrono::milliseconds LateGuard() const {
    return std::clamp(timeout(), std::chrono::milliseconds(1000), std::chrono::milliseconds(10000));
  }
  // Waits for the reply of a command sent to `machine`, watching that
  // machine's link and run.
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
      if (t_replyWaitCancel && t_replyWaitCancel->load()) return ReplyWait::Abandoned;
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
    return failed_ || outOfTurn_ ? ReplyWait::Failed : ReplyWait::Done;
  }
  // The command gave up its reply without a time-out mark (refused, not sent).
  void Disarm() {
    std::lock_guard lk(lateMutex_);
    inFlight_ = false;
  }
  bool IsSet() const { return event_.IsSet(); }

  // The status byte of the last reply.
  uint8_t status() const { return status_; }
  // The last wait ended on a reply that may not have been its command's.
  bool endedOutOfTurn() const { return outOfTurn_; }
  const char* name() const { return name_; }
  std::chrono::milliseconds timeout() const { return std::chrono::milliseconds(timeout_.load()); }
  void SetTimeout(std::chrono::milliseconds t) { timeout_ = t.count(); }
  smt::platform::Event& event() { return event_; }

 private:
  const char* name_;
  std::atomic<long long> timeout_;
  smt::platform::Event event_{false, false};
  const bool positional_;
  const bool keepsOwed_;
  std::atomic<bool> failed_{false};
  std::atomic<bool> outOfTurn_{false};
  std::atomic<uint8_t> status_{0};

  // A reply owed past its late window is forgotten (it is not coming) in a
  // family that does not move the machine; a moving family keeps owing it.
  void ForgetIfOver(std::chrono::steady_clock::time_point now) {
    if (owed_ && !keepsOwed_ && now >= owedUntil_) owed_ = false;
  }
  bool TakeLateReply() {
    std::lock_guard lk(lateMutex_);
    ForgetIfOver(std::chrono::steady_clock::now());
    if (!owed_) return false;
    owed_ = false;
    ++discarded_;
    return true;
  }
  ReplyTaken Take(uint8_t status, bool failed, bool unnamed = false) {
    {
      std::lock_guard lk(lateMutex_);
      if (unnamed && !inFlight_) return ReplyTaken::Unclaimed;
      ForgetIfOver(std::chrono::steady_clock::now());
      if (owed_ && !inFlight_) {
        owed_ = false;
        ++discarded_;
        return ReplyTaken::Late;
      }
      if (!inFlight_) {
        ++stray_;
        ++outOfTurnCount_;
        return ReplyTaken::OutOfTurn;
      }
      inFlight_ = false;
      lastTaken_ = std::chrono::steady_clock::now();
      if (owed_) {
        // The late reply or the answer of the command in flight: the
        // command ends failed, and the other of the two is still to come.
        // It stays owed (from now, through a fresh late window): the
        // family's next command waits for it, and should it come while a
        // command is in flight that command too ends failed, never done on
        // a reply that may be this one's.
        owedUntil_ = lastTaken_ + std::max(LateGuard(), kMinLateWindow);
        ++outOfTurnCount_;
        status_ = status;
        failed_ = true;
        outOfTurn_ = true;
        event_.Set();
        return ReplyTaken::OutOfTurn;
      }
    }
    status_ = status;
    failed_ = failed;
    outOfTurn_ = false;
    event_.Set();
    return ReplyTaken::Taken;
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
  bool boardWentAway_ = false;
  bool inFlight_ = false;
  std::chrono::steady_clock::time_point owedUntil_{};
  std::chrono::steady_clock::time_point lastTaken_{};
  std::atomic<uint64_t> outOfTurnCount_{0};
  std::atomic<uint64_t> discarded_{0};
  std::atomic<uint64_t> stray_{0};
};

}  // namespace smt::link

// Kills a process in the middle of saving: a child saves generation after
// generation until it is killed at a random moment spread over a few saves.
// The kill tests of the job, the settings and the library lists use it and
// then judge what is left on disk.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

namespace smt::test {

class SaveKiller {
 public:
  // `timedSave` is one save made here, to learn how long a save takes; the
  // kills then fall before, in and after the child's saves.
  SaveKiller(const std::function<void()>& timedSave, unsigned seed) : random_(seed) {
    const auto t0 = std::chrono::steady_clock::now();
    timedSave();
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    span_ = 3 * std::max<long long>(200, us);
    delay_ = std::uniform_int_distribution<long long>(0, span_);
  }

  // What the last kill left: the old set (true) or a newer one. A forked
  // child on a loaded machine can start far slower than the timed save, so
  // when twenty kills in a row found only the old set the kills are spread
  // over twice the time (and over half when they found only newer ones).
  void Left(bool oldSet) {
    (oldSet ? oldRun_ : newRun_)++;
    (oldSet ? newRun_ : oldRun_) = 0;
    if (oldRun_ >= 20 && span_ < 60'000'000) {
      span_ *= 2;
      oldRun_ = 0;
    }
    if (newRun_ >= 20 && span_ > 400) {
      span_ /= 2;
      newRun_ = 0;
    }
    delay_ = std::uniform_int_distribution<long long>(0, span_);
  }

  // Forks a child that runs `inChild` once and then save(from), save(from + 1),
  // ... until it is killed. True when the kill ended it; false when it ended
  // on its own (a save threw) or could not be started.
  bool KillWhileSaving(const std::function<void(int)>& save, int from,
                       const std::function<void()>& inChild = {}) {
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
      try {
        if (inChild) inChild();
        for (int g = from;; ++g) save(g);
      } catch (...) {
      }
      _exit(3);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay_(random_)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status);
  }

 private:
  std::mt19937 random_;
  std::uniform_int_distribution<long long> delay_;
  long long span_ = 0;
  int oldRun_ = 0, newRun_ = 0;
};

}  // namespace smt::test

#pragma once
// Every worker thread the program starts goes through here, so shut-down can
// ask them all to stop and join each one: nothing runs after the window is
// gone. A worker checks its stop token at its waits and loops.
#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace smt::platform {

class WorkerThreads {
 public:
  static WorkerThreads& Instance();

  // Starts `body` on a new thread. Returns false (and starts nothing) once
  // shut-down has begun.
  bool Start(std::string name, std::function<void(std::stop_token)> body);

  // Shut-down begins: every worker is asked to stop, and every bounded wait
  // that watches ShuttingDown() ends at once. Later Start calls are refused.
  // Joins nothing: the caller may still save while the workers leave.
  void BeginShutdown();

  // BeginShutdown, then joins every worker.
  void StopAndJoinAll();

  // True once StopAndJoinAll has begun.
  bool ShuttingDown() const;

  // Number of workers still running (finished ones are reaped).
  size_t RunningCount();

  // The shell is made anew in the same process: every worker of the last
  // one is joined and Start is taken again.
  void Reopen();

  // Tests: allow Start again after StopAndJoinAll.
  void ResetForTests();

 private:
  struct Worker {
    std::string name;
    std::jthread thread;
    bool finished = false;
  };
  void Reap();  // caller holds m_

  mutable std::mutex m_;
  std::list<Worker> workers_;
};

}  // namespace smt::platform

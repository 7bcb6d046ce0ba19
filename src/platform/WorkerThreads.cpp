#include "platform/WorkerThreads.h"

#include <vector>

#include "platform/Hooks.h"
#include "platform/ProgramShutdown.h"

namespace smt::platform {

WorkerThreads& WorkerThreads::Instance() {
  static WorkerThreads instance;
  return instance;
}

bool WorkerThreads::Start(std::string name, std::function<void(std::stop_token)> body) {
  std::lock_guard lock(m_);
  if (ProgramShuttingDown()) return false;
  Reap();
  workers_.push_back(Worker{std::move(name), {}, false});
  Worker* w = &workers_.back();
  w->thread = std::jthread([this, w, body = std::move(body)](std::stop_token st) {
    // A hook nobody connected ends the worker with its name in the log.
    GuardAction(w->name.c_str(), [&] { body(st); });
    std::lock_guard l(m_);
    w->finished = true;
  });
  return true;
}

void WorkerThreads::Reap() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->finished) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void WorkerThreads::BeginShutdown() {
  std::lock_guard lock(m_);
  SetProgramShuttingDown(true);
  for (auto& w : workers_) w.thread.request_stop();
}

void WorkerThreads::StopAndJoinAll() {
  std::list<Worker> all;
  {
    std::lock_guard lock(m_);
    SetProgramShuttingDown(true);
    for (auto& w : workers_) w.thread.request_stop();
    all.splice(all.end(), workers_);
  }
  for (auto& w : all) {
    if (w.thread.joinable()) w.thread.join();
  }
}

bool WorkerThreads::ShuttingDown() const { return ProgramShuttingDown(); }

size_t WorkerThreads::RunningCount() {
  std::lock_guard lock(m_);
  Reap();
  return workers_.size();
}

void WorkerThreads::Reopen() {
  StopAndJoinAll();
  std::lock_guard lock(m_);
  SetProgramShuttingDown(false);
}

void WorkerThreads::ResetForTests() {
  StopAndJoinAll();
  std::lock_guard lock(m_);
  SetProgramShuttingDown(false);
}

}  // namespace smt::platform

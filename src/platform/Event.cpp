#include "platform/Event.h"

namespace smt::platform {

void Event::Set() {
  {
    std::lock_guard lock(m_);
    set_ = true;
  }
  if (manual_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(m_);
  set_ = false;
}

bool Event::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_);
  if (!cv_.wait_for(lock, timeout, [this] { return set_.load(); })) return false;
  if (!manual_) set_ = false;
  return true;
}

bool Event::TryWait() {
  if (!set_.load(std::memory_order_acquire)) return false;
  std::lock_guard lock(m_);
  if (!set_) return false;
  if (!manual_) set_ = false;
  return true;
}

bool Event::IsSet() const {
  std::lock_guard lock(m_);
  return set_;
}

}  // namespace smt::platform

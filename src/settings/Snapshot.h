#pragma once
// A value that the window thread replaces as a whole while worker threads
// read it: readers take a shared pointer to an immutable copy, so a reader
// sees either the old or the new value, never a mix of both.
#include <functional>
#include <memory>
#include <mutex>

namespace smt::settings {

template <class T>
class Snapshot {
 public:
  Snapshot() : value_(std::make_shared<const T>()) {}
  explicit Snapshot(T initial) : value_(std::make_shared<const T>(std::move(initial))) {}

  std::shared_ptr<const T> Get() const {
    std::lock_guard lock(m_);
    return value_;
  }

  void Set(T value) {
    auto next = std::make_shared<const T>(std::move(value));
    std::lock_guard lock(m_);
    value_ = std::move(next);
  }

  // Copy, change and publish in one step (no other Update can interleave).
  void Update(const std::function<void(T&)>& change) {
    std::lock_guard update(updateM_);
    T copy = *Get();
    change(copy);
    Set(std::move(copy));
  }

 private:
  mutable std::mutex m_;
  std::mutex updateM_;
  std::shared_ptr<const T> value_;
};

}  // namespace smt::settings

#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Hooks.h"

namespace smt::platform {

// An interface the shell connects: one object with virtual methods standing
// for a panel or a neighbour (the jog panel, the camera panel, ...). Using it
// while nothing is connected fails as an unconnected hook does, naming the
// port. The connected object must outlive its connection (the shell's panels
// live as long as the window; tests disconnect before theirs go).
template <class I>
class Port {
 public:
  explicit Port(const char* name) : name_(name) {}
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  void Connect(I* impl) { impl_.store(impl); }
  // Connects an object the port keeps for its own life.
  void Own(std::shared_ptr<I> impl) {
    std::lock_guard lk(m_);
    owned_.push_back(impl);
    impl_.store(impl.get());
  }
  void Disconnect() { impl_.store(nullptr); }
  // Disconnects `impl` if it is the one connected (another may have taken
  // its place since).
  void Disconnect(I* impl) { impl_.compare_exchange_strong(impl, nullptr); }
  bool connected() const { return impl_.load() != nullptr; }
  const char* name() const { return name_; }
  // The connected object, or null.
  I* get() const { return impl_.load(); }

  I& operator*() const {
    I* p = impl_.load();
    if (!p) UnwiredCall(name_);
    return *p;
  }
  I* operator->() const { return &**this; }

 private:
  const char* name_;
  std::atomic<I*> impl_{nullptr};
  std::mutex m_;
  std::vector<std::shared_ptr<I>> owned_;
};

}  // namespace smt::platform

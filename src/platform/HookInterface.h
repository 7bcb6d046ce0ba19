#pragma once
// An interface the shell connects at a real boundary of the program (what a
// run shows, questions to the operator, the clock): one object with virtual
// methods in place of one hook per call. It behaves like a hook: it carries
// its name for the start-up report of unconnected services, and a call
// through it while nothing is connected logs the name and refuses the action
// (`UnwiredHook`). Callers that may go on without it ask `Get()` first.
//
// The implementation is shared: a call in progress on a worker keeps the
// object alive while the shell connects another one.
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/Hooks.h"

namespace smt::platform {

template <class I>
class HookInterface {
 public:
  explicit HookInterface(const char* name) : name_(name) {}
  HookInterface(const HookInterface& o) : name_(o.name_), impl_(o.Get()) {}
  // Assignment takes the other side's object; the interface keeps its own name.
  HookInterface& operator=(const HookInterface& o) {
    if (this != &o) Connect(o.Get());
    return *this;
  }

  HookInterface& operator=(std::nullptr_t) {
    Disconnect();
    return *this;
  }

  void Connect(std::shared_ptr<I> impl) {
    std::lock_guard lk(m_);
    impl_ = std::move(impl);
  }
  void Disconnect() { Connect(nullptr); }
  // The connected object, or null.
  std::shared_ptr<I> Get() const {
    std::lock_guard lk(m_);
    return impl_;
  }
  bool connected() const { return Get() != nullptr; }
  explicit operator bool() const { return connected(); }
  const char* name() const { return name_; }

  // The connected object for one call; unconnected: logged and refused.
  std::shared_ptr<I> operator->() const { return Take(); }
  // The same, kept by the caller for a series of calls.
  std::shared_ptr<I> Take() const {
    std::shared_ptr<I> p = Get();
    if (!p) UnwiredCall(name_);
    return p;
  }

 private:
  const char* name_;
  mutable std::mutex m_;
  std::shared_ptr<I> impl_;
};

}  // namespace smt::platform

#pragma once
// Who wants to hear that settings arrived or changed: a list of callbacks
// that may be added and removed from any thread. Calls run on the thread
// that loads or commits, outside the list's lock, in the order added.
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace smt::settings {

template <class... Args>
class Listeners {
 public:
  using Callback = std::function<void(Args...)>;

  int Add(Callback cb) {
    std::lock_guard lock(m_);
    const int id = ++lastId_;
    list_.emplace_back(id, std::move(cb));
    return id;
  }
  void Remove(int id) {
    std::lock_guard lock(m_);
    std::erase_if(list_, [id](const auto& e) { return e.first == id; });
  }
  void Notify(Args... args) const {
    std::vector<std::pair<int, Callback>> copy;
    {
      std::lock_guard lock(m_);
      copy = list_;
    }
    for (auto& e : copy) e.second(args...);
  }

 private:
  mutable std::mutex m_;
  int lastId_ = 0;
  std::vector<std::pair<int, Callback>> list_;
};

}  // namespace smt::settings

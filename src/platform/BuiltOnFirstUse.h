#pragma once
// An owned object that is made the first time it is reached rather than
// when its owner is: for panels that most sessions never open. Reads like the
// unique_ptr it replaces (*p, p->x); the object, once made, lives as long as
// the holder and keeps its state between uses.
#include <functional>
#include <memory>
#include <utility>

namespace smt::platform {

template <class T>
class BuiltOnFirstUse {
 public:
  explicit BuiltOnFirstUse(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}

  T& operator*() const { return Get(); }
  T* operator->() const { return &Get(); }
  // Whether the object has been made yet.
  bool Built() const { return object_ != nullptr; }

 private:
  T& Get() const {
    if (!object_) object_ = make_();
    return *object_;
  }
  std::function<std::unique_ptr<T>()> make_;
  mutable std::unique_ptr<T> object_;
};

}  // namespace smt::platform

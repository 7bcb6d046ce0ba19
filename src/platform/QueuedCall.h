#pragma once
// Queues work onto the thread of a QObject (the window thread for widgets)
// through Qt's posted-event queue; the work is dropped when the object goes
// first. Qt orders that hand-over with its own futex-based mutex, which
// ThreadSanitizer cannot see, so in the TSan build the queued task carries a
// mark: released when the task is built, taken before the work runs or is
// destroyed. Everything the work captured is thus ordered before it runs,
// and nothing else is.
#include <QMetaObject>
#include <QObject>

#include <utility>

namespace smt::platform {

// The hand-over mark of one queued task. Keep it the task's last member, so
// it is built (and released) after everything else the task holds.
class HandOverMark {
 public:
  HandOverMark() { Release(); }
  HandOverMark(const HandOverMark&) { Release(); }
  HandOverMark(HandOverMark&&) noexcept { Release(); }
  HandOverMark& operator=(const HandOverMark&) = delete;
  HandOverMark& operator=(HandOverMark&&) = delete;
  ~HandOverMark() { Take(); }
  // On the receiving thread, before the task's contents are read.
  void Take();

 private:
  void Release();
};

template <class F>
bool PostTo(QObject* context, F work) {
  struct Task {
    F work;
    HandOverMark mark;  // last: see HandOverMark
  };
  return QMetaObject::invokeMethod(
      context,
      [task = Task{std::move(work), {}}]() mutable {
        task.mark.Take();
        task.work();
      },
      Qt::QueuedConnection);
}

}  // namespace smt::platform

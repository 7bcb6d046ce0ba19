#pragma once
// Queues work onto the thread of a QObject (the window thread for widgets)
// through Qt's posted-event queue; the work is dropped when the object goes
// first. Qt orders that hand-over with its own futex-based mutex, which
// ThreadSanitizer cannot see, so in the TSan build the queued task carries a
// mark: released when the task is built, taken before the work runs or is
// destroyed. Everything the work captured is thus ordered before it runs,
// and nothing else is.
//
// Qt counts the references to a queued task (the posting call holds one
// until it returns, the queued event another) and the last one to let go
// frees it: that may be the posting thread, after the window thread ran the
// work. So the mark is released again once the work is done, and whichever
// thread destroys the task takes it first.
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
  // On the receiving thread, once the work is done (or left by an
  // exception): orders its reads and writes before the task is destroyed on
  // whichever thread lets go of it last.
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
        struct Done {
          HandOverMark& mark;
          ~Done() { mark.Release(); }
        } done{task.mark};
        task.work();
      },
      Qt::QueuedConnection);
}

}  // namespace smt::platform

#include "platform/QtGuiDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/Hooks.h"
#include "platform/QueuedCall.h"
#include "platform/WorkerThreads.h"

namespace smt::platform {

QtGuiDispatcher::QtGuiDispatcher() = default;

void QtGuiDispatcher::Post(std::function<void()> work) {
  PostTo(this, [work = std::move(work)] { GuardAction("window task", work); });
}

void QtGuiDispatcher::RunBlocking(std::function<void()> work) {
  if (IsGuiThread()) {
    work();
    return;
  }
  // Wait for the window thread, but give up when shut-down begins: the
  // window thread may then be joining this very thread. The work is skipped
  // once abandoned, so it never touches the caller's vanished locals.
  struct State {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool abandoned = false;
    std::function<void()> work;
    std::exception_ptr failure;
  };
  auto state = std::make_shared<State>();
  state->work = std::move(work);
  PostTo(this, [state] {
    std::unique_lock lock(state->m);
    if (state->abandoned) return;
    // A failure of the work (an unconnected hook) belongs to the caller.
    try {
      state->work();
    } catch (...) {
      state->failure = std::current_exception();
    }
    state->done = true;
    state->cv.notify_all();
  });
  std::unique_lock lock(state->m);
  while (!state->done) {
    if (state->cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return state->done; })) break;
    if (WorkerThreads::Instance().ShuttingDown()) {
      state->abandoned = true;
      return;
    }
  }
  if (state->failure) std::rethrow_exception(state->failure);
}

bool QtGuiDispatcher::IsGuiThread() const { return QThread::currentThread() == thread(); }

}  // namespace smt::platform

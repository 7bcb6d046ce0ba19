#include "platform/QtGuiDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace smt::platform {

QtGuiDispatcher::QtGuiDispatcher() = default;

void QtGuiDispatcher::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void QtGuiDispatcher::RunBlocking(std::function<void()> work) {
  if (IsGuiThread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(this, std::move(work), Qt::BlockingQueuedConnection);
}

bool QtGuiDispatcher::IsGuiThread() const { return QThread::currentThread() == thread(); }

}  // namespace smt::platform

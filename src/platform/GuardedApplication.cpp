#include "platform/GuardedApplication.h"

#include "platform/Hooks.h"

namespace smt::platform {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  bool result = false;
  GuardAction("window event", [&] { result = QApplication::notify(receiver, event); });
  return result;
}

}  // namespace smt::platform

#pragma once
// The program's QApplication: an action of the window thread that calls a
// hook nobody connected ends there (logged and shown), instead of unwinding
// through the event loop.
#include <QApplication>

namespace smt::platform {

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace smt::platform

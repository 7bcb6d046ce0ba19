// The baseline of the start-up figure: a Qt hello window (a main window with
// a label), quitting as soon as it is up and the event loop is first idle.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

#include "bench/startup/MappedObjects.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setCentralWidget(new QLabel("Hello"));
  window.resize(1024, 768);
  window.show();
  int objects = 0;
  long long idleAt = 0;
  QTimer::singleShot(0, [&] {
    idleAt = MonotonicNs();
    objects = MappedSharedObjects();
    QApplication::quit();
  });
  const int code = QApplication::exec();
  std::printf("shared objects: %d\nidle at: %lld\n", objects, idleAt);
  return code;
}

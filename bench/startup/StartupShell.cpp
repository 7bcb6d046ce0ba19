// The operator's program as main() starts it (through the same start
// function), quitting as soon as its main window is up and the event loop is
// first idle. Run in a prepared working directory; prints how many shared
// objects it had loaded.
#include <QApplication>
#include <cstdio>

#include "app/ProgramStart.h"
#include "bench/startup/MappedObjects.h"

int main(int argc, char** argv) {
  int objects = 0;
  long long idleAt = 0;
  const int code = smt::app::RunProgram(argc, argv, [&] {
    idleAt = MonotonicNs();
    objects = MappedSharedObjects();
    QApplication::quit();
  });
  std::printf("shared objects: %d\nidle at: %lld\n", objects, idleAt);
  return code;
}

// The operator's program as main() starts it, quitting as soon as its main
// window is up and the event loop is first idle. Run in a prepared working
// directory; prints how many shared objects it had loaded.
#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "app/SMTApp.h"
#include "core/LogFile.h"
#include "bench/startup/MappedObjects.h"
#include "platform/GuardedApplication.h"
#include "platform/MemoryPolicy.h"

int main(int argc, char** argv) {
  smt::platform::KeepLargeBlocksReturnable();
  smt::platform::GuardedApplication qapp(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("SMT");
  int code = 1;
  int objects = 0;
  long long idleAt = 0;
  {
    CSMTApp app;
    CSMTApp::Options options;
    options.appDir = std::filesystem::current_path().string();
    if (app.InitInstance(options)) {
      QTimer::singleShot(0, [&] {
        idleAt = MonotonicNs();
        objects = MappedSharedObjects();
        QApplication::quit();
      });
      code = QApplication::exec();
    }
    app.ExitInstance();
  }
  CLogFile::Instance().Close();
  std::printf("shared objects: %d\nidle at: %lld\n", objects, idleAt);
  return code;
}

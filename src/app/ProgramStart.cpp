#include "app/ProgramStart.h"

#include <QApplication>
#include <QTimer>
#include <clocale>
#include <filesystem>

#include "app/SMTApp.h"
#include "core/LogFile.h"
#include "core/Machine.h"
#include "platform/GuardedApplication.h"
#include "platform/MemoryPolicy.h"

namespace smt::app {

int RunProgram(int& argc, char** argv, const std::function<void()>& atFirstIdle) {
  // The one machine this program drives is the process's own machine: made
  // here, before anything else the program keeps, and current to the very
  // end, so that the link and run threads that are not joined at shut-down
  // still find it.
  smt::CurrentMachine();
  smt::platform::KeepLargeBlocksReturnable();
  smt::platform::GuardedApplication qapp(argc, argv);
  // Settings are numbers written with a point: keep the C number format
  // whatever the desktop's locale says.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("SMT");

  int code = 1;
  {
    CSMTApp app;
    CSMTApp::Options options;
    options.appDir = std::filesystem::current_path().string();
    if (app.InitInstance(options)) {
      if (atFirstIdle) QTimer::singleShot(0, atFirstIdle);
      code = QApplication::exec();
    }
    app.ExitInstance();
  }
  CLogFile::Instance().Close();
  return code;
}

}  // namespace smt::app

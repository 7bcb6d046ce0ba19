#pragma once
// How the operator's program starts and ends, in one place for smt-control's
// main() and for the programs that must start it exactly as main() does.
#include <functional>

namespace smt::app {

// Runs the operator's program in the current directory (which holds
// config.ini, the language files and the library list files) and returns its
// exit code: the process's machine first, the memory policy, the application
// object, the C number format, the main window from the settings; the event
// loop until the window closes; then the shut-down and the log closed.
// `atFirstIdle`, when given, runs on the window thread when the started
// program's event loop first has nothing to do (it may end the loop with
// QApplication::quit()).
int RunProgram(int& argc, char** argv, const std::function<void()>& atFirstIdle = {});

}  // namespace smt::app

#include "app/HookReport.h"

#include <cstdio>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "platform/Hooks.h"

namespace smt::app {

std::vector<std::string> ReportHooks(const smt::Machine& machine, const std::string& when) {
  return smt::platform::HookRegistry::Instance().Report(machine.machineType.load(), when);
}

void InstallHookLog() {
  // Hook lines go to the daily log; with logging off they still reach the console.
  smt::platform::SetHookLogIfUnset([](const std::string& line) {
    if (CLogFile::Instance().m_bEnable.load()) {
      CLogFile::Instance().Write(true, "%s", line.c_str());
    } else {
      std::fprintf(stderr, "%s\n", line.c_str());
    }
  });
}

}  // namespace smt::app

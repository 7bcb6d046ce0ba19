#include "library/NozzleStrategy.h"

#include <mutex>

#include "core/Machine.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::library {

NozzleStrategy LoadNozzleStrategy(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "SmtStrategyConfig");
  NozzleStrategy n;
  n.m_AutoChangeNozzle = smt::settings::ReadConfigInt(s, "m_AutoChangeNozzle");
  n.m_19NozzleLibrary = smt::settings::ReadConfigInt(s, "m_19NozzleLibrary");
  n.m_ChangeNozzleSelect = smt::settings::ReadConfigInt(s, "m_ChangeNozzleSelect");
  return n;
}

namespace {
// Where the machine's nozzle strategy comes from: the source the shell
// handed, or the settings file in the program folder.
struct StrategySource {
  std::function<NozzleStrategy()> source;
  std::string appDir = ".";
};
smt::Guarded<StrategySource>& SourceOf(smt::Machine& machine) { return machine.Part<smt::Guarded<StrategySource>>(); }
}  // namespace

NozzleStrategy NozzleStrategyOf(smt::Machine& machine) {
  std::function<NozzleStrategy()> source;
  std::string dir;
  {
    auto& s = SourceOf(machine);
    std::lock_guard lk(s.mutex);
    source = s.value.source;
    dir = s.value.appDir;
  }
  return source ? source() : LoadNozzleStrategy(dir);
}

void SetNozzleStrategySource(smt::Machine& machine, std::function<NozzleStrategy()> source) {
  auto& s = SourceOf(machine);
  std::lock_guard lk(s.mutex);
  s.value.source = std::move(source);
}

void SetLibraryAppDir(smt::Machine& machine, const std::string& appDir) {
  auto& s = SourceOf(machine);
  std::lock_guard lk(s.mutex);
  s.value.appDir = appDir;
}

std::string LibraryAppDir(smt::Machine& machine) {
  auto& s = SourceOf(machine);
  std::lock_guard lk(s.mutex);
  return s.value.appDir;
}

}  // namespace smt::library

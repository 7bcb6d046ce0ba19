#include "library/NozzleStrategy.h"

#include <mutex>

#include "platform/SettingsSection.h"

namespace smt::library {

NozzleStrategy LoadNozzleStrategy(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "SmtStrategyConfig");
  NozzleStrategy n;
  n.m_AutoChangeNozzle = s.ReadInt("m_AutoChangeNozzle");
  n.m_19NozzleLibrary = s.ReadInt("m_19NozzleLibrary");
  n.m_ChangeNozzleSelect = s.ReadInt("m_ChangeNozzleSelect");
  return n;
}

namespace {
std::mutex g_m;
std::function<NozzleStrategy()> g_source;
std::string g_appDir = ".";
}  // namespace

NozzleStrategy CurrentNozzleStrategy() {
  std::function<NozzleStrategy()> source;
  std::string dir;
  {
    std::lock_guard lk(g_m);
    source = g_source;
    dir = g_appDir;
  }
  return source ? source() : LoadNozzleStrategy(dir);
}

void SetNozzleStrategySource(std::function<NozzleStrategy()> source) {
  std::lock_guard lk(g_m);
  g_source = std::move(source);
}

void SetLibraryAppDir(const std::string& appDir) {
  std::lock_guard lk(g_m);
  g_appDir = appDir;
}

std::string LibraryAppDir() {
  std::lock_guard lk(g_m);
  return g_appDir;
}

}  // namespace smt::library

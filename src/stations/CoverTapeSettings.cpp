#include "stations/CoverTapeSettings.h"

#include <algorithm>

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::stations {

using smt::platform::ConfigPath;
using smt::platform::SettingsSection;

namespace {
constexpr const char* kSection = "SetCoverConfig";
int AtLeastOne(int v) { return v == 0 ? 1 : v; }
}  // namespace

CoverTapeSettings CoverTapeSettings::Load(const std::string& appDir) {
  SettingsSection s(ConfigPath(appDir), kSection);
  CoverTapeSettings c;
  c.m_StepPulse = AtLeastOne(smt::settings::ReadConfigInt(s, "m_StepPulse"));
  c.m_CoverTotal = AtLeastOne(smt::settings::ReadConfigInt(s, "m_CoverTotal"));
  c.m_CoverOnceTotal = AtLeastOne(smt::settings::ReadConfigInt(s, "m_CoverOnceTotal"));
  c.m_BlankTotal = AtLeastOne(smt::settings::ReadConfigInt(s, "m_BlankTotal"));
  c.m_CoverDelay = AtLeastOne(smt::settings::ReadConfigInt(s, "m_CoverDelay"));
  c.m_CoverTotalCount = smt::settings::ReadConfigInt(s, "m_CoverTotalCount");
  c.m_CoverCount = smt::settings::ReadConfigInt(s, "m_CoverCount");
  return c;
}

bool CoverTapeSettings::Save(const std::string& appDir) const {
  SettingsSection s(ConfigPath(appDir), kSection);
  bool ok = true;
  ok &= s.WriteInt("m_StepPulse", m_StepPulse);
  ok &= s.WriteInt("m_CoverTotal", m_CoverTotal);
  ok &= s.WriteInt("m_CoverOnceTotal", m_CoverOnceTotal);
  ok &= s.WriteInt("m_BlankTotal", m_BlankTotal);
  ok &= s.WriteInt("m_CoverDelay", m_CoverDelay);
  ok &= s.WriteInt("m_CoverTotalCount", m_CoverTotalCount);
  ok &= s.WriteInt("m_CoverCount", m_CoverCount);
  return ok;
}

std::string CoverTapeSettings::CheckRanges() const {
  struct R {
    const char* key;
    int v, lo, hi;
  };
  const R r[] = {{"m_StepPulse", m_StepPulse, 1, 10000},         {"m_CoverTotal", m_CoverTotal, 1, 100000},
                 {"m_CoverOnceTotal", m_CoverOnceTotal, 1, 100}, {"m_BlankTotal", m_BlankTotal, 1, 1000},
                 {"m_CoverDelay", m_CoverDelay, 1, 100000},      {"m_CoverTotalCount", m_CoverTotalCount, 0, 100000},
                 {"m_CoverCount", m_CoverCount, 0, 1000}};
  for (const auto& x : r)
    if (x.v < x.lo || x.v > x.hi) return x.key;
  return {};
}

bool SaveCoverCounters(const std::string& appDir, int totalCount, int pocketCount) {
  SettingsSection s(ConfigPath(appDir), kSection);
  bool ok = s.WriteInt("m_CoverTotalCount", totalCount);
  ok &= s.WriteInt("m_CoverCount", pocketCount);
  return ok;
}

}  // namespace smt::stations

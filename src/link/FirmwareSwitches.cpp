#include "link/FirmwareSwitches.h"

#include "core/LogFile.h"
#include "link/LinkRuntime.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::link {

void FirmwareSwitches::Load(const std::string& appDir) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "CPUVersionNumberConfig");
  m_V2_04 = smt::settings::ReadConfigInt(s, "m_V2_04");
  m_V2_05 = smt::settings::ReadConfigInt(s, "m_V2_05");
  m_V2_06 = smt::settings::ReadConfigInt(s, "m_V2_06");
  m_V2_07 = smt::settings::ReadConfigInt(s, "m_V2_07");
  m_Write_Logfile = smt::settings::ReadConfigInt(s, "m_Write_Logfile");
}

bool FirmwareSwitches::Save(const std::string& appDir) const {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "CPUVersionNumberConfig");
  return s.WriteInt("m_V2_04", m_V2_04) && s.WriteInt("m_V2_05", m_V2_05) && s.WriteInt("m_V2_06", m_V2_06) &&
         s.WriteInt("m_V2_07", m_V2_07) && s.WriteInt("m_Write_Logfile", m_Write_Logfile);
}

void FirmwareSwitches::Apply(smt::Machine& machine) const {
  LinkRuntime& rt = RuntimeOf(machine);
  rt.v2_04 = m_V2_04;
  rt.v2_06 = m_V2_06;
  rt.v2_07 = m_V2_07;
  CLogFile::Instance().m_bEnable = (m_Write_Logfile != 0);
}

}  // namespace smt::link

#include "settings/SpeedUses.h"

#include "core/LogFile.h"
#include "platform/SettingsSection.h"

namespace smt::settings {

const std::array<const char*, kSpeedUseCount>& SpeedUsePrefixes() {
  static const std::array<const char*, kSpeedUseCount> k = {
      "m_Reset_Speed", "m_Handle_Speed", "m_PickPart_Speed", "m_Smt_Speed",
      "m_VisualCorrection_Speed", "m_VisualSmt_Speed", "m_AutoNozzle_Speed"};
  return k;
}

SpeedRecord LoadUsageSpeeds(const std::string& appDir, const std::string& prefix) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), prefix + "Config");
  SpeedRecord rec{};
  bool raised = false;
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const std::string axis = SpeedAxisKeys()[a];
    // A speed is what a template cell holds; a missing or zero speed reads
    // as 1, a refused one too (and is told once).
    for (auto [v, key] : {std::pair{&rec[a].start, prefix + ".m_Start_" + axis},
                          std::pair{&rec[a].normal, prefix + ".m_Normal_" + axis}}) {
      *v = static_cast<int>(sec.ReadInteger(key, 0, kStoredSpeedMax, 0));
      if (*v < 1) {
        *v = 1;
        raised = true;
      }
    }
  }
  if (raised) CLogFile::Instance().Write(true, "%sConfig: missing or zero speeds read as 1", prefix.c_str());
  return rec;
}

bool SaveUsageSpeeds(const std::string& appDir, const std::string& prefix, const SpeedRecord& speeds) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), prefix + "Config");
  bool ok = true;
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const std::string axis = SpeedAxisKeys()[a];
    ok = sec.WriteInt(prefix + ".m_Start_" + axis, speeds[a].start) && ok;
    ok = sec.WriteInt(prefix + ".m_Normal_" + axis, speeds[a].normal) && ok;
  }
  return ok;
}

}  // namespace smt::settings

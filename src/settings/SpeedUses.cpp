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
    rec[a].start = sec.ReadInt(prefix + ".m_Start_" + axis);
    rec[a].normal = sec.ReadInt(prefix + ".m_Normal_" + axis);
    for (int* v : {&rec[a].start, &rec[a].normal}) {
      if (*v < 1) {
        *v = 1;
        raised = true;
      }
    }
  }
  if (raised) CLogFile::Instance().Write(true, "%sConfig: missing or zero speeds read as 1", prefix.c_str());
  return rec;
}

bool SaveUsageSpeeds(const std::string& appDir, const std::string& prefix, const TemplateRow& row) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), prefix + "Config");
  bool ok = true;
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const std::string axis = SpeedAxisKeys()[a];
    auto parts = SplitSpeedCell(row[a + 1]);
    std::string start = parts ? parts->first : std::string("1");
    std::string normal = parts ? parts->second : std::string("1");
    ok = sec.WriteText(prefix + ".m_Start_" + axis, start) && ok;
    ok = sec.WriteText(prefix + ".m_Normal_" + axis, normal) && ok;
  }
  return ok;
}

}  // namespace smt::settings

#include "settings/SpeedSettings.h"

#include "platform/SettingsSection.h"

namespace smt::settings {

#define F(name, lo, hi) SpeedSettingField{#name, &SpeedSettings::name, lo, hi}
const std::array<SpeedSettingField, 29>& SpeedSettingFields() {
  static const std::array<SpeedSettingField, 29> k = {{
      F(m_SpeedMenuCheck, 0, 3), F(m_MediumSpeedZoom, 1, 99), F(m_LowSpeedZoom, 1, 99),
      F(m_bModifyResetSpeed, 0, 1), F(m_ChangeResetSpeed, 0, 1), F(m_bOptimizeFarSpeed, 0, 1),
      F(m_AccelSpeed, 1, 100), F(m_bMaxSpeedLimit, 0, 1), F(m_MaxSpeedLimitValue, 10, 100),
      F(m_XY_RunFast, 1, 10000), F(m_XY_RunMedium, 1, 10000), F(m_XY_RunSlow, 1, 10000), F(m_XY_RunFine, 1, 10000),
      F(m_Z_RunFast, 1, 10000), F(m_Z_RunMedium, 1, 10000), F(m_Z_RunSlow, 1, 10000), F(m_Z_RunFine, 1, 10000),
      F(m_A_RunFast, 1, 100000), F(m_A_RunMedium, 1, 10000), F(m_A_RunSlow, 1, 10000), F(m_A_RunFine, 1, 10000),
      F(m_Feed_RunFast, 1, 10000), F(m_Feed_RunMedium, 1, 10000), F(m_Feed_RunSlow, 1, 10000),
      F(m_Feed_RunFine, 1, 10000),
      F(m_S_RunFast, 1, 10000), F(m_S_RunMedium, 1, 10000), F(m_S_RunSlow, 1, 10000), F(m_S_RunFine, 1, 10000),
  }};
  return k;
}
#undef F

SpeedSettings LoadSpeedSettings(const std::string& appDir) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), "SpeedTemplateConfig");
  SpeedSettings s;
  // Each key within its range; 0 (or no key) where the settings give a
  // default for "not set" takes that default without a word.
  for (const auto& f : SpeedSettingFields()) {
    const std::string_view key = f.key;
    int def = 0;
    if (key == "m_AccelSpeed") def = 100;
    else if (key == "m_MaxSpeedLimitValue") def = 32;
    else if (key == "m_LowSpeedZoom" || key == "m_MediumSpeedZoom" || key.find("_Run") != std::string_view::npos) def = 1;
    const bool zeroIsUnset = def != 0;
    s.*f.member = static_cast<int>(sec.ReadInteger(f.key, f.min, f.max, def, zeroIsUnset));
  }
  return s;
}

bool SaveSpeedSettings(const std::string& appDir, const SpeedSettings& s) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), "SpeedTemplateConfig");
  bool ok = true;
  for (const auto& f : SpeedSettingFields()) ok = sec.WriteInt(f.key, s.*f.member) && ok;
  return ok;
}

std::optional<std::string> FirstSpeedSettingOutOfRange(const SpeedSettings& s) {
  for (const auto& f : SpeedSettingFields()) {
    if (f.member == &SpeedSettings::m_SpeedMenuCheck) continue;
    const int v = s.*f.member;
    if (v < f.min || v > f.max) return std::string(f.key);
  }
  return std::nullopt;
}

}  // namespace smt::settings

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
  for (const auto& f : SpeedSettingFields()) s.*f.member = sec.ReadInt(f.key);
  if (s.m_AccelSpeed == 0) s.m_AccelSpeed = 100;
  if (s.m_MaxSpeedLimitValue < 1) s.m_MaxSpeedLimitValue = 32;
  for (size_t i = 9; i < 29; ++i) {
    auto& v = s.*SpeedSettingFields()[i].member;
    if (v == 0) v = 1;
  }
  if (s.m_LowSpeedZoom == 0) s.m_LowSpeedZoom = 1;
  if (s.m_MediumSpeedZoom == 0) s.m_MediumSpeedZoom = 1;
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

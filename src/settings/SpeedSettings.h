#pragma once
// Section [SpeedTemplateConfig]: the active tier, the derivation
// percentages, the reset-template switches, the XY speed options of the
// machine commands and the step values of the jog panel's four gears.
#include <array>
#include <optional>
#include <string>

namespace smt::settings {

struct SpeedSettings {
  int m_SpeedMenuCheck = 0;  // 0 none, 1 high, 2 medium, 3 low
  int m_MediumSpeedZoom = 0;
  int m_LowSpeedZoom = 0;
  int m_bModifyResetSpeed = 0;
  int m_ChangeResetSpeed = 0;
  int m_bOptimizeFarSpeed = 0;
  int m_AccelSpeed = 100;
  int m_bMaxSpeedLimit = 0;
  int m_MaxSpeedLimitValue = 0;
  int m_XY_RunFast = 1000, m_XY_RunMedium = 100, m_XY_RunSlow = 10, m_XY_RunFine = 1;
  int m_Z_RunFast = 500, m_Z_RunMedium = 50, m_Z_RunSlow = 5, m_Z_RunFine = 1;
  int m_A_RunFast = 1000, m_A_RunMedium = 100, m_A_RunSlow = 10, m_A_RunFine = 1;
  int m_Feed_RunFast = 1000, m_Feed_RunMedium = 100, m_Feed_RunSlow = 10, m_Feed_RunFine = 1;
  int m_S_RunFast = 1000, m_S_RunMedium = 100, m_S_RunSlow = 10, m_S_RunFine = 1;
  bool operator==(const SpeedSettings&) const = default;
};

struct SpeedSettingField {
  const char* key;
  int SpeedSettings::*member;
  int min, max;
};
const std::array<SpeedSettingField, 29>& SpeedSettingFields();

SpeedSettings LoadSpeedSettings(const std::string& appDir);
bool SaveSpeedSettings(const std::string& appDir, const SpeedSettings& s);
// The first field outside the dialog's range (m_SpeedMenuCheck is not checked).
std::optional<std::string> FirstSpeedSettingOutOfRange(const SpeedSettings& s);

}  // namespace smt::settings

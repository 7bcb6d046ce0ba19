#include "settings/DetourSettings.h"

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/PulseMath.h"

namespace smt::settings {

namespace {
constexpr const char* kSection = "PositionLimitDetourConfig";
struct DField {
  const char* key;
  double DetourSettings::*d;
  int DetourSettings::*i;
};
const DField kFields[] = {
    {"m_W_S_Detour_dX", &DetourSettings::m_W_S_Detour_dX, nullptr},
    {"m_W_S_Detour_dY", &DetourSettings::m_W_S_Detour_dY, nullptr},
    {"m_E_S_Detour_dX", &DetourSettings::m_E_S_Detour_dX, nullptr},
    {"m_E_S_Detour_dY", &DetourSettings::m_E_S_Detour_dY, nullptr},
    {"m_W_S_PositionLimitPositionDetour", nullptr, &DetourSettings::m_W_S_PositionLimitPositionDetour},
    {"m_E_S_PositionLimitPositionDetour", nullptr, &DetourSettings::m_E_S_PositionLimitPositionDetour},
    {"m_W_S_LessPosition_dX", &DetourSettings::m_W_S_LessPosition_dX, nullptr},
    {"m_W_S_LessPosition_dY", &DetourSettings::m_W_S_LessPosition_dY, nullptr},
    {"m_E_S_LessPosition_dX", &DetourSettings::m_E_S_LessPosition_dX, nullptr},
    {"m_E_S_LessPosition_dY", &DetourSettings::m_E_S_LessPosition_dY, nullptr},
    {"m_E_N_LessPosition_dX", &DetourSettings::m_E_N_LessPosition_dX, nullptr},
    {"m_E_N_LessPosition_dY", &DetourSettings::m_E_N_LessPosition_dY, nullptr},
};
}  // namespace

DetourSettings LoadDetourSettings(const std::string& appDir) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), kSection);
  DetourSettings d;
  for (const auto& f : kFields) {
    if (f.d) d.*f.d = ReadConfigNumber(sec, f.key);
    else d.*f.i = ReadConfigInt(sec, f.key);
  }
  return d;
}

bool SaveDetourSettings(const std::string& appDir, const DetourSettings& d) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), kSection);
  bool ok = true;
  for (const auto& f : kFields) ok = (f.d ? sec.WriteDouble(f.key, d.*f.d) : sec.WriteInt(f.key, d.*f.i)) && ok;
  return ok;
}

ZoneHit FindDetourZone(const DetourSettings& d, const PulseSettings& p, int32_t x, int32_t y) {
  const double sx = p.m_X_Pulse, sy = p.m_Y_Pulse;
  if (d.m_W_S_PositionLimitPositionDetour != 0 && x < TruncToSteps(d.m_W_S_LessPosition_dX, sx) &&
      y < TruncToSteps(d.m_W_S_LessPosition_dY, sy))
    return {DetourZone::SouthWest, TruncToSteps(d.m_W_S_Detour_dY, sy)};
  if (d.m_E_S_PositionLimitPositionDetour != 0 && x > TruncToSteps(d.m_E_S_LessPosition_dX, sx) &&
      y < TruncToSteps(d.m_E_S_LessPosition_dY, sy))
    return {DetourZone::SouthEast, TruncToSteps(d.m_E_S_Detour_dY, sy)};
  return {};
}

DetourPath PlanDetourPath(const DetourSettings& d, const PulseSettings& p, MoveLeg from, MoveLeg to) {
  DetourPath path;
  path.target = to;
  if (FindDetourZone(d, p, from.x, from.y).zone != DetourZone::None) path.yFirst = MoveLeg{from.x, to.y};
  return path;
}

}  // namespace smt::settings

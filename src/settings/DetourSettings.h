#pragma once
// Restricted corners of the machine table (section
// [PositionLimitDetourConfig]): a feeder move that starts inside the
// south-west or south-east zone leaves it along Y before travelling along X.
#include <cstdint>
#include <optional>
#include <string>

#include "settings/PulseSettings.h"

namespace smt::settings {

struct DetourSettings {
  double m_W_S_Detour_dX = 0, m_W_S_Detour_dY = 0;
  double m_E_S_Detour_dX = 0, m_E_S_Detour_dY = 0;
  int m_W_S_PositionLimitPositionDetour = 0;
  int m_E_S_PositionLimitPositionDetour = 0;
  double m_W_S_LessPosition_dX = 0, m_W_S_LessPosition_dY = 0;
  double m_E_S_LessPosition_dX = 0, m_E_S_LessPosition_dY = 0;
  double m_E_N_LessPosition_dX = 0, m_E_N_LessPosition_dY = 0;
  bool operator==(const DetourSettings&) const = default;
};

DetourSettings LoadDetourSettings(const std::string& appDir);
bool SaveDetourSettings(const std::string& appDir, const DetourSettings& d);

enum class DetourZone { None, SouthWest, SouthEast };
struct ZoneHit {
  DetourZone zone = DetourZone::None;
  int32_t detourY = 0;  // the zone's detour Y in steps
};
// Which zone the position (steps) lies in; south-west is tested first.
ZoneHit FindDetourZone(const DetourSettings& d, const PulseSettings& p, int32_t x, int32_t y);

// The legs of a feeder move from `from` to `to` (steps): a start inside a
// zone first moves along Y alone to the target's Y; the ordinary XY move to
// the target follows.
struct MoveLeg {
  int32_t x = 0, y = 0;
};
struct DetourPath {
  std::optional<MoveLeg> yFirst;  // present when the start lies in a zone
  MoveLeg target;
};
DetourPath PlanDetourPath(const DetourSettings& d, const PulseSettings& p, MoveLeg from, MoveLeg to);

}  // namespace smt::settings

#pragma once
// The machine geometry in motor steps: travel limits of X, Y and Z and the
// process-wide table of scales, head offsets, nozzle corrections and the
// throw position that the motion, run and feeder code use. Recomputed at
// start-up and whenever the basic or the pulse settings are confirmed.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "settings/BasicSettings.h"
#include "settings/PulseSettings.h"

namespace smt::settings {

struct PulseLimits {
  int32_t m_nXLimitPulse = 0, m_nYLimitPulse = 0, m_nZLimitPulse = 0;
  int32_t m_nXLimitPulseAbs = 0, m_nYLimitPulseAbs = 0;
  bool operator==(const PulseLimits&) const = default;
};

struct PulseTable {
  // Scales copied from the pulse settings.
  double g_dXPulse = 0, g_dYPulse = 0, g_dZPulse = 0, g_dAPulse = 0;
  double g_dWestWalkPulse = 0, g_dWestLiftPulse = 0, g_dNorthWalkPulse = 0, g_dNorthLiftPulse = 0;
  double g_dEastWalkPulse = 0, g_dEastLiftPulse = 0, g_dAutoWalk1Pulse = 0;
  // Offsets in steps.
  int32_t g_nCameraToNozzle1X = 0, g_nCameraToNozzle1Y = 0;
  std::array<int32_t, 9> g_nCorrectionX{}, g_nCorrectionY{};                // entries 1..8
  std::array<int32_t, 9> g_nNozzleToNozzle1X{}, g_nNozzleToNozzle1Y{};      // entries 2..8
  int32_t g_nDropsGlueToNozzle1X = 0, g_nDropsGlueToNozzle1Y = 0;
  int32_t g_nY2ToY1X = 0, g_nY2ToY1Y = 0;
  int32_t g_nThrowX = 0, g_nThrowY = 0;
  bool operator==(const PulseTable&) const = default;
};

PulseLimits ComputePulseLimits(const BasicSettings& b, const PulseSettings& p);
PulseTable ComputePulseTable(const BasicSettings& b, const PulseSettings& p);

// The limits straight from "<dir>/config.ini" (X, Y, Z limits of
// [SetBasicConfig] and scales of [SetPulseConfig], as stored, without fix-ups).
PulseLimits LoadAxisConfig(const std::string& appDir);

}  // namespace smt::settings

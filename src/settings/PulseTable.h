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
  double dXPulse = 0, dYPulse = 0, dZPulse = 0, dAPulse = 0;
  double dWestWalkPulse = 0, dWestLiftPulse = 0, dNorthWalkPulse = 0, dNorthLiftPulse = 0;
  double dEastWalkPulse = 0, dEastLiftPulse = 0, dAutoWalk1Pulse = 0;
  // Offsets in steps.
  int32_t nCameraToNozzle1X = 0, nCameraToNozzle1Y = 0;
  std::array<int32_t, 9> nCorrectionX{}, nCorrectionY{};                // entries 1..8
  std::array<int32_t, 9> nNozzleToNozzle1X{}, nNozzleToNozzle1Y{};      // entries 2..8
  int32_t nDropsGlueToNozzle1X = 0, nDropsGlueToNozzle1Y = 0;
  int32_t nY2ToY1X = 0, nY2ToY1Y = 0;
  int32_t nThrowX = 0, nThrowY = 0;
  bool operator==(const PulseTable&) const = default;
};

PulseLimits ComputePulseLimits(const BasicSettings& b, const PulseSettings& p);
PulseTable ComputePulseTable(const BasicSettings& b, const PulseSettings& p);

// The limits straight from "<dir>/config.ini" (X, Y, Z limits of
// [SetBasicConfig] and scales of [SetPulseConfig], as stored, without fix-ups).
PulseLimits LoadAxisConfig(const std::string& appDir);

}  // namespace smt::settings

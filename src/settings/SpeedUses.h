#pragma once
// The seven speed uses (reset, manual control, picking, mounting, vision
// centring, vision mounting, nozzle change): each names a template and keeps
// its own record of 16 speed pairs in section "<prefix>Config".
#include <array>
#include <string>

#include "settings/SpeedTemplates.h"

namespace smt::settings {

enum class SpeedUse { Reset = 0, Handle, PickPart, Smt, VisualCorrection, VisualSmt, AutoNozzle };
// "m_Reset_Speed" .. "m_AutoNozzle_Speed"
const std::array<const char*, kSpeedUseCount>& SpeedUsePrefixes();

// Reads the 32 keys of the use's section. A missing or zero speed would
// reach the machine as 0: it is read as 1 (logged once per section).
SpeedRecord LoadUsageSpeeds(const std::string& appDir, const std::string& prefix);
// Writes the use's section from a template's speeds.
bool SaveUsageSpeeds(const std::string& appDir, const std::string& prefix, const SpeedRecord& speeds);

using SpeedRecords = std::array<SpeedRecord, kSpeedUseCount>;

}  // namespace smt::settings

#pragma once
// The step geometry of the machine: motor steps per millimetre and per
// degree, the camera and nozzle offsets in steps. Process-wide; filled by
// LoadStepGeometry (BoardGeometry.h) when the settings are read or confirmed,
// read by the board geometry, the current board and the run.
#include <array>
#include <cstdint>

// --- step geometry (filled by LoadStepGeometry) ---
inline double g_dXPulsePerMm = 1.0, g_dYPulsePerMm = 1.0, g_dZPulsePerMm = 1.0, g_dAPulsePerDeg = 1.0;
// West walk, west lift, north walk, north lift, east walk, east lift, auto walk 1.
inline std::array<double, 7> g_dFeedAxisPulse{1, 1, 1, 1, 1, 1, 1};
inline int32_t g_nCameraOffsetX = 0, g_nCameraOffsetY = 0;
inline std::array<int32_t, 8> g_nNozzleCorrectionX{}, g_nNozzleCorrectionY{};  // nozzles 1..8
inline std::array<int32_t, 7> g_nNozzleOffsetX{}, g_nNozzleOffsetY{};          // nozzles 2..8
inline int32_t g_nDispenseHeadOffsetX = 0, g_nDispenseHeadOffsetY = 0;
inline int32_t g_nY2ToY1OffsetX = 0, g_nY2ToY1OffsetY = 0;
inline int32_t g_nThrowPositionX = 0, g_nThrowPositionY = 0;

#pragma once
// The origin update: after the machine's home position moved, one X/Y offset
// is added to the stored coordinates of the groups the operator ticks (the
// current feeder group, the PCB origin, the cameras, the nozzle seats, the
// throw position). The same settings hold the axis switches from which the
// jog panel's installed-head mask is built ([OriginUpdateConfig]).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace smt {
class Machine;
}

namespace smt::library {

inline constexpr int kAxisSwitchCount = 16;
// "m_00_X" .. "m_0F_D2"
const std::array<const char*, kAxisSwitchCount>& AxisSwitchKeys();

struct OriginUpdateSettings {
  double m_OriginOffsetX = 0, m_OriginOffsetY = 0;  // mm, -1..1
  int m_UpdateCurrentFeed = 0, m_UpdatePcbOrigin = 0, m_UpdateCamera = 0, m_UpdateNozzle = 0, m_UpdateThrow = 0;
  std::array<int, kAxisSwitchCount> axes{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};

OriginUpdateSettings LoadOriginUpdate(const std::string& appDir);
void SaveOriginUpdate(const std::string& appDir, const OriginUpdateSettings& s);

// The installed-head bits of the axis switches for the machine type.
uint8_t HeadMaskOfAxes(int machineType, const std::array<int, kAxisSwitchCount>& axes);

// Where each ticked group is shifted. Unset targets are skipped.
struct OriginUpdateTargets {
  std::function<void(double dx, double dy)> shiftCurrentFeeders;  // feeder list: ShiftFeederPositions
  std::function<void(double dx, double dy)> shiftPcbOrigin;       // PCB editor fields and the shown board's record
  std::function<void(double dx, double dy)> shiftCameras;         // camera table: ShiftCameraPositions
  std::function<void(double dx, double dy)> shiftNozzles;         // nozzle library rows
  std::function<void(double dx, double dy)> shiftThrow;           // throw position
  std::function<void(uint8_t mask)> setHeadMask;                  // the jog panel's installed-head mask
  // The homing's copy of the axis switches.
  std::function<void(const std::array<int, kAxisSwitchCount>& axes)> axisSwitchesChanged;
};

// Steps after the settings are written: the ticked groups in order, then the
// head mask cleared and rebuilt from the axis switches.
void ApplyOriginUpdate(const OriginUpdateSettings& s, int machineType, const OriginUpdateTargets& targets);

// The library's own targets: the nozzle rows (and the library lists' copy of them),
// the throw position of the machine settings, the link's head mask.
void ShiftNozzleRows(smt::Machine& machine, double dx, double dy, std::vector<std::string>* frameRows);
void ShiftThrowPosition(smt::Machine& machine, double dx, double dy);

// The settings the view reads at start-up; its load adds the head bits.
OriginUpdateSettings& TheOriginUpdate(smt::Machine& machine);
// Reads `machine`'s settings and adds the head bits of its machine type.
void LoadOriginUpdateAtStartUp(smt::Machine& machine, const std::string& appDir);

}  // namespace smt::library

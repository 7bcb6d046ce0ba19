#include "library/OriginUpdate.h"

#include "library/LibraryRows.h"
#include "library/NozzleRecord.h"

#include "library/NozzleLibrary.h"
#include "link/LinkRuntime.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/SettingsStores.h"
#include "core/Machine.h"

namespace smt::library {

const std::array<const char*, kAxisSwitchCount>& AxisSwitchKeys() {
  static const std::array<const char*, kAxisSwitchCount> keys = {
      "m_00_X", "m_01_Y", "m_02_Z1", "m_03_Z2", "m_04_A1", "m_05_A2", "m_06_A3", "m_07_A4",
      "m_08_W1", "m_09_W2", "m_0A_W3", "m_0B_L1", "m_0C_L2", "m_0D_L3", "m_0E_D1", "m_0F_D2"};
  return keys;
}

OriginUpdateSettings LoadOriginUpdate(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "OriginUpdateConfig");
  OriginUpdateSettings o;
  o.m_OriginOffsetX = smt::settings::ReadConfigNumber(s, "m_OriginOffsetX");
  o.m_OriginOffsetY = smt::settings::ReadConfigNumber(s, "m_OriginOffsetY");
  o.m_UpdateCurrentFeed = smt::settings::ReadConfigInt(s, "m_UpdateCurrentFeed");
  o.m_UpdatePcbOrigin = smt::settings::ReadConfigInt(s, "m_UpdatePcbOrigin");
  o.m_UpdateCamera = smt::settings::ReadConfigInt(s, "m_UpdateCamera");
  o.m_UpdateNozzle = smt::settings::ReadConfigInt(s, "m_UpdateNozzle");
  o.m_UpdateThrow = smt::settings::ReadConfigInt(s, "m_UpdateThrow");
  for (int i = 0; i < kAxisSwitchCount; ++i) o.axes[i] = smt::settings::ReadConfigInt(s, AxisSwitchKeys()[i]);
  return o;
}

void SaveOriginUpdate(const std::string& appDir, const OriginUpdateSettings& o) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "OriginUpdateConfig");
  s.WriteDouble("m_OriginOffsetX", o.m_OriginOffsetX);
  s.WriteDouble("m_OriginOffsetY", o.m_OriginOffsetY);
  s.WriteInt("m_UpdateCurrentFeed", o.m_UpdateCurrentFeed);
  s.WriteInt("m_UpdatePcbOrigin", o.m_UpdatePcbOrigin);
  s.WriteInt("m_UpdateCamera", o.m_UpdateCamera);
  s.WriteInt("m_UpdateNozzle", o.m_UpdateNozzle);
  s.WriteInt("m_UpdateThrow", o.m_UpdateThrow);
  for (int i = 0; i < kAxisSwitchCount; ++i) s.WriteInt(AxisSwitchKeys()[i], o.axes[i]);
}

uint8_t HeadMaskOfAxes(int machineType, const std::array<int, kAxisSwitchCount>& axes) {
  uint8_t mask = 0;
  if (machineType == 7 || machineType == 8) {
    for (int k = 0; k < 8; ++k)
      if (axes[4 + k]) mask |= static_cast<uint8_t>(1u << k);
  } else if (machineType != 9) {
    if (axes[2]) mask |= 0x01;
    if (axes[3]) mask |= 0x02;
  }
  return mask;
}

void ApplyOriginUpdate(const OriginUpdateSettings& s, int machineType, const OriginUpdateTargets& t) {
  const double dx = s.m_OriginOffsetX, dy = s.m_OriginOffsetY;
  if (s.m_UpdateCurrentFeed && t.shiftCurrentFeeders) t.shiftCurrentFeeders(dx, dy);
  if (s.m_UpdatePcbOrigin && t.shiftPcbOrigin) t.shiftPcbOrigin(dx, dy);
  if (s.m_UpdateCamera && t.shiftCameras) t.shiftCameras(dx, dy);
  if (s.m_UpdateNozzle && t.shiftNozzles) t.shiftNozzles(dx, dy);
  if (s.m_UpdateThrow && t.shiftThrow) t.shiftThrow(dx, dy);
  if (t.setHeadMask) t.setHeadMask(HeadMaskOfAxes(machineType, s.axes));
  if (t.axisSwitchesChanged) t.axisSwitchesChanged(s.axes);
}

void ShiftNozzleRows(double dx, double dy, std::vector<std::string>* frameRows) {
  NozzleLibrary& lib = TheNozzleLibrary();
  lib.ShiftNozzlePositions(dx, dy);
  if (frameRows) *frameRows = KeepLinesAsRead<kNozzleCells>(lib.BuildRowStrings(), *frameRows);
}

void ShiftThrowPosition(double dx, double dy) {
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  smt::settings::BasicSettings b = *store.Basic();
  b.m_X_ThrowPosition += dx;
  b.m_Y_ThrowPosition += dy;
  store.SetBasic(b);  // the throw position in steps follows with the geometry
}

OriginUpdateSettings& TheOriginUpdate() {
  return smt::CurrentMachine().Part<OriginUpdateSettings>();
}

void LoadOriginUpdateAtStartUp(const std::string& appDir, int machineType) {
  TheOriginUpdate() = LoadOriginUpdate(appDir);
  auto& mask = smt::link::RuntimeOf(smt::CurrentMachine()).headMask;
  mask = static_cast<uint8_t>(mask.load() | HeadMaskOfAxes(machineType, TheOriginUpdate().axes));
}

}  // namespace smt::library

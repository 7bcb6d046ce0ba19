#include "app/ViewInlineSections.h"

#include "platform/SettingsSection.h"

namespace smt::app {

using platform::ConfigPath;
using platform::SettingsSection;

DippingStationSettings LoadDippingStationSettings(const std::string& appDir) {
  SettingsSection s(ConfigPath(appDir), "DippingStationConfig");
  DippingStationSettings d;
  d.m_DippingStation = s.ReadInt("m_DippingStation");
  d.m_DippingStation_X = s.ReadDouble("m_DippingStation_X");
  d.m_DippingStation_Y = s.ReadDouble("m_DippingStation_Y");
  d.m_DippingStation_Z = s.ReadDouble("m_DippingStation_Z");
  d.m_WaterFilmThickness = s.ReadDouble("m_WaterFilmThickness");
  d.m_DippingStation_RunTime = s.ReadInt("m_DippingStation_RunTime");
  d.m_DippingStation_StopDelay = s.ReadInt("m_DippingStation_StopDelay");
  d.m_DippingStation_Delay = s.ReadInt("m_DippingStation_Delay");
  return d;
}

LampMachineCounters LoadLampMachineCounters(const std::string& appDir) {
  SettingsSection s(ConfigPath(appDir), "LampMachineListConfig");
  LampMachineCounters c;
  c.m_CountSet = s.ReadInt("m_CountSet");
  if (c.m_CountSet == 0) c.m_CountSet = 1;
  c.m_CountFinish = s.ReadInt("m_CountFinish");
  c.m_CountUnfinish = s.ReadInt("m_CountUnfinish");
  return c;
}


}  // namespace smt::app

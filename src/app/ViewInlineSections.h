#pragma once
// Settings sections the main view reads itself at start-up for members
// whose dialogs belong to other subsystems: the dipping station and the
// lamp machine's counters.
#include <string>

namespace smt::app {

struct DippingStationSettings {
  int m_DippingStation = 0;
  double m_DippingStation_X = 0, m_DippingStation_Y = 0, m_DippingStation_Z = 0, m_WaterFilmThickness = 0;
  int m_DippingStation_RunTime = 0, m_DippingStation_StopDelay = 0, m_DippingStation_Delay = 0;
};

struct LampMachineCounters {
  int m_CountSet = 1;  // 0 in the file becomes 1
  int m_CountFinish = 0, m_CountUnfinish = 0;
};


DippingStationSettings LoadDippingStationSettings(const std::string& appDir);
LampMachineCounters LoadLampMachineCounters(const std::string& appDir);

}  // namespace smt::app

#pragma once
// The conveyor's settings, section [AutoTransportConfig] of config.ini:
// speeds, jog step, clamp time, the belt travels of the four zone steps,
// whether a conveyor is fitted and the width axis values.
#include <string>

namespace smt {
class Machine;
}

namespace smt::stations {

struct ConveyorSettings {
  int m_ConveyorStartSpeed = 0;
  int m_ConveyorNormalSpeed = 0;
  int m_StepValue = 1;
  int m_ClampTime = 100;
  int m_WaitTimeOut = 0;
  // Belt N travel (mm) in the M-th zone step in which belt N runs.
  double m_AutoTransport_1_1 = 0, m_AutoTransport_1_2 = 0;
  double m_AutoTransport_2_1 = 0, m_AutoTransport_2_2 = 0;
  double m_AutoTransport_3_1 = 0, m_AutoTransport_3_2 = 0;
  int m_AutoTransport = 0;
  int m_Reset = 0;
  double m_ResetWidth = 0;
  double m_SetWidth = 0;
  int m_MinRange = 0, m_MaxRange = 0;

  // Missing keys read as 0; speeds and the jog step below 1 become 1.
  static ConveyorSettings Load(const std::string& appDir);
  // The 17 keys in their order; false when the file could not be written.
  bool Save(const std::string& appDir) const;

  // Width checks of the go-to-width and width up/down buttons.
  bool WidthRangeValid() const { return m_MinRange < m_MaxRange; }
  bool WidthInRange(double width) const {
    return WidthRangeValid() && width >= m_MinRange && width <= m_MaxRange;
  }
};

// Pulse counts of the belts and the width (mm x pulses per mm, truncated).
struct ConveyorPulses {
  double belt1 = 0, belt2 = 0, belt3 = 0, width = 0;  // pulses per mm
  // From `machine`'s pulse settings.
  static ConveyorPulses FromSettingsStore(smt::Machine& machine);
};
int ToPulses(double mm, double pulsesPerMm);

}  // namespace smt::stations

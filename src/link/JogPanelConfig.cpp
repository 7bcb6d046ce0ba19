#include "link/JogPanelConfig.h"

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::link {

JogPanelConfig LoadJogPanelConfig(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "ManualControlConfig");
  using smt::settings::ReadConfigInt;
  JogPanelConfig c;
  c.steps.m_SpeedGears = ReadConfigInt(s, "m_SpeedGears");
  c.steps.m_XY_RunSteps = ReadConfigInt(s, "m_XY_RunSteps");
  c.steps.m_Z_RunSteps = ReadConfigInt(s, "m_Z_RunSteps");
  c.steps.m_A_RunSteps = ReadConfigInt(s, "m_A_RunSteps");
  c.steps.m_Feed_RunSteps = ReadConfigInt(s, "m_Feed_RunSteps");
  c.steps.m_S_RunSteps = ReadConfigInt(s, "m_S_RunSteps");
  c.feedDirection = ReadConfigInt(s, "m_Feed_Direction");
  c.comNumber = ReadConfigInt(s, "m_ComNumber");
  c.showInformation = ReadConfigInt(s, "m_bShowInformation");
  return c;
}

}  // namespace smt::link

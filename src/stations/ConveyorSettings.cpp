#include "stations/ConveyorSettings.h"

#include <cmath>
#include <limits>

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/SettingsStores.h"

namespace smt::stations {

using smt::platform::ConfigPath;
using smt::platform::SettingsSection;

namespace {
constexpr const char* kSection = "AutoTransportConfig";
}

ConveyorSettings ConveyorSettings::Load(const std::string& appDir) {
  SettingsSection s(ConfigPath(appDir), kSection);
  ConveyorSettings c;
  c.m_ConveyorStartSpeed = std::max(1, smt::settings::ReadConfigInt(s, "m_ConveyorStartSpeed"));
  c.m_ConveyorNormalSpeed = std::max(1, smt::settings::ReadConfigInt(s, "m_ConveyorNormalSpeed"));
  c.m_StepValue = std::max(1, smt::settings::ReadConfigInt(s, "m_StepValue"));
  c.m_ClampTime = smt::settings::ReadConfigInt(s, "m_ClampTime");
  c.m_WaitTimeOut = smt::settings::ReadConfigInt(s, "m_WaitTimeOut");
  c.m_AutoTransport_1_1 = smt::settings::ReadConfigNumber(s, "m_AutoTransport_1_1");
  c.m_AutoTransport_1_2 = smt::settings::ReadConfigNumber(s, "m_AutoTransport_1_2");
  c.m_AutoTransport_2_1 = smt::settings::ReadConfigNumber(s, "m_AutoTransport_2_1");
  c.m_AutoTransport_2_2 = smt::settings::ReadConfigNumber(s, "m_AutoTransport_2_2");
  c.m_AutoTransport_3_1 = smt::settings::ReadConfigNumber(s, "m_AutoTransport_3_1");
  c.m_AutoTransport_3_2 = smt::settings::ReadConfigNumber(s, "m_AutoTransport_3_2");
  c.m_AutoTransport = smt::settings::ReadConfigInt(s, "m_AutoTransport");
  c.m_Reset = smt::settings::ReadConfigInt(s, "m_Reset");
  c.m_ResetWidth = smt::settings::ReadConfigNumber(s, "m_ResetWidth");
  c.m_SetWidth = smt::settings::ReadConfigNumber(s, "m_SetWidth");
  c.m_MinRange = static_cast<int>(smt::settings::ReadConfigNumber(s, "m_MinRange"));
  c.m_MaxRange = static_cast<int>(smt::settings::ReadConfigNumber(s, "m_MaxRange"));
  return c;
}

bool ConveyorSettings::Save(const std::string& appDir) const {
  SettingsSection s(ConfigPath(appDir), kSection);
  bool ok = true;
  ok &= s.WriteInt("m_ConveyorStartSpeed", m_ConveyorStartSpeed);
  ok &= s.WriteInt("m_ConveyorNormalSpeed", m_ConveyorNormalSpeed);
  ok &= s.WriteInt("m_StepValue", m_StepValue);
  ok &= s.WriteInt("m_ClampTime", m_ClampTime);
  ok &= s.WriteInt("m_WaitTimeOut", m_WaitTimeOut);
  ok &= s.WriteDouble("m_AutoTransport_1_1", m_AutoTransport_1_1);
  ok &= s.WriteDouble("m_AutoTransport_1_2", m_AutoTransport_1_2);
  ok &= s.WriteDouble("m_AutoTransport_2_1", m_AutoTransport_2_1);
  ok &= s.WriteDouble("m_AutoTransport_2_2", m_AutoTransport_2_2);
  ok &= s.WriteDouble("m_AutoTransport_3_1", m_AutoTransport_3_1);
  ok &= s.WriteDouble("m_AutoTransport_3_2", m_AutoTransport_3_2);
  ok &= s.WriteInt("m_AutoTransport", m_AutoTransport);
  ok &= s.WriteInt("m_Reset", m_Reset);
  ok &= s.WriteDouble("m_ResetWidth", m_ResetWidth);
  ok &= s.WriteDouble("m_SetWidth", m_SetWidth, 2);
  ok &= s.WriteInt("m_MinRange", m_MinRange);
  ok &= s.WriteInt("m_MaxRange", m_MaxRange);
  return ok;
}

int ToPulses(double mm, double pulsesPerMm) {
  const double v = std::trunc(mm * pulsesPerMm);
  // A travel beyond the 32-bit field is clamped, never wrapped into a move the
  // other way.
  if (!std::isfinite(v)) return 0;
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int>(v);
}

ConveyorPulses ConveyorPulses::FromSettingsStore(smt::Machine& machine) {
  ConveyorPulses p;
  if (auto s = smt::settings::SettingsStores::Of(machine).machine.Pulse()) {
    p.belt1 = s->m_WestLift_Pulse;
    p.belt2 = s->m_NorthLift_Pulse;
    p.belt3 = s->m_EastLift_Pulse;
    p.width = s->m_AutoWalk1_Pulse;
  }
  return p;
}

}  // namespace smt::stations

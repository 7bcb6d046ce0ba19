#include "link/MotionSettings.h"

#include <cmath>
#include <mutex>

#include "core/Machine.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/SettingsStores.h"

namespace smt::link {
namespace {

// The machine's motion settings.
smt::Guarded<MotionSettings>& MotionOf(smt::Machine& machine) { return machine.Part<smt::Guarded<MotionSettings>>(); }

}  // namespace

MotionSettings GetMotionSettings(smt::Machine& machine) {
  auto& m = MotionOf(machine);
  std::lock_guard lk(m.mutex);
  return m.value;
}


namespace {
void Normalise(MotionSettings& m) {
  if (m.accelSpeed == 0) m.accelSpeed = 100;
  if (m.maxSpeedLimitValue <= 0) m.maxSpeedLimitValue = 32;
  if (m.feedDelayMs == 0) m.feedDelayMs = 200;
  if (m.aRevolution <= 0) m.aRevolution = 1;
}
}  // namespace

void SetMotionSettings(smt::Machine& machine, const MotionSettings& s) {
  auto& motion = MotionOf(machine);
  std::lock_guard lk(motion.mutex);
  motion.value = s;
  Normalise(motion.value);
}


void UpdateMotionSettings(smt::Machine& machine, const std::function<void(MotionSettings&)>& change) {
  auto& motion = MotionOf(machine);
  std::lock_guard lk(motion.mutex);
  change(motion.value);
  Normalise(motion.value);
}

const std::array<const char*, 16>& OriginUpdateKeys() {
  static const std::array<const char*, 16> keys = {"m_00_X",  "m_01_Y",  "m_02_Z1", "m_03_Z2", "m_04_A1", "m_05_A2",
                                                   "m_06_A3", "m_07_A4", "m_08_W1", "m_09_W2", "m_0A_W3", "m_0B_L1",
                                                   "m_0C_L2", "m_0D_L3", "m_0E_D1", "m_0F_D2"};
  return keys;
}


void ApplyStoreValuesFrom(MotionSettings& m, smt::settings::SettingsStores& stores) {
  if (auto g = stores.machine.Geometry()) {
    m.xLimit = g->limits.m_nXLimitPulse;
    m.yLimit = g->limits.m_nYLimitPulse;
    m.zLimit = g->limits.m_nZLimitPulse;
    m.xLimitAbs = g->limits.m_nXLimitPulseAbs;
    m.yLimitAbs = g->limits.m_nYLimitPulseAbs;
    m.xPulse = g->table.dXPulse;
    m.yPulse = g->table.dYPulse;
    m.zPulse = g->table.dZPulse;
    m.aPulse = g->table.dAPulse;
  }
  if (auto b = stores.machine.Basic()) {
    m.suctionNozzleOffset = b->m_SuctionNozzleOffset != 0;
    for (int n = 1; n <= 8; ++n) m.suctionNozzleValue[n - 1] = b->SuctionNozzleValue(n);
    m.exhaust = b->m_Exhaust;
    m.onlineToReset = b->m_OnlineToReset != 0;
    m.debugModel = b->m_DebugModel != 0;
    m.resetToVisualOrigin = b->m_ResetToVisualOrigin != 0;
  }
  if (auto speed = stores.speed.Get()) {
    m.optimizeFarSpeed = speed->settings.m_bOptimizeFarSpeed != 0;
    m.accelSpeed = speed->settings.m_AccelSpeed;
    m.maxSpeedLimit = speed->settings.m_bMaxSpeedLimit != 0;
    m.maxSpeedLimitValue = speed->settings.m_MaxSpeedLimitValue;
    m.aRevolution = speed->settings.m_A_RunFast;
    const auto& reset = speed->records[static_cast<int>(smt::settings::SpeedUse::Reset)];
    for (size_t i = 0; i < m.resetSpeed.size() && i < reset.size(); ++i)
      m.resetSpeed[i] = {reset[i].start, reset[i].normal};
  }
}

MotionSettings LoadMotionSettings(smt::Machine& machine, const std::string& appDir) {
  MotionSettings m;
  ApplyStoreValuesFrom(m, smt::settings::SettingsStores::Of(machine));
  ApplyFileValues(m, appDir);
  return m;
}

void ApplyFileValues(MotionSettings& m, const std::string& appDir) {
  using smt::platform::ConfigPath;
  using smt::platform::SettingsSection;
  const std::string config = ConfigPath(appDir);
  SettingsSection origin(config, "OriginUpdateConfig");
  // A missing or empty axis switch keeps the axis in the homing (1).
  for (size_t i = 0; i < 16; ++i) {
    m.originUpdate[i] = smt::settings::ReadConfigInt(origin, OriginUpdateKeys()[i]) != 0;
  }
  m.feedDelayMs = smt::settings::ReadConfigInt(SettingsSection(config, "AutoFeedConfig"), "m_Feed_Delay");
  SettingsSection transport(config, "AutoTransportConfig");
  m.conveyorWaitTimeOut = smt::settings::ReadConfigInt(transport, "m_WaitTimeOut");
  m.conveyorStartSpeed = smt::settings::ReadConfigInt(transport, "m_ConveyorStartSpeed");
  m.conveyorNormalSpeed = smt::settings::ReadConfigInt(transport, "m_ConveyorNormalSpeed");
  m.autoTransport = smt::settings::ReadConfigInt(transport, "m_AutoTransport") != 0;
  m.runSelect = smt::settings::ReadConfigInt(SettingsSection(config, "SmtStrategyConfig"), "m_RunSelect");
  m.showPulse = smt::settings::ReadConfigInt(SettingsSection(config, "ManualControlConfig"), "m_bShowPulse") != 0;
}

}  // namespace smt::link

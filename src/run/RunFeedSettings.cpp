#include "run/RunFeedSettings.h"

#include <mutex>

#include "core/Machine.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::run {

namespace {
constexpr const char* kSection = "RunFeedConfig";
// The machine's run feed settings.
smt::Guarded<RunFeedSettings>& Current(smt::Machine& m) { return m.Part<smt::Guarded<RunFeedSettings>>(); }
}  // namespace

RunFeedSettings LoadRunFeedSettings(const std::string& appDir) {
  smt::platform::SettingsSection cfg(smt::platform::ConfigPath(appDir), kSection);
  RunFeedSettings d, s;
  auto i = [&](const char* key, int def) {
    const int v = smt::settings::ReadConfigInt(cfg, key);
    return v == 0 ? def : v;
  };
  s.m_DragPinIn = i("m_DragPinIn", d.m_DragPinIn);
  s.m_DragPinOut = i("m_DragPinOut", d.m_DragPinOut);
  const double p = smt::settings::ReadConfigNumber(cfg, "m_LabelTape_Pulse");
  s.m_LabelTape_Pulse = p == 0.0 ? d.m_LabelTape_Pulse : p;
  s.m_LabelTapeStart = i("m_LabelTapeStart", d.m_LabelTapeStart);
  s.m_LabelTapeNormal = i("m_LabelTapeNormal", d.m_LabelTapeNormal);
  return s;
}

bool SaveRunFeedSettings(const std::string& appDir, const RunFeedSettings& s) {
  smt::platform::SettingsSection cfg(smt::platform::ConfigPath(appDir), kSection);
  return cfg.WriteInt("m_DragPinIn", s.m_DragPinIn) && cfg.WriteInt("m_DragPinOut", s.m_DragPinOut) &&
         cfg.WriteDouble("m_LabelTape_Pulse", s.m_LabelTape_Pulse) &&
         cfg.WriteInt("m_LabelTapeStart", s.m_LabelTapeStart) && cfg.WriteInt("m_LabelTapeNormal", s.m_LabelTapeNormal);
}

RunFeedSettings CurrentRunFeedSettings(smt::Machine& m) {
  std::lock_guard lk(Current(m).mutex);
  return Current(m).value;
}

void SetRunFeedSettings(smt::Machine& m, const RunFeedSettings& s) {
  auto& current = Current(m);
  std::lock_guard lk(current.mutex);
  current.value = s;
}

}  // namespace smt::run

#include "stations/DippingStation.h"

#include <cstdio>
#include <cstdlib>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "feeder/FeederTestThread.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "platform/DecimalRounding.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "stations/StationPart.h"

namespace smt::stations {

using smt::platform::ConfigPath;
using smt::platform::SettingsSection;

namespace {
constexpr const char* kSection = "DippingStationConfig";
// The dipping starter the shell installed on the machine.
struct InstalledStarter {
  std::mutex mutex;
  std::function<void(int)> start;
};
InstalledStarter& Starter(smt::Machine& machine) { return machine.Part<InstalledStarter>(); }

std::string Fixed4(double v) {
  return smt::platform::FormatDouble(v, 4);  // never cut short
}
}  // namespace

DippingStationSettings DippingStationSettings::Load(const std::string& appDir) {
  SettingsSection s(ConfigPath(appDir), kSection);
  DippingStationSettings d;
  d.m_DippingStation = smt::settings::ReadConfigInt(s, "m_DippingStation");
  d.m_DippingStation_X = smt::settings::ReadConfigNumber(s, "m_DippingStation_X");
  d.m_DippingStation_Y = smt::settings::ReadConfigNumber(s, "m_DippingStation_Y");
  d.m_DippingStation_Z = smt::settings::ReadConfigNumber(s, "m_DippingStation_Z");
  d.m_WaterFilmThickness = smt::settings::ReadConfigNumber(s, "m_WaterFilmThickness");
  d.m_DippingStation_RunTime = smt::settings::ReadConfigInt(s, "m_DippingStation_RunTime");
  d.m_DippingStation_StopDelay = smt::settings::ReadConfigInt(s, "m_DippingStation_StopDelay");
  d.m_DippingStation_Delay = smt::settings::ReadConfigInt(s, "m_DippingStation_Delay");
  return d;
}

bool DippingStationSettings::Save(const std::string& appDir) const {
  SettingsSection s(ConfigPath(appDir), kSection);
  bool ok = s.WriteInt("m_DippingStation", m_DippingStation);
  ok &= s.WriteDouble("m_DippingStation_X", m_DippingStation_X);
  ok &= s.WriteDouble("m_DippingStation_Y", m_DippingStation_Y);
  ok &= s.WriteDouble("m_DippingStation_Z", m_DippingStation_Z);
  ok &= s.WriteDouble("m_WaterFilmThickness", m_WaterFilmThickness);
  ok &= s.WriteInt("m_DippingStation_RunTime", m_DippingStation_RunTime);
  ok &= s.WriteInt("m_DippingStation_StopDelay", m_DippingStation_StopDelay);
  ok &= s.WriteInt("m_DippingStation_Delay", m_DippingStation_Delay);
  return ok;
}

std::string DippingStationSettings::CheckRanges() const {
  struct R {
    const char* key;
    double v, lo, hi;
  };
  const R r[] = {{"m_DippingStation_X", m_DippingStation_X, 0, 1000},
                 {"m_DippingStation_Y", m_DippingStation_Y, -1000, 0},
                 {"m_DippingStation_Z", m_DippingStation_Z, -100, 0},
                 {"m_WaterFilmThickness", m_WaterFilmThickness, 0, 3},
                 {"m_DippingStation_RunTime", double(m_DippingStation_RunTime), 0, 10000},
                 {"m_DippingStation_StopDelay", double(m_DippingStation_StopDelay), 0, 10000},
                 {"m_DippingStation_Delay", double(m_DippingStation_Delay), 0, 10000}};
  for (const auto& x : r)
    if (!(x.v >= x.lo && x.v <= x.hi)) return x.key;
  return {};
}

double TeachValue(int32_t pulses, double pulsesPerMm) {
  if (pulsesPerMm == 0.0) pulsesPerMm = 1.0;
  double v = smt::platform::RoundDecimals(pulses / pulsesPerMm, 4);
  if (v > 0) v += 0.0001;
  else if (v < 0) v -= 0.0001;
  return smt::platform::RoundDecimals(v, 4);
}

std::string TeachText(int32_t pulses, double pulsesPerMm) { return Fixed4(TeachValue(pulses, pulsesPerMm)); }

DippingStation& DippingStation::Of(smt::Machine& machine) { return StationOf<DippingStation>(machine); }

DippingStationSettings DippingStation::Settings() const {
  std::lock_guard lk(m_);
  return settings_;
}
void DippingStation::SetSettings(const DippingStationSettings& s) {
  std::lock_guard lk(m_);
  settings_ = s;
}
void DippingStation::SetMeasuredZView(std::function<void(double)> view) {
  std::lock_guard lk(m_);
  zView_ = std::move(view);
}

bool DippingStation::Operate() {
  // The flag says which way this press goes: set -> on (and clear it).
  const bool on = switchFlag_.load();
  switchFlag_ = !on;
  const int type = machine_.machineType.load();
  if (type == 7 || type == 8) return true;
  return smt::link::SetOutput(machine_, 10, on ? 1 : 0, 5);
}

bool DippingStation::StartTask(int mode) {
  if (mode != -2 && mode != -3) return false;
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return false;
  for (const auto& z : machine_.curZ) {
    if (z.load() != 0) {
      smt::platform::ShowMessage(smt::link::kErrorE3);
      return false;
    }
  }
  std::function<void(int)> start;
  {
    std::lock_guard lk(Starter(machine_).mutex);
    start = Starter(machine_).start;
  }
  if (start) start(mode);
  else smt::feeder::StartDippingStationTest(machine_, mode);
  return true;
}

void DippingStation::OnMeasuredZ(double z) {
  std::function<void(double)> view;
  {
    std::lock_guard lk(m_);
    settings_.m_DippingStation_Z = z;
    view = zView_;
  }
  if (dialogOpen_.load() && view) view(z);
}

void SetDippingTaskStarter(smt::Machine& machine, std::function<void(int)> starter) {
  std::lock_guard lk(Starter(machine).mutex);
  Starter(machine).start = std::move(starter);
}

}  // namespace smt::stations

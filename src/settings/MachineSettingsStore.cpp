#include "settings/MachineSettingsStore.h"

#include "core/LogFile.h"

namespace smt::settings {

void MachineSettingsStore::SetLensCalibrationLoader(LensCalibrationLoader loader) {
  std::lock_guard lock(hooksM_);
  lensLoader_ = std::move(loader);
}

int MachineSettingsStore::AddGeometryListener(std::function<void()> listener) {
  return listeners_.Add(std::move(listener));
}

void MachineSettingsStore::RemoveGeometryListener(int id) { listeners_.Remove(id); }

void MachineSettingsStore::RecomputeGeometry() {
  auto b = basic_.Get();
  auto p = pulse_.Get();
  geometry_.Set(PulseGeometry{ComputePulseLimits(*b, *p), ComputePulseTable(*b, *p)});
}

void MachineSettingsStore::NotifyGeometry() { listeners_.Notify(); }

void MachineSettingsStore::LoadAll(const std::string& appDir) {
  LensCalibrationLoader loader;
  {
    std::lock_guard lock(hooksM_);
    loader = lensLoader_;
  }
  basic_.Set(LoadBasicSettings(appDir, loader));
  pulse_.Set(LoadPulseSettings(appDir));
  detour_.Set(LoadDetourSettings(appDir));
  RecomputeGeometry();
  NotifyGeometry();
}

CommitResult MachineSettingsStore::CommitBasic(const std::string& appDir, BasicSettings edited) {
  CommitResult r;
  if (auto bad = FirstBasicFieldOutOfRange(edited)) {
    r.badField = *bad;
    return r;
  }
  LensCalibrationLoader loader;
  {
    std::lock_guard lock(hooksM_);
    loader = lensLoader_;
  }
  ApplyLensCalibration(edited, loader);
  r.saveFailed = !SaveBasicSettings(appDir, edited);
  if (r.saveFailed) CLogFile::Instance().Write(true, "SetBasicConfig: the settings file could not be written");
  basic_.Set(std::move(edited));
  RecomputeGeometry();
  NotifyGeometry();
  r.ok = true;
  return r;
}

CommitResult MachineSettingsStore::CommitPulse(const std::string& appDir, const PulseSettings& edited) {
  CommitResult r;
  if (auto bad = FirstPulseOutOfRange(edited)) {
    r.badField = *bad;
    return r;
  }
  r.saveFailed = !SavePulseSettings(appDir, edited);
  if (r.saveFailed) CLogFile::Instance().Write(true, "SetPulseConfig: the settings file could not be written");
  pulse_.Set(edited);
  RecomputeGeometry();
  NotifyGeometry();
  r.ok = true;
  return r;
}

CommitResult MachineSettingsStore::CommitDetour(const std::string& appDir, const DetourSettings& edited) {
  CommitResult r;
  r.saveFailed = !SaveDetourSettings(appDir, edited);
  detour_.Set(edited);
  NotifyGeometry();
  r.ok = true;
  return r;
}

void MachineSettingsStore::SetMeasurementHeight(double mm) {
  basic_.Update([&](BasicSettings& b) { b.m_Z_Measurement = mm; });
}

bool MachineSettingsStore::SetCameraOffset(const std::string& appDir, double xMm, double yMm) {
  basic_.Update([&](BasicSettings& b) {
    b.m_X_CameraToNozzle1 = xMm;
    b.m_Y_CameraToNozzle1 = yMm;
  });
  RecomputeGeometry();
  const bool saved = SaveBasicSettings(appDir, *basic_.Get());
  NotifyGeometry();
  return saved;
}

void MachineSettingsStore::SetBasic(BasicSettings b) {
  basic_.Set(std::move(b));
  RecomputeGeometry();
}

void MachineSettingsStore::SetPulse(PulseSettings p) {
  pulse_.Set(std::move(p));
  RecomputeGeometry();
}

}  // namespace smt::settings

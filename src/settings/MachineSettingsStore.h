#pragma once
// The machine settings of every subsystem's reading: the basic settings,
// the axis scales, the detour zones and what follows from them in motor
// steps (travel limits and the pulse table). Each is published as a whole:
// a reader on any thread gets a consistent copy; the window thread commits
// a dialog's checked copy in one step.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "settings/BasicSettings.h"
#include "settings/DetourSettings.h"
#include "settings/Listeners.h"
#include "settings/PulseSettings.h"
#include "settings/PulseTable.h"
#include "settings/Snapshot.h"

namespace smt::settings {

struct PulseGeometry {
  PulseLimits limits;
  PulseTable table;
};

struct CommitResult {
  bool ok = false;
  std::string badField;  // key of the first field outside its range
  bool saveFailed = false;
};

class MachineSettingsStore {
 public:
  std::shared_ptr<const BasicSettings> Basic() const { return basic_.Get(); }
  std::shared_ptr<const PulseSettings> Pulse() const { return pulse_.Get(); }
  std::shared_ptr<const DetourSettings> Detour() const { return detour_.Get(); }
  std::shared_ptr<const PulseGeometry> Geometry() const { return geometry_.Get(); }

  // The camera code's lens calibration (tried at loading and on OK).
  void SetLensCalibrationLoader(LensCalibrationLoader loader);
  // Called when the settings arrive at start-up and after every commit of
  // the basic, pulse or detour settings and every new camera offset (step
  // geometry, head layout, nozzle positions, the link's limits and switches
  // of other subsystems). Returns an id for RemoveGeometryListener.
  int AddGeometryListener(std::function<void()> listener);
  void RemoveGeometryListener(int id);

  // Start-up: [SetBasicConfig], [SetPulseConfig], [PositionLimitDetourConfig],
  // then the limits and the pulse table; the listeners are told.
  void LoadAll(const std::string& appDir);

  // A dialog's OK: every field is checked first; a refused copy leaves the
  // store and the file exactly as they were.
  CommitResult CommitBasic(const std::string& appDir, BasicSettings edited);
  CommitResult CommitPulse(const std::string& appDir, const PulseSettings& edited);
  CommitResult CommitDetour(const std::string& appDir, const DetourSettings& edited);

  // The height measurement's result (m_Z_Measurement), from its worker.
  void SetMeasurementHeight(double mm);
  // The camera panel's Mark measurement: new camera offset, saved at once.
  bool SetCameraOffset(const std::string& appDir, double xMm, double yMm);

  // Tests: replace values without files.
  void SetBasic(BasicSettings b);
  void SetPulse(PulseSettings p);
  void SetDetour(DetourSettings d) { detour_.Set(std::move(d)); }

  // The zero point of the one-key zero command (X, Y, X2, Y2 in steps); not stored.
  std::atomic<int32_t> m_ZeroPoint[4] = {};
  // True while the basic settings dialog is shown.
  std::atomic<bool> m_bDialogOpen{false};

 private:
  void RecomputeGeometry();
  void NotifyGeometry();

  Snapshot<BasicSettings> basic_;
  Snapshot<PulseSettings> pulse_;
  Snapshot<DetourSettings> detour_;
  Snapshot<PulseGeometry> geometry_;
  std::mutex hooksM_;
  LensCalibrationLoader lensLoader_;
  Listeners<> listeners_;
};

}  // namespace smt::settings

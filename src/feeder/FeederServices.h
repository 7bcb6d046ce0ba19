#pragma once
// What the feeders use of subsystems they do not own: the camera panel, the
// nozzle library and placement strategy, the run engine's pick test, the
// dipping station, the settings dialog, the part list and the library row
// holders. The shell installs them; a missing service does nothing (and
// reads as empty, off or not found).
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace smt::feeder {

struct VisionCameraInfo {
  int32_t x = 0, y = 0;  // position in steps
  int light = 0;         // stored light value
  double viewSize = 0;   // stored view size (mm)
};

struct DippingStationPosition {
  double x = 0, y = 0, z = 0, filmThickness = 0;
};

struct FeederServices {
  // Camera panel.
  std::function<void()> openMarkCameraWithFeederLight;  // one-shot feeder light, then the Mark camera
  std::function<void(int contrast, int brightness, int feature, double viewSize, double viewBox)> showVisualParameters;
  std::function<std::optional<VisionCameraInfo>(int camera)> visionCamera;  // 1 or 2
  std::function<void(int mode, const std::string& name)> templateCommand;   // 3 capture, 4 find
  std::function<void(const std::string& feature)> setImageFeature;
  std::function<std::pair<int, int>()> cameraContrastBrightness;
  // Nozzle library and placement strategy.
  std::function<bool()> autoChangeNozzle;
  std::function<bool()> nozzleLibrary19;
  std::function<int(int head)> headNozzle;  // nozzle held by head 1..8, 0 none
  std::function<bool(int head, int nozzle)> pickNozzleFromLibrary;
  std::function<bool(int head)> returnNozzleToLibrary;
  std::function<std::string(int index)> nozzleNote;
  // The insertion machine's pick test of the run engine.
  std::function<void(int head, int camera, const std::string& feederNumber)> pickFromFeederTest;
  // Dipping station: its position, and the measured Z (stored; shown while its dialog is open).
  std::function<std::optional<DippingStationPosition>()> dippingStation;
  std::function<void(double z)> dippingZMeasured;
  // Settings dialog: show a measured height while it is open.
  std::function<void(double mm)> showMeasurementHeight;
  // Part list.
  std::function<void(const std::string& oldNumber, const std::string& newNumber, int visionMode,
                     const std::string& value, const std::string& head)>
      updateRowsForFeeder;
  std::function<std::vector<std::string>()> placementFeederNumbers;
  std::function<void(const std::string& newNumber)> replacePartEditorFeeder;
  std::function<bool()> partListEditLock;
  // Jog panel: a jog (held: until released; bySteps: one move of `steps`),
  // the release that ends a held jog, the next speed gear, the Z homing
  // (reset mode 3) and the clearing of its two lift-state flags.
  std::function<void(int axis, bool positive, bool held, bool bySteps, int steps)> jog;
  std::function<void()> jogRelease;
  std::function<void()> nextSpeedGear;
  std::function<void()> homeZ;
  std::function<void()> clearLiftFlags;
  std::function<int()> platformChoice;  // lamp machine: 1 or 2
  // Library rows (the frame's holders) and the camera table's names.
  std::function<std::vector<std::string>()> packRows;
  std::function<void(std::vector<std::string>)> setPackRows;
  std::function<std::vector<std::string>()> dropDownLists;
  std::function<std::vector<std::string>()> cameraNames;
};

FeederServices GetFeederServices();
void SetFeederServices(const FeederServices& s);

}  // namespace smt::feeder

#pragma once
// What the feeders use of subsystems they do not own: the camera panel, the
// nozzle library and placement strategy, the run engine's pick test, the
// dipping station, the settings dialog, the part list and the library row
// holders. The shell connects them; calling one nobody connected fails
// loudly with its name (platform/Hooks.h).
#include <functional>

#include "platform/Hooks.h"
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
  smt::platform::Hook<void()> openMarkCameraWithFeederLight{"FeederServices.openMarkCameraWithFeederLight"};  // one-shot feeder light, then the Mark camera
  smt::platform::Hook<void(int contrast, int brightness, int feature, double viewSize, double viewBox)> showVisualParameters{"FeederServices.showVisualParameters"};
  smt::platform::Hook<std::optional<VisionCameraInfo>(int camera)> visionCamera{"FeederServices.visionCamera"};  // 1 or 2
  smt::platform::Hook<void(int mode, const std::string& name)> templateCommand{"FeederServices.templateCommand"};   // 3 capture, 4 find
  smt::platform::Hook<void(const std::string& feature)> setImageFeature{"FeederServices.setImageFeature"};
  smt::platform::Hook<std::pair<int, int>()> cameraContrastBrightness{"FeederServices.cameraContrastBrightness"};
  // Nozzle library and placement strategy.
  smt::platform::Hook<bool()> autoChangeNozzle{"FeederServices.autoChangeNozzle"};
  smt::platform::Hook<bool()> nozzleLibrary19{"FeederServices.nozzleLibrary19"};
  smt::platform::Hook<int(int head)> headNozzle{"FeederServices.headNozzle"};  // nozzle held by head 1..8, 0 none
  smt::platform::Hook<bool(int head, int nozzle)> pickNozzleFromLibrary{"FeederServices.pickNozzleFromLibrary"};
  smt::platform::Hook<bool(int head)> returnNozzleToLibrary{"FeederServices.returnNozzleToLibrary"};
  smt::platform::Hook<std::string(int index)> nozzleNote{"FeederServices.nozzleNote"};
  // The insertion machine's pick test of the run engine.
  smt::platform::Hook<void(int head, int camera, const std::string& feederNumber)> pickFromFeederTest{"FeederServices.pickFromFeederTest"};
  // Dipping station: its position, and the measured Z (stored; shown while its dialog is open).
  smt::platform::Hook<std::optional<DippingStationPosition>()> dippingStation{"FeederServices.dippingStation"};
  smt::platform::Hook<void(double z)> dippingZMeasured{"FeederServices.dippingZMeasured"};
  // Settings dialog: show a measured height while it is open.
  smt::platform::Hook<void(double mm)> showMeasurementHeight{"FeederServices.showMeasurementHeight"};
  // Part list.
  smt::platform::Hook<void(const std::string& oldNumber, const std::string& newNumber, int visionMode, const std::string& value, const std::string& head)> updateRowsForFeeder{"FeederServices.updateRowsForFeeder"};
  smt::platform::Hook<std::vector<std::string>()> placementFeederNumbers{"FeederServices.placementFeederNumbers"};
  smt::platform::Hook<void(const std::string& newNumber)> replacePartEditorFeeder{"FeederServices.replacePartEditorFeeder"};
  smt::platform::Hook<bool()> partListEditLock{"FeederServices.partListEditLock"};
  // The view: the feeder list panel shown in the part list's place.
  smt::platform::Hook<void()> showFeederList{"FeederServices.showFeederList"};
  // Jog panel: a jog (held: until released; bySteps: one move of `steps`),
  // the release that ends a held jog, the next speed gear, the Z homing
  // (reset mode 3) and the clearing of its two lift-state flags.
  smt::platform::Hook<void(int axis, bool positive, bool held, bool bySteps, int steps)> jog{"FeederServices.jog"};
  smt::platform::Hook<void()> jogRelease{"FeederServices.jogRelease"};
  smt::platform::Hook<void()> nextSpeedGear{"FeederServices.nextSpeedGear"};
  smt::platform::Hook<void()> homeZ{"FeederServices.homeZ"};
  smt::platform::Hook<void()> clearLiftFlags{"FeederServices.clearLiftFlags"};
  smt::platform::Hook<int()> platformChoice{"FeederServices.platformChoice"};  // lamp machine: 1 or 2
  // Library rows (the frame's holders) and the camera table's names.
  smt::platform::Hook<std::vector<std::string>()> packRows{"FeederServices.packRows"};
  smt::platform::Hook<void(std::vector<std::string>)> setPackRows{"FeederServices.setPackRows"};
  smt::platform::Hook<std::vector<std::string>()> dropDownLists{"FeederServices.dropDownLists"};
  smt::platform::Hook<std::vector<std::string>()> cameraNames{"FeederServices.cameraNames"};
};

// The one instance: the shell connects its hooks at start-up, everything
// else uses them through this reference.
FeederServices& FeederHooks();

}  // namespace smt::feeder

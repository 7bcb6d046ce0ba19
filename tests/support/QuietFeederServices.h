#pragma once
// Unit tests of the feeder windows and motions without the shell: every
// feeder hook filled by hand with a quiet stand-in (no nozzle changer, no
// library rows, no cameras). A test overrides the ones it watches.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "feeder/FeederServices.h"

namespace smt::testing {

inline smt::feeder::FeederServices QuietFeederServices() {
  using namespace smt::feeder;
  FeederServices s;
  s.openMarkCameraWithFeederLight = [] {};
  s.showVisualParameters = [](int, int, int, double, double) {};
  s.visionCamera = [](int) { return std::optional<VisionCameraInfo>{}; };
  s.templateCommand = [](int, const std::string&) {};
  s.setImageFeature = [](const std::string&) {};
  s.cameraContrastBrightness = [] { return std::pair<int, int>{0, 0}; };
  s.autoChangeNozzle = [] { return false; };
  s.nozzleLibrary19 = [] { return false; };
  s.headNozzle = [](int) { return 0; };
  s.pickNozzleFromLibrary = [](int, int) { return false; };
  s.returnNozzleToLibrary = [](int) { return false; };
  s.nozzleNote = [](int) { return std::string(); };
  s.pickFromFeederTest = [](int, int, const std::string&) {};
  s.dippingStation = [] { return std::optional<DippingStationPosition>{}; };
  s.dippingZMeasured = [](double) {};
  s.showMeasurementHeight = [](double) {};
  s.updateRowsForFeeder = [](const std::string&, const std::string&, int, const std::string&, const std::string&) {};
  s.placementFeederNumbers = [] { return std::vector<std::string>{}; };
  s.replacePartEditorFeeder = [](const std::string&) {};
  s.showFeederList = [] {};
  s.jog = [](int, bool, bool, bool, int) {};
  s.jogRelease = [] {};
  s.nextSpeedGear = [] {};
  s.homeZ = [] {};
  s.clearLiftFlags = [] {};
  s.platformChoice = [] { return 1; };
  s.packRows = [] { return std::vector<std::string>{}; };
  s.setPackRows = [](std::vector<std::string>) {};
  s.dropDownLists = [] { return std::vector<std::string>{}; };
  s.cameraNames = [] { return std::vector<std::string>{}; };
  return s;
}

}  // namespace smt::testing

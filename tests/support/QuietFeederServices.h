#pragma once
// Unit tests of the feeder windows and motions without the shell: the
// feeders' part list and neighbours as quiet stand-ins (no placement rows,
// no library rows, no cameras), and the test jog and camera panels. A test
// sets the answers it needs and reads what was asked.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Machine.h"
#include "feeder/FeederServices.h"
#include "support/TestPanels.h"

namespace smt::testing {

class QuietFeederPartList : public smt::feeder::FeederPartList {
 public:
  std::vector<std::string> placementNumbers;
  std::function<void(const std::string&, const std::string&, int, const std::string&, const std::string&)> onUpdateRows;
  std::vector<std::string> editorNumbers;

  void UpdateRowsForFeeder(const std::string& oldNumber, const std::string& newNumber, int visionMode,
                           const std::string& value, const std::string& head) override {
    if (onUpdateRows) onUpdateRows(oldNumber, newNumber, visionMode, value, head);
  }
  std::vector<std::string> assignedNewFeeders;
  void AssignNewFeeder(const std::string& number, int, const std::string&, const std::string&) override {
    assignedNewFeeders.push_back(number);
  }
  std::vector<std::string> PlacementFeederNumbers() override { return placementNumbers; }
  void ReplacePartEditorFeeder(const std::string& newNumber) override { editorNumbers.push_back(newNumber); }
};

class QuietFeederNeighbours : public smt::feeder::FeederNeighbours {
 public:
  std::function<std::optional<smt::feeder::VisionCameraInfo>(int)> visionCamera;
  std::vector<double> shownHeights;
  int feederListShown = 0;
  std::vector<std::string> packRows;

  std::optional<smt::feeder::VisionCameraInfo> VisionCamera(int camera) override {
    return visionCamera ? visionCamera(camera) : std::nullopt;
  }
  void PickFromFeederTest(int, int, const std::string&) override {}
  std::optional<smt::feeder::DippingStationPosition> DippingStation() override { return std::nullopt; }
  void DippingZMeasured(double) override {}
  void ShowMeasurementHeight(double mm) override { shownHeights.push_back(mm); }
  void ShowFeederList() override { ++feederListShown; }
  std::vector<std::string> PackRows() override { return packRows; }
  void SetPackRows(std::vector<std::string> rows) override { packRows = std::move(rows); }
  std::vector<std::string> DropDownLists() override { return {}; }
  std::vector<std::string> angleChoices;
  std::vector<std::string> DropDownAngleChoices() override { return angleChoices; }
  std::vector<std::string> CameraNames() override { return {}; }
};

// The four connected to the machine in use for the life of the object.
struct QuietFeederServices {
  QuietFeederPartList partList;
  QuietFeederNeighbours neighbours;
  RecordingJogPanel jog;
  RecordingCameraPanel camera;
  ConnectedPanel<smt::feeder::FeederPartList> partListPort{smt::feeder::FeederPartListPort(smt::CurrentMachine()), partList};
  ConnectedPanel<smt::feeder::FeederNeighbours> neighboursPort{smt::feeder::FeederNeighboursPort(smt::CurrentMachine()), neighbours};
  ConnectedPanel<smt::link::JogPanelActions> jogPort{smt::link::JogPanelPortOf(smt::CurrentMachine()), jog};
  ConnectedPanel<smt::link::CameraPanel> cameraPort{smt::link::CameraPanelPortOf(smt::CurrentMachine()), camera};
};

}  // namespace smt::testing

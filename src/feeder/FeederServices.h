#pragma once
// What the feeders use of the parts of the program above them: the part
// list, and the window and its neighbours (the camera table, the run
// engine's pick test, the dipping station, the settings dialog and the
// machine's library lists). Each is one interface the shell
// connects and tests replace; using one nobody connected fails loudly with
// its name (platform/Hooks.h). The jog and camera panels are the link's
// (link/WindowPanels.h); the nozzle library and the link are called directly.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Port.h"

namespace smt {
class Machine;
}

namespace smt::feeder {

struct VisionCameraInfo {
  int32_t x = 0, y = 0;  // position in steps
  int light = 0;         // stored light value
  double viewSize = 0;   // stored view size (mm)
};

struct DippingStationPosition {
  double x = 0, y = 0, z = 0, filmThickness = 0;
};

// The part list: its placement rows follow a feeder's number and settings.
class FeederPartList {
 public:
  virtual ~FeederPartList() = default;
  // The placement rows of `oldNumber` take the new number, vision mode,
  // value and head.
  virtual void UpdateRowsForFeeder(const std::string& oldNumber, const std::string& newNumber, int visionMode,
                                   const std::string& value, const std::string& head) = 0;
  // A feeder just added: the placement rows the operator chose (selected,
  // without a feeder) take it; no other row.
  virtual void AssignNewFeeder(const std::string& number, int visionMode, const std::string& value,
                               const std::string& head) = 0;
  // The feeder number of every placement row.
  virtual std::vector<std::string> PlacementFeederNumbers() = 0;
  // The placement row editor, while shown, offers the new number in place
  // of the one it had selected.
  virtual void ReplacePartEditorFeeder(const std::string& newNumber) = 0;
  // Whether the part list locks the feeder number against edits (it never
  // does in this program).
  virtual bool EditLock() { return false; }
};

// The window and the neighbours above the feeders.
class FeederNeighbours {
 public:
  virtual ~FeederNeighbours() = default;
  // Vision camera 1 or 2 as the camera table holds it.
  virtual std::optional<VisionCameraInfo> VisionCamera(int camera) = 0;
  // The insertion machine's pick test of the run engine.
  virtual void PickFromFeederTest(int head, int camera, const std::string& feederNumber) = 0;
  // The dipping station's position, and its measured Z (stored; shown
  // while its dialog is open).
  virtual std::optional<DippingStationPosition> DippingStation() = 0;
  virtual void DippingZMeasured(double z) = 0;
  // Any thread: the settings dialog shows a measured height while open.
  virtual void ShowMeasurementHeight(double mm) = 0;
  // The view shows the feeder list panel in the part list's place.
  virtual void ShowFeederList() = 0;
  // The package library's rows (the machine's library lists hold them) and their new rows.
  virtual std::vector<std::string> PackRows() = 0;
  virtual void SetPackRows(std::vector<std::string> rows) = 0;
  // The job's drop-down lists and the camera table's names.
  virtual std::vector<std::string> DropDownLists() = 0;
  // The drop-down angle items that are angles (read once with their file),
  // as the list spells them.
  virtual std::vector<std::string> DropDownAngleChoices() = 0;
  virtual std::vector<std::string> CameraNames() = 0;
};

// The feeders' two ports on `machine`.
smt::platform::Port<FeederPartList>& FeederPartListPort(smt::Machine& machine);
smt::platform::Port<FeederNeighbours>& FeederNeighboursPort(smt::Machine& machine);

}  // namespace smt::feeder

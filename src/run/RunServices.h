#pragma once
// What the run engine uses of the window and of subsystems it does not own:
// the part list's rows and run interface, the current board, the feeder
// table, the vision steps (board marks, head part recognition, fly vision),
// the conveyor and the view's moves. The shell connects them; a missing
// service reads as empty / off and a missing vision step as a failure.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/HookInterface.h"
#include "platform/Hooks.h"
#include <optional>
#include <string>
#include <vector>

#include "feeder/FeederRecord.h"
#include "feeder/FeederTable.h"
#include "job/PartListData.h"
#include "job/WorkRecords.h"
#include "library/MarkLibrary.h"
#include "run/RunDisplay.h"

namespace smt {
class Machine;
}

namespace smt::run {

struct HeadPlaceState;

// The run's rows are the job's typed records, read from the lists when the
// run starts; the feeder rows are read as feeder records where they are used.
using PlacementRow = smt::job::PlacementRecord;
using DispenseRow = smt::job::DispensePoint;
using DrillRow = smt::job::DrillRecord;

// The current board as the run reads it at start.
struct RunBoard {
  double originX = 0, originY = 0;  // mm
  bool marksOn = false;
  bool marksPerCell = false;  // measured per panel cell, else per board
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;  // mm from the origin
  int panelRows = 1, panelCols = 1;
  double rowPitch = 0, colPitch = 0;  // mm
  std::vector<bool> skipped;          // rows x cols: the cells the operator took out of the run
  double thickness = 0;
  bool CellSkipped(int r, int c) const {
    const size_t i = static_cast<size_t>(r * panelCols + c);
    return i < skipped.size() && skipped[i];
  }
};

struct RunSelectors {
  bool fromCurrentSmt = false, selectedSmt = false, fromCurrentDis = false, selectedDis = false;
  bool Any() const { return fromCurrentSmt || selectedSmt || fromCurrentDis || selectedDis; }
  bool fromCurrentDrill = false, selectedDrill = false;
  bool Placement() const { return fromCurrentSmt || selectedSmt; }
};

// Cover-tape unit values and counters.
struct CoverSettings {
  int stepPulse = 0, coverTotal = 0, onceTotal = 0, blankTotal = 0, delayMs = 0;
  int totalCount = 0, count = 0;
};

// The dipping station of dip components (mm and ms).
struct DipStation {
  double x = 0, y = 0, z = 0;
  int runTime = 0, stopDelay = 0, delay = 0;
};

// Lamp machine: the dispense values of one glue dot (pulses, speeds, ms).
// The values of one row of the lamp machine's point table the runs read (mm).
struct LampRow {
  double markX = 0, markY = 0;  // the board Mark
  double placeZ = 0;            // the place height of the LED
};

struct LampDot {
  int32_t startSpeed = 0, runSpeed = 0, closeDelay = 0, bottomDelay = 0, valveClose = 0, valveOpen = 0, height = 0;
};
struct LampCounts {
  int set = 1, finish = 0, unfinish = 1;
};
// The board's Mark parameters for the platform Mark measurement.
struct PlatformMarkParams {
  double zoom = 1, box = 0, diameter = 0;  // pixels per mm, mm, mm
  int tolerance = 0;                       // percent of the diameter
  int contrast = 0, brightness = 0, times = 1, collectMs = 0;
  bool reversal = false;
};
// One look at the Mark: centre offset from the image centre (mm) and radius (pixels).
struct MarkSighting {
  bool found = false;
  double ox = 0, oy = 0, radius = 0;
};

// The labeling machine's sheet settings.
struct LabelSettings {
  double startX = 0, startY = 0, distanceX = 0, distanceY = 0;
  int serialX = 0, serialY = 0;
  double thimbleX = 0, thimbleY = 0;  // the ejector pin (mm)
  int glassSheets = 1;                // 0 glass sheet over the ejector pin, 1 label paper from feeders
  int checkTimes = 0;                 // ms after the sheet move of head 2
  double visualZoom = 1;              // pixels per mm
};

// The vision steps of the runs and the cameras they use: the board's marks,
// a head's part, a part's own mark, the fly pass, the Mark camera and the
// vision cameras' places and angles. Called on the run threads.
class RunVision {
 public:
  virtual ~RunVision() = default;
  // The board's two marks; false: the run ends.
  virtual bool AlignBoardMarks() = 0;
  virtual bool RecognizeHeadPart(HeadPlaceState& p, bool sharedView) = 0;
  // The fly pass of all heads, when the machine has one.
  virtual bool FlyVisionAvailable() = 0;
  virtual bool FlyVisionAllHeads() = 0;
  // A part's own mark: the camera is over the mark's nominal place; the
  // step centres the camera on the mark (relative moves). False: not found.
  virtual bool RecognizeOwnMark(const smt::library::MarkEditFields& mark, HeadPlaceState& p) = 0;
  // The live view shows the Mark camera.
  virtual void OpenMarkCamera() = 0;
  // Vision cameras 1 and 2's correction angles (degrees).
  virtual std::pair<double, double> CameraAngleOffsets() = 0;
  // Machine type 5 with both heads seen in flight by camera 1: head 2's
  // angle offset (degrees); none when the camera panel has only one camera.
  virtual std::optional<double> SharedViewAngleOffset() = 0;
  // A vision camera's place (steps).
  virtual std::pair<int32_t, int32_t> VisionCameraPosition(int camera) = 0;
  // The capture cameras the camera panel has open (machine type 5: two of
  // them let head 2 be seen beside head 1 over vision camera 1).
  virtual int CaptureCameraCount() = 0;
};

// The lamp machine's point table, board counters, Mark camera and vision
// cameras, as its runs use them. Called on the run threads.
class LampStation {
 public:
  virtual ~LampStation() = default;
  // Where a dot or the camera goes (kind 1 camera, 2 red, 3/4 silver): glue X
  // and the platform's Y (steps).
  virtual std::pair<int32_t, int32_t> Target(int kind, int platform, int point) = 0;
  virtual LampDot Dot(int group, int platform, int point) = 0;
  // One grid row's values (row 2i platform 1, 2i+1 platform 2 of point i).
  virtual LampRow Row(int row) = 0;
  // The Mark offsets measured on a grid row (steps), or none (cleared).
  virtual void SetMarkOffsets(int row, std::optional<std::pair<int32_t, int32_t>> offsets) = 0;
  virtual LampCounts Counts() = 0;
  virtual void SetCounts(const LampCounts& counts) = 0;
  // The shown board's Mark parameters for the platform Mark measurement.
  virtual PlatformMarkParams MarkParams() = 0;
  virtual bool MarkCameraReady() = 0;
  // One look at the Mark; none when no frame came.
  virtual std::optional<MarkSighting> SightMark(const PlatformMarkParams& params) = 0;
  // The place run's one look at a picked part over its vision camera (the
  // head moves along X on the platform's axis); true when the run must stop.
  virtual bool VisionCentre(HeadPlaceState& p, int platform) = 0;
};

// The labeling machine's sheet and its station moves, as its run uses them.
class LabelingStation {
 public:
  virtual ~LabelingStation() = default;
  virtual LabelSettings Settings() = 0;
  // The sheet's next cell: the next run goes on from there.
  virtual void SetSerialX(int serialX) = 0;
  // The glass pieces found on the sheet (pixel offsets).
  virtual std::vector<std::pair<int, int>> RecognizeGlass() = 0;
  virtual bool MoveHeadToThimble(int head) = 0;
  virtual bool RunPickSequence(int head) = 0;
};

struct RunServices {
  // --- what the run shows (the part list, the jog panel's information line) ---
  smt::platform::HookInterface<RunDisplay> display{"RunDisplay"};
  // --- part list ---
  smt::platform::Hook<std::vector<PlacementRow>()> placementRows{"RunServices.placementRows"};
  // Scans from `row` for the next row to place and fills the pick record of
  // `slot`: 0 none, 1 ready, 2 outside the travel limits.
  smt::platform::Hook<int(int& row, int count, int slot, int requestedHead)> nextPlaceRow{"RunServices.nextPlaceRow"};
  smt::platform::Hook<void(bool finished)> onRunEnd{"RunServices.onRunEnd"};
  smt::platform::Hook<std::array<std::string, 9>()> feedModeNames{"RunServices.feedModeNames"};
  smt::platform::Hook<std::pair<std::string, std::string>()> cameraNames{"RunServices.cameraNames"};
  smt::platform::Hook<std::string(const std::string& key)> text{"RunServices.text"};
  smt::platform::Hook<std::vector<DispenseRow>()> dispenseRows{"RunServices.dispenseRows"};
  smt::platform::Hook<bool(int& row, int count)> nextDispenseRow{"RunServices.nextDispenseRow"};
  smt::platform::Hook<std::vector<DrillRow>()> drillRows{"RunServices.drillRows"};
  smt::platform::Hook<int()> boardCount{"RunServices.boardCount"};
  smt::platform::Hook<void(int)> setBoardCount{"RunServices.setBoardCount"};
  smt::platform::Hook<int()> lightValue{"RunServices.lightValue"};
  // --- board ---
  smt::platform::Hook<RunBoard()> board{"RunServices.board"};
  // --- vision (the vision run steps) ---
  smt::platform::HookInterface<RunVision> vision{"RunServices.vision"};
  // --- stations and view ---
  smt::platform::Hook<bool()> autoTransport{"RunServices.autoTransport"};
  smt::platform::Hook<bool(int code)> runZones{"RunServices.runZones"};
  smt::platform::Hook<bool()> moveBetweenSetPoints{"RunServices.moveBetweenSetPoints"};
  // After a board, when the machine settings ask for the correction after
  // placement: the Mark camera to the vision origin and its passes there.
  // False: the move there failed.
  smt::platform::Hook<bool()> visionOriginAfterPlacement{"RunServices.visionOriginAfterPlacement"};
  smt::platform::Hook<void()> startHome{"RunServices.startHome"};
  // Homing with a given reset mode (the labeling run ends with mode 4).
  smt::platform::Hook<void(int resetMode)> startHomeMode{"RunServices.startHomeMode"};
  smt::platform::Hook<int()> speedLevel{"RunServices.speedLevel"};  // 1 high, 2 medium, 3 low
  smt::platform::Hook<CoverSettings()> cover{"RunServices.cover"};
  smt::platform::Hook<void(int total, int count)> saveCoverCounters{"RunServices.saveCoverCounters"};
  smt::platform::Hook<std::optional<DipStation>()> dippingStation{"RunServices.dippingStation"};
  // --- lamp machine and labeling machine ---
  smt::platform::HookInterface<LampStation> lamp{"RunServices.lamp"};
  smt::platform::HookInterface<LabelingStation> labeling{"RunServices.labeling"};
};

// The run services and readers of machine `m`.
RunServices& Services(smt::Machine& m);
// The machine's feeder table, whose current group the run uses.
smt::feeder::FeederTable& Feeders(smt::Machine& m);
// The index of the feeder table's current group; -1 when it has none.
int CurrentFeederGroup(smt::Machine& m);
// The correction at the vision origin after a placed board, when
// "贴装后到视觉原点处校正" is on with passes; true when not asked for.
bool VisionOriginAfterBoard(smt::Machine& m);

// Convenience readers with the defaults of a missing service.
std::string RunText(smt::Machine& m, const std::string& key, const std::string& chineseDefault);
std::array<std::string, 9> FeedModeNames(smt::Machine& m);
// Row `row` of feeder group `group` (the current one) as a record; nullopt
// when there is no such row, or when its numbers cannot be read (the
// operator is told the feeder and the field).
std::optional<smt::feeder::FeederRecord> FeederRecordAt(smt::Machine& m, int group, int row);
// The run's writes into that row.
void SetFeederFeedCount(smt::Machine& m, int group, int row, int count);
void SetFeederQuantity(smt::Machine& m, int group, int row, int quantity);
void RowState(smt::Machine& m, int row, int image, bool select);
void ShowRunList(smt::Machine& m, int list);
// The board's marks through the vision steps; false when they were not
// found or no vision steps are connected.
bool AlignMarks(smt::Machine& m);
// Whether the runs can use the fly pass of all heads.
bool FlyVisionAvailable(smt::Machine& m);
// The connected display, or null (a run goes on without one).
std::shared_ptr<RunDisplay> Display(smt::Machine& m);
// The machine's part list: its rows, the operator's start-from choices, the
// run's busy flags and counters.
smt::job::PartListData& PartList(smt::Machine& m);
RunSelectors Selectors(smt::Machine& m);
// The row the operator chose in `list` (0 when none).
int ChosenRow(smt::Machine& m, smt::job::RowKind list);
// Reads and clears "the board's marks were measured before the run" (a
// measurement made before the run counts for its first board).
bool TakeMarksMeasured(smt::Machine& m);
// mm the glue-injection stroke goes down (the dispensing height).
double GlueInjectDepth(smt::Machine& m);
std::atomic<uint8_t>& SmtBusy(smt::Machine& m);
std::atomic<uint8_t>& FeedBusy(smt::Machine& m);
std::atomic<uint8_t>& ConveyorBusy(smt::Machine& m);

}  // namespace smt::run

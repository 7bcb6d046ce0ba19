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
#include <optional>
#include <string>
#include <vector>

#include "feeder/FeederTable.h"
#include "library/MarkLibrary.h"

namespace smt::run {

struct HeadPlaceState;

using PlacementRow = std::array<std::string, 16>;
using DispenseRow = std::array<std::string, 15>;
using DrillRow = std::array<std::string, 15>;

// The current board as the run reads it at start.
struct RunBoard {
  double originX = 0, originY = 0;  // mm
  bool marksOn = false;
  bool marksPerCell = false;  // measured per panel cell, else per board
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;  // mm from the origin
  int panelRows = 1, panelCols = 1;
  double rowPitch = 0, colPitch = 0;  // mm
  std::vector<std::string> cells;     // rows x cols; "0" skips a cell
  double thickness = 0;
  bool CellSkipped(int r, int c) const {
    const size_t i = static_cast<size_t>(r * panelCols + c);
    return i < cells.size() && cells[i] == "0";
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

struct RunServices {
  // --- part list ---
  std::function<std::vector<PlacementRow>()> placementRows;
  // Scans from `row` for the next row to place and fills the pick record of
  // `slot`: 0 none, 1 ready, 2 outside the travel limits.
  std::function<int(int& row, int count, int slot, int requestedHead)> nextPlaceRow;
  std::function<void(int row, int image, bool select)> setSmtRowState;
  std::function<void()> resetSmtRowStates;
  std::function<void(int pos, int range)> progress;
  std::function<void(int row)> showRow;
  std::function<void(int r, int c, int boardsDone)> panelLabel;  // boardsDone -1: the cell
  std::function<void(bool finished)> onRunEnd;
  std::function<std::array<std::string, 9>()> feedModeNames;
  std::function<std::pair<std::string, std::string>()> cameraNames;
  std::function<std::string(const std::string& key)> text;
  std::function<int()> currentSmtRow;
  std::function<std::vector<DispenseRow>()> dispenseRows;
  std::function<bool(int& row, int count)> nextDispenseRow;
  std::function<void(int row)> setDispenseRowState;
  std::function<void()> resetDispenseRowStates;
  std::function<int()> currentDisRow;
  std::function<double()> glueInjectDepth;  // mm the glue-injection stroke goes down
  std::function<std::vector<DrillRow>()> drillRows;
  std::function<void(int row, int state)> setDrillRowState;
  std::function<void()> resetDrillRowStates;
  std::function<int()> currentDrillRow;
  std::function<bool(int row)> drillRowSelected;
  std::function<void()> clearDrillFromCurrent;  // the part list's drill-from-current flag
  std::function<RunSelectors()> selectors;
  std::function<int()> boardCount;
  std::function<void(int)> setBoardCount;
  std::function<bool()> takeMarksMeasured;  // reads and clears the flag
  std::function<void(bool enabled)> enableRunWindows;
  std::function<int()> lightValue;
  std::function<void(int displayed)> showCoverCount;
  std::function<void()> placedOne;  // the part list's placed counter + 1
  std::atomic<uint8_t>* smtBusy = nullptr;
  std::atomic<uint8_t>* feedBusy = nullptr;
  std::atomic<uint8_t>* conveyorBusy = nullptr;
  // --- board ---
  std::function<RunBoard()> board;
  // --- feeders (the table whose current group the run uses) ---
  smt::feeder::FeederTable* feeders = nullptr;
  // --- vision (the vision run steps) ---
  std::function<bool()> alignBoardMarks;
  std::function<bool(HeadPlaceState&, bool sharedView)> recognizeHeadPart;
  std::function<bool()> flyVisionAllHeads;
  // A part's own mark: the camera is over the mark's nominal place; the
  // step centres the camera on the mark (relative moves). False: not found.
  std::function<bool(const smt::library::MarkEditFields&, HeadPlaceState&)> recognizeOwnMark;
  std::function<bool()> flyVisionAvailable;
  std::function<void()> openMarkCamera;
  std::function<std::pair<double, double>()> cameraAngleOffsets;  // vision cameras 1, 2 (degrees)
  std::function<std::pair<int32_t, int32_t>(int camera)> visionCameraPosition;  // steps
  // --- stations and view ---
  std::function<bool()> autoTransport;
  std::function<bool(int code)> runZones;
  std::function<bool()> moveBetweenSetPoints;
  std::function<void()> startHome;
  std::function<int()> speedLevel;  // 1 high, 2 medium, 3 low
  std::function<CoverSettings()> cover;
  std::function<void(int total, int count)> saveCoverCounters;
  std::function<void(const std::string&)> info;
  std::function<std::optional<DipStation>()> dippingStation;
  // --- lamp machine (the point table and its board counters) ---
  // Targets of a dot or the camera (kind 1 camera, 2 red, 3/4 silver): glue X and the platform's Y.
  std::function<std::pair<int32_t, int32_t>(int kind, int platform, int point)> lampTarget;
  std::function<LampDot(int group, int platform, int point)> lampDot;
  std::function<std::string(int row, int col)> lampCell;
  std::function<void(int row, int col, const std::string&)> setLampCell;
  std::function<LampCounts()> lampCounts;
  std::function<void(const LampCounts&)> setLampCounts;
  std::function<PlatformMarkParams()> platformMarkParams;
  std::function<bool()> markCameraReady;
  std::function<std::optional<MarkSighting>(const PlatformMarkParams&)> sightMark;
  // --- labeling machine ---
  std::function<LabelSettings()> labelSettings;
  std::function<void(int serialX)> setLabelSerialX;
  std::function<std::vector<std::pair<int, int>>()> recognizeGlass;  // pieces, pixel offsets
  std::function<bool(int head)> moveHeadToThimble;
  std::function<bool(int head)> runPickSequence;  // jog panel information line
};

RunServices& Services();

// Convenience readers with the defaults of a missing service.
std::string RunText(const std::string& key, const std::string& chineseDefault);
std::array<std::string, 9> FeedModeNames();
std::optional<smt::feeder::FeederRow> FeederRowAt(int group, int row);
void SetFeederCell(int group, int row, int cell, const std::string& text);
void RowState(int row, int image, bool select);
std::atomic<uint8_t>& SmtBusy();
std::atomic<uint8_t>& FeedBusy();
std::atomic<uint8_t>& ConveyorBusy();

}  // namespace smt::run

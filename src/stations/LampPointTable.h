#pragma once
// The lamp machine's point table (machine type 4): up to 10 LED points,
// each two rows of 40 text cells (platform 1 and platform 2) in a 20 x 40
// grid. A point holds the board Mark position, the LED position relative to
// the Mark and the red-glue and two silver-glue dots with their dispense
// parameters. The grid travels with the job as its 20 row texts.
//
// Each row is held as a record: its values, read once when the row texts
// are read (a cell that is no number refuses the row, naming the side file,
// the line and the field) and formatted once when a row is changed. The row
// texts keep what the side file held, so an unchanged grid is written back
// byte for byte; what runs and edits reads the values.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Machine.h"

namespace smt::stations {

inline constexpr int kLampRows = 20, kLampCols = 40, kLampMaxPoints = 10;

// The editor's values of one row (cells 2..34).
struct LampPointValues {
  int check = 0;                                   // 2
  double markX = 0, markY = 0;                     // 3, 4
  int offsetX = 0, offsetY = 0;                    // 5, 6 (pulses)
  double ledX = 0, ledY = 0;                       // 7, 8
  double cameraX = 0, cameraY = 0;                 // 9, 10
  double placeZ = 0;                               // 11
  int startSpeed = 1, runSpeed = 1;                // 12, 13
  struct Dot {
    double x = 0, y = 0, height = 0, valveOpen = 0;
    int bottomDelay = 0;
    double valveClose = 0;
    int closeDelay = 0;
  };
  std::array<Dot, 3> dots;  // red 14..20, silver 1 21..27, silver 2 28..34

  // Every number 0 (the values of a free row or of empty cells).
  static LampPointValues Zero();
  // The value of cell `column` (2..34) as a number, and setting it (a whole
  // number cell takes the value cut to a whole number); 0 and nothing
  // outside.
  double Number(int column) const;
  void SetNumber(int column, double value);
  static bool IntegerColumn(int column);
  // The values as their cells hold them: the reals to four decimals.
  LampPointValues Stored() const;

  // The cells 2..34 in their text forms.
  void WriteCells(std::array<std::string, kLampCols>& row) const;
  // The side file's reader of one row (line `line`): an empty cell is 0, a
  // cell that is no number in its field is refused (platform::FileCellError
  // naming the line and the field).
  static LampPointValues FromCells(const std::array<std::string, kLampCols>& row, int line = 0);
  // The first field outside the editor's range, or empty.
  std::string CheckRanges() const;
};

// Pulse scales and head offsets the parsers use.
struct LampScales {
  double px = 1, py = 1, pz = 1;
  double nozzle5X = 0, nozzle5Y = 0, nozzle6X = 0, nozzle6Y = 0;  // mm from nozzle 1
  // From `machine`'s settings stores.
  static LampScales FromSettingsStore(smt::Machine& machine);
};

struct LampTargets {
  bool setX = false, setY = false, glue = false;  // glue: X is the glue head's
  int32_t x = 0, y = 0;
};

struct LampDispense {
  int32_t startSpeed = 0, runSpeed = 0, closeDelay = 0, bottomDelay = 0, valveClose = 0, valveOpen = 0, height = 0;
};

class LampPointTable {
 public:
  // The table of `machine`.
  static LampPointTable& Of(smt::Machine& machine);
  LampPointTable();

  // Whole grid.
  void Clear();
  // The values of `row` (all 0 for a free row or one outside).
  LampPointValues Values(int row) const;
  // The platform of `row`: 1, 2, or 0 for a free row.
  int Platform(int row) const;
  // The Mark offsets measured on `row` (pulses, cells 5 and 6), or none: both cells emptied.
  void SetMarkOffsets(int row, std::optional<std::pair<int32_t, int32_t>> offsets);
  int PointCount() const;
  bool RowUsed(int row) const;

  // The file form: one cell's text and one row's 40 texts (as the list
  // shows them), and a cell set from a text as the side file would hold it.
  std::string Cell(int row, int col) const;
  std::array<std::string, kLampCols> Row(int row) const;
  // Returns the refusal when the row no longer reads (its values are then
  // all 0, as for a refused row of the file), empty otherwise.
  std::string SetCell(int row, int col, const std::string& text);

  // Row texts: 40 cells each followed by a TAB, then the row's line end
  // (CR LF, or what the side file held after its last cell); a row the
  // side file gave and nothing changed goes back byte for byte.
  std::vector<std::string> RowTexts() const;
  // The job's side file: fills grid row i from text i (a text without TAB
  // leaves its row alone; cells beyond 40 are dropped); the point count is
  // the number of "平台1" cells read. A row with a cell that is no number is
  // kept as it was (written back unchanged) with all its values 0; each such
  // row is returned as a refusal naming the line and the field.
  std::vector<std::string> SetRowTexts(const std::vector<std::string>& texts);

  // Both rows of point `point` from the values; adds one to the count.
  // False when the point is outside 0..9.
  bool FillPointRows(int point, const LampPointValues& v);
  // Add: the next point; false (nothing done) at 10 points.
  bool AddPoint(const LampPointValues& v);
  // One row's cells 2..34; false when the row is free or out of range.
  bool ModifyRow(int row, const LampPointValues& v);
  // Removes the point of `row` (either of its rows) and moves the later
  // points up; false when the row is free or out of range.
  bool DeleteRowPoint(int row);
  // The part list's deletion of point i.
  bool DeletePoint(int point);

  // Pulse targets (kind 1 camera, 2 red head Z5, 3/4 head Z6 silver 1/2).
  LampTargets ParsePointRow(int kind, int platform, int point, const LampScales& s) const;
  // Dispense parameters of dot group 0 red, 1 silver 1, 2 silver 2.
  LampDispense ParseSettings(int group, int platform, int point, const LampScales& s) const;

 private:
  struct Row_ {
    std::array<std::string, kLampCols> text;  // the file form
    std::string end = "\r\n";               // what follows the last cell's TAB in the file
    std::optional<std::string> asRead;        // the row's text as the file held it
    int platform = 0;                         // 1, 2; 0 free
    LampPointValues values = LampPointValues::Zero();
  };
  static void SetValuesLocked(Row_& r, const LampPointValues& v);
  mutable std::mutex m_;
  std::vector<Row_> grid_;
  int count_ = 0;
};

// Writes the parsed targets of `machine`'s table into its motion targets
// (motion.targetX, motion.targetY, motion.targetY2, motion.glueTargetX) and
// returns them.
LampTargets ApplyLampTargets(smt::Machine& machine, int kind, int platform, int point);
// The dispense parameters of the last ParseSettings.
LampDispense ApplyLampDispense(smt::Machine& machine, int group, int platform, int point);

// Board counters of [LampMachineListConfig].
struct LampCounters {
  int m_CountSet = 1, m_CountFinish = 0, m_CountUnfinish = 1;
  static LampCounters Load(const std::string& appDir);
  bool Save(const std::string& appDir) const;
  // The "confirm counts" step: a new set quantity, then an increment. The
  // set quantity stays at least 3 above the boards made; returns 0 when
  // accepted, 1 when the set quantity was refused, 2 when the increment was.
  int Confirm(int newSet, int increment);
};

}  // namespace smt::stations

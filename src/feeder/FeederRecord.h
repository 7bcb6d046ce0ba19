#pragma once
// A feeder row (30 cells) and a tray line as typed records, read from their
// cell texts with every number checked once: a cell that is not a finite
// number in its field's range refuses the line with the file, the line and
// the field named (platform::FileCellError). The feeder table keeps the
// cell texts the feeder list shows; the file readers check them with these
// readers, and what works with the values reads the records.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileCell.h"

namespace smt::feeder {

inline constexpr int kFeederRecordCells = 30;

struct FeederRecord {
  std::string number;  // side letter and number, "W12"
  char side = 0;       // W, N, E, S or G
  int index = 0;       // the number after the side letter
  std::string partType, package, value;
  double x = 0, y = 0;                   // pick point, mm
  double length = 0, width = 0, height = 0;
  double angle = 0;
  int head = 0;                          // 0: any head
  double vacuum = 0;
  bool visionOn = false;
  bool cameraNamed = false;  // the cell holds "<flag>/<camera>"
  std::string camera;
  bool flyingCentring = false;
  bool lightsNamed = false;  // the cell holds "<flag>/<contrast>/<brightness>"
  int lightContrast = 0, lightBrightness = 0;
  std::string feedMode;
  int pickDelay = 0, placeDelay = 0;
  double feedCoordinate = 0;
  int feedCount = 0;
  int feedTime = 0;
  double slack = 0, tension = 0;
  double pickHeight = 0;
  bool ownSpeed = false;
  bool speedNamed = false;  // the cell holds "<flag>/<template>"
  std::string speedTemplate;
  double earlyVacuumOff = 0;
  int recognitionType = 0;  // the two digits before the feature's ":"
  std::string feature;
  int quantity = 0;
  int precisionXY = -1, precisionA = -1, collectTime = -1;  // -1: not set
};

// Field names (the list's column meanings) as refusals give them.
const std::array<std::string, kFeederRecordCells>& FeederFieldNames();

FeederRecord ReadFeederRecord(const platform::CellReader& in);
// A feeder row held as cell texts (the table's rows).
FeederRecord FeederRecordFromCells(const std::array<std::string, kFeederRecordCells>& cells,
                                   std::string_view file = "feeder table", int line = 0);

// The 30 cells of a feeder row as a file holds them.
using FeederCells = std::array<std::string, kFeederRecordCells>;

// One row of the feeder table: its typed record, read once where its text
// comes in (the feeder table, the CSV, the feeder list), and the text of
// every cell. A cell keeps the spelling it came with until its value
// changes; then it is written in its field's format. A row whose numbers
// could not be read keeps its texts (a file is written back as it was) and
// its problem; nothing is picked from it. Its record then holds the number
// (side and index when they read), the text fields, and each value whose
// cell holds a number in any range (0 for the others) for the editor to
// show.
class FeederRow {
 public:
  FeederRow() = default;
  // Reads `cells`; a cell that is no number in its field's range leaves the
  // row unreadable with the refusal (file, line, field) as its problem.
  FeederRow(FeederCells cells, std::string_view file = "feeder table", int line = 0);  // NOLINT: a row is its cells, read

  const FeederRecord& Record() const { return record_; }
  bool Readable() const { return !error_; }
  // The refusal of a row that cannot be read (nullptr when it can).
  const platform::FileCellError* Problem() const { return error_ ? &*error_ : nullptr; }
  const FeederCells& Cells() const { return cells_; }
  const std::string& Cell(int cell) const { return cells_[static_cast<size_t>(cell)]; }
  auto begin() const { return cells_.begin(); }
  auto end() const { return cells_.end(); }
  const std::string& Number() const { return cells_[0]; }
  bool Empty() const { return cells_[0].empty(); }

  // A cell set from text (names, flags, feed mode, a translation); the row
  // is read again, a refusal naming where its cells came from.
  void SetText(int cell, std::string text);
  // Typed changes: a cell whose value stays keeps its spelling. False (and
  // nothing changed) when the value leaves its field's range.
  bool SetPickPoint(double x, double y);
  bool SetFeedCount(int count);
  bool SetQuantity(int quantity);
  bool SetPickHeight(double mm);

  bool operator==(const FeederRow& o) const { return cells_ == o.cells_; }

 private:
  void Read();
  FeederCells cells_{};
  std::string file_;  // where the cells came from, for a refusal
  int line_ = 0;
  FeederRecord record_{};
  std::optional<platform::FileCellError> error_;
};

// Range of a feeder's pick point (X, Y), mm.
inline constexpr double kFeederPositionLimitMm = 10000.0;

// The numbers of a tray line: rows, columns, next row, next column, pitches.
struct TrayLine {
  int rows = 0, cols = 0, rowSerial = 0, colSerial = 0;
  double rowSpace = 0, colSpace = 0;
};
// Rows and columns only (how many cell lines follow); throws when they are
// not numbers in 0..maxSide (a negative size is refused).
TrayLine ReadTraySize(const platform::CellReader& in, int maxSide);
// The whole tray line.
TrayLine ReadTrayLine(const platform::CellReader& in, int maxSide, double maxSpacing);

}  // namespace smt::feeder

#pragma once
// A package row of "config_pack.fig" as a typed record, read from its 28
// cells with every number checked once: a cell that is not a finite number
// in its field's range refuses the row with the file, the line and the field
// named (platform::FileCellError). The package table keeps the cell texts
// the list shows and the file holds (so a file is written back byte for
// byte); whatever needs a package's values reads them through this reader.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileCell.h"

namespace smt::library {

inline constexpr int kPackCells = 28;
using PackRow = std::array<std::string, kPackCells>;
inline constexpr const char* kPackFileName = "config_pack.fig";

struct PackRecord {
  std::string name;
  double length = 0, width = 0, thickness = 0;  // mm
  int contrast = 0, brightness = 0;
  int pickDelay = 0, placeDelay = 0;  // ms
  std::string camera;
  bool visionCentring = false, flyingCentring = false;
  std::string nozzle;  // a nozzle number, or empty
  bool ownSpeed = false;
  std::string speedName, recognition, feedMode;
  int feedCount = 0, feedTime = 0;
  int slackLength = 0, tensionLength = 0;  // mm
  int precisionXY = 0, precisionA = 0, captureTime = 0;
  double pickHeight = 0, vacuumTest = 0, closeEarly = 0;
  std::string reserved26, reserved27;
};

// The ranges a package row's numbers must lie in. The package's values are
// copied into feeder rows, so where a feeder row holds the same value the
// range is the feeder file's; where the package editor takes more (the
// tension length takes any integer) the file takes what the editor writes.
namespace pack_range {
inline constexpr double kSizeMax = 100.0;  // length, width, thickness: 0..100 mm
inline constexpr int kLightMax = 255;      // contrast, brightness: 0..255
inline constexpr int kDelayMax = 65535;    // pick and place delay, feed time: 0..65535 ms
inline constexpr int kNozzleMax = 19;      // nozzle number: 0..19, the magazine's seats (empty: none)
inline constexpr int kFeedCountMax = 10000;
inline constexpr int kSlackMin = -10000, kSlackMax = 10000;  // slack length, mm
inline constexpr long long kTensionMin = -2147483647LL - 1, kTensionMax = 2147483647LL;
inline constexpr int kPrecisionXYMax = 10, kPrecisionAMax = 30, kCaptureMax = 3000;  // each from -1
inline constexpr double kPickHeightMin = -1000.0;  // pick height -1000..0 mm
inline constexpr double kVacuumMax = 100.0;        // vacuum test and close early: 0..100
}  // namespace pack_range

// The fields' names as refusals give them, by cell (empty: a text cell).
const std::array<std::string, kPackCells>& PackFieldNames();

// Cells 1..7 must hold numbers; the nozzle and cells 16..25 may be empty
// (rows of the shorter layouts end before them), an empty one reading as 0.
PackRecord ReadPackRecord(const platform::CellReader& in);
// A table row; `line` is its 1-based place in the file.
PackRecord PackRecordOf(const PackRow& row, std::string_view file = kPackFileName, int line = 0);

// The row's cells written from a record ("%0.4f" decimals, "%d" integers).
PackRow PackRowOf(const PackRecord& r);

// One package as the library and its list hold it: the cells as they came
// (so an unchanged row is written back as it was spelt) and the record read
// from them once. A row whose numbers cannot be read keeps its cells and its
// problem and gives no record.
struct PackListRow {
  PackRow cells{};
  std::optional<PackRecord> record;
  std::string problem;  // why the record did not read (file, line, field)
  int line = 0;         // the row's 1-based line when it was read (0: made here)

  PackListRow() = default;
  PackListRow(const PackRow& cells, int line = 0);  // NOLINT: a row is its cells, read
  static PackListRow Of(const PackRecord& r) { return PackListRow(PackRowOf(r)); }
  const std::string& Name() const { return cells[0]; }
  // Cell `c` as the list shows it.
  const std::string& operator[](size_t c) const { return cells[c]; }
  bool operator==(const PackListRow& o) const { return cells == o.cells; }
};

// Rows from the file's lines: the first line's TAB count chooses the layout
// (28, 17 or 14: cells in order; any other: the older layout without the two
// delays, which get "50" and "25"), unless most of the other lines are of
// the current layout.
std::vector<PackRow> BuildPackTable(const std::vector<std::string>& lines);

// Every row of the file's lines checked (the layout chosen by the first
// line, as the table is built); one refusal per row that cannot be read.
std::vector<platform::FileCellError> CheckPackLines(const std::vector<std::string>& lines,
                                                    std::string_view file = kPackFileName);

}  // namespace smt::library

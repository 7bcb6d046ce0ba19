#pragma once
// A mark row of "config_mark.fig" (16 cells) as a typed record, read with
// every number checked once: a cell that is not a finite number in its
// field's range refuses the row with the file, the line and the field named
// (platform::FileCellError). The mark table keeps the cell texts the list
// shows and the file holds; the editor and the run read the values through
// this reader.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileCell.h"

namespace smt::library {

inline constexpr int kMarkCells = 16;
using MarkRow = std::array<std::string, kMarkCells>;
inline constexpr const char* kMarkFileName = "config_mark.fig";

// The record is also the editor's set of fields.
struct MarkEditFields {
  std::string name;
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
  int allowedDeviation = 0;  // X steps
  double viewBox = 0, diameter = 0;
  int precision = 0, contrast = 0, brightness = 0, captureTime = 0, repeats = 0;
  bool colourReversal = false;
  double platform1 = 0, platform2 = 0;
};
using MarkRecord = MarkEditFields;

// The ranges of a mark row's numbers: the editor's, coordinates within
// +-10000 mm (the editor takes the same), and the allowed deviation, a count
// of X steps whose sense depends on the axis scale, any count up to a
// million (the editor offers 0..100).
namespace mark_range {
inline constexpr double kOffsetMax = 10000.0;    // Mark 1 and Mark 2 offsets, mm
inline constexpr int kDeviationMax = 1'000'000;  // allowed deviation, X steps
inline constexpr double kViewBoxMax = 48.0;    // mm
inline constexpr double kDiameterMax = 10.0;   // mm
inline constexpr int kPrecisionMax = 100;      // %
inline constexpr int kLightMax = 255;
inline constexpr int kCaptureMax = 10000;     // ms
inline constexpr int kRepeatsMax = 10;
inline constexpr double kPlatformMax = 2.0;  // platform compensations, mm
}  // namespace mark_range

const std::array<std::string, kMarkCells>& MarkFieldNames();

// Every number cell must hold a number.
MarkRecord ReadMarkRecord(const platform::CellReader& in);
MarkRecord MarkRecordOf(const MarkRow& row, std::string_view file = kMarkFileName, int line = 0);
// The row's cells written from a record.
MarkRow MakeMarkRow(const MarkRecord& f);

// One mark as the library and its list hold it: the cells as they came
// (so an unchanged row is written back as it was spelt) and the record read
// from them once. A row whose numbers cannot be read keeps its cells and its
// problem and gives no record.
struct MarkListRow {
  MarkRow cells{};
  std::optional<MarkRecord> record;
  std::string problem;  // why the record did not read (file, line, field)

  MarkListRow() = default;
  // Reads `cells` as row `line` (1-based; 0 when not from a file).
  MarkListRow(const MarkRow& cells, int line = 0);  // NOLINT: a row is its cells, read
  // A row written from a record.
  static MarkListRow Of(const MarkRecord& r) { return MarkListRow(MakeMarkRow(r)); }
  const std::string& Name() const { return cells[0]; }
  // Cell `c` as the list shows it.
  const std::string& operator[](size_t c) const { return cells[c]; }
  bool operator==(const MarkListRow& o) const { return cells == o.cells; }
};

std::vector<platform::FileCellError> CheckMarkLines(const std::vector<std::string>& lines,
                                                    std::string_view file = kMarkFileName);

}  // namespace smt::library

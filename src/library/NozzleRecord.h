#pragma once
// A nozzle row of "config_nozzle.fig" (9 cells: number, seat X and Y, pick
// height, entrance X, Y and Z, vacuum, note) as a typed record, read with
// every number checked once: a cell that is not a finite number in its
// field's range refuses the row with the file, the line and the field named
// (platform::FileCellError). The nozzle library keeps each row as a
// NozzleListRow: the cell texts the list shows and the file holds, and the
// record read from them once when the row was set; the seat records, the
// seat motions and the editor use that record.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileCell.h"

namespace smt::library {

inline constexpr int kNozzleCells = 9;
using NozzleRow = std::array<std::string, kNozzleCells>;
inline constexpr const char* kNozzleFileName = "config_nozzle.fig";

// The record is also the seat editor's set of fields.
struct NozzleEditFields {
  int number = 0;
  std::string note;
  double x = 0, y = 0, pickHeight = 0;
  double entranceX = 0, entranceY = 0, entranceZ = 0;
  int vacuum = 0;
};
using NozzleRecord = NozzleEditFields;

namespace nozzle_range {
inline constexpr int kNumberMax = 1000;           // nozzle number 0..1000
inline constexpr double kMillimetreMax = 10000.0;  // positions and heights, +-10000 mm
inline constexpr int kVacuumMax = 100;             // vacuum 0..100 (-kPa)
}  // namespace nozzle_range

const std::array<std::string, kNozzleCells>& NozzleFieldNames();

// Every number cell must hold a number.
NozzleRecord ReadNozzleRecord(const platform::CellReader& in);
NozzleRecord NozzleRecordOf(const NozzleRow& row, std::string_view file = kNozzleFileName, int line = 0);
// The row's cells written from a record ("%d", "%0.4f").
NozzleRow MakeNozzleRow(const NozzleRecord& r);

// One row of the nozzle list as the library and the list dialog keep it: the
// cells as the file holds them (a row whose numbers do not read stays as
// read) and what was read from them once, where the row came in. The record
// is always what the cells say (a value set from outside is read back from
// its formatted cell), so a row used now and the same row read from the
// file later give the same seat.
struct NozzleListRow {
  NozzleRow cells;
  std::optional<NozzleRecord> record;  // nullopt: a number cell does not read
  std::optional<int> number;           // the nozzle number, when its own cell reads
  std::string problem;                 // why the record did not read (file, line, field)

  // Reads the cells of row `line` (1-based) of the list; a refusal is also
  // appended to `refusals` when given.
  static NozzleListRow Read(const NozzleRow& cells, int line,
                            std::vector<platform::FileCellError>* refusals = nullptr);
  // A row written from a record (and read back from its cells).
  static NozzleListRow Of(const NozzleRecord& r);
  // Sets one of the unified columns (pick height 3, entrance Z 6, vacuum 7)
  // to `value`, checked against the column's range by the caller; the row
  // is read again with its new cell.
  void SetColumn(int column, double value, int line);
  // The note cell (text; present whether or not the numbers read).
  const std::string& Note() const { return cells[8]; }
};

std::vector<platform::FileCellError> CheckNozzleLines(const std::vector<std::string>& lines,
                                                      std::string_view file = kNozzleFileName);

}  // namespace smt::library

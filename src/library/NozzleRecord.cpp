#include "library/NozzleRecord.h"

#include "library/LibraryRows.h"
#include "platform/SettingsSection.h"

namespace smt::library {

using platform::CellReader;
using platform::FormatDouble;
using platform::FormatInt;
namespace nr = nozzle_range;

const std::array<std::string, kNozzleCells>& NozzleFieldNames() {
  static const std::array<std::string, kNozzleCells> names = {
      "nozzle number", "X", "Y", "pick height", "entrance X", "entrance Y", "entrance Z", "vacuum", ""};
  return names;
}

NozzleRecord ReadNozzleRecord(const CellReader& in) {
  const auto& n = NozzleFieldNames();
  auto mm = [&](size_t c) { return in.Number(c, n[c], -nr::kMillimetreMax, nr::kMillimetreMax); };
  NozzleRecord r;
  r.number = static_cast<int>(in.Integer(0, n[0], 0, nr::kNumberMax));
  r.x = mm(1);
  r.y = mm(2);
  r.pickHeight = mm(3);
  r.entranceX = mm(4);
  r.entranceY = mm(5);
  r.entranceZ = mm(6);
  r.vacuum = static_cast<int>(in.Integer(7, n[7], 0, nr::kVacuumMax));
  r.note = in.Text(8);
  return r;
}

NozzleRecord NozzleRecordOf(const NozzleRow& row, std::string_view file, int line) {
  const std::vector<std::string_view> views(row.begin(), row.end());
  return ReadNozzleRecord(CellReader(file, line, views));
}

NozzleRow MakeNozzleRow(const NozzleRecord& r) {
  return {FormatInt(r.number),       FormatDouble(r.x),         FormatDouble(r.y),
          FormatDouble(r.pickHeight), FormatDouble(r.entranceX), FormatDouble(r.entranceY),
          FormatDouble(r.entranceZ), FormatInt(r.vacuum),       r.note};
}

NozzleListRow NozzleListRow::Read(const NozzleRow& cells, int line,
                                  std::vector<platform::FileCellError>* refusals) {
  NozzleListRow row;
  row.cells = cells;
  try {
    row.record = NozzleRecordOf(cells, kNozzleFileName, line);
    row.number = row.record->number;
  } catch (const platform::FileCellError& e) {
    row.problem = e.what();
    if (refusals) refusals->push_back(e);
    // The number alone still tells which nozzle the row holds.
    if (const auto n = platform::ParseCellInteger(cells[0], 0, nr::kNumberMax)) row.number = static_cast<int>(*n);
  }
  return row;
}

NozzleListRow NozzleListRow::Of(const NozzleRecord& r) {
  // Read back from the written cells: the record holds the values as the
  // file will hold them ("%0.4f").
  return Read(MakeNozzleRow(r), 0);
}

void NozzleListRow::SetColumn(int column, double value, int line) {
  const bool whole = column == 7;
  if (column != 3 && column != 6 && !whole) return;
  cells[static_cast<size_t>(column)] =
      whole ? FormatInt(static_cast<long long>(value)) : FormatDouble(value);
  *this = Read(cells, line);
}

std::vector<platform::FileCellError> CheckNozzleLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<platform::FileCellError> problems;
  for (size_t i = 0; i < lines.size(); ++i) {
    try {
      NozzleRecordOf(SplitRow<kNozzleCells>(lines[i]), file, static_cast<int>(i + 1));
    } catch (const platform::FileCellError& e) {
      problems.push_back(e);
    }
  }
  return problems;
}

}  // namespace smt::library

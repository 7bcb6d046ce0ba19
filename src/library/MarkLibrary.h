#pragma once
// The mark library: named fiducial-mark definitions, each a typed record with
// the 16 cells it was read from (Mark 1
// and Mark 2 offsets, allowed deviation, view box, diameter, precision,
// light, capture time, centring repeats, colour reversal, the two platform
// compensations), kept as the library lists' rows of "config_mark.fig".
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "library/MarkRecord.h"

namespace smt {
class Machine;
}

namespace smt::library {

// The editor's fields from a table row through the row reader: throws
// platform::FileCellError naming the file, `line` and the field.
MarkEditFields ReadMarkRow(const MarkRow& row, int line = 0);

class MarkLibrary {
 public:
  std::vector<MarkListRow> m_MarkRows;
  MarkEditFields editor;  // kept between uses of the editor

  // Rows whose numbers cannot be read are kept as they are and refused
  // where they are used; the refusals are returned.
  std::vector<platform::FileCellError> LoadTable(const std::vector<std::string>& rowStrings);
  std::vector<std::string> BuildRowStrings() const;
  // The run's look-up: the first row whose name equals `name` exactly.
  std::optional<MarkRow> Find(const std::string& name) const;
  // The same row's values; a row whose numbers cannot be read is no mark to
  // look at (it is named in the log).
  std::optional<MarkRecord> FindRecord(const std::string& name) const;
};

// Sorts ascending by the text of `column` (UTF-16 code units), stable.
void SortMarkRows(std::vector<MarkListRow>& rows, int column);

MarkLibrary& TheMarkLibrary(smt::Machine& machine);

// The mark editor's position capture (CX / CY) on `machine` for its type:
// (current - zero) / scale, rounded as every capture. Machine type 4 takes
// the platform the jog panel drives (1: X and Y, 2: the second platform).
std::optional<double> CaptureMarkX(smt::Machine& machine, int platform);
std::optional<double> CaptureMarkY(smt::Machine& machine, int platform);

}  // namespace smt::library

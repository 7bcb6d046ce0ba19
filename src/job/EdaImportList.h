#pragma once
// The import list: the parts read from pick-and-place files, seven text
// columns as the file wrote them (designator, package, X, Y, rotation,
// comment, side). Each row also remembers how its own file's X and Y
// texts become millimetres, so rows of different files in one list keep
// their units, and where it came from.
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "job/EdaFormats.h"

namespace smt::job {

inline constexpr int kImportColumns = 7;
inline constexpr int kImpDesignator = 0, kImpPackage = 1, kImpX = 2, kImpY = 3, kImpRotation = 4, kImpComment = 5,
                     kImpSide = 6;

// The length unit a file states for its bare numbers (in its column titles
// or its preamble).
enum class EdaLengthUnit { Unstated, Millimetre, Mil, Inch };

struct ImportRow {
  std::array<std::string, kImportColumns> cells;
  EdaUnitRule rule = EdaUnitRule::AsWritten;
  EdaLengthUnit fileUnit = EdaLengthUnit::Unstated;
  std::string sourceFile;
  int sourceLine = 0;  // 1-based line of the file
  // X and Y in millimetres and the rotation in degrees, read once from the
  // cells where the file is read (ReadImportNumbers, EdaFileReaders.h).
  // A coordinate whose text is already millimetres as the placement row
  // keeps it (`xAsWritten`, `yAsWritten`) goes there with its own digits.
  double xMm = 0, yMm = 0, rotation = 0;
  bool xAsWritten = false, yAsWritten = false;

  const std::string& Cell(int k) const { return cells[static_cast<size_t>(k)]; }
};

// Orders two texts by their UTF-16 code units: the first differing unit
// decides, a text that is the start of the other comes first.
int CompareImportListText(std::string_view a, std::string_view b);

class ImportList {
 public:
  const std::vector<ImportRow>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }
  const ImportRow& Row(int i) const { return rows_[static_cast<size_t>(i)]; }

  void Append(const std::vector<ImportRow>& rows) { rows_.insert(rows_.end(), rows.begin(), rows.end()); }
  void Clear() { rows_.clear(); }
  // Replaces the rows from `first` to the end by `rows`.
  void ReplaceTail(int first, const std::vector<ImportRow>& rows) {
    rows_.resize(static_cast<size_t>(first));
    Append(rows);
  }
  // Removes the rows at the given positions; positions out of range are
  // ignored. Returns how many rows were removed.
  int DeleteRows(const std::set<int>& positions);
  // Sorts every row by the text of one column, ascending (stable).
  void SortByColumn(int column);

 private:
  std::vector<ImportRow> rows_;
};

}  // namespace smt::job

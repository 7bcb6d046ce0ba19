#pragma once
// The three kinds of work rows of a job (placement 16 cells, dispensing and
// drill 15 cells each) and the list that holds them as the operator sees
// them: cell texts plus the image a few cells carry (place / vision /
// dispense yes-no, run progress). Plain C++, no widgets: the part list's
// views show these lists, the job files and the run read and write them.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace smt::job {

inline constexpr int kPlacementCells = 16;
inline constexpr int kDispenseCells = 15;
inline constexpr int kDrillCells = 15;
inline constexpr int kMaxRowCells = 16;

// Placement cells.
inline constexpr int kSmtSerial = 0, kSmtX = 1, kSmtY = 2, kSmtAngle = 3, kSmtName = 4, kSmtType = 5, kSmtPackage = 6,
                     kSmtPlace = 7, kSmtValue = 8, kSmtFeeder = 9, kSmtVision = 10, kSmtFeederValue = 11, kSmtHead = 12,
                     kSmtTime = 13, kSmtOwnMark = 14, kSmtSpare = 15;
// Dispensing cells.
inline constexpr int kDisSerial = 0, kDisX = 1, kDisY = 2, kDisZ = 3, kDisEnable = 4, kDisValveOpen = 5,
                     kDisValveClose = 6, kDisCloseDelay = 7, kDisBottomDelay = 8, kDisSuckBack = 9, kDisNote = 10;
// Drill cells.
inline constexpr int kDrillSerial = 0, kDrillName = 1, kDrillDiameter = 2, kDrillX = 3, kDrillY = 4, kDrillZ = 5,
                     kDrillDepth = 6, kDrillFeed = 7, kDrillLift = 8, kDrillLiftToTop = 9, kDrillFeedStart = 10,
                     kDrillFeedRun = 11, kDrillLiftStart = 12, kDrillLiftRun = 13;

// Row images (indices of the part list's image list).
inline constexpr int kImgNone = -1;
inline constexpr int kImgYes = 1, kImgNo = 2, kImgVisionYes = 3, kImgVisionNo = 4, kImgDispenseMark = 9;

// Splits a TAB-terminated text into at most `maxCells` cells: cell k is the
// text before the (k+1)-th TAB; text after the last TAB (or after the
// maxCells-th TAB) is ignored; cells the text does not reach are "".
std::vector<std::string> SplitTabCells(std::string_view text, int maxCells);
// Counts the TABs of a text.
int CountTabs(std::string_view text);
// Each cell followed by one TAB.
std::string JoinTabCells(const std::vector<std::string>& cells);

// "1/Yes" -> {true-prefix "1", "Yes"}; a text without "/" has prefix "" and
// the whole text.
struct PrefixedCell {
  std::string prefix;
  std::string text;
  bool hasSlash = false;
};
PrefixedCell SplitPrefix(std::string_view cell);

// One row of a list: its cell texts and the image of each cell.
struct ListRow {
  std::vector<std::string> cells;
  std::array<int8_t, kMaxRowCells> images{};
  ListRow() { images.fill(kImgNone); }
  explicit ListRow(int cellCount) : cells(static_cast<size_t>(cellCount)) { images.fill(kImgNone); }
  const std::string& Cell(int k) const;
  int Image(int k) const { return (k >= 0 && k < kMaxRowCells) ? images[static_cast<size_t>(k)] : kImgNone; }
  void SetImage(int k, int img) {
    if (k >= 0 && k < kMaxRowCells) images[static_cast<size_t>(k)] = static_cast<int8_t>(img);
  }
  bool operator==(const ListRow&) const = default;
};

enum class RowKind { Placement, Dispense, Drill };
int CellCount(RowKind kind);

// Placement rows between the list form (cells 7 and 10 carry an image) and
// the stored form of a PCB record ("1/" or "0/" before those two cells).
std::vector<std::string> PlacementRowToStored(const ListRow& row);
ListRow PlacementRowFromStored(const std::vector<std::string>& stored);

// Dispensing rows from their side-file text: images derived from the cells
// (image 9 on cell 0, image 1 on cell 4 when it is exactly "Yes", else 2).
ListRow DispenseRowFromText(std::string_view text);
// Drill rows carry no images.
ListRow DrillRowFromText(std::string_view text);
// Cell texts of any row, each followed by a TAB (images are not stored).
std::string RowToText(const ListRow& row, int cellCount);

// Built-in column titles of the three lists.
const std::vector<std::string>& BuiltinTitles(RowKind kind);
const std::vector<int>& ColumnWidths(RowKind kind);

// The C library's "%g" of a value.
std::string FormatG(double v);

}  // namespace smt::job

#pragma once
// One board of a job: name, note, panel grid, thickness, origin, the two
// fiducial marks with the Mark camera values, and its placement rows; and
// its text form in the job file (a header line, the grid lines, the
// placement lines, every field followed by a TAB).
#include <string>
#include <string_view>
#include <vector>

#include "job/WorkRecords.h"

namespace smt::job {

struct PcbRecord {
  std::string m_strName;
  std::string m_strNote;
  int m_nRows = 1;
  int m_nCols = 1;
  double m_dRowSpace = 0;
  double m_dColSpace = 0;
  double m_dThickness = 0;
  double m_dOriginX = 0;
  double m_dOriginY = 0;
  bool m_bMarkEnable = false;
  double m_dMark1X = 0, m_dMark1Y = 0;
  double m_dMark2X = 0, m_dMark2Y = 0;
  double m_dVisualZoom = 0;  // 0: the record carries no Mark camera values
  bool m_bImageColorReversal = false;
  double m_dVisualBox = 0;
  double m_dMarkDiameter = 0;
  int m_nLightContrast = 0;
  int m_nLightBrightness = 0;
  int m_nVisualTimes = 0;
  int m_nMarkCollectTime = 0;
  bool m_bSpecialMark2 = false;
  int m_nMark2LightContrast = 0;
  int m_nMark2LightBrightness = 0;
  bool m_bEachMark = false;
  // m_nRows rows of m_nCols + 1 cells ("1/<label>" enabled, else skipped);
  // empty when the record has no grid.
  std::vector<std::vector<std::string>> m_PanelGrid;
  // The board's placements, read once from the job file.
  PlacementList m_Parts;

  int PartCount() const { return static_cast<int>(m_Parts.size()); }
  bool HasGrid() const { return !m_PanelGrid.empty(); }
  bool operator==(const PcbRecord&) const = default;
};

// Number of TABs of a header line of the current layout and of the older one.
inline constexpr int kHeaderTabsCurrent = 30;
inline constexpr int kHeaderTabsOld = 26;

// The header line of the current layout (30 fields, each followed by a TAB).
std::string PcbHeaderLine(const PcbRecord& rec);
// Fills the header fields of `rec` from a header line of either layout (a
// line with fewer than 26 TABs gives only the first 14 fields and the part
// count). Returns the part count the line names. A field that is not a
// number in its range throws platform::FileCellError naming `file`, `line`
// and the field; negative rows, columns or part counts are refused.
inline constexpr int kMaxPanelRowsOrCols = 1000;
inline constexpr int kMaxPartsPerBoard = 10'000'000;
int ParsePcbHeaderLine(std::string_view line, PcbRecord& rec, std::string_view file = "job file", int lineNo = 0);

// A panel grid of rows x cols with every board enabled: cell 0 of row r is
// the row number, cell c the board number r * cols + c.
std::vector<std::vector<std::string>> FullPanelGrid(int rows, int cols);
// Number of enabled boards of a grid (cells 1..cols of each row).
int CountEnabledBoards(const std::vector<std::vector<std::string>>& grid, int cols);

}  // namespace smt::job

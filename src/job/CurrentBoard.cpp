#include "job/CurrentBoard.h"

#include <cmath>

#include "job/PcbRecord.h"
#include "job/StepGeometry.h"

namespace smt::job {

void FreePanelGrid() { g_PanelGrid.clear(); }

void LoadCurrentBoardValues(const PcbRecord& rec) {
  FreePanelGrid();
  g_nPanelRows = rec.m_nRows;
  g_nPanelCols = rec.m_nCols;
  g_dPanelRowPitch = rec.m_dRowSpace;
  g_dPanelColPitch = rec.m_dColSpace;
  g_dBoardThickness = rec.m_dThickness;
  g_dOriginX = rec.m_dOriginX;
  g_dOriginY = rec.m_dOriginY;
  g_bUseMarks = rec.m_bMarkEnable;
  g_dMark1X = rec.m_dMark1X;
  g_dMark1Y = rec.m_dMark1Y;
  g_dMark2X = rec.m_dMark2X;
  g_dMark2Y = rec.m_dMark2Y;
  g_nOriginStepsX = static_cast<int32_t>(std::trunc(rec.m_dOriginX * g_dXPulsePerMm));
  g_nOriginStepsY = static_cast<int32_t>(std::trunc(rec.m_dOriginY * g_dYPulsePerMm));
  g_nMark1StepsX = static_cast<int32_t>(std::trunc(rec.m_dMark1X * g_dXPulsePerMm));
  g_nMark1StepsY = static_cast<int32_t>(std::trunc(rec.m_dMark1Y * g_dYPulsePerMm));
  g_nMark2StepsX = static_cast<int32_t>(std::trunc(rec.m_dMark2X * g_dXPulsePerMm));
  g_nMark2StepsY = static_cast<int32_t>(std::trunc(rec.m_dMark2Y * g_dYPulsePerMm));
  g_bMarksPerPanel = rec.m_bEachMark;
  // The grid holds what the record holds: a row shorter than the column
  // count gives skipped cells rather than reading past its end.
  const int rows = rec.m_nRows > 0 ? rec.m_nRows : 0;
  const int cols = rec.m_nCols > 0 ? rec.m_nCols : 0;
  g_PanelGrid.assign(static_cast<size_t>(rows), std::vector<std::string>(static_cast<size_t>(cols), "0"));
  for (int r = 0; r < rows && r < static_cast<int>(rec.m_PanelGrid.size()); ++r) {
    const auto& line = rec.m_PanelGrid[static_cast<size_t>(r)];
    for (int c = 0; c < cols && c + 1 < static_cast<int>(line.size()); ++c) {
      const std::string& cell = line[static_cast<size_t>(c + 1)];
      g_PanelGrid[static_cast<size_t>(r)][static_cast<size_t>(c)] = cell.substr(0, cell.find('/'));
    }
  }
}

bool FirstBoardNotSkipped(int& row, int& col) {
  for (size_t r = 0; r < g_PanelGrid.size(); ++r)
    for (size_t c = 0; c < g_PanelGrid[r].size(); ++c)
      if (g_PanelGrid[r][c] != "0") {
        row = static_cast<int>(r);
        col = static_cast<int>(c);
        return true;
      }
  return false;
}

void FirstEnabledCell(int& row, int& col) {
  row = col = 0;
  for (size_t r = 0; r < g_PanelGrid.size(); ++r)
    for (size_t c = 0; c < g_PanelGrid[r].size(); ++c)
      if (g_PanelGrid[r][c] == "1") {
        row = static_cast<int>(r);
        col = static_cast<int>(c);
        return;
      }
}

int CountEnabledCells() {
  int n = 0;
  for (const auto& r : g_PanelGrid)
    for (const auto& c : r) n += c == "1";
  return n;
}

bool PanelCellSkipped(int row, int col) {
  if (row < 0 || col < 0 || row >= static_cast<int>(g_PanelGrid.size())) return false;
  const auto& cells = g_PanelGrid[static_cast<size_t>(row)];
  return col < static_cast<int>(cells.size()) && cells[static_cast<size_t>(col)] == "0";
}

}  // namespace smt::job

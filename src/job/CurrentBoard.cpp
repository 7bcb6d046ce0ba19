#include "job/CurrentBoard.h"

#include <cmath>

#include "job/PcbRecord.h"
#include "job/StepGeometry.h"

namespace smt::job {

void FreePanelGrid() { smt::CurrentMachine().board.panelGrid.clear(); }

void LoadCurrentBoardValues(const PcbRecord& rec) {
  FreePanelGrid();
  smt::CurrentMachine().board.panelRows = rec.m_nRows;
  smt::CurrentMachine().board.panelCols = rec.m_nCols;
  smt::CurrentMachine().board.panelRowPitch = rec.m_dRowSpace;
  smt::CurrentMachine().board.panelColPitch = rec.m_dColSpace;
  smt::CurrentMachine().board.boardThickness = rec.m_dThickness;
  smt::CurrentMachine().board.originX = rec.m_dOriginX;
  smt::CurrentMachine().board.originY = rec.m_dOriginY;
  smt::CurrentMachine().board.useMarks = rec.m_bMarkEnable;
  smt::CurrentMachine().board.mark1X = rec.m_dMark1X;
  smt::CurrentMachine().board.mark1Y = rec.m_dMark1Y;
  smt::CurrentMachine().board.mark2X = rec.m_dMark2X;
  smt::CurrentMachine().board.mark2Y = rec.m_dMark2Y;
  smt::CurrentMachine().board.originStepsX = static_cast<int32_t>(std::trunc(rec.m_dOriginX * smt::CurrentMachine().steps.xPulsePerMm));
  smt::CurrentMachine().board.originStepsY = static_cast<int32_t>(std::trunc(rec.m_dOriginY * smt::CurrentMachine().steps.yPulsePerMm));
  smt::CurrentMachine().board.mark1StepsX = static_cast<int32_t>(std::trunc(rec.m_dMark1X * smt::CurrentMachine().steps.xPulsePerMm));
  smt::CurrentMachine().board.mark1StepsY = static_cast<int32_t>(std::trunc(rec.m_dMark1Y * smt::CurrentMachine().steps.yPulsePerMm));
  smt::CurrentMachine().board.mark2StepsX = static_cast<int32_t>(std::trunc(rec.m_dMark2X * smt::CurrentMachine().steps.xPulsePerMm));
  smt::CurrentMachine().board.mark2StepsY = static_cast<int32_t>(std::trunc(rec.m_dMark2Y * smt::CurrentMachine().steps.yPulsePerMm));
  smt::CurrentMachine().board.marksPerPanel = rec.m_bEachMark;
  // The grid holds what the record holds: a row shorter than the column
  // count gives skipped cells rather than reading past its end.
  const int rows = rec.m_nRows > 0 ? rec.m_nRows : 0;
  const int cols = rec.m_nCols > 0 ? rec.m_nCols : 0;
  smt::CurrentMachine().board.panelGrid.assign(static_cast<size_t>(rows), std::vector<std::string>(static_cast<size_t>(cols), "0"));
  for (int r = 0; r < rows && r < static_cast<int>(rec.m_PanelGrid.size()); ++r) {
    const auto& line = rec.m_PanelGrid[static_cast<size_t>(r)];
    for (int c = 0; c < cols && c + 1 < static_cast<int>(line.size()); ++c) {
      const std::string& cell = line[static_cast<size_t>(c + 1)];
      smt::CurrentMachine().board.panelGrid[static_cast<size_t>(r)][static_cast<size_t>(c)] = cell.substr(0, cell.find('/'));
    }
  }
}

bool FirstBoardNotSkipped(const smt::CurrentBoard& board, int& row, int& col) {
  for (size_t r = 0; r < board.panelGrid.size(); ++r)
    for (size_t c = 0; c < board.panelGrid[r].size(); ++c)
      if (board.panelGrid[r][c] != "0") {
        row = static_cast<int>(r);
        col = static_cast<int>(c);
        return true;
      }
  return false;
}

bool FirstBoardNotSkipped(int& row, int& col) { return FirstBoardNotSkipped(smt::CurrentMachine().board, row, col); }

void FirstEnabledCell(int& row, int& col) {
  row = col = 0;
  for (size_t r = 0; r < smt::CurrentMachine().board.panelGrid.size(); ++r)
    for (size_t c = 0; c < smt::CurrentMachine().board.panelGrid[r].size(); ++c)
      if (smt::CurrentMachine().board.panelGrid[r][c] == "1") {
        row = static_cast<int>(r);
        col = static_cast<int>(c);
        return;
      }
}

int CountEnabledCells() {
  int n = 0;
  for (const auto& r : smt::CurrentMachine().board.panelGrid)
    for (const auto& c : r) n += c == "1";
  return n;
}

bool PanelCellSkipped(int row, int col) {
  if (row < 0 || col < 0 || row >= static_cast<int>(smt::CurrentMachine().board.panelGrid.size())) return false;
  const auto& cells = smt::CurrentMachine().board.panelGrid[static_cast<size_t>(row)];
  return col < static_cast<int>(cells.size()) && cells[static_cast<size_t>(col)] == "0";
}

}  // namespace smt::job

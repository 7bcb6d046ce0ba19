#include "job/CurrentBoard.h"

#include <cmath>

#include "job/PcbRecord.h"
#include "job/StepGeometry.h"

namespace smt::job {

void FreePanelGrid(smt::Machine& machine) { machine.board.panelGrid.clear(); }

void LoadCurrentBoardValues(smt::Machine& machine, const PcbRecord& rec) {
  FreePanelGrid(machine);
  machine.board.panelRows = rec.m_nRows;
  machine.board.panelCols = rec.m_nCols;
  machine.board.panelRowPitch = rec.m_dRowSpace;
  machine.board.panelColPitch = rec.m_dColSpace;
  machine.board.boardThickness = rec.m_dThickness;
  machine.board.originX = rec.m_dOriginX;
  machine.board.originY = rec.m_dOriginY;
  machine.board.useMarks = rec.m_bMarkEnable;
  machine.board.mark1X = rec.m_dMark1X;
  machine.board.mark1Y = rec.m_dMark1Y;
  machine.board.mark2X = rec.m_dMark2X;
  machine.board.mark2Y = rec.m_dMark2Y;
  machine.board.originStepsX = static_cast<int32_t>(std::trunc(rec.m_dOriginX * machine.steps.xPulsePerMm));
  machine.board.originStepsY = static_cast<int32_t>(std::trunc(rec.m_dOriginY * machine.steps.yPulsePerMm));
  machine.board.mark1StepsX = static_cast<int32_t>(std::trunc(rec.m_dMark1X * machine.steps.xPulsePerMm));
  machine.board.mark1StepsY = static_cast<int32_t>(std::trunc(rec.m_dMark1Y * machine.steps.yPulsePerMm));
  machine.board.mark2StepsX = static_cast<int32_t>(std::trunc(rec.m_dMark2X * machine.steps.xPulsePerMm));
  machine.board.mark2StepsY = static_cast<int32_t>(std::trunc(rec.m_dMark2Y * machine.steps.yPulsePerMm));
  machine.board.marksPerPanel = rec.m_bEachMark;
  // The grid holds what the record holds: a row shorter than the column
  // count gives skipped cells rather than reading past its end.
  const int rows = rec.m_nRows > 0 ? rec.m_nRows : 0;
  const int cols = rec.m_nCols > 0 ? rec.m_nCols : 0;
  machine.board.panelGrid.assign(static_cast<size_t>(rows), std::vector<std::string>(static_cast<size_t>(cols), "0"));
  for (int r = 0; r < rows && r < static_cast<int>(rec.m_PanelGrid.size()); ++r) {
    const auto& line = rec.m_PanelGrid[static_cast<size_t>(r)];
    for (int c = 0; c < cols && c + 1 < static_cast<int>(line.size()); ++c) {
      const std::string& cell = line[static_cast<size_t>(c + 1)];
      machine.board.panelGrid[static_cast<size_t>(r)][static_cast<size_t>(c)] = cell.substr(0, cell.find('/'));
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

void FirstEnabledCell(const smt::Machine& machine, int& row, int& col) {
  row = col = 0;
  for (size_t r = 0; r < machine.board.panelGrid.size(); ++r)
    for (size_t c = 0; c < machine.board.panelGrid[r].size(); ++c)
      if (machine.board.panelGrid[r][c] == "1") {
        row = static_cast<int>(r);
        col = static_cast<int>(c);
        return;
      }
}

int CountEnabledCells(const smt::Machine& machine) {
  int n = 0;
  for (const auto& r : machine.board.panelGrid)
    for (const auto& c : r) n += c == "1";
  return n;
}

bool PanelCellSkipped(const smt::Machine& machine, int row, int col) {
  if (row < 0 || col < 0 || row >= static_cast<int>(machine.board.panelGrid.size())) return false;
  const auto& cells = machine.board.panelGrid[static_cast<size_t>(row)];
  return col < static_cast<int>(cells.size()) && cells[static_cast<size_t>(col)] == "0";
}

}  // namespace smt::job

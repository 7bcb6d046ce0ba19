#pragma once
// The board in work (the machine object's `board`, core/Machine.h): filled
// on the window thread when a board is shown (PCB editor OK, job loading);
// read by the run, the board geometry and the coordinate tests.
#include <string>
#include <vector>

#include "core/Machine.h"

namespace smt::job {
struct PcbRecord;
}

namespace smt::job {

// Copies record `rec` into the current board (steps with the step geometry
// of the moment) and builds its panel grid.
void LoadCurrentBoardValues(const PcbRecord& rec);
// Frees the panel grid (the part list's end of life).
void FreePanelGrid();

// The first panel cell that is not "0" (row, column), when there is one:
// of `board`, or of the machine in use.
bool FirstBoardNotSkipped(const smt::CurrentBoard& board, int& row, int& col);
bool FirstBoardNotSkipped(int& row, int& col);
// The first cell equal to "1" (0, 0 when none) and the number of such cells.
void FirstEnabledCell(int& row, int& col);
int CountEnabledCells();
// Whether panel cell (row, col) was taken out of the run ("0"); a cell the
// grid does not hold runs.
bool PanelCellSkipped(int row, int col);

}  // namespace smt::job

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

// Copies record `rec` into `machine`'s board in work (steps with its step
// geometry of the moment) and builds its panel grid.
void LoadCurrentBoardValues(smt::Machine& machine, const PcbRecord& rec);
// Frees the machine's panel grid (the part list's end of life).
void FreePanelGrid(smt::Machine& machine);

// The first panel cell of `board` that is not "0" (row, column), when there
// is one.
bool FirstBoardNotSkipped(const smt::CurrentBoard& board, int& row, int& col);
// The first cell of the machine's panel grid equal to "1" (0, 0 when none)
// and the number of such cells.
void FirstEnabledCell(const smt::Machine& machine, int& row, int& col);
int CountEnabledCells(const smt::Machine& machine);
// Whether panel cell (row, col) of the machine's board was taken out of the
// run ("0"); a cell the grid does not hold runs.
bool PanelCellSkipped(const smt::Machine& machine, int row, int col);

}  // namespace smt::job

#pragma once
// The board in work: the values of the PCB record that the part list shows,
// in millimetres and in motor steps, with its panel grid. Filled on the
// window thread when a board is shown (PCB editor OK, job loading); read by
// the run, the board geometry and the coordinate tests.
#include <string>
#include <vector>

namespace smt::job {
struct PcbRecord;
}

inline int g_nPanelRows = 0, g_nPanelCols = 0;
inline double g_dPanelRowPitch = 0, g_dPanelColPitch = 0;
inline double g_dBoardThickness = 0;
inline double g_dOriginX = 0, g_dOriginY = 0;
inline bool g_bUseMarks = false;
inline double g_dMark1X = 0, g_dMark1Y = 0, g_dMark2X = 0, g_dMark2Y = 0;
inline int32_t g_nOriginStepsX = 0, g_nOriginStepsY = 0;
inline int32_t g_nMark1StepsX = 0, g_nMark1StepsY = 0, g_nMark2StepsX = 0, g_nMark2StepsY = 0;
inline bool g_bMarksPerPanel = false;
// g_nPanelRows rows of g_nPanelCols cells: "1" run, "0" skip.
inline std::vector<std::vector<std::string>> g_PanelGrid;

namespace smt::job {

// Copies record `rec` into the current board (steps with the step geometry
// of the moment) and builds its panel grid.
void LoadCurrentBoardValues(const PcbRecord& rec);
// Frees the panel grid (the part list's end of life).
void FreePanelGrid();

// The first panel cell that is not "0" (row, column), when there is one.
bool FirstBoardNotSkipped(int& row, int& col);
// The first cell equal to "1" (0, 0 when none) and the number of such cells.
void FirstEnabledCell(int& row, int& col);
int CountEnabledCells();
// Whether panel cell (row, col) was taken out of the run ("0"); a cell the
// grid does not hold runs.
bool PanelCellSkipped(int row, int col);

}  // namespace smt::job

#pragma once
// Connections of the editors and the run to their neighbours: the feeder
// editor and tests to the part list, the nozzle library, the camera table
// and the camera panel; the part editors to the machine; the run to the
// camera table's correction angles.
class CSMTView;
struct BoardMarkView;

void InstallOperatorConnections(CSMTView& view);

// The Mark camera values of the board the part list shows (window thread).
BoardMarkView ShownBoardMark(CSMTView& view);

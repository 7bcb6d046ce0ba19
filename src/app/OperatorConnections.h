#pragma once
// Connections of the editors and the run to their neighbours: the feeder
// editor and tests to the part list, the nozzle library, the camera table
// and the camera panel; the part editors to the machine; the run to the
// camera table's correction angles.
class CSMTView;

void InstallOperatorConnections(CSMTView& view);

#pragma once
// The lamp machine's run services: the point table, its board counters and
// the Mark camera, connected to the run engine.
class CSMTView;

void InstallStationRuns(CSMTView& view);

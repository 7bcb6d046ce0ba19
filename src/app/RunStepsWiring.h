#pragma once
// The placement run's steps that reach the window and the stations: the
// windows a run disables, its progress and scroll, the marks-measured flag,
// the cover-tape unit's settings and counters, the dipping station, and the
// cover-tape page behind the strategy page's "设置".
class CSMTView;

void InstallRunSteps(CSMTView& view);

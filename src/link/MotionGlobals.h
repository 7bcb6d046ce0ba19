#pragma once
// The positions and targets the motion commands keep beside the gantry's
// (second platform, conveyor width, per-head turns of the combined XY move)
// are the machine object's `motion`; the run gates the front-panel keys open
// and close are its `run` (core/Machine.h).
#include "core/Machine.h"

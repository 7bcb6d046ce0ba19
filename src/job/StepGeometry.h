#pragma once
// The step geometry of the machine (motor steps per millimetre and per
// degree, the camera and nozzle offsets in steps) is the machine object's
// `steps` (core/Machine.h); LoadStepGeometry (BoardGeometry.h) fills it when
// the settings are read or confirmed.
#include "core/Machine.h"

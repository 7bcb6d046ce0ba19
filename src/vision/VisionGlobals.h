#pragma once
// The camera and vision state shared by the camera panel, the vision steps
// and the runs is the machine object's `camera` (core/Machine.h); the lens
// correction of visual camera 2 is the machine's part CCameraCalib
// (vision/CameraCalib.h), loaded by the machine settings.
#include "core/Machine.h"

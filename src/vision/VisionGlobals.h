#pragma once
// Process-wide camera and vision state shared by the camera panel, the
// vision steps and the runs.
#include <atomic>

// Which camera the live view shows: 0 Mark camera, 1 visual camera 1,
// 2 visual camera 2 (3: the labeling camera's light channel).
extern std::atomic<int> g_nVisionMode;
// Camera kind: 1 industrial cameras, 0 capture (USB video) cameras.
extern std::atomic<int> g_nHighSpeedCamera;
extern std::atomic<bool> g_bHighSpeedMarkCamera;
extern std::atomic<bool> g_bHighSpeedVisualCamera1;
extern std::atomic<bool> g_bHighSpeedVisualCamera2;
extern std::atomic<bool> g_bFlyCamera;

class CCameraCalib;
// The lens correction of visual camera 2, loaded by the machine settings.
CCameraCalib& g_CameraCalib();

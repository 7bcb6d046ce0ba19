#include "vision/VisionGlobals.h"

std::atomic<int> g_nVisionMode{0};
std::atomic<int> g_nHighSpeedCamera{0};
std::atomic<bool> g_bHighSpeedMarkCamera{false};
std::atomic<bool> g_bHighSpeedVisualCamera1{false};
std::atomic<bool> g_bHighSpeedVisualCamera2{false};
std::atomic<bool> g_bFlyCamera{false};

#include "vision/CameraCalib.h"

CCameraCalib& g_CameraCalib() {
  static CCameraCalib calib;
  return calib;
}

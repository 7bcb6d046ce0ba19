#pragma once
// Unit tests of the camera panel without the shell: its hooks filled by hand
// (empty camera records and board marks, no feeder selected, corrections
// off). A test overrides the ones it watches.
#include <string>

#include "vision/CDialogSetView.h"

namespace smt::testing {

inline void FillCameraPanelHooks(CDialogSetView& p) {
  p.hooks.cameraRecord = [](int) { return smt::vision::CameraRecord{}; };
  p.hooks.boardMark = [] { return BoardMarkView{}; };
  p.hooks.selectedFeederPackage = [] { return std::string(); };
  p.hooks.lensCorrection = [] { return false; };
  p.hooks.visualColourReversal = [] { return false; };
  p.hooks.homingWaiver = [] { return false; };
  p.hooks.recognizeLiveFrame = [](int, const cv::Mat&) {};
  p.hooks.heightChanged = [](int) {};
}

}  // namespace smt::testing

#pragma once
// Unit tests of the camera panel without the shell: its neighbours and its
// fly-frame hook filled by hand (empty camera records and board marks, no
// feeder selected, corrections off).
#include <memory>
#include <string>

#include "vision/CDialogSetView.h"

namespace smt::testing {

// Empty camera records and board marks, no feeder selected, corrections
// off, any height taken.
class QuietCameraPanelNeighbours : public CDialogSetView::Neighbours {
 public:
  smt::vision::CameraRecord CameraRecordOf(int) override { return {}; }
  BoardMarkView BoardMark() override { return {}; }
  std::string SelectedFeederPackage() override { return {}; }
  bool LensCorrection() override { return false; }
  bool VisualColourReversal() override { return false; }
  bool HomingWaiver() override { return false; }
  void HeightChanged(int) override {}
};

inline void FillCameraPanelHooks(CDialogSetView& p) {
  p.neighbours.Own(std::make_shared<QuietCameraPanelNeighbours>());
  p.recognizeLiveFrame = [](int, const cv::Mat&) {};
}

}  // namespace smt::testing

#pragma once
// The tests' vision steps of the runs: each step answers as its member says
// (set before the run starts; the steps are called on the run's threads).
// Connect it with smt::run::Services(smt::CurrentMachine()).vision.Connect(...).
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "library/MarkLibrary.h"
#include "run/HeadRecords.h"
#include "run/RunServices.h"

namespace testsupport {

class TestRunVision : public smt::run::RunVision {
 public:
  std::function<bool()> alignBoardMarks = [] { return true; };
  std::function<bool(smt::run::HeadPlaceState&, bool sharedView)> recognizeHeadPart =
      [](smt::run::HeadPlaceState&, bool) { return true; };
  std::function<bool(const smt::library::MarkEditFields&, smt::run::HeadPlaceState&)> recognizeOwnMark =
      [](const smt::library::MarkEditFields&, smt::run::HeadPlaceState&) { return false; };
  std::function<std::pair<int32_t, int32_t>(int camera)> visionCameraPosition = [](int) {
    return std::pair<int32_t, int32_t>{0, 0};
  };
  std::pair<double, double> cameraAngles{0, 0};
  std::optional<double> sharedViewAngle;
  int captureCameras = 1;
  std::atomic<int> markCameraOpens{0};

  bool AlignBoardMarks() override { return alignBoardMarks(); }
  bool RecognizeHeadPart(smt::run::HeadPlaceState& p, bool sharedView) override {
    return recognizeHeadPart(p, sharedView);
  }
  // No fly pass.
  bool FlyVisionAvailable() override { return false; }
  bool FlyVisionAllHeads() override { return false; }
  bool RecognizeOwnMark(const smt::library::MarkEditFields& m, smt::run::HeadPlaceState& p) override {
    return recognizeOwnMark(m, p);
  }
  void OpenMarkCamera() override { ++markCameraOpens; }
  std::pair<double, double> CameraAngleOffsets() override { return cameraAngles; }
  std::optional<double> SharedViewAngleOffset() override { return sharedViewAngle; }
  std::pair<int32_t, int32_t> VisionCameraPosition(int camera) override { return visionCameraPosition(camera); }
  int CaptureCameraCount() override { return captureCameras; }
};

}  // namespace testsupport

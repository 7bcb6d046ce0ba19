#pragma once
// Centring of a picked part on the two-platform machine with one look: the
// head goes over the vision camera of its part job along X, the vacuum is
// checked, one frame is recognised and the correction is stored in the
// part job without moving.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/Machine.h"
#include "vision/HeadVision.h"

namespace smt::vision {

struct PlatformVisionIo {
  HeadVisionIo head;  // camera, frames, gate, report, scales
  // Light channel and brightness of the camera (2 for vision camera 1, 3
  // for vision camera 2).
  std::function<void(int channel, int brightness)> selectLight;
  // X move of head `head` by dx on the platform's axis (platform 1 or 2),
  // the head's rotation delta going with it; false when refused.
  std::function<bool(int platform, int head, int32_t dx, int32_t rotation, const HeadVisionSpeeds&)> movePlatformX;
  // The last vacuum reading (kPa).
  std::function<int()> vacuumKpa;
  // X offset of head 2..4 from head 1 (pulses); rotation delta of a head.
  std::function<int32_t(int head)> headOffsetX;
  std::function<int32_t(int head)> headRotation;
};
// The defaults of `machine` (the io keeps a reference to it).
PlatformVisionIo DefaultPlatformVisionIo(smt::Machine& machine);

struct PlatformCamera {
  HeadVisionCamera camera;
  int32_t cameraPulseX = 0;  // X of the camera in pulses
  int lightContrast = 0;     // used when the job's contrast is 0
};

// True when the run must stop (stopped, or no camera); false otherwise,
// also after a refused move or a vacuum failure (failed flag 1).
bool PlatformVisionCentre(smt::Machine& machine, HeadVisionJob& job, int requiredVacuumKpa, int platform,
                          const std::array<PlatformCamera, 2>& cameras, const PlatformVisionIo& io);

// One frame, recognised; the correction stored for visionMode 2. True when
// the run was stopped at the closing gate or no camera is usable.
bool RecognizePlatformPart(smt::Machine& machine, HeadVisionJob& job, const std::array<PlatformCamera, 2>& cameras,
                           const PlatformVisionIo& io);

// The target X of the last platform move (kept for heads without an offset).

}  // namespace smt::vision

#pragma once
// Simulated industrial cameras that see the simulated machine's world: the
// Mark camera sees the board under it, the two up-looking vision cameras see
// the parts held over them, and vision camera 1 also takes one frame per
// trigger pulse of a fly pass (in trigger mode).
#include <array>
#include <memory>

#include "sim/CameraEffects.h"
#include "sim/SimWorld.h"
#include "vision/CameraDS.h"
#include "vision/SimulatedCamera.h"

namespace smt::sim {

struct WorldCameraLook {
  int cols = 640, rows = 480;
  std::array<double, 3> pixelsPerMm{18.0, 20.0, 20.0};  // Mark, vision 1, vision 2
  double noise = 1.5;                                   // grey levels
  // What a real camera adds (none unless switched on), shared by every
  // camera made from this look: switching it changes their next frames.
  std::shared_ptr<CameraEffectsSwitch> effects = std::make_shared<CameraEffectsSwitch>();
};

struct WorldCameras {
  std::shared_ptr<smt::vision::SimulatedCameraSystem> system;
  std::array<std::shared_ptr<smt::vision::SimulatedCamera>, 3> cameras;  // Mark, vision 1, vision 2
};

// The three cameras, named as the machine names them, on one bus. The world
// must outlive them.
WorldCameras MakeWorldCameras(std::shared_ptr<SimWorld> world, const WorldCameraLook& look = {});

// The machine's capture devices (the second camera kind): device 0 sits
// behind the machine's video switch and shows the camera the last command
// 0x04 chose (Mark, vision 1 or vision 2); device 1 is the side camera that
// sees head 2 while head 1 is over vision camera 1. `devices` of them are
// listed (1 or 2). The world must outlive them.
CaptureDeviceSource MakeWorldCaptureDevices(std::shared_ptr<SimWorld> world, const WorldCameraLook& look,
                                            int devices);

// The picture of a view (also used by benchmarks): `camera` as SimWorld::View
// numbers them (0 the Mark camera, 1..3 the up-looking ones, which show the
// nozzles and the ground of the effects). `seed` numbers the frame.
cv::Mat RenderView(const std::vector<ViewShape>& shapes, int cols, int rows, double pixelsPerMm, double noise,
                   unsigned seed, const CameraEffects& effects = {}, int camera = 1);

}  // namespace smt::sim

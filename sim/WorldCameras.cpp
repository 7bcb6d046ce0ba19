#include "sim/WorldCameras.h"

#include <atomic>
#include <cstdio>

#include "vision/SimulatedScene.h"

namespace smt::sim {

namespace {
// Switching the trigger mode forgets fly frames no pulse was counted for.
class WorldCamera : public smt::vision::SimulatedCamera {
 public:
  WorldCamera(std::string name, smt::vision::CameraCapability cap, std::weak_ptr<SimWorld> world)
      : SimulatedCamera(std::move(name), cap), world_(std::move(world)) {}
  bool SetTriggerMode(smt::vision::TriggerMode mode) override {
    if (auto w = world_.lock())
      while (w->TakeFlyView()) {
      }
    return SimulatedCamera::SetTriggerMode(mode);
  }

 private:
  std::weak_ptr<SimWorld> world_;
};
// The picture shows the machine as it is when the frame is done: a view
// that changed during the rendering (a move) is rendered again. Only a
// change of what the camera sees counts; the board's other commands (reads,
// outputs) leave the picture as it is, so a frame costs one rendering on a
// busy link too.
cv::Mat RenderSettled(const SimWorld& w, int view, const WorldCameraLook& look, double scale,
                      std::atomic<unsigned>& seed) {
  cv::Mat picture;
  std::vector<ViewShape> shapes = w.View(view);
  for (int attempt = 0; attempt < 3; ++attempt) {
    picture = RenderView(shapes, look.cols, look.rows, scale, look.noise, seed.fetch_add(1));
    std::vector<ViewShape> now = w.View(view);
    if (now == shapes) break;
    shapes = std::move(now);
  }
  return picture;
}
}  // namespace

cv::Mat RenderView(const std::vector<ViewShape>& shapes, int cols, int rows, double pixelsPerMm, double noise,
                   unsigned seed) {
  smt::vision::SimulatedScene scene(cols, rows, pixelsPerMm);
  scene.SetBackground(20);
  scene.SetNoise(noise, seed);
  for (const ViewShape& s : shapes) {
    if (s.circle)
      scene.AddCircle({s.x, s.y}, s.width, s.grey);
    else
      scene.AddRect({s.x, s.y}, {s.width, s.height}, s.angleDeg, s.grey);
  }
  return scene.Render();
}

CaptureDeviceSource MakeWorldCaptureDevices(std::shared_ptr<SimWorld> world, const WorldCameraLook& look,
                                            int devices) {
  CaptureDeviceSource src;
  src.list = [devices] {
    std::vector<VideoInputDevice> out;
    for (int i = 0; i < devices; ++i) out.push_back({i, "Simulated capture " + std::to_string(i + 1)});
    return out;
  };
  std::weak_ptr<SimWorld> weak = world;
  auto seed = std::make_shared<std::atomic<unsigned>>(101);
  src.open = [weak, look, seed, devices](int index) -> std::unique_ptr<CCameraDS> {
    if (index < 0 || index >= devices) return nullptr;
    return std::make_unique<CCameraDS>([weak, look, seed, index]() -> cv::Mat {
      auto w = weak.lock();
      if (!w) return {};
      int view = 3;
      if (index == 0) {
        const int channel = w->SelectedChannel();
        view = channel == 2 ? 1 : channel == 3 ? 2 : 0;
      }
      const double scale = look.pixelsPerMm[static_cast<size_t>(view == 3 ? 1 : view)];
      return RenderSettled(*w, view, look, scale, *seed);
    });
  };
  return src;
}

WorldCameras MakeWorldCameras(std::shared_ptr<SimWorld> world, const WorldCameraLook& look) {
  WorldCameras out;
  out.system = std::make_shared<smt::vision::SimulatedCameraSystem>();
  static const char* names[3] = {"Mark_Camera", "Visual_Camera_1", "Visual_Camera_2"};
  auto seed = std::make_shared<std::atomic<unsigned>>(11);
  for (int role = 0; role < 3; ++role) {
    auto cam = std::make_shared<WorldCamera>(names[role], smt::vision::CameraCapability{look.cols, look.rows, false},
                                             world);
    std::weak_ptr<SimWorld> weak = world;
    const double scale = look.pixelsPerMm[static_cast<size_t>(role)];
    cam->SetFrameSource([weak, role, look, seed, scale]() -> cv::Mat {
      auto w = weak.lock();
      if (!w) return {};
      return RenderSettled(*w, role, look, scale, *seed);
    });
    if (role == 1) {
      // A trigger pulse's frame shows the machine at the pulse.
      cam->SetTriggeredFrameSource([weak, look, seed, scale]() -> cv::Mat {
        auto w = weak.lock();
        if (!w) return {};
        auto fly = w->TakeFlyView();
        if (!fly) return {};
        return RenderView(*fly, look.cols, look.rows, scale, look.noise, seed->fetch_add(1));
      });
    }
    out.cameras[static_cast<size_t>(role)] = cam;
    (void)role;
    out.system->Add(cam);
  }
  std::weak_ptr<smt::vision::SimulatedCamera> fly = out.cameras[1];
  world->SetTriggerListener([fly] {
    if (auto c = fly.lock()) c->FireTrigger();
  });
  return out;
}

}  // namespace smt::sim

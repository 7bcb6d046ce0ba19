#include "sim/WorldCameras.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>

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
    picture = RenderView(shapes, look.cols, look.rows, scale, look.noise, seed.fetch_add(1), look.effects->Get(), view);
    std::vector<ViewShape> now = w.View(view);
    if (now == shapes) break;
    shapes = std::move(now);
  }
  return picture;
}
}  // namespace

cv::Mat RenderView(const std::vector<ViewShape>& shapes, int cols, int rows, double pixelsPerMm, double noise,
                   unsigned seed, const CameraEffects& fx, int camera) {
  const bool upLooking = camera != 0;
  const bool ground = upLooking && fx.groundGrey >= 0;
  const int groundGrey = ground ? fx.groundGrey : 20;
  smt::vision::SimulatedScene scene(cols, rows, pixelsPerMm);
  scene.SetBackground(groundGrey);
  // Noise comes from the sensor, after the lens's blur: with a blur the
  // scene is drawn clean and the noise is added below.
  const bool late = fx.blurPx > 0 || fx.lightingShare > 0 || fx.sensorNoise > 0;
  scene.SetNoise(late ? 0.0 : noise, seed);
  if (upLooking && fx.nozzleMm > 0) {
    // The tip behind the part, and the shadow the ring light casts of it on
    // the ground beside it; both hidden where a part covers them.
    const double d = fx.nozzleMm;
    for (const ViewShape& s : shapes)
      if (s.nozzle) scene.AddCircle({s.x + 0.3 * d, s.y + 0.3 * d}, 1.4 * d, std::max(0, groundGrey - 25));
    for (const ViewShape& s : shapes)
      if (s.nozzle) scene.AddCircle({s.x, s.y}, d, 110);
  }
  for (const ViewShape& s : shapes) {
    if (s.nozzle) continue;
    const int grey = ground ? fx.partGrey : s.grey;
    if (s.circle)
      scene.AddCircle({s.x, s.y}, s.width, grey);
    else
      scene.AddRect({s.x, s.y}, {s.width, s.height}, s.angleDeg, grey);
  }
  if (fx.edgeShare > 0) {
    // A straight edge a little off the vertical over the frame's right side.
    const double w = cols / pixelsPerMm, h = rows / pixelsPerMm;
    const double x0 = w / 2 - fx.edgeShare * w, slant = 0.05 * h;
    scene.AddPolygon({{x0 - slant / 2, -h / 2 - 1}, {w / 2 + 1, -h / 2 - 1}, {w / 2 + 1, h / 2 + 1}, {x0 + slant / 2, h / 2 + 1}},
                     fx.edgeGrey);
  }
  cv::Mat picture = scene.Render();
  if (!late) return picture;
  cv::Mat level;
  picture.convertTo(level, CV_32F);
  if (fx.lightingShare > 0) {
    // The light falls linearly from the top-left corner to the bottom-right.
    cv::Mat gain(rows, cols, CV_32F);
    const double span = static_cast<double>(cols - 1) + (rows - 1);
    for (int y = 0; y < rows; ++y) {
      float* g = gain.ptr<float>(y);
      for (int x = 0; x < cols; ++x) g[x] = static_cast<float>(1.0 - fx.lightingShare * (x + y) / std::max(1.0, span));
    }
    cv::Mat gains;
    cv::merge(std::vector<cv::Mat>(static_cast<size_t>(level.channels()), gain), gains);
    level = level.mul(gains);
  }
  if (fx.blurPx > 0) cv::GaussianBlur(level, level, cv::Size(), fx.blurPx);
  const double sd = std::sqrt(noise * noise + fx.sensorNoise * fx.sensorNoise);
  if (sd > 0) {
    cv::Mat n(level.size(), level.type());
    cv::RNG rng(static_cast<uint64_t>(fx.seed) * 0x9E3779B97F4A7C15ull + seed);
    rng.fill(n, cv::RNG::NORMAL, 0.0, sd);
    level += n;
  }
  level.convertTo(picture, CV_8UC3);
  return picture;
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
        return RenderView(*fly, look.cols, look.rows, scale, look.noise, seed->fetch_add(1), look.effects->Get(), 1);
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

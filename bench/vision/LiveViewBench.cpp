// The live view's per-frame work (centred cut, cursor, conversion for the
// window) and a frame request through the camera engine's grab thread.
#include <benchmark/benchmark.h>

#include "vision/CameraEngine.h"
#include "vision/CvvMat.h"
#include "vision/SimulatedCamera.h"

using namespace smt::vision;

namespace {

void BM_LiveViewFrame(benchmark::State& state) {
  const double zoom = state.range(0) / 10.0;
  cv::Mat frame(1024, 1280, CV_8UC3, cv::Scalar(40, 40, 40));
  for (auto _ : state) {
    cv::Mat view = CutCentredView(frame, zoom);
    DrawCrossCursor(view, 200);
    QImage image = MatToQImage(view);
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_LiveViewFrame)->Arg(10)->Arg(5)->Unit(benchmark::kMicrosecond);

void BM_FrameRequest(benchmark::State& state) {
  SimulatedCameraSystem system;
  auto cam = std::make_shared<SimulatedCamera>("Mark_Camera", CameraCapability{640, 480, false});
  const cv::Mat still(480, 640, CV_8UC3, cv::Scalar(10, 20, 30));
  cam->SetFrameSource([still] { return still.clone(); });
  system.Add(cam);
  CameraEngine engine;
  engine.SetMinFrameInterval(std::chrono::milliseconds(0));
  engine.StartCameras(system, 0);
  cv::Mat frame;
  for (auto _ : state) {
    if (!engine.RequestFrame(0, frame, std::chrono::milliseconds(2000))) state.SkipWithError("no frame");
    benchmark::DoNotOptimize(frame.data);
  }
  engine.Shutdown();
}
BENCHMARK(BM_FrameRequest)->Unit(benchmark::kMicrosecond);

}  // namespace

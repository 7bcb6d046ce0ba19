// Time per head recognition (one stop-and-look pass on a 1280 x 1024 frame,
// part already centred) and per fly pass (the recognition of one triggered
// frame per head, 2, 4 or 8 heads). Baseline: one camera frame at 30 frames
// a second (33.3 ms); the ratio is the time against it.
#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/MessageService.h"
#include "vision/HeadVision.h"
#include "vision/SimulatedScene.h"

using namespace smt::vision;

namespace {

constexpr double kFrameMs = 1000.0 / 30.0;

cv::Mat PartFrame() {
  SimulatedScene scene(1280, 1024, 80.0);
  scene.SetBackground(20);
  scene.SetNoise(1.5, 3);
  scene.AddRect({0.004, -0.004}, {5.0, 2.5}, 0.02, 230);
  return scene.Render();
}

HeadVisionJob Job() {
  HeadVisionJob j;
  j.contrast = 60;
  j.recognitionType = 1;
  j.partLength = 5.0;
  j.partWidth = 2.5;
  j.visionMode = 1;
  return j;
}

HeadVisionCamera Camera() {
  HeadVisionCamera c;
  c.zoom = 80;
  c.visualSize = 12.6;
  c.correctionTimes = 1;
  c.precisionXY = 5;
  c.precisionA = 100;
  c.collectTimeMs = 0;
  return c;
}

// The figure (ms per iteration), its baseline and their ratio.
void Report(benchmark::State& state, std::chrono::steady_clock::duration spent, double perIterationFrames) {
  const double ms = std::chrono::duration<double, std::milli>(spent).count() / static_cast<double>(state.iterations());
  state.counters["ms"] = ms;
  state.counters["baseline_ms"] = kFrameMs * perIterationFrames;
  state.counters["ratio"] = ms / (kFrameMs * perIterationFrames);
}

void BM_HeadRecognition(benchmark::State& state) {
  smt::platform::ScopedRecordingMessages messages;
  const cv::Mat frame = PartFrame();
  HeadVisionIo io;
  io.cameraReady = [](int) { return true; };
  io.grabFrame = [&](int, cv::Mat& f) {
    f = frame;
    return true;
  };
  io.pulsesPerMmX = io.pulsesPerMmY = 100;
  io.pulsesPerDegA = 100;
  const HeadVisionCamera cam = Camera();
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    HeadVisionJob job = Job();
    if (!RecognizeHeadPart(job, cam, io) || job.failed) state.SkipWithError("part not centred");
  }
  Report(state, std::chrono::steady_clock::now() - t0, 1);
}
BENCHMARK(BM_HeadRecognition)->Unit(benchmark::kMillisecond);

void BM_FlyPassRecognition(benchmark::State& state) {
  smt::platform::ScopedRecordingMessages messages;
  const cv::Mat frame = PartFrame();
  HeadVisionIo io;
  io.pulsesPerMmX = io.pulsesPerMmY = 100;
  io.pulsesPerDegA = 100;
  const HeadVisionCamera cam = Camera();
  const int heads = static_cast<int>(state.range(0));
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (int h = 1; h <= heads; ++h) {
      HeadVisionJob job = Job();
      job.visionMode = 2;
      job.headTarget = h;
      RecognizeLiveFrame(job, cam, frame, io, 0.0);
      if (job.failed) state.SkipWithError("fly frame not recognised");
    }
  }
  Report(state, std::chrono::steady_clock::now() - t0, heads);
}
BENCHMARK(BM_FlyPassRecognition)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

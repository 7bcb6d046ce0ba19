// A 160 x 160 template over a 1280 x 1024 colour camera frame: the
// coarse-to-fine search the program uses (in MatchTemplateFind) against the
// search over the whole frame at full resolution, measured side by side;
// same_result tells that both found the same place and score.
#include <benchmark/benchmark.h>

#include <chrono>

#include "vision/PartRecognizers.h"
#include "vision/SimulatedScene.h"
#include "vision/TemplateSearch.h"

using namespace smt::vision;

namespace {

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_TemplateSearch160On1280x1024(benchmark::State& state) {
  SimulatedScene scene(1280, 1024, 20.0, {0, 0});
  for (int i = 0; i < 6; ++i) scene.AddChip({-24.0 + 9.0 * i, -8.0}, 4.0, 2.0, 0.8, 2.0 * i);
  scene.AddMark({20.0, 15.0}, 1.5);
  scene.SetNoise(6.0, 5);
  const cv::Mat frame = scene.Render();
  const cv::Mat templ = frame(cv::Rect(560, 430, 160, 160)).clone();
  double programMs = 0, fullMs = 0, searchMs = 0;
  int64_t n = 0;
  bool same = true;
  for (auto _ : state) {
    double score = 0;
    int ox = 0, oy = 0;
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(MatchTemplateFind(frame, templ, score, ox, oy));
    auto t1 = std::chrono::steady_clock::now();
    const TemplateMatch full = SearchTemplateFull(frame, templ);
    auto t2 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(SearchTemplate(frame, templ));
    auto t3 = std::chrono::steady_clock::now();
    searchMs += Ms(t3 - t2);
    programMs += Ms(t1 - t0);
    fullMs += Ms(t2 - t1);
    same = same && full.topLeft == cv::Point(640 - 80 - ox, 512 - 80 - oy) && std::abs(full.score - score) < 1e-5;
    ++n;
  }
  // The figure: the program's search; the baseline: the full search; the
  // ratio of the two. with_picture_ms adds MatchTemplateFind's result
  // picture (a copy of the frame with the match drawn, handed to the view).
  state.counters["search_ms"] = searchMs / static_cast<double>(n);
  state.counters["full_search_ms"] = fullMs / static_cast<double>(n);
  state.counters["ratio"] = searchMs / fullMs;
  state.counters["with_picture_ms"] = programMs / static_cast<double>(n);
  state.counters["same_result"] = same ? 1 : 0;
}
BENCHMARK(BM_TemplateSearch160On1280x1024)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

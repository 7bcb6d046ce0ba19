// Template search over a 1280 x 1024 colour camera frame, scene by scene:
// the search the program uses (SearchTemplate, at the accept score find
// template uses) against the search over the whole frame at full resolution
// (cv::matchTemplate and the best place), measured side by side in the same
// rounds. Each scene prints
//   search_ms       the program's search (median of the rounds)
//   full_search_ms  the whole-frame search, the baseline
//   ratio           search_ms / full_search_ms
//   program_ms      MatchTemplateFind: the search and its result picture
//   same_place      1 when the program's answer is the full search's: the same
//                   place, or both below the accept score
//   score_diff      the largest difference between the two searches' scores
//                   seen (both report ScoreAt at their place, so 0 when the
//                   places agree; 0 when both refuse)
//   same_score      1 when every round's two scores are equal to the last bit
//   map_score_diff  how far the reported score lies from the float score of
//                   cv::matchTemplate's whole-frame map at the same place
//                   (that map's rounding, which the reported score leaves out)
//   full_score      the full search's best score (the accept score is 0.8)
//   search_cpu_ms, full_cpu_ms, cpu_ratio
//                   the same on the thread's processor time, which a loaded
//                   machine stretches less than the wall clock
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cmath>
#include <vector>
#include <opencv2/imgproc.hpp>

#include "bench/TimingRounds.h"
#include "vision/PartRecognizers.h"
#include "vision/SimulatedScene.h"
#include "vision/TemplateSearch.h"

using namespace smt::vision;

namespace {

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Scene {
  cv::Mat frame, templ;
};

// The template cut from the frame at `cut`.
Scene Cut(const SimulatedScene& s, cv::Rect cut) {
  Scene sc;
  sc.frame = s.Render();
  sc.templ = sc.frame(cut).clone();
  return sc;
}

// A clear match: six chips and a mark, one chip in the template.
Scene ClearMatch() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  for (int i = 0; i < 6; ++i) s.AddChip({-24.0 + 9.0 * i, -8.0}, 4.0, 2.0, 0.8, 2.0 * i);
  s.AddMark({20.0, 15.0}, 1.5);
  s.SetNoise(6.0, 5);
  // Chip 3 (at 3, -8 mm: pixel 700, 352) with its margin.
  return Cut(s, {620, 272, 160, 160});
}

// 48 chips of one kind in a tray, turned by a few hundredths of a degree
// and lying off by a few hundredths of a millimetre each: every pocket looks
// like the template.
Scene NearIdenticalChips() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  s.SetBackground(30);
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 8; ++c) {
      const int k = r * 8 + c;
      s.AddChip({-26.25 + 7.5 * c + 0.013 * (k % 5), -20.0 + 8.0 * r + 0.011 * (k % 3)}, 4.0, 2.0, 0.8,
                0.04 * ((k * 7) % 11) - 0.2);
    }
  s.SetNoise(4.0, 11);
  // The template: the chip in row 2, column 3, with its margin.
  const cv::Point2d at = s.ToPixel({-26.25 + 7.5 * 3 + 0.013 * (19 % 5), -20.0 + 8.0 * 2 + 0.011 * (19 % 3)});
  return Cut(s, {static_cast<int>(at.x) - 60, static_cast<int>(at.y) - 36, 120, 72});
}

// A 40 x 40 template around a small mark among marks of other sizes and
// chips.
Scene SmallTemplate() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  for (int i = 0; i < 6; ++i) s.AddChip({-24.0 + 9.0 * i, -8.0}, 4.0, 2.0, 0.8, 15.0 * i);
  for (int i = 0; i < 8; ++i) s.AddMark({-28.0 + 8.0 * i, 12.0 + 2.0 * (i % 2)}, 0.9 + 0.12 * i);
  s.SetNoise(5.0, 3);
  const cv::Point2d at = s.ToPixel({-28.0 + 8.0 * 3, 12.0 + 2.0});
  return Cut(s, {static_cast<int>(at.x) - 20, static_cast<int>(at.y) - 20, 40, 40});
}

// No match anywhere: the template shows a part (a triangle beside a turned
// pad) that the frame does not hold; the frame is busy with chips and pads.
Scene NoMatch() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  for (int i = 0; i < 6; ++i) s.AddChip({-24.0 + 9.0 * i, -8.0}, 4.0, 2.0, 0.8, 12.0 * i);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 8; ++c) s.AddRect({-26.0 + 7.5 * c, 6.0 + 6.0 * r}, {2.0 + 0.2 * c, 3.0}, 5.0 * r, 120 + 15 * c);
  s.SetNoise(6.0, 21);
  SimulatedScene other(1280, 1024, 20.0, {0, 0});
  other.AddPolygon({{-3, -3}, {3, -2}, {-1, 3}}, 200);
  other.AddRect({2.0, 2.0}, {3.0, 1.2}, 33.0, 160);
  other.SetNoise(6.0, 22);
  Scene sc;
  sc.frame = s.Render();
  sc.templ = other.Render()(cv::Rect(560, 432, 160, 160)).clone();
  return sc;
}

// A near-flat template as a camera gives it: a stretch of bare board (solder
// mask a few grey levels above black, one faint trace at its edge) seen
// through the camera's noise; most of what the template holds is the noise
// of that one picture.
Scene NearFlat() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  s.SetBackground(60);
  for (int i = 0; i < 14; ++i) s.AddRect({-30.0 + 4.6 * i, 0.0}, {0.4, 50.0}, 0.0, 66);
  for (int i = 0; i < 6; ++i) s.AddChip({-24.0 + 9.0 * i, -18.0}, 4.0, 2.0, 0.8, 0.0);
  s.SetNoise(4.0, 31);
  return Cut(s, {600, 500, 160, 160});
}

// The same scene seen in another frame: the camera's noise of the frame
// searched is not the noise of the frame the template was cut from.
Scene CutElsewhere(SimulatedScene s, cv::Rect cut, double noise, unsigned cutSeed, unsigned searchSeed) {
  s.SetNoise(noise, cutSeed);
  Scene sc;
  sc.templ = s.Render()(cut).clone();
  s.SetNoise(noise, searchSeed);
  sc.frame = s.Render();
  return sc;
}

// The clear-match scene's frame with a low-contrast template: a patch of
// bare ground between the chips (what the clear match was before it was
// moved to a chip), searched in its own frame.
SimulatedScene ChipsAndMark() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  for (int i = 0; i < 6; ++i) s.AddChip({-24.0 + 9.0 * i, -8.0}, 4.0, 2.0, 0.8, 2.0 * i);
  s.AddMark({20.0, 15.0}, 1.5);
  return s;
}
const cv::Rect kBareGround(560, 430, 160, 160);
Scene LowContrast() {
  SimulatedScene s = ChipsAndMark();
  s.SetNoise(6.0, 5);
  return Cut(s, kBareGround);
}
// The same patch searched in the next frame of the camera.
Scene LowContrastOtherFrame() { return CutElsewhere(ChipsAndMark(), kBareGround, 6.0, 5, 6); }
// The clear match (a chip) searched in the next frame of the camera.
Scene ClearMatchOtherFrame() { return CutElsewhere(ChipsAndMark(), {620, 272, 160, 160}, 6.0, 5, 6); }

// The near-flat stretch of board searched in the next frame.
Scene NearFlatOtherFrame() {
  SimulatedScene s(1280, 1024, 20.0, {0, 0});
  s.SetBackground(60);
  for (int i = 0; i < 14; ++i) s.AddRect({-30.0 + 4.6 * i, 0.0}, {0.4, 50.0}, 0.0, 66);
  for (int i = 0; i < 6; ++i) s.AddChip({-24.0 + 9.0 * i, -18.0}, 4.0, 2.0, 0.8, 0.0);
  return CutElsewhere(s, {600, 500, 160, 160}, 4.0, 31, 32);
}

// A small 24 x 24 template (a ring the frame does not hold)
// searched in the busy frame of the no-match scene.
Scene Small24NoMatch() {
  Scene sc = NoMatch();
  SimulatedScene other(1280, 1024, 20.0, {0, 0});
  // A ring (a washer seen from above): the frame holds rectangles only.
  other.AddCircle({0, 0}, 1.0, 200);
  other.AddCircle({0, 0}, 0.5, 0);
  other.SetNoise(6.0, 23);
  sc.templ = other.Render()(cv::Rect(628, 500, 24, 24)).clone();
  return sc;
}

void RunScene(benchmark::State& state, Scene (*make)(), const char* name) {
  const Scene sc = make();
  double mapScoreDiff = 0;
  {
    const TemplateMatch whole = SearchTemplateFull(sc.frame, sc.templ);
    cv::Mat map;
    cv::matchTemplate(sc.frame, sc.templ, map, cv::TM_CCOEFF_NORMED);
    mapScoreDiff = std::abs(whole.score - map.at<float>(whole.topLeft));
  }
  std::vector<double> search, full, program, searchCpu, fullCpu;
  bool same = true, sameScore = true;
  double scoreDiff = 0, fullScore = 0;
  for (auto _ : state) {
    const double c0 = ThreadCpuMs();
    const auto t0 = std::chrono::steady_clock::now();
    const TemplateMatch fast = SearchTemplate(sc.frame, sc.templ, kTemplateAcceptScore);
    const auto t1 = std::chrono::steady_clock::now();
    const double c1 = ThreadCpuMs();
    const TemplateMatch whole = SearchTemplateFull(sc.frame, sc.templ);
    const auto t2 = std::chrono::steady_clock::now();
    const double c2 = ThreadCpuMs();
    searchCpu.push_back(c1 - c0);
    fullCpu.push_back(c2 - c1);
    double score = 0;
    int ox = 0, oy = 0;
    benchmark::DoNotOptimize(MatchTemplateFind(sc.frame, sc.templ, score, ox, oy));
    const auto t3 = std::chrono::steady_clock::now();
    search.push_back(Ms(t1 - t0));
    full.push_back(Ms(t2 - t1));
    program.push_back(Ms(t3 - t2));
    fullScore = whole.score;
    if (whole.score >= kTemplateAcceptScore) {
      same = same && fast.topLeft == whole.topLeft;
      sameScore = sameScore && fast.score == whole.score;
      scoreDiff = std::max(scoreDiff, std::abs(fast.score - whole.score));
    } else {
      same = same && !fast.Found();
    }
  }
  std::vector<double> ratios;
  for (size_t i = 0; i < search.size(); ++i) ratios.push_back(search[i] / full[i]);
  static bool told = false;
  if (!told)
    std::printf("template search: baseline is the full search (cv::matchTemplate over the whole frame at full "
                "resolution and its best place), the same frame and template, in the same rounds; the program's "
                "answer is checked against it (same place, or both below the accept score %.2f)\n",
                kTemplateAcceptScore);
  told = true;
  std::printf("template %-28s search %.2f / %.2f / %.2f ms (min / median / max), full search %.2f ms, ratio %s, "
              "MatchTemplateFind %.2f ms, full score %.3f: %s\n",
              name, smt::bench::Spread(search).min, Median(search), smt::bench::Spread(search).max, Median(full),
              smt::bench::RoundsText(smt::bench::Spread(ratios), ratios.size()).c_str(), Median(program), fullScore,
              same ? (fullScore >= kTemplateAcceptScore ? "same place" : "not found, as the full search")
                   : "ANSWER DIFFERS FROM THE FULL SEARCH");
  state.counters["search_ms"] = Median(search);
  state.counters["full_search_ms"] = Median(full);
  state.counters["ratio"] = Median(search) / Median(full);
  state.counters["program_ms"] = Median(program);
  state.counters["search_cpu_ms"] = Median(searchCpu);
  state.counters["full_cpu_ms"] = Median(fullCpu);
  state.counters["cpu_ratio"] = Median(searchCpu) / Median(fullCpu);
  state.counters["same_place"] = same ? 1 : 0;
  state.counters["score_diff"] = scoreDiff;
  state.counters["same_score"] = sameScore ? 1 : 0;
  state.counters["map_score_diff"] = mapScoreDiff;
  state.counters["full_score"] = fullScore;
}

void BM_TemplateClearMatch(benchmark::State& s) { RunScene(s, ClearMatch, "ClearMatch"); }
void BM_Template48NearIdenticalChips(benchmark::State& s) { RunScene(s, NearIdenticalChips, "NearIdenticalChips"); }
void BM_Template40x40(benchmark::State& s) { RunScene(s, SmallTemplate, "SmallTemplate"); }
void BM_TemplateNoMatch(benchmark::State& s) { RunScene(s, NoMatch, "NoMatch"); }
void BM_TemplateNearFlat(benchmark::State& s) { RunScene(s, NearFlat, "NearFlat"); }
BENCHMARK(BM_TemplateClearMatch)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_Template48NearIdenticalChips)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_Template40x40)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_TemplateNoMatch)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_TemplateNearFlat)->Unit(benchmark::kMillisecond)->Iterations(9);
void BM_TemplateLowContrast(benchmark::State& s) { RunScene(s, LowContrast, "LowContrast"); }
void BM_TemplateLowContrastOtherFrame(benchmark::State& s) { RunScene(s, LowContrastOtherFrame, "LowContrastOtherFrame"); }
void BM_TemplateClearMatchOtherFrame(benchmark::State& s) { RunScene(s, ClearMatchOtherFrame, "ClearMatchOtherFrame"); }
void BM_TemplateNearFlatOtherFrame(benchmark::State& s) { RunScene(s, NearFlatOtherFrame, "NearFlatOtherFrame"); }
void BM_Template24x24NoMatch(benchmark::State& s) { RunScene(s, Small24NoMatch, "Small24NoMatch"); }
BENCHMARK(BM_TemplateLowContrast)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_TemplateLowContrastOtherFrame)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_TemplateClearMatchOtherFrame)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_TemplateNearFlatOtherFrame)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_Template24x24NoMatch)->Unit(benchmark::kMillisecond)->Iterations(9);

}  // namespace

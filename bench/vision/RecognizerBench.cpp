// Time per recognition on a 1280 x 1024 camera frame, per package type,
// against an OpenCV baseline doing the same basic work on the same frame and
// search square, measured in the same run: grey, threshold (Otsu), the 3x3
// opening, the outer contours and the result picture (a copy of the square
// with a line drawn). The baseline keeps its pictures from one frame to the
// next as the recognisers keep theirs, and the whole program runs under the
// program's memory setting (set before main, for the recognisers and the
// baseline alike). Prints figure, baseline and ratio per type (goal <= 1.5),
// on the simulator's frames and on the real camera pictures of the folder
// SMT_CAMERA_PICTURES (by default ../shared/camera-pictures beside the
// source tree; skipped, saying so, when absent).
#include <filesystem>
#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>
#include <cstdlib>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <vector>
#include <string>

#include "bench/TimingRounds.h"
#include "platform/MemoryPolicy.h"
#include "vision/CameraCalib.h"
#include "vision/PartRecognizers.h"
#include "vision/RecognitionTypes.h"
#include "vision/RecognizerGeometry.h"
#include "vision/VisionSlots.h"
#include "vision/SimulatedScene.h"
#include "tests/support/CameraPictures.h"
#include "tests/vision/PackageScenes.h"

using namespace smt::vision;

namespace {
// The program's memory setting, as main() sets it, for every benchmark of
// this program (recognisers, baselines, template searches).
const bool kProgramMemory = [] {
  smt::platform::KeepLargeBlocksReturnable();
  std::printf("memory: the program's setting (large blocks mapped and returned), for program and baselines\n");
  return true;
}();
constexpr double kScale = 20.0;  // pixels per mm
constexpr double kBox = 40.0;    // mm: an 800-pixel search square
constexpr double kTurn = 12.0;   // every part turned a little

cv::Point2d P(double x, double y) { return SimulatedScene::PartPoint({0.3, -0.2}, kTurn, {x, y}); }
void Sot(SimulatedScene& s) {
  for (cv::Point2d c : {cv::Point2d(-8, -4), cv::Point2d(8, -4), cv::Point2d(0, 4)}) s.AddRect(P(c.x, c.y), {2, 2}, kTurn);
}
void Chip(SimulatedScene& s) {
  for (double x : {-5.0, 5.0}) s.AddRect(P(x, 0), {3, 5}, kTurn);
}

// The frame of a package case: the part 0.3 / -0.2 mm off the axis, turned
// by 12 degrees (the shared package scenes' first picture).
cv::Mat PackageFrame(const visiontest::PackageCase& c) {
  return visiontest::RenderPackage(c, visiontest::PictureConditions()[0]);
}

// The same work as a recogniser, done directly with OpenCV, its pictures and
// contour list kept from one frame to the next as the recognisers keep
// theirs: grey, Otsu threshold, 3x3 opening, the square's evidence (the
// program's own check of the grey levels, the opening and the edge), the
// outer contours, the smallest rectangle round all of them, the program's
// own check of that result against the square (CheckFoundPart, the same
// call the recognisers make), and the result picture (the square copied,
// two lines and the four figures drawn on it). When the square's evidence
// refuses the first look, a second look as the recognisers take it with
// the automatic threshold: 3x3 median, 5x5 Gaussian, Otsu, opening,
// contours, rectangle, check. What the baseline does not do is the type's own recogniser (the
// leads, corners and balls it looks for beyond the largest outline); the
// stage benchmark (BM_RecognizerStages) prints the check's share.
struct Baseline {
  cv::Mat grey, smooth, binary, picture;
  std::vector<std::vector<cv::Point>> contours;
  std::vector<cv::Point> all;
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  // True when the square shows a part (the square's evidence); the result
  // is then checked as the program checks it, whatever the check says (a
  // second look is taken only where the evidence refuses the first: never
  // more work than the program's).
  bool Look(const cv::Mat& grey8, int type, const char* name) {
    const double level = cv::threshold(grey8, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    const double kept = cv::countNonZero(binary);
    cv::morphologyEx(binary, binary, cv::MORPH_OPEN, kernel);
    if (SplitAt(CountGreyLevels(grey8), static_cast<int>(level)).Separation() < kMinSeparation ||
        cv::countNonZero(binary) < kMinKeptByOpening * kept || EdgeCover(binary) > kMaxEdgeCover)
      return false;
    // The outer contours as cv::findContours gives them, its padded copy of
    // the square kept between frames as the recognisers keep theirs.
    contours = BlobSearch(binary);
    if (contours.empty()) return false;
    // The part: the smallest rectangle round all its blobs (pads, leads,
    // body) together.
    all.clear();
    for (const auto& c : contours) all.insert(all.end(), c.begin(), c.end());
    rect = cv::minAreaRect(all);
    sound = CheckFoundPart(binary, rect, type, name, kScale, {}).sound;
    return true;
  }
  bool sound = false;
  cv::RotatedRect rect;
  int Work(const cv::Mat& frame, double box, double scale, int type = 0, const char* name = "") {
    const SearchSquare sq = ComputeSearchSquare(frame.cols, frame.rows, box, scale);
    const cv::Mat square = frame(sq.rect);
    if (square.channels() == 3)
      cv::cvtColor(square, grey, cv::COLOR_BGR2GRAY);
    else
      square.copyTo(grey);
    bool found = Look(grey, type, name);
    if (!found) {
      cv::medianBlur(grey, smooth, 3);
      cv::GaussianBlur(smooth, smooth, cv::Size(5, 5), 1.2);
      found = Look(smooth, type, name);
    }
    square.copyTo(picture);
    const int cy = static_cast<int>(rect.center.y), cx = static_cast<int>(rect.center.x);
    cv::line(picture, {0, cy}, {picture.cols, cy}, cv::Scalar(255, 0, 0));
    cv::line(picture, {cx, 0}, {cx, picture.rows}, cv::Scalar(255, 0, 0));
    for (int i = 0; i < 4; ++i)
      cv::putText(picture, "x0.1234", {0, 40 + 100 * i}, cv::FONT_HERSHEY_COMPLEX, picture.cols / 200.0,
                  cv::Scalar(255, 255, 0), 1, cv::LINE_8);
    return static_cast<int>(contours.size()) + picture.rows + (found && sound ? 1 : 0);
  }
};
int BaselineWork(const cv::Mat& frame, int type, const char* name) {
  static Baseline b;
  return b.Work(frame, kBox, kScale, type, name);
}
const char* kBaselineText =
    "baseline: grey, Otsu threshold, 3x3 opening, the square's evidence, outer contours, the smallest rectangle "
    "round all of them, the program's own check of that result (CheckFoundPart), a second smoothed look when "
    "the square's evidence refuses the first, and the result picture (copy, two lines, four figures) of the same search square; its "
    "pictures kept between frames; the same process memory setting (the program's, set before main) for both";

template <class F>
double MedianMs(int rounds, F f) {
  std::vector<double> t;
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

void BM_RecognizerAgainstBaseline(benchmark::State& state) {
  const visiontest::PackageCase& c = visiontest::PackageCases()[state.range(0)];
  const cv::Mat frame = PackageFrame(c);
  double dX = 0, dY = 0, dA = 0;
  std::vector<double> ours, base, ratios;
  bool found = true;
  for (auto _ : state) {
    // Interleaved in blocks so both see the same machine; the ratio is the
    // median of the blocks' ratios, so that a burst of load on a shared
    // machine falls on both sides of one block.
    for (int block = 0; block < 15; ++block) {
      const double b = MedianMs(5, [&] { benchmark::DoNotOptimize(BaselineWork(frame, c.type, c.name)); });
      const double o = MedianMs(5, [&] {
        const cv::RotatedRect r =
            RecognizeSpecialPart(1, frame, 0, false, c.type, c.name, kBox, kScale, 0.0, 0.0, dX, dY, dA);
        found = found && !IsNotFound(r);
      });
      base.push_back(b);
      ours.push_back(o);
      ratios.push_back(o / b);
    }
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double oursMs = median(ours), baseMs = median(base), ratio = median(ratios);
  const std::string label = std::string("type ") + std::to_string(c.type) + (c.name[0] ? std::string(" ") + c.name : "");
  state.counters["recogniser_ms"] = oursMs;
  state.counters["baseline_ms"] = baseMs;
  state.counters["ratio"] = ratio;
  state.SetLabel(label + (found ? "" : " (NOT FOUND)"));
  static bool told = false;
  if (!told) std::printf("%s\nratios: the recogniser's median time over the baseline's, per block of five runs each\n", kBaselineText);
  told = true;
  // The part lies 0.3 mm right of and 0.2 mm above the axis: dX -0.3, dY 0.2.
  const bool placeRight = found && std::abs(dX + 0.3) <= 0.05 && std::abs(dY - 0.2) <= 0.05;
  std::printf("recogniser %-24s %.3f ms against the baseline %.3f ms, ratio %s, result %.3f %.3f mm %.2f deg: %s\n",
              label.c_str(), oursMs, baseMs, smt::bench::RoundsText(smt::bench::Spread(ratios), ratios.size(), 1.5).c_str(),
              dX, dY, dA, !found ? "NOT FOUND" : placeRight ? "place right" : "PLACE WRONG");
}
BENCHMARK(BM_RecognizerAgainstBaseline)
    ->DenseRange(0, static_cast<int>(visiontest::PackageCases().size()) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The real pictures: every picture of bottom-rotations (1280 x 720, one part
// on a nozzle) through each recogniser type, its search square the middle of
// the picture at a nominal 20 pixels per mm.
std::vector<cv::Mat> RealPictures() {
  std::vector<cv::Mat> out;
  const std::filesystem::path root = smt::test::CameraPicturesDir();
  const std::filesystem::path dir = root / "bottom-rotations";
  std::error_code ec;
  if (root.empty() || !std::filesystem::is_directory(dir, ec)) return out;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".png") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    cv::Mat m = cv::imread(f.string(), cv::IMREAD_COLOR);
    if (!m.empty()) out.push_back(m);
  }
  return out;
}

void BM_RecognizerOnRealPictures(benchmark::State& state) {
  static const std::vector<cv::Mat> pictures = RealPictures();
  if (pictures.empty()) {
    state.SkipWithError(("no real camera pictures in \"" + smt::test::CameraPicturesDir().string() +
                         "/bottom-rotations\": set SMT_CAMERA_PICTURES to the folder of the camera pictures")
                            .c_str());
    for (auto _ : state) {
    }
    return;
  }
  const visiontest::PackageCase& c = visiontest::PackageCases()[state.range(0)];
  constexpr double kRealBox = 30.0;  // mm: a 600-pixel square
  double dX = 0, dY = 0, dA = 0;
  int found = 0, looks = 0;
  std::vector<double> ratios, ours, base;
  Baseline baseline;
  for (auto _ : state) {
    for (int block = 0; block < 5; ++block)
      for (const cv::Mat& frame : pictures) {
        const double b = MedianMs(3, [&] { benchmark::DoNotOptimize(baseline.Work(frame, kRealBox, kScale, c.type, c.name)); });
        const double o = MedianMs(3, [&] {
          const cv::RotatedRect r =
              RecognizeSpecialPart(1, frame, 0, false, c.type, c.name, kRealBox, kScale, 0.0, 0.0, dX, dY, dA);
          if (block == 0) {
            ++looks;
            found += IsNotFound(r) ? 0 : 1;
          }
        });
        base.push_back(b);
        ours.push_back(o);
        ratios.push_back(o / b);
      }
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const std::string label = std::string("type ") + std::to_string(c.type) + (c.name[0] ? std::string(" ") + c.name : "");
  state.counters["recogniser_ms"] = median(ours);
  state.counters["baseline_ms"] = median(base);
  state.counters["ratio"] = median(ratios);
  state.SetLabel(label + " real");
  std::printf("real pictures: recogniser %-24s %.3f ms against the baseline %.3f ms, ratio %s, "
              "found in %d of %d looks (places judged by the picture tests)\n",
              label.c_str(), median(ours), median(base),
              smt::bench::RoundsText(smt::bench::Spread(ratios), ratios.size(), 1.5).c_str(), found / 3, looks / 3);
}
BENCHMARK(BM_RecognizerOnRealPictures)
    ->DenseRange(0, static_cast<int>(visiontest::PackageCases().size()) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_RecognizeSpecialPart(benchmark::State& state) {
  const visiontest::PackageCase& c = visiontest::PackageCases()[state.range(0)];
  const cv::Mat frame = PackageFrame(c);
  double dX = 0, dY = 0, dA = 0;
  bool found = true;
  for (auto _ : state) {
    const cv::RotatedRect r =
        RecognizeSpecialPart(1, frame, 0, false, c.type, c.name, kBox, kScale, 0.0, 0.0, dX, dY, dA);
    found = found && !IsNotFound(r);
    benchmark::DoNotOptimize(r);
  }
  state.SetLabel(std::string("type ") + std::to_string(c.type) + (c.name[0] ? std::string(" ") + c.name : "") +
                 (found ? "" : " (NOT FOUND)"));
}
BENCHMARK(BM_RecognizeSpecialPart)->DenseRange(0, static_cast<int>(visiontest::PackageCases().size()) - 1)->Unit(benchmark::kMillisecond);

void BM_RecognizePartMark(benchmark::State& state) {
  SimulatedScene scene(1280, 1024, kScale, {0, 0});
  scene.AddMark({0.4, -0.3}, 1.5);
  const cv::Mat frame = scene.Render();
  double dX = 0, dY = 0;
  for (auto _ : state) benchmark::DoNotOptimize(RecognizePart(frame, 0, false, 10.0, kScale, dX, dY));
}
BENCHMARK(BM_RecognizePartMark)->Unit(benchmark::kMillisecond);

void BM_RecognizeLabel(benchmark::State& state) {
  SimulatedScene scene(1280, 1024, kScale, {0, 0});
  scene.SetBackground(255);
  for (int i = 0; i < 4; ++i) scene.AddRect({-12.0 + 8 * i, 0.0}, {6.0, 3.0}, 0.0, 0);
  const cv::Mat frame = scene.Render();
  for (auto _ : state) benchmark::DoNotOptimize(RecognizeLabel(frame, 128, 10, 45.0, kScale, 6.0, 3.0));
}
BENCHMARK(BM_RecognizeLabel)->Unit(benchmark::kMillisecond);

void BM_MatchTemplateFind(benchmark::State& state) {
  SimulatedScene scene(1280, 1024, kScale, {0, 0});
  Sot(scene);
  const cv::Mat frame = scene.Render();
  const cv::Mat templ = frame(cv::Rect(560, 430, 160, 160)).clone();
  double score = 0;
  int ox = 0, oy = 0;
  for (auto _ : state) benchmark::DoNotOptimize(MatchTemplateFind(frame, templ, score, ox, oy));
}
BENCHMARK(BM_MatchTemplateFind)->Unit(benchmark::kMillisecond);

void BM_LensUndistort(benchmark::State& state) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("bench-lens-" + std::to_string(::getpid()) + ".xml")).string();
  {
    cv::FileStorage fs(file, cv::FileStorage::WRITE);
    fs << "image_Width" << 1280 << "image_Height" << 1024;
    fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 900, 0, 640, 0, 900, 512, 0, 0, 1);
    fs << "Distortion_Coefficients" << (cv::Mat_<double>(5, 1) << -0.2, 0.05, 0, 0, 0);
  }
  CCameraCalib calib;
  calib.Load(file);
  std::remove(file.c_str());
  SimulatedScene scene(1280, 1024, kScale, {0, 0});
  Chip(scene);
  const cv::Mat frame = scene.Render();
  cv::Mat out;
  for (auto _ : state) benchmark::DoNotOptimize(calib.Undistort(out, frame));
}
BENCHMARK(BM_LensUndistort)->Unit(benchmark::kMillisecond);
}  // namespace

namespace {
// Where a recognition's time goes, stage by stage, on the same frames as
// BM_RecognizerAgainstBaseline: preparing the square (grey, threshold,
// opening, the square's evidence), the type's recogniser, the turn from the
// moments (chips), the check of the result against the square, and the
// result picture.
void BM_RecognizerStages(benchmark::State& state) {
  const visiontest::PackageCase& c = visiontest::PackageCases()[state.range(0)];
  const cv::Mat frame = PackageFrame(c);
  const SearchSquare sq = ComputeSearchSquare(frame.cols, frame.rows, kBox, kScale);
  const cv::Mat square = frame(sq.rect);
  std::vector<double> prep, rec, refine, check, publish;
  PrepareBuffers buffers;
  for (auto _ : state) {
    for (int i = 0; i < 25; ++i) {
      auto t0 = std::chrono::steady_clock::now();
      PreparedSquare p = PrepareSquare(square, 0, false, buffers);
      auto t1 = std::chrono::steady_clock::now();
      cv::RotatedRect r = DispatchRecognizer(p.binary, c.type, c.name);
      auto t2 = std::chrono::steady_clock::now();
      if (c.type <= 2) RefineTurnByMoments(p.grey, p.binary, r);
      auto t3 = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(CheckFoundPart(p.binary, r, c.type, c.name, kScale, {}));
      auto t4 = std::chrono::steady_clock::now();
      PublishVisionResult(1, square, [](cv::Mat& m) { cv::line(m, {0, 10}, {m.cols, 10}, cv::Scalar(255, 0, 0)); });
      auto t5 = std::chrono::steady_clock::now();
      auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
      prep.push_back(ms(t0, t1));
      rec.push_back(ms(t1, t2));
      refine.push_back(ms(t2, t3));
      check.push_back(ms(t3, t4));
      publish.push_back(ms(t4, t5));
    }
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const std::string label = std::string("type ") + std::to_string(c.type) + (c.name[0] ? std::string(" ") + c.name : "");
  std::printf("stages %-24s prepare %.3f  recogniser %.3f  moments %.3f  check %.3f  picture %.3f ms (medians)\n",
              label.c_str(), median(prep), median(rec), median(refine), median(check), median(publish));
}
BENCHMARK(BM_RecognizerStages)
    ->DenseRange(0, static_cast<int>(visiontest::PackageCases().size()) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
}  // namespace

// What the simulated cameras add to their pictures, effect by effect: each
// one shows where a real camera shows it, only when it is switched on, the
// same frame again for the same seed and frame number, and the world file
// takes each one with its allowed range.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <opencv2/imgproc.hpp>

#include "sim/WorldCameras.h"
#include "sim/WorldFile.h"

namespace {

using smt::sim::CameraEffects;
using smt::sim::ViewShape;

constexpr int kCols = 640, kRows = 480;
constexpr double kScale = 60;  // pixels per mm

// A 1.6 x 0.8 mm part on nozzle 1 a little off the camera's centre, the
// nozzle's axis at the centre.
std::vector<ViewShape> HeldPart() {
  ViewShape nozzle{true, 0, 0, 0, 0, 0, 0, true};
  ViewShape part{false, 0.1, -0.05, 1.6, 0.8, 3.0, 230};
  return {nozzle, part};
}

cv::Mat Grey(const cv::Mat& m) {
  cv::Mat g;
  cv::cvtColor(m, g, cv::COLOR_BGR2GRAY);
  return g;
}
double Mean(const cv::Mat& g, cv::Rect r) { return cv::mean(g(r))[0]; }
double Sd(const cv::Mat& g, cv::Rect r) {
  cv::Scalar m, s;
  cv::meanStdDev(g(r), m, s);
  return s[0];
}
// The steepest step between neighbouring pixels of a row through the part.
double SteepestEdge(const cv::Mat& g) {
  double most = 0;
  const uchar* row = g.ptr<uchar>(kRows / 2 + 3);
  for (int x = 1; x < kCols; ++x) most = std::max(most, std::abs(double(row[x]) - row[x - 1]));
  return most;
}
cv::Mat Render(const CameraEffects& fx, unsigned frame = 7, int camera = 1,
               const std::vector<ViewShape>& shapes = HeldPart()) {
  return smt::sim::RenderView(shapes, kCols, kRows, kScale, 1.5, frame, fx, camera);
}

struct EffectCase {
  const char* name;
  const char* worldLine;  // the world file's line that switches it on
  // Holds for the frame with the effect (and not for the plain one).
  std::function<bool(const cv::Mat& grey, std::string& why)> shows;
};

std::string Num(double v) { return std::to_string(v); }

class CameraEffectCases : public ::testing::TestWithParam<EffectCase> {};

TEST_P(CameraEffectCases, ShowsOnlyWhenSwitchedOnAndRepeatsForItsSeed) {
  const EffectCase& c = GetParam();
  std::string why;
  const auto d = smt::sim::ParseWorld(std::string(c.worldLine) + "\ncameraseed 5\n", why);
  ASSERT_TRUE(d.has_value()) << why;
  const CameraEffects fx = d->effects;
  ASSERT_TRUE(fx.Any());
  const cv::Mat plain = Grey(Render({}));
  const cv::Mat with = Grey(Render(fx));
  std::string whyNot;
  EXPECT_TRUE(c.shows(with, whyNot)) << c.name << ": " << whyNot;
  EXPECT_FALSE(c.shows(plain, whyNot)) << c.name << " shows without being switched on";
  // The same seed and frame number: the same picture, to the bit.
  EXPECT_EQ(cv::norm(Grey(Render(fx)), with, cv::NORM_INF), 0) << c.name;
  // The part stays where it is: its middle keeps its place within a pixel.
  cv::Mat partMask;
  const bool dark = fx.groundGrey >= 0;
  cv::threshold(with, partMask, dark ? 135 : 120, 255, dark ? cv::THRESH_BINARY_INV : cv::THRESH_BINARY);
  const cv::Rect square(kCols / 2 - 150, kRows / 2 - 150, 300, 300);
  const cv::Moments m = cv::moments(partMask(square), true);
  ASSERT_GT(m.m00, 0);
  const cv::Point2d centre(square.x + m.m10 / m.m00, square.y + m.m01 / m.m00);
  EXPECT_NEAR(centre.x, kCols / 2 + 0.1 * kScale, 1.5) << c.name;
  EXPECT_NEAR(centre.y, kRows / 2 - 0.05 * kScale, 1.5) << c.name;
}

const cv::Rect kTopLeftGround(10, 10, 60, 60), kBottomRightGround(kCols - 170, kRows - 70, 60, 60);

INSTANTIATE_TEST_SUITE_P(
    Effects, CameraEffectCases,
    ::testing::Values(
        EffectCase{"Blur", "blur 2",
                   [](const cv::Mat& g, std::string& why) {
                     why = "steepest edge " + Num(SteepestEdge(g));
                     return SteepestEdge(g) < 110;  // a sharp 20 -> 230 edge steps by 150 and more
                   }},
        EffectCase{"Lighting", "lighting 0.4",
                   [](const cv::Mat& g, std::string& why) {
                     // The part's own brightness falls too: compare the ground.
                     const double a = Mean(g, kTopLeftGround), b = Mean(g, kBottomRightGround);
                     why = "ground " + Num(a) + " top left, " + Num(b) + " bottom right";
                     return a - b > 3;
                   }},
        EffectCase{"SensorNoise", "sensornoise 6",
                   [](const cv::Mat& g, std::string& why) {
                     // Each channel has its own noise: the grey picture's
                     // weighted sum of them keeps this share of it.
                     const double share = std::sqrt(0.299 * 0.299 + 0.587 * 0.587 + 0.114 * 0.114);
                     why = "ground spread " + Num(Sd(g, kTopLeftGround));
                     return std::abs(Sd(g, kTopLeftGround) - share * std::hypot(1.5, 6.0)) < 0.6;
                   }},
        EffectCase{"Nozzle", "nozzle 1.2",
                   [](const cv::Mat& g, std::string& why) {
                     // Beside the part's long side (0.4 mm from the axis) the
                     // tip shows; further out, its shadow, darker than the ground.
                     const double tip = Mean(g, {kCols / 2 - 3, kRows / 2 + int(0.5 * kScale), 6, 3});
                     const double shadow = Mean(g, {kCols / 2 + int(0.5 * kScale), kRows / 2 + int(0.7 * kScale), 4, 4});
                     why = "tip " + Num(tip) + ", shadow " + Num(shadow) + " beside the part";
                     return tip > 80 && tip < 140 && shadow < 10;
                   }},
        EffectCase{"BrightGround", "ground 210 60",
                   [](const cv::Mat& g, std::string& why) {
                     const double ground = Mean(g, kTopLeftGround), part = Mean(g, {kCols / 2, kRows / 2 - 5, 10, 10});
                     why = "ground " + Num(ground) + ", part " + Num(part);
                     return std::abs(ground - 210) < 2 && std::abs(part - 60) < 3;
                   }},
        EffectCase{"EdgeCover", "edgecover 0.2 160",
                   [](const cv::Mat& g, std::string& why) {
                     const double edge = Mean(g, {kCols - 40, kRows / 2 - 20, 30, 40});
                     const double beside = Mean(g, {int(kCols * 0.7), kRows / 2 - 20, 20, 40});
                     why = "edge " + Num(edge) + ", beside it " + Num(beside);
                     return std::abs(edge - 160) < 3 && beside < 30;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CameraEffects, TheMarkCameraShowsNoNozzleAndKeepsItsBoard) {
  // The Mark camera looks down at the board: no nozzle tip, no lit ground
  // behind the marks; lens, light, sensor and edge are its own as well.
  const CameraEffects fx = CameraEffects::Realistic(3);
  const std::vector<ViewShape> board = {{true, 0, 0, 1.0, 1.0, 0, 240}, {false, 0, 0, 0, 0, 0, 0, true}};
  const cv::Mat g = Grey(smt::sim::RenderView(board, kCols, kRows, 18, 1.5, 1, fx, 0));
  EXPECT_LT(Mean(g, kTopLeftGround), 40) << "the board stays dark";
  EXPECT_GT(Mean(g, {kCols / 2 - 3, kRows / 2 - 3, 6, 6}), 150) << "the mark stays bright";
  EXPECT_GT(Mean(g, {kCols - 20, kRows / 2, 10, 10}), 100) << "the edge covers the Mark camera's frame too";
}

TEST(CameraEffects, EachFrameHasItsOwnNoiseAndTheSeedChangesIt) {
  const CameraEffects fx = CameraEffects::Realistic(3);
  CameraEffects other = fx;
  other.seed = 4;
  const cv::Mat a = Render(fx, 1), b = Render(fx, 2), c = Render(other, 1);
  EXPECT_GT(cv::norm(a, b, cv::NORM_L1), 0) << "two frames of one camera differ by their noise";
  EXPECT_GT(cv::norm(a, c, cv::NORM_L1), 0) << "another seed, other noise";
  EXPECT_EQ(cv::norm(a, Render(fx, 1), cv::NORM_INF), 0);
}

TEST(CameraEffects, TheWorldFileTakesEachEffectWithinItsRangeOnly) {
  struct Line {
    const char* text;
    bool ok;
    const char* fault;  // part of the refusal
  };
  for (const Line& l : {Line{"blur 1.5", true, ""}, Line{"blur -1", false, "blur (pixels) must be 0..20"},
                        Line{"blur 21", false, "0..20"}, Line{"blur", false, "takes 1 numbers, has 0"},
                        Line{"lighting 0.95", false, "0..0.9"}, Line{"sensornoise 65", false, "0..64"},
                        Line{"nozzle 1 2", false, "takes 1 numbers, has 2"}, Line{"ground 256 10", false, "0..255"},
                        Line{"ground 200 70.5", false, "part grey"}, Line{"ground -1 70", true, ""},
                        Line{"edgecover 0.3 300", false, "edge grey"}, Line{"cameraseed 1.5", false, "camera seed"},
                        Line{"cameraseed 4294967296", false, "camera seed"}, Line{"realistic", true, ""},
                        Line{"realistic 1", false, "takes 0 numbers"}, Line{"blur x", false, "\"x\" is not a number"}}) {
    std::string why;
    const auto d = smt::sim::ParseWorld(std::string("steps 100 100 10\n") + l.text + "\n", why);
    EXPECT_EQ(d.has_value(), l.ok) << l.text << ": " << why;
    if (!l.ok) {
      EXPECT_NE(why.find("line 2"), std::string::npos) << why;
      EXPECT_NE(why.find(l.fault), std::string::npos) << l.text << ": " << why;
    }
  }
  std::string why;
  const auto d = smt::sim::ParseWorld("cameraseed 9\nrealistic\nblur 0\n", why);
  ASSERT_TRUE(d.has_value()) << why;
  CameraEffects want = CameraEffects::Realistic(9);
  want.blurPx = 0;
  EXPECT_EQ(d->effects, want) << d->effects.Describe();
  const auto none = smt::sim::ParseWorld("steps 100 100 10\n", why);
  ASSERT_TRUE(none.has_value());
  EXPECT_FALSE(none->effects.Any()) << "a world file that names no effect keeps the plain pictures";
}

}  // namespace

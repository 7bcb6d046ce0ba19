// The coarse-to-fine template search finds what the search over the whole
// frame at full resolution finds, on scenes with several similar parts,
// noise, templates of several sizes and places near the frame's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "vision/SimulatedScene.h"
#include "vision/TemplateSearch.h"

using namespace smt::vision;

namespace {

struct SceneCase {
  const char* name;
  double noise;
  void (*build)(SimulatedScene&);
};

void Chips(SimulatedScene& s) {
  // A row of chips differing only a little: the blurred frame nearly
  // confuses them.
  for (int i = 0; i < 6; ++i) s.AddChip(s.Axis() + cv::Point2d(-24.0 + 9.0 * i, -8.0), 4.0, 2.0, 0.8, 2.0 * i);
  s.AddMark(s.Axis() + cv::Point2d(20.0, 15.0), 1.5);
  s.AddRect(s.Axis() + cv::Point2d(-20.0, 14.0), {6.0, 3.0}, 15.0, 180);
}
void Pads(SimulatedScene& s) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 8; ++c)
      s.AddRect(s.Axis() + cv::Point2d(-26.0 + 7.5 * c, -18.0 + 11.0 * r), {2.0 + 0.2 * c, 4.0 - 0.3 * r}, 5.0 * r,
                120 + 15 * c);
}
void Marks(SimulatedScene& s) {
  s.SetBackground(40);
  for (int i = 0; i < 5; ++i) s.AddMark(s.Axis() + cv::Point2d(-25.0 + 12.0 * i, 3.0 * (i % 2)), 1.0 + 0.3 * i);
  s.AddPolygon({s.Axis() + cv::Point2d(5, 10), s.Axis() + cv::Point2d(15, 12), s.Axis() + cv::Point2d(9, 20)}, 220);
}

// The full search's best place, or none when a place away from it scores
// within rounding of it (a template showing one of two mirror-alike pads of
// a noiseless chip: either place is right).
std::optional<TemplateMatch> Unambiguous(const cv::Mat& frame, const cv::Mat& templ) {
  cv::Mat scores;
  cv::matchTemplate(frame, templ, scores, cv::TM_CCOEFF_NORMED);
  double best = 0;
  cv::Point at;
  cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
  for (int y = 0; y < scores.rows; ++y)
    for (int x = 0; x < scores.cols; ++x)
      if ((std::abs(x - at.x) > 2 || std::abs(y - at.y) > 2) && scores.at<float>(y, x) > best - 1e-4)
        return std::nullopt;
  return TemplateMatch{at, best};
}

void CornerMarks(SimulatedScene& s) {
  // Parts in the frame's corners: templates there reach the edges.
  s.AddMark(s.Axis() + cv::Point2d(-30.0, -23.5), 1.2);
  s.AddRect(s.Axis() + cv::Point2d(29.0, 23.0), {2.5, 1.5}, 20.0, 200);
}

// Places (mm from the scene's axis) of parts to cut templates around.
const cv::Point2d kPlaces[] = {{-24.0, -8.0}, {3.0, -8.0}, {20.0, 15.0}, {-26.0, -18.0}, {11.5, 4.0}, {-30.0, -23.5}};

struct Frames {
  cv::Mat frame, other;  // the same scene with two noises
};

Frames Render(const SceneCase& sc, cv::Size size, double scale) {
  SimulatedScene scene(size.width, size.height, scale, {100.0, 50.0});
  sc.build(scene);
  CornerMarks(scene);
  Frames f;
  scene.SetNoise(sc.noise, 7);
  cv::cvtColor(scene.Render(), f.frame, cv::COLOR_BGR2GRAY);
  scene.SetNoise(sc.noise, 99);
  cv::cvtColor(scene.Render(), f.other, cv::COLOR_BGR2GRAY);
  return f;
}

int CompareOnScene(const SceneCase& sc, cv::Size frameSize, double scale, const std::vector<cv::Size>& sizes,
                   int places) {
  const Frames f = Render(sc, frameSize, scale);
  SimulatedScene geometry(frameSize.width, frameSize.height, scale, {100.0, 50.0});
  int compared = 0;
  for (int p = 0; p < places; ++p) {
    const cv::Point2d px = geometry.ToPixel(geometry.Axis() + kPlaces[p]);
    for (const cv::Size& size : sizes) {
      cv::Rect cut(static_cast<int>(px.x) - size.width / 2 + 3, static_cast<int>(px.y) - size.height / 2 - 2,
                   size.width, size.height);
      cut.x = std::clamp(cut.x, 0, f.frame.cols - cut.width);
      cut.y = std::clamp(cut.y, 0, f.frame.rows - cut.height);
      for (const cv::Mat* source : {&f.frame, &f.other}) {
        const cv::Mat templ = (*source)(cut).clone();
        cv::Scalar mean, dev;
        cv::meanStdDev(templ, mean, dev);
        if (dev[0] < 20) continue;  // background only: no part to find
        const auto full = Unambiguous(f.frame, templ);
        if (!full) continue;
        const TemplateMatch fast = SearchTemplate(f.frame, templ);
        EXPECT_EQ(fast.topLeft, full->topLeft) << sc.name << " " << cut << " score " << full->score;
        EXPECT_NEAR(fast.score, full->score, 5e-5) << sc.name << " " << cut;
        ++compared;
      }
    }
  }
  return compared;
}

TEST(TemplateSearch, FindsThePlaceAndScoreOfTheFullSearch) {
  const SceneCase scenes[] = {{"chips", 0.0, Chips}, {"chips with noise", 12.0, Chips}, {"pads", 6.0, Pads},
                              {"marks", 3.0, Marks}};
  int compared = 0;
  for (const SceneCase& sc : scenes)
    compared += CompareOnScene(sc, {640, 512}, 10.0, {{80, 80}, {40, 40}, {33, 57}, {120, 60}}, 6);
  // The camera frame and template of the program's use.
  compared += CompareOnScene(scenes[1], {1280, 1024}, 20.0, {{160, 160}}, 3);
  compared += CompareOnScene(scenes[2], {1280, 1024}, 20.0, {{160, 160}}, 1);
  EXPECT_GE(compared, 100);
}

TEST(TemplateSearch, ColourFramesAndSmallTemplates) {
  SimulatedScene scene(640, 480, 20.0, {100.0, 50.0});
  Chips(scene);
  scene.SetNoise(5.0, 3);
  cv::Mat colour = scene.Render(), grey;
  cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
  for (const cv::Mat* f : {&grey, &colour}) {
    for (const cv::Rect cut : {cv::Rect(100, 222, 20, 20), cv::Rect(80, 200, 64, 64), cv::Rect(60, 180, 31, 90)}) {
      const cv::Mat templ = (*f)(cut).clone();
      const TemplateMatch full = SearchTemplateFull(*f, templ);
      const TemplateMatch fast = SearchTemplate(*f, templ);
      EXPECT_EQ(fast.topLeft, full.topLeft) << cut << " channels " << f->channels();
      EXPECT_NEAR(fast.score, full.score, 5e-5);
    }
  }
}

}  // namespace

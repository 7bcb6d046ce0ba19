// The template search answers what the search over the whole frame at full
// resolution answers: the same place and score when the best place reaches
// the accept score, "not found" when none does. Held to it over a table of
// scenes (a clear match, a tray of near-identical chips, small marks, a part
// that is not there, near-flat board), template sizes, turns of the scene,
// noise levels and accept scores; with the template taken from one picture
// and searched for in the next one, as the camera gives them. A template
// without contrast is never found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "vision/PartRecognizers.h"
#include "vision/SimulatedScene.h"
#include "vision/TemplateSearch.h"
#include "vision/TemplateSearchLoops.h"

using namespace smt::vision;

namespace {

// ---- The full search's answer -------------------------------------------

// The full search's answer: the best place of cv::matchTemplate's map, its
// score there as every search reports it (ScoreAt) and the map's own float
// score there.
struct FullAnswer {
  cv::Point topLeft;
  double score;
  double mapScore;
};

// The full search's answer, or none when a place away from the best scores
// within rounding of it (a template showing one of two mirror-alike pads of
// a noiseless chip: either place is right).
std::optional<FullAnswer> Unambiguous(const cv::Mat& frame, const cv::Mat& templ) {
  cv::Mat scores;
  cv::matchTemplate(frame, templ, scores, cv::TM_CCOEFF_NORMED);
  double best = 0;
  cv::Point at;
  cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
  for (int y = 0; y < scores.rows; ++y)
    for (int x = 0; x < scores.cols; ++x)
      if ((std::abs(x - at.x) > 2 || std::abs(y - at.y) > 2) && scores.at<float>(y, x) > best - 1e-4)
        return std::nullopt;
  return FullAnswer{at, ScoreAt(frame, templ, at), best};
}

// Compares the search with the full search on one frame and template at one
// accept score; false when the case tells nothing (an ambiguous best place,
// a best score within rounding of the accept score, or a template without
// contrast, which is never found).
bool SameAnswer(const cv::Mat& frame, const cv::Mat& templ, double accept, const std::string& what) {
  if (!HasTemplateContrast(templ)) {
    // Where the full search reads its meaningless 1.000: not found.
    EXPECT_FALSE(SearchTemplate(frame, templ, accept).Found()) << what << " (no contrast)";
    return false;
  }
  const auto full = Unambiguous(frame, templ);
  if (!full || std::abs(full->score - accept) < 1e-4) return false;
  const TemplateMatch fast = SearchTemplate(frame, templ, accept);
  if (full->score >= accept) {
    EXPECT_EQ(fast.topLeft, full->topLeft) << what << " full score " << full->score;
    // The same place gives the same score, to the last bit, whichever
    // search found it.
    EXPECT_EQ(fast.score, full->score) << what;
    // And it is the correlation the map holds there, up to the map's float
    // sums over the whole frame.
    EXPECT_NEAR(fast.score, full->mapScore, 5e-5) << what;
  } else {
    EXPECT_FALSE(fast.Found()) << what << " full score " << full->score << " found " << fast.topLeft << " "
                               << fast.score;
  }
  return true;
}

// ---- Scenes ---------------------------------------------------------------

// Shapes placed on a board turned by `turn` degrees about the camera axis.
struct Board {
  SimulatedScene& s;
  double turn;
  cv::Point2d At(cv::Point2d mm) const { return SimulatedScene::PartPoint(s.Axis(), turn, mm); }
  void Chip(cv::Point2d mm, double angle, double length = 4.0, double width = 2.0) {
    s.AddChip(At(mm), length, width, 0.8, angle + turn);
  }
  void Rect(cv::Point2d mm, cv::Size2d size, double angle, int grey) { s.AddRect(At(mm), size, angle + turn, grey); }
  void Mark(cv::Point2d mm, double d) { s.AddMark(At(mm), d); }
  void Polygon(std::vector<cv::Point2d> mm, int grey) {
    for (auto& p : mm) p = At(p);
    s.AddPolygon(mm, grey);
  }
};

struct SceneKind {
  const char* name;
  int background;
  void (*build)(Board&);
  cv::Point2d templateAt;  // mm from the axis (on the unturned board)
  bool present;            // the template's part is in the frame
};

void Clear(Board& b) {
  for (int i = 0; i < 6; ++i) b.Chip({-24.0 + 9.0 * i, -8.0}, 2.0 * i);
  b.Mark({20.0, 15.0}, 1.5);
  b.Rect({-20.0, 14.0}, {6.0, 3.0}, 15.0, 180);
}
void Tray(Board& b) {
  // Chips of one kind in their pockets, each turned and lying off a little.
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 7; ++c) {
      const int k = r * 7 + c;
      b.Chip({-22.5 + 7.5 * c + 0.013 * (k % 5), -16.0 + 8.0 * r + 0.011 * (k % 3)}, 0.04 * ((k * 7) % 11) - 0.2);
    }
}
void Marks(Board& b) {
  for (int i = 0; i < 8; ++i) b.Mark({-28.0 + 8.0 * i, 12.0 + 2.0 * (i % 2)}, 0.9 + 0.12 * i);
  for (int i = 0; i < 4; ++i) b.Chip({-20.0 + 12.0 * i, -10.0}, 15.0 * i);
}
void Busy(Board& b) {
  for (int i = 0; i < 6; ++i) b.Chip({-24.0 + 9.0 * i, -8.0}, 12.0 * i);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 8; ++c) b.Rect({-26.0 + 7.5 * c, 6.0 + 6.0 * r}, {2.0 + 0.2 * c, 3.0}, 5.0 * r, 120 + 15 * c);
}
void Absent(Board& b) {
  // What the template of the "absent" scenes shows: not in their frames.
  b.Polygon({{-3, -3}, {3, -2}, {-1, 3}}, 200);
  b.Rect({2.0, 2.0}, {3.0, 1.2}, 33.0, 160);
}
void Traces(Board& b) {
  for (int i = 0; i < 14; ++i) b.Rect({-30.0 + 4.6 * i, 0.0}, {0.4, 60.0}, 0.0, 66);
  for (int i = 0; i < 6; ++i) b.Chip({-24.0 + 9.0 * i, -18.0}, 0.0);
}

const SceneKind kScenes[] = {
    {"clear match", 0, Clear, {3.0, -8.0}, true},
    {"tray of near-identical chips", 30, Tray, {0.0, 0.0}, true},
    {"small marks", 0, Marks, {-4.0, 14.0}, true},
    {"part not there", 0, Busy, {0.0, 0.0}, false},
    {"near-flat board", 60, Traces, {2.3, 6.0}, true},
};

struct Frames {
  cv::Mat taken, searched;  // the template's picture and the next one
};

Frames Render(const SceneKind& k, cv::Size size, double turn, double noise, bool colour) {
  SimulatedScene scene(size.width, size.height, 20.0, {100.0, 50.0});
  scene.SetBackground(k.background);
  Board b{scene, turn};
  k.build(b);
  Frames f;
  auto render = [&](SimulatedScene& s, unsigned seed) {
    s.SetNoise(noise, seed);
    cv::Mat m = s.Render();
    if (!colour) cv::cvtColor(m, m, cv::COLOR_BGR2GRAY);
    return m;
  };
  f.searched = render(scene, 2);
  if (k.present) {
    f.taken = render(scene, 1);
  } else {
    SimulatedScene other(size.width, size.height, 20.0, {100.0, 50.0});
    other.SetBackground(k.background);
    Board ob{other, turn};
    Absent(ob);
    f.taken = render(other, 1);
  }
  return f;
}

cv::Mat CutAround(const cv::Mat& picture, cv::Point2d centre, cv::Size size) {
  cv::Rect cut(static_cast<int>(centre.x) - size.width / 2, static_cast<int>(centre.y) - size.height / 2, size.width,
               size.height);
  cut.x = std::clamp(cut.x, 0, picture.cols - cut.width);
  cut.y = std::clamp(cut.y, 0, picture.rows - cut.height);
  return picture(cut).clone();
}

// ---- The table --------------------------------------------------------------

struct Condition {
  double turn;   // degrees
  double noise;  // grey levels
};
const Condition kConditions[] = {{0.0, 1.5}, {0.0, 6.0}, {3.0, 4.0}, {-30.0, 2.0}, {90.0, 12.0}, {47.0, 0.0}};
const cv::Size kTemplateSizes[] = {{40, 40}, {64, 48}, {96, 96}, {160, 160}};
const double kAcceptScores[] = {0.8, 0.6, 0.95};

TEST(TemplateSearch, AnswersAsTheFullSearchOverScenesSizesTurnsAndNoise) {
  int compared = 0;
  for (const SceneKind& k : kScenes)
    for (const Condition& c : kConditions) {
      const Frames f = Render(k, {640, 480}, c.turn, c.noise, false);
      SimulatedScene geometry(640, 480, 20.0, {100.0, 50.0});
      const cv::Point2d centre = geometry.ToPixel(SimulatedScene::PartPoint(geometry.Axis(), c.turn, k.templateAt));
      for (const cv::Size& size : kTemplateSizes) {
        const cv::Mat templ = CutAround(f.taken, centre, size);
        if (!HasTemplateContrast(templ)) continue;
        for (const double accept : kAcceptScores) {
          const std::string what = std::string(k.name) + " turn " + std::to_string(c.turn) + " noise " +
                                   std::to_string(c.noise) + " template " + std::to_string(size.width) + "x" +
                                   std::to_string(size.height) + " accept " + std::to_string(accept);
          if (SameAnswer(f.searched, templ, accept, what)) ++compared;
        }
      }
    }
  // Most cases must tell something (an ambiguous noiseless case is skipped).
  EXPECT_GE(compared, 200);
}

// The camera's own frame and template sizes, in colour; the template taken
// from the picture before and from the searched picture itself (a near-flat
// template is mostly the noise of its own picture: only there is it found).
TEST(TemplateSearch, AnswersAsTheFullSearchOnCameraFrames) {
  for (const SceneKind& k : kScenes)
    for (const Condition& c : {Condition{0.0, 4.0}, Condition{12.0, 6.0}}) {
      const Frames f = Render(k, {1280, 1024}, c.turn, c.noise, true);
      SimulatedScene geometry(1280, 1024, 20.0, {100.0, 50.0});
      const cv::Point2d centre = geometry.ToPixel(SimulatedScene::PartPoint(geometry.Axis(), c.turn, k.templateAt));
      int told = 0;
      for (const cv::Mat* source : {&f.taken, &f.searched}) {
        const cv::Mat templ = CutAround(*source, centre, {160, 160});
        const std::string what = std::string(k.name) + " turn " + std::to_string(c.turn) + " contrast " +
                                 std::to_string(TemplateContrast(templ)) + " full " +
                                 std::to_string(SearchTemplateFull(f.searched, templ).score);
        if (SameAnswer(f.searched, templ, kTemplateAcceptScore, what)) ++told;
      }
      EXPECT_GE(told, 1) << k.name << " turn " << c.turn << ": no case tells anything";
    }
}

// Templates cut anywhere on busy scenes (many near-equal places), from the
// searched picture itself and from the next one.
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
void MarkRow(SimulatedScene& s) {
  s.SetBackground(40);
  for (int i = 0; i < 5; ++i) s.AddMark(s.Axis() + cv::Point2d(-25.0 + 12.0 * i, 3.0 * (i % 2)), 1.0 + 0.3 * i);
  s.AddPolygon({s.Axis() + cv::Point2d(5, 10), s.Axis() + cv::Point2d(15, 12), s.Axis() + cv::Point2d(9, 20)}, 220);
}
void CornerMarks(SimulatedScene& s) {
  // Parts in the frame's corners: templates there reach the edges.
  s.AddMark(s.Axis() + cv::Point2d(-30.0, -23.5), 1.2);
  s.AddRect(s.Axis() + cv::Point2d(29.0, 23.0), {2.5, 1.5}, 20.0, 200);
}

// Places (mm from the scene's axis) of parts to cut templates around.
const cv::Point2d kPlaces[] = {{-24.0, -8.0}, {3.0, -8.0}, {20.0, 15.0}, {-26.0, -18.0}, {11.5, 4.0}, {-30.0, -23.5}};

int CompareOnScene(const SceneCase& sc, cv::Size frameSize, double scale, const std::vector<cv::Size>& sizes,
                   int places) {
  SimulatedScene scene(frameSize.width, frameSize.height, scale, {100.0, 50.0});
  sc.build(scene);
  CornerMarks(scene);
  scene.SetNoise(sc.noise, 7);
  cv::Mat frame, other;
  cv::cvtColor(scene.Render(), frame, cv::COLOR_BGR2GRAY);
  scene.SetNoise(sc.noise, 99);
  cv::cvtColor(scene.Render(), other, cv::COLOR_BGR2GRAY);
  int compared = 0;
  for (int p = 0; p < places; ++p) {
    const cv::Point2d px = scene.ToPixel(scene.Axis() + kPlaces[p]);
    for (const cv::Size& size : sizes) {
      for (const cv::Mat* source : {&frame, &other}) {
        const cv::Mat templ = CutAround(*source, px + cv::Point2d(3, -2), size);
        cv::Scalar mean, dev;
        cv::meanStdDev(templ, mean, dev);
        if (dev[0] < 20) continue;  // background only: no part to find
        if (SameAnswer(frame, templ, kTemplateAcceptScore, sc.name)) ++compared;
      }
    }
  }
  return compared;
}

TEST(TemplateSearch, AnswersAsTheFullSearchForTemplatesCutAnywhere) {
  const SceneCase scenes[] = {{"chips", 0.0, Chips}, {"chips with noise", 12.0, Chips}, {"pads", 6.0, Pads},
                              {"marks", 3.0, MarkRow}};
  int compared = 0;
  for (const SceneCase& sc : scenes)
    compared += CompareOnScene(sc, {640, 512}, 10.0, {{80, 80}, {40, 40}, {33, 57}, {120, 60}}, 6);
  // The camera frame and template of the program's use.
  compared += CompareOnScene(scenes[1], {1280, 1024}, 20.0, {{160, 160}}, 3);
  compared += CompareOnScene(scenes[2], {1280, 1024}, 20.0, {{160, 160}}, 1);
  EXPECT_GE(compared, 100);
}

// The normalised correlation of the template at one place, in double.
double ExactScore(const cv::Mat& frame, const cv::Mat& templ, cv::Point at) {
  cv::Mat w, t;
  frame(cv::Rect(at, templ.size())).convertTo(w, CV_64F);
  templ.convertTo(t, CV_64F);
  const cv::Scalar mw = cv::mean(w), mt = cv::mean(t);
  std::vector<cv::Mat> wc, tc;
  cv::split(w, wc);
  cv::split(t, tc);
  double dot = 0, ww = 0, tt = 0;
  for (size_t k = 0; k < wc.size(); ++k) {
    const cv::Mat a = wc[k] - mw[static_cast<int>(k)], b = tc[k] - mt[static_cast<int>(k)];
    dot += a.dot(b);
    ww += a.dot(a);
    tt += b.dot(b);
  }
  return dot / std::sqrt(ww * tt);
}

// The score at a place is the normalised correlation of the template with
// that window worked out in double, anywhere in the frame (its corners
// included), grey and colour: for the window the template was cut from (1),
// for windows unlike it, for its negative (-1), and for a flat window (0:
// no correlation is defined there).
TEST(TemplateSearch, ScoreAtIsTheCorrelationOfTheWindow) {
  SimulatedScene scene(640, 480, 20.0, {100.0, 50.0});
  Chips(scene);
  scene.SetNoise(5.0, 8);
  cv::Mat colour = scene.Render(), grey;
  cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
  for (cv::Mat* f : {&grey, &colour}) {
    // Around the fourth chip.
    const cv::Point2d chip = scene.ToPixel(scene.Axis() + cv::Point2d(3.0, -8.0));
    const cv::Rect cut(static_cast<int>(chip.x) - 32, static_cast<int>(chip.y) - 24, 64, 48);
    const cv::Mat templ = (*f)(cut).clone();
    ASSERT_TRUE(HasTemplateContrast(templ));
    const std::string channels = " channels " + std::to_string(f->channels());
    EXPECT_NEAR(ScoreAt(*f, templ, cut.tl()), 1.0, 1e-12) << channels;
    cv::Mat negative;
    cv::bitwise_not(templ, negative);
    EXPECT_NEAR(ScoreAt(*f, negative, cut.tl()), -1.0, 1e-12) << channels;
    const cv::Point last(f->cols - templ.cols, f->rows - templ.rows);
    for (const cv::Point at : {cv::Point(0, 0), last, cv::Point(last.x, 0), cv::Point(300, 100), cv::Point(13, 377),
                               cut.tl() + cv::Point(1, 0)}) {
      const double score = ScoreAt(*f, templ, at);
      EXPECT_NEAR(score, ExactScore(*f, templ, at), 1e-9) << at << channels;
      // What cv::matchTemplate gives at that window alone, in float.
      cv::Mat one;
      cv::matchTemplate((*f)(cv::Rect(at, templ.size())), templ, one, cv::TM_CCOEFF_NORMED);
      EXPECT_NEAR(score, one.at<float>(0, 0), 1e-4) << at << channels;
    }
    cv::Mat flat = f->clone();
    flat(cv::Rect(cv::Point(200, 300), templ.size())).setTo(cv::Scalar::all(77));
    EXPECT_EQ(ScoreAt(flat, templ, {200, 300}), 0.0) << channels;
  }
}

// Near-flat templates (bare board and a faint trace through the camera's
// noise) cut from the searched picture itself, where only their own place
// matches: grey and colour, template sides that split into blocks of
// 32, 16, 8 or 4 pixels and sides that split into none, cut on a trace, beside
// one and on bare board; and the same templates searched for in the next
// picture, where nothing reaches the accept score.
TEST(TemplateSearch, NearFlatTemplatesAnswerAsTheFullSearch) {
  SimulatedScene scene(640, 480, 20.0, {0, 0});
  scene.SetBackground(60);
  for (int i = 0; i < 8; ++i) scene.AddRect({-15.0 + 4.6 * i, 0.0}, {0.4, 30.0}, 0.0, 66);
  int compared = 0;
  for (const bool colour : {false, true}) {
    scene.SetNoise(4.0, 41);
    cv::Mat frame = scene.Render();
    scene.SetNoise(4.0, 42);
    cv::Mat next = scene.Render();
    if (!colour) {
      cv::cvtColor(frame, frame, cv::COLOR_BGR2GRAY);
      cv::cvtColor(next, next, cv::COLOR_BGR2GRAY);
    }
    for (const cv::Size size : {cv::Size(128, 128), cv::Size(96, 64), cv::Size(48, 40), cv::Size(62, 50)})
      for (const cv::Point at : {cv::Point(300, 200), cv::Point(317, 101), cv::Point(40, 350)}) {
        const cv::Mat templ = frame(cv::Rect(at, size)).clone();
        const std::string what = std::string(colour ? "colour " : "grey ") + std::to_string(size.width) + "x" +
                                 std::to_string(size.height) + " at " + std::to_string(at.x) + "," +
                                 std::to_string(at.y);
        // In its own picture: the full search's place and score, the score
        // worked out in double (the map's float sums of a near-flat
        // template round by up to 2e-4).
        // Bare board seen in grey keeps less than the least contrast a
        // template needs: never found (held by the test below).
        if (!HasTemplateContrast(templ)) continue;
        const auto full = Unambiguous(frame, templ);
        ASSERT_TRUE(full.has_value()) << what;
        const TemplateMatch fast = SearchTemplate(frame, templ, kTemplateAcceptScore);
        EXPECT_EQ(fast.topLeft, full->topLeft) << what;
        EXPECT_EQ(fast.score, full->score) << what;
        EXPECT_EQ(fast.score, SearchTemplateFull(frame, templ).score) << what;
        EXPECT_NEAR(fast.score, ExactScore(frame, templ, full->topLeft), 1e-9) << what;
        EXPECT_NEAR(fast.score, full->mapScore, 2e-4) << what;
        if (SameAnswer(next, templ, kTemplateAcceptScore, what + " in the next picture")) ++compared;
      }
  }
  EXPECT_GE(compared, 15);
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
      if (!HasTemplateContrast(templ)) {
        // Sensor noise on the black background only.
        EXPECT_FALSE(fast.Found()) << cut << " channels " << f->channels();
        continue;
      }
      EXPECT_EQ(fast.topLeft, full.topLeft) << cut << " channels " << f->channels();
      EXPECT_EQ(fast.score, full.score) << cut << " channels " << f->channels();
    }
  }
}

// ---- The processor's two loops ---------------------------------------------

// Where the processor has AVX2 the search takes the AVX2 loops; the plain
// loops every x86-64 processor has must give the very same answers: the same
// place and, to the last bit, the same score, over the table's scenes, turns,
// template sizes and accept scores in grey and colour (the descent through
// the halved pictures, the whole-frame search, nothing found), over near-flat
// templates (the block bound), and ScoreAt at places across the frame.
TEST(TemplateSearch, PlainAndAvx2LoopsGiveTheSameAnswers) {
  if (!TemplateSearchTakesAvx2()) GTEST_SKIP() << "this processor has no AVX2: only the plain loops run here";
  {
    const PlainTemplateLoops plain;
    ASSERT_FALSE(TemplateSearchTakesAvx2());
  }
  ASSERT_TRUE(TemplateSearchTakesAvx2());
  int compared = 0, found = 0;
  auto compare = [&](const cv::Mat& frame, const cv::Mat& templ, double accept, const std::string& what) {
    if (!HasTemplateContrast(templ)) return;
    const TemplateMatch wide = SearchTemplate(frame, templ, accept);
    TemplateMatch plain;
    {
      const PlainTemplateLoops loops;
      plain = SearchTemplate(frame, templ, accept);
    }
    EXPECT_EQ(plain.topLeft, wide.topLeft) << what;
    EXPECT_EQ(plain.score, wide.score) << what;
    ++compared;
    found += wide.Found() ? 1 : 0;
  };
  for (const SceneKind& k : kScenes)
    for (const Condition& c : {kConditions[0], kConditions[2], kConditions[4]})
      for (const bool colour : {false, true}) {
        const Frames f = Render(k, {640, 480}, c.turn, c.noise, colour);
        SimulatedScene geometry(640, 480, 20.0, {100.0, 50.0});
        const cv::Point2d centre = geometry.ToPixel(SimulatedScene::PartPoint(geometry.Axis(), c.turn, k.templateAt));
        for (const cv::Size& size : kTemplateSizes)
          for (const double accept : {0.8, 0.6}) {
            const std::string what = std::string(k.name) + (colour ? " colour" : " grey") + " turn " +
                                     std::to_string(c.turn) + " template " + std::to_string(size.width) + "x" +
                                     std::to_string(size.height) + " accept " + std::to_string(accept);
            compare(f.searched, CutAround(f.taken, centre, size), accept, what);
          }
      }
  // Near-flat templates in their own picture and in the next one.
  SimulatedScene board(640, 480, 20.0, {0, 0});
  board.SetBackground(60);
  for (int i = 0; i < 8; ++i) board.AddRect({-15.0 + 4.6 * i, 0.0}, {0.4, 30.0}, 0.0, 66);
  board.SetNoise(4.0, 41);
  const cv::Mat frame = board.Render();
  board.SetNoise(4.0, 42);
  const cv::Mat next = board.Render();
  for (const cv::Size size : {cv::Size(128, 128), cv::Size(96, 64), cv::Size(62, 50)})
    for (const cv::Point at : {cv::Point(300, 200), cv::Point(40, 350)}) {
      const cv::Mat templ = frame(cv::Rect(at, size)).clone();
      const std::string what = "near-flat " + std::to_string(size.width) + "x" + std::to_string(size.height);
      compare(frame, templ, kTemplateAcceptScore, what + " in its own picture");
      compare(next, templ, kTemplateAcceptScore, what + " in the next picture");
    }
  // Scores of single places, the frame's corners included.
  const cv::Mat templ = frame(cv::Rect(300, 200, 64, 48)).clone();
  for (int y = 0; y <= frame.rows - templ.rows; y += 29)
    for (int x = 0; x <= frame.cols - templ.cols; x += 37) {
      const double wide = ScoreAt(frame, templ, {x, y});
      const PlainTemplateLoops loops;
      EXPECT_EQ(ScoreAt(frame, templ, {x, y}), wide) << x << "," << y;
    }
  // Both answers occur: places found and places not found.
  EXPECT_GE(found, 60) << compared;
  EXPECT_GE(compared - found, 20) << compared;
}

// ---- Templates without contrast --------------------------------------------

// A flat or near-flat template (a patch of bare surface through the camera's
// noise) is never found, on any frame: flat, noisy, busy, or holding the very
// patch it was cut from; and MatchTemplateFind reports not found, writing no
// score.
TEST(TemplateSearch, ATemplateWithoutContrastIsNeverFound) {
  SimulatedScene busy(640, 480, 20.0, {0, 0});
  Board board{busy, 0.0};
  Clear(board);
  busy.SetNoise(5.0, 4);
  SimulatedScene bare(640, 480, 20.0, {0, 0});
  bare.SetBackground(90);
  bare.SetNoise(1.5, 5);
  cv::Mat busyFrame = busy.Render(), bareFrame = bare.Render();
  cv::Mat flatFrame(480, 640, CV_8UC3, cv::Scalar(90, 90, 90));
  cv::Mat noiseFrame(480, 640, CV_8UC3);
  cv::randu(noiseFrame, 0, 256);

  struct Flat {
    const char* name;
    cv::Mat templ;
  };
  const Flat templates[] = {
      {"flat 8x8", cv::Mat(8, 8, CV_8UC3, cv::Scalar(90, 90, 90))},
      {"flat 64x64 black", cv::Mat(64, 64, CV_8UC3, cv::Scalar(0, 0, 0))},
      {"bare board through noise", bareFrame(cv::Rect(200, 150, 96, 96)).clone()},
      {"one grey level of ripple", [] {
         cv::Mat m(40, 40, CV_8UC3, cv::Scalar(120, 120, 120));
         for (int y = 0; y < m.rows; y += 2) m.row(y).setTo(cv::Scalar(121, 121, 121));
         return m;
       }()},
  };
  for (const Flat& t : templates) {
    ASSERT_FALSE(HasTemplateContrast(t.templ)) << t.name << " contrast " << TemplateContrast(t.templ);
    for (const cv::Mat* frame : {&busyFrame, &bareFrame, &flatFrame, &noiseFrame}) {
      EXPECT_FALSE(SearchTemplate(*frame, t.templ).Found()) << t.name;
      EXPECT_FALSE(SearchTemplate(*frame, t.templ, 0.0).Found()) << t.name;
      double score = -7;
      int ox = 0, oy = 0;
      const cv::RotatedRect r = MatchTemplateFind(*frame, t.templ, score, ox, oy);
      EXPECT_LT(r.center.x, 0) << t.name;
      EXPECT_EQ(score, -7) << t.name;
    }
  }
  // A part's template has contrast well above the bound.
  EXPECT_TRUE(HasTemplateContrast(busyFrame(cv::Rect(260, 60, 96, 96)).clone()));
}

}  // namespace

namespace {

// Camera-sized frames where neither the halved pictures nor the block sums
// tell places apart: a near-flat template (mostly the noise of its own
// picture) searched in its own and in the next picture, and a small template
// found nowhere, in colour (each channel with its own noise), in grey and in
// colour whose channels are alike; at the accept score and below it, where
// many more places must be scored.
TEST(TemplateSearch, NoiseLikeTemplatesOnCameraFramesAnswerAsTheFullSearch) {
  SimulatedScene chips(1280, 1024, 20.0, {0, 0});
  for (int i = 0; i < 6; ++i) chips.AddChip({-24.0 + 9.0 * i, -8.0}, 4.0, 2.0, 0.8, 2.0 * i);
  chips.AddMark({20.0, 15.0}, 1.5);
  SimulatedScene board(1280, 1024, 20.0, {0, 0});
  board.SetBackground(60);
  for (int i = 0; i < 14; ++i) board.AddRect({-30.0 + 4.6 * i, 0.0}, {0.4, 50.0}, 0.0, 66);
  SimulatedScene ring(1280, 1024, 20.0, {0, 0});
  ring.AddCircle({0, 0}, 1.0, 200);
  ring.AddCircle({0, 0}, 0.5, 0);
  struct Case {
    const char* name;
    SimulatedScene* frameScene;
    SimulatedScene* templScene;
    cv::Rect cut;
    double noise;
    unsigned cutSeed, frameSeed;
  };
  const Case cases[] = {
      {"bare ground, own picture", &chips, &chips, {560, 430, 160, 160}, 6.0, 5, 5},
      {"bare ground, next picture", &chips, &chips, {560, 430, 160, 160}, 6.0, 5, 6},
      {"near-flat board, next picture", &board, &board, {600, 500, 160, 160}, 4.0, 31, 32},
      {"24x24 ring nowhere in the frame", &chips, &ring, {628, 500, 24, 24}, 6.0, 23, 5},
  };
  int compared = 0;
  for (const Case& c : cases)
    for (const int kind : {0, 1, 2}) {  // colour, grey, colour with alike channels
      c.templScene->SetNoise(c.noise, c.cutSeed);
      cv::Mat templ = c.templScene->Render()(c.cut).clone();
      c.frameScene->SetNoise(c.noise, c.frameSeed);
      cv::Mat frame = c.frameScene->Render();
      if (kind > 0) {
        cv::cvtColor(frame, frame, cv::COLOR_BGR2GRAY);
        cv::cvtColor(templ, templ, cv::COLOR_BGR2GRAY);
      }
      if (kind == 2) {
        cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
        cv::cvtColor(templ, templ, cv::COLOR_GRAY2BGR);
      }
      for (const double accept : {kTemplateAcceptScore, 0.5, 0.2}) {
        const std::string what = std::string(c.name) + (kind == 0 ? " colour" : kind == 1 ? " grey" : " alike channels") +
                                 " accept " + std::to_string(accept);
        if (SameAnswer(frame, templ, accept, what)) ++compared;
      }
    }
  EXPECT_GE(compared, 16);
}

}  // namespace

namespace {

// Templates whose block averages keep too little of their contrast for any
// coarse bound (near-flat ground through the camera's noise), searched where
// the channels' common part settles the search: the frame's rows of places
// are transformed in bands (one to four by the frame's height and the
// template's). In every band count, the template's own place found where it
// lies across a band's edge, at the first and the last row of places, and
// the same template refused in the next picture and in a frame that does
// not hold it (a small template with no match): the full search's answer
// each time, never a place the full search does not reach the accept score
// at.
TEST(TemplateSearch, NoiseLikeTemplatesAnswerAsTheFullSearchInEveryBandOfTheFrame) {
  int found = 0, refused = 0;
  for (const int height : {200, 330, 600, 1024})
    for (const int side : {48, 96}) {
      SimulatedScene ground(640, height, 20.0, {0, 0});
      ground.SetBackground(70);
      ground.AddRect({-8.0, 0.0}, {0.3, 40.0}, 0.0, 75);
      ground.SetNoise(5.0, 51);
      const cv::Mat frame = ground.Render();
      ground.SetNoise(5.0, 52);
      const cv::Mat next = ground.Render();
      SimulatedScene washer(640, height, 20.0, {0, 0});
      washer.AddCircle({0, 0}, 0.6, 200);
      washer.AddCircle({0, 0}, 0.3, 0);
      washer.SetNoise(5.0, 53);
      const cv::Mat ring = washer.Render()(cv::Rect(320 - 12, height / 2 - 12, 24, 24)).clone();
      const int placesY = height - side + 1;
      const int bands = std::clamp(placesY / std::max(64, side), 1, 4);
      const int bandPlaces = (placesY + bands - 1) / bands;
      std::vector<int> rows = {0, placesY - 1};
      for (int b = 1; b < bands; ++b)
        for (const int d : {-1, 0, 1}) rows.push_back(b * bandPlaces + d);
      for (const int y : rows) {
        const cv::Mat templ = frame(cv::Rect(150, y, side, side)).clone();
        const std::string what = "frame height " + std::to_string(height) + ", " + std::to_string(bands) +
                                 " bands, template " + std::to_string(side) + " at row " + std::to_string(y);
        if (!HasTemplateContrast(templ)) continue;
        if (SameAnswer(frame, templ, kTemplateAcceptScore, what + ", own picture")) {
          EXPECT_TRUE(SearchTemplate(frame, templ).Found()) << what;
          ++found;
        }
        if (SameAnswer(next, templ, kTemplateAcceptScore, what + ", next picture")) {
          EXPECT_FALSE(SearchTemplate(next, templ).Found()) << what;
          ++refused;
        }
      }
      if (SameAnswer(frame, ring, kTemplateAcceptScore, "24x24 ring, frame height " + std::to_string(height))) {
        EXPECT_FALSE(SearchTemplate(frame, ring).Found()) << height;
        ++refused;
      }
    }
  EXPECT_GE(found, 20);
  EXPECT_GE(refused, 20);
}

}  // namespace

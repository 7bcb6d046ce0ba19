// The recognisers the machine calls on camera frames, against scenes with a
// known answer: parts, marks and labels at known positions and angles seen
// through a camera of known scale and offset.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/MessageService.h"
#include "tests/vision/VisionTestSupport.h"
#include "vision/PartRecognizers.h"
#include "vision/RecognitionTypes.h"
#include "vision/SimulatedScene.h"
#include "vision/VisionSlots.h"

using namespace smt::vision;
using smt::platform::ScopedRecordingMessages;

namespace {
constexpr double kScale = 20.0;  // pixels per mm
constexpr double kBox = 30.0;    // mm: a 600-pixel search square

SimulatedScene Scene() { return SimulatedScene(1280, 1024, kScale, {100.0, 50.0}); }

struct Outputs {
  double dX = 1234, dY = 1234, dA = 1234;
};
}  // namespace

TEST(SearchSquare, SideRulesAndPlacement) {
  struct Case {
    double box, scale;
    SearchSquare::Status status;
    int side, x, y;
  } cases[] = {
      {5.0, 1.0, SearchSquare::Status::Ok, 4, 318, 238},  // exactly 5 pixels is searched (side 4)
      {4.99, 1.0, SearchSquare::Status::TooSmall, 0, 0, 0},
      {103.0, 1.0, SearchSquare::Status::Ok, 100, 270, 190},
      {480.0, 1.0, SearchSquare::Status::Ok, 480, 80, 0},
      {481.0, 1.0, SearchSquare::Status::TooBig, 0, 0, 0},
      {1.0, 0.0, SearchSquare::Status::BadInput, 0, 0, 0},
      {1.0, std::nan(""), SearchSquare::Status::BadInput, 0, 0, 0},
      {-3.0, 20.0, SearchSquare::Status::BadInput, 0, 0, 0},
      {1e300, 20.0, SearchSquare::Status::TooBig, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const SearchSquare sq = ComputeSearchSquare(640, 480, c.box, c.scale);
    EXPECT_EQ(sq.status, c.status) << c.box;
    if (c.status != SearchSquare::Status::Ok) continue;
    EXPECT_EQ(sq.side, c.side) << c.box;
    EXPECT_EQ(sq.rect, cv::Rect(c.x, c.y, c.side, c.side)) << c.box;
  }
}

TEST(RecognizePart, MarkOffsetAndDiameterFromTheCameraAxis) {
  // Offsets in pixels of the mark from the camera axis: whole, half and
  // quarter pixels.
  const cv::Point2d offsets[] = {{0, 0}, {8, -5}, {-40, 22}, {10.5, -3.5}, {-7.25, 12.75}};
  for (const cv::Point2d& px : offsets) {
    SimulatedScene scene = Scene();
    const cv::Point2d mm(px.x / kScale, px.y / kScale);
    scene.AddMark(scene.Axis() + mm, 5.0);  // 100 pixels across
    const cv::Mat frame = scene.Render();
    const cv::Mat before = frame.clone();
    for (int threshold : {0, 128}) {
      double dX = 99, dY = 99, d = 0;
      const CircleResult c = RecognizePart(frame, threshold, false, kBox, kScale, dX, dY, false, &d);
      ASSERT_TRUE(c.found);
      EXPECT_NEAR(dX, -mm.x, 0.1 / kScale) << px << " threshold " << threshold;
      EXPECT_NEAR(dY, -mm.y, 0.1 / kScale) << px << " threshold " << threshold;
      // Otsu picks a low level on a clean 0/255 picture, so the blurred edge
      // grows the disc; a mid-grey threshold measures the true size.
      if (threshold == 128) {
        EXPECT_NEAR(d, 5.0, 0.05) << px;
      }
    }
    EXPECT_EQ(cv::norm(frame, before, cv::NORM_INF), 0.0) << "the caller's frame was drawn on";
  }
}

TEST(RecognizePart, DarkMarkNeedsInversion) {
  SimulatedScene scene = Scene();
  scene.SetBackground(220);
  scene.AddCircle(scene.Axis() + cv::Point2d(1.0, 0.5), 3.0, 20);
  const cv::Mat frame = scene.Render();
  double dX = 0, dY = 0;
  const CircleResult c = RecognizePart(frame, 120, true, kBox, kScale, dX, dY);
  ASSERT_TRUE(c.found);
  EXPECT_NEAR(dX, -1.0, 0.005);
  EXPECT_NEAR(dY, -0.5, 0.005);
}

TEST(RecognizePart, NothingOrCircleAsLargeAsTheSquareIsNotFound) {
  ResetVisionSlots();
  double dX = 7, dY = 8;
  SimulatedScene empty = Scene();
  EXPECT_FALSE(RecognizePart(empty.Render(), 100, false, kBox, kScale, dX, dY).found);
  EXPECT_EQ(dX, 7);
  EXPECT_TRUE(VisionResultReady(0));  // the "Error" picture
  // A disc filling the whole square: its circle reaches half the side.
  SimulatedScene big = Scene();
  big.AddMark(big.Axis(), 40.0);
  const CircleResult c = RecognizePart(big.Render(), 100, false, kBox, kScale, dX, dY);
  EXPECT_FALSE(c.found);
  EXPECT_GT(c.radius, 0.f);  // the circle is still reported
  EXPECT_EQ(dX, 7);
  EXPECT_EQ(dY, 8);
}

TEST(RecognizePart, RefusalsAreReportedNotCrashed) {
  ScopedRecordingMessages msgs;
  SimulatedScene scene = Scene();
  scene.AddMark(scene.Axis(), 2.0);
  const cv::Mat frame = scene.Render();
  double dX = 5, dY = 5;
  EXPECT_FALSE(RecognizePart(frame, 0, false, 60.0, kScale, dX, dY).found);  // 1200 px > 1024 rows
  EXPECT_FALSE(RecognizePart(frame, 300, false, kBox, kScale, dX, dY).found);
  EXPECT_FALSE(RecognizePart(frame, 0, false, kBox, -1.0, dX, dY).found);
  EXPECT_FALSE(RecognizePart(cv::Mat(), 0, false, kBox, kScale, dX, dY).found);
  EXPECT_FALSE(RecognizePart(frame, 0, false, 0.1, kScale, dX, dY).found);  // 2 px: silent
  const auto texts = msgs.service.Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "元件尺寸太大 !");
  EXPECT_NE(texts[1].find("threshold 300"), std::string::npos);
  EXPECT_NE(texts[2].find("pixels/mm"), std::string::npos);
  EXPECT_EQ(dX, 5);
}

namespace {
// Part builders: a part centred at `c` (mm) turned by `deg`.
using Builder = std::function<void(SimulatedScene&, cv::Point2d c, double deg)>;

void Chip2Pads(SimulatedScene& s, cv::Point2d c, double deg) { s.AddChip(c, 12.0, 5.0, 3.0, deg); }
void Body(SimulatedScene& s, cv::Point2d c, double deg) { s.AddRect(c, {12.0, 6.0}, deg); }
void Sot23(SimulatedScene& s, cv::Point2d c, double deg) {
  // Base pins at y = -2, apex pin at y = +2 (below): the unturned triode.
  for (cv::Point2d l : {cv::Point2d(-8, -4), cv::Point2d(8, -4), cv::Point2d(0, 4)})
    s.AddRect(SimulatedScene::PartPoint(c, deg, l), {2.0, 2.0}, deg);
}
void Qfp(SimulatedScene& s, cv::Point2d c, double deg) {
  for (int i = 0; i < 6; ++i) {
    const double x = -7.5 + 3.0 * i;
    s.AddRect(SimulatedScene::PartPoint(c, deg, {x, -4.0}), {1.0, 1.0}, deg);
    s.AddRect(SimulatedScene::PartPoint(c, deg, {x, 4.0}), {1.0, 1.0}, deg);
  }
}
void BallGrid(SimulatedScene& s, cv::Point2d c, double deg) {
  for (int r = 0; r < 5; ++r)
    for (int k = 0; k < 5; ++k) s.AddCircle(SimulatedScene::PartPoint(c, deg, {-6.0 + 3 * k, -6.0 + 3 * r}), 1.2);
}
}  // namespace

// The OpenCV on this machine reports rotated rectangles with angles in
// (0, 90]; older versions used [-90, 0). Whatever the library, an unturned
// part gives no correction and a part turned by a known angle gives exactly
// that angle back as the correction (the turn that undoes it).
TEST(RecognizeSpecialPart, TurnedPartsGiveTheirAngleAsCorrection) {
  struct Case {
    const char* what;
    int type;
    Builder build;
    std::vector<double> angles;
    double posTolPx;
  } cases[] = {
      {"general chip", 0, Chip2Pads, {-40, -17.5, -5, 0, 3, 22, 44}, 0.6},
      {"resistor body", 1, Body, {-85, -60, -12, 0, 7.5, 30, 89}, 0.3},
      {"capacitor caps", 2, Chip2Pads, {-80, -33, 0, 14, 61}, 0.6},
      {"diode terminals", 3, Chip2Pads, {-70, -10, 0, 25, 80}, 0.6},
      {"triode pins", 4, Sot23, {-150, -90, -20, 0, 35, 90, 170}, 0.6},
      {"leads on two sides", 6, Qfp, {-38, -9, 0, 12, 41}, 0.8},
      {"leads on four sides", 7, Qfp, {-25, 0, 30}, 0.8},
      {"ball grid corners", 9, BallGrid, {-30, 0, 18}, 0.8},
      {"other ball grid", 12, BallGrid, {-20, 0, 40}, 0.8},
  };
  // Part centre off the camera axis: (7.5, -12.5) pixels, so that the edges
  // of an unturned part fall on pixel borders.
  const cv::Point2d shift(0.375, -0.625);
  for (const Case& c : cases) {
    for (double deg : c.angles) {
      SimulatedScene scene = Scene();
      c.build(scene, scene.Axis() + shift, deg);
      const cv::Mat frame = scene.Render();
      const cv::Mat before = frame.clone();
      Outputs o;
      const cv::RotatedRect r = RecognizeSpecialPart(1, frame, 0, false, c.type, "", kBox, kScale, 0.0, 0.0, o.dX,
                                                     o.dY, o.dA);
      ASSERT_FALSE(IsNotFound(r)) << c.what << " " << deg;
      EXPECT_NEAR(visiontest::AngleGap(o.dA, -deg), 0.0, 0.5) << c.what << " at " << deg;
      EXPECT_NEAR(o.dX, -shift.x, c.posTolPx / kScale) << c.what << " at " << deg;
      EXPECT_NEAR(o.dY, -shift.y, c.posTolPx / kScale) << c.what << " at " << deg;
      EXPECT_EQ(cv::norm(frame, before, cv::NORM_INF), 0.0) << c.what;
    }
  }
}

TEST(RecognizeSpecialPart, ReferenceAngleIsAddedToTheCorrection) {
  SimulatedScene scene = Scene();
  Body(scene, scene.Axis(), 10.0);
  Outputs o;
  RecognizeSpecialPart(0, scene.Render(), 0, false, 1, "", kBox, kScale, 0.0, 45.0, o.dX, o.dY, o.dA);
  EXPECT_NEAR(o.dA, 35.0, 0.5);  // folded reference for type 1
  SimulatedScene tri = Scene();
  Sot23(tri, tri.Axis(), 0.0);
  RecognizeSpecialPart(0, tri.Render(), 0, false, 4, "", kBox, kScale, 90.0, 0.0, o.dX, o.dY, o.dA);
  EXPECT_NEAR(o.dA, 90.0, 0.5);  // full reference for type 4
}

TEST(RecognizeSpecialPart, SizeOfAnUnturnedBodyWithinOnePercent) {
  SimulatedScene scene = Scene();
  const cv::Point2d half(0.5 / kScale, 0.5 / kScale);  // edges on pixel borders
  Body(scene, scene.Axis() + half, 0.0);
  Outputs o;
  const cv::RotatedRect r = RecognizeSpecialPart(0, scene.Render(), 0, false, 1, "", kBox, kScale, 0, 0, o.dX, o.dY, o.dA);
  EXPECT_NEAR(std::max(r.size.width, r.size.height), 240.0, 2.4);
  EXPECT_NEAR(std::min(r.size.width, r.size.height), 120.0, 1.2);
  EXPECT_NEAR(o.dX, -half.x, 0.1 / kScale);
  EXPECT_NEAR(o.dY, -half.y, 0.1 / kScale);
}

TEST(RecognizeSpecialPart, SpecialNamesAreMatchedExactly) {
  ScopedRecordingMessages msgs;
  ResetVisionSlots();
  SimulatedScene scene = Scene();
  for (int i = 0; i < 10; ++i) scene.AddRect(scene.Axis() + cv::Point2d(-9 + 2 * i, (i % 2) * 4.0), {1.0, 1.0}, 0);
  const cv::Mat frame = scene.Render();
  for (const char* name : {"ksd42", "KSD42 ", "", "Unknown"}) {
    Outputs o;
    EXPECT_TRUE(IsNotFound(RecognizeSpecialPart(3, frame, 0, false, 13, name, kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
    EXPECT_EQ(o.dX, 1234);
  }
  EXPECT_EQ(msgs.service.Texts(), std::vector<std::string>(4, "没有找到特殊器件 !"));
  EXPECT_FALSE(VisionResultReady(3));  // no picture for an unknown name
  Outputs o;
  EXPECT_FALSE(IsNotFound(RecognizeSpecialPart(3, frame, 0, false, 13, "KSD42", kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
  EXPECT_TRUE(VisionResultReady(3));
}

TEST(RecognizeSpecialPart, BadRowValuesAreReported) {
  ScopedRecordingMessages msgs;
  SimulatedScene scene = Scene();
  Body(scene, scene.Axis(), 0.0);
  const cv::Mat frame = scene.Render();
  Outputs o;
  EXPECT_TRUE(IsNotFound(RecognizeSpecialPart(9, frame, 0, false, 1, "", kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
  EXPECT_TRUE(IsNotFound(RecognizeSpecialPart(-1, frame, 0, false, 1, "", kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
  EXPECT_TRUE(IsNotFound(RecognizeSpecialPart(0, frame, -5, false, 1, "", kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
  EXPECT_TRUE(IsNotFound(RecognizeSpecialPart(0, frame, 0, false, 1, "", kBox, 0.0, 0, 0, o.dX, o.dY, o.dA)));
  EXPECT_EQ(msgs.service.Texts().size(), 4u);
  EXPECT_EQ(o.dX, 1234);
  // A type outside 0..13 is recognised as a general part.
  EXPECT_FALSE(IsNotFound(RecognizeSpecialPart(0, frame, 0, false, 99, "", kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
}

TEST(RecognizeSpecialPart, NotFoundLeavesOutputsAndShowsError) {
  ResetVisionSlots();
  SimulatedScene scene = Scene();
  Outputs o;
  EXPECT_TRUE(IsNotFound(RecognizeSpecialPart(5, scene.Render(), 100, false, 0, "", kBox, kScale, 0, 0, o.dX, o.dY, o.dA)));
  EXPECT_EQ(o.dA, 1234);
  cv::Mat pic;
  ASSERT_TRUE(TakeVisionResult(5, pic));
  EXPECT_EQ(pic.cols, 600);
  EXPECT_FALSE(TakeVisionResult(5, pic));  // the flag was cleared
}

TEST(RecognizeSpecialPart, NarrowPictureIsEnlargedForTheDisplay) {
  ResetVisionSlots();
  SimulatedScene scene = Scene();
  scene.AddRect(scene.Axis(), {4.0, 2.0}, 0);
  Outputs o;
  RecognizeSpecialPart(2, scene.Render(), 0, false, 1, "", 8.0, kScale, 0, 0, o.dX, o.dY, o.dA);  // 160 px
  EXPECT_EQ(VisionSlotImage(2).cols, 208);
  RecognizeSpecialPart(2, scene.Render(), 0, true, 1, "", 8.0, kScale, 0, 0, o.dX, o.dY, o.dA);
}

TEST(RecognizeLabel, ToleranceBoundsAreStrict) {
  // Labels are dark on a light backing; the long side is 100 pixels (5 mm).
  struct Case {
    int pixelsLong;  // covered pixels; the contour rectangle is one less
    bool accepted;
  } cases[] = {{92, true}, {91, false}, {101, true}, {110, true}, {111, false}};
  for (const Case& c : cases) {
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar::all(255));
    cv::rectangle(frame, cv::Rect(320 - c.pixelsLong / 2, 200, c.pixelsLong, 51), cv::Scalar::all(0), cv::FILLED);
    const auto labels = RecognizeLabel(frame, 128, 10, 20.0, kScale, 2.5, 5.0);
    EXPECT_EQ(labels.size(), c.accepted ? 1u : 0u) << c.pixelsLong;
  }
}

TEST(RecognizeLabel, AllMatchingLabelsAsOffsetsFromTheMiddle) {
  SimulatedScene scene(1280, 1024, kScale, {0, 0});
  scene.SetBackground(255);
  scene.AddRect({-5.0, -3.0}, {6.0, 3.0}, 0.0, 0);
  scene.AddRect({5.0, 4.0}, {3.0, 6.0}, 0.0, 0);  // turned a quarter: still matches
  scene.AddRect({0.0, 10.0}, {2.0, 2.0}, 0.0, 0);  // too small
  const auto labels = RecognizeLabel(scene.Render(), 128, 5, 40.0, kScale, 3.0, 6.0);
  ASSERT_EQ(labels.size(), 2u);
  // Contours come bottom-up: the lower label first.
  EXPECT_NEAR(labels[0].x, 100, 1);
  EXPECT_NEAR(labels[0].y, 80, 1);
  EXPECT_NEAR(labels[1].x, -100, 1);
  EXPECT_NEAR(labels[1].y, -60, 1);
}

TEST(RecognizeLabel, BadSizesAreReported) {
  ScopedRecordingMessages msgs;
  cv::Mat frame(480, 640, CV_8UC3, cv::Scalar::all(255));
  EXPECT_TRUE(RecognizeLabel(frame, 128, 10, 20.0, kScale, 0.0, 5.0).empty());
  EXPECT_TRUE(RecognizeLabel(frame, 128, -4, 20.0, kScale, 2.0, 5.0).empty());
  EXPECT_TRUE(RecognizeLabel(frame, 999, 10, 20.0, kScale, 2.0, 5.0).empty());
  EXPECT_EQ(msgs.service.Texts().size(), 3u);
  EXPECT_TRUE(RecognizeLabel(cv::Mat(480, 640, CV_8UC1), 128, 10, 20.0, kScale, 2.0, 5.0).empty());
}

TEST(MatchTemplateFind, FindsTheTemplateAndItsOffset) {
  SimulatedScene scene = Scene();
  scene.AddMark(scene.Axis() + cv::Point2d(3.0, -2.0), 2.0);
  scene.AddRect(scene.Axis() + cv::Point2d(3.0, -2.0), {4.0, 0.5}, 30.0, 128);
  scene.AddRect(scene.Axis() + cv::Point2d(-10.0, 8.0), {3.0, 3.0}, 0.0, 200);
  const cv::Mat frame = scene.Render();
  const cv::Point2d at = scene.ToPixel(scene.Axis() + cv::Point2d(3.0, -2.0));
  const cv::Mat templ = frame(cv::Rect(static_cast<int>(at.x) - 40, static_cast<int>(at.y) - 40, 81, 81)).clone();
  double score = 0;
  int ox = 0, oy = 0;
  const cv::RotatedRect r = MatchTemplateFind(frame, templ, score, ox, oy);
  EXPECT_NEAR(score, 1.0, 1e-4);
  EXPECT_FLOAT_EQ(r.center.x, static_cast<float>(static_cast<int>(at.x)));
  EXPECT_FLOAT_EQ(r.center.y, static_cast<float>(static_cast<int>(at.y)));
  EXPECT_EQ(ox, -60);
  EXPECT_EQ(oy, 40);
  ScopedRecordingMessages msgs;
  EXPECT_TRUE(IsNotFound(MatchTemplateFind(templ, frame, score, ox, oy)));  // template larger than the image
  EXPECT_TRUE(IsNotFound(MatchTemplateFind(frame, cv::Mat(), score, ox, oy)));
  EXPECT_EQ(msgs.service.Texts().size(), 2u);
}

// A small chip seen at a modest scale (a 1.6 x 0.8 mm part at 60 pixels per
// mm, 96 pixels long): a turn under a degree moves an edge by less than a
// pixel, and the smallest rectangle round the outline reads it as 0 or as
// the first whole-pixel step (0.45 degree read as 0.9). The head's
// correction then overshoots and never settles. The turn must be read to
// within half a pixel over the part's length, whatever its size and scale.
TEST(RecognizeSpecialPart, SmallTurnsOfASmallChipAreReadToHalfAPixelOverItsLength) {
  struct Case {
    const char* what;
    int type;
    double lengthMm, widthMm, pixelsPerMm;
  } cases[] = {
      {"0603 resistor at 60 px/mm", 1, 1.6, 0.8, 60},
      {"0603 general chip at 60 px/mm", 0, 1.6, 0.8, 60},
      {"0603 capacitor at 60 px/mm", 2, 1.6, 0.8, 60},
      {"0402 resistor at 40 px/mm", 1, 1.0, 0.5, 40},
      {"2010 resistor at 80 px/mm", 1, 5.0, 2.5, 80},
  };
  for (const Case& c : cases) {
    const double halfPixelDeg = std::atan(0.5 / (c.lengthMm * c.pixelsPerMm)) * 180.0 / CV_PI;
    for (double deg : {-1.0, -0.6, -0.45, -0.3, -0.1, 0.0, 0.05, 0.2, 0.45, 0.5, 0.7, 1.0, 3.3}) {
      SimulatedScene scene(1280, 1024, c.pixelsPerMm, {0.0, 0.0});
      scene.SetBackground(20);
      scene.SetNoise(1.5, 7);
      scene.AddRect({0.013, -0.021}, {c.lengthMm, c.widthMm}, deg, 230);
      Outputs o;
      const double box = std::max(c.lengthMm, c.widthMm) + 4.0;
      const cv::RotatedRect r =
          RecognizeSpecialPart(1, scene.Render(), 128, false, c.type, "", box, c.pixelsPerMm, 0.0, 0.0, o.dX, o.dY, o.dA);
      ASSERT_FALSE(IsNotFound(r)) << c.what << " at " << deg;
      EXPECT_NEAR(visiontest::AngleGap(o.dA, -deg), 0.0, halfPixelDeg) << c.what << " at " << deg;
    }
  }
}

// Known-answer tests of the recognisers of types 0 to 4 on binary squares.
#include <gtest/gtest.h>

#include "tests/vision/VisionTestSupport.h"
#include "vision/PackageRecognizers.h"
#include "vision/RecognitionTypes.h"

using namespace smt::vision;
using namespace visiontest;

namespace {
using Recognizer = cv::RotatedRect (*)(const cv::Mat&);
}

TEST(PackageRecognizers, BlackInputIsNotFoundAndInputStaysUntouched) {
  const Recognizer all[] = {RecognizeGeneral, RecognizeResistance, RecognizeCapacitance, RecognizeDiode,
                            RecognizeTriode};
  for (Recognizer r : all) {
    cv::Mat m = Canvas();
    const cv::RotatedRect res = r(m);
    EXPECT_TRUE(IsNotFound(res));
    EXPECT_EQ(res.size, cv::Size2f(1.f, 1.f));
    EXPECT_EQ(res.angle, 0.f);
  }
  // A recogniser never draws on its input.
  cv::Mat m = Canvas();
  Block(m, 100, 150, 299, 249);
  const cv::Mat before = m.clone();
  for (Recognizer r : all) {
    r(m);
    EXPECT_EQ(cv::norm(m, before, cv::NORM_INF), 0.0);
  }
}

TEST(RecognizeGeneral, RectangleAroundAllBlobs) {
  cv::Mat m = Canvas();
  Block(m, 100, 150, 139, 249);  // left pad
  Block(m, 260, 150, 299, 249);  // right pad
  const cv::RotatedRect r = RecognizeGeneral(m);
  EXPECT_NEAR(r.center.x, 199.5, 0.1);
  EXPECT_NEAR(r.center.y, 199.5, 0.1);
  // Outline drawn 2 pixels thick: within 1% of the 200 x 100 part.
  const float longer = std::max(r.size.width, r.size.height), shorter = std::min(r.size.width, r.size.height);
  EXPECT_NEAR(longer, 200.f, 2.0f);
  EXPECT_NEAR(shorter, 100.f, 1.0f);
  EXPECT_GE(r.angle, -90.f);
  EXPECT_LT(r.angle, 0.f);
}

TEST(RecognizeResistance, LargestBlobWithLongSideAngle) {
  for (double deg : {-60.0, -20.0, 0.0, 15.0, 40.0, 75.0}) {
    cv::Mat m = Canvas(500);
    TurnedRect(m, {250, 250}, {300, 150}, deg);
    Disc(m, {20, 20}, 6);  // a speck: smaller, ignored
    const cv::RotatedRect r = RecognizeResistance(m);
    EXPECT_NEAR(r.center.x, 250, 0.5) << deg;
    EXPECT_NEAR(r.center.y, 250, 0.5) << deg;
    EXPECT_NEAR(AngleGap(r.angle, deg), 0.0, 0.5) << deg;
    EXPECT_NEAR(std::max(r.size.width, r.size.height), 300, 3.0) << deg;
    EXPECT_NEAR(std::min(r.size.width, r.size.height), 150, 1.5) << deg;
  }
}

TEST(RecognizeResistance, EqualAreasTakeTheFirstContour) {
  cv::Mat m = Canvas();
  Block(m, 20, 20, 59, 59);
  Block(m, 300, 300, 339, 339);
  const cv::RotatedRect r = RecognizeResistance(m);
  // The library lists contours bottom-up: the lower block comes first.
  EXPECT_NEAR(r.center.x, 319.5, 0.6);
}

TEST(RecognizeCapacitance, TwoLargestCapsSpanThePart) {
  for (double deg : {-30.0, 0.0, 10.0, 35.0}) {
    cv::Mat m = Canvas(600);
    TurnedRect(m, Turn({300, 300}, deg, {-150, 0}), {60, 120}, deg);
    TurnedRect(m, Turn({300, 300}, deg, {150, 0}), {60, 120}, deg);
    Disc(m, {30, 570}, 4);  // smallest blob, ignored
    const cv::RotatedRect r = RecognizeCapacitance(m);
    EXPECT_NEAR(r.center.x, 300, 0.5) << deg;
    EXPECT_NEAR(r.center.y, 300, 0.5) << deg;
    EXPECT_NEAR(AngleGap(r.angle, deg), 0.0, 0.5) << deg;
    // The caps are redrawn with a 2-pixel outline before the rectangle is
    // taken, which widens each side by up to 2 pixels on a turned part.
    EXPECT_NEAR(std::max(r.size.width, r.size.height), 362, 3.6) << deg;
    EXPECT_NEAR(std::min(r.size.width, r.size.height), 122, 2.0) << deg;
  }
}

TEST(RecognizeCapacitance, OneBlobGivesItsOwnRectangle) {
  cv::Mat m = Canvas();
  Block(m, 150, 100, 249, 299);  // upright: long side vertical
  const cv::RotatedRect r = RecognizeCapacitance(m);
  EXPECT_NEAR(r.center.x, 199.5, 0.1);
  EXPECT_NEAR(r.center.y, 199.5, 0.1);
  EXPECT_NEAR(std::fabs(r.angle), 90.0, 0.5);
}

TEST(RecognizeDiode, FarthestPairGivesCentreAndDirection) {
  cv::Mat m = Canvas();
  Pad(m, {100, 100}, 10);
  Pad(m, {300, 200}, 10);
  Pad(m, {200, 160}, 4);  // in between, not part of the farthest pair
  const cv::RotatedRect r = RecognizeDiode(m);
  EXPECT_FLOAT_EQ(r.center.x, 200.f);
  EXPECT_FLOAT_EQ(r.center.y, 150.f);
  EXPECT_NEAR(r.size.width, std::hypot(200.0, 100.0), 1e-3);
  EXPECT_NEAR(r.angle, std::atan2(100.0, 200.0) * 180 / CV_PI, 1e-3);
}

TEST(RecognizeDiode, CoincidingCentresGiveThatPointAndZeroSize) {
  cv::Mat m = Canvas();
  // A ring and the dot inside it: two outer blobs? No: the dot is inside the
  // ring's hole, so only the ring is an outer contour. Use two blobs whose
  // rectangle centres round to the same point instead.
  Block(m, 100, 100, 103, 103);  // centre 101.5 -> rounds to 102 (even)
  Block(m, 106, 100, 107, 103);  // separate blob
  const cv::RotatedRect r = RecognizeDiode(m);
  EXPECT_FALSE(IsNotFound(r));
}

TEST(RecognizeTriode, ApexGivesTheDirection) {
  struct Case {
    cv::Point p0, p1, p2;
    cv::Point2f centre;
    float angle;
  } cases[] = {
      {{100, 100}, {120, 100}, {110, 140}, {110, 120}, 0.f},     // apex below the base
      {{100, 140}, {120, 140}, {110, 100}, {110, 120}, -180.f},  // apex above
      {{100, 100}, {100, 120}, {140, 110}, {120, 110}, -90.f},   // apex to the right
      {{140, 100}, {140, 120}, {100, 110}, {120, 110}, 90.f},    // apex to the left
  };
  for (const Case& c : cases) {
    cv::Mat m = Canvas(300);
    Pad(m, c.p0, 3);
    Pad(m, c.p1, 3);
    Pad(m, c.p2, 3);
    const cv::RotatedRect r = RecognizeTriode(m);
    EXPECT_FLOAT_EQ(r.center.x, c.centre.x);
    EXPECT_FLOAT_EQ(r.center.y, c.centre.y);
    EXPECT_FLOAT_EQ(r.size.width, 20.f);
    EXPECT_NEAR(r.angle, c.angle, 1e-4);
  }
}

TEST(RecognizeTriode, TwoBlobsOrNoIsoscelesTripleIsNotFound) {
  cv::Mat m = Canvas(300);
  Pad(m, {100, 100}, 3);
  Pad(m, {200, 100}, 3);
  EXPECT_TRUE(IsNotFound(RecognizeTriode(m)));
  Pad(m, {138, 132}, 3);  // sides 49.7, 69.8, 100: no two within 10%
  EXPECT_TRUE(IsNotFound(RecognizeTriode(m)));
}

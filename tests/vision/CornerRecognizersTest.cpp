// Known-answer tests of the corner and ball-grid recognisers.
#include <gtest/gtest.h>

#include "tests/vision/VisionTestSupport.h"
#include "vision/CornerRecognizers.h"
#include "vision/RecognitionTypes.h"

using namespace smt::vision;
using namespace visiontest;

namespace {
// Pads at the corners and along the sides of a part turned by deg.
void LeadFrame(cv::Mat& m, cv::Point2d c, double length, double width, double deg, int perSide) {
  for (int i = 0; i < perSide; ++i) {
    const double x = -length / 2 + length * i / (perSide - 1);
    TurnedRect(m, Turn(c, deg, {x, -width / 2}), {8, 8}, deg);
    TurnedRect(m, Turn(c, deg, {x, width / 2}), {8, 8}, deg);
  }
}
void BallGrid(cv::Mat& m, cv::Point2d c, int n, double pitch, double deg, int skipRow = -1, int skipCol = -1) {
  const double half = (n - 1) * pitch / 2;
  for (int r = 0; r < n; ++r)
    for (int k = 0; k < n; ++k) {
      if (r == skipRow && k == skipCol) continue;
      const cv::Point2d p = Turn(c, deg, {-half + k * pitch, -half + r * pitch});
      cv::circle(m, cv::Point(static_cast<int>(std::lround(p.x * 16)), static_cast<int>(std::lround(p.y * 16))), 5 * 16,
                 cv::Scalar(255), cv::FILLED, cv::LINE_8, 4);
    }
}
}  // namespace

TEST(RecognizeFootEdge, FourCornerPadsGiveTheSquareOutline) {
  cv::Mat m = Canvas();
  for (cv::Point p : {cv::Point(100, 100), cv::Point(300, 100), cv::Point(100, 300), cv::Point(300, 300)}) Pad(m, p, 5);
  const cv::RotatedRect r = RecognizeFootEdge(m);
  EXPECT_FLOAT_EQ(r.center.x, 200.f);
  EXPECT_FLOAT_EQ(r.center.y, 200.f);
  EXPECT_FLOAT_EQ(r.size.width, 200.f);
  EXPECT_FLOAT_EQ(r.size.height, 200.f);
  EXPECT_FLOAT_EQ(r.angle, -90.f);  // an upright box in the [-90, 0) convention
}

TEST(RecognizeFootEdge, TooFewBlobsIsNotFound) {
  struct Case {
    cv::RotatedRect (*fn)(const cv::Mat&);
    int blobs;
  } cases[] = {{RecognizeFootEdge, 3}, {RecognizeFootEdge4, 7}, {RecognizeBgaOneChamfer, 4}, {RecognizeBgaTriangleMark, 4}};
  for (const Case& c : cases) {
    cv::Mat m = Canvas();
    for (int i = 0; i < c.blobs; ++i) Pad(m, {40 + 40 * i, 60 + (i % 2) * 200}, 4);
    EXPECT_TRUE(IsNotFound(c.fn(m))) << c.blobs;
  }
}

TEST(RecognizeFootEdge, TurnedLeadFrameGivesItsAngle) {
  for (double deg : {-40.0, -12.0, 0.0, 8.0, 33.0}) {
    cv::Mat m = Canvas(500);
    LeadFrame(m, {250, 250}, 300, 160, deg, 6);
    for (auto fn : {RecognizeFootEdge, RecognizeFootEdge4}) {
      const cv::RotatedRect r = fn(m);
      ASSERT_FALSE(IsNotFound(r));
      // Corner points are whole pixels (rounded blob centres): half a pixel
      // each, so the centre is good to about 0.7 pixel on a turned part.
      EXPECT_NEAR(r.center.x, 250, 0.75) << deg;
      EXPECT_NEAR(r.center.y, 250, 0.75) << deg;
      // The rectangle spans the pad centres; the rectangle angle is a
      // quarter-turn family: compare modulo 90.
      const double gap = AngleGap(r.angle, deg);
      EXPECT_NEAR(std::fabs(std::remainder(gap, 90.0)), 0.0, 0.5) << deg;
      // Spans the pad centres plus the one-pixel outline line.
      EXPECT_NEAR(std::max(r.size.width, r.size.height), 301, 3.0) << deg;
      EXPECT_NEAR(std::min(r.size.width, r.size.height), 161, 1.6) << deg;
    }
  }
}

TEST(RecognizeFootEdge4, HullOfFourVerticesTakesThoseFour) {
  cv::Mat m = Canvas();
  for (cv::Point p : {cv::Point(100, 100), cv::Point(300, 100), cv::Point(100, 300), cv::Point(300, 300),
                      cv::Point(200, 150), cv::Point(180, 220), cv::Point(250, 250), cv::Point(150, 260)})
    Pad(m, p, 4);
  const cv::RotatedRect r = RecognizeFootEdge4(m);
  EXPECT_FLOAT_EQ(r.center.x, 200.f);
  EXPECT_FLOAT_EQ(r.center.y, 200.f);
  EXPECT_FLOAT_EQ(r.size.width, 200.f);
}

TEST(RecognizeBgaOneChamfer, GridWithOneCornerMissing) {
  cv::Mat m = Canvas();
  BallGrid(m, {200, 200}, 5, 50, 0.0, 0, 0);  // top-left ball missing
  const cv::RotatedRect r = RecognizeBgaOneChamfer(m);
  ASSERT_FALSE(IsNotFound(r));
  // Corners: three full corners and the two ends of the cut: the outline is
  // still the full 200 x 200 grid.
  EXPECT_NEAR(r.center.x, 200, 0.6);
  EXPECT_NEAR(r.center.y, 200, 0.6);
  EXPECT_NEAR(r.size.width, 200, 2.0);
  EXPECT_NEAR(r.size.height, 200, 2.0);
}

TEST(RecognizeBgaTriangleMark, MarkIsSetAsideAndDiagonalsSpanTheGrid) {
  for (double deg : {-25.0, 0.0, 17.0}) {
    cv::Mat m = Canvas(500);
    BallGrid(m, {250, 250}, 4, 60, deg);
    // The mark: a larger disc beyond one corner, farthest from the opposite corner.
    const cv::Point2d mk = Turn({250, 250}, deg, {-120, -120});
    cv::circle(m, RoundPt(mk), 9, cv::Scalar(255), cv::FILLED);
    const cv::RotatedRect r = RecognizeBgaTriangleMark(m);
    ASSERT_FALSE(IsNotFound(r)) << deg;
    EXPECT_NEAR(r.center.x, 250, 0.6) << deg;
    EXPECT_NEAR(r.center.y, 250, 0.6) << deg;
    EXPECT_NEAR(std::fabs(std::remainder(AngleGap(r.angle, deg), 90.0)), 0.0, 0.6) << deg;
    EXPECT_NEAR(r.size.width, 180, 2.0) << deg;
    EXPECT_NEAR(r.size.height, 180, 2.0) << deg;
  }
}

TEST(RecognizeBgaTriangleMark, EqualRadiiSetTheLaterBlobAside) {
  // Two pads far apart with equal radii, three smaller ones between them:
  // the later pad of the farthest pair is the mark, so the result spans the
  // earlier far pad and the small pads, never both far pads.
  cv::Mat m = Canvas();
  Pad(m, {50, 200}, 8);
  Pad(m, {350, 200}, 8);
  for (cv::Point p : {cv::Point(150, 150), cv::Point(200, 250), cv::Point(250, 150)}) Pad(m, p, 4);
  const cv::RotatedRect r = RecognizeBgaTriangleMark(m);
  ASSERT_FALSE(IsNotFound(r));
  const float longer = std::max(r.size.width, r.size.height);
  EXPECT_LT(longer, 260.f);  // both far pads together would span 300
  EXPECT_GT(longer, 150.f);
}

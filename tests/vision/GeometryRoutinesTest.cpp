// Geometry shared by the recognisers and the angle normalisers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "vision/AngleNormalizers.h"
#include "vision/RecognizerGeometry.h"
#include "vision/RecognitionTypes.h"

using namespace smt::vision;

TEST(RotatedRectNormalization, FoldsEveryAngleIntoMinus90ToZero) {
  struct Case {
    float angle;
    float w, h;
    float wantAngle;
    float wantW, wantH;
  } cases[] = {
      {90.f, 10.f, 20.f, -90.f, 10.f, 20.f},  // OpenCV 4.6's upright box
      {30.f, 10.f, 20.f, -60.f, 20.f, 10.f},
      {0.f, 10.f, 20.f, -90.f, 20.f, 10.f},
      {-30.f, 10.f, 20.f, -30.f, 10.f, 20.f},  // already in range
      {-90.f, 10.f, 20.f, -90.f, 10.f, 20.f},
  };
  for (const Case& c : cases) {
    const cv::RotatedRect r = NormalizeRotatedRect(cv::RotatedRect({5.f, 5.f}, {c.w, c.h}, c.angle));
    EXPECT_FLOAT_EQ(r.angle, c.wantAngle) << c.angle;
    EXPECT_FLOAT_EQ(r.size.width, c.wantW) << c.angle;
    EXPECT_FLOAT_EQ(r.size.height, c.wantH) << c.angle;
  }
}

TEST(RotatedRectNormalization, DescribesTheSameRectangle) {
  for (float a : {0.f, 12.5f, 45.f, 77.f, 90.f}) {
    const cv::RotatedRect in({50.f, 40.f}, {30.f, 12.f}, a);
    const cv::RotatedRect out = NormalizeRotatedRect(in);
    cv::Point2f p[4], q[4];
    in.points(p);
    out.points(q);
    for (const cv::Point2f& pi : p) {
      double best = 1e9;
      for (const cv::Point2f& qi : q) best = std::min(best, cv::norm(pi - qi));
      EXPECT_LT(best, 1e-3) << a;
    }
  }
}

TEST(RectLongSideAngle, FollowsTheLongerSideWhateverTheLibraryConvention) {
  for (double deg : {-80.0, -30.0, 0.0, 10.0, 44.0, 60.0}) {
    // The same physical rectangle described both ways.
    const cv::RotatedRect a({100.f, 100.f}, {80.f, 20.f}, static_cast<float>(deg));
    const cv::RotatedRect b({100.f, 100.f}, {20.f, 80.f}, static_cast<float>(deg + 90.0));
    EXPECT_NEAR(RectLongSideAngle(a), deg, 0.8) << deg;
    EXPECT_NEAR(RectLongSideAngle(b), deg, 0.8) << deg;
  }
}

TEST(RectLongSideAngle, EqualSidesUseTheFirstSide) {
  const cv::RotatedRect sq({50.f, 50.f}, {20.f, 20.f}, 0.f);
  cv::Point2f p[4];
  sq.points(p);
  const double want = std::atan((p[0].y - p[1].y) / ((p[0].x - p[1].x) + 1e-10)) * 180.0 / CV_PI;
  EXPECT_DOUBLE_EQ(RectLongSideAngle(sq), want);
}

TEST(NormalizeRectAngle, PointsFromQTowardsP) {
  EXPECT_DOUBLE_EQ(NormalizeRectAngle(30.0, {10, 5}, {0, 0}), 30.0);
  EXPECT_DOUBLE_EQ(NormalizeRectAngle(30.0, {0, 0}, {10, 5}), 210.0);
  EXPECT_DOUBLE_EQ(NormalizeRectAngle(90.0, {0, 10}, {0, 0}), 90.0);
  EXPECT_DOUBLE_EQ(NormalizeRectAngle(90.0, {0, 0}, {0, 10}), 270.0);
  EXPECT_DOUBLE_EQ(NormalizeRectAngle(-90.0, {0, 0}, {0, 10}), -90.0);
  EXPECT_DOUBLE_EQ(NormalizeRectAngle(-45.0, {0, 0}, {10, -10}), 135.0);
}

TEST(AngleDifference, MeasuresTheVertexAngle) {
  EXPECT_NEAR(AngleDifference({10, 0}, {0, 10}, {0, 0}), 90.0, 1e-9);
  EXPECT_NEAR(AngleDifference({10, 0}, {-10, 0}, {0, 0}), 180.0, 1e-9);
  EXPECT_NEAR(AngleDifference({10, 1}, {10, -1}, {0, 0}), 2 * std::atan(0.1) * 180 / CV_PI, 1e-9);
  EXPECT_NEAR(VertexAngleCosine({10, 0}, {0, 10}, {0, 0}), 0.0, 1e-12);
  EXPECT_NEAR(VertexAngleCosine({10, 0}, {10, 0}, {0, 0}), 1.0, 1e-9);
}

TEST(OrderQuadCorners, PutsTheFarthestPointOppositeTheFirst) {
  const auto q = OrderQuadCorners({{0, 0}, {10, 0}, {0, 10}, {10, 10}});
  EXPECT_EQ(q, (std::vector<cv::Point>{{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
  const auto r = OrderQuadCorners({{0, 0}, {10, 10}, {10, 0}, {0, 10}});
  EXPECT_EQ(r, (std::vector<cv::Point>{{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
}

TEST(FindLargestEnclosingCircle, LargestPositiveAreaWins) {
  EXPECT_EQ(FindLargestEnclosingCircle({}).centre, cv::Point2f(-1.f, -1.f));
  EXPECT_EQ(FindLargestEnclosingCircle({}).radius, 0.f);
  const ContourList lines = {{{0, 0}, {10, 0}}};  // zero area never wins
  EXPECT_EQ(FindLargestEnclosingCircle(lines).centre.x, -1.f);
  cv::Mat m = cv::Mat::zeros(200, 200, CV_8UC1);
  cv::circle(m, {50, 50}, 10, cv::Scalar(255), cv::FILLED);
  cv::circle(m, {140, 120}, 30, cv::Scalar(255), cv::FILLED);
  const EnclosingCircle c = FindLargestEnclosingCircle(BlobSearch(m));
  EXPECT_NEAR(c.centre.x, 140.f, 0.1);
  EXPECT_NEAR(c.centre.y, 120.f, 0.1);
  EXPECT_NEAR(c.radius, 30.f, 1.0);
}

TEST(AngleNormalizers, FoldLikeThePartSymmetry) {
  struct Case {
    double (*fn)(double, double);
    double found, ref, want;
  } cases[] = {
      {NormalizeAngle45, -50, 0, -40}, {NormalizeAngle45, 45, 0, 45},   {NormalizeAngle45, -90, 0, 0},
      {NormalizeAngle45, -80, 0, -10}, {NormalizeAngle45, -10, 0, 10},  {NormalizeAngle45, -90, 30, 30},
      {NormalizeAngle90, 30, 0, -30},  {NormalizeAngle90, -100, 0, -80}, {NormalizeAngle90, 100, 0, 80},
      {NormalizeAngle180, -200, 0, -160}, {NormalizeAngle180, 200, 0, -200}, {NormalizeAngle180, 10, 90, 80},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(c.fn(c.found, c.ref), c.want) << c.found << " ref " << c.ref;
}

TEST(RecognitionTypes, NamesAndNumbers) {
  EXPECT_EQ(RecognitionTypeName(0, true), "00:通用");
  EXPECT_EQ(RecognitionTypeName(13, false), "13:Special");
  EXPECT_EQ(RecognitionTypeName(14, false), "");
  for (int t = 0; t < kRecognitionTypeCount; ++t) {
    EXPECT_EQ(RecognitionTypeFromName(RecognitionTypeName(t, true)), t);
    EXPECT_EQ(RecognitionTypeFromName(RecognitionTypeName(t, false)), t);
  }
  EXPECT_EQ(RecognitionTypeFromName("x1"), -1);
  // A feeder's feature cell that names no type leaves the type as it is.
  for (const char* cell : {"14:x", "99", "", "1", "-1:x", " 1:x", "0x:1"})
    EXPECT_EQ(RecognitionTypeFromName(cell), -1) << "\"" << cell << "\"";
}

namespace {

// The moments of the turn refinement are the library's to the last bit: float
// pictures of weights (a disc of partly covered pixels, zeros round it),
// sizes that are and are not whole tiles of 32, weights near 0 and 1, a
// picture of zeros and a single pixel.
TEST(SecondMoments, AreTheLibrarysToTheLastBit) {
  cv::RNG rng(3);
  const cv::Size sizes[] = {{371, 371}, {64, 32}, {33, 95}, {1, 1}, {130, 7}};
  for (const cv::Size size : sizes)
    for (int round = 0; round < 6; ++round) {
      cv::Mat w(size, CV_32F);
      rng.fill(w, cv::RNG::UNIFORM, -0.5, 1.5);
      cv::threshold(w, w, 1.0, 1.0, cv::THRESH_TRUNC);
      cv::threshold(w, w, 0.0, 0.0, cv::THRESH_TOZERO);
      if (round % 3 == 1) {
        cv::Mat disc = cv::Mat::zeros(size, CV_8U);
        cv::circle(disc, {size.width / 2, size.height / 2}, std::max(size.width, size.height) / 3, cv::Scalar(255),
                   cv::FILLED);
        w.setTo(0, disc == 0);
      }
      if (round == 5) w.setTo(0);
      const cv::Moments want = cv::moments(w, false), got = SecondMoments(w);
      const std::string where = std::to_string(size.width) + "x" + std::to_string(size.height) + " round " +
                                std::to_string(round);
      EXPECT_EQ(got.m00, want.m00) << where;
      EXPECT_EQ(got.m10, want.m10) << where;
      EXPECT_EQ(got.m01, want.m01) << where;
      EXPECT_EQ(got.m20, want.m20) << where;
      EXPECT_EQ(got.m11, want.m11) << where;
      EXPECT_EQ(got.m02, want.m02) << where;
      EXPECT_EQ(got.mu20, want.mu20) << where;
      EXPECT_EQ(got.mu11, want.mu11) << where;
      EXPECT_EQ(got.mu02, want.mu02) << where;
    }
}

}  // namespace

namespace {

// The weights of the grey levels are what the library's conversion and
// thresholds make of a grey picture, pixel for pixel, wherever a pixel lies
// in a row (rows of every width up to past the vector lengths), for the
// scales and shifts the turn refinement uses.
TEST(LevelWeights, AreTheLibrarysConvertedAndClippedGreys) {
  cv::RNG rng(9);
  for (int round = 0; round < 40; ++round) {
    const double fg = rng.uniform(0.0, 255.0), bg = rng.uniform(0.0, 255.0);
    if (std::fabs(fg - bg) < 10.0) continue;
    const double scale = 1.0 / (fg - bg), shift = -bg / (fg - bg);
    const std::array<float, 256> lut = LevelWeights(scale, shift);
    const int width = 1 + round * 10;
    cv::Mat grey(3, width, CV_8U);
    rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
    cv::Mat w;
    grey.convertTo(w, CV_32F, scale, shift);
    cv::threshold(w, w, 1.0, 1.0, cv::THRESH_TRUNC);
    cv::threshold(w, w, 0.0, 0.0, cv::THRESH_TOZERO);
    for (int y = 0; y < grey.rows; ++y)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(lut[grey.at<uchar>(y, x)], w.at<float>(y, x)) << "width " << width << " at " << x << " scale " << scale;
  }
}

}  // namespace

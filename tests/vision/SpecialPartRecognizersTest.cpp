// Known-answer tests of the special-part recognisers of type 13.
#include <gtest/gtest.h>

#include "tests/vision/VisionTestSupport.h"
#include "vision/RecognitionTypes.h"
#include "vision/SpecialPartRecognizers.h"

using namespace smt::vision;
using namespace visiontest;

TEST(SpecialPartRecognizers, BlackInputIsNotFound) {
  for (auto fn : {RecognizeSpecialRch110, RecognizeSpecialKsd42, RecognizeSpecialLe224, RecognizeSpecialG5nb,
                  RecognizeSpecialC10x16}) {
    const cv::Mat m = Canvas();
    EXPECT_TRUE(IsNotFound(fn(m)));
  }
}

TEST(RecognizeSpecialRch110, FourPadsOnASquare) {
  cv::Mat m = Canvas();
  for (cv::Point p : {cv::Point(120, 120), cv::Point(280, 120), cv::Point(120, 280), cv::Point(280, 280)}) Pad(m, p, 6);
  Pad(m, {200, 40}, 3);  // 7 x 7 = 49: too small to count
  const cv::RotatedRect r = RecognizeSpecialRch110(m);
  ASSERT_FALSE(IsNotFound(r));
  EXPECT_FLOAT_EQ(r.center.x, 200.f);
  EXPECT_FLOAT_EQ(r.center.y, 200.f);
  EXPECT_FLOAT_EQ(r.size.width, 160.f);
  EXPECT_NEAR(std::fabs(r.angle), 0.0, 1e-3);  // long-side angle of a square: the first side
}

TEST(RecognizeSpecialRch110, SmallPadsAndOblongLayoutsAreRefused) {
  cv::Mat small = Canvas();
  // Pads of 7 x 7 pixels (rectangle 6 x 6 by the contour: area 36) never count.
  for (cv::Point p : {cv::Point(120, 120), cv::Point(280, 120), cv::Point(120, 280), cv::Point(280, 280)})
    Pad(small, p, 3);
  EXPECT_TRUE(IsNotFound(RecognizeSpecialRch110(small)));
  cv::Mat oblong = Canvas();
  for (cv::Point p : {cv::Point(50, 150), cv::Point(350, 150), cv::Point(50, 300), cv::Point(350, 300)})
    Pad(oblong, p, 6);  // sides 300 and 150: ratio 2
  EXPECT_TRUE(IsNotFound(RecognizeSpecialRch110(oblong)));
}

TEST(RecognizeSpecialKsd42, EightLargestBlobsOnly) {
  cv::Mat m = Canvas();
  // Eight pads around a 200 x 100 outline, two small ones outside it.
  for (int i = 0; i < 4; ++i) {
    Pad(m, {100 + i * 200 / 3, 150}, 8);
    Pad(m, {100 + i * 200 / 3, 250}, 8);
  }
  Pad(m, {30, 30}, 3);
  Pad(m, {370, 370}, 3);
  const cv::RotatedRect r = RecognizeSpecialKsd42(m);
  ASSERT_FALSE(IsNotFound(r));
  EXPECT_NEAR(r.center.x, 200, 0.6);
  EXPECT_NEAR(r.center.y, 200, 0.6);
  EXPECT_NEAR(std::max(r.size.width, r.size.height), 200, 2.0);
  EXPECT_NEAR(r.angle, 0.0, 0.5);
  cv::Mat seven = Canvas();
  for (int i = 0; i < 7; ++i) Pad(seven, {40 + i * 45, 200}, 8);
  EXPECT_TRUE(IsNotFound(RecognizeSpecialKsd42(seven)));
}

TEST(RecognizeSpecialLe224, FarthestCompactPairAndOneBlobIsNotFound) {
  cv::Mat m = Canvas();
  Disc(m, {100, 100}, 10);
  Disc(m, {300, 200}, 10);
  Block(m, 120, 300, 279, 309);  // 160 x 10 bar: aspect above 3, ignored
  const cv::RotatedRect r = RecognizeSpecialLe224(m);
  ASSERT_FALSE(IsNotFound(r));
  EXPECT_NEAR(r.center.x, 200, 0.1);
  EXPECT_NEAR(r.center.y, 150, 0.1);
  EXPECT_NEAR(r.size.width, std::hypot(200.0, 100.0), 0.5);
  EXPECT_NEAR(r.angle, std::atan2(100.0, 200.0) * 180 / CV_PI, 0.1);
  cv::Mat one = Canvas();
  Disc(one, {100, 100}, 10);
  EXPECT_TRUE(IsNotFound(RecognizeSpecialLe224(one)));  // no partner: not read past the end
}

TEST(RecognizeSpecialG5nb, RightAngleCornerAndLongerLeg) {
  cv::Mat m = Canvas();
  const cv::Point o(100, 100);
  Pad(m, o, 5);
  Pad(m, o + cv::Point(200, 0), 5);
  Pad(m, o + cv::Point(0, 100), 5);
  Pad(m, o + cv::Point(40, 30), 5);  // inside the triangle
  const cv::RotatedRect r = RecognizeSpecialG5nb(m);
  ASSERT_FALSE(IsNotFound(r));
  EXPECT_FLOAT_EQ(r.center.x, 200.f);
  EXPECT_FLOAT_EQ(r.center.y, 150.f);
  EXPECT_FLOAT_EQ(r.size.width, 200.f);
  EXPECT_FLOAT_EQ(r.size.height, 100.f);
  EXPECT_NEAR(r.angle, 0.0, 1e-4);  // from the corner towards the far pin
  // Mirrored: the far pin to the left of the corner points the other way.
  cv::Mat w = Canvas();
  const cv::Point o2(300, 100);
  Pad(w, o2, 5);
  Pad(w, o2 - cv::Point(200, 0), 5);
  Pad(w, o2 + cv::Point(0, 100), 5);
  Pad(w, o2 + cv::Point(-40, 30), 5);
  EXPECT_NEAR(RecognizeSpecialG5nb(w).angle, 180.0, 1e-4);
}

TEST(RecognizeSpecialG5nb, CollinearCornersAreNotFound) {
  cv::Mat m = Canvas();
  for (int i = 0; i < 4; ++i) Pad(m, {60 + i * 80, 200}, 5);
  EXPECT_TRUE(IsNotFound(RecognizeSpecialG5nb(m)));
}

TEST(RecognizeSpecialC10x16, InnerPairPointsTowardsTheLargestBlob) {
  cv::Mat m = Canvas();
  // Outline: four corner pads; the two inner pins near the middle; the
  // largest pad sits on the right, so the direction runs left to right.
  Pad(m, {60, 100}, 6);
  Pad(m, {60, 300}, 6);
  Pad(m, {340, 100}, 20);
  Pad(m, {340, 300}, 6);
  Pad(m, {170, 200}, 6);
  Pad(m, {230, 200}, 6);
  const cv::RotatedRect r = RecognizeSpecialC10x16(m);
  ASSERT_FALSE(IsNotFound(r));
  EXPECT_FLOAT_EQ(r.center.x, 200.f);
  EXPECT_FLOAT_EQ(r.center.y, 200.f);
  EXPECT_FLOAT_EQ(r.size.width, 60.f);
  EXPECT_NEAR(r.angle, 0.0, 1e-3);
  cv::Mat one = Canvas();
  Pad(one, {200, 200}, 10);
  EXPECT_TRUE(IsNotFound(RecognizeSpecialC10x16(one)));
}

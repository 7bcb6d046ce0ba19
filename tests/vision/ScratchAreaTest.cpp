// The recognisers' scratch area reads back exactly the contours a drawing
// on the whole square gives, in the same order, and leaving out outlines deep
// inside the centres' hull changes nothing: tables of drawings, with
// outlines and lines running to the square's edges and corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <opencv2/imgproc.hpp>

#include "vision/RecognizerGeometry.h"

using namespace smt::vision;

namespace {

// Whole-square drawing as the recognisers did it before the scratch area.
ContourList DrawnOnTheWholeSquare(cv::Size square, const std::vector<std::pair<const ContourList*, int>>& outlines,
                                  const std::vector<std::pair<cv::Point, cv::Point>>& lines) {
  cv::Mat scratch = cv::Mat::zeros(square, CV_8UC1);
  for (const auto& [contours, thickness] : outlines)
    cv::drawContours(scratch, *contours, -1, cv::Scalar(255), thickness, cv::LINE_8);
  for (const auto& [a, b] : lines) cv::line(scratch, a, b, cv::Scalar(255), 1, cv::LINE_8, 0);
  return BlobSearch(scratch);
}

// Blobs: discs and turned bars, some cut by the square's edges.
ContourList Blobs(cv::Size square, unsigned seed, int count) {
  cv::Mat m = cv::Mat::zeros(square, CV_8UC1);
  cv::RNG rng(seed);
  for (int i = 0; i < count; ++i) {
    const cv::Point c(rng.uniform(-10, square.width + 10), rng.uniform(-10, square.height + 10));
    if (i % 2)
      cv::circle(m, c, rng.uniform(1, 30), cv::Scalar(255), cv::FILLED);
    else
      cv::ellipse(m, c, cv::Size(rng.uniform(1, 40), rng.uniform(1, 8)), rng.uniform(0, 180), 0, 360, cv::Scalar(255),
                  cv::FILLED);
  }
  return BlobSearch(m);
}

TEST(ScratchArea, SameContoursInTheSameOrderAsTheWholeSquare) {
  const cv::Size sizes[] = {{400, 400}, {160, 240}, {37, 53}};
  for (const cv::Size square : sizes) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
      const ContourList blobs = Blobs(square, seed, 3 + static_cast<int>(seed));
      std::vector<cv::Point> centres;
      for (const Contour& c : blobs) centres.push_back(BlobCentre(c));
      // Lines between centres and to the corners of the square.
      std::vector<std::pair<cv::Point, cv::Point>> lines;
      for (size_t i = 1; i < centres.size(); ++i) lines.emplace_back(centres[i - 1], centres[i]);
      lines.emplace_back(cv::Point(0, 0), cv::Point(square.width - 1, square.height - 1));
      lines.emplace_back(cv::Point(square.width - 1, 0), cv::Point(square.width / 2, square.height - 1));
      for (int thickness : {1, 2}) {
        for (int variant = 0; variant < 3; ++variant) {
          // 0: outlines only, 1: lines only, 2: both.
          std::vector<std::pair<const ContourList*, int>> outlines;
          std::vector<std::pair<cv::Point, cv::Point>> drawnLines;
          ScratchArea area(square);
          if (variant != 1) {
            outlines.emplace_back(&blobs, thickness);
            area.Outlines(blobs, thickness);
          }
          if (variant != 0) {
            drawnLines = lines;
            for (const auto& [a, b] : lines) area.Line(a, b);
          }
          const ContourList want = DrawnOnTheWholeSquare(square, outlines, drawnLines);
          const ContourList got = area.Extract();
          const std::string where = std::to_string(square.width) + "x" + std::to_string(square.height) + " seed " +
                                    std::to_string(seed) + " thickness " + std::to_string(thickness) + " variant " +
                                    std::to_string(variant);
          ASSERT_EQ(got.size(), want.size()) << where;
          for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << where << " contour " << i;
        }
      }
    }
  }
  // Nothing drawn: no contour, and the rectangle is "not found".
  ScratchArea empty(cv::Size(50, 50));
  EXPECT_TRUE(empty.Extract().empty());
  EXPECT_EQ(empty.ReExtract().center.x, -1.f);
}

TEST(ScratchArea, StampedThickOutlinesArePixelForPixelTheLibrarysDrawing) {
  for (const cv::Size square : {cv::Size(300, 300), cv::Size(41, 29)}) {
    for (unsigned seed = 1; seed <= 10; ++seed) {
      const ContourList blobs = Blobs(square, seed, 4 + static_cast<int>(seed));
      // Outlines at the picture's edges, and moved into a larger picture.
      for (const cv::Point shift : {cv::Point(0, 0), cv::Point(7, 3)}) {
        cv::Mat drawn = cv::Mat::zeros(square + cv::Size(shift), CV_8UC1), stamped = drawn.clone();
        cv::drawContours(drawn, blobs, -1, cv::Scalar(255), 2, cv::LINE_8, cv::noArray(), INT_MAX, shift);
        for (const Contour& c : blobs)
          if (!StampThickOutline(stamped, c, shift)) {
            const ContourList one{c};
            cv::drawContours(stamped, one, -1, cv::Scalar(255), 2, cv::LINE_8, cv::noArray(), INT_MAX, shift);
          }
        EXPECT_EQ(cv::countNonZero(drawn != stamped), 0)
            << square << " seed " << seed << " shift " << shift;
      }
      // A point outside the picture is left to the library.
      cv::Mat m = cv::Mat::zeros(square, CV_8UC1);
      EXPECT_FALSE(StampThickOutline(m, blobs[0], cv::Point(-square.width, 0)));
    }
  }
}

TEST(ScratchArea, OutlinesDeepInsideTheHullDoNotChangeTheOuterContour) {
  struct Grid {
    int n;
    double pitch, ball, turnDeg;
  } grids[] = {{10, 40, 20, 0}, {10, 40, 20, 12}, {6, 60, 44, 33}, {4, 25, 8, 45}, {3, 50, 30, 7}, {12, 30, 14, 81}, {5, 30, 20, 20}};
  const cv::Size square(600, 600);
  for (const Grid& g : grids) {
    cv::Mat m = cv::Mat::zeros(square, CV_8UC1);
    const double a = g.turnDeg * CV_PI / 180.0;
    for (int r = 0; r < g.n; ++r)
      for (int k = 0; k < g.n; ++k) {
        const double x = (k - (g.n - 1) / 2.0) * g.pitch, y = (r - (g.n - 1) / 2.0) * g.pitch;
        const cv::Point2d p(300 + x * std::cos(a) - y * std::sin(a), 300 + x * std::sin(a) + y * std::cos(a));
        cv::circle(m, cv::Point(cvRound(p.x * 16), cvRound(p.y * 16)), cvRound(g.ball * 8), cv::Scalar(255), cv::FILLED,
                   cv::LINE_8, 4);
      }
    const ContourList blobs = BlobSearch(m);
    std::vector<cv::Point> centres;
    for (const Contour& c : blobs) centres.push_back(BlobCentre(c));
    const ContourList reaching = OutlinesReachingTheHull(blobs, centres, 2);
    ScratchArea all(square), some(square);
    all.Outlines(blobs, 2);
    all.ClosedHull(centres);
    some.Outlines(reaching, 2);
    some.ClosedHull(centres);
    const ContourList want = all.Extract(), got = some.Extract();
    const std::string where = std::to_string(g.n) + " balls a side at " + std::to_string(g.turnDeg) + " degrees";
    ASSERT_FALSE(want.empty()) << where;
    ASSERT_EQ(got.size(), want.size()) << where;
    EXPECT_EQ(got[0], want[0]) << where;
    if (g.n >= 4) {
      EXPECT_LT(reaching.size(), blobs.size()) << where << ": nothing was left out";
    }
  }
}

}  // namespace

namespace {

// A closed polygon alone is read back without a picture: the same rectangle,
// to the last bit, as the drawing on the whole square gives, for hulls of
// scattered points, of a few points (down to one), thin slivers and polygons
// touching the square's edges.
TEST(ScratchArea, AClosedPolygonGivesTheRectangleOfTheDrawing) {
  const cv::Size squares[] = {{800, 800}, {120, 90}};
  for (const cv::Size square : squares) {
    cv::RNG rng(11);
    for (int round = 0; round < 400; ++round) {
      const int n = 1 + round % 9;
      std::vector<cv::Point> points;
      const bool sliver = round % 5 == 0;
      for (int i = 0; i < n; ++i) {
        const int x = rng.uniform(0, square.width);
        const int y = sliver ? std::clamp(square.height / 2 + i * (round % 3) + rng.uniform(-1, 2), 0, square.height - 1)
                             : rng.uniform(0, square.height);
        points.emplace_back(x, y);
      }
      if (round % 7 == 0) points.emplace_back(square.width - 1, square.height - 1);
      if (round % 11 == 0) points.emplace_back(0, rng.uniform(0, square.height));
      for (const bool hull : {true, false}) {
        ScratchArea area(square);
        std::vector<cv::Point> corners = points;
        if (hull) {
          area.ClosedHull(points);
          cv::convexHull(points, corners, false, true);
        } else {
          area.ClosedPolygon(points);
        }
        std::vector<std::pair<cv::Point, cv::Point>> lines;
        for (size_t i = 0; i < corners.size(); ++i) lines.emplace_back(corners[i], corners[(i + 1) % corners.size()]);
        const ContourList drawn = DrawnOnTheWholeSquare(square, {}, lines);
        ASSERT_FALSE(drawn.empty());
        const cv::RotatedRect want = MinAreaRectNormalized(drawn[0]), got = area.ReExtract();
        const std::string where = std::to_string(square.width) + " round " + std::to_string(round) +
                                  (hull ? " hull" : " polygon");
        EXPECT_EQ(got.center.x, want.center.x) << where;
        EXPECT_EQ(got.center.y, want.center.y) << where;
        EXPECT_EQ(got.size.width, want.size.width) << where;
        EXPECT_EQ(got.size.height, want.size.height) << where;
        EXPECT_EQ(got.angle, want.angle) << where;
      }
    }
  }
}

}  // namespace

namespace {

// Lines drawn one by one: crossing, meeting at an end, lying side by side a
// pixel apart, or apart (then the first contour is one of the pieces): the
// rectangle is the drawing's, to the last bit.
TEST(ScratchArea, LooseLinesGiveTheRectangleOfTheDrawing) {
  const cv::Size square(300, 240);
  cv::RNG rng(5);
  for (int round = 0; round < 600; ++round) {
    std::vector<std::pair<cv::Point, cv::Point>> lines;
    const int n = 1 + round % 4;
    for (int i = 0; i < n; ++i) {
      cv::Point a(rng.uniform(0, square.width), rng.uniform(0, square.height));
      cv::Point b(rng.uniform(0, square.width), rng.uniform(0, square.height));
      if (i > 0 && round % 3 == 0) a = lines.back().second;  // meeting at an end
      if (i > 0 && round % 5 == 0) {
        // Beside the one before, a pixel or two apart.
        a = lines.back().first + cv::Point(0, 1 + round % 2);
        b = lines.back().second + cv::Point(0, 1 + round % 2);
        a.y = std::min(a.y, square.height - 1);
        b.y = std::min(b.y, square.height - 1);
      }
      lines.emplace_back(a, b);
    }
    ScratchArea area(square);
    for (const auto& [a, b] : lines) area.Line(a, b);
    const ContourList drawn = DrawnOnTheWholeSquare(square, {}, lines);
    ASSERT_FALSE(drawn.empty());
    const cv::RotatedRect want = MinAreaRectNormalized(drawn[0]), got = area.ReExtract();
    std::string where = "round " + std::to_string(round);
    for (const auto& [a, b] : lines) where += " (" + std::to_string(a.x) + "," + std::to_string(a.y) + ")-(" + std::to_string(b.x) + "," + std::to_string(b.y) + ")";
    EXPECT_EQ(got.center.x, want.center.x) << where;
    EXPECT_EQ(got.center.y, want.center.y) << where;
    EXPECT_EQ(got.size.width, want.size.width) << where;
    EXPECT_EQ(got.size.height, want.size.height) << where;
    EXPECT_EQ(got.angle, want.angle) << where;
  }
}

}  // namespace

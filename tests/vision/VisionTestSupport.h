#pragma once
// Drawing helpers for known-answer vision tests: binary squares with blobs
// at exact pixel positions, and rotated shapes.
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace visiontest {

inline cv::Mat Canvas(int side = 400) { return cv::Mat::zeros(side, side, CV_8UC1); }

// Filled axis-aligned block covering pixel columns x0..x1 and rows y0..y1.
inline void Block(cv::Mat& m, int x0, int y0, int x1, int y1) {
  cv::rectangle(m, cv::Point(x0, y0), cv::Point(x1, y1), cv::Scalar(255), cv::FILLED, cv::LINE_8);
}
// Filled disc of integer centre and radius.
inline void Disc(cv::Mat& m, cv::Point c, int r) { cv::circle(m, c, r, cv::Scalar(255), cv::FILLED, cv::LINE_8); }
// Filled square pad centred on an integer point.
inline void Pad(cv::Mat& m, cv::Point c, int half) { Block(m, c.x - half, c.y - half, c.x + half, c.y + half); }

inline cv::Point2d Turn(cv::Point2d centre, double deg, cv::Point2d local) {
  const double a = deg * CV_PI / 180.0;
  return {centre.x + local.x * std::cos(a) - local.y * std::sin(a), centre.y + local.x * std::sin(a) + local.y * std::cos(a)};
}
inline cv::Point RoundPt(cv::Point2d p) { return {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))}; }

// Filled rectangle of the given size turned by deg (clockwise on the picture).
inline void TurnedRect(cv::Mat& m, cv::Point2d centre, cv::Size2d size, double deg) {
  std::vector<cv::Point> poly;
  const double hw = size.width / 2, hh = size.height / 2;
  for (cv::Point2d l : {cv::Point2d(-hw, -hh), cv::Point2d(hw, -hh), cv::Point2d(hw, hh), cv::Point2d(-hw, hh)}) {
    const cv::Point2d p = Turn(centre, deg, l);
    poly.emplace_back(static_cast<int>(std::lround(p.x * 256)), static_cast<int>(std::lround(p.y * 256)));
  }
  cv::fillConvexPoly(m, poly, cv::Scalar(255), cv::LINE_8, 8);
}

// Difference of two angles folded into (-180, 180].
inline double AngleGap(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180) d -= 360;
  if (d <= -180) d += 360;
  return d;
}

}  // namespace visiontest

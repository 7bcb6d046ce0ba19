#include "vision/RecognizerGeometry.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace smt::vision {

cv::RotatedRect NormalizeRotatedRect(const cv::RotatedRect& rect) {
  cv::RotatedRect r = rect;
  if (!std::isfinite(r.angle)) return r;
  while (r.angle >= 0.f) {
    r.angle -= 90.f;
    std::swap(r.size.width, r.size.height);
  }
  while (r.angle < -90.f) {
    r.angle += 90.f;
    std::swap(r.size.width, r.size.height);
  }
  return r;
}

cv::RotatedRect MinAreaRectNormalized(const Contour& contour) { return NormalizeRotatedRect(cv::minAreaRect(contour)); }

ContourList BlobSearch(const cv::Mat& binary) {
  ContourList contours;
  if (binary.empty()) return contours;
  std::vector<cv::Vec4i> hierarchy;
  cv::findContours(binary, contours, hierarchy, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE, cv::Point(0, 0));
  return contours;
}

cv::Point RoundPoint(cv::Point2f p) { return {static_cast<int>(std::nearbyint(p.x)), static_cast<int>(std::nearbyint(p.y))}; }
cv::Point RoundPoint(cv::Point2d p) { return {static_cast<int>(std::nearbyint(p.x)), static_cast<int>(std::nearbyint(p.y))}; }

cv::Point BlobCentre(const Contour& contour) { return RoundPoint(cv::minAreaRect(contour).center); }

cv::Point2f CircleCentre(const Contour& contour, float* radius) {
  cv::Point2f c;
  float r = 0.f;
  // The smallest circle around the points is the one around their convex
  // hull; the library's search slows to tens of milliseconds on long
  // outlines, so it is given the hull.
  std::vector<cv::Point> hull;
  if (contour.size() > 64) cv::convexHull(contour, hull, false, true);
  cv::minEnclosingCircle(hull.empty() ? contour : hull, c, r);
  if (radius) *radius = r;
  return c;
}

cv::Mat ScratchImage(const cv::Mat& like) { return cv::Mat::zeros(like.rows, like.cols, like.type()); }

cv::RotatedRect ReExtract(const cv::Mat& scratch) {
  ContourList contours = BlobSearch(scratch);
  if (contours.empty()) return cv::RotatedRect(cv::Point2f(-1.f, -1.f), cv::Size2f(1.f, 1.f), 0.f);
  return MinAreaRectNormalized(contours[0]);
}

double PointDistance(cv::Point a, cv::Point b) {
  const double dx = static_cast<double>(a.x) - b.x;
  const double dy = static_cast<double>(a.y) - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

void DrawClosedHull(cv::Mat& scratch, const std::vector<cv::Point>& points) {
  if (points.empty()) return;
  std::vector<cv::Point> hull;
  cv::convexHull(points, hull, false, true);
  const cv::Scalar white(255, 255, 255, 0);
  const size_t h = hull.size();
  for (size_t i = 0; i < h; ++i) cv::line(scratch, hull[i], hull[(i + 1) % h], white, 1, cv::LINE_8, 0);
}

double RectLongSideAngle(const cv::RotatedRect& rect) {
  cv::Point2f p[4];
  rect.points(p);
  const double d01 = PointDistance(RoundPoint(p[0]), RoundPoint(p[1]));
  const double d12 = PointDistance(RoundPoint(p[1]), RoundPoint(p[2]));
  double dx, dy;
  if (d01 >= d12) {
    dx = static_cast<double>(p[0].x) - p[1].x;
    dy = static_cast<double>(p[0].y) - p[1].y;
  } else {
    dx = static_cast<double>(p[1].x) - p[2].x;
    dy = static_cast<double>(p[1].y) - p[2].y;
  }
  return std::atan(dy / (dx + 1e-10)) * 180.0 / CV_PI;
}

double NormalizeRectAngle(double angle, cv::Point2f p, cv::Point2f q) {
  bool keep;
  if (angle >= 0.0 && angle < 90.0)
    keep = p.x > q.x;
  else if (angle == 90.0)
    keep = p.y > q.y;
  else if (angle == -90.0)
    keep = q.y > p.y;
  else
    keep = p.x > q.x;
  return keep ? angle : angle + 180.0;
}

double AngleDifference(cv::Point a, cv::Point b, cv::Point o) {
  const double alpha = std::atan2(static_cast<double>(a.y - o.y), static_cast<double>(a.x - o.x));
  const double beta = std::atan2(static_cast<double>(b.y - o.y), static_cast<double>(b.x - o.x));
  double d = alpha - beta;
  if (d > CV_PI) d -= 2 * CV_PI;
  if (d < -CV_PI) d += 2 * CV_PI;
  return std::fabs(d) * 180.0 / CV_PI;
}

double VertexAngleCosine(cv::Point a, cv::Point b, cv::Point o) {
  const double dx1 = a.x - o.x, dy1 = a.y - o.y;
  const double dx2 = b.x - o.x, dy2 = b.y - o.y;
  return (dx1 * dx2 + dy1 * dy2) / std::sqrt((dx1 * dx1 + dy1 * dy1) * (dx2 * dx2 + dy2 * dy2) + 1e-10);
}

std::vector<cv::Point> OrderQuadCorners(const std::vector<cv::Point>& points) {
  if (points.size() < 4) return points;
  const cv::Point p0 = points[0], p1 = points[1], p2 = points[2], p3 = points[3];
  const double d1 = PointDistance(p0, p1), d2 = PointDistance(p0, p2), d3 = PointDistance(p0, p3);
  if (d1 > d2 && d1 > d3) return {p0, p2, p1, p3};
  if (d2 > d1 && d2 > d3) return {p0, p1, p2, p3};
  return {p0, p1, p3, p2};
}

EnclosingCircle FindLargestEnclosingCircle(const ContourList& contours) {
  EnclosingCircle result;
  double best = 0.0;
  for (const Contour& c : contours) {
    if (c.empty()) continue;
    float r = 0.f;
    const cv::Point2f centre = CircleCentre(c, &r);
    const double area = cv::contourArea(c);
    if (area > best) {
      best = area;
      result.centre = centre;
      result.radius = r;
    }
  }
  return result;
}

std::vector<int> PickRankedIndices(const std::vector<double>& values, int count, bool largest) {
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> picked;
  std::vector<bool> used(values.size(), false);
  const int n = static_cast<int>(sorted.size());
  for (int pass = 0; pass < count && pass < n; ++pass) {
    const double v = largest ? sorted[n - 1 - pass] : sorted[pass];
    for (int i = 0; i < n; ++i) {
      if (!used[i] && values[i] == v) {
        used[i] = true;
        picked.push_back(i);
        break;
      }
    }
  }
  return picked;
}

}  // namespace smt::vision

namespace smt::vision {

void RefineTurnByMoments(const cv::Mat& grey, const cv::Mat& binary, cv::RotatedRect& rect, double limitDeg) {
  if (grey.empty() || binary.empty() || grey.size() != binary.size() || grey.type() != CV_8UC1 ||
      binary.type() != CV_8UC1 || rect.size.width <= 0 || rect.size.height <= 0)
    return;
  // A disc round the found part: its angle field may name either side.
  // Only the disc's bounding box is looked at (nothing outside the disc
  // counts), a small part of the searched square.
  const double radius = 0.5 * std::hypot(rect.size.width, rect.size.height) * 1.05 + 3.0;
  const cv::Point centre = RoundPoint(rect.center);
  const int r = static_cast<int>(std::ceil(radius));
  const cv::Rect box = cv::Rect(centre.x - r - 1, centre.y - r - 1, 2 * r + 3, 2 * r + 3) & cv::Rect(0, 0, binary.cols, binary.rows);
  if (box.empty()) return;
  const cv::Mat greyBox = grey(box), binaryBox = binary(box);
  cv::Mat disc = cv::Mat::zeros(box.size(), CV_8UC1);
  cv::circle(disc, centre - box.tl(), r, cv::Scalar(255), cv::FILLED);
  cv::Mat part, ground;
  cv::bitwise_and(binaryBox, disc, part);
  cv::bitwise_and(~binaryBox, disc, ground);
  if (cv::countNonZero(part) < 20 || cv::countNonZero(ground) < 20) return;
  // Each pixel weighs by how much of it the part covers (edges are partly
  // covered), from the grey levels of the part and of the ground round it.
  const double fg = cv::mean(greyBox, part)[0], bg = cv::mean(greyBox, ground)[0];
  if (std::fabs(fg - bg) < 10.0) return;
  cv::Mat weight;
  greyBox.convertTo(weight, CV_32F, 1.0 / (fg - bg), -bg / (fg - bg));
  cv::threshold(weight, weight, 1.0, 1.0, cv::THRESH_TRUNC);
  cv::threshold(weight, weight, 0.0, 0.0, cv::THRESH_TOZERO);
  weight.setTo(0.0f, disc == 0);
  // Central moments do not depend on where the box lies in the square.
  const cv::Moments m = cv::moments(weight, false);
  if (m.m00 < 20.0) return;
  const double a = m.mu20 / m.m00, b = m.mu11 / m.m00, c = m.mu02 / m.m00;
  const double mean = 0.5 * (a + c), spread = std::sqrt(0.25 * (a - c) * (a - c) + b * b);
  const double major = mean + spread, minor = mean - spread;
  if (minor <= 0.0 || major < 1.3 * minor) return;  // too nearly square to tell
  const double axis = 0.5 * std::atan2(2.0 * b, a - c) * 180.0 / CV_PI;
  double d = std::fmod(axis - rect.angle, 90.0);
  if (d > 45.0) d -= 90.0;
  if (d <= -45.0) d += 90.0;
  if (std::fabs(d) < limitDeg) rect.angle = static_cast<float>(rect.angle + d);
}

}  // namespace smt::vision

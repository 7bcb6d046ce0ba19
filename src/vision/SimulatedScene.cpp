#include "vision/SimulatedScene.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace smt::vision {

namespace {
constexpr int kShift = 8;  // sub-pixel bits of the drawing calls
constexpr double kOne = 1 << kShift;

cv::Point Fixed(cv::Point2d p) {
  return {static_cast<int>(std::lround(p.x * kOne)), static_cast<int>(std::lround(p.y * kOne))};
}
}  // namespace

SimulatedScene::SimulatedScene(int cols, int rows, double pixelsPerMm, cv::Point2d axisMm)
    : m_cols(cols), m_rows(rows), m_scale(pixelsPerMm), m_axis(axisMm) {}

cv::Point2d SimulatedScene::ToPixel(cv::Point2d mm) const {
  return {m_cols / 2.0 + (mm.x - m_axis.x) * m_scale, m_rows / 2.0 + (mm.y - m_axis.y) * m_scale};
}

cv::Point2d SimulatedScene::ToMm(cv::Point2d px) const {
  return {m_axis.x + (px.x - m_cols / 2.0) / m_scale, m_axis.y + (px.y - m_rows / 2.0) / m_scale};
}

void SimulatedScene::AddCircle(cv::Point2d centreMm, double diameterMm, int grey) {
  SceneShape s;
  s.kind = SceneShape::Kind::Circle;
  s.centreMm = centreMm;
  s.sizeMm = {diameterMm, diameterMm};
  s.grey = grey;
  m_shapes.push_back(s);
}

void SimulatedScene::AddRect(cv::Point2d centreMm, cv::Size2d sizeMm, double angleDeg, int grey) {
  SceneShape s;
  s.kind = SceneShape::Kind::Rect;
  s.centreMm = centreMm;
  s.sizeMm = sizeMm;
  s.angleDeg = angleDeg;
  s.grey = grey;
  m_shapes.push_back(s);
}

void SimulatedScene::AddPolygon(const std::vector<cv::Point2d>& pointsMm, int grey) {
  SceneShape s;
  s.kind = SceneShape::Kind::Polygon;
  s.points = pointsMm;
  s.grey = grey;
  m_shapes.push_back(s);
}

cv::Point2d SimulatedScene::PartPoint(cv::Point2d c, double angleDeg, cv::Point2d local) {
  const double a = angleDeg * CV_PI / 180.0;
  return {c.x + local.x * std::cos(a) - local.y * std::sin(a), c.y + local.x * std::sin(a) + local.y * std::cos(a)};
}

void SimulatedScene::AddChip(cv::Point2d c, double lengthMm, double widthMm, double padMm, double angleDeg) {
  const double offset = (lengthMm - padMm) / 2.0;
  AddRect(PartPoint(c, angleDeg, {-offset, 0.0}), {padMm, widthMm}, angleDeg);
  AddRect(PartPoint(c, angleDeg, {offset, 0.0}), {padMm, widthMm}, angleDeg);
}

cv::Mat SimulatedScene::Render() const {
  cv::Mat img(m_rows, m_cols, CV_8UC3, cv::Scalar::all(m_background));
  cv::Mat level(m_rows, m_cols, CV_32FC1, cv::Scalar(m_background));
  // Pixel i covers [i - 0.5, i + 0.5]. Each shape is filled on a 4x finer
  // grid around it and averaged back, so every pixel gets the part of its
  // area that the shape covers: edges at exact sub-pixel positions.
  constexpr int k = 4;
  for (const SceneShape& s : m_shapes) {
    std::vector<cv::Point2d> outline;
    switch (s.kind) {
      case SceneShape::Kind::Circle: {
        const cv::Point2d c = ToPixel(s.centreMm);
        const double r = s.sizeMm.width * m_scale / 2.0;
        const int n = std::max(64, static_cast<int>(r * 2.0 * CV_PI));
        for (int i = 0; i < n; ++i) {
          const double a = 2.0 * CV_PI * i / n;
          outline.push_back(c + cv::Point2d(r * std::cos(a), r * std::sin(a)));
        }
        break;
      }
      case SceneShape::Kind::Rect: {
        const double hw = s.sizeMm.width / 2.0, hh = s.sizeMm.height / 2.0;
        for (cv::Point2d local : {cv::Point2d(-hw, -hh), cv::Point2d(hw, -hh), cv::Point2d(hw, hh), cv::Point2d(-hw, hh)})
          outline.push_back(ToPixel(PartPoint(s.centreMm, s.angleDeg, local)));
        break;
      }
      case SceneShape::Kind::Polygon:
        for (const cv::Point2d& p : s.points) outline.push_back(ToPixel(p));
        break;
    }
    if (outline.size() < 3) continue;
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    for (const cv::Point2d& p : outline) {
      x0 = std::min(x0, p.x);
      y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x);
      y1 = std::max(y1, p.y);
    }
    const cv::Rect box = cv::Rect(cv::Point(static_cast<int>(std::floor(x0)) - 2, static_cast<int>(std::floor(y0)) - 2),
                                  cv::Point(static_cast<int>(std::ceil(x1)) + 3, static_cast<int>(std::ceil(y1)) + 3)) &
                         cv::Rect(0, 0, m_cols, m_rows);
    if (box.empty()) continue;
    cv::Mat fine = cv::Mat::zeros(box.height * k, box.width * k, CV_8UC1);
    std::vector<cv::Point> poly;
    for (const cv::Point2d& p : outline)
      poly.push_back(Fixed(cv::Point2d((p.x - box.x + 0.5) * k - 0.5, (p.y - box.y + 0.5) * k - 0.5)));
    cv::fillConvexPoly(fine, poly, cv::Scalar(255), cv::LINE_8, kShift);
    cv::Mat coverage;
    fine.convertTo(coverage, CV_32FC1, 1.0 / 255.0);
    cv::resize(coverage, coverage, box.size(), 0, 0, cv::INTER_AREA);
    cv::Mat roi = level(box);
    roi = roi.mul(1.0 - coverage) + coverage * static_cast<double>(s.grey);
  }
  level.convertTo(img, CV_8UC1);
  cv::cvtColor(img, img, cv::COLOR_GRAY2BGR);
  if (m_noise > 0.0) {
    cv::Mat noise(img.size(), CV_16SC3);
    cv::RNG rng(m_seed);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, m_noise);
    cv::Mat wide;
    img.convertTo(wide, CV_16SC3);
    wide += noise;
    wide.convertTo(img, CV_8UC3);
  }
  return img;
}

}  // namespace smt::vision

#include "vision/SimulatedScene.h"

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
  // Pixel centres sit on integer coordinates; an edge at x = 10.5 lies
  // between pixels 10 and 11.
  for (const SceneShape& s : m_shapes) {
    const cv::Scalar colour = cv::Scalar::all(s.grey);
    std::vector<cv::Point> poly;
    switch (s.kind) {
      case SceneShape::Kind::Circle: {
        const cv::Point2d c = ToPixel(s.centreMm);
        const double r = s.sizeMm.width * m_scale / 2.0;
        cv::circle(img, Fixed(c), static_cast<int>(std::lround(r * kOne)), colour, cv::FILLED, cv::LINE_AA, kShift);
        continue;
      }
      case SceneShape::Kind::Rect: {
        const double hw = s.sizeMm.width / 2.0, hh = s.sizeMm.height / 2.0;
        for (cv::Point2d local : {cv::Point2d(-hw, -hh), cv::Point2d(hw, -hh), cv::Point2d(hw, hh), cv::Point2d(-hw, hh)})
          poly.push_back(Fixed(ToPixel(PartPoint(s.centreMm, s.angleDeg, local)) - cv::Point2d(0.5, 0.5)));
        break;
      }
      case SceneShape::Kind::Polygon:
        for (const cv::Point2d& p : s.points) poly.push_back(Fixed(ToPixel(p) - cv::Point2d(0.5, 0.5)));
        break;
    }
    if (poly.size() >= 3) cv::fillConvexPoly(img, poly, colour, cv::LINE_AA, kShift);
  }
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

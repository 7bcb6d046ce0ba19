#pragma once
// A scene for the simulated camera: shapes at known positions in
// millimetres, seen through a camera of known scale and offset. The camera
// axis (the scene point `axisMm`) falls on pixel (cols / 2, rows / 2);
// scene X runs to the right of the picture and Y downwards. Parts on
// nozzles, marks and labels are built from circles and rotated rectangles.
#include <opencv2/core.hpp>
#include <vector>

namespace smt::vision {

struct SceneShape {
  enum class Kind { Circle, Rect, Polygon };
  Kind kind = Kind::Rect;
  cv::Point2d centreMm;            // circle and rectangle
  cv::Size2d sizeMm;               // rectangle: width along its own x; circle: diameter in width
  double angleDeg = 0.0;           // rectangle turn, clockwise on the picture (y down)
  std::vector<cv::Point2d> points; // polygon corners, mm
  int grey = 255;                  // brightness 0..255
};

class SimulatedScene {
 public:
  SimulatedScene(int cols = 1280, int rows = 1024, double pixelsPerMm = 20.0, cv::Point2d axisMm = {0.0, 0.0});

  int Cols() const { return m_cols; }
  int Rows() const { return m_rows; }
  double PixelsPerMm() const { return m_scale; }
  cv::Point2d Axis() const { return m_axis; }
  void SetAxis(cv::Point2d axisMm) { m_axis = axisMm; }
  void SetBackground(int grey) { m_background = grey; }
  // Adds zero-mean noise of this standard deviation (grey levels); 0 = none.
  void SetNoise(double sigma, unsigned seed = 1) {
    m_noise = sigma;
    m_seed = seed;
  }

  // Scene millimetres to picture pixels and back.
  cv::Point2d ToPixel(cv::Point2d mm) const;
  cv::Point2d ToMm(cv::Point2d pixel) const;

  void AddCircle(cv::Point2d centreMm, double diameterMm, int grey = 255);
  void AddRect(cv::Point2d centreMm, cv::Size2d sizeMm, double angleDeg, int grey = 255);
  void AddPolygon(const std::vector<cv::Point2d>& pointsMm, int grey = 255);
  // A fiducial mark (bright disc).
  void AddMark(cv::Point2d centreMm, double diameterMm) { AddCircle(centreMm, diameterMm); }
  // A two-terminal chip: two pads of `padMm` length at the ends of a body
  // `lengthMm` x `widthMm`, turned by `angleDeg`.
  void AddChip(cv::Point2d centreMm, double lengthMm, double widthMm, double padMm, double angleDeg);
  // A label: one bright rectangle.
  void AddLabel(cv::Point2d centreMm, double lengthMm, double widthMm, double angleDeg) {
    AddRect(centreMm, {lengthMm, widthMm}, angleDeg);
  }
  // A point given in the part's own frame (mm, relative to its centre, then
  // turned by angleDeg) in scene millimetres.
  static cv::Point2d PartPoint(cv::Point2d centreMm, double angleDeg, cv::Point2d localMm);
  void Clear() { m_shapes.clear(); }
  const std::vector<SceneShape>& Shapes() const { return m_shapes; }

  // The picture: 8-bit BGR, anti-aliased sub-pixel edges.
  cv::Mat Render() const;

 private:
  int m_cols, m_rows;
  double m_scale;
  cv::Point2d m_axis;
  int m_background = 0;
  double m_noise = 0.0;
  unsigned m_seed = 1;
  std::vector<SceneShape> m_shapes;
};

}  // namespace smt::vision

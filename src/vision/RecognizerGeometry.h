#pragma once
// Geometry shared by the package recognisers: blob search on a binary image,
// the minimum-area rectangle in one fixed angle convention, and the small
// angle and ordering routines.
#include <array>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace smt::vision {

using Contour = std::vector<cv::Point>;
using ContourList = std::vector<Contour>;

// The minimum-area rectangle with its angle folded into [-90, 0) (width and
// height swapped with each quarter turn). OpenCV 4.5.1 and later report
// (0, 90]; the recognisers and their angle rules work in [-90, 0), so every
// rectangle from cv::minAreaRect goes through here.
cv::RotatedRect NormalizeRotatedRect(const cv::RotatedRect& rect);
cv::RotatedRect MinAreaRectNormalized(const Contour& contour);

// Contours up to this length go to the library's hull as they are (the
// candidates only pay on longer ones).
inline constexpr size_t kShortContour = 200;
// The library's convex hull of a contour (counter-clockwise, points), the
// same points in the same order, taken from the points that can be its
// corners: each row's two ends and the top and bottom rows, in the
// contour's order. A long outline has a few ends per row, against every
// boundary point. A contour that passes one of the corners twice is given
// whole.
void ContourHull(const Contour& contour, std::vector<cv::Point>& hull);
// cv::minAreaRect of the contour, to the last bit, taken on its hull.
cv::RotatedRect MinAreaRectOfContour(const Contour& contour);

// Outer contours, every boundary point kept. The image is not changed.
ContourList BlobSearch(const cv::Mat& binary);
// Centre of the contour's minimum-area rectangle, rounded half to even.
cv::Point BlobCentre(const Contour& contour);
// Enclosing-circle centre (not rounded) and radius.
cv::Point2f CircleCentre(const Contour& contour, float* radius = nullptr);
// All-zero image of the input's size and type.
cv::Mat ScratchImage(const cv::Mat& like);
// Blob search on the scratch image and the rectangle of its first contour
// (not found when nothing was drawn).
cv::RotatedRect ReExtract(const cv::Mat& scratch);
// Square root of the summed squared integer differences.
double PointDistance(cv::Point a, cv::Point b);
// Each coordinate rounded half to even.
cv::Point RoundPoint(cv::Point2f p);
cv::Point RoundPoint(cv::Point2d p);
// Draws the convex hull of the points as a closed polygon, white, thickness 1.
void DrawClosedHull(cv::Mat& scratch, const std::vector<cv::Point>& points);

// Draws a closed 8-connected outline (every boundary point, as the blob
// search gives them) of thickness 2 in white, pixel for pixel as the
// library's contour drawing does, by stamping each step's pixels; false
// (nothing drawn) for an outline of fewer than two points, with a step
// longer than one pixel or with a point outside the canvas.
bool StampThickOutline(cv::Mat& canvas, const Contour& contour, cv::Point shift = {0, 0});

// The recognisers' scratch picture: a black picture of the binary square's
// size on which they draw white lines and outlines and read back the outer
// contours. Drawings are recorded first and only the area they cover (with
// a margin of black round it) is made and scanned, in the square's
// coordinates: the same contours, in the same order, as on the whole
// picture, for a fraction of the work.
class ScratchArea {
 public:
  explicit ScratchArea(cv::Size square) : m_square(square) {}
  // A white line of thickness 1, 8-connected.
  void Line(cv::Point a, cv::Point b);
  // The convex hull of the points as a closed polygon (DrawClosedHull).
  void ClosedHull(const std::vector<cv::Point>& points);
  // The points joined in their order, the last back to the first.
  void ClosedPolygon(const std::vector<cv::Point>& points);
  // The contours' outlines, white, 8-connected, of the thickness (1 or 2).
  // The list must outlive the scratch area.
  void Outlines(const ContourList& contours, int thickness);
  // Outer contours of what was drawn, every boundary point kept.
  ContourList Extract() const;
  // The rectangle of the first outer contour (not found when nothing was
  // drawn), as ReExtract. One closed polygon alone is one piece with one
  // outer contour, whose convex hull is that of all the pixels drawn: the
  // rectangle is taken from those pixels (each row's leftmost and
  // rightmost) without a picture.
  cv::RotatedRect ReExtract() const;

 private:
  struct Outline {
    const ContourList* contours;
    int thickness;
  };
  // The rectangle of the outer contour of lines drawn as one piece, from
  // their pixels (per line).
  cv::RotatedRect PieceRectangle(const std::vector<std::vector<cv::Point>>& pixels) const;
  cv::Size m_square;
  std::vector<std::pair<cv::Point, cv::Point>> m_lines;
  std::vector<Outline> m_outlines;
  int m_polygons = 0;        // closed polygons drawn
  bool m_looseLines = false;  // lines drawn one by one
};

// Depth of whole-pixel points inside a convex polygon of whole-pixel
// corners (either turn), as the library's measured point test gives it
// (cv::pointPolygonTest(..., true) >= depth), worked out in whole numbers:
// inside, and at least `depth` from every side's line. A polygon of fewer
// than three corners or no area has no inside.
class ConvexPolygonDepth {
 public:
  explicit ConvexPolygonDepth(const std::vector<cv::Point>& polygon);
  bool AtLeast(cv::Point p, int depth) const;

 private:
  std::vector<cv::Point> m_polygon;
  int m_turn = 0;  // 1 or -1 by the corners' turn, 0: no inside
};

// The blob centres (BlobCentre) of the contours in their order, leaving out
// centres that lie strictly inside the hull of the others: the convex hull
// of the list is the hull of all the centres, for a fraction of the work on
// a crowd of blobs (a ball grid).
std::vector<cv::Point> CentresForHull(const ContourList& contours);

// The contours whose outlines of `thickness` come near the convex hull of
// `centres` or lie outside it; those deep inside the hull (more than a few
// pixels from its lines) are left out. Drawn with the hull, the outer
// contour is the same with or without them. All of them when the hull has
// no inside (fewer than three corners).
ContourList OutlinesReachingTheHull(const ContourList& contours, const std::vector<cv::Point>& centres, int thickness);

// Angle in degrees of the longer side, in (-90, 90).
double RectLongSideAngle(const cv::RotatedRect& rect);
// The turn of an elongated part from the second moments of its picture in a
// disc round `rect`, each pixel weighed by how much of it the part covers
// (grey levels between the ground's and the part's, the part told by
// `binary`). The smallest rectangle round an outline only turns in
// whole-pixel steps (a 96-pixel chip reads 0 or 0.9 degree for any turn
// between); the moments follow the edges to a fraction of a pixel. `rect`'s
// angle is moved to the moments' axis (either side of the rectangle) when
// the two differ by less than `limitDeg`; a nearly square part is left alone.
void RefineTurnByMoments(const cv::Mat& grey, const cv::Mat& binary, cv::RotatedRect& rect, double limitDeg = 2.0);
// The moments up to the second order (raw and central; the third order
// left 0) of a float picture, to the last bit as the library's
// cv::moments gives them, pixels of weight 0 skipped.
cv::Moments SecondMoments(const cv::Mat& weight);
// The weight of each grey level as the library's conversion to float with
// `scale` and `shift` gives it, clipped to 0..1 as its thresholds clip.
std::array<float, 256> LevelWeights(double scale, double shift);
// The angle, or the angle + 180, so that it points from q towards p.
double NormalizeRectAngle(double angle, cv::Point2f p, cv::Point2f q);
// Angle at o between the rays o-a and o-b, 0..180 degrees.
double AngleDifference(cv::Point a, cv::Point b, cv::Point o);
double VertexAngleCosine(cv::Point a, cv::Point b, cv::Point o);
// The first four points in perimeter order, starting with the first.
std::vector<cv::Point> OrderQuadCorners(const std::vector<cv::Point>& points);

struct EnclosingCircle {
  cv::Point2f centre{-1.f, -1.f};
  float radius = 0.f;
};
// Enclosing circle of the contour with the largest positive area.
EnclosingCircle FindLargestEnclosingCircle(const ContourList& contours);

// Picks, from a list of values, the indices of the 1st, 2nd .. count-th
// largest (largest = true) or smallest value: per pass the lowest index with
// that value not picked yet.
std::vector<int> PickRankedIndices(const std::vector<double>& values, int count, bool largest);

// Caps of the blob-combination searches: a three-blob search tries every
// three blobs, a four-blob search every four; with more blobs than this the
// picture is noise (or the threshold is wrong) and the search says "not
// found" at once.
inline constexpr int kMaxTripleBlobs = 60;
inline constexpr int kMaxQuadBlobs = 40;

// White on the recognisers' scratch images.
inline const cv::Scalar kWhite(255, 255, 255, 0);

// The rectangle with its angle replaced by the angle of its long side.
inline cv::RotatedRect WithLongSideAngle(cv::RotatedRect r) {
  r.angle = static_cast<float>(RectLongSideAngle(r));
  return r;
}

}  // namespace smt::vision

#include "vision/RecognizerGeometry.h"

#include <opencv2/core/core_c.h>
#include <opencv2/imgproc/imgproc_c.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <cmath>
#include <opencv2/imgproc.hpp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void ContourHull(const Contour& contour, std::vector<cv::Point>& hull) {
  const size_t n = contour.size();
  if (n <= kShortContour) {
    cv::convexHull(contour, hull, false, true);
    return;
  }
  int y0 = INT_MAX, y1 = INT_MIN;
  for (const cv::Point& p : contour) {
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  const int rows = y1 - y0 + 1;
  thread_local std::vector<int> left, right, leftSeen, rightSeen, chain;
  thread_local std::vector<uint8_t> corner;
  thread_local std::vector<cv::Point> ends;
  left.assign(static_cast<size_t>(rows), INT_MAX);
  right.assign(static_cast<size_t>(rows), INT_MIN);
  for (const cv::Point& p : contour) {
    const size_t r = static_cast<size_t>(p.y - y0);
    left[r] = std::min(left[r], p.x);
    right[r] = std::max(right[r], p.x);
  }
  // A corner of the hull is its row's leftmost point on the hull's left
  // side or its rightmost on the right side: the rows whose ends lie on the
  // convex chain of the left ends (or of the right ends), points on a
  // straight stretch of the chain kept. Bit 1: the left end may be a
  // corner, bit 2: the right end. A row a contour does not reach has no
  // ends (a contour reaches every row between its top and bottom).
  corner.assign(static_cast<size_t>(rows), 0);
  for (int side = 0; side < 2; ++side) {
    const std::vector<int>& x = side == 0 ? left : right;
    chain.clear();
    for (int r = 0; r < rows; ++r) {
      if (x[static_cast<size_t>(r)] == INT_MAX || x[static_cast<size_t>(r)] == INT_MIN) continue;
      while (chain.size() >= 2) {
        const int a = chain[chain.size() - 2], b = chain.back();
        const int64_t ax = x[static_cast<size_t>(a)], bx = x[static_cast<size_t>(b)], cx = x[static_cast<size_t>(r)];
        // b against the line from a to r at b's row: inside the chain when
        // it lies strictly towards the middle.
        const int64_t lhs = (bx - ax) * (r - a), rhs = (cx - ax) * static_cast<int64_t>(b - a);
        if (side == 0 ? lhs > rhs : lhs < rhs)
          chain.pop_back();
        else
          break;
      }
      chain.push_back(r);
    }
    for (int r : chain) corner[static_cast<size_t>(r)] |= static_cast<uint8_t>(1 << side);
  }
  // The candidates in the contour's order, the top and bottom rows whole (a
  // flat side's inner points are no row's end); each corner counted.
  leftSeen.assign(static_cast<size_t>(rows), 0);
  rightSeen.assign(static_cast<size_t>(rows), 0);
  ends.clear();
  for (const cv::Point& p : contour) {
    const size_t r = static_cast<size_t>(p.y - y0);
    const bool l = p.x == left[r], h = p.x == right[r];
    leftSeen[r] += l;
    rightSeen[r] += h;
    if ((l && (corner[r] & 1)) || (h && (corner[r] & 2)) || p.y == y0 || p.y == y1) ends.push_back(p);
  }
  cv::convexHull(ends, hull, false, true);
  // A corner the contour passes twice (a line a pixel wide) is left to the
  // whole contour.
  for (const cv::Point& v : hull) {
    const size_t r = static_cast<size_t>(v.y - y0);
    const int seen = v.x == left[r] ? leftSeen[r] : (v.x == right[r] ? rightSeen[r] : 2);
    if (seen != 1) {
      cv::convexHull(contour, hull, false, true);
      return;
    }
  }
}

cv::RotatedRect MinAreaRectOfContour(const Contour& contour) {
  if (contour.size() <= kShortContour) return cv::minAreaRect(contour);
  thread_local std::vector<cv::Point> hull;
  ContourHull(contour, hull);
  return cv::minAreaRect(hull);
}

cv::RotatedRect MinAreaRectNormalized(const Contour& contour) { return NormalizeRotatedRect(MinAreaRectOfContour(contour)); }

namespace {
// The contour search's working memory, kept per thread.
struct ContourMemory {
  cv::Mat padded;
  CvMemStorage* storage = cvCreateMemStorage(0);
  ~ContourMemory() { cvReleaseMemStorage(&storage); }
};
}  // namespace

ContourList BlobSearch(const cv::Mat& binary) {
  ContourList contours;
  if (binary.empty()) return contours;
  if (binary.type() != CV_8UC1) {
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(binary, contours, hierarchy, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE, cv::Point(0, 0));
    return contours;
  }
  // What cv::findContours does, its padded copy of the picture kept from
  // one search to the next (a fresh one of a square's size would be mapped
  // page by page every frame): the picture framed by one black pixel, the
  // contours traced on it, moved back by that pixel, in the same order.
  thread_local ContourMemory m;
  cv::copyMakeBorder(binary, m.padded, 1, 1, 1, 1, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED, cv::Scalar(0));
  cvClearMemStorage(m.storage);
  CvMat image = cvMat(m.padded);
  CvSeq* first = nullptr;
  cvFindContours(&image, m.storage, &first, sizeof(CvContour), CV_RETR_EXTERNAL, CV_CHAIN_APPROX_NONE,
                 cvPoint(-1, -1));
  if (!first) return contours;
  CvSeq* all = cvTreeToNodeSeq(first, sizeof(CvSeq), m.storage);
  contours.resize(static_cast<size_t>(all->total));
  for (int i = 0; i < all->total; ++i) {
    const CvSeq* c = *reinterpret_cast<CvSeq**>(cvGetSeqElem(all, i));
    Contour& out = contours[static_cast<size_t>(i)];
    out.resize(static_cast<size_t>(c->total));
    if (c->total > 0) cvCvtSeqToArray(c, out.data());
  }
  return contours;
}

cv::Point RoundPoint(cv::Point2f p) { return {static_cast<int>(std::nearbyint(p.x)), static_cast<int>(std::nearbyint(p.y))}; }
cv::Point RoundPoint(cv::Point2d p) { return {static_cast<int>(std::nearbyint(p.x)), static_cast<int>(std::nearbyint(p.y))}; }

cv::Point BlobCentre(const Contour& contour) { return RoundPoint(MinAreaRectOfContour(contour).center); }

cv::Point2f CircleCentre(const Contour& contour, float* radius) {
  cv::Point2f c;
  float r = 0.f;
  // The smallest circle around the points is the one around their convex
  // hull; the library's search slows to tens of milliseconds on long
  // outlines, so it is given the hull.
  if (contour.size() <= 64) {
    cv::minEnclosingCircle(contour, c, r);
  } else {
    thread_local std::vector<cv::Point> hull;
    ContourHull(contour, hull);
    cv::minEnclosingCircle(hull, c, r);
  }
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

namespace {

// The pixels the library draws for one 8-connected step of a thick (2)
// outline, caps included, relative to the step's start: a closed outline is
// the union of its steps' pixels, and the library's drawing does not depend
// on where the step lies (whole-pixel points). Index (dy + 1) * 3 + dx + 1.
const std::array<std::vector<cv::Point>, 9>& ThickStepPixels() {
  static const std::array<std::vector<cv::Point>, 9> pixels = [] {
    std::array<std::vector<cv::Point>, 9> out;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        cv::Mat m = cv::Mat::zeros(11, 11, CV_8UC1);
        cv::line(m, cv::Point(5, 5), cv::Point(5 + dx, 5 + dy), cv::Scalar(255), 2, cv::LINE_8, 0);
        std::vector<cv::Point>& v = out[(dy + 1) * 3 + dx + 1];
        for (int y = 0; y < m.rows; ++y)
          for (int x = 0; x < m.cols; ++x)
            if (m.at<uint8_t>(y, x)) v.emplace_back(x - 5, y - 5);
      }
    return out;
  }();
  return pixels;
}

}  // namespace

bool StampThickOutline(cv::Mat& canvas, const Contour& contour, cv::Point shift) {
  const size_t n = contour.size();
  if (n < 2) return false;
  const int cols = canvas.cols, rows = canvas.rows;
  for (size_t i = 0; i < n; ++i) {
    const cv::Point d = contour[(i + 1) % n] - contour[i];
    if (std::abs(d.x) > 1 || std::abs(d.y) > 1) return false;
    // Steps cut by the picture's edge are clipped by the library its own way.
    const cv::Point p = contour[i] + shift;
    if (p.x < 0 || p.y < 0 || p.x >= cols || p.y >= rows) return false;
  }
  const auto& steps = ThickStepPixels();
  // Points far enough from the canvas's edges take every pixel of their
  // step without a check, by its offset in the canvas's memory.
  int reach = 0;
  for (const auto& v : steps)
    for (const cv::Point& q : v) reach = std::max({reach, std::abs(q.x), std::abs(q.y)});
  const ptrdiff_t stride = static_cast<ptrdiff_t>(canvas.step[0]);
  std::array<std::array<ptrdiff_t, 16>, 9> offsets{};
  std::array<size_t, 9> counts{};
  bool offsetsFit = true;
  for (size_t k = 0; k < 9; ++k) {
    counts[k] = steps[k].size();
    offsetsFit = offsetsFit && counts[k] <= offsets[k].size();
    for (size_t j = 0; j < counts[k] && j < offsets[k].size(); ++j) offsets[k][j] = steps[k][j].y * stride + steps[k][j].x;
  }
  uint8_t* const data = canvas.data;
  for (size_t i = 0; i < n; ++i) {
    const cv::Point p = contour[i] + shift;
    const cv::Point d = contour[(i + 1) % n] - contour[i];
    const size_t k = static_cast<size_t>((d.y + 1) * 3 + d.x + 1);
    if (offsetsFit && p.x >= reach && p.y >= reach && p.x < cols - reach && p.y < rows - reach) {
      uint8_t* const at = data + p.y * stride + p.x;
      for (size_t j = 0; j < counts[k]; ++j) at[offsets[k][j]] = 255;
      continue;
    }
    for (const cv::Point& q : steps[k]) {
      const int x = p.x + q.x, y = p.y + q.y;
      if (x >= 0 && y >= 0 && x < cols && y < rows) canvas.ptr<uint8_t>(y)[x] = 255;
    }
  }
  return true;
}

void ScratchArea::Line(cv::Point a, cv::Point b) {
  m_lines.emplace_back(a, b);
  m_looseLines = true;
}

void ScratchArea::ClosedHull(const std::vector<cv::Point>& points) {
  if (points.empty()) return;
  std::vector<cv::Point> hull;
  cv::convexHull(points, hull, false, true);
  ClosedPolygon(hull);
}

void ScratchArea::ClosedPolygon(const std::vector<cv::Point>& points) {
  const size_t h = points.size();
  if (h == 0) return;
  for (size_t i = 0; i < h; ++i) m_lines.emplace_back(points[i], points[(i + 1) % h]);
  ++m_polygons;
}

void ScratchArea::Outlines(const ContourList& contours, int thickness) { m_outlines.push_back({&contours, thickness}); }

ContourList ScratchArea::Extract() const {
  ContourList out;
  // The area drawn on, with black round it: lines and outlines reach at
  // most their thickness past their points.
  int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
  auto cover = [&](cv::Point p, int reach) {
    x0 = std::min(x0, p.x - reach);
    y0 = std::min(y0, p.y - reach);
    x1 = std::max(x1, p.x + reach);
    y1 = std::max(y1, p.y + reach);
  };
  constexpr int kMargin = 2;
  for (const auto& [a, b] : m_lines) {
    cover(a, 1 + kMargin);
    cover(b, 1 + kMargin);
  }
  for (const Outline& o : m_outlines)
    for (const Contour& c : *o.contours)
      for (const cv::Point& p : c) cover(p, o.thickness + kMargin);
  if (x0 > x1) return out;
  const cv::Rect area = cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1) & cv::Rect(cv::Point(0, 0), m_square);
  if (area.empty()) return out;
  // Every drawing goes through the library's own clipping at the square's
  // borders; the area shares those borders wherever a drawing reaches them.
  cv::Mat canvas = cv::Mat::zeros(area.size(), CV_8UC1);
  const cv::Point shift = -area.tl();
  const cv::Scalar white(255, 255, 255, 0);
  for (const Outline& o : m_outlines) {
    for (const Contour& c : *o.contours) {
      if (o.thickness == 2 && StampThickOutline(canvas, c, shift)) continue;
      const ContourList one{c};
      cv::drawContours(canvas, one, -1, white, o.thickness, cv::LINE_8, cv::noArray(), INT_MAX, shift);
    }
  }
  for (const auto& [a, b] : m_lines) cv::line(canvas, a + shift, b + shift, white, 1, cv::LINE_8, 0);
  std::vector<cv::Vec4i> hierarchy;
  cv::findContours(canvas, out, hierarchy, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE, area.tl());
  return out;
}

cv::RotatedRect ScratchArea::PieceRectangle(const std::vector<std::vector<cv::Point>>& pixels) const {
  const int rows = m_square.height;
  thread_local std::vector<int> left, right;
  left.assign(static_cast<size_t>(rows), INT_MAX);
  right.assign(static_cast<size_t>(rows), INT_MIN);
  int top = rows, bottom = -1;
  for (const std::vector<cv::Point>& line : pixels)
    for (const cv::Point& p : line) {
      left[p.y] = std::min(left[p.y], p.x);
      right[p.y] = std::max(right[p.y], p.x);
      top = std::min(top, p.y);
      bottom = std::max(bottom, p.y);
    }
  if (bottom < 0) return cv::RotatedRect(cv::Point2f(-1.f, -1.f), cv::Size2f(1.f, 1.f), 0.f);
  thread_local std::vector<cv::Point> ends, hull, traced;
  ends.clear();
  for (int y = top; y <= bottom; ++y) {
    if (left[y] > right[y]) continue;
    ends.emplace_back(left[y], y);
    if (right[y] != left[y]) ends.emplace_back(right[y], y);
  }
  // The rectangle depends on where the library's hull of the points
  // starts, and that on the order it is given the corners in: they are
  // given as the contour meets them, from its first pixel (the topmost,
  // leftmost: a corner) down the left side.
  cv::convexHull(ends, hull, false, true);
  const size_t n = hull.size();
  size_t first = 0;
  for (size_t i = 1; i < n; ++i)
    if (hull[i].y < hull[first].y || (hull[i].y == hull[first].y && hull[i].x < hull[first].x)) first = i;
  traced.clear();
  for (size_t i = 0; i < n; ++i) traced.push_back(hull[(first + n - i) % n]);
  return MinAreaRectNormalized(traced);
}

cv::RotatedRect ScratchArea::ReExtract() const {
  const cv::Rect inside(cv::Point(0, 0), m_square);
  const bool whole = std::all_of(m_lines.begin(), m_lines.end(),
                                 [&](const auto& l) { return inside.contains(l.first) && inside.contains(l.second); });
  // One closed polygon alone is one piece: its sides share their corners.
  // (Lines drawn one by one may touch or not, and where a line is a pixel
  // wide the contour passes its pixels twice: left to the picture.)
  if (m_outlines.empty() && !m_looseLines && m_polygons == 1 && whole) {
    // The pixels the library's line drawing sets.
    thread_local std::vector<std::vector<cv::Point>> pixels;
    pixels.resize(m_lines.size());
    for (size_t k = 0; k < m_lines.size(); ++k) {
      pixels[k].clear();
      cv::LineIterator it(m_square, m_lines[k].first, m_lines[k].second, 8, true);
      for (int i = 0; i < it.count; ++i, ++it) pixels[k].push_back(it.pos());
    }
    return PieceRectangle(pixels);
  }
  const ContourList contours = Extract();
  if (contours.empty()) return cv::RotatedRect(cv::Point2f(-1.f, -1.f), cv::Size2f(1.f, 1.f), 0.f);
  return MinAreaRectNormalized(contours[0]);
}

ConvexPolygonDepth::ConvexPolygonDepth(const std::vector<cv::Point>& polygon) : m_polygon(polygon) {
  int64_t area2 = 0;
  const size_t n = polygon.size();
  for (size_t i = 0; i < n; ++i) {
    const cv::Point a = polygon[i], b = polygon[(i + 1) % n];
    area2 += static_cast<int64_t>(a.x) * b.y - static_cast<int64_t>(b.x) * a.y;
  }
  m_turn = n < 3 ? 0 : (area2 > 0 ? 1 : (area2 < 0 ? -1 : 0));
}

bool ConvexPolygonDepth::AtLeast(cv::Point p, int depth) const {
  if (m_turn == 0) return false;
  const size_t n = m_polygon.size();
  const int64_t d2 = static_cast<int64_t>(depth) * depth;
  for (size_t i = 0; i < n; ++i) {
    const cv::Point a = m_polygon[i], b = m_polygon[(i + 1) % n];
    const int64_t ex = b.x - a.x, ey = b.y - a.y;
    // The side's cross product with the point: its distance from the
    // side's line times the side's length, positive on the inside.
    const int64_t cross = m_turn * (ex * (static_cast<int64_t>(p.y) - a.y) - ey * (static_cast<int64_t>(p.x) - a.x));
    if (cross <= 0 || cross * cross < d2 * (ex * ex + ey * ey)) return false;
  }
  return true;
}

std::vector<cv::Point> CentresForHull(const ContourList& contours) {
  const size_t n = contours.size();
  std::vector<cv::Point> out;
  if (n < 8) {
    for (const Contour& c : contours) out.push_back(BlobCentre(c));
    return out;
  }
  // A centre lies inside its blob's bounding box. The blobs whose box middles
  // span the crowd give a hull that lies inside the hull of all centres; a
  // box deep inside that hull holds a centre that is no corner of it.
  std::vector<cv::Rect> boxes(n);
  std::vector<cv::Point> middles(n);
  for (size_t i = 0; i < n; ++i) {
    boxes[i] = cv::boundingRect(contours[i]);
    middles[i] = cv::Point(boxes[i].x + boxes[i].width / 2, boxes[i].y + boxes[i].height / 2);
  }
  std::vector<int> outerIdx;
  cv::convexHull(middles, outerIdx, false, false);
  std::vector<char> known(n, 0);
  std::vector<cv::Point> centre(n);
  std::vector<cv::Point> inner;
  for (int i : outerIdx) {
    known[i] = 1;
    centre[i] = BlobCentre(contours[i]);
    inner.push_back(centre[i]);
  }
  std::vector<cv::Point> polygon;
  cv::convexHull(inner, polygon, false, true);
  const ConvexPolygonDepth inside(polygon);
  std::vector<char> keep(n, 1);
  for (size_t i = 0; i < n; ++i) {
    if (known[i]) continue;
    bool deep = polygon.size() >= 3;
    const cv::Rect& b = boxes[i];
    const cv::Point corners[4] = {{b.x, b.y}, {b.x + b.width - 1, b.y}, {b.x, b.y + b.height - 1},
                                  {b.x + b.width - 1, b.y + b.height - 1}};
    for (int k = 0; deep && k < 4; ++k) deep = inside.AtLeast(corners[k], 1);
    if (deep)
      keep[i] = 0;
    else
      centre[i] = BlobCentre(contours[i]);
  }
  for (size_t i = 0; i < n; ++i)
    if (keep[i]) out.push_back(centre[i]);
  return out;
}

ContourList OutlinesReachingTheHull(const ContourList& contours, const std::vector<cv::Point>& centres, int thickness) {
  std::vector<cv::Point> hull;
  if (!centres.empty()) cv::convexHull(centres, hull, false, true);
  if (hull.size() < 3) return contours;
  const ConvexPolygonDepth inside(hull);
  // An outline's pixels lie within `thickness` of its points; a line's
  // pixels within a pixel of the line. Kept out of the hull's lines' reach
  // with two pixels to spare, they never touch the outside.
  const int reach = thickness + 2;
  const int depth = 3;
  ContourList kept;
  kept.reserve(contours.size());
  for (const Contour& c : contours) {
    const cv::Rect box = cv::boundingRect(c);
    const cv::Point corners[4] = {{box.x - reach, box.y - reach},
                                  {box.x + box.width - 1 + reach, box.y - reach},
                                  {box.x - reach, box.y + box.height - 1 + reach},
                                  {box.x + box.width - 1 + reach, box.y + box.height - 1 + reach}};
    // Inside distance is concave over a convex polygon: the box is deep
    // inside when its four corners are.
    bool deep = true;
    for (const cv::Point& q : corners)
      if (!inside.AtLeast(q, depth)) {
        deep = false;
        break;
      }
    if (!deep) kept.push_back(c);
  }
  return kept;
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
  const int n = static_cast<int>(values.size());
  const int k = std::max(0, std::min(count, n));
  // Only the first k ranks are needed: the values in rank order, as a full
  // sort would give them.
  std::vector<double> ranked = values;
  if (largest)
    std::partial_sort(ranked.begin(), ranked.begin() + k, ranked.end(), std::greater<double>());
  else
    std::partial_sort(ranked.begin(), ranked.begin() + k, ranked.end());
  std::vector<int> picked;
  std::vector<bool> used(values.size(), false);
  for (int pass = 0; pass < k; ++pass) {
    const double v = ranked[pass];
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

namespace {

// The library's own sums of the moments up to the second order, in its
// order: tiles of 32 x 32, each summed row by row in its own coordinates,
// then moved to the tile's place. `span(y)` gives the columns [first, last)
// of row y that may weigh anything, `weight(y, x)` the weight of a pixel,
// `zero16(y, x)` true when the 16 pixels from x on all weigh 0. A pixel of
// weight 0 adds exact zeros, so it is skipped; so is a tile of them.
template <class Span, class Weight, class Zero16>
cv::Moments TiledSecondMoments(int rows, int cols, Span span, Weight weight, Zero16 zero16) {
  constexpr int kTile = 32;
  double m00 = 0, m10 = 0, m01 = 0, m20 = 0, m11 = 0, m02 = 0;
  for (int ty = 0; ty < rows; ty += kTile) {
    const int th = std::min(kTile, rows - ty);
    for (int tx = 0; tx < cols; tx += kTile) {
      const int tw = std::min(kTile, cols - tx);
      double mom0 = 0, mom1 = 0, mom2 = 0, mom3 = 0, mom4 = 0, mom5 = 0;
      bool any = false;
      for (int y = 0; y < th; ++y) {
        const std::pair<int, int> run = span(ty + y);
        const int x0 = std::max(run.first, tx) - tx, x1 = std::min(run.second, tx + tw) - tx;
        double s0 = 0, s1 = 0, s2 = 0;
        bool row = false;
        for (int x = x0; x < x1;) {
          if (x + 16 <= x1 && zero16(ty + y, tx + x)) {
            x += 16;
            continue;
          }
          for (const int end = std::min(x + 16, x1); x < end; ++x) {
            const float w = weight(ty + y, tx + x);
            if (w == 0.f) continue;
            const double v = w;
            const double xp = x * v;
            s0 += v;
            s1 += xp;
            s2 += xp * x;
            row = true;
          }
        }
        if (!row) continue;
        any = true;
        const double py = y * s0, sy = y * y;
        mom5 += s0 * sy;
        mom4 += s1 * y;
        mom3 += s2;
        mom2 += py;
        mom1 += s1;
        mom0 += s0;
      }
      if (!any) continue;
      const double xm = tx * mom0, ym = ty * mom0;
      m00 += mom0;
      m10 += mom1 + xm;
      m01 += mom2 + ym;
      m20 += mom3 + tx * (mom1 * 2 + xm);
      m11 += mom4 + tx * (mom2 + ym) + ty * mom1;
      m02 += mom5 + ty * (mom2 * 2 + ym);
    }
  }
  return cv::Moments(m00, m10, m01, m20, m11, m02, 0, 0, 0, 0);
}

}  // namespace

cv::Moments SecondMoments(const cv::Mat& weight) {
  CV_Assert(weight.type() == CV_32FC1);
  return TiledSecondMoments(
      weight.rows, weight.cols, [&](int) { return std::pair<int, int>(0, weight.cols); },
      [&](int y, int x) { return weight.ptr<float>(y)[x]; }, [](int, int) { return false; });
}

std::array<float, 256> LevelWeights(double scale, double shift) {
  // The library's conversion of every grey level (each element goes through
  // the same arithmetic wherever it lies in a row), then clipped to 0..1 as
  // its thresholds clip (above 1: 1; not above 0: 0).
  thread_local cv::Mat levels, converted;
  if (levels.empty()) {
    levels.create(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) levels.at<uchar>(0, i) = static_cast<uchar>(i);
  }
  levels.convertTo(converted, CV_32F, scale, shift);
  std::array<float, 256> w{};
  for (int i = 0; i < 256; ++i) {
    float v = converted.at<float>(0, i);
    v = v > 1.0f ? 1.0f : v;
    w[static_cast<size_t>(i)] = v > 0.0f ? v : 0.0f;
  }
  return w;
}

namespace {

// The first and last set byte of a row of 0 and 255, [first, last + 1);
// {0, 0} when none.
std::pair<int, int> RowSpan(const uint8_t* row, int width) {
  const size_t w = static_cast<size_t>(width);
  const uint8_t* first = static_cast<const uint8_t*>(std::memchr(row, 0xFF, w));
  if (!first) return {0, 0};
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(first, 0, w - static_cast<size_t>(first - row)));
  if (!end) end = row + width;
  // A row of a filled disc is one run; any other row is read to its end.
  if (std::memchr(end, 0xFF, w - static_cast<size_t>(end - row))) {
    end = row + width;
    while (end[-1] == 0) --end;
  }
  return {static_cast<int>(first - row), static_cast<int>(end - row)};
}

struct GreySums {
  uint64_t partCount = 0, partSum = 0, allSum = 0;
};

// Over columns [x0, x1) of a row: the part's pixels (binary 255) and their
// grey sum, and the grey sum of all. Whole numbers: any order of summing
// gives the same.
GreySums SumPartAndAll(const uint8_t* g, const uint8_t* b, int x0, int x1) {
  GreySums s;
  int x = x0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
  __m128i pc = zero, ps = zero, ts = zero;
  for (; x + 16 <= x1; x += 16) {
    const __m128i gv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
    const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    pc = _mm_add_epi64(pc, _mm_sad_epu8(_mm_and_si128(bv, one), zero));
    ps = _mm_add_epi64(ps, _mm_sad_epu8(_mm_and_si128(gv, bv), zero));
    ts = _mm_add_epi64(ts, _mm_sad_epu8(gv, zero));
  }
  alignas(16) uint64_t lanes[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), pc);
  s.partCount = lanes[0] + lanes[1];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), ps);
  s.partSum = lanes[0] + lanes[1];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), ts);
  s.allSum = lanes[0] + lanes[1];
#endif
  // The binary square is 0 or 255: g & b is the grey of a part pixel.
  for (; x < x1; ++x) {
    s.partCount += b[x] & 1u;
    s.partSum += g[x] & b[x];
    s.allSum += g[x];
  }
  return s;
}

// The grey levels of weight 0: all up to a level (a part brighter than its
// ground), all from a level on (darker), or neither (no block is skipped).
struct ZeroLevels {
  enum class Kind { None, UpTo, From } kind = Kind::None;
  uint8_t level = 0;
  bool All16(const uint8_t* p) const {
#if defined(__SSE2__)
    if (kind == Kind::None) return false;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i l = _mm_set1_epi8(static_cast<char>(level));
    // Saturating differences: 0 for every byte not above (UpTo) or not
    // below (From) the level.
    const __m128i d = kind == Kind::UpTo ? _mm_subs_epu8(v, l) : _mm_subs_epu8(l, v);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(d, _mm_setzero_si128())) == 0xFFFF;
#else
    (void)p;
    return false;
#endif
  }
};

ZeroLevels ZeroWeightLevels(const std::array<float, 256>& lut) {
  ZeroLevels z;
  int upTo = -1;
  while (upTo < 255 && lut[static_cast<size_t>(upTo + 1)] == 0.f) ++upTo;
  bool restWeighs = true;
  for (int i = upTo + 1; i < 256; ++i) restWeighs = restWeighs && lut[static_cast<size_t>(i)] != 0.f;
  if (upTo >= 0 && restWeighs) {
    z.kind = ZeroLevels::Kind::UpTo;
    z.level = static_cast<uint8_t>(upTo);
    return z;
  }
  int from = 256;
  while (from > 0 && lut[static_cast<size_t>(from - 1)] == 0.f) --from;
  bool belowWeighs = true;
  for (int i = 0; i < from; ++i) belowWeighs = belowWeighs && lut[static_cast<size_t>(i)] != 0.f;
  if (from <= 255 && belowWeighs) {
    z.kind = ZeroLevels::Kind::From;
    z.level = static_cast<uint8_t>(from);
  }
  return z;
}

}  // namespace

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
  thread_local cv::Mat disc;
  disc.create(box.size(), CV_8UC1);
  disc.setTo(0);
  cv::circle(disc, centre - box.tl(), r, cv::Scalar(255), cv::FILLED);
  // Each row of the filled disc is one run of pixels: found once, then
  // only the run is looked at.
  std::vector<std::pair<int, int>> runs(box.height, {0, 0});
  for (int y = 0; y < box.height; ++y) runs[y] = RowSpan(disc.ptr<uint8_t>(y), box.width);
  // Part and ground inside the disc: counts and grey sums in one pass.
  uint64_t partCount = 0, discCount = 0, partSum = 0, discSum = 0;
  for (int y = 0; y < box.height; ++y) {
    const GreySums sums = SumPartAndAll(greyBox.ptr<uint8_t>(y), binaryBox.ptr<uint8_t>(y), runs[y].first, runs[y].second);
    partCount += sums.partCount;
    partSum += sums.partSum;
    discCount += static_cast<uint64_t>(runs[y].second - runs[y].first);
    discSum += sums.allSum;
  }
  const uint64_t groundCount = discCount - partCount, groundSum = discSum - partSum;
  if (partCount < 20 || groundCount < 20) return;
  // Each pixel weighs by how much of it the part covers (edges are partly
  // covered), from the grey levels of the part and of the ground round it.
  const double fg = static_cast<double>(partSum) * (1.0 / static_cast<double>(partCount));
  const double bg = static_cast<double>(groundSum) * (1.0 / static_cast<double>(groundCount));
  if (std::fabs(fg - bg) < 10.0) return;
  // The weights of the grey levels, clipped to 0..1; nothing outside the
  // disc. The moments are summed straight from the grey picture.
  const std::array<float, 256> lut = LevelWeights(1.0 / (fg - bg), -bg / (fg - bg));
  // Central moments do not depend on where the box lies in the square.
  const ZeroLevels zero = ZeroWeightLevels(lut);
  const cv::Moments m = TiledSecondMoments(
      box.height, box.width, [&](int y) { return runs[static_cast<size_t>(y)]; },
      [&](int y, int x) { return lut[greyBox.ptr<uint8_t>(y)[x]]; },
      [&](int y, int x) { return zero.All16(greyBox.ptr<uint8_t>(y) + x); });
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

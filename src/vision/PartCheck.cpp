#include "vision/PartCheck.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "vision/RecognitionTypes.h"

namespace smt::vision {

namespace {

std::atomic<std::string (*)(const char*, const char*)> g_lookup{nullptr};

// Difference of two turns of a rectangle, folded to a quarter turn
// (a rectangle's sides are the same every 90 degrees): 0..45.
double QuarterTurnDifference(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 90.0);
  return std::min(d, 90.0 - d);
}

// The turn of a rectangle's longer side, degrees.
double LongSideAngle(const cv::RotatedRect& r) {
  return r.size.width >= r.size.height ? r.angle : r.angle + 90.0;
}

// Types whose turn correction repeats every half turn (their found angle is
// that of the part's long side).
bool TwoFold(int type, const std::string& name) {
  if (type == kRecogResistance || type == kRecogCapacitance || type == kRecogDiode) return true;
  return type == kRecogSpecial && (name == kSpecialRch110 || name == kSpecialKsd42 || name == kSpecialLe224);
}

// Types whose parts are symmetric about both axes: their outline's moments
// lie along the part.
bool Symmetric(int type, const std::string& name) {
  return type == kRecogGeneral || TwoFold(type, name) || type == kRecogFootEdge1 || type == kRecogFootEdge2 ||
         type == kRecogFootEdge4 || type == kRecogBga4PointAngle || type == kRecogBga4Chamfer || type == kRecogBgaOther;
}

std::string Mm(double px, double ppm) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", px / ppm);
  return buf;
}

}  // namespace

bool TakesOutline(int type) {
  return type == kRecogFootEdge1 || type == kRecogFootEdge2 || type == kRecogFootEdge4 || type == kRecogBga4PointAngle ||
         type == kRecogBga4Chamfer;
}

void SetVisionCheckTexts(std::string (*lookup)(const char*, const char*)) { g_lookup.store(lookup); }

std::string VisionCheckText(const char* key, const char* def) {
  if (auto* f = g_lookup.load()) {
    std::string t = f(key, def);
    if (!t.empty()) return t;
  }
  return def;
}

PartVerdict CheckFoundPart(const cv::Mat& binary, const cv::RotatedRect& found, int type, const std::string& name,
                           double ppm, const PartExpectation& expect) {
  PartVerdict v;
  if (binary.empty() || binary.type() != CV_8UC1 || !(ppm > 0.0)) {
    v.reason = VisionCheckText(kCheckNothingKey, kCheckNothingText);
    return v;
  }
  const int cols = binary.cols, rows = binary.rows;
  const double longPx = std::max(expect.lengthMm, expect.widthMm) * ppm;
  const double shortPx = std::min(expect.lengthMm, expect.widthMm) * ppm;
  // Everything that may belong to the part lies in a disc round the found
  // centre: the found rectangle's, or the package's when known.
  double radius = 0.5 * std::hypot(found.size.width, found.size.height) + 3.0;
  if (expect.SizeKnown()) radius = std::max(radius, 0.5 * std::hypot(longPx, shortPx) * 1.15 + 3.0);
  const cv::Point2f c = found.center;

  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(binary, labels, stats, centroids, 8, CV_32S);
  // Specks too small to be any part of a part are left out.
  const double partArea = expect.SizeKnown() ? longPx * shortPx : 0.0;
  const int speck = static_cast<int>(std::max(kSpeckPx, 0.002 * partArea));
  std::vector<char> near(static_cast<size_t>(n), 0);
  const int x0 = std::max(0, static_cast<int>(std::floor(c.x - radius)));
  const int x1 = std::min(cols - 1, static_cast<int>(std::ceil(c.x + radius)));
  const int y0 = std::max(0, static_cast<int>(std::floor(c.y - radius)));
  const int y1 = std::min(rows - 1, static_cast<int>(std::ceil(c.y + radius)));
  const double r2 = radius * radius;
  for (int y = y0; y <= y1; ++y) {
    const int* l = labels.ptr<int>(y);
    const double dy = y - c.y;
    for (int x = x0; x <= x1; ++x) {
      if (l[x] == 0 || near[static_cast<size_t>(l[x])]) continue;
      const double dx = x - c.x;
      if (dx * dx + dy * dy <= r2) near[static_cast<size_t>(l[x])] = 1;
    }
  }
  bool any = false;
  double area = 0;
  for (int i = 1; i < n; ++i) {
    if (!near[static_cast<size_t>(i)]) continue;
    const int* s = stats.ptr<int>(i);
    if (s[cv::CC_STAT_AREA] < speck) {
      near[static_cast<size_t>(i)] = 0;
      continue;
    }
    any = true;
    area += s[cv::CC_STAT_AREA];
    // A blob of the part that reaches the square's edge: the part is cut
    // by the edge, or what was found is the ground or an edge let through.
    if (s[cv::CC_STAT_LEFT] == 0 || s[cv::CC_STAT_TOP] == 0 || s[cv::CC_STAT_LEFT] + s[cv::CC_STAT_WIDTH] >= cols ||
        s[cv::CC_STAT_TOP] + s[cv::CC_STAT_HEIGHT] >= rows) {
      v.reason = VisionCheckText(kCheckEdgeKey, kCheckEdgeText);
      return v;
    }
  }
  if (!any || area < kSmallestPartPx) {
    v.reason = VisionCheckText(kCheckNothingKey, kCheckNothingText);
    return v;
  }
  // The outline of those blobs together: each row's outermost pixels.
  // Their second moments give the turn of an elongated part to a fraction
  // of a pixel over its length, where the smallest rectangle steps by
  // whole pixels.
  std::vector<cv::Point> ends;
  double m0 = 0, mx = 0, my = 0, mxx = 0, myy = 0, mxy = 0;
  for (int y = 0; y < rows; ++y) {
    const int* l = labels.ptr<int>(y);
    int first = -1, last = -1;
    for (int x = 0; x < cols; ++x) {
      if (l[x] != 0 && near[static_cast<size_t>(l[x])]) {
        if (first < 0) first = x;
        last = x;
        m0 += 1;
        mx += x;
        my += y;
        mxx += static_cast<double>(x) * x;
        myy += static_cast<double>(y) * y;
        mxy += static_cast<double>(x) * y;
      }
    }
    if (first >= 0) {
      ends.emplace_back(first, y);
      if (last != first) ends.emplace_back(last, y);
    }
  }
  // Pixel centres: the outline runs half a pixel outside them.
  std::vector<cv::Point2f> corners;
  for (const cv::Point& p : ends) {
    corners.emplace_back(p.x - 0.5f, p.y - 0.5f);
    corners.emplace_back(p.x + 0.5f, p.y - 0.5f);
    corners.emplace_back(p.x - 0.5f, p.y + 0.5f);
    corners.emplace_back(p.x + 0.5f, p.y + 0.5f);
  }
  std::vector<cv::Point2f> hull;
  cv::convexHull(corners, hull);
  v.outline = cv::minAreaRect(hull);
  const double ol = std::max(v.outline.size.width, v.outline.size.height);
  const double os = std::min(v.outline.size.width, v.outline.size.height);

  if (expect.SizeKnown()) {
    const bool longFits = std::fabs(ol - longPx) <= kPartSizeTolerance * longPx + kPartSizeSlackPx;
    const bool shortFits = std::fabs(os - shortPx) <= kPartSizeTolerance * shortPx + kPartSizeSlackPx;
    if (!longFits || !shortFits) {
      v.reason = VisionCheckText(kCheckSizeKey, kCheckSizeText) + " (" + Mm(ol, ppm) + " x " + Mm(os, ppm) +
                 " mm, package " + Mm(longPx, ppm) + " x " + Mm(shortPx, ppm) + " mm)";
      return v;
    }
  }
  // Types whose centre is not the middle of what they see (the triode's
  // three leads, the ball grid's mark, the one-sided
  // special packages) are held to the outline more loosely.
  const bool oneSided = type == kRecogTriode || type == kRecogBgaTriangleMark ||
                        (type == kRecogSpecial && (name == kSpecialG5nb || name == kSpecialC10x16));
  double centreTol = std::max(kCentreAgreementPx, kCentreAgreementMm * ppm);
  if (oneSided) centreTol += 0.06 * os;
  const double off = std::hypot(v.outline.center.x - c.x, v.outline.center.y - c.y);
  if (off > centreTol) {
    v.reason = VisionCheckText(kCheckCentreKey, kCheckCentreText) + " (" + Mm(off, ppm) + " mm)";
    return v;
  }
  // The turn: not on an outline too round or too small to show one.
  const double hullArea = cv::contourArea(hull);
  const double rectArea = static_cast<double>(v.outline.size.width) * v.outline.size.height;
  const bool round = rectArea <= 0.0 || (hullArea / rectArea < 0.86 && ol < 1.25 * os);
  if (!round && os >= 8.0) {
    // The rectangle's turn moves in steps of about a pixel over the length.
    double turnTol = std::max(kTurnAgreementDeg, std::atan2(1.5, ol) * 180.0 / CV_PI);
    double outlineTurn = v.outline.angle;
    const double cxx = mxx / m0 - (mx / m0) * (mx / m0), cyy = myy / m0 - (my / m0) * (my / m0);
    const double cxy = mxy / m0 - (mx / m0) * (my / m0);
    const double spread = std::hypot(cxx - cyy, 2.0 * cxy);
    // The moments' axis where the part is clearly longer one way.
    if (Symmetric(type, name) && ol >= 1.3 * os && spread > 0.2 * (cxx + cyy)) {
      outlineTurn = 0.5 * std::atan2(2.0 * cxy, cxx - cyy) * 180.0 / CV_PI;
      turnTol = std::max(kTurnAgreementDeg, std::atan2(1.0, ol) * 180.0 / CV_PI);
    }
    double d = QuarterTurnDifference(found.angle, outlineTurn);
    // Two-fold types give the turn of the long side: on an outline clearly
    // longer than wide the long sides must agree, not just any sides.
    if (TwoFold(type, name) && ol >= 1.15 * os) {
      const double longTurn = ol >= 1.3 * os && outlineTurn != v.outline.angle ? outlineTurn
                                                                                : LongSideAngle(v.outline);
      double h = std::fmod(std::fabs(found.angle - longTurn), 180.0);
      d = std::min(h, 180.0 - h);
    }
    if (d > turnTol) {
      char buf[48];
      std::snprintf(buf, sizeof buf, " (%.2f deg)", d);
      v.reason = VisionCheckText(kCheckTurnKey, kCheckTurnText) + buf;
      return v;
    }
  }
  v.sound = true;
  return v;
}

}  // namespace smt::vision

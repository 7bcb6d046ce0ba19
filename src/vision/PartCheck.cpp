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


// The part's sides measured a third way: along each side of the outline,
// from just outside it inwards, the first pixel of the part. A side that is
// a body's edge gives one depth along most of its length, whatever lead
// roots or shadows stick out of it at a few places: the median depth is
// the body's edge, and a line through the samples at that depth its turn.
// Sides that are not solid (rows of leads or balls, the gap between two
// terminals) are left out.
struct SideEdges {
  bool solid[4] = {false, false, false, false};  // -u, +u, -v, +v
  double depth[4] = {0, 0, 0, 0};                // median, pixels inwards
  double turn[4] = {0, 0, 0, 0};                 // degrees, against the outline
  double length[4] = {0, 0, 0, 0};
};

SideEdges MeasureSides(const cv::Mat& labels, const std::vector<char>& near, const cv::RotatedRect& outline) {
  SideEdges e;
  const double a = outline.angle * CV_PI / 180.0;
  const cv::Point2d u(std::cos(a), std::sin(a)), v(-std::sin(a), std::cos(a));
  const double hw = outline.size.width / 2.0, hh = outline.size.height / 2.0;
  const cv::Point2d c(outline.center.x, outline.center.y);
  auto white = [&](const cv::Point2d& p) {
    const int x = static_cast<int>(std::lround(p.x)), y = static_cast<int>(std::lround(p.y));
    if (x < 0 || y < 0 || x >= labels.cols || y >= labels.rows) return false;
    const int l = labels.at<int>(y, x);
    return l != 0 && near[static_cast<size_t>(l)];
  };
  for (int side = 0; side < 4; ++side) {
    // The side's outward normal, its direction along, its half length and
    // the part's depth behind it.
    const bool alongV = side < 2;
    const cv::Point2d n = alongV ? (side == 0 ? -u : u) : (side == 2 ? -v : v);
    const cv::Point2d t = alongV ? v : u;
    const double half = alongV ? hh : hw, dist = alongV ? hw : hh;
    const double reach = std::max(4.0, 0.4 * dist);
    e.length[side] = 2.0 * half;
    std::vector<std::pair<double, double>> hits;  // position along, depth
    int samples = 0;
    // The outline's sides lie on the pixels' edges: the samples keep a
    // quarter pixel off them, so that no sample sits on a tie between two
    // pixels (which float noise would break one way here, the other there).
    for (double s = -0.84 * half + 0.25; s <= 0.84 * half; s += 1.0) {
      ++samples;
      const cv::Point2d base = c + n * (dist + 1.25) + t * s;
      for (double d = 0.0; d <= reach + 1.25; d += 0.5)
        if (white(base - n * d)) {
          hits.emplace_back(s, d - 1.25);
          break;
        }
    }
    if (samples < 8 || hits.size() < 0.7 * samples) continue;
    std::vector<double> depths;
    for (const auto& h : hits) depths.push_back(h.second);
    std::nth_element(depths.begin(), depths.begin() + depths.size() / 2, depths.end());
    const double median = depths[depths.size() / 2];
    // The samples on the edge itself.
    double sn = 0, ss = 0, sd = 0, sss = 0, ssd = 0;
    for (const auto& h : hits)
      if (std::fabs(h.second - median) <= 1.5) {
        sn += 1;
        ss += h.first;
        sd += h.second;
        sss += h.first * h.first;
        ssd += h.first * h.second;
      }
    if (sn < 0.5 * samples) continue;
    const double den = sn * sss - ss * ss;
    if (den <= 0) continue;
    e.solid[side] = true;
    e.depth[side] = sd / sn;  // the mean of the edge's samples
    // Depth rising along t: the edge turns towards the inside.
    const double slope = (sn * ssd - ss * sd) / den;
    e.turn[side] = std::atan(slope) * 180.0 / CV_PI;
    // Turn about the outline's centre in the picture's sense.
    const double sign = (side == 0 || side == 3) ? -1.0 : 1.0;
    e.turn[side] *= sign;
  }
  return e;
}

// The part's leads or balls as a second measure of the outline: the mean
// of their centres (the middle of a symmetric layout), and the turn of the
// outermost row along each side (a line through the centres of the leads
// or balls that lie at that side's extreme, where it has three or more).
struct RowMeasure {
  int elements = 0;
  // Most of the blobs are alike (leads or balls): the blobs are the part's
  // leads or balls, not a body with a few specks or shadows beside it.
  bool alike = false;
  cv::Point2d mean;
  bool turnKnown = false;
  double turn = 0;  // degrees, against the outline's turn
  double span = 0;  // pixels, the longest row's length
  int rowCount[4] = {0, 0, 0, 0};  // -u, +u, -v, +v
};

RowMeasure MeasureRows(const cv::Mat& stats, const cv::Mat& centroids, const std::vector<char>& near,
                       const cv::RotatedRect& outline) {
  RowMeasure m;
  const double a = outline.angle * CV_PI / 180.0;
  const cv::Point2d u(std::cos(a), std::sin(a)), v(-std::sin(a), std::cos(a));
  const cv::Point2d c(outline.center.x, outline.center.y);
  struct Element {
    double s, t, size;  // position against the outline's centre, area
  };
  std::vector<Element> el;
  for (size_t i = 1; i < near.size(); ++i) {
    if (!near[i]) continue;
    const cv::Point2d p(centroids.at<double>(static_cast<int>(i), 0), centroids.at<double>(static_cast<int>(i), 1));
    m.mean += p;
    const cv::Point2d d = p - c;
    const int* st = stats.ptr<int>(static_cast<int>(i));
    el.push_back({d.dot(u), d.dot(v), static_cast<double>(st[cv::CC_STAT_AREA])});
  }
  m.elements = static_cast<int>(el.size());
  if (el.empty()) return m;
  m.mean *= 1.0 / static_cast<double>(el.size());
  std::vector<double> sizes;
  for (const Element& e : el) sizes.push_back(e.size);
  std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
  // A row's leads lie within a pixel or two of its line; a blob much larger
  // than a lead (two leads run together at a corner) is in no row.
  const double median = sizes[sizes.size() / 2];
  const double band = 2.0 + 0.2 * std::sqrt(median);
  // ... most of them, holding most of the part's area (a body is no lead).
  int alike = 0;
  double alikeArea = 0, area = 0;
  for (const Element& e : el) {
    area += e.size;
    if (e.size >= 0.5 * median && e.size <= kJoinedLeadsShare * median) {
      ++alike;
      alikeArea += e.size;
    }
  }
  m.alike = m.elements >= kLeastRowElements && alike >= 0.75 * m.elements && alikeArea >= 0.75 * area;
  double turnSum = 0, weight = 0;
  for (int side = 0; side < 4; ++side) {
    // Sides 0, 1 are rows along v at the u extremes; 2, 3 rows along u.
    const bool alongV = side < 2;
    const double sign = (side == 0 || side == 2) ? -1.0 : 1.0;
    double extreme = -1e18;
    for (const Element& e : el)
      if (e.size <= kJoinedLeadsShare * median) extreme = std::max(extreme, sign * (alongV ? e.s : e.t));
    double n = 0, sa = 0, sp = 0, saa = 0, sap = 0, lo = 1e18, hi = -1e18;
    int count = 0;
    for (const Element& e : el) {
      const double perp = alongV ? e.s : e.t, along = alongV ? e.t : e.s;
      // Two leads run together at a corner count in both their rows (not
      // in the rows' lines).
      const bool wide = e.size > kJoinedLeadsShare * median;
      if (sign * perp >= extreme - band - (wide ? 0.5 * std::sqrt(e.size) : 0.0)) ++count;
      if (sign * perp < extreme - band || wide) continue;
      n += 1;
      sa += along;
      sp += perp;
      saa += along * along;
      sap += along * perp;
      lo = std::min(lo, along);
      hi = std::max(hi, along);
    }
    m.rowCount[side] = count;
    const double den = n * saa - sa * sa;
    if (n < 3 || den <= 0) continue;
    const double slope = (n * sap - sa * sp) / den;
    // A row along u turned by d towards v rises by tan d; a row along v
    // turned the same way falls in u.
    const double d = std::atan(alongV ? -slope : slope) * 180.0 / CV_PI;
    turnSum += d * n;
    weight += n;
    m.span = std::max(m.span, hi - lo);
  }
  if (weight > 0) {
    m.turnKnown = true;
    m.turn = turnSum / weight;
  }
  return m;
}

}  // namespace

bool TakesOutline(int type) {
  return type == kRecogFootEdge1 || type == kRecogFootEdge2 || type == kRecogFootEdge4 || type == kRecogBga4PointAngle ||
         type == kRecogBga4Chamfer;
}

bool TakesOutlineTurn(int type, const std::string& name) { return type == kRecogSpecial && name == kSpecialC10x16; }

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
  // Specks too small to be any part of a part are left out: a small share
  // of the package's area, but never as much as a lead or ball of the part
  // (the largest blob near the centre is at least one of them; a part of
  // many small leads or balls has no blob near a share of its area).
  const double partArea = expect.SizeKnown() ? longPx * shortPx : 0.0;
  int largest = 0;
  for (int i = 1; i < n; ++i)
    if (near[static_cast<size_t>(i)]) largest = std::max(largest, stats.at<int>(i, cv::CC_STAT_AREA));
  const int speck = static_cast<int>(std::max(kSpeckPx, std::min(0.002 * partArea, kSpeckShareOfLargest * largest)));
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
  // A ball grid with a mark: the mark (the one ball clearly larger than
  // the others) lies off the grid, whose middle is the part's centre; the
  // outline is that of the balls alone.
  if (type == kRecogBgaTriangleMark) {
    std::vector<int> areas;
    int mark = -1, markArea = 0;
    for (int i = 1; i < n; ++i)
      if (near[static_cast<size_t>(i)]) {
        const int a = stats.at<int>(i, cv::CC_STAT_AREA);
        areas.push_back(a);
        if (a > markArea) {
          markArea = a;
          mark = i;
        }
      }
    if (areas.size() > static_cast<size_t>(kLeastRowElements)) {
      std::nth_element(areas.begin(), areas.begin() + areas.size() / 2, areas.end());
      const double ball = areas[areas.size() / 2];
      // A blob many times a ball is a body, not a mark beside the balls.
      if (markArea >= kMarkBallShare * ball && markArea <= kMarkBallMost * ball) {
        near[static_cast<size_t>(mark)] = 0;
        area -= markArea;
      }
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
    // The package's length and width are its body's. Leads stand out of
    // the body: where they are seen, the outline is larger than the body by
    // their reach at both ends of a side.
    const bool leadsOut = type == kRecogTriode || type == kRecogFootEdge1 || type == kRecogFootEdge2 ||
                          type == kRecogFootEdge4 || (type == kRecogSpecial && name == kSpecialKsd42);
    auto reach = [&](double sidePx) {
      return leadsOut ? 2.0 * std::max(kLeadReachMm * ppm, kLeadReachShare * sidePx) : 0.0;
    };
    auto fits = [&](double seen, double sidePx) {
      return seen >= sidePx - kPartSizeTolerance * sidePx - kPartSizeSlackPx &&
             seen <= sidePx + kPartSizeTolerance * sidePx + kPartSizeSlackPx + reach(sidePx);
    };
    // Leads across the short side can make that side the longer one: the
    // outline's sides then match the body's the other way round.
    const bool fitsCrossed = leadsOut && fits(ol, shortPx) && fits(os, longPx);
    if (!((fits(ol, longPx) && fits(os, shortPx)) || fitsCrossed)) {
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
  // The types that take the outline as their result, on a part of many
  // leads or balls in rows: the corners they pick (centres of leads or
  // balls, rounded) only have to name the same part; the outline is held to
  // the leads' or balls' own centres and rows below.
  const bool counted = TakesOutline(type) || type == kRecogBgaTriangleMark;
  const RowMeasure lay = counted ? MeasureRows(stats, centroids, near, v.outline) : RowMeasure{};
  const bool inRows = TakesOutline(type) && lay.alike && lay.turnKnown;
  const double foundTol = inRows ? std::max(centreTol, kCornerAgreementShare * ol) : centreTol;
  const double off = std::hypot(v.outline.center.x - c.x, v.outline.center.y - c.y);
  if (off > foundTol) {
    v.reason = VisionCheckText(kCheckCentreKey, kCheckCentreText) + " (" + Mm(off, ppm) + " mm)";
    return v;
  }
  // The turn: not on an outline too round or too small to show one.
  const double hullArea = cv::contourArea(hull);
  const double rectArea = static_cast<double>(v.outline.size.width) * v.outline.size.height;
  const bool round = rectArea <= 0.0 || (hullArea / rectArea < 0.86 && ol < 1.25 * os);
  // A package of corners (a body, pads, rows of leads or balls: all fill
  // the rectangle round them) is not a disc: the nozzle's dark ring or a
  // round mark of the size of the package is no part.
  const bool cornered = !oneSided && type != kRecogBga1Chamfer && !(type == kRecogSpecial && name == kSpecialLe224);
  if (expect.SizeKnown() && cornered && rectArea > 0.0 && hullArea / rectArea < kLeastCornerFill && os >= 8.0) {
    v.reason = VisionCheckText(kCheckShapeKey, kCheckShapeText);
    return v;
  }
  // A triode's turn is judged by its three leads below.
  if (!round && os >= 8.0 && type != kRecogTriode) {
    // The rectangle's turn moves in steps of about a pixel over the length.
    double turnTol = std::max(kTurnAgreementDeg, std::atan2(1.5, ol) * 180.0 / CV_PI);
    // A recogniser that takes the turn between two rounded points a short
    // way apart is a pixel off over that way; the outline's turn is taken.
    if (TakesOutlineTurn(type, name)) turnTol = std::max(turnTol, std::atan2(2.0, 0.3 * ol) * 180.0 / CV_PI);
    double outlineTurn = v.outline.angle;
    const double cxx = mxx / m0 - (mx / m0) * (mx / m0), cyy = myy / m0 - (my / m0) * (my / m0);
    const double cxy = mxy / m0 - (mx / m0) * (my / m0);
    const double spread = std::hypot(cxx - cyy, 2.0 * cxy);
    // The moments' axis where the part is clearly longer one way.
    if (Symmetric(type, name) && ol >= 1.3 * os && spread > 0.2 * (cxx + cyy)) {
      outlineTurn = 0.5 * std::atan2(2.0 * cxy, cxx - cyy) * 180.0 / CV_PI;
      turnTol = std::max(kTurnAgreementDeg, std::atan2(1.0, ol) * 180.0 / CV_PI);
    }
    if (inRows) turnTol = std::max(turnTol, kCornerTurnAgreementDeg);
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
  // Leads or balls all round (or in rows): the outline, which is the
  // result, must lie where they do. Their centres' mean is the middle of
  // the symmetric layout these types have; their outermost rows run along
  // the outline's sides. Rows on opposite sides hold as many leads, and all
  // of them together as many as the package has, where it says.
  if (counted && lay.alike) {
    if (expect.leads > 0 && lay.elements != expect.leads) {
      v.reason = VisionCheckText(kCheckLeadsKey, kCheckLeadsText) + " (" + std::to_string(lay.elements) + ", " +
                 std::to_string(expect.leads) + ")";
      return v;
    }
    // Leads on two or four sides: the rows facing each other.
    const bool pairedRows = type == kRecogFootEdge2 || type == kRecogFootEdge4;
    if (pairedRows && lay.elements >= 6) {
      const int pairs[2][2] = {{2, 3}, {0, 1}};
      // A two-sided part's rows: the pair of sides with the more leads.
      const int most = lay.rowCount[2] + lay.rowCount[3] >= lay.rowCount[0] + lay.rowCount[1] ? 0 : 1;
      for (int k = 0; k < (type == kRecogFootEdge4 ? 2 : 1); ++k) {
        const int* p = type == kRecogFootEdge4 ? pairs[k] : pairs[most];
        const int a = lay.rowCount[p[0]], b = lay.rowCount[p[1]];
        if (a != b) {
          v.reason = VisionCheckText(kCheckLeadsKey, kCheckLeadsText) + " (" + std::to_string(a) + ", " +
                     std::to_string(b) + ")";
          return v;
        }
      }
    }
    const double meanOff = std::hypot(lay.mean.x - v.outline.center.x, lay.mean.y - v.outline.center.y);
    if (lay.elements >= 4 && meanOff > centreTol) {
      v.reason = VisionCheckText(kCheckCentreKey, kCheckCentreText) + " (" + Mm(meanOff, ppm) + " mm)";
      return v;
    }
    if (lay.turnKnown && lay.span >= 16.0) {
      const double tol = std::max(kEdgeTurnAgreementDeg, std::atan2(1.5, lay.span) * 180.0 / CV_PI);
      if (std::fabs(lay.turn) > tol) {
        char buf[48];
        std::snprintf(buf, sizeof buf, " (%.2f deg)", std::fabs(lay.turn));
        v.reason = VisionCheckText(kCheckTurnKey, kCheckTurnText) + buf;
        return v;
      }
    }
  }
  // A triode shows its three leads and nothing else of that size: one lead
  // on one side, two on the other. The found centre lies half way between
  // the single lead and the middle of the two, and the found turn points
  // from the two to the one.
  if (type == kRecogTriode) {
    std::vector<int> leads;
    for (int i = 1; i < n; ++i)
      if (near[static_cast<size_t>(i)]) leads.push_back(i);
    if (leads.size() != 3) {
      v.reason = VisionCheckText(kCheckLeadsKey, kCheckLeadsText) + " (" + std::to_string(leads.size()) + ", 3)";
      return v;
    }
    double amin = 1e18, amax = 0;
    cv::Point2d p[3];
    for (int k = 0; k < 3; ++k) {
      const double ar = stats.at<int>(leads[static_cast<size_t>(k)], cv::CC_STAT_AREA);
      amin = std::min(amin, ar);
      amax = std::max(amax, ar);
      p[k] = {centroids.at<double>(leads[static_cast<size_t>(k)], 0), centroids.at<double>(leads[static_cast<size_t>(k)], 1)};
    }
    if (amax > 4.0 * amin) {
      v.reason = VisionCheckText(kCheckLeadsKey, kCheckLeadsText) + " (3, 3)";
      return v;
    }
    // The single lead faces the longest side of the three.
    int apex = 0;
    double longest = -1;
    for (int k = 0; k < 3; ++k) {
      const cv::Point2d d = p[(k + 1) % 3] - p[(k + 2) % 3];
      if (std::hypot(d.x, d.y) > longest) {
        longest = std::hypot(d.x, d.y);
        apex = k;
      }
    }
    const cv::Point2d mid = 0.5 * (p[(apex + 1) % 3] + p[(apex + 2) % 3]);
    const cv::Point2d centre = 0.5 * (mid + p[apex]);
    const double off3 = std::hypot(centre.x - c.x, centre.y - c.y);
    if (off3 > std::max(kCentreAgreementPx, kCentreAgreementMm * ppm)) {
      v.reason = VisionCheckText(kCheckCentreKey, kCheckCentreText) + " (" + Mm(off3, ppm) + " mm)";
      return v;
    }
    const double arm = std::hypot(p[apex].x - mid.x, p[apex].y - mid.y);
    const double pointing = std::atan2(p[apex].y - mid.y, p[apex].x - mid.x) * 180.0 / CV_PI;
    double d = std::fmod(std::fabs(found.angle + 90.0 - pointing), 360.0);
    d = std::min(d, 360.0 - d);
    // The recogniser works on rounded lead centres and their integer
    // middle: up to a pixel or two over the arm.
    if (d > std::max(kTurnAgreementDeg, std::atan2(2.0, arm) * 180.0 / CV_PI)) {
      char buf[48];
      std::snprintf(buf, sizeof buf, " (%.2f deg)", d);
      v.reason = VisionCheckText(kCheckTurnKey, kCheckTurnText) + buf;
      return v;
    }
    // The leads' own centres (their pixels' mean) are the finer measure.
    v.measured = true;
    v.measure = found;
    v.measure.center = cv::Point2f(static_cast<float>(centre.x), static_cast<float>(centre.y));
    double turn = pointing - 90.0;
    // The same turn as the recogniser's, within a whole turn.
    turn += 360.0 * std::round((found.angle - turn) / 360.0);
    v.measure.angle = static_cast<float>(turn);
  }
  // The sides' edges: where a side is a solid edge, the part's centre and
  // turn from the edges must agree with what was found. A body with lead
  // roots or a shadow joined to one side has an outline larger on that
  // side; its edges still lie where the body's are.
  // The ball grids of their own recognisers have no solid sides: rows of
  // balls, which the outline measures.
  const bool ballGrid = type == kRecogBgaTriangleMark || type == kRecogBga1Chamfer;
  if (!oneSided && !ballGrid) {
    // The types that take the outline as their result are judged as it.
    const cv::RotatedRect& judged = TakesOutline(type) ? v.outline : found;
    const SideEdges e = MeasureSides(labels, near, v.outline);
    const double a = v.outline.angle * CV_PI / 180.0;
    const cv::Point2d u(std::cos(a), std::sin(a)), w(-std::sin(a), std::cos(a));
    const cv::Point2d rel(judged.center.x - v.outline.center.x, judged.center.y - v.outline.center.y);
    double worst = 0.0;
    if (e.solid[0] && e.solid[1])
      worst = std::max(worst, std::fabs(rel.dot(u) - 0.5 * (e.depth[0] - e.depth[1])));
    if (e.solid[2] && e.solid[3])
      worst = std::max(worst, std::fabs(rel.dot(w) - 0.5 * (e.depth[2] - e.depth[3])));
    if (worst > centreTol) {
      v.reason = VisionCheckText(kCheckCentreKey, kCheckCentreText) + " (" + Mm(worst, ppm) + " mm)";
      return v;
    }
    double turnSum = 0.0, lenSum = 0.0, most = -90.0, least = 90.0;
    for (int side = 0; side < 4; ++side)
      if (e.solid[side]) {
        turnSum += e.turn[side] * e.length[side];
        lenSum += e.length[side];
        most = std::max(most, e.turn[side]);
        least = std::min(least, e.turn[side]);
      }
    // Short edges tell the turn only where they agree among themselves (a
    // terminal a pixel wider than the body steps one side's edge, which
    // tilts a short side's line by a degree or more).
    const double tol = std::max(kEdgeTurnAgreementDeg, std::atan2(2.5, lenSum / 2.0) * 180.0 / CV_PI);
    const bool shortEdges = lenSum < kLongEdgesPx;
    if (lenSum >= 24.0 && (!shortEdges || most - least <= 0.5 * tol + 0.25)) {
      const double edgeTurn = v.outline.angle + turnSum / lenSum;
      const double d = QuarterTurnDifference(judged.angle, edgeTurn);
      // Long straight edges give the turn finer than the outline does.
      if (d > tol) {
        char buf[48];
        std::snprintf(buf, sizeof buf, " (%.2f deg)", d);
        v.reason = VisionCheckText(kCheckTurnKey, kCheckTurnText) + buf;
        return v;
      }
    }
  }
  v.sound = true;
  return v;
}

}  // namespace smt::vision

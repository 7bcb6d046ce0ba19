#include "vision/SpecialPartRecognizers.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "vision/RecognitionTypes.h"
#include "vision/RecognizerGeometry.h"

namespace smt::vision {

cv::RotatedRect RecognizeSpecialRch110(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  std::vector<cv::Point> kept;
  for (const Contour& c : contours) {
    const cv::RotatedRect r = cv::minAreaRect(c);
    if (r.size.width * r.size.height > 50.f) kept.push_back(BlobCentre(c));
  }
  const int n = static_cast<int>(kept.size());
  // Every four of the blobs are tried: past the cap the picture is noise,
  // not a part, and the search would not end in useful time.
  if (n < 4 || n > kMaxQuadBlobs) return NotFoundRect();
  double bestScore = 4.0;
  int ci = -1, cj = -1, ck = -1, cl = -1;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      for (int k = j + 1; k < n; ++k)
        for (int l = k + 1; l < n; ++l) {
          const std::vector<cv::Point> q = OrderQuadCorners({kept[i], kept[j], kept[k], kept[l]});
          const double s01 = PointDistance(q[0], q[1]), s12 = PointDistance(q[1], q[2]);
          const double s23 = PointDistance(q[2], q[3]), s30 = PointDistance(q[3], q[0]);
          const double ratios[4] = {s01 / s12, s12 / s23, s23 / s30, s30 / s01};
          const double hi = *std::max_element(ratios, ratios + 4);
          const double lo = *std::min_element(ratios, ratios + 4);
          if (!(hi < 1.4285714285714286 && lo > 0.7)) continue;
          const double score = std::fabs(VertexAngleCosine(q[3], q[1], q[0])) +
                               std::fabs(VertexAngleCosine(q[0], q[2], q[1])) +
                               std::fabs(VertexAngleCosine(q[1], q[3], q[2])) +
                               std::fabs(VertexAngleCosine(q[2], q[0], q[3]));
          if (score < bestScore) {
            bestScore = score;
            ci = i;
            cj = j;
            ck = k;
            cl = l;
          }
        }
  if (bestScore >= 4.0 || ci < 0) return NotFoundRect();
  ScratchArea scratch(binary.size());
  scratch.ClosedPolygon({kept[ci], kept[cj], kept[cl], kept[ck]});
  return WithLongSideAngle(scratch.ReExtract());
}

cv::RotatedRect RecognizeSpecialKsd42(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.size() < 8) return NotFoundRect();
  std::vector<double> areas;
  for (const Contour& c : contours) areas.push_back(cv::contourArea(c));
  std::vector<cv::Point> centres;
  for (int i : PickRankedIndices(areas, 8, true)) centres.push_back(BlobCentre(contours[i]));
  ScratchArea scratch(binary.size());
  scratch.ClosedHull(centres);
  return WithLongSideAngle(scratch.ReExtract());
}

cv::RotatedRect RecognizeSpecialLe224(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  std::vector<cv::Point2f> c;
  for (const Contour& k : contours) {
    // Compact means longer side below three times the shorter, whichever way
    // the library happens to name the sides of the rectangle.
    const cv::RotatedRect r = cv::minAreaRect(k);
    const float longer = std::max(r.size.width, r.size.height), shorter = std::min(r.size.width, r.size.height);
    if (shorter > 0.f && longer / shorter < 3.0f) c.push_back(CircleCentre(k));
  }
  // A single compact blob has no partner to pair with.
  if (c.size() < 2) return NotFoundRect();
  size_t bi = 0, bj = 1;
  double best = 0.0;
  for (size_t i = 0; i < c.size(); ++i)
    for (size_t j = i + 1; j < c.size(); ++j) {
      const double d = PointDistance(RoundPoint(c[i]), RoundPoint(c[j]));
      if (d > best) {
        best = d;
        bi = i;
        bj = j;
      }
    }
  const cv::Point2f centre((c[bi].x + c[bj].x) * 0.5f, (c[bi].y + c[bj].y) * 0.5f);
  const double angle = std::atan((c[bj].y - c[bi].y) / ((c[bj].x - c[bi].x) + 1e-10)) * 180.0 / CV_PI;
  return cv::RotatedRect(centre, cv::Size2f(static_cast<float>(best), static_cast<float>(best)), static_cast<float>(angle));
}

cv::RotatedRect RecognizeSpecialG5nb(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.size() < 4) return NotFoundRect();
  std::vector<cv::Point> centres;
  for (const Contour& c : contours) centres.push_back(BlobCentre(c));
  std::vector<cv::Point> H;
  cv::convexHull(centres, H, false, true);
  const int h = static_cast<int>(H.size());
  if (h < 3) return NotFoundRect();
  std::vector<double> angles(h);
  for (int p = 0; p < h; ++p) angles[p] = AngleDifference(H[(p - 1 + h) % h], H[(p + 1) % h], H[p]);
  std::vector<cv::Point> cornerPts;
  for (int i : PickRankedIndices(angles, 3, false)) cornerPts.push_back(H[i]);
  std::vector<cv::Point> Q;
  cv::convexHull(cornerPts, Q, false, true);
  // Three corners on one line have no triangle.
  if (Q.size() < 3) return NotFoundRect();
  const std::vector<double> L = {PointDistance(Q[0], Q[1]), PointDistance(Q[1], Q[2]), PointDistance(Q[2], Q[0])};
  // The side of the third pass is the longest; ties go to the later index.
  const std::vector<int> order = PickRankedIndices(L, 3, false);
  const int longest = order[2];
  const int r = longest == 0 ? 2 : (longest == 1 ? 0 : 1);
  const cv::Point R = Q[r], N = Q[(r + 1) % 3], P = Q[(r + 2) % 3];
  const double legN = PointDistance(R, N), legP = PointDistance(R, P);
  const cv::Point F = legN > legP ? N : P;
  const cv::Size2f size(static_cast<float>(std::max(legN, legP)), static_cast<float>(std::min(legN, legP)));
  const cv::Point e1 = Q[longest], e2 = Q[(longest + 1) % 3];
  const cv::Point2f centre(static_cast<float>((e1.x + e2.x) / 2), static_cast<float>((e1.y + e2.y) / 2));
  const float raw = static_cast<float>(std::atan((F.y - R.y) / ((F.x - R.x) + 1e-10)) * 180.0 / CV_PI);
  const double angle = NormalizeRectAngle(raw, cv::Point2f(F), cv::Point2f(R));
  return cv::RotatedRect(centre, size, static_cast<float>(angle));
}

cv::RotatedRect RecognizeSpecialC10x16(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  const int n = static_cast<int>(contours.size());
  // One blob has no pair of centroids.
  if (n < 2) return NotFoundRect();
  std::vector<cv::Point> g(n);
  for (int i = 0; i < n; ++i) {
    const cv::Moments m = cv::moments(contours[i]);
    // A blob without area (a line of pixels) is measured at its rectangle centre.
    g[i] = m.m00 != 0.0 ? RoundPoint(cv::Point2d(m.m10 / m.m00, m.m01 / m.m00)) : BlobCentre(contours[i]);
  }
  ScratchArea scratch(binary.size());
  scratch.Outlines(contours, 1);
  for (int k = 1; k <= n; ++k) scratch.Line(g[k - 1], g[k % n]);
  const ContourList outline = scratch.Extract();
  if (outline.empty()) return NotFoundRect();
  const cv::Point C = RoundPoint(CircleCentre(outline[0]));
  std::vector<double> d(n);
  for (int i = 0; i < n; ++i) d[i] = PointDistance(C, g[i]);
  const std::vector<int> near = PickRankedIndices(d, 2, false);
  const cv::Point S0 = g[near[0]], S1 = g[near[1]];
  const cv::Point2f centre(static_cast<float>((S0.x + S1.x) / 2), static_cast<float>((S0.y + S1.y) / 2));
  const double dist = PointDistance(S0, S1);
  const float raw = static_cast<float>(std::atan((S0.y - S1.y) / ((S0.x - S1.x) + 1e-10)) * 180.0 / CV_PI);
  std::vector<double> areas;
  for (const Contour& c : contours) areas.push_back(cv::contourArea(c));
  std::vector<double> sorted = areas;
  std::sort(sorted.begin(), sorted.end());
  int largest = 0;
  for (int i = 0; i < n; ++i)
    if (areas[i] == sorted.back()) {
      largest = i;
      break;
    }
  const cv::Point G = g[largest];
  const double dA = PointDistance(G, S0), dB = PointDistance(G, S1);
  const cv::Point p = dB > dA ? S0 : S1;
  const cv::Point q = dB > dA ? S1 : S0;
  const double angle = NormalizeRectAngle(raw, cv::Point2f(p), cv::Point2f(q));
  return cv::RotatedRect(centre, cv::Size2f(static_cast<float>(dist), static_cast<float>(dist)), static_cast<float>(angle));
}

}  // namespace smt::vision

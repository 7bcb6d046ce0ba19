#include "vision/PackageRecognizers.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "vision/RecognitionTypes.h"
#include "vision/RecognizerGeometry.h"

namespace smt::vision {

cv::RotatedRect RecognizeGeneral(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  // Only the hull of the centres is drawn.
  const std::vector<cv::Point> centres = CentresForHull(contours);
  // The outlines round the centres' hull and the hull itself: only the
  // outer contour of all of it is read back, so an outline that lies well
  // inside the hull (in its hole) changes nothing and is not drawn.
  const ContourList outlines = OutlinesReachingTheHull(contours, centres, 2);
  ScratchArea scratch(binary.size());
  scratch.Outlines(outlines, 2);
  scratch.ClosedHull(centres);
  return scratch.ReExtract();
}

cv::RotatedRect RecognizeResistance(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  size_t pick = 0;
  if (contours.size() > 1) {
    double best = 0.0;
    for (size_t i = 0; i < contours.size(); ++i) {
      const double a = cv::contourArea(contours[i]);
      if (a > best) {
        best = a;
        pick = i;
      }
    }
  }
  cv::RotatedRect rect = MinAreaRectNormalized(contours[pick]);
  cv::RotatedRect result(CircleCentre(contours[pick]), rect.size, 0.f);
  result.angle = static_cast<float>(RectLongSideAngle(rect));
  return result;
}

cv::RotatedRect RecognizeCapacitance(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  if (contours.size() == 1) return WithLongSideAngle(MinAreaRectNormalized(contours[0]));
  std::vector<double> areas;
  for (const Contour& c : contours) areas.push_back(cv::contourArea(c));
  const std::vector<int> picked = PickRankedIndices(areas, 2, true);
  ContourList selected;
  std::vector<cv::Point> pair;
  for (int i : picked) {
    selected.push_back(contours[i]);
    pair.push_back(BlobCentre(contours[i]));
  }
  ScratchArea scratch(binary.size());
  scratch.Outlines(selected, 2);
  scratch.Line(pair[0], pair[1]);
  return WithLongSideAngle(scratch.ReExtract());
}

cv::RotatedRect RecognizeDiode(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.empty()) return NotFoundRect();
  if (contours.size() == 1) return WithLongSideAngle(MinAreaRectNormalized(contours[0]));
  std::vector<cv::Point> c;
  for (const Contour& k : contours) c.push_back(BlobCentre(k));
  size_t bi = 0, bj = 1;
  double best = 0.0;
  for (size_t i = 0; i < c.size(); ++i)
    for (size_t j = i + 1; j < c.size(); ++j) {
      const double d = PointDistance(c[i], c[j]);
      if (d > best) {
        best = d;
        bi = i;
        bj = j;
      }
    }
  const cv::Point2f centre(static_cast<float>((c[bi].x + c[bj].x) / 2), static_cast<float>((c[bi].y + c[bj].y) / 2));
  const double angle = std::atan((c[bj].y - c[bi].y) / ((c[bj].x - c[bi].x) + 1e-10)) * 180.0 / CV_PI;
  return cv::RotatedRect(centre, cv::Size2f(static_cast<float>(best), static_cast<float>(best)), static_cast<float>(angle));
}

cv::RotatedRect RecognizeTriode(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.size() < 3) return NotFoundRect();
  std::vector<cv::Point> c;
  for (const Contour& k : contours) c.push_back(BlobCentre(k));
  double bestSum = 0.0;
  int ci = -1, cj = -1, ck = -1;
  const int n = static_cast<int>(c.size());
  // Every three of the blobs are tried: past the cap it is not a part.
  if (n > kMaxTripleBlobs) return NotFoundRect();
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      for (int k = j + 1; k < n; ++k) {
        double s[3] = {PointDistance(c[i], c[j]), PointDistance(c[j], c[k]), PointDistance(c[k], c[i])};
        std::sort(s, s + 3);
        const bool q = (s[1] != 0.0 && s[0] / s[1] > 0.9) || (s[2] != 0.0 && s[1] / s[2] > 0.9);
        if (q && s[1] + s[2] > bestSum) {
          bestSum = s[1] + s[2];
          ci = i;
          cj = j;
          ck = k;
        }
      }
  if (ci < 0) return NotFoundRect();
  const cv::Point P[3] = {c[ci], c[cj], c[ck]};
  const double A[3] = {AngleDifference(P[1], P[2], P[0]), AngleDifference(P[2], P[0], P[1]),
                       AngleDifference(P[0], P[1], P[2])};
  double smallest = 180.0;
  int apex = 0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      if (a == b) continue;
      const double diff = std::fabs(A[a] - A[b]);
      if (diff < smallest) {
        smallest = diff;
        apex = 3 - a - b;
      }
    }
  const cv::Point b1 = P[(apex + 1) % 3], b2 = P[(apex + 2) % 3];
  const cv::Point M((b1.x + b2.x) / 2, (b1.y + b2.y) / 2);
  const double L = PointDistance(b1, b2);
  const cv::Point Pa = P[apex];
  const cv::Point2f centre(static_cast<float>((M.x + Pa.x) * 0.5), static_cast<float>((M.y + Pa.y) * 0.5));
  const float raw = static_cast<float>(std::atan((Pa.y - M.y) / ((Pa.x - M.x) + 1e-10)) * 180.0 / CV_PI);
  const double angle = NormalizeRectAngle(raw, cv::Point2f(Pa), cv::Point2f(M)) - 90.0;
  return cv::RotatedRect(centre, cv::Size2f(static_cast<float>(L), static_cast<float>(L)), static_cast<float>(angle));
}

}  // namespace smt::vision

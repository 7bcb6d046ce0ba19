#include "vision/CornerRecognizers.h"

#include <cstdint>
#include <opencv2/imgproc.hpp>

#include "vision/RecognitionTypes.h"
#include "vision/RecognizerGeometry.h"

namespace smt::vision {

cv::RotatedRect RecognizeSharpestCorners(const cv::Mat& binary, int corners) {
  ContourList contours = BlobSearch(binary);
  if (static_cast<int>(contours.size()) < corners || corners < 1) return NotFoundRect();
  // Only the hull of the centres counts.
  const std::vector<cv::Point> centres = CentresForHull(contours);
  std::vector<cv::Point> hull;
  cv::convexHull(centres, hull, false, true);
  const int h = static_cast<int>(hull.size());
  std::vector<double> angles(h);
  for (int p = 0; p < h; ++p) angles[p] = AngleDifference(hull[(p - 1 + h) % h], hull[(p + 1) % h], hull[p]);
  std::vector<cv::Point> cornerList;
  for (int i : PickRankedIndices(angles, corners, false)) cornerList.push_back(hull[i]);
  ScratchArea scratch(binary.size());
  scratch.ClosedHull(cornerList);
  return scratch.ReExtract();
}

cv::RotatedRect RecognizeFootEdge(const cv::Mat& binary) { return RecognizeSharpestCorners(binary, 4); }
cv::RotatedRect RecognizeFootEdge4(const cv::Mat& binary) { return RecognizeSharpestCorners(binary, 8); }
cv::RotatedRect RecognizeBgaOneChamfer(const cv::Mat& binary) { return RecognizeSharpestCorners(binary, 5); }

cv::RotatedRect RecognizeBgaTriangleMark(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.size() < 5) return NotFoundRect();
  const int n = static_cast<int>(contours.size());
  std::vector<cv::Point> centre(n);
  std::vector<float> radius(n);
  for (int i = 0; i < n; ++i) centre[i] = RoundPoint(CircleCentre(contours[i], &radius[i]));
  // Distances between whole-pixel centres are compared squared: the same
  // order and the same ties as their square roots, without them.
  auto distance2 = [&](int i, int j) {
    const int64_t dx = centre[i].x - centre[j].x, dy = centre[i].y - centre[j].y;
    return dx * dx + dy * dy;
  };
  int fi = 0, fj = 0;
  int64_t best = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      const int64_t d = distance2(i, j);
      if (d > best) {
        best = d;
        fi = i;
        fj = j;
      }
    }
  const int mark = radius[fi] > radius[fj] ? fi : fj;
  std::vector<int> rest;
  for (int i = 0; i < n; ++i)
    if (i != mark) rest.push_back(i);
  std::vector<double> dist;
  std::vector<std::pair<int, int>> pairs;
  dist.reserve(rest.size() * rest.size() / 2);
  pairs.reserve(rest.size() * rest.size() / 2);
  for (size_t p = 0; p < rest.size(); ++p)
    for (size_t q = p + 1; q < rest.size(); ++q) {
      dist.push_back(static_cast<double>(distance2(rest[p], rest[q])));
      pairs.emplace_back(rest[p], rest[q]);
    }
  const std::vector<int> picked = PickRankedIndices(dist, 2, true);
  if (picked.size() < 2) return NotFoundRect();
  ScratchArea scratch(binary.size());
  for (int k : picked) scratch.Line(centre[pairs[k].first], centre[pairs[k].second]);
  return scratch.ReExtract();
}

}  // namespace smt::vision

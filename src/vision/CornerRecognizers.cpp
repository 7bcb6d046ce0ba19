#include "vision/CornerRecognizers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
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

namespace {

// The blobs' enclosing-circle centres (rounded) and radii, worked out when
// first asked for. A centre lies in its blob's bounding box, so the boxes
// bound every distance between centres before any centre is known.
class BlobCircles {
 public:
  explicit BlobCircles(const ContourList& contours)
      : m_contours(contours), m_centre(contours.size()), m_radius(contours.size(), 0.f),
        m_known(contours.size(), 0), m_box(contours.size()) {
    for (size_t i = 0; i < contours.size(); ++i) m_box[i] = cv::boundingRect(contours[i]);
  }
  int Count() const { return static_cast<int>(m_contours.size()); }
  cv::Point Centre(int i) {
    Know(i);
    return m_centre[static_cast<size_t>(i)];
  }
  float Radius(int i) {
    Know(i);
    return m_radius[static_cast<size_t>(i)];
  }
  bool Known(int i) const { return m_known[static_cast<size_t>(i)] != 0; }
  // Squared distance between two centres; compared squared, they keep the
  // order and the ties of their square roots.
  int64_t Distance2(int i, int j) {
    const cv::Point a = Centre(i), b = Centre(j);
    const int64_t dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
  }
  // The largest squared distance the centres of i and j can lie apart
  // (each taken a pixel past its box, for the rounding).
  int64_t Reach2(int i, int j) const {
    const cv::Rect& a = m_box[static_cast<size_t>(i)];
    const cv::Rect& b = m_box[static_cast<size_t>(j)];
    const int64_t dx = std::max(std::abs(a.x + a.width - 1 - b.x), std::abs(b.x + b.width - 1 - a.x)) + 2;
    const int64_t dy = std::max(std::abs(a.y + a.height - 1 - b.y), std::abs(b.y + b.height - 1 - a.y)) + 2;
    return dx * dx + dy * dy;
  }
  // The blobs, in their order, that can lie at least sqrt(floor) from some
  // other blob (`skip` left out of both sides).
  std::vector<int> Reaching(int64_t floor, int skip) const {
    std::vector<int> out;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
      if (i == skip) continue;
      for (int j = 0; j < n; ++j)
        if (j != i && j != skip && Reach2(i, j) >= floor) {
          out.push_back(i);
          break;
        }
    }
    return out;
  }
  // Blobs whose box middles lie furthest out in eight directions (`skip`
  // left out).
  std::vector<int> OuterFew(int skip) const {
    std::vector<int> best(8, 0);
    std::vector<int64_t> score(8, INT64_MIN);
    const int dirs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    for (int i = 0; i < Count(); ++i) {
      if (i == skip) continue;
      const cv::Rect& b = m_box[static_cast<size_t>(i)];
      const int64_t mx = 2 * static_cast<int64_t>(b.x) + b.width, my = 2 * static_cast<int64_t>(b.y) + b.height;
      for (int d = 0; d < 8; ++d) {
        const int64_t s = dirs[d][0] * mx + dirs[d][1] * my;
        if (s > score[static_cast<size_t>(d)]) {
          score[static_cast<size_t>(d)] = s;
          best[static_cast<size_t>(d)] = i;
        }
      }
    }
    std::sort(best.begin(), best.end());
    best.erase(std::unique(best.begin(), best.end()), best.end());
    return best;
  }

 private:
  void Know(int i) {
    const size_t k = static_cast<size_t>(i);
    if (m_known[k]) return;
    m_centre[k] = RoundPoint(CircleCentre(m_contours[k], &m_radius[k]));
    m_known[k] = 1;
  }
  const ContourList& m_contours;
  std::vector<cv::Point> m_centre;
  std::vector<float> m_radius;
  std::vector<char> m_known;
  std::vector<cv::Rect> m_box;
};

}  // namespace

cv::RotatedRect RecognizeBgaTriangleMark(const cv::Mat& binary) {
  ContourList contours = BlobSearch(binary);
  if (contours.size() < 5) return NotFoundRect();
  BlobCircles blobs(contours);
  // The two centres furthest apart, the first such pair in index order.
  // Only blobs that can reach as far as two centres already known are
  // measured: a pair that cannot is never the furthest, nor tied with it.
  int64_t floor1 = 0;
  {
    const std::vector<int> few = blobs.OuterFew(-1);
    for (size_t p = 0; p < few.size(); ++p)
      for (size_t q = p + 1; q < few.size(); ++q) floor1 = std::max(floor1, blobs.Distance2(few[p], few[q]));
  }
  const std::vector<int> far = blobs.Reaching(floor1, -1);
  int fi = 0, fj = 0;
  int64_t best = 0;
  for (size_t p = 0; p < far.size(); ++p)
    for (size_t q = p + 1; q < far.size(); ++q) {
      const int64_t d = blobs.Distance2(far[p], far[q]);
      if (d > best) {
        best = d;
        fi = far[p];
        fj = far[q];
      }
    }
  const int mark = blobs.Radius(fi) > blobs.Radius(fj) ? fi : fj;
  // The two longest distances between the other centres (ties to the first
  // pair in index order): only pairs that can reach the second longest of
  // the distances between centres already known can be among them (the
  // outermost blobs but the mark among those).
  for (int i : blobs.OuterFew(mark)) blobs.Centre(i);
  std::vector<int> known;
  for (int i = 0; i < blobs.Count(); ++i)
    if (i != mark && blobs.Known(i)) known.push_back(i);
  int64_t top[2] = {0, 0};
  int pairsKnown = 0;
  for (size_t p = 0; p < known.size(); ++p)
    for (size_t q = p + 1; q < known.size(); ++q) {
      const int64_t d = blobs.Distance2(known[p], known[q]);
      ++pairsKnown;
      if (d > top[0]) {
        top[1] = top[0];
        top[0] = d;
      } else if (d > top[1]) {
        top[1] = d;
      }
    }
  const std::vector<int> rest = blobs.Reaching(pairsKnown >= 2 ? top[1] : 0, mark);
  std::vector<double> dist;
  std::vector<std::pair<int, int>> pairs;
  dist.reserve(rest.size() * rest.size() / 2);
  pairs.reserve(rest.size() * rest.size() / 2);
  for (size_t p = 0; p < rest.size(); ++p)
    for (size_t q = p + 1; q < rest.size(); ++q) {
      dist.push_back(static_cast<double>(blobs.Distance2(rest[p], rest[q])));
      pairs.emplace_back(rest[p], rest[q]);
    }
  const std::vector<int> picked = PickRankedIndices(dist, 2, true);
  if (picked.size() < 2) return NotFoundRect();
  ScratchArea scratch(binary.size());
  for (int k : picked) scratch.Line(blobs.Centre(pairs[k].first), blobs.Centre(pairs[k].second));
  return scratch.ReExtract();
}

}  // namespace smt::vision

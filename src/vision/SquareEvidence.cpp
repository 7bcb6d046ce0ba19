#include "vision/SquareEvidence.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <opencv2/imgproc.hpp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace smt::vision {

GreyHistogram CountGreyLevels(const cv::Mat& grey) {
  GreyHistogram total{};
  if (grey.empty() || grey.type() != CV_8UC1) return total;
  // Four tables side by side: consecutive pixels of equal grey would
  // otherwise wait on each other's increment.
  std::array<uint32_t, 4 * 256> h{};
  for (int y = 0; y < grey.rows; ++y) {
    const uint8_t* p = grey.ptr<uint8_t>(y);
    int x = 0;
    while (x + 16 <= grey.cols) {
#if defined(__SSE2__)
      // Sixteen pixels of one grey (a flat or clipped ground) count at once.
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(p[x])))) == 0xFFFF) {
        h[p[x]] += 16;
        x += 16;
        continue;
      }
#endif
      for (const int end = x + 16; x < end; x += 4) {
        ++h[p[x]];
        ++h[256 + p[x + 1]];
        ++h[512 + p[x + 2]];
        ++h[768 + p[x + 3]];
      }
    }
    for (; x < grey.cols; ++x) ++h[p[x]];
  }
  for (int i = 0; i < 256; ++i) total[i] = h[i] + h[256 + i] + h[512 + i] + h[768 + i];
  return total;
}

int OtsuLevel(const GreyHistogram& h) {
  uint64_t n = 0;
  for (uint32_t c : h) n += c;
  if (n == 0) return 0;
  const double scale = 1.0 / static_cast<double>(n);
  double mu = 0;
  for (int i = 0; i < 256; ++i) mu += i * static_cast<double>(h[i]);
  mu *= scale;
  // Running mean and weight of the dark group; the spread between the
  // groups is q1 q2 (mu1 - mu2)^2. Levels that leave a group (nearly) empty
  // are skipped.
  double mu1 = 0, q1 = 0, best = 0;
  int level = 0;
  for (int i = 0; i < 256; ++i) {
    const double p = h[i] * scale;
    mu1 *= q1;
    q1 += p;
    const double q2 = 1.0 - q1;
    if (std::min(q1, q2) < FLT_EPSILON || std::max(q1, q2) > 1.0 - FLT_EPSILON) continue;
    mu1 = (mu1 + i * p) / q1;
    const double mu2 = (mu - q1 * mu1) / q2;
    const double spread = q1 * q2 * (mu1 - mu2) * (mu1 - mu2);
    if (spread > best) {
      best = spread;
      level = i;
    }
  }
  return level;
}

double GreySplit::Separation() const {
  if (darkCount == 0 || brightCount == 0) return 0.0;
  const double spread = darkSd + brightSd;
  const double gap = brightMean - darkMean;
  // Two single grey levels: as far apart as can be.
  if (spread <= 0.0) return gap > 0.0 ? 1e9 : 0.0;
  return gap / spread;
}

GreySplit SplitAt(const GreyHistogram& h, int level) {
  GreySplit s;
  double sum[2] = {0, 0}, sq[2] = {0, 0};
  uint64_t n[2] = {0, 0};
  for (int i = 0; i < 256; ++i) {
    const int g = i > level ? 1 : 0;
    n[g] += h[i];
    sum[g] += static_cast<double>(i) * h[i];
    sq[g] += static_cast<double>(i) * i * h[i];
  }
  auto meanSd = [&](int g, double& mean, double& sd) {
    if (n[g] == 0) return;
    mean = sum[g] / n[g];
    sd = std::sqrt(std::max(0.0, sq[g] / n[g] - mean * mean));
  };
  s.darkCount = n[0];
  s.brightCount = n[1];
  meanSd(0, s.darkMean, s.darkSd);
  meanSd(1, s.brightMean, s.brightSd);
  return s;
}

const char* SquareVerdictText(SquareVerdict v) {
  switch (v) {
    case SquareVerdict::Part:
      return "part";
    case SquareVerdict::NoContrast:
      return "no contrast between part and ground";
    case SquareVerdict::Noise:
      return "the picture is noise, no part";
    case SquareVerdict::Ground:
      return "the threshold lets the ground through";
  }
  return "";
}

SquareVerdict JudgeSquare(const SquareEvidence& e) {
  if (e.split.Separation() < kMinSeparation) return SquareVerdict::NoContrast;
  if (e.partBefore == 0 || static_cast<double>(e.partKept) < kMinKeptByOpening * static_cast<double>(e.partBefore))
    return SquareVerdict::Noise;
  if (e.edgeCover > kMaxEdgeCover) return SquareVerdict::Ground;
  return SquareVerdict::Part;
}

double EdgeCover(const cv::Mat& binary) {
  if (binary.empty() || binary.type() != CV_8UC1) return 0.0;
  const int rows = binary.rows, cols = binary.cols;
  if (rows < 2 || cols < 2) return binary.rows * binary.cols > 0 && cv::countNonZero(binary) > 0 ? 1.0 : 0.0;
  uint64_t set = static_cast<uint64_t>(cv::countNonZero(binary.row(0))) + cv::countNonZero(binary.row(rows - 1));
  for (int y = 1; y < rows - 1; ++y) {
    const uint8_t* p = binary.ptr<uint8_t>(y);
    set += (p[0] != 0) + (p[cols - 1] != 0);
  }
  const uint64_t total = 2ull * cols + 2ull * (rows - 2);
  return static_cast<double>(set) / static_cast<double>(total);
}

SquareEvidence WeighSquare(const GreyHistogram& h, int level, const cv::Mat& part, bool partOpened, bool darkPart) {
  SquareEvidence e;
  e.split = SplitAt(h, level);
  e.partBefore = darkPart ? e.split.darkCount : e.split.brightCount;
  if (partOpened) {
    e.partKept = static_cast<uint64_t>(cv::countNonZero(part));
  } else {
    thread_local cv::Mat opened;  // kept from one square to the next
    cv::morphologyEx(part, opened, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)),
                     cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());
    e.partKept = static_cast<uint64_t>(cv::countNonZero(opened));
  }
  e.edgeCover = EdgeCover(part);
  return e;
}

}  // namespace smt::vision

#include "vision/TemplateSearch.h"
#include "vision/TemplateSearchLoops.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <limits>
#include <cmath>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif
#include <vector>

namespace smt::vision {

namespace {

constexpr int kMaxLevels = 3;
// The template keeps at least this many pixels on its shorter side at the
// coarsest level searched.
constexpr int kMinCoarseSide = 6;
// A level is searched only when its bound for the accept score is at least
// this: below it nearly every place of a busy frame passes and following
// them costs more than the full search.
constexpr double kMinUsefulBound = 0.3;
// A level whose averages keep less of the template's contrast than this
// says nothing about it: what the template shows is mostly finer grain (or
// noise) than the level holds.
constexpr double kMinRetention = 0.75;
// Angle (radians) added to every bound for what the reasoning leaves out:
// the eight-bit rounding of the halved pictures and the template's edges
// that a shift moves out of the window.
constexpr double kBoundSlack = 0.035;
// Tiles of coarse places followed at most before the whole-frame search is
// cheaper.
constexpr size_t kMaxRegions = 2000;

// Scores of the template's top-left places within `places` (a rectangle of
// places of one level), as a map whose (0, 0) is places.tl().
struct ScoreWindow {
  cv::Mat scores;  // CV_32F
  cv::Point offset;
};

ScoreWindow ScorePlaces(const cv::Mat& image, const cv::Mat& templ, cv::Rect places) {
  const cv::Mat window =
      image(cv::Rect(places.x, places.y, places.width + templ.cols - 1, places.height + templ.rows - 1));
  ScoreWindow w;
  cv::matchTemplate(window, templ, w.scores, cv::TM_CCOEFF_NORMED);
  // A flat window has no defined score: it matches nothing.
  cv::patchNaNs(w.scores, -1.0);
  w.offset = places.tl();
  return w;
}

TemplateMatch BestOf(const ScoreWindow& w) {
  double v = -1;
  cv::Point at;
  cv::minMaxLoc(w.scores, nullptr, &v, nullptr, &at);
  return {at + w.offset, v};
}

// The whole place map of one level.
cv::Rect AllPlaces(const cv::Mat& image, const cv::Mat& templ) {
  return {0, 0, image.cols - templ.cols + 1, image.rows - templ.rows + 1};
}

// The scores of every place of `image`, as ScorePlaces gives them over the
// whole place map, by one transform of the picture per channel (in double:
// the products with the template are summed in the frequency domain over
// all channels and brought back once). Picture and template have each
// channel's mean taken away first, which changes no score and keeps the
// sums small. A window flat to within rounding scores 0, as
// cv::matchTemplate scores it.
ScoreWindow ScoreAllPlacesByTransform(const cv::Mat& image, const cv::Mat& templ) {
  const cv::Rect all = AllPlaces(image, templ);
  const cv::Size size(cv::getOptimalDFTSize(image.cols), cv::getOptimalDFTSize(image.rows));
  const int cn = image.channels();
  const cv::Scalar imageMean = cv::mean(image), templMean = cv::mean(templ);
  // The pictures keep their memory per thread: fresh ones of these sizes
  // would be mapped and zero-filled page by page on every search.
  thread_local std::vector<cv::Mat> imageChannels;
  std::vector<cv::Mat> templChannels;
  cv::split(image, imageChannels);
  cv::split(templ, templChannels);
  thread_local cv::Mat products, picture, pattern, spectrum, sums, squares;
  double templEnergy = 0;
  for (int c = 0; c < cn; ++c) {
    picture.create(size, CV_64F);
    picture.setTo(0);
    imageChannels[static_cast<size_t>(c)].convertTo(picture(cv::Rect(0, 0, image.cols, image.rows)), CV_64F, 1.0,
                                                    -imageMean[c]);
    pattern.create(size, CV_64F);
    pattern.setTo(0);
    cv::Mat patternArea = pattern(cv::Rect(0, 0, templ.cols, templ.rows));
    templChannels[static_cast<size_t>(c)].convertTo(patternArea, CV_64F, 1.0, -templMean[c]);
    templEnergy += patternArea.dot(patternArea);
    cv::dft(picture, picture, 0, image.rows);
    cv::dft(pattern, pattern, 0, templ.rows);
    cv::mulSpectrums(picture, pattern, spectrum, 0, true);
    if (c == 0)
      spectrum.copyTo(products);
    else
      products += spectrum;
  }
  cv::dft(products, products, cv::DFT_INVERSE | cv::DFT_SCALE | cv::DFT_REAL_OUTPUT, all.height);

  cv::integral(image, sums, squares, CV_64F, CV_64F);
  const double count = static_cast<double>(templ.total());
  const double templNorm = std::sqrt(templEnergy);
  ScoreWindow w;
  w.offset = all.tl();
  w.scores.create(all.size(), CV_32F);
  for (int y = 0; y < all.height; ++y) {
    const double* sTop = sums.ptr<double>(y);
    const double* sBottom = sums.ptr<double>(y + templ.rows);
    const double* qTop = squares.ptr<double>(y);
    const double* qBottom = squares.ptr<double>(y + templ.rows);
    const double* num = products.ptr<double>(y);
    float* out = w.scores.ptr<float>(y);
    for (int x = 0; x < all.width; ++x) {
      double spread = 0, energy = 0;
      for (int c = 0; c < cn; ++c) {
        const int l = x * cn + c, r = (x + templ.cols) * cn + c;
        const double sum = sBottom[r] - sBottom[l] - sTop[r] + sTop[l];
        const double square = qBottom[r] - qBottom[l] - qTop[r] + qTop[l];
        spread += square - sum * sum / count;
        energy += square;
      }
      const double t = spread <= std::min(0.5, 10 * FLT_EPSILON * energy) ? 0 : std::sqrt(spread) * templNorm;
      const double n = num[x];
      double score = 0;
      if (std::abs(n) < t)
        score = n / t;
      else if (std::abs(n) < t * 1.125)
        score = n > 0 ? 1 : -1;
      out[x] = static_cast<float>(score);
    }
  }
  return w;
}

// ---- What halving keeps of the template -------------------------------

// Sum of squares of a float picture after taking each channel's mean away.
double CentredEnergy(const cv::Mat& f) {
  cv::Scalar mean = cv::mean(f);
  double e = 0;
  std::vector<cv::Mat> ch;
  cv::split(f, ch);
  for (size_t c = 0; c < ch.size(); ++c) {
    cv::Mat d = ch[c] - mean[static_cast<int>(c)];
    e += d.dot(d);
  }
  return e;
}

// Block averages of `f` over `factor` x `factor` blocks of `region` (whose
// sides are multiples of the factor).
cv::Mat Blocks(const cv::Mat& f, cv::Rect region, int factor) {
  cv::Mat b;
  cv::resize(f(region), b, cv::Size(region.width / factor, region.height / factor), 0, 0, cv::INTER_AREA);
  return b;
}

// The share of the template's contrast energy that averaging over blocks of
// `factor` keeps, the block grid starting at `phase`: the length of the
// projection of the normalised template onto the block-constant pictures.
double Retention(const cv::Mat& t, double energy, int factor, cv::Point phase) {
  const int w = (t.cols - phase.x) / factor * factor, h = (t.rows - phase.y) / factor * factor;
  if (w <= 0 || h <= 0 || energy <= 0) return 0;
  const cv::Mat b = Blocks(t, {phase.x, phase.y, w, h}, factor);
  return std::sqrt(std::max(0.0, CentredEnergy(b) * factor * factor / energy));
}

// The normalised correlation of two float pictures of one size (each
// channel's mean taken away, the norm over all channels), summed in double;
// 0 when either is flat.
double Correlation(const cv::Mat& a, const cv::Mat& b) {
  const int cn = a.channels();
  const cv::Scalar ma = cv::mean(a), mb = cv::mean(b);
  double ab = 0, aa = 0, bb = 0;
  for (int y = 0; y < a.rows; ++y) {
    const float* pa = a.ptr<float>(y);
    const float* pb = b.ptr<float>(y);
    for (int x = 0; x < a.cols; ++x)
      for (int c = 0; c < cn; ++c) {
        const double da = pa[x * cn + c] - ma[c], db = pb[x * cn + c] - mb[c];
        ab += da * db;
        aa += da * da;
        bb += db * db;
      }
  }
  const double t = std::sqrt(aa * bb);
  return t > 0 ? std::clamp(ab / t, -1.0, 1.0) : 0.0;
}

// The angle (radians) through which the template's block averages turn
// when the template moves by `shift` pixels under a fixed block grid.
double ShiftAngle(const cv::Mat& t, int factor, cv::Point shift) {
  // Pixels j with both j and j - shift in the template, on whole blocks.
  const int x0 = shift.x > 0 ? factor : 0, y0 = shift.y > 0 ? factor : 0;
  const int x1 = (t.cols + std::min(0, shift.x)) / factor * factor;
  const int y1 = (t.rows + std::min(0, shift.y)) / factor * factor;
  if (x1 - x0 < 2 * factor || y1 - y0 < 2 * factor) return CV_PI / 2;
  const cv::Rect here(x0, y0, x1 - x0, y1 - y0);
  const cv::Rect from = here - shift;
  if ((from & cv::Rect(0, 0, t.cols, t.rows)) != from) return CV_PI / 2;
  const double c = Correlation(Blocks(t, here, factor), Blocks(t, from, factor));
  return std::acos(std::clamp(c, -1.0, 1.0));
}

// What one level of the pyramid keeps of the template.
struct LevelBound {
  double retention = 0;   // the smallest over the grid's phases
  double shiftAngle = 0;  // the largest over half-block shifts
  // The least coarse score (at the nearest coarse place) of a place whose
  // full-resolution score reaches `score`; -1 when nothing follows.
  double For(double score) const {
    if (retention < kMinRetention) return -1;
    const double theta = std::acos(std::clamp(score, -1.0, 1.0));
    const double angle = theta + shiftAngle + kBoundSlack;
    return angle >= CV_PI / 2 ? -1 : std::cos(angle);
  }
};

LevelBound BoundOfLevel(const cv::Mat& t, double energy, int factor) {
  LevelBound b;
  const int h = factor / 2;
  b.retention = 1;
  for (const cv::Point phase : {cv::Point(0, 0), cv::Point(h, 0), cv::Point(0, h), cv::Point(h, h)}) {
    b.retention = std::min(b.retention, Retention(t, energy, factor, phase));
    // A level that keeps too little is never followed, whatever the shifts.
    if (b.retention < kMinRetention) return b;
  }
  for (const cv::Point shift : {cv::Point(h, 0), cv::Point(0, h), cv::Point(h, h), cv::Point(h, -h)})
    b.shiftAngle = std::max(b.shiftAngle, ShiftAngle(t, factor, shift));
  return b;
}

// ---- Scores of single places ----------------------------------------------

// Set on a thread while a PlainTemplateLoops object of it lives.
thread_local bool t_plainLoops = false;

#if CV_SIMD128 && defined(__GNUC__) && defined(__x86_64__)
#define SMT_TEMPLATE_AVX2 1
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && !t_plainLoops;
}

// BlockLevel::CorrelationRow's four-place loop eight places at a time: per
// place the same float operations in the same order (a product and a sum,
// never fused), so each value is the one the narrower loop gives. `sums`
// points at the block sum of the row's first place, `step` floats apart
// from row to row. Returns the first place not done; `most` rises to the
// largest value stored.
__attribute__((target("avx2"))) int CorrelationRowAvx2(const float* sums, size_t step, const float* weights, int bw,
                                                       int bh, int f, float invNorm, float invBlocks, int n,
                                                       float* out, float& most) {
  int x = 0;
  __m256 vMost = _mm256_set1_ps(most);
  const __m256 one = _mm256_set1_ps(1.f), minusOne = _mm256_set1_ps(-1.f);
  const __m256 share = _mm256_set1_ps(1e-2f), vInvNorm = _mm256_set1_ps(invNorm), vInvBlocks = _mm256_set1_ps(invBlocks);
  for (; x + 8 <= n; x += 8) {
    __m256 num = _mm256_setzero_ps(), s1 = _mm256_setzero_ps(), s2 = _mm256_setzero_ps();
    for (int j = 0; j < bh; ++j) {
      const float* row = sums + static_cast<size_t>(j) * f * step + x;
      const float* w = weights + static_cast<size_t>(j) * bw;
      for (int i = 0; i < bw; ++i) {
        const __m256 v = _mm256_loadu_ps(row + i * f);
        num = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(w[i]), v), num);
        s1 = _mm256_add_ps(s1, v);
        s2 = _mm256_add_ps(_mm256_mul_ps(v, v), s2);
      }
    }
    const __m256 spread = _mm256_sub_ps(s2, _mm256_mul_ps(_mm256_mul_ps(s1, s1), vInvBlocks));
    const __m256 usable = _mm256_cmp_ps(spread, _mm256_mul_ps(s2, share), _CMP_GT_OQ);
    __m256 c = _mm256_div_ps(_mm256_mul_ps(num, vInvNorm), _mm256_sqrt_ps(_mm256_blendv_ps(one, spread, usable)));
    c = _mm256_min_ps(_mm256_max_ps(c, minusOne), one);
    c = _mm256_blendv_ps(one, c, usable);
    _mm256_storeu_ps(out + x, c);
    vMost = _mm256_max_ps(vMost, c);
  }
  alignas(32) float lanes[8];
  _mm256_store_ps(lanes, vMost);
  for (const float v : lanes) most = std::max(most, v);
  return x;
}

// Adds the 32-bit lanes into the totals and clears them.
__attribute__((target("avx2"))) void AddLanes(__m256i& vIt, __m256i& vIi, uint64_t& it, uint64_t& ii) {
  alignas(32) uint32_t lanes[2][8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), vIt);
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), vIi);
  for (int l = 0; l < 8; ++l) {
    it += lanes[0][l];
    ii += lanes[1][l];
  }
  vIt = _mm256_setzero_si256();
  vIi = _mm256_setzero_si256();
}

// Whole-number products of a window with the template (`rows` rows of
// `length` bytes): it = window x template, ii = window squared.
__attribute__((target("avx2"))) void WindowProductsAvx2(const uchar* a, size_t aStep, const uchar* t, size_t tStep,
                                                        int rows, int length, uint64_t& it, uint64_t& ii) {
  it = ii = 0;
  __m256i vIt = _mm256_setzero_si256(), vIi = _mm256_setzero_si256();
  // Each 32-bit lane gains at most 2 x 2 x 255^2 a step: the lanes are
  // added into the totals every 4096 steps at the latest.
  int steps = 0;
  for (int y = 0; y < rows; ++y, a += aStep, t += tStep) {
    int k = 0;
    for (; k + 32 <= length; k += 32) {
      const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + k));
      const __m256i vt = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + k));
      const __m256i aLo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(va));
      const __m256i aHi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(va, 1));
      const __m256i tLo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(vt));
      const __m256i tHi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(vt, 1));
      vIt = _mm256_add_epi32(vIt, _mm256_add_epi32(_mm256_madd_epi16(aLo, tLo), _mm256_madd_epi16(aHi, tHi)));
      vIi = _mm256_add_epi32(vIi, _mm256_add_epi32(_mm256_madd_epi16(aLo, aLo), _mm256_madd_epi16(aHi, aHi)));
      if (++steps == 4096) {
        AddLanes(vIt, vIi, it, ii);
        steps = 0;
      }
    }
    if (k + 16 <= length) {
      const __m256i va = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k)));
      const __m256i vt = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k)));
      vIt = _mm256_add_epi32(vIt, _mm256_madd_epi16(va, vt));
      vIi = _mm256_add_epi32(vIi, _mm256_madd_epi16(va, va));
      if (++steps == 4096) {
        AddLanes(vIt, vIi, it, ii);
        steps = 0;
      }
      k += 16;
    }
    for (; k < length; ++k) {
      const unsigned v = a[k];
      it += v * t[k];
      ii += v * v;
    }
  }
  AddLanes(vIt, vIi, it, ii);
}
#endif


// A level's template ready for scoring single places exactly as
// cv::matchTemplate scores them (TM_CCOEFF_NORMED: each channel's mean taken
// away, the norm over all channels), in whole numbers: the window's products
// with the template and with itself in one pass over it, each channel's sum
// from an integral of the area the places of one step cover.
class PlaceScorer {
 public:
  PlaceScorer(const cv::Mat& img, const cv::Mat& t) : image_(img), rows_(t.rows), cols_(t.cols) {
    channels_ = t.channels();
    length_ = t.cols * t.channels();
    templ_ = t.isContinuous() ? t : t.clone();
    templSum_ = cv::sum(t);
    count_ = static_cast<double>(t.total());
    // The centred template's norm from whole-number sums (no picture of
    // its own): the sum of squares less each channel's sum squared over
    // the count.
    uint64_t squares = 0;
    for (int y = 0; y < t.rows; ++y) {
      const uchar* p = templ_.ptr<uchar>(y);
      for (int k = 0; k < length_; ++k) squares += static_cast<uint64_t>(p[k]) * p[k];
    }
    double centred = static_cast<double>(squares);
    for (int c = 0; c < channels_ && c < 4; ++c) centred -= templSum_[c] * templSum_[c] / count_;
    centredNorm_ = std::sqrt(std::max(0.0, centred));
  }

  // Channel sums of the windows of the places in `places` (top-left places
  // of this level).
  class Sums {
   public:
    Sums(const PlaceScorer& s, cv::Rect places) : s_(s), origin_(places.tl()) {
      const cv::Rect area(places.x, places.y, places.width + s.cols_ - 1, places.height + s.rows_ - 1);
      // Whole numbers either way; 32-bit sums when no sum can outgrow them
      // (the faster integral).
      wide_ = 255.0 * area.area() > static_cast<double>(std::numeric_limits<int>::max());
      cv::integral(s.image_(area), integral_, wide_ ? CV_64F : CV_32S);
    }
    void At(cv::Point place, double* sum) const {
      if (wide_)
        AtIn<double>(place, sum);
      else
        AtIn<int>(place, sum);
    }

   private:
    template <typename T>
    void AtIn(cv::Point place, double* sum) const {
      const int x = place.x - origin_.x, y = place.y - origin_.y, c = s_.channels_;
      const T* top = integral_.ptr<T>(y);
      const T* bottom = integral_.ptr<T>(y + s_.rows_);
      for (int k = 0; k < c && k < 4; ++k)
        sum[k] = static_cast<double>(bottom[(x + s_.cols_) * c + k] - bottom[x * c + k] - top[(x + s_.cols_) * c + k] +
                                     top[x * c + k]);
    }

    const PlaceScorer& s_;
    cv::Point origin_;
    cv::Mat integral_;
    bool wide_ = false;
  };

  double Score(cv::Point at, const Sums& sums) const {
    double sum[4] = {0, 0, 0, 0};
    sums.At(at, sum);
    return ScoreWithSums(at, sum);
  }
  // The same for a place on its own: the window's channel sums added up here.
  double Score(cv::Point at) const {
    const cv::Scalar s = cv::sum(image_(cv::Rect(at.x, at.y, cols_, rows_)));
    double sum[4] = {s[0], s[1], s[2], s[3]};
    return ScoreWithSums(at, sum);
  }

 private:
  double ScoreWithSums(cv::Point at, const double* sum) const {
    double dot = 0, energy = 0;
#ifdef SMT_TEMPLATE_AVX2
    if (avx2_) {
      uint64_t it = 0, ii = 0;
      WindowProductsAvx2(image_.ptr<uchar>(at.y) + static_cast<size_t>(at.x) * channels_, image_.step, templ_.data,
                         templ_.step, rows_, length_, it, ii);
      dot = static_cast<double>(it);
      energy = static_cast<double>(ii);
    } else
#endif
      for (int y = 0; y < rows_; ++y) {
        const uchar* a = image_.ptr<uchar>(at.y + y) + static_cast<size_t>(at.x) * channels_;
        RowProducts(a, templ_.ptr<uchar>(y), dot, energy);
      }
    for (int c = 0; c < channels_ && c < 4; ++c) {
      dot -= sum[c] * templSum_[c] / count_;
      energy -= sum[c] * sum[c] / count_;
    }
    const double t = energy > 1e-9 ? std::sqrt(energy) * centredNorm_ : 0;
    // As cv::matchTemplate settles a score at or just past the ends.
    if (std::abs(dot) < t) return dot / t;
    if (std::abs(dot) < t * 1.125) return dot > 0 ? 1 : -1;
    return 0;
  }

  void RowProducts(const uchar* a, const uchar* t, double& dot, double& energy) const {
    int k = 0;
    uint64_t it = 0, ii = 0;
#if CV_SIMD128
    cv::v_uint32x4 vIt = cv::v_setzero_u32(), vIi = cv::v_setzero_u32();
    for (; k + 16 <= length_; k += 16) {
      const cv::v_uint8x16 va = cv::v_load(a + k);
      vIt += cv::v_dotprod_expand(va, cv::v_load(t + k));
      vIi += cv::v_dotprod_expand(va, va);
    }
    it += cv::v_reduce_sum(vIt);
    ii += cv::v_reduce_sum(vIi);
#endif
    for (; k < length_; ++k) {
      const unsigned v = a[k];
      it += v * t[k];
      ii += v * v;
    }
    dot += static_cast<double>(it);
    energy += static_cast<double>(ii);
  }

  cv::Mat image_, templ_;
  int rows_ = 0, cols_ = 0, length_ = 0, channels_ = 1;
  cv::Scalar templSum_;
  double count_ = 0, centredNorm_ = 0;
#ifdef SMT_TEMPLATE_AVX2
  bool avx2_ = HasAvx2();  // the loops of the thread that made the scorer
#endif
};

// ---- The descent -----------------------------------------------------------

// A tile of places of one level with their scores.
struct Region {
  cv::Rect places;
  cv::Mat scores;  // CV_32F, places.size(); below -1: not scored
  double best = 0;
};

constexpr float kUnscored = -2.f;

// Regions of places scoring at least `threshold`, neighbours joined and
// large regions cut into tiles, best first.
constexpr int kTile = 6;
std::vector<Region> HighRegions(const ScoreWindow& w, double threshold) {
  std::vector<Region> out;
  cv::Mat mask = w.scores >= threshold;
  if (cv::countNonZero(mask) == 0) return out;
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  for (int i = 1; i < n; ++i) {
    const cv::Rect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                       stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
    for (int y = box.y; y < box.br().y; y += kTile)
      for (int x = box.x; x < box.br().x; x += kTile) {
        const cv::Rect tile = cv::Rect(x, y, kTile, kTile) & box;
        const cv::Mat inRegion = labels(tile) == i;
        if (cv::countNonZero(inRegion) == 0) continue;
        Region r;
        r.places = tile + w.offset;
        r.scores = cv::Mat(tile.size(), CV_32F, cv::Scalar(kUnscored));
        w.scores(tile).copyTo(r.scores, inRegion);
        cv::minMaxLoc(r.scores, nullptr, &r.best);
        out.push_back(std::move(r));
      }
  }
  std::sort(out.begin(), out.end(), [](const Region& a, const Region& b) { return a.best > b.best; });
  return out;
}

struct Pyramid {
  std::vector<cv::Mat> images, templs;
  std::vector<LevelBound> bounds;  // [0] unused
  std::vector<PlaceScorer> scorers;
};

class Descent {
 public:
  Descent(const Pyramid& p, double accept) : p_(p), accept_(accept) {
    // Places of each finer level already scored: the bound only rises, so a
    // place once left behind stays behind.
    // Their memory is kept per thread (fresh pictures of these sizes would
    // be mapped and zero-filled page by page on every search).
    thread_local std::array<cv::Mat, kMaxLevels + 1> kept;
    for (size_t l = 0; l + 1 < p.images.size(); ++l) {
      kept[l].create(AllPlaces(p.images[l], p.templs[l]).size(), CV_8U);
      kept[l].setTo(0);
      seen_.push_back(kept[l]);
    }
  }

  // Follows a region of places of `level` down to full resolution.
  void Follow(const Region& r, int level) {
    const double bound = p_.bounds[static_cast<size_t>(level)].For(Needed());
    if (r.best < bound) return;
    const size_t finerLevel = static_cast<size_t>(level - 1);
    // One level finer: each place that still passes stands for the places
    // whose nearest place at its level it is: twice its position and one
    // place around.
    const cv::Rect all = AllPlaces(p_.images[finerLevel], p_.templs[finerLevel]);
    const cv::Rect finer = cv::Rect(cv::Point(2 * r.places.x - 1, 2 * r.places.y - 1),
                                    cv::Point(2 * r.places.br().x, 2 * r.places.br().y)) &
                           all;
    if (finer.empty()) return;
    cv::Mat wanted = cv::Mat::zeros(finer.size(), CV_8U);
    for (int y = 0; y < r.scores.rows; ++y)
      for (int x = 0; x < r.scores.cols; ++x) {
        if (r.scores.at<float>(y, x) < bound) continue;
        const cv::Point c(2 * (r.places.x + x), 2 * (r.places.y + y));
        const cv::Rect around = cv::Rect(c.x - 1, c.y - 1, 3, 3) & finer;
        wanted(around - finer.tl()).setTo(1);
      }
    cv::Mat& seen = seen_[finerLevel];
    wanted.setTo(0, seen(finer));
    if (cv::countNonZero(wanted) == 0) return;
    seen(finer).setTo(1, wanted);

    // Only the wanted places are scored, one by one.
    ScoreWindow w;
    w.offset = finer.tl();
    w.scores = cv::Mat(finer.size(), CV_32F, cv::Scalar(kUnscored));
    const PlaceScorer& scorer = p_.scorers[finerLevel];
    const PlaceScorer::Sums sums(scorer, finer);
    for (int y = 0; y < finer.height; ++y)
      for (int x = 0; x < finer.width; ++x)
        if (wanted.at<uchar>(y, x))
          w.scores.at<float>(y, x) = static_cast<float>(scorer.Score(finer.tl() + cv::Point(x, y), sums));
    if (finerLevel == 0) {
      Consider(BestOf(w));
      return;
    }
    for (const Region& sub : HighRegions(w, p_.bounds[finerLevel].For(Needed()))) Follow(sub, level - 1);
  }

  const TemplateMatch& Best() const { return best_; }

 private:
  // The score a place must reach to matter: the accept score, or the best
  // found so far.
  double Needed() const { return best_.Found() ? std::max(accept_, best_.score) : accept_; }
  void Consider(const TemplateMatch& m) {
    // Equal scores: the first place in reading order, as the full search.
    if (m.score > best_.score ||
        (m.score == best_.score && (m.topLeft.y < best_.topLeft.y ||
                                    (m.topLeft.y == best_.topLeft.y && m.topLeft.x < best_.topLeft.x))))
      best_ = m;
  }

  const Pyramid& p_;
  double accept_;
  TemplateMatch best_;
  std::vector<cv::Mat> seen_;
};

// The place a search chose with its score as ScoreAt gives it (the same
// computation whichever search chose the place), when it reaches `accept`.
TemplateMatch Accepted(const cv::Mat& image, const cv::Mat& templ, const TemplateMatch& m, double accept) {
  if (!m.Found()) return {};
  const TemplateMatch scored{m.topLeft, ScoreAt(image, templ, m.topLeft)};
  return scored.score >= accept ? scored : TemplateMatch{};
}

// ---- The search bounded by block sums -----------------------------------------
//
// Split a place's centred template T and centred window W each into the part
// that is the same on every channel and on every f x f block (the blocks laid
// from the window's corner) and the rest. The two parts are at right angles,
// so with tau = |T_blocks| / |T|, rho = |W_blocks| / |W|, c the correlation
// of the two block pictures and c' that of the rests (at most 1),
//   score = tau rho c + sqrt(1 - tau^2) sqrt(1 - rho^2) c'
//        <= sqrt(1 - tau^2 (1 - c^2))     (c >= 0; sqrt(1 - tau^2) for c < 0)
// whatever the window's share rho. The block picture of a window is read
// from the frame's block sums (of all channels) at the place, every f-th
// pixel: no phase of the block grid is left out. A place whose bound stays
// below the best score known cannot be the best; the bound of a coarse block
// size is computed for every place, the places it keeps are bounded again
// with finer blocks, and those left are scored at full resolution. Nothing
// but this reasoning and the rounding of the bounds is assumed (no bound on
// what averaging keeps of the template), so a template whose contrast is
// mostly fine grain or noise is searched this way too.

// Rounding allowed for in a block correlation (float sums), and in a score.
// An error e in the correlation moves the bound by at most tau^2 e.
constexpr double kCorrelationRounding = 1e-3;
constexpr double kScoreRounding = 1e-6;
// Places scored at full resolution at most before the whole-frame search is
// cheaper.
constexpr size_t kMaxBoundedPlaces = 3000;
// Places kept by the coarse bound at most before the whole-frame search is
// cheaper.
constexpr size_t kMaxCoarsePlaces = 20000;
// Best coarse places scored first, to set the score the others must beat.
constexpr size_t kFirstGuesses = 4;

// The template and frame seen through blocks of one size.
class BlockLevel {
 public:
  // `integral`: the integral (CV_64F) of the frame's channel sums less
  // their mean; `templGrey` the template's channel sums (CV_32F). With
  // `everyPlace` the block sums of every place are laid out for rows of
  // places; else single places read them from the integral.
  BlockLevel(const cv::Mat& integral, const cv::Mat& templGrey, int factor, int channels, double templEnergy,
             bool everyPlace)
      : f_(factor), bw_(templGrey.cols / factor), bh_(templGrey.rows / factor), integral_(integral) {
    if (everyPlace) {
      const int rows = integral.rows - f_, cols = integral.cols - f_;
      thread_local cv::Mat memory;
      memory.create(rows, cols, CV_32F);
      sums_ = memory;
      for (int y = 0; y < rows; ++y) {
        const double* top = integral.ptr<double>(y);
        const double* bottom = integral.ptr<double>(y + f_);
        float* out = sums_.ptr<float>(y);
        for (int x = 0; x < cols; ++x)
          out[x] = static_cast<float>(bottom[x + f_] - bottom[x] - top[x + f_] + top[x]);
      }
    }
    cv::Mat blocks;
    cv::resize(templGrey, blocks, cv::Size(bw_, bh_), 0, 0, cv::INTER_AREA);
    blocks *= static_cast<double>(f_) * f_;  // block sums
    const cv::Scalar mean = cv::mean(blocks);
    weights_.resize(static_cast<size_t>(bw_) * bh_);
    double norm2 = 0;
    for (int j = 0; j < bh_; ++j)
      for (int i = 0; i < bw_; ++i) {
        const double a = blocks.at<float>(j, i) - mean[0];
        weights_[static_cast<size_t>(j) * bw_ + i] = static_cast<float>(a);
        norm2 += a * a;
      }
    norm_ = std::sqrt(norm2);
    // The blocks' share of the template's contrast: each block sum stands
    // for f * f * channels pixels.
    tau2_ = templEnergy > 0 ? std::min(1.0, norm2 / (static_cast<double>(f_) * f_ * channels) / templEnergy) : 0;
  }

  double Tau2() const { return tau2_; }
  int Blocks() const { return bw_ * bh_; }

  // The block correlation of one place.
  double Correlation(cv::Point at) const {
    double num = 0, s1 = 0, s2 = 0;
    for (int j = 0; j < bh_; ++j) {
      const double* top = integral_.ptr<double>(at.y + j * f_) + at.x;
      const double* bottom = integral_.ptr<double>(at.y + (j + 1) * f_) + at.x;
      const float* w = &weights_[static_cast<size_t>(j) * bw_];
      for (int i = 0; i < bw_; ++i) {
        const int x = i * f_;
        const double v = bottom[x + f_] - bottom[x] - top[x + f_] + top[x];
        num += w[i] * v;
        s1 += v;
        s2 += v * v;
      }
    }
    return Finish(num, s1, s2);
  }

  // The block correlations of the places x0 .. x0 + n - 1 of row y; returns
  // the largest of them.
  float CorrelationRow(int y, int x0, int n, float* out) const {
    int x = 0;
    const int bw = bw_, bh = bh_, f = f_;
    float most = -1.f;
#if CV_SIMD128
    if (norm_ > 0) {
      const float invNorm = static_cast<float>(1.0 / norm_), invBlocks = 1.f / static_cast<float>(bw * bh);
#ifdef SMT_TEMPLATE_AVX2
      // Eight places at a time where the processor can, with the very
      // operations of the loop below.
      if (avx2_) {
        const float* first = sums_.ptr<float>(y) + x0;
        const size_t step = sums_.step1();
        x = CorrelationRowAvx2(first, step, weights_.data(), bw, bh, f, invNorm, invBlocks, n, out, most);
      }
#endif
      cv::v_float32x4 vMost = cv::v_setall_f32(most);
      // Four places at a time, the sums kept in registers over all blocks.
      for (; x + 4 <= n; x += 4) {
        cv::v_float32x4 num = cv::v_setzero_f32(), s1 = cv::v_setzero_f32(), s2 = cv::v_setzero_f32();
        for (int j = 0; j < bh; ++j) {
          const float* row = sums_.ptr<float>(y + j * f) + x0 + x;
          const float* w = &weights_[static_cast<size_t>(j) * bw];
          for (int i = 0; i < bw; ++i) {
            const cv::v_float32x4 v = cv::v_load(row + i * f);
            num = cv::v_fma(cv::v_setall_f32(w[i]), v, num);
            s1 += v;
            s2 = cv::v_fma(v, v, s2);
          }
        }
        // As Finish, four at a time.
        const cv::v_float32x4 spread = s2 - s1 * s1 * cv::v_setall_f32(invBlocks);
        const cv::v_float32x4 usable = spread > s2 * cv::v_setall_f32(1e-2f);
        const cv::v_float32x4 one = cv::v_setall_f32(1.f);
        cv::v_float32x4 c = num * cv::v_setall_f32(invNorm) / cv::v_sqrt(cv::v_select(usable, spread, one));
        c = cv::v_min(cv::v_max(c, cv::v_setall_f32(-1.f)), one);
        c = cv::v_select(usable, c, one);
        cv::v_store(out + x, c);
        vMost = cv::v_max(vMost, c);
      }
      most = std::max(most, cv::v_reduce_max(vMost));
    }
#endif
    for (; x < n; ++x) {
      out[x] = static_cast<float>(Correlation(cv::Point(x0 + x, y)));
      most = std::max(most, out[x]);
    }
    return most;
  }

 private:
  double Finish(double num, double s1, double s2) const {
    const double spread = s2 - s1 * s1 / Blocks();
    // A window flat in blocks says nothing, and one whose block sums are
    // mostly their common level leaves the float sums' rounding too large
    // a share of the spread: bound by 1.
    if (!(spread > 1e-2 * s2) || norm_ <= 0) return 1.0;
    return std::clamp(num / (norm_ * std::sqrt(spread)), -1.0, 1.0);
  }

  int f_, bw_, bh_;
  cv::Mat integral_, sums_;
  std::vector<float> weights_;
  double norm_ = 0, tau2_ = 0;
#ifdef SMT_TEMPLATE_AVX2
  bool avx2_ = HasAvx2();  // the loops of the thread that made the level
#endif
};

// The least block correlation of a place that may still reach `score`
// (the bound above, less its rounding); -1 when every place may.
double LeastCorrelation(double tau2, double score) {
  const double needed = score - kScoreRounding - tau2 * kCorrelationRounding;
  if (needed <= 0 || tau2 <= 0) return -1;
  const double rest = 1.0 - (1.0 - needed * needed) / tau2;
  return rest <= 0 ? -1 : std::sqrt(rest);
}

// Each pixel's channel sum less `less`, as float.
void ChannelSums(const cv::Mat& m, float less, cv::Mat& out) {
  const int cn = m.channels();
  out.create(m.rows, m.cols, CV_32F);
  for (int y = 0; y < m.rows; ++y) {
    const uchar* p = m.ptr<uchar>(y);
    float* o = out.ptr<float>(y);
    int x = 0;
#if CV_SIMD128
    // Sixteen pixels at a time: the sums are whole numbers below 2^24, so
    // the float values are those of the loop below.
    const cv::v_float32x4 vLess = cv::v_setall_f32(less);
    auto store = [&](const cv::v_uint16x8& lo, const cv::v_uint16x8& hi, float* dst) {
      cv::v_uint32x4 a, b, c, d;
      cv::v_expand(lo, a, b);
      cv::v_expand(hi, c, d);
      cv::v_store(dst, cv::v_cvt_f32(cv::v_reinterpret_as_s32(a)) - vLess);
      cv::v_store(dst + 4, cv::v_cvt_f32(cv::v_reinterpret_as_s32(b)) - vLess);
      cv::v_store(dst + 8, cv::v_cvt_f32(cv::v_reinterpret_as_s32(c)) - vLess);
      cv::v_store(dst + 12, cv::v_cvt_f32(cv::v_reinterpret_as_s32(d)) - vLess);
    };
    if (cn == 3) {
      for (; x + 16 <= m.cols; x += 16) {
        cv::v_uint8x16 r, g, b;
        cv::v_load_deinterleave(p + 3 * x, r, g, b);
        cv::v_uint16x8 r0, r1, g0, g1, b0, b1;
        cv::v_expand(r, r0, r1);
        cv::v_expand(g, g0, g1);
        cv::v_expand(b, b0, b1);
        store(r0 + g0 + b0, r1 + g1 + b1, o + x);
      }
    } else if (cn == 1) {
      for (; x + 16 <= m.cols; x += 16) {
        cv::v_uint16x8 lo, hi;
        cv::v_expand(cv::v_load(p + x), lo, hi);
        store(lo, hi, o + x);
      }
    }
#endif
    for (; x < m.cols; ++x) {
      int sum = 0;
      for (int k = 0; k < cn; ++k) sum += p[x * cn + k];
      o[x] = static_cast<float>(sum) - less;
    }
  }
}

// The places of a map of bounds on the score searched best first: the few
// places of the highest bounds are scored exactly, which sets the bar; then
// every place whose bound reaches the bar is scored. `least(needed)` gives
// the bound a place must reach for the score `needed` (nullopt: every place
// may, the map does not settle it); `narrow` may strike places off the
// list before they are scored. Nullopt when the map does not settle the
// search (more than `maxOpen` places to score, or more than `maxScored`
// after narrowing).
template <class Least, class Narrow>
std::optional<TemplateMatch> BestAboveBounds(const cv::Mat& map, const std::vector<float>& rowMost,
                                             const PlaceScorer& scorer, double accept, Least least, Narrow narrow,
                                             size_t maxOpen, size_t maxScored) {
  const int placesY = map.rows, placesX = map.cols;
  TemplateMatch best;
  auto consider = [&](cv::Point at) {
    const double score = scorer.Score(at);
    // Equal scores: the first place in reading order, as the full search.
    if (score > best.score ||
        (score == best.score && (at.y < best.topLeft.y || (at.y == best.topLeft.y && at.x < best.topLeft.x))))
      best = {at, score};
  };
  std::vector<std::pair<float, cv::Point>> guesses;
  for (int y = 0; y < placesY; ++y) {
    if (guesses.size() == kFirstGuesses && !(rowMost[static_cast<size_t>(y)] > guesses.back().first)) continue;
    const float* row = map.ptr<float>(y);
    for (int x = 0; x < placesX; ++x)
      if (guesses.size() < kFirstGuesses || row[x] > guesses.back().first) {
        if (guesses.size() == kFirstGuesses) guesses.pop_back();
        guesses.emplace_back(row[x], cv::Point(x, y));
        std::sort(guesses.begin(), guesses.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
      }
  }
  for (const auto& g : guesses) consider(g.second);
  const std::optional<double> bar = least(std::max(accept, best.score));
  if (!bar) return std::nullopt;
  std::vector<cv::Point> open;
  for (int y = 0; y < placesY; ++y) {
    if (!(rowMost[static_cast<size_t>(y)] >= *bar)) continue;
    const float* row = map.ptr<float>(y);
    for (int x = 0; x < placesX; ++x)
      if (row[x] >= *bar) {
        if (open.size() >= maxOpen) return std::nullopt;
        open.emplace_back(x, y);
      }
  }
  narrow(open, std::max(accept, best.score));
  if (open.size() > maxScored) return std::nullopt;
  for (const cv::Point& at : open) consider(at);
  return best;
}

// The best place by the block bound; `decided` false when the bound cannot
// settle the search at a fair cost (the caller searches the whole frame).
TemplateMatch SearchByBlockBound(const cv::Mat& image, const cv::Mat& templ, double accept, bool& decided) {
  decided = false;
  // The coarse block size: blocks of the template's sides, four at least.
  int coarse = 0;
  for (const int f : {32, 16, 8, 4})
    if (templ.cols % f == 0 && templ.rows % f == 0 && templ.cols / f >= 4 && templ.rows / f >= 4) {
      coarse = f;
      break;
    }
  if (coarse == 0) return {};
  const int cn = image.channels();
  cv::Mat t32;
  templ.convertTo(t32, CV_32F);
  const double energy = CentredEnergy(t32);
  if (!(energy > 0)) return {};
  cv::Mat templGrey;
  ChannelSums(templ, 0.f, templGrey);
  // A template whose blocks keep too little of its contrast for the bound
  // to strike any place at the accept score (mostly fine grain or noise)
  // is left to the next search before the frame is touched: here only a
  // place found first with a high score could settle it, and the next
  // search finds that place as soon.
  if (LeastCorrelation(BlockLevel(cv::Mat(), templGrey, coarse, cn, energy, false).Tau2(), accept) < 0) return {};
  // Channel sums; the frame's less their mean keep the sums' rounding small.
  // The frame's pictures keep their memory per thread: fresh ones of this
  // size would be mapped and zero-filled page by page on every search.
  thread_local cv::Mat frameGrey, integral;
  const cv::Scalar frameMean = cv::mean(image);
  double meanSum = 0;
  for (int k = 0; k < cn; ++k) meanSum += frameMean[k];
  ChannelSums(image, static_cast<float>(meanSum), frameGrey);
  cv::integral(frameGrey, integral, CV_64F);
  const BlockLevel coarseLevel(integral, templGrey, coarse, cn, energy, true);
  const int fine = coarse / 4;
  std::optional<BlockLevel> fineLevel;
  if (fine >= 2) fineLevel.emplace(integral, templGrey, fine, cn, energy, false);
  if (!(coarseLevel.Tau2() > 1e-6)) return {};

  const int placesX = image.cols - templ.cols + 1, placesY = image.rows - templ.rows + 1;
  thread_local cv::Mat c;
  c.create(placesY, placesX, CV_32F);
  // Each row's largest value lets the scans below pass over rows that hold
  // nothing they look for.
  thread_local std::vector<float> rowMost;
  rowMost.resize(static_cast<size_t>(placesY));
  for (int y = 0; y < placesY; ++y) rowMost[static_cast<size_t>(y)] = coarseLevel.CorrelationRow(y, 0, placesX, c.ptr<float>(y));

  const PlaceScorer scorer(image, templ);
  const std::optional<TemplateMatch> best = BestAboveBounds(
      c, rowMost, scorer, accept,
      [&](double needed) -> std::optional<double> {
        const double least = LeastCorrelation(coarseLevel.Tau2(), needed);
        if (least < 0) return std::nullopt;  // every place may reach it
        return least;
      },
      [&](std::vector<cv::Point>& open, double needed) {
        if (!fineLevel) return;
        const double fineLeast = LeastCorrelation(fineLevel->Tau2(), needed);
        if (fineLeast < 0) return;
        std::vector<cv::Point> kept;
        for (const cv::Point& at : open)
          if (fineLevel->Correlation(at) >= fineLeast) kept.push_back(at);
        open.swap(kept);
      },
      kMaxCoarsePlaces, kMaxBoundedPlaces);
  if (!best) return {};
  decided = true;
  return Accepted(image, templ, *best, accept);
}

// ---- The search bounded by the channels' common part ----------------------
//
// Split the centred template T into the part every channel shares (its
// channel mean, Tg, repeated on each channel) and the rest D (each channel
// less that mean, summing to zero over the channels at every pixel); the
// centred window W likewise into Wg and Wd. The parts are at right angles,
// and Tg's correlation with W is that with the window's channel sums G:
//   <T, W> = <Tg, G> + <D, Wd> <= <Tg, G> + |D| |Wd|
// so score <= (<Tg, G> + |D| |Wd|) / (|T| |W|) at every place. The first
// term is one correlation of two single-channel pictures over the whole
// frame (by one transform of the frame's channel sums); |W| and |Wd| come
// from running window sums in whole numbers. On a single-channel frame, or
// where the channels are alike, D is nothing and the bound is the score
// itself (to the transform's rounding); where each channel has its own
// noise the bound lies above the score by at most that noise's share. It
// assumes nothing about the template's grain: a near-flat template, mostly
// noise, searched in a frame other than its own is settled this way. Places
// whose bound reaches the best score known are scored exactly.

// The transform's rounding allowed for, as a share of |G| |Tg| (the norms
// of the whole frame's channel sums and of the template's channel mean):
// float's epsilon times the passes of a transform, with room to spare.
constexpr double kTransformRounding = 2e-5;
// Places scored at full resolution at most before the whole-frame search is
// cheaper.
constexpr size_t kMaxGreyBoundPlaces = 4000;
// Bands of places transformed side by side at most.
constexpr int kMaxGreyBands = 4;

// Each place's window energies along one row of places: |W|^2 into
// `total` and |Wd|^2 into `diff`, from window sums in whole numbers (of
// every channel, of the squares, of the squared channel sums). The sums
// over the template's height are kept per column and moved down the frame
// by adding the row that enters and taking away the row that leaves.
template <int CN>
class WindowEnergyRows {
 public:
  WindowEnergyRows(const cv::Mat& image, cv::Size t) : image_(image), t_(t) {
    const size_t cols = static_cast<size_t>(image.cols);
    for (auto& c : col_) c.assign(cols + 1, 0);
    for (auto& c : prefix_) c.assign(cols + 1, 0);
    for (int y = 0; y < t.height; ++y) AddRow(y, 1);
  }

  // Row y of places (y = 0, 1, 2, ... in turn).
  void Row(int y, float* total, float* diff) {
    if (y > 0) {
      AddRow(y - 1, -1);
      AddRow(y + t_.height - 1, 1);
    }
    const int cols = image_.cols, placesX = cols - t_.width + 1;
    for (int k = 0; k < CN + 2; ++k) {
      const int64_t* c = col_[static_cast<size_t>(k)].data();
      int64_t* p = prefix_[static_cast<size_t>(k)].data();
      int64_t run = 0;
      for (int x = 0; x < cols; ++x) {
        p[x] = run;
        run += c[x];
      }
      p[cols] = run;
    }
    const double n = static_cast<double>(t_.area()), invN = 1.0 / n;
    const int w = t_.width;
    for (int x = 0; x < placesX; ++x) {
      double sumSquares = 0;
      int64_t g = 0;
      for (int k = 0; k < CN; ++k) {
        const int64_t* p = prefix_[static_cast<size_t>(k)].data();
        const int64_t v = p[x + w] - p[x];
        g += v;
        sumSquares += static_cast<double>(v) * static_cast<double>(v);
      }
      const int64_t* q = prefix_[CN].data();
      const int64_t* g2 = prefix_[CN + 1].data();
      const double all = static_cast<double>(q[x + w] - q[x]) - sumSquares * invN;
      const double gd = static_cast<double>(g);
      const double grey = (static_cast<double>(g2[x + w] - g2[x]) - gd * gd * invN) / CN;
      total[x] = static_cast<float>(std::max(0.0, all));
      diff[x] = static_cast<float>(std::max(0.0, all - grey));
    }
  }

 private:
  void AddRow(int y, int sign) {
    const uchar* p = image_.ptr<uchar>(y);
    const int cols = image_.cols;
    int64_t* q = col_[CN].data();
    int64_t* g2 = col_[CN + 1].data();
    for (int x = 0; x < cols; ++x) {
      int g = 0, sq = 0;
      for (int k = 0; k < CN; ++k) {
        const int v = p[x * CN + k];
        col_[static_cast<size_t>(k)][static_cast<size_t>(x)] += sign * v;
        g += v;
        sq += v * v;
      }
      q[x] += sign * sq;
      g2[x] += sign * static_cast<int64_t>(g) * g;
    }
  }

  const cv::Mat& image_;
  cv::Size t_;
  std::array<std::vector<int64_t>, CN + 2> col_, prefix_;
};

// The bound of one row of places (see above) from the correlation with the
// common part and the windows' energies; returns the row's largest.
float BoundRow(const float* corr, const float* total, const float* diff, int n, float tNorm, float dNorm,
               float rounding, float* out) {
  int x = 0;
  float most = -2.f;
#if CV_SIMD128
  const cv::v_float32x4 vT = cv::v_setall_f32(tNorm), vD = cv::v_setall_f32(dNorm), vR = cv::v_setall_f32(rounding);
  const cv::v_float32x4 one = cv::v_setall_f32(1.f), tiny = cv::v_setall_f32(1e-9f), slack = cv::v_setall_f32(1e-6f);
  cv::v_float32x4 vMost = cv::v_setall_f32(most);
  for (; x + 4 <= n; x += 4) {
    const cv::v_float32x4 w = cv::v_sqrt(cv::v_load(total + x)) * vT;
    const cv::v_float32x4 num = cv::v_load(corr + x) + vD * cv::v_sqrt(cv::v_load(diff + x)) + vR;
    const cv::v_float32x4 usable = w > tiny;
    cv::v_float32x4 b = cv::v_min(num / cv::v_select(usable, w, one), one);
    b = cv::v_select(usable, b, one) + slack;
    cv::v_store(out + x, b);
    vMost = cv::v_max(vMost, b);
  }
  most = cv::v_reduce_max(vMost);
#endif
  for (; x < n; ++x) {
    const float w = std::sqrt(total[x]) * tNorm;
    // A flat window scores 0 (PlaceScorer): bound it by 1 and let it be scored.
    const float b = w > 1e-9f ? std::min(1.f, (corr[x] + dNorm * std::sqrt(diff[x]) + rounding) / w) : 1.f;
    out[x] = b + 1e-6f;
    most = std::max(most, out[x]);
  }
  return most;
}

// The best place by the channels' common part; `decided` false when the
// bound cannot settle the search at a fair cost.
TemplateMatch SearchByGreyBound(const cv::Mat& image, const cv::Mat& templ, double accept, bool& decided) {
  decided = false;
  const int cn = image.channels();
  if (cn < 1 || cn > 4) return {};
  const int placesX = image.cols - templ.cols + 1, placesY = image.rows - templ.rows + 1;
  // The template: each channel centred, their mean Tg and the rest's norm.
  cv::Mat t64;
  templ.convertTo(t64, CV_64F);
  const cv::Scalar tMean = cv::mean(t64);
  cv::Mat tg(templ.rows, templ.cols, CV_32F);
  double energy = 0, greyEnergy = 0;
  for (int y = 0; y < templ.rows; ++y) {
    const double* p = t64.ptr<double>(y);
    float* o = tg.ptr<float>(y);
    for (int x = 0; x < templ.cols; ++x) {
      double s = 0;
      for (int k = 0; k < cn; ++k) {
        const double v = p[x * cn + k] - tMean[k];
        s += v;
        energy += v * v;
      }
      o[x] = static_cast<float>(s / cn);
      greyEnergy += cn * (s / cn) * (s / cn);
    }
  }
  if (!(energy > 0)) return {};
  const double tNorm = std::sqrt(energy), dNorm = std::sqrt(std::max(0.0, energy - greyEnergy));
  // Even a window all of whose contrast lay in the channels' differences
  // could not reach the accept score: only the common part can carry it.

  // The frame's channel sums less their mean, and the correlation of Tg
  // with them at every place, by transforms. The rows of places are cut
  // into bands, each band's rows of the frame transformed on its own, side
  // by side where processors are free: the bands' transforms together are
  // little more work than the whole frame's and take a part of its time.
  thread_local cv::Mat frameSums;  // kept: fresh ones would be mapped page by page
  const cv::Scalar frameMean = cv::mean(image);
  double meanSum = 0;
  for (int k = 0; k < cn; ++k) meanSum += frameMean[k];
  ChannelSums(image, static_cast<float>(meanSum), frameSums);
  // The transform's rounding is taken on the whole frame's norm, which no
  // band's exceeds.
  const double frameNorm = cv::norm(frameSums);
  const int bands = std::clamp(placesY / std::max(64, templ.rows), 1, kMaxGreyBands);
  const int bandPlaces = (placesY + bands - 1) / bands;
  const int bandRows = bandPlaces + templ.rows - 1;
  const cv::Size size(cv::getOptimalDFTSize(image.cols), cv::getOptimalDFTSize(bandRows));
  // The template's transform, the same for every band.
  thread_local cv::Mat pattern, patternSpectrum;
  pattern.create(size, CV_32F);
  pattern.setTo(0);
  tg.copyTo(pattern(cv::Rect(0, 0, templ.cols, templ.rows)));
  cv::dft(pattern, patternSpectrum, 0, templ.rows);
  // Each channel sum stands for cn pixels of Tg: <Tg, G> per place.
  const double greyNorm = std::sqrt(greyEnergy / cn);
  const double rounding = kTransformRounding * frameNorm * greyNorm;

  // The bound of every place; the best ones first.
  thread_local cv::Mat bound;
  bound.create(placesY, placesX, CV_32F);
  thread_local std::vector<float> rowMost;
  rowMost.assign(static_cast<size_t>(placesY), -2.f);
  // (The shared pictures are named through references: a thread_local
  // named on another thread would be that thread's own.)
  const cv::Mat &sums = frameSums, &spectrumOfPattern = patternSpectrum;
  cv::Mat& bounds = bound;
  std::vector<float>& most = rowMost;
  const cv::Size tSize = templ.size();
  cv::parallel_for_(
      cv::Range(0, bands),
      [&, size, bandPlaces, placesY, placesX, cn, tNorm, dNorm, rounding](const cv::Range& r) {
        // Each thread's pictures kept from one search to the next.
        thread_local cv::Mat band, spectrum, products;
        thread_local std::vector<float> total, diff;
        total.resize(static_cast<size_t>(placesX));
        diff.resize(static_cast<size_t>(placesX));
        for (int b = r.start; b < r.end; ++b) {
          const int y0 = b * bandPlaces;
          const int rowsOfPlaces = std::min(bandPlaces, placesY - y0);
          if (rowsOfPlaces <= 0) continue;
          const int frameRows = rowsOfPlaces + tSize.height - 1;
          band.create(size, CV_32F);
          sums.rowRange(y0, y0 + frameRows).copyTo(band(cv::Rect(0, 0, sums.cols, frameRows)));
          if (size.width > sums.cols) band(cv::Rect(sums.cols, 0, size.width - sums.cols, size.height)).setTo(0);
          if (size.height > frameRows) band(cv::Rect(0, frameRows, sums.cols, size.height - frameRows)).setTo(0);
          cv::dft(band, spectrum, 0, frameRows);
          cv::mulSpectrums(spectrum, spectrumOfPattern, products, 0, true);
          cv::dft(products, products, cv::DFT_INVERSE | cv::DFT_SCALE | cv::DFT_REAL_OUTPUT, rowsOfPlaces);
          const cv::Mat frameBand = image.rowRange(y0, y0 + frameRows);
          auto rows = [&](auto energies) {
            for (int y = 0; y < rowsOfPlaces; ++y) {
              energies.Row(y, total.data(), diff.data());
              most[static_cast<size_t>(y0 + y)] =
                  BoundRow(products.ptr<float>(y), total.data(), diff.data(), placesX, static_cast<float>(tNorm),
                           static_cast<float>(dNorm), static_cast<float>(rounding), bounds.ptr<float>(y0 + y));
            }
          };
          switch (cn) {
            case 1: rows(WindowEnergyRows<1>(frameBand, tSize)); break;
            case 2: rows(WindowEnergyRows<2>(frameBand, tSize)); break;
            case 3: rows(WindowEnergyRows<3>(frameBand, tSize)); break;
            default: rows(WindowEnergyRows<4>(frameBand, tSize)); break;
          }
        }
      },
      bands);

  const PlaceScorer scorer(image, templ);
  const std::optional<TemplateMatch> best = BestAboveBounds(
      bound, rowMost, scorer, accept,
      [](double needed) -> std::optional<double> { return static_cast<float>(needed - kScoreRounding); },
      [](std::vector<cv::Point>&, double) {}, kMaxGreyBoundPlaces, kMaxGreyBoundPlaces);
  if (!best) return {};
  decided = true;
  return Accepted(image, templ, *best, accept);
}

// The block-bounded search, or the whole frame when it cannot settle it.
TemplateMatch BlockBoundOrFull(const cv::Mat& image, const cv::Mat& templ, double accept) {
  bool decided = false;
  TemplateMatch m = SearchByBlockBound(image, templ, accept, decided);
  if (decided) return m;
  m = SearchByGreyBound(image, templ, accept, decided);
  return decided ? m : Accepted(image, templ, SearchTemplateFull(image, templ), accept);
}

}  // namespace

bool TemplateSearchTakesAvx2() {
#ifdef SMT_TEMPLATE_AVX2
  return HasAvx2();
#else
  return false;
#endif
}

PlainTemplateLoops::PlainTemplateLoops() : before_(t_plainLoops) { t_plainLoops = true; }
PlainTemplateLoops::~PlainTemplateLoops() { t_plainLoops = before_; }

double TemplateContrast(const cv::Mat& templ) {
  if (templ.empty()) return 0;
  cv::Scalar mean, dev;
  cv::meanStdDev(templ, mean, dev);
  double most = 0;
  for (int c = 0; c < templ.channels() && c < 4; ++c) most = std::max(most, dev[c]);
  return most;
}

bool HasTemplateContrast(const cv::Mat& templ) { return TemplateContrast(templ) >= kMinTemplateContrast; }

double ScoreAt(const cv::Mat& image, const cv::Mat& templ, cv::Point topLeft) {
  return PlaceScorer(image, templ).Score(topLeft);
}

TemplateMatch SearchTemplateFull(const cv::Mat& image, const cv::Mat& templ) {
  // cv::matchTemplate's map chooses the place; its float score is replaced
  // by the one every search reports.
  const TemplateMatch best = BestOf(ScorePlaces(image, templ, AllPlaces(image, templ)));
  return {best.topLeft, ScoreAt(image, templ, best.topLeft)};
}

TemplateMatch SearchTemplate(const cv::Mat& image, const cv::Mat& templ, double acceptScore) {
  if (!HasTemplateContrast(templ)) return {};
  const double accept = std::clamp(acceptScore, -1.0, 1.0);

  // The deepest level whose template keeps enough pixels and whose bound
  // still tells places apart.
  thread_local cv::Mat t;  // kept (see the halved frames below)
  templ.convertTo(t, CV_32F);
  const double energy = CentredEnergy(t);
  Pyramid p;
  p.bounds.push_back({});
  int levels = 0;
  for (int l = 1; l <= kMaxLevels; ++l) {
    const int factor = 1 << l;
    if (std::min(templ.cols, templ.rows) / factor < kMinCoarseSide) break;
    if (image.cols / factor < templ.cols / factor || image.rows / factor < templ.rows / factor) break;
    p.bounds.push_back(BoundOfLevel(t, energy, factor));
    if (p.bounds.back().For(accept) >= kMinUsefulBound) levels = l;
  }
  if (levels == 0) return BlockBoundOrFull(image, templ, accept);
  p.bounds.resize(static_cast<size_t>(levels) + 1);

  p.images.push_back(image);
  p.templs.push_back(templ);
  // The halved frames keep their memory per thread (see above).
  thread_local std::array<cv::Mat, kMaxLevels + 1> halved;
  for (int l = 1; l <= levels; ++l) {
    // Halving by 2 x 2 averages (the block averages the bound speaks of).
    cv::Mat& i = halved[static_cast<size_t>(l)];
    cv::Mat tl;
    cv::resize(p.images.back(), i, cv::Size(p.images.back().cols / 2, p.images.back().rows / 2), 0, 0, cv::INTER_AREA);
    cv::resize(p.templs.back(), tl, cv::Size(p.templs.back().cols / 2, p.templs.back().rows / 2), 0, 0,
               cv::INTER_AREA);
    p.images.push_back(i);
    p.templs.push_back(tl);
  }
  for (size_t l = 0; l < p.images.size(); ++l) p.scorers.emplace_back(p.images[l], p.templs[l]);
  const cv::Mat& coarseImage = p.images.back();
  const cv::Mat& coarseTempl = p.templs.back();
  const ScoreWindow coarse = ScoreAllPlacesByTransform(coarseImage, coarseTempl);
  const double bound = p.bounds.back().For(accept);
  // No coarse place reaches the bound: no place reaches the accept score.
  if (BestOf(coarse).score < bound) return {};
  const std::vector<Region> regions = HighRegions(coarse, bound);
  if (regions.size() > kMaxRegions) return BlockBoundOrFull(image, templ, accept);

  Descent d(p, accept);
  for (const Region& r : regions) d.Follow(r, levels);
  return Accepted(image, templ, d.Best(), accept);
}

}  // namespace smt::vision

#include "vision/TemplateSearch.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace smt::vision {

namespace {

// The template keeps at least this many pixels on its shorter side at the
// coarsest level; below it the coarse scores stop telling parts apart.
constexpr int kMinCoarseSide = 16;
constexpr int kMaxLevels = 3;
// Places followed down from each level: every region of places scoring
// within the margin of that level's best (a sharp peak loses height when
// blurred, and similar parts give many near-equal peaks), at most
// kMaxRegions of them, best first.
constexpr double kCoarseMargin = 0.2;
constexpr double kFineMargin = 0.1;
constexpr int kMaxRegions = 64;

// Scores of the template's top-left places within `places` (a rectangle of
// places of one level), as a map whose (0, 0) is places.tl().
struct ScoreWindow {
  cv::Mat scores;
  cv::Point offset;
};

ScoreWindow ScorePlaces(const cv::Mat& image, const cv::Mat& templ, cv::Rect places) {
  const cv::Mat window =
      image(cv::Rect(places.x, places.y, places.width + templ.cols - 1, places.height + templ.rows - 1));
  ScoreWindow w;
  cv::matchTemplate(window, templ, w.scores, cv::TM_CCOEFF_NORMED);
  w.offset = places.tl();
  return w;
}

struct Region {
  cv::Rect places;  // top-left places of one level
  double best = 0;
};

// Regions of places scoring at least `threshold`, neighbours joined.
void HighRegions(const ScoreWindow& w, double threshold, std::vector<Region>& out) {
  cv::Mat mask = w.scores >= threshold;
  cv::dilate(mask, mask, cv::Mat());
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  for (int i = 1; i < n; ++i) {
    const cv::Rect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                       stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
    double best = 0;
    const cv::Mat inRegion = labels(box) == i;
    cv::minMaxLoc(w.scores(box), nullptr, &best, nullptr, nullptr, inRegion);
    out.push_back({box + w.offset, best});
  }
}

void KeepBest(std::vector<Region>& regions) {
  std::sort(regions.begin(), regions.end(), [](const Region& a, const Region& b) { return a.best > b.best; });
  if (static_cast<int>(regions.size()) > kMaxRegions) regions.resize(kMaxRegions);
}

TemplateMatch BestOf(const ScoreWindow& w) {
  double v = 0;
  cv::Point at;
  cv::minMaxLoc(w.scores, nullptr, &v, nullptr, &at);
  return {at + w.offset, v};
}

}  // namespace

TemplateMatch SearchTemplateFull(const cv::Mat& image, const cv::Mat& templ) {
  return BestOf(ScorePlaces(image, templ, cv::Rect(0, 0, image.cols - templ.cols + 1, image.rows - templ.rows + 1)));
}

TemplateMatch SearchTemplate(const cv::Mat& image, const cv::Mat& templ) {
  int levels = 0;
  while (levels < kMaxLevels && (std::min(templ.cols, templ.rows) >> (levels + 1)) >= kMinCoarseSide) ++levels;
  if (levels == 0) return SearchTemplateFull(image, templ);

  std::vector<cv::Mat> images{image}, templs{templ};
  for (int l = 1; l <= levels; ++l) {
    // Halving by 2 x 2 averages: cheap, and blur enough for the coarse
    // search.
    cv::Mat i, t;
    cv::resize(images.back(), i, cv::Size(images.back().cols / 2, images.back().rows / 2), 0, 0, cv::INTER_AREA);
    cv::resize(templs.back(), t, cv::Size(templs.back().cols / 2, templs.back().rows / 2), 0, 0, cv::INTER_AREA);
    images.push_back(i);
    templs.push_back(t);
  }
  const cv::Mat& coarseImage = images[static_cast<size_t>(levels)];
  const cv::Mat& coarseTempl = templs[static_cast<size_t>(levels)];
  if (coarseTempl.cols > coarseImage.cols || coarseTempl.rows > coarseImage.rows)
    return SearchTemplateFull(image, templ);

  const ScoreWindow coarse = ScorePlaces(
      coarseImage, coarseTempl,
      cv::Rect(0, 0, coarseImage.cols - coarseTempl.cols + 1, coarseImage.rows - coarseTempl.rows + 1));
  const double coarseBest = BestOf(coarse).score;
  if (!(coarseBest == coarseBest)) return SearchTemplateFull(image, templ);  // no score (a flat template)
  std::vector<Region> regions;
  HighRegions(coarse, coarseBest - kCoarseMargin, regions);
  KeepBest(regions);

  for (int l = levels - 1; l >= 0; --l) {
    const cv::Mat& img = images[static_cast<size_t>(l)];
    const cv::Mat& tpl = templs[static_cast<size_t>(l)];
    const cv::Rect all(0, 0, img.cols - tpl.cols + 1, img.rows - tpl.rows + 1);
    // Each region one level finer: twice its places, with a place of
    // rounding around them.
    std::vector<ScoreWindow> windows;
    TemplateMatch best;
    for (const Region& r : regions) {
      const cv::Rect finer = cv::Rect(cv::Point(2 * r.places.x - 2, 2 * r.places.y - 2),
                                      cv::Point(2 * r.places.br().x + 1, 2 * r.places.br().y + 1)) &
                             all;
      if (finer.empty()) continue;
      windows.push_back(ScorePlaces(img, tpl, finer));
      const TemplateMatch m = BestOf(windows.back());
      if (m.score > best.score) best = m;
    }
    if (windows.empty()) break;
    if (l == 0) return best;
    regions.clear();
    for (const ScoreWindow& w : windows) HighRegions(w, best.score - kFineMargin, regions);
    KeepBest(regions);
  }
  return SearchTemplateFull(image, templ);
}

}  // namespace smt::vision

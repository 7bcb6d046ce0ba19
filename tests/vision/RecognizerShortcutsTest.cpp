// The recognisers' shortcuts give the library's answers to the last bit:
// each is held against the plain library call (or the plain search it
// replaces) on the contours of every package picture an operator meets and
// on tables of drawings with thin and thick lines, discs, rings and turned
// bars, where contours pass pixels twice and hulls have flat sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "tests/vision/PackageScenes.h"
#include "vision/CornerRecognizers.h"
#include "vision/PartRecognizers.h"
#include "vision/RecognizerGeometry.h"
#include "vision/SquareEvidence.h"

using namespace smt::vision;

namespace {

bool SameBits(const cv::RotatedRect& a, const cv::RotatedRect& b) {
  return a.center.x == b.center.x && a.center.y == b.center.y && a.size.width == b.size.width &&
         a.size.height == b.size.height && std::memcmp(&a.angle, &b.angle, sizeof a.angle) == 0;
}

// The library's answers the shortcuts replace.
std::vector<cv::Point> LibraryHull(const Contour& c) {
  std::vector<cv::Point> hull;
  cv::convexHull(c, hull, false, true);
  return hull;
}
cv::Point2f LibraryCircleCentre(const Contour& c, float& radius) {
  cv::Point2f centre;
  cv::minEnclosingCircle(c.size() > 64 ? LibraryHull(c) : c, centre, radius);
  return centre;
}

// Every shortcut on one contour against the library; returns the number of
// contours checked (1).
int ExpectLibraryAnswers(const Contour& c, const std::string& what) {
  std::vector<cv::Point> hull;
  ContourHull(c, hull);
  EXPECT_EQ(hull, LibraryHull(c)) << what << ", " << c.size() << " points";
  EXPECT_TRUE(SameBits(MinAreaRectOfContour(c), cv::minAreaRect(c))) << what;
  EXPECT_TRUE(SameBits(MinAreaRectNormalized(c), NormalizeRotatedRect(cv::minAreaRect(c)))) << what;
  EXPECT_EQ(BlobCentre(c), RoundPoint(cv::minAreaRect(c).center)) << what;
  float r = 0.f, libraryR = 0.f;
  const cv::Point2f centre = CircleCentre(c, &r);
  const cv::Point2f libraryCentre = LibraryCircleCentre(c, libraryR);
  EXPECT_TRUE(centre.x == libraryCentre.x && centre.y == libraryCentre.y && r == libraryR) << what;
  return 1;
}

// Drawings of the kinds the recognisers make and meet.
cv::Mat Drawing(unsigned seed) {
  cv::Mat m = cv::Mat::zeros(420, 420, CV_8UC1);
  cv::RNG rng(seed);
  const int count = 1 + static_cast<int>(seed % 7);
  for (int i = 0; i < count; ++i) {
    const cv::Point a(rng.uniform(0, 420), rng.uniform(0, 420)), b(rng.uniform(0, 420), rng.uniform(0, 420));
    switch ((seed + static_cast<unsigned>(i)) % 5) {
      case 0:  // thin lines: the contour passes their pixels twice
        cv::line(m, a, b, cv::Scalar(255), 1, cv::LINE_8);
        break;
      case 1:
        cv::line(m, a, b, cv::Scalar(255), 2, cv::LINE_8);
        break;
      case 2:
        cv::circle(m, a, rng.uniform(1, 70), cv::Scalar(255), cv::FILLED, cv::LINE_8);
        break;
      case 3:
        cv::circle(m, a, rng.uniform(2, 70), cv::Scalar(255), rng.uniform(1, 3), cv::LINE_8);
        break;
      default: {
        // Turned bars, some square to the picture (flat top and bottom rows).
        const float turn = (seed % 3 == 0) ? 0.f : static_cast<float>(rng.uniform(0.0, 180.0));
        const cv::RotatedRect bar(a, cv::Size2f(rng.uniform(2.f, 120.f), rng.uniform(2.f, 60.f)), turn);
        cv::Point2f q[4];
        bar.points(q);
        std::vector<cv::Point> poly(q, q + 4);
        cv::fillConvexPoly(m, poly, cv::Scalar(255), cv::LINE_8);
      }
    }
  }
  return m;
}

TEST(RecognizerShortcuts, ContourHullRectangleAndCircleAreTheLibrarysOnDrawings) {
  int checked = 0, passedTwice = 0;
  for (unsigned seed = 1; seed <= 160; ++seed) {
    for (const Contour& c : BlobSearch(Drawing(seed))) {
      checked += ExpectLibraryAnswers(c, "drawing " + std::to_string(seed));
      std::vector<cv::Point> sorted = c;
      std::sort(sorted.begin(), sorted.end(), [](cv::Point a, cv::Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
      passedTwice += std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
    }
  }
  // The table holds long outlines and contours that pass pixels twice.
  EXPECT_GT(checked, 300);
  EXPECT_GT(passedTwice, 50);
}

TEST(RecognizerShortcuts, ContourHullRectangleAndCircleAreTheLibrarysOnPackagePictures) {
  for (const visiontest::PackageCase& pc : visiontest::PackageCases()) {
    for (size_t k = 0; k < visiontest::PictureConditions().size(); ++k) {
      const visiontest::PictureCondition& cond = visiontest::PictureConditions()[k];
      const cv::Mat frame = visiontest::RenderPackage(pc, cond);
      const SearchSquare sq = ComputeSearchSquare(frame.cols, frame.rows, cond.boxMm, cond.pixelsPerMm);
      ASSERT_EQ(sq.status, SearchSquare::Status::Ok);
      const cv::Mat binary = PrepareBinarySquare(frame(sq.rect), cond.threshold, cond.invert);
      const std::string what = visiontest::PackageCaseLabel(pc) + ", picture " + std::to_string(k);
      const ContourList blobs = BlobSearch(binary);
      for (const Contour& c : blobs) ExpectLibraryAnswers(c, what);
      // The long outlines read back from the scratch area: thick outlines
      // round every blob, joined by the centres' hull.
      std::vector<cv::Point> centres;
      for (const Contour& c : blobs) centres.push_back(BlobCentre(c));
      ScratchArea scratch(binary.size());
      scratch.Outlines(blobs, 2);
      scratch.ClosedHull(centres);
      for (const Contour& c : scratch.Extract()) ExpectLibraryAnswers(c, what + ", scratch outline");
    }
  }
}

}  // namespace

namespace {

// The ball grid with a mark as it was read before the search measured only
// the blobs that can reach far enough: every centre worked out, every pair
// compared.
cv::RotatedRect TriangleMarkMeasuringEveryBlob(const cv::Mat& binary) {
  const ContourList contours = BlobSearch(binary);
  if (contours.size() < 5) return NotFoundRect();
  const int n = static_cast<int>(contours.size());
  std::vector<cv::Point> centre(n);
  std::vector<float> radius(n);
  for (int i = 0; i < n; ++i) centre[i] = RoundPoint(LibraryCircleCentre(contours[i], radius[i]));
  auto distance = [&](int i, int j) {
    const int64_t dx = centre[i].x - centre[j].x, dy = centre[i].y - centre[j].y;
    return dx * dx + dy * dy;
  };
  int fi = 0, fj = 0;
  int64_t best = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (distance(i, j) > best) {
        best = distance(i, j);
        fi = i;
        fj = j;
      }
  const int mark = radius[fi] > radius[fj] ? fi : fj;
  std::vector<int> rest;
  for (int i = 0; i < n; ++i)
    if (i != mark) rest.push_back(i);
  std::vector<double> dist;
  std::vector<std::pair<int, int>> pairs;
  for (size_t p = 0; p < rest.size(); ++p)
    for (size_t q = p + 1; q < rest.size(); ++q) {
      dist.push_back(static_cast<double>(distance(rest[p], rest[q])));
      pairs.emplace_back(rest[p], rest[q]);
    }
  const std::vector<int> picked = PickRankedIndices(dist, 2, true);
  if (picked.size() < 2) return NotFoundRect();
  ScratchArea scratch(binary.size());
  for (int k : picked) scratch.Line(centre[pairs[k].first], centre[pairs[k].second]);
  return scratch.ReExtract();
}

// Ball grids with and without a mark, at turns and sizes, balls missing,
// and stray blobs round them.
cv::Mat BallGrid(unsigned seed) {
  cv::Mat m = cv::Mat::zeros(600, 600, CV_8UC1);
  cv::RNG rng(seed);
  const int rows = rng.uniform(2, 12), cols = rng.uniform(2, 12);
  const double pitch = rng.uniform(14.0, 44.0), turn = seed % 4 == 0 ? 0.0 : rng.uniform(-90.0, 90.0);
  const int ball = std::max(2, static_cast<int>(pitch * rng.uniform(0.2, 0.4)));
  const cv::Point2d middle(rng.uniform(250.0, 350.0), rng.uniform(250.0, 350.0));
  auto at = [&](double x, double y) {
    const double a = turn * CV_PI / 180.0;
    return cv::Point(cvRound(middle.x + x * std::cos(a) - y * std::sin(a)), cvRound(middle.y + x * std::sin(a) + y * std::cos(a)));
  };
  for (int r = 0; r < rows; ++r)
    for (int k = 0; k < cols; ++k)
      if (rng.uniform(0, 20) != 0) cv::circle(m, at((k - (cols - 1) / 2.0) * pitch, (r - (rows - 1) / 2.0) * pitch), ball, cv::Scalar(255), cv::FILLED);
  if (seed % 3 != 0)
    cv::circle(m, at(-(cols / 2.0 + 0.6) * pitch, -(rows / 2.0 + 0.6) * pitch), ball + 3, cv::Scalar(255), cv::FILLED);
  for (int s = static_cast<int>(seed % 5); s > 0; --s)
    cv::circle(m, cv::Point(rng.uniform(0, 600), rng.uniform(0, 600)), rng.uniform(1, 12), cv::Scalar(255), cv::FILLED);
  return m;
}

TEST(RecognizerShortcuts, BallGridWithAMarkMeasuresOnlyFarBlobsAndReadsAsEveryBlobMeasured) {
  int found = 0;
  for (unsigned seed = 1; seed <= 120; ++seed) {
    const cv::Mat m = BallGrid(seed);
    const cv::RotatedRect r = RecognizeBgaTriangleMark(m);
    EXPECT_TRUE(SameBits(r, TriangleMarkMeasuringEveryBlob(m))) << "grid " << seed;
    found += !IsNotFound(r);
  }
  // Nearly every grid reads as a part.
  EXPECT_GT(found, 100);
  for (const visiontest::PackageCase& pc : visiontest::PackageCases())
    for (size_t k = 0; k < visiontest::PictureConditions().size(); ++k) {
      const visiontest::PictureCondition& cond = visiontest::PictureConditions()[k];
      const cv::Mat frame = visiontest::RenderPackage(pc, cond);
      const SearchSquare sq = ComputeSearchSquare(frame.cols, frame.rows, cond.boxMm, cond.pixelsPerMm);
      const cv::Mat binary = PrepareBinarySquare(frame(sq.rect), cond.threshold, cond.invert);
      EXPECT_TRUE(SameBits(RecognizeBgaTriangleMark(binary), TriangleMarkMeasuringEveryBlob(binary)))
          << visiontest::PackageCaseLabel(pc) << ", picture " << k;
    }
}

}  // namespace

namespace {

// The turn refinement read plainly: the disc drawn, every pixel of its box
// looked at one by one, the weights as a float picture made by the
// library's conversion and thresholds, and the library's moments of it.
void RefineByLibraryMoments(const cv::Mat& grey, const cv::Mat& binary, cv::RotatedRect& rect) {
  const double radius = 0.5 * std::hypot(rect.size.width, rect.size.height) * 1.05 + 3.0;
  const cv::Point centre = RoundPoint(rect.center);
  const int r = static_cast<int>(std::ceil(radius));
  const cv::Rect box =
      cv::Rect(centre.x - r - 1, centre.y - r - 1, 2 * r + 3, 2 * r + 3) & cv::Rect(0, 0, binary.cols, binary.rows);
  if (box.empty()) return;
  cv::Mat disc = cv::Mat::zeros(box.size(), CV_8UC1);
  cv::circle(disc, centre - box.tl(), r, cv::Scalar(255), cv::FILLED);
  uint64_t partCount = 0, discCount = 0, partSum = 0, discSum = 0;
  for (int y = 0; y < box.height; ++y)
    for (int x = 0; x < box.width; ++x) {
      if (!disc.at<uint8_t>(y, x)) continue;
      const uint8_t g = grey(box).at<uint8_t>(y, x);
      ++discCount;
      discSum += g;
      if (binary(box).at<uint8_t>(y, x)) {
        ++partCount;
        partSum += g;
      }
    }
  const uint64_t groundCount = discCount - partCount, groundSum = discSum - partSum;
  if (partCount < 20 || groundCount < 20) return;
  const double fg = static_cast<double>(partSum) * (1.0 / static_cast<double>(partCount));
  const double bg = static_cast<double>(groundSum) * (1.0 / static_cast<double>(groundCount));
  if (std::fabs(fg - bg) < 10.0) return;
  cv::Mat w;
  grey(box).convertTo(w, CV_32F, 1.0 / (fg - bg), -bg / (fg - bg));
  cv::threshold(w, w, 1.0, 1.0, cv::THRESH_TRUNC);
  cv::threshold(w, w, 0.0, 0.0, cv::THRESH_TOZERO);
  w.setTo(0, disc == 0);
  const cv::Moments m = cv::moments(w, false);
  if (m.m00 < 20.0) return;
  const double a = m.mu20 / m.m00, b = m.mu11 / m.m00, c = m.mu02 / m.m00;
  const double mean = 0.5 * (a + c), spread = std::sqrt(0.25 * (a - c) * (a - c) + b * b);
  if (mean - spread <= 0.0 || mean + spread < 1.3 * (mean - spread)) return;
  const double axis = 0.5 * std::atan2(2.0 * b, a - c) * 180.0 / CV_PI;
  double d = std::fmod(axis - rect.angle, 90.0);
  if (d > 45.0) d -= 90.0;
  if (d <= -45.0) d += 90.0;
  if (std::fabs(d) < 2.0) rect.angle = static_cast<float>(rect.angle + d);
}

// Chips (and a body) at many turns, sizes, grounds, noise and dark parts
// on bright grounds, some cut by the square's edge: the refined turn is the
// plain reading's to the last bit.
TEST(RecognizerShortcuts, TurnRefinementIsThePlainReadingOfTheLibrarysMoments) {
  int moved = 0, cases = 0;
  for (size_t k = 0; k < visiontest::PictureConditions().size(); ++k)
    for (int turn = 0; turn < 8; ++turn) {
      visiontest::PictureCondition cond = visiontest::PictureConditions()[k];
      cond.pose.turnDeg += turn * 7.3;
      // Off the middle far enough that the disc is cut by the square's edge.
      if (turn == 7) cond.pose.offsetMm = {cond.boxMm * 0.42, cond.boxMm * 0.1};
      for (const visiontest::PackageCase& pc : {visiontest::PackageCases()[0], visiontest::PackageCases()[1]}) {
        const cv::Mat frame = visiontest::RenderPackage(pc, cond, 11 + static_cast<unsigned>(turn));
        const SearchSquare sq = ComputeSearchSquare(frame.cols, frame.rows, cond.boxMm, cond.pixelsPerMm);
        const PreparedSquare prepared = PrepareSquare(frame(sq.rect), cond.threshold, cond.invert);
        const cv::RotatedRect found = DispatchRecognizer(prepared.binary, pc.type, pc.name);
        if (IsNotFound(found)) continue;
        cv::RotatedRect fast = found, plain = found;
        RefineTurnByMoments(prepared.grey, prepared.binary, fast);
        RefineByLibraryMoments(prepared.grey, prepared.binary, plain);
        EXPECT_TRUE(SameBits(fast, plain)) << visiontest::PackageCaseLabel(pc) << ", picture " << k << ", turn " << turn
                                           << ": " << fast.angle << " against " << plain.angle;
        moved += fast.angle != found.angle;
        ++cases;
      }
    }
  EXPECT_GT(cases, 60);
  EXPECT_GT(moved, 20);
}

}  // namespace

namespace {

// Depth inside convex polygons in whole numbers is the library's measured
// point test: hulls of a few to many points, thin slivers, either turn,
// points inside, outside, on the sides and corners and just off them.
TEST(RecognizerShortcuts, DepthInsideAConvexPolygonIsTheLibrarysPointTest) {
  cv::RNG rng(17);
  int deep = 0, shallow = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<cv::Point> points;
    const int count = 3 + round % 40;
    const int spread = round % 5 == 0 ? 6 : 400;
    for (int i = 0; i < count; ++i) points.emplace_back(rng.uniform(0, 400), rng.uniform(200 - spread, 200 + spread));
    std::vector<cv::Point> hull;
    cv::convexHull(points, hull, round % 2 == 0, true);
    const ConvexPolygonDepth inside(hull);
    const std::vector<cv::Point2f> polygon(hull.begin(), hull.end());
    for (int k = 0; k < 200; ++k) {
      cv::Point p(rng.uniform(-10, 410), rng.uniform(-10, 410));
      if (k % 4 == 0) p = hull[static_cast<size_t>(k) % hull.size()] + cv::Point(rng.uniform(-4, 5), rng.uniform(-4, 5));
      for (int depth : {1, 3}) {
        const bool want = hull.size() >= 3 && cv::pointPolygonTest(polygon, cv::Point2f(p), true) >= depth;
        EXPECT_EQ(inside.AtLeast(p, depth), want) << "round " << round << " point " << p << " depth " << depth;
        (want ? deep : shallow) += 1;
      }
    }
  }
  EXPECT_GT(deep, 5000);
  EXPECT_GT(shallow, 5000);
}

}  // namespace

namespace {

// The grey-level counts are the library's histogram: flat grounds, grounds
// clipped to black or white, noise, runs of equal grey that start and end
// anywhere in a row, widths that are and are not multiples of 16, and
// squares cut out of a larger picture.
TEST(RecognizerShortcuts, GreyLevelCountsAreTheLibrarysHistogram) {
  cv::RNG rng(23);
  const int widths[] = {1, 15, 16, 17, 33, 250, 800};
  for (int width : widths)
    for (int round = 0; round < 6; ++round) {
      cv::Mat picture(41, width + 7, CV_8UC1, cv::Scalar(round % 2 ? 0 : 255));
      if (round >= 2) {
        cv::Mat noise(picture.size(), CV_8UC1);
        rng.fill(noise, cv::RNG::NORMAL, 20, round == 5 ? 40 : 2);
        // Noise in bands only: flat stretches between.
        for (int y = 0; y < picture.rows; y += 3) noise.row(y).copyTo(picture.row(y));
      }
      for (int k = 0; k < 5; ++k)
        cv::rectangle(picture, cv::Point(rng.uniform(0, width + 7), rng.uniform(0, 41)),
                      cv::Point(rng.uniform(0, width + 7), rng.uniform(0, 41)), cv::Scalar(rng.uniform(0, 256)), cv::FILLED);
      const cv::Mat square = picture(cv::Rect(3, 2, width, 37));
      cv::Mat library;
      const int channels[] = {0};
      const int bins[] = {256};
      const float range[] = {0, 256};
      const float* ranges[] = {range};
      cv::calcHist(&square, 1, channels, cv::Mat(), library, 1, bins, ranges);
      const GreyHistogram counts = CountGreyLevels(square);
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(counts[static_cast<size_t>(i)], static_cast<uint32_t>(library.at<float>(i)))
            << "width " << width << " round " << round << " level " << i;
    }
}

}  // namespace

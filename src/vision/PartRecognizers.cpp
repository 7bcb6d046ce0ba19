#include "vision/PartRecognizers.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "core/LogFile.h"
#include "platform/MessageService.h"
#include "vision/AngleNormalizers.h"
#include "vision/CornerRecognizers.h"
#include "vision/PackageRecognizers.h"
#include "vision/PartCheck.h"
#include "vision/RecognitionTypes.h"
#include "vision/RecognizerGeometry.h"
#include "vision/SpecialPartRecognizers.h"
#include "vision/SquareEvidence.h"
#include "vision/TemplateSearch.h"
#include "vision/VisionSlots.h"
#include "platform/RefusalTexts.h"

namespace smt::vision {

namespace {

constexpr int kMinPictureWidth = 208;
// The second look's groups lie at least this many grey levels apart, and
// this many times the picture's noise.
constexpr double kMinSmoothedContrast = 6.0;
constexpr double kNoiseToContrast = 2.5;

// A value from a package, mark or settings row that cannot be used on an
// image: one log line and one message, then the recogniser gives up.
void ReportBadValue(const char* who, const std::string& what) {
  const std::string text = std::string(who) + ": " + what;
  CLogFile::Instance().Write(true, "%s", text.c_str());
  smt::platform::ShowMessage(text, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning);
}

// The rectangle covers (nearly) the whole searched square.
bool FillsSquare(const cv::RotatedRect& r, int side) {
  const double limit = 0.95 * side;
  return r.size.width >= limit && r.size.height >= limit;
}

bool CheckThreshold(const char* who, int threshold) {
  if (threshold >= 0 && threshold <= 255) return true;
  ReportBadValue(who, "threshold " + std::to_string(threshold) + " out of range 0..255");
  return false;
}

bool CheckFrame(const char* who, const cv::Mat& image) {
  if (!image.empty() && image.depth() == CV_8U && (image.channels() == 3 || image.channels() == 1)) return true;
  ReportBadValue(who, "no usable camera frame");
  return false;
}

// Handles the square's refusals; true when the square can be searched.
bool AcceptSquare(const char* who, const SearchSquare& sq, double boxMm, double pixelsPerMm) {
  switch (sq.status) {
    case SearchSquare::Status::Ok:
      return true;
    case SearchSquare::Status::TooSmall:
      return false;
    case SearchSquare::Status::TooBig:
      smt::platform::ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_PartTooBig", "元件尺寸太大 !"), smt::platform::MsgButtons::Ok,
                                 smt::platform::MsgIcon::Warning);
      return false;
    case SearchSquare::Status::BadInput: {
      char buf[160];
      std::snprintf(buf, sizeof buf, "box %g mm at %g pixels/mm cannot be used", boxMm, pixelsPerMm);
      ReportBadValue(who, buf);
      return false;
    }
  }
  return false;
}

cv::Mat AsColour(const cv::Mat& m) {
  cv::Mat c;
  if (m.channels() == 1)
    cv::cvtColor(m, c, cv::COLOR_GRAY2BGR);
  else
    c = m.clone();
  return c;
}

// Enlarges narrow pictures so that the texts stay legible; returns the scale.
double EnlargeIfNarrow(cv::Mat& picture) {
  if (picture.cols >= kMinPictureWidth) return 1.0;
  const double scale = static_cast<double>(kMinPictureWidth) / std::max(1, picture.cols);
  cv::resize(picture, picture, cv::Size(kMinPictureWidth, kMinPictureWidth), 0, 0, cv::INTER_LINEAR);
  return scale;
}

void DrawError(cv::Mat& picture) {
  EnlargeIfNarrow(picture);
  cv::putText(picture, "Error", cv::Point(0, static_cast<int>(picture.rows * 0.97)), cv::FONT_HERSHEY_COMPLEX,
              picture.cols / 200.0, cv::Scalar(255, 255, 0), 1, cv::LINE_8);
}

std::string Fixed(const char* prefix, double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%.*f", prefix, decimals, v);
  return buf;
}

}  // namespace

SearchSquare ComputeSearchSquare(int cols, int rows, double boxMm, double pixelsPerMm) {
  SearchSquare sq;
  if (!std::isfinite(boxMm) || !std::isfinite(pixelsPerMm) || pixelsPerMm <= 0.0 || boxMm < 0.0 || cols <= 0 ||
      rows <= 0) {
    sq.status = SearchSquare::Status::BadInput;
    return sq;
  }
  const double raw = boxMm * pixelsPerMm;
  if (raw > 1e8) {
    sq.status = SearchSquare::Status::TooBig;
    return sq;
  }
  int side = static_cast<int>(raw);
  if (side < 5) {
    sq.status = SearchSquare::Status::TooSmall;
    return sq;
  }
  if (side > rows || side > cols) {
    sq.status = SearchSquare::Status::TooBig;
    return sq;
  }
  side -= side % 4;
  sq.side = side;
  sq.rect = cv::Rect((cols - side) / 2, (rows - side) / 2, side, side);
  sq.status = SearchSquare::Status::Ok;
  return sq;
}

CircleResult RecognizePart(const cv::Mat& image, int threshold, bool invert, double boxMm, double pixelsPerMm,
                           double& dXmm, double& dYmm, bool binaryView, double* diameterMm) {
  constexpr const char* who = "RecognizePart";
  CircleResult result;
  if (!CheckFrame(who, image) || !CheckThreshold(who, threshold)) return result;
  const SearchSquare sq = ComputeSearchSquare(image.cols, image.rows, boxMm, pixelsPerMm);
  if (!AcceptSquare(who, sq, boxMm, pixelsPerMm)) return result;
  const cv::Mat square = image(sq.rect);
  cv::Mat blurred;
  cv::blur(square, blurred, cv::Size(5, 5));
  cv::Mat grey;
  if (blurred.channels() == 3)
    cv::cvtColor(blurred, grey, cv::COLOR_BGR2GRAY);
  else
    grey = blurred;
  const GreyHistogram histogram = CountGreyLevels(grey);
  const int level = threshold == 0 ? OtsuLevel(histogram) : threshold;
  cv::Mat binary;
  cv::threshold(grey, binary, level, 255, cv::THRESH_BINARY);
  if (invert) cv::bitwise_not(binary, binary);
  const EnclosingCircle circle = FindLargestEnclosingCircle(BlobSearch(binary));
  // Noise and flat pictures have no target, however round a blob of them is.
  const bool evident = JudgeSquare(WeighSquare(histogram, level, binary, false, invert)) == SquareVerdict::Part;
  result.x = circle.centre.x;
  result.y = circle.centre.y;
  result.radius = circle.radius;
  result.found = evident && circle.centre.x != -1.f && circle.radius < sq.side / 2.0f;

  cv::Mat picture = binaryView ? AsColour(binary) : square.clone();
  if (picture.channels() == 1) picture = AsColour(picture);
  if (result.found) {
    dXmm = (sq.side * 0.5 - circle.centre.x) / pixelsPerMm;
    dYmm = (sq.side * 0.5 - circle.centre.y) / pixelsPerMm;
    const double diameter = 2.0 * circle.radius / pixelsPerMm;
    if (diameterMm) *diameterMm = diameter;
    if (!binaryView) {
      cv::circle(picture, cv::Point(static_cast<int>(circle.centre.x), static_cast<int>(circle.centre.y)),
                 static_cast<int>(circle.radius), cv::Scalar(0, 0, 255), 2, cv::LINE_8);
      EnlargeIfNarrow(picture);
      const double fs = picture.cols / 200.0;
      const cv::Scalar black(0, 0, 0);
      cv::putText(picture, Fixed("x", dXmm, 4), cv::Point(0, static_cast<int>(picture.rows * 0.67)),
                  cv::FONT_HERSHEY_COMPLEX, fs, black, 1, cv::LINE_AA);
      cv::putText(picture, Fixed("y", dYmm, 4), cv::Point(0, static_cast<int>(picture.rows * 0.82)),
                  cv::FONT_HERSHEY_COMPLEX, fs, black, 1, cv::LINE_AA);
      cv::putText(picture, Fixed("d", diameter, 4), cv::Point(0, static_cast<int>(picture.rows * 0.97)),
                  cv::FONT_HERSHEY_COMPLEX, fs, black, 1, cv::LINE_AA);
    }
  } else {
    DrawError(picture);
  }
  PublishVisionResult(0, picture);
  return result;
}

std::vector<cv::Point> RecognizeLabel(const cv::Mat& image, int threshold, int tolerancePercent, double boxMm,
                                      double pixelsPerMm, double lengthMm, double widthMm) {
  constexpr const char* who = "RecognizeLabel";
  std::vector<cv::Point> labels;
  if (!CheckThreshold(who, threshold)) return labels;
  if (tolerancePercent < 0 || tolerancePercent > 100) {
    ReportBadValue(who, "tolerance " + std::to_string(tolerancePercent) + "% out of range 0..100");
    return labels;
  }
  if (image.empty() || image.channels() != 3 || image.depth() != CV_8U) return labels;
  cv::Mat channels[3];
  cv::split(image, channels);
  cv::Mat inverted;
  cv::bitwise_not(channels[0], inverted);
  const SearchSquare sq = ComputeSearchSquare(inverted.cols, inverted.rows, boxMm, pixelsPerMm);
  if (!AcceptSquare(who, sq, boxMm, pixelsPerMm)) return labels;
  // The sizes are checked as decimals first: a label that is not a number,
  // under a pixel or wider than the searched square is refused before any
  // integer conversion.
  const double longPx = std::max(lengthMm, widthMm) * pixelsPerMm;
  const double shortPx = std::min(lengthMm, widthMm) * pixelsPerMm;
  if (!std::isfinite(longPx) || !std::isfinite(shortPx) || shortPx < 1.0 || longPx > sq.side) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "label %g x %g mm does not fit the %d-pixel square at %g pixels/mm", lengthMm,
                  widthMm, sq.side, pixelsPerMm);
    ReportBadValue(who, buf);
    return labels;
  }
  const int longSide = static_cast<int>(longPx);
  const int shortSide = static_cast<int>(shortPx);
  cv::Mat binary = inverted(sq.rect).clone();
  cv::threshold(binary, binary, threshold, 255, cv::THRESH_BINARY);
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::erode(binary, binary, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());
  cv::dilate(binary, binary, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());
  const ContourList contours = BlobSearch(binary);
  const double low = (100.0 - tolerancePercent) / 100.0;
  const double high = (100.0 + tolerancePercent) / 100.0;
  ContourList accepted;
  for (const Contour& c : contours) {
    const cv::RotatedRect r = cv::minAreaRect(c);
    // The library's sides carry float noise (110 comes back as 109.99998);
    // whole pixels are taken to the nearest, not truncated.
    const int longer = static_cast<int>(std::lround(std::max(r.size.width, r.size.height)));
    const int shorter = static_cast<int>(std::lround(std::min(r.size.width, r.size.height)));
    const double rl = static_cast<double>(longer) / longSide;
    const double rs = static_cast<double>(shorter) / shortSide;
    if (low < rl && rl < high && low < rs && rs < high) {
      accepted.push_back(c);
      labels.push_back(RoundPoint(r.center));
    }
  }
  if (labels.empty()) return labels;
  cv::Mat picture = cv::Mat::zeros(sq.side, sq.side, image.type());
  cv::drawContours(picture, accepted, -1, cv::Scalar(255, 255, 255), 2, cv::LINE_8);
  for (const cv::Point& p : labels) cv::circle(picture, p, 3, cv::Scalar(255, 255, 255), 1, cv::LINE_8);
  PublishVisionResult(0, picture);
  const int half = sq.side / 2;
  for (cv::Point& p : labels) p -= cv::Point(half, half);
  return labels;
}

PreparedSquare PrepareSquare(const cv::Mat& square, int threshold, bool invert) {
  PreparedSquare out;
  if (square.channels() == 3)
    cv::cvtColor(square, out.grey, cv::COLOR_BGR2GRAY);
  else
    out.grey = square;  // only read from here on
  const GreyHistogram histogram = CountGreyLevels(out.grey);
  const int level = threshold == 0 ? OtsuLevel(histogram) : threshold;
  cv::threshold(out.grey, out.binary, level, 255, cv::THRESH_BINARY);
  // The opening cleans the part's side: after the inversion for a dark part,
  // so that dark specks of a bright ground do not survive as part.
  if (invert) cv::bitwise_not(out.binary, out.binary);
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::morphologyEx(out.binary, out.binary, cv::MORPH_OPEN, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                   cv::morphologyDefaultBorderValue());
  out.evidence = WeighSquare(histogram, level, out.binary, true, invert);
  return out;
}

namespace {

// The ground's lighting as a plane through the square's outermost pixels
// (the ground, where a part lies inside the square), taken away so that a
// ramp of light does not move the threshold across the part.
void FlattenLighting(cv::Mat& grey) {
  const int rows = grey.rows, cols = grey.cols;
  if (rows < 8 || cols < 8) return;
  // Least squares of g = a + b x + c y over a ring two pixels wide.
  double s[3][3] = {{0}}, t[3] = {0};
  const double cx = (cols - 1) / 2.0, cy = (rows - 1) / 2.0;
  auto add = [&](int x, int y) {
    const double v[3] = {1.0, x - cx, y - cy};
    const double g = grey.at<uint8_t>(y, x);
    for (int i = 0; i < 3; ++i) {
      t[i] += v[i] * g;
      for (int j = 0; j < 3; ++j) s[i][j] += v[i] * v[j];
    }
  };
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      if (x < 2 || y < 2 || x >= cols - 2 || y >= rows - 2) add(x, y);
  cv::Mat A(3, 3, CV_64F, s), B(3, 1, CV_64F, t), X;
  if (!cv::solve(A, B, X, cv::DECOMP_SVD)) return;
  const double b = X.at<double>(1), c = X.at<double>(2);
  if (std::fabs(b) * cols + std::fabs(c) * rows < 2.0) return;  // no ramp to speak of
  cv::Mat f;
  grey.convertTo(f, CV_32F);
  for (int y = 0; y < rows; ++y) {
    float* p = f.ptr<float>(y);
    const double row = c * (y - cy);
    for (int x = 0; x < cols; ++x) p[x] -= static_cast<float>(b * (x - cx) + row);
  }
  f.convertTo(grey, CV_8U);
}

// From Otsu's level to the middle of the two groups' means: the edge of a
// blurred part at half its contrast, whatever share of the square it covers.
int MiddleOfMeans(const GreyHistogram& h, int level) {
  for (int i = 0; i < 16; ++i) {
    const GreySplit s = SplitAt(h, level);
    if (s.darkCount == 0 || s.brightCount == 0) return level;
    const int next = static_cast<int>(std::lround((s.darkMean + s.brightMean) / 2.0));
    if (next == level) break;
    level = next;
  }
  return level;
}

// The picture's noise (grey levels, one standard deviation) from the
// differences of neighbouring pixels: their median, so that the few edges
// of a part do not count.
double NoiseLevel(const cv::Mat& grey) {
  std::array<uint32_t, 256> h{};
  uint64_t n = 0;
  for (int y = 0; y < grey.rows; y += 2) {
    const uint8_t* p = grey.ptr<uint8_t>(y);
    for (int x = 0; x + 1 < grey.cols; x += 2) {
      ++h[static_cast<size_t>(std::abs(p[x] - p[x + 1]))];
      ++n;
    }
  }
  if (n == 0) return 0.0;
  uint64_t seen = 0;
  int median = 0;
  for (; median < 256; ++median) {
    seen += h[static_cast<size_t>(median)];
    if (2 * seen >= n) break;
  }
  // |a - b| of two samples of sd s has the median 0.954 s.
  return median / 0.954;
}

}  // namespace

PreparedSquare PrepareSquareSmoothed(const cv::Mat& square, bool invert) {
  PreparedSquare out;
  cv::Mat grey;
  if (square.channels() == 3)
    cv::cvtColor(square, grey, cv::COLOR_BGR2GRAY);
  else
    grey = square.clone();
  const double noise = NoiseLevel(grey);
  cv::medianBlur(grey, grey, 3);
  FlattenLighting(grey);
  cv::GaussianBlur(grey, grey, cv::Size(5, 5), 1.2);
  out.grey = grey;
  const GreyHistogram histogram = CountGreyLevels(grey);
  const int level = MiddleOfMeans(histogram, OtsuLevel(histogram));
  cv::threshold(grey, out.binary, level, 255, cv::THRESH_BINARY);
  if (invert) cv::bitwise_not(out.binary, out.binary);
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::morphologyEx(out.binary, out.binary, cv::MORPH_OPEN, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                   cv::morphologyDefaultBorderValue());
  out.evidence = WeighSquare(histogram, level, out.binary, true, invert);
  // Smoothing leaves noise a few grey levels wide, which any level splits
  // "far apart" in its own terms: the groups must lie apart by more than
  // the picture's own noise, and by a few grey levels at least.
  const double gap = out.evidence.split.brightMean - out.evidence.split.darkMean;
  if (gap < std::max(kMinSmoothedContrast, kNoiseToContrast * noise)) out.evidence.split = GreySplit{};
  return out;
}

cv::Mat PrepareBinarySquare(const cv::Mat& square, int threshold, bool invert) {
  return PrepareSquare(square, threshold, invert).binary;
}

cv::RotatedRect DispatchRecognizer(const cv::Mat& binary, int type, const std::string& name, bool* known) {
  if (known) *known = true;
  switch (type) {
    case kRecogResistance:
      return RecognizeResistance(binary);
    case kRecogCapacitance:
      return RecognizeCapacitance(binary);
    case kRecogDiode:
      return RecognizeDiode(binary);
    case kRecogTriode:
      return RecognizeTriode(binary);
    case kRecogFootEdge1:
    case kRecogFootEdge2:
    case kRecogBga4PointAngle:
      return RecognizeFootEdge(binary);
    case kRecogFootEdge4:
    case kRecogBga4Chamfer:
      return RecognizeFootEdge4(binary);
    case kRecogBgaTriangleMark:
      return RecognizeBgaTriangleMark(binary);
    case kRecogBga1Chamfer:
      return RecognizeBgaOneChamfer(binary);
    case kRecogSpecial:
      if (name == kSpecialRch110) return RecognizeSpecialRch110(binary);
      if (name == kSpecialKsd42) return RecognizeSpecialKsd42(binary);
      if (name == kSpecialLe224) return RecognizeSpecialLe224(binary);
      if (name == kSpecialG5nb) return RecognizeSpecialG5nb(binary);
      if (name == kSpecialC10x16) return RecognizeSpecialC10x16(binary);
      if (known) *known = false;
      return NotFoundRect();
    default:  // 0, 12 and any value outside 0..13
      return RecognizeGeneral(binary);
  }
}

bool IsKnownRecognizer(int type, const std::string& name) {
  if (type != kRecogSpecial) return true;
  return name == kSpecialRch110 || name == kSpecialKsd42 || name == kSpecialLe224 || name == kSpecialG5nb ||
         name == kSpecialC10x16;
}

double AngleCorrectionForType(int type, const std::string& name, double found, double full, double folded) {
  switch (type) {
    case kRecogResistance:
    case kRecogCapacitance:
    case kRecogDiode:
      return NormalizeAngle90(found, folded);
    case kRecogTriode:
      return NormalizeAngle180(found, full);
    case kRecogSpecial:
      if (name == kSpecialG5nb || name == kSpecialC10x16) return NormalizeAngle180(found, full);
      return NormalizeAngle90(found, folded);
    default:
      return NormalizeAngle45(found, folded);
  }
}

cv::RotatedRect RecognizeSpecialPart(int slot, const cv::Mat& image, int threshold, bool invert, int type,
                                     const std::string& packageName, double boxMm, double pixelsPerMm,
                                     double fullReference, double foldedReference, double& dXmm, double& dYmm,
                                     double& dAngle, bool binaryView, const PartExpectation& expect) {
  constexpr const char* who = "RecognizeSpecialPart";
  if (slot < 0 || slot >= kVisionSlotCount) {
    ReportBadValue(who, "result picture " + std::to_string(slot) + " out of range 0..8");
    return NotFoundRect();
  }
  if (!CheckFrame(who, image) || !CheckThreshold(who, threshold)) return NotFoundRect();
  if (!std::isfinite(fullReference) || !std::isfinite(foldedReference)) {
    ReportBadValue(who, "reference angle is not a number");
    return NotFoundRect();
  }
  const SearchSquare sq = ComputeSearchSquare(image.cols, image.rows, boxMm, pixelsPerMm);
  if (!AcceptSquare(who, sq, boxMm, pixelsPerMm)) return NotFoundRect();
  const cv::Mat square = image(sq.rect);
  if (!IsKnownRecognizer(type, packageName)) {
    smt::platform::ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_NoSpecialFound", "没有找到特殊器件 !"), smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning);
    return NotFoundRect();
  }
  // The type's recogniser on the square as thresholded; with the automatic
  // threshold, when that gives no sound result, once more on the square
  // smoothed and evenly lit (noise, a lighting ramp, a low contrast). A
  // result is only taken when it agrees with the square (PartCheck.h).
  cv::RotatedRect rect = NotFoundRect();
  std::string reason;
  PreparedSquare shown;
  auto attempt = [&](PreparedSquare prepared) -> bool {
    const SquareVerdict verdict = JudgeSquare(prepared.evidence);
    const bool firstLook = shown.binary.empty();
    if (firstLook) shown = prepared;
    if (!reason.empty()) reason += "; ";
    if (verdict != SquareVerdict::Part) {
      reason += SquareVerdictText(verdict);
      return false;
    }
    cv::RotatedRect r = DispatchRecognizer(prepared.binary, type, packageName);
    if (IsNotFound(r)) {
      reason += "the type's recogniser found no part";
      return false;
    }
    // Chips: the turn to a fraction of a pixel step.
    if (type == kRecogGeneral || type == kRecogResistance || type == kRecogCapacitance)
      RefineTurnByMoments(prepared.grey, prepared.binary, r);
    // A result as large as the searched square is the square itself (the
    // threshold let the background through): nothing was found.
    if (FillsSquare(r, sq.side)) {
      reason += SquareVerdictText(SquareVerdict::Ground);
      return false;
    }
    const PartVerdict check = CheckFoundPart(prepared.binary, r, type, packageName, pixelsPerMm, expect);
    if (!check.sound) {
      reason += check.reason;
      return false;
    }
    // Leads and balls on all sides: the sharpest corners agree with the
    // outline of them all, which is the finer of the two.
    if (TakesOutline(type)) {
      double turn = std::fmod(check.outline.angle - r.angle, 90.0);
      if (turn > 45.0) turn -= 90.0;
      if (turn < -45.0) turn += 90.0;
      r.center = check.outline.center;
      r.angle = static_cast<float>(r.angle + turn);
    }
    if (TakesOutlineTurn(type, packageName)) {
      double turn = std::fmod(check.outline.angle - r.angle, 90.0);
      if (turn > 45.0) turn -= 90.0;
      if (turn < -45.0) turn += 90.0;
      r.angle = static_cast<float>(r.angle + turn);
    }
    if (check.measured) {
      r.center = check.measure.center;
      r.angle = check.measure.angle;
    }
    rect = r;
    shown = std::move(prepared);
    return true;
  };
  if (!attempt(PrepareSquare(square, threshold, invert)) && threshold == 0)
    attempt(PrepareSquareSmoothed(square, invert));
  const cv::Mat& binary = shown.binary;
  // The result picture is drawn in the slot itself: the square (or the
  // binary square) is copied there once.
  const cv::Mat base = binaryView || square.channels() == 1 ? AsColour(binaryView ? binary : square) : square;
  if (IsNotFound(rect)) {
    CLogFile::Instance().Write(true, "%s: %s: %s", who, VisionCheckText(kCheckNotFoundKey, kCheckNotFoundText).c_str(),
                               reason.c_str());
    PublishVisionResult(slot, base, [](cv::Mat& picture) { DrawError(picture); });
    return NotFoundRect();
  }
  dAngle = AngleCorrectionForType(type, packageName, rect.angle, fullReference, foldedReference);
  dXmm = (sq.side * 0.5 - rect.center.x) / pixelsPerMm;
  dYmm = (sq.side * 0.5 - rect.center.y) / pixelsPerMm;
  if (binaryView) {
    PublishVisionResult(slot, base);
    return rect;
  }
  const double dX = dXmm, dY = dYmm, dA = dAngle;
  PublishVisionResult(slot, base, [&](cv::Mat& picture) {
    const double scale = EnlargeIfNarrow(picture);
    const double fs = picture.cols / 200.0;
    const cv::Scalar cyan(255, 255, 0);
    auto line = [&](const std::string& t, double f) {
      cv::putText(picture, t, cv::Point(0, static_cast<int>(picture.rows * f)), cv::FONT_HERSHEY_COMPLEX, fs, cyan, 1,
                  cv::LINE_8);
    };
    line(Fixed("x", dX, 4), 0.15);
    line(Fixed("y", dY, 4), 0.30);
    line(Fixed("a", dA, 4), 0.82);
    line(Fixed("w", rect.size.width / pixelsPerMm, 2) + Fixed("h", rect.size.height / pixelsPerMm, 2), 0.97);
    const int cx = static_cast<int>(rect.center.x * scale), cy = static_cast<int>(rect.center.y * scale);
    cv::line(picture, cv::Point(0, cy), cv::Point(picture.cols, cy), cv::Scalar(255, 0, 0), 1, cv::LINE_8);
    cv::line(picture, cv::Point(cx, 0), cv::Point(cx, picture.rows), cv::Scalar(255, 0, 0), 1, cv::LINE_8);
  });
  return rect;
}

cv::RotatedRect MatchTemplateFind(const cv::Mat& image, const cv::Mat& templ, double& score, int& offsetX,
                                  int& offsetY, double acceptScore) {
  cv::RotatedRect result(cv::Point2f(-1.f, -1.f), cv::Size2f(1.f, 1.f), 0.f);
  if (image.empty() || templ.empty() || templ.type() != image.type() || templ.cols > image.cols ||
      templ.rows > image.rows || image.depth() != CV_8U) {
    ReportBadValue("MatchTemplateFind", "the template does not fit the camera frame");
    return result;
  }
  if (!HasTemplateContrast(templ)) {
    // A flat template (an old file) would read 1.000 on any frame: not
    // found, and the log says why (the caller tells the operator).
    CLogFile::Instance().Write(true, "MatchTemplateFind: the template has no contrast");
    PublishVisionResult(0, image.clone());
    return result;
  }
  const TemplateMatch found = SearchTemplate(image, templ, acceptScore);
  if (!found.Found()) {
    PublishVisionResult(0, image.clone());
    return result;
  }
  const cv::Point maxLoc = found.topLeft;
  score = found.score;
  result.center = cv::Point2f(static_cast<float>(maxLoc.x + templ.cols / 2), static_cast<float>(maxLoc.y + templ.rows / 2));
  result.size = cv::Size2f(static_cast<float>(templ.cols), static_cast<float>(templ.rows));
  result.angle = 0.f;
  offsetX = static_cast<int>(image.cols / 2 - result.center.x);
  offsetY = static_cast<int>(image.rows / 2 - result.center.y);
  cv::Mat picture = image.clone();
  cv::rectangle(picture, cv::Rect(maxLoc.x, maxLoc.y, templ.cols, templ.rows), cv::Scalar(0, 0, 255), 1, cv::LINE_8);
  PublishVisionResult(0, picture);
  return result;
}

}  // namespace smt::vision

#pragma once
// The recognisers that the camera view, the runs and the calibration call on
// a camera frame: round targets (marks, nozzle tips), labels, picked parts by
// recognition type, and templates. They never change the caller's image;
// each leaves a picture of what it found in one of the shared result slots
// (VisionSlots.h). Offsets are positive when the target lies left of, or
// above, the middle of the search square.
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "vision/PartCheck.h"
#include "vision/SquareEvidence.h"
#include "vision/TemplateSearch.h"

namespace smt::vision {

// The centred square searched by the part, label and mark recognisers.
struct SearchSquare {
  enum class Status { Ok, TooSmall, TooBig, BadInput };
  Status status = Status::BadInput;
  int side = 0;   // pixels, a multiple of 4
  cv::Rect rect;  // in the image
};
// side = box x scale truncated; below 5 is too small; larger than the
// image's height or width is too big; otherwise lowered to a multiple of 4
// and centred (integer halves). A scale or box that is not a finite positive
// number is bad input.
SearchSquare ComputeSearchSquare(int cols, int rows, double boxMm, double pixelsPerMm);

struct CircleResult {
  float x = -1.f, y = -1.f, radius = 0.f;  // pixels of the search square
  // True only when the circle was accepted and the offsets were written; a
  // circle as large as the square, or one on a square that shows no target
  // at all (noise, a flat picture: SquareEvidence.h), is returned but not
  // found.
  bool found = false;
};

// Round target: blur, grey, threshold (0 = Otsu), optional inversion, the
// enclosing circle of the largest outer contour. On success writes the X and
// Y offsets in millimetres (and the diameter when asked).
CircleResult RecognizePart(const cv::Mat& image, int threshold, bool invert, double boxMm, double pixelsPerMm,
                           double& dXmm, double& dYmm, bool binaryView = false, double* diameterMm = nullptr);

// Rectangular labels of the given length and width (mm, either order) within
// `tolerancePercent`; the centres of all that match, as pixel offsets from the
// middle of the search square (x right, y down).
std::vector<cv::Point> RecognizeLabel(const cv::Mat& image, int threshold, int tolerancePercent, double boxMm,
                                      double pixelsPerMm, double lengthMm, double widthMm);

// Picked part: grey, threshold (0 = Otsu), optional inversion, opening, then
// the recogniser of `recognitionType` (type 13 by package name). A square
// with no part in it (SquareEvidence.h), a result that covers the square and
// one that does not agree with the square or with `expect` (PartCheck.h)
// are not found, the reason in the log; with the automatic threshold a
// second look is taken on the smoothed square (PrepareSquareSmoothed)
// before giving up. On success
// writes dX, dY (mm) and the angle correction dA (degrees) and returns the
// recogniser's rectangle in pixels of the search square; not found leaves the
// outputs untouched. `slot` 0..8 is the result picture slot.
cv::RotatedRect RecognizeSpecialPart(int slot, const cv::Mat& image, int threshold, bool invert, int recognitionType,
                                     const std::string& packageName, double boxMm, double pixelsPerMm,
                                     double fullReference, double foldedReference, double& dXmm, double& dYmm,
                                     double& dAngle, bool binaryView = false,
                                     const PartExpectation& expect = {});

// The recogniser by type (type 13 by name) on a prepared binary square.
// `known` becomes false for type 13 with an unknown name.
cv::RotatedRect DispatchRecognizer(const cv::Mat& binary, int recognitionType, const std::string& packageName,
                                   bool* known = nullptr);
// The correction rule of the type: the angle normaliser applied to the found
// angle and the full or folded reference.
double AngleCorrectionForType(int recognitionType, const std::string& packageName, double foundAngle,
                              double fullReference, double foldedReference);
// Grey, threshold, 3x3 opening, optional inversion of a colour or grey square.
cv::Mat PrepareBinarySquare(const cv::Mat& square, int threshold, bool invert);
// The same, keeping the grey square and what the threshold and the opening
// say about whether a part is there at all (SquareEvidence.h).
struct PreparedSquare {
  cv::Mat grey;    // the square in grey (a view of a grey input)
  cv::Mat binary;  // thresholded, opened, inverted when asked: part white
  SquareEvidence evidence;
};
PreparedSquare PrepareSquare(const cv::Mat& square, int threshold, bool invert);
// The pictures a preparation works in, kept by a caller from one frame to
// the next: same-sized squares reuse their memory (no fresh pages per
// frame). What a preparation returns are views of them (grey: of the input
// when it is grey already), valid until the next preparation into the same
// buffers.
struct PrepareBuffers {
  cv::Mat grey, binary, work;
};
PreparedSquare PrepareSquare(const cv::Mat& square, int threshold, bool invert, PrepareBuffers& buffers);
// The second look of the automatic threshold: the grey square cleaned of
// specks (3x3 median), its lighting ramp taken away, smoothed (5x5
// Gaussian), thresholded between the two groups' means (from Otsu's
// level), inverted when asked and opened.
PreparedSquare PrepareSquareSmoothed(const cv::Mat& square, bool invert);
PreparedSquare PrepareSquareSmoothed(const cv::Mat& square, bool invert, PrepareBuffers& buffers);
// False for type 13 with a name none of the special recognisers has.
bool IsKnownRecognizer(int recognitionType, const std::string& packageName);

// Best normalised-correlation match of the template over the whole image.
// Writes the score (1 = perfect) and the offset of the match from the middle
// of the image in whole pixels; returns the rectangle around the match.
// Not found (nothing written) for an empty or larger template, a template
// without contrast, or when no place scores `acceptScore`.
cv::RotatedRect MatchTemplateFind(const cv::Mat& image, const cv::Mat& templ, double& score, int& offsetX,
                                  int& offsetY, double acceptScore = kTemplateAcceptScore);

}  // namespace smt::vision

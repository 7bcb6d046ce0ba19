#pragma once
// Recognisers of the common package types. Each takes the prepared binary
// square (8-bit, one channel, white = part), never changes it, and returns a
// rotated rectangle in its pixels, or the not-found rectangle.
#include <opencv2/core.hpp>

namespace smt::vision {

cv::RotatedRect RecognizeGeneral(const cv::Mat& binary);      // types 0, 12
cv::RotatedRect RecognizeResistance(const cv::Mat& binary);   // type 1
cv::RotatedRect RecognizeCapacitance(const cv::Mat& binary);  // type 2
cv::RotatedRect RecognizeDiode(const cv::Mat& binary);        // type 3
cv::RotatedRect RecognizeTriode(const cv::Mat& binary);       // type 4

}  // namespace smt::vision

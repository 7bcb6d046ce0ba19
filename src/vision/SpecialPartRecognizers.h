#pragma once
// Recognisers of the special parts of type 13, chosen by package name.
// Same contract as PackageRecognizers.h.
#include <opencv2/core.hpp>

namespace smt::vision {

cv::RotatedRect RecognizeSpecialRch110(const cv::Mat& binary);  // "RCH-110NP-101K"
cv::RotatedRect RecognizeSpecialKsd42(const cv::Mat& binary);   // "KSD42"
cv::RotatedRect RecognizeSpecialLe224(const cv::Mat& binary);   // "LE224-MX-C3.5"
cv::RotatedRect RecognizeSpecialG5nb(const cv::Mat& binary);    // "G5NB-1ADC12V"
cv::RotatedRect RecognizeSpecialC10x16(const cv::Mat& binary);  // "C10X16"

}  // namespace smt::vision

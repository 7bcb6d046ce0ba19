#pragma once
// Recognisers for parts found by their outer corners: leads on one, two or
// four sides and ball-grid packages. Same contract as PackageRecognizers.h.
#include <opencv2/core.hpp>

namespace smt::vision {

cv::RotatedRect RecognizeFootEdge(const cv::Mat& binary);         // types 5, 6, 9 (4 corners)
cv::RotatedRect RecognizeFootEdge4(const cv::Mat& binary);        // types 7, 10 (8 corners)
cv::RotatedRect RecognizeBgaOneChamfer(const cv::Mat& binary);    // type 11 (5 corners)
cv::RotatedRect RecognizeBgaTriangleMark(const cv::Mat& binary);  // type 8

// The rectangle around the `corners` sharpest hull vertices of the blob
// centres; not found with fewer blobs than `corners`.
cv::RotatedRect RecognizeSharpestCorners(const cv::Mat& binary, int corners);

}  // namespace smt::vision

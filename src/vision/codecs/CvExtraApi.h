#pragma once
// The table of functions the QR-reader and lens-correction plugin hands the
// program. OpenCV's QR reader (with its neural-network module and protobuf)
// and its camera-calibration module (with features2d and flann) are large
// libraries the main window does not need to open, so they are loaded with
// the plugin the first time a code is read or a frame is corrected. Both
// sides are built together, so C++ types pass as they are; the version guards
// against a stale plugin left beside a newer program.
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace smt::vision {

struct CvExtraApi {
  static constexpr int kVersion = 1;
  int version;
  // A new QR reader: with the four network model files when `modelPaths` is
  // not null (detect.prototxt, detect.caffemodel, sr.prototxt,
  // sr.caffemodel), else with classic detection only. Throws what OpenCV
  // throws when the reader cannot be built.
  void* (*qrCreate)(const std::vector<std::string>* modelPaths);
  // Every code in `frame`; throws what OpenCV throws.
  std::vector<std::string> (*qrDecode)(void* reader, const cv::Mat& frame);
  void (*qrDestroy)(void* reader);
  // The maps that take the distortion of camera matrix `k` and coefficients
  // `d` out of a `size` picture (the optimal new camera matrix, CV_16SC2
  // maps for cv::remap). Throws what OpenCV throws.
  void (*undistortMaps)(const cv::Mat& k, const cv::Mat& d, cv::Size size, cv::Mat* map1, cv::Mat* map2);
};

}  // namespace smt::vision

// The one symbol the plugin exports.
extern "C" const smt::vision::CvExtraApi* smt_cvextra_api();

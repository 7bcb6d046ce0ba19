#pragma once
// The table of functions the picture-file and capture plugin hands the
// program. Both sides are built together, so C++ types pass as they are; the
// version guards against a stale plugin left beside a newer program.
#include <opencv2/core.hpp>

namespace smt::vision {

struct CvIoApi {
  static constexpr int kVersion = 1;
  int version;
  // Never throw: failures come back as an empty picture, false or nullptr.
  cv::Mat (*read)(const char* path, int flags);
  bool (*write)(const char* path, const cv::Mat& image);
  void* (*videoOpen)(int node, int width, int height, int* gotWidth, int* gotHeight);
  bool (*videoGrab)(void* device, long long timeoutNs, cv::Mat* frame);
  void (*videoClose)(void* device);
};

}  // namespace smt::vision

// The one symbol the plugin exports.
extern "C" const smt::vision::CvIoApi* smt_cvio_api();

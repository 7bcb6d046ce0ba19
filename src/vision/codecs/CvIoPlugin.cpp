// The picture-file and capture plugin: OpenCV's image codecs and V4L2 capture
// behind the small table in CvIoApi.h.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#include <vector>

#include "vision/codecs/CvIoApi.h"

namespace {

cv::Mat Read(const char* path, int flags) {
  try {
    return cv::imread(path, flags);
  } catch (const cv::Exception&) {
    return {};
  }
}

bool Write(const char* path, const cv::Mat& image) {
  try {
    return cv::imwrite(path, image);
  } catch (const cv::Exception&) {
    return false;
  }
}

void* VideoOpen(int node, int width, int height, int* gotWidth, int* gotHeight) {
  auto* cap = new cv::VideoCapture();
  try {
    if (cap->open(node, cv::CAP_V4L2)) {
      cap->set(cv::CAP_PROP_FRAME_WIDTH, width);
      cap->set(cv::CAP_PROP_FRAME_HEIGHT, height);
      *gotWidth = static_cast<int>(cap->get(cv::CAP_PROP_FRAME_WIDTH));
      *gotHeight = static_cast<int>(cap->get(cv::CAP_PROP_FRAME_HEIGHT));
      return cap;
    }
  } catch (const cv::Exception&) {
  }
  delete cap;
  return nullptr;
}

bool VideoGrab(void* device, long long timeoutNs, cv::Mat* frame) {
  auto* cap = static_cast<cv::VideoCapture*>(device);
  // The V4L2 back end waits for a buffer with select(); waitAny bounds that
  // wait by the time-out, so a stalled device gives "no frame".
  try {
    std::vector<cv::VideoCapture> streams{*cap};
    std::vector<int> ready;
    if (!cv::VideoCapture::waitAny(streams, ready, timeoutNs) || ready.empty()) return false;
    return cap->retrieve(*frame) && !frame->empty();
  } catch (const cv::Exception&) {
    return false;
  }
}

void VideoClose(void* device) {
  auto* cap = static_cast<cv::VideoCapture*>(device);
  try {
    cap->release();
  } catch (const cv::Exception&) {
  }
  delete cap;
}

const smt::vision::CvIoApi kApi{smt::vision::CvIoApi::kVersion, Read, Write, VideoOpen, VideoGrab, VideoClose};

}  // namespace

extern "C" __attribute__((visibility("default"))) const smt::vision::CvIoApi* smt_cvio_api() { return &kApi; }

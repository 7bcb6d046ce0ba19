// The QR-reader and lens-correction plugin: OpenCV's wechat_qrcode and
// calib3d behind the small table in CvExtraApi.h.
#include <opencv2/calib3d.hpp>
#include <opencv2/wechat_qrcode.hpp>

#include "vision/codecs/CvExtraApi.h"

namespace {

using Reader = cv::wechat_qrcode::WeChatQRCode;

void* QrCreate(const std::vector<std::string>* modelPaths) {
  if (!modelPaths) return new Reader();
  const auto& p = *modelPaths;
  return new Reader(p.at(0), p.at(1), p.at(2), p.at(3));
}

std::vector<std::string> QrDecode(void* reader, const cv::Mat& frame) {
  return static_cast<Reader*>(reader)->detectAndDecode(frame);
}

void QrDestroy(void* reader) { delete static_cast<Reader*>(reader); }

void UndistortMaps(const cv::Mat& k, const cv::Mat& d, cv::Size size, cv::Mat* map1, cv::Mat* map2) {
  const cv::Mat newK = cv::getOptimalNewCameraMatrix(k, d, size, 1.0, size, nullptr, false);
  cv::initUndistortRectifyMap(k, d, cv::Mat(), newK, size, CV_16SC2, *map1, *map2);
}

const smt::vision::CvExtraApi kApi{smt::vision::CvExtraApi::kVersion, QrCreate, QrDecode, QrDestroy, UndistortMaps};

}  // namespace

extern "C" __attribute__((visibility("default"))) const smt::vision::CvExtraApi* smt_cvextra_api() { return &kApi; }

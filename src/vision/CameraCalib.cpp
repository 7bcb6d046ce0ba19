#include "vision/CameraCalib.h"

#include <filesystem>
#include <opencv2/imgproc.hpp>

#include "core/LogFile.h"
#include "platform/ReadRefusals.h"
#include "vision/CvExtra.h"

namespace {
constexpr int kMaxImageSide = 100000;
}  // namespace

bool CCameraCalib::ReadFile(const std::string& fileName, cv::Mat& cameraMatrix, cv::Mat& distortion, int* width,
                            int* height) {
  // OpenCV prints its own error for a file that is not there: ask first.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  try {
    cv::FileStorage fs(fileName, cv::FileStorage::READ);
    if (!fs.isOpened()) return false;
    int w = 0, h = 0;
    fs["image_Width"] >> w;
    fs["image_Height"] >> h;
    if (width) *width = w;
    if (height) *height = h;
    // A size no camera has is a damaged file: told once, naming the field.
    for (auto [field, v] : {std::pair{"image_Width", w}, std::pair{"image_Height", h}}) {
      if (v > kMaxImageSide) {
        smt::platform::ReportReadRefusal({fileName, std::string("field \"") + field + "\"", std::to_string(v),
                                          "a whole number in 1.." + std::to_string(kMaxImageSide),
                                          "no lens correction"});
        return false;
      }
    }
    if (w <= 0 || h <= 0) return false;
    cv::Mat k, d;
    fs["Camera_Matrix"] >> k;
    fs["Distortion_Coefficients"] >> d;
    if (k.rows < 1 || d.rows < 1) return false;
    // A matrix that is not 3 x 3 or coefficients of a count the library does
    // not know would throw inside the correction; refuse them here.
    if (k.rows != 3 || k.cols != 3) return false;
    const size_t n = d.total();
    if (!(n == 4 || n == 5 || n == 8 || n == 12 || n == 14)) return false;
    // "nan" or "inf" in a matrix would reach every corrected pixel.
    for (auto [field, m] : {std::pair{"Camera_Matrix", &k}, std::pair{"Distortion_Coefficients", &d}}) {
      cv::Mat as64;
      m->convertTo(as64, CV_64F);
      if (!cv::checkRange(as64, true, nullptr, -1e12, 1e12)) {
        smt::platform::ReportReadRefusal({fileName, std::string("field \"") + field + "\"", "a value that is no finite number",
                                          "finite numbers", "no lens correction"});
        return false;
      }
    }
    k.convertTo(cameraMatrix, CV_64F);
    d.convertTo(distortion, CV_64F);
    return true;
  } catch (const cv::Exception&) {
    return false;
  }
}

bool CCameraCalib::Load(const std::string& fileName) {
  cv::Mat k, d;
  int w = 0, h = 0;
  std::error_code ec;
  const bool present = std::filesystem::is_regular_file(fileName, ec);
  const bool ok = present && ReadFile(fileName, k, d, &w, &h);
  std::lock_guard<std::mutex> lock(m_);
  if (!ok) {
    CLogFile::Instance().Write(true, present ? "Lens file %s could not be read: lens correction off"
                                             : "Lens file %s is missing: lens correction off",
                               fileName.c_str());
    m_bLoaded = false;
    m_CameraMatrix.release();
    m_Distortion.release();
    return false;
  }
  m_nWidth = w;
  m_nHeight = h;
  m_CameraMatrix = k;
  m_Distortion = d;
  m_bLoaded = true;
  return true;
}

void CCameraCalib::Unload() {
  std::lock_guard<std::mutex> lock(m_);
  m_bLoaded = false;
  m_CameraMatrix.release();
  m_Distortion.release();
}

bool CCameraCalib::Undistort(cv::Mat& dst, const cv::Mat& src) const {
  cv::Mat k, d;
  {
    std::lock_guard<std::mutex> lock(m_);
    if (!m_bLoaded) return false;
    k = m_CameraMatrix.clone();
    d = m_Distortion.clone();
  }
  if (src.empty()) return false;
  // A lens without distortion needs no correction. The optimal new camera
  // matrix would still move the picture by half a pixel and scale it by a
  // few parts in ten thousand, shifting every measured position.
  if (cv::countNonZero(d != 0.0) == 0) {
    dst = src.clone();
    return true;
  }
  // The maps come from the lens-correction plugin (OpenCV's calibration
  // module is loaded with the first corrected frame, not at start-up).
  const smt::vision::CvExtraApi* api = smt::vision::CvExtra();
  if (!api) return false;
  const cv::Size size(src.cols, src.rows);
  cv::Mat map1, map2;
  api->undistortMaps(k, d, size, &map1, &map2);
  cv::Mat out;
  cv::remap(src, out, map1, map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar());
  dst = out;
  return true;
}

bool CCameraCalib::IsLoaded() const {
  std::lock_guard<std::mutex> lock(m_);
  return m_bLoaded;
}
int CCameraCalib::ImageWidth() const {
  std::lock_guard<std::mutex> lock(m_);
  return m_nWidth;
}
int CCameraCalib::ImageHeight() const {
  std::lock_guard<std::mutex> lock(m_);
  return m_nHeight;
}
cv::Mat CCameraCalib::CameraMatrix() const {
  std::lock_guard<std::mutex> lock(m_);
  return m_CameraMatrix.clone();
}
cv::Mat CCameraCalib::Distortion() const {
  std::lock_guard<std::mutex> lock(m_);
  return m_Distortion.clone();
}

std::string LensCalibrationFileName(int cameraLens) {
  if (cameraLens == 0) return "cameraCalibrate_data8mm.xml";
  if (cameraLens == 1) return "cameraCalibrate_data6mm.xml";
  return {};
}

int ApplyLensSetting(CCameraCalib& calib, const std::string& appDir, int cameraLens, int calibrator2) {
  const std::string name = LensCalibrationFileName(cameraLens);
  if (!name.empty()) calib.Load((std::filesystem::path(appDir) / name).string());
  return calib.IsLoaded() ? calibrator2 : 0;
}

#pragma once
// Lens correction of visual camera 2: camera matrix and distortion from an
// OpenCV calibration file, applied to frames before they are recognised.
#include <opencv2/core.hpp>
#include <mutex>
#include <string>

class CCameraCalib {
 public:
  // Reads the file. On success the new data is in use; on failure the
  // correction is switched off (the old lens's data is dropped, so a frame
  // is never corrected with a lens that is no longer fitted). True on success.
  bool Load(const std::string& fileName);
  // The file read alone: "image_Width"/"image_Height" > 0 and both matrices
  // with at least one row. `width`/`height` receive the file's image size.
  static bool ReadFile(const std::string& fileName, cv::Mat& cameraMatrix, cv::Mat& distortion, int* width = nullptr,
                       int* height = nullptr);
  // Removes the distortion from `src` into `dst`; false (dst untouched)
  // while nothing is loaded, for an empty source or without the
  // lens-correction plugin (CvExtra.h).
  bool Undistort(cv::Mat& dst, const cv::Mat& src) const;
  // Drops the loaded data.
  void Unload();

  bool IsLoaded() const;
  int ImageWidth() const;
  int ImageHeight() const;
  cv::Mat CameraMatrix() const;
  cv::Mat Distortion() const;

 private:
  mutable std::mutex m_;
  bool m_bLoaded = false;
  int m_nWidth = 0, m_nHeight = 0;
  cv::Mat m_CameraMatrix, m_Distortion;
};

// The lens file of the lens setting: 0 -> "cameraCalibrate_data8mm.xml",
// 1 -> "cameraCalibrate_data6mm.xml", other values -> "" (no file).
std::string LensCalibrationFileName(int cameraLens);

// The settings loader's lens step: loads the lens file of `cameraLens` from
// `appDir` and returns the lens-correction switch to keep: `calibrator2`
// when the calibration is loaded afterwards, else 0 (correction off). A lens
// value with no file loads nothing and keeps what is loaded.
int ApplyLensSetting(CCameraCalib& calib, const std::string& appDir, int cameraLens, int calibrator2);

#include "vision/QrCodeReader.h"

#include <filesystem>
#include <opencv2/wechat_qrcode.hpp>

#include "app/core/LogFile.h"

std::shared_ptr<cv::wechat_qrcode::WeChatQRCode> g_pQRCodeDetector;
std::atomic<bool> g_bQRCodeModelLoaded{false};

std::vector<std::string> QrModelPaths(const std::string& directory) {
  std::string dir = directory.empty() ? std::string("./Model/") : directory;
  const char last = dir.back();
  if (last != '/' && last != '\\') dir += '/';
  return {dir + "detect.prototxt", dir + "detect.caffemodel", dir + "sr.prototxt", dir + "sr.caffemodel"};
}

bool CreateQrCodeReader(const std::string& directory) {
  const std::vector<std::string> paths = QrModelPaths(directory);
  g_bQRCodeModelLoaded = true;
  g_pQRCodeDetector.reset();
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) {
      CLogFile::Instance().Write(true, "QR reader off: model file %s is missing", p.c_str());
      g_bQRCodeModelLoaded = false;
      return false;
    }
  }
  try {
    g_pQRCodeDetector = std::make_shared<cv::wechat_qrcode::WeChatQRCode>(paths[0], paths[1], paths[2], paths[3]);
  } catch (const std::exception& e) {
    CLogFile::Instance().Write(true, "QR reader off: model files in %s not loaded (%s)", paths[0].c_str(), e.what());
    g_pQRCodeDetector.reset();
    g_bQRCodeModelLoaded = false;
  }
  return g_bQRCodeModelLoaded;
}

bool ReadQrCodes(const cv::Mat& frame, std::vector<std::string>& texts) {
  texts.clear();
  auto reader = g_pQRCodeDetector;
  if (!g_bQRCodeModelLoaded || !reader) {
    CLogFile::Instance().Write(true, "load model failed !");
    return false;
  }
  if (frame.empty()) return false;
  try {
    texts = reader->detectAndDecode(frame);
  } catch (const cv::Exception& e) {
    CLogFile::Instance().Write(true, "QR read failed: %s", e.what());
    return false;
  }
  return true;
}

#include "vision/QrCodeReader.h"

#include <filesystem>
#include <mutex>
#include <opencv2/wechat_qrcode.hpp>

#include "core/LogFile.h"

std::shared_ptr<cv::wechat_qrcode::WeChatQRCode> g_pQRCodeDetector;
std::atomic<bool> g_bQRCodeModelLoaded{false};

namespace {
std::mutex g_statusMutex;
std::string g_status;
void SetStatus(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_statusMutex);
  g_status = text;
  if (!text.empty()) CLogFile::Instance().Write(true, "%s", text.c_str());
}
}  // namespace

std::string QrReaderStatus() {
  std::lock_guard<std::mutex> lock(g_statusMutex);
  return g_status;
}

std::vector<std::string> QrModelPaths(const std::string& directory) {
  std::string dir = directory.empty() ? std::string("./Model/") : directory;
  const char last = dir.back();
  if (last != '/' && last != '\\') dir += '/';
  return {dir + "detect.prototxt", dir + "detect.caffemodel", dir + "sr.prototxt", dir + "sr.caffemodel"};
}

namespace {
std::atomic<QrReaderMode> g_mode{QrReaderMode::Off};

// The detector with its classic detection only (no network files).
bool CreateWithoutModels(const std::string& why) {
  try {
    g_pQRCodeDetector = std::make_shared<cv::wechat_qrcode::WeChatQRCode>();
  } catch (const std::exception& e) {
    g_pQRCodeDetector.reset();
    g_mode = QrReaderMode::Off;
    SetStatus("QR reader off: " + why + "; the detector without models failed too (" + e.what() + ")");
    return false;
  }
  g_mode = QrReaderMode::WithoutModels;
  SetStatus("QR reader without network models: " + why);
  return true;
}
}  // namespace

QrReaderMode CurrentQrReaderMode() { return g_mode.load(); }

bool CreateQrCodeReader(const std::string& directory) {
  const std::vector<std::string> paths = QrModelPaths(directory);
  g_bQRCodeModelLoaded = false;
  g_mode = QrReaderMode::Off;
  g_pQRCodeDetector.reset();
  SetStatus("");
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) return CreateWithoutModels("model file " + p + " is missing");
  }
  try {
    g_pQRCodeDetector = std::make_shared<cv::wechat_qrcode::WeChatQRCode>(paths[0], paths[1], paths[2], paths[3]);
  } catch (const std::exception& e) {
    g_pQRCodeDetector.reset();
    return CreateWithoutModels("model files " + paths[0] + " .. " + paths[3] + " not loaded (" + e.what() + ")");
  }
  g_bQRCodeModelLoaded = true;
  g_mode = QrReaderMode::WithModels;
  return true;
}

bool ReadQrCodes(const cv::Mat& frame, std::vector<std::string>& texts) {
  texts.clear();
  auto reader = g_pQRCodeDetector;
  if (!reader) {
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

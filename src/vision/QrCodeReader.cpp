#include "vision/QrCodeReader.h"

#include <filesystem>
#include <mutex>
#include <opencv2/wechat_qrcode.hpp>

#include "core/LogFile.h"

namespace {
// The reader of the process, built once at start-up (the network models are
// costly to load) and read from any thread: the detector is handed out as a
// shared pointer under the lock, so a rebuild never pulls it from under a read.
struct QrReaderState {
  std::mutex m;
  std::shared_ptr<cv::wechat_qrcode::WeChatQRCode> detector;
  QrReaderMode mode = QrReaderMode::Off;
  std::string status;
} g_reader;

void SetStatus(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(g_reader.m);
    g_reader.status = text;
  }
  if (!text.empty()) CLogFile::Instance().Write(true, "%s", text.c_str());
}

void SetReader(std::shared_ptr<cv::wechat_qrcode::WeChatQRCode> detector, QrReaderMode mode) {
  std::lock_guard<std::mutex> lock(g_reader.m);
  g_reader.detector = std::move(detector);
  g_reader.mode = mode;
}
}  // namespace

std::string QrReaderStatus() {
  std::lock_guard<std::mutex> lock(g_reader.m);
  return g_reader.status;
}

std::vector<std::string> QrModelPaths(const std::string& directory) {
  std::string dir = directory.empty() ? std::string("./Model/") : directory;
  const char last = dir.back();
  if (last != '/' && last != '\\') dir += '/';
  return {dir + "detect.prototxt", dir + "detect.caffemodel", dir + "sr.prototxt", dir + "sr.caffemodel"};
}

namespace {
// The detector with its classic detection only (no network files).
bool CreateWithoutModels(const std::string& why) {
  try {
    SetReader(std::make_shared<cv::wechat_qrcode::WeChatQRCode>(), QrReaderMode::WithoutModels);
  } catch (const std::exception& e) {
    SetReader(nullptr, QrReaderMode::Off);
    SetStatus("QR reader off: " + why + "; the detector without models failed too (" + e.what() + ")");
    return false;
  }
  SetStatus("QR reader without network models: " + why);
  return true;
}
}  // namespace

QrReaderMode CurrentQrReaderMode() {
  std::lock_guard<std::mutex> lock(g_reader.m);
  return g_reader.mode;
}

bool CreateQrCodeReader(const std::string& directory) {
  const std::vector<std::string> paths = QrModelPaths(directory);
  SetReader(nullptr, QrReaderMode::Off);
  SetStatus("");
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) return CreateWithoutModels("model file " + p + " is missing");
  }
  try {
    SetReader(std::make_shared<cv::wechat_qrcode::WeChatQRCode>(paths[0], paths[1], paths[2], paths[3]),
              QrReaderMode::WithModels);
  } catch (const std::exception& e) {
    return CreateWithoutModels("model files " + paths[0] + " .. " + paths[3] + " not loaded (" + e.what() + ")");
  }
  return true;
}

bool ReadQrCodes(const cv::Mat& frame, std::vector<std::string>& texts) {
  texts.clear();
  std::shared_ptr<cv::wechat_qrcode::WeChatQRCode> reader;
  {
    std::lock_guard<std::mutex> lock(g_reader.m);
    reader = g_reader.detector;
  }
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

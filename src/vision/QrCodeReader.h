#pragma once
// The program's one QR-code reader, built before the window opens from four
// network model files; without them QR reading stays off.
#include <atomic>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace cv::wechat_qrcode {
class WeChatQRCode;
}

extern std::shared_ptr<cv::wechat_qrcode::WeChatQRCode> g_pQRCodeDetector;
extern std::atomic<bool> g_bQRCodeModelLoaded;

// The four model paths in the detector's order: "detect.prototxt",
// "detect.caffemodel", "sr.prototxt", "sr.caffemodel" under `directory`
// (empty = "./Model/"; a missing "/" or "\" at the end is added).
std::vector<std::string> QrModelPaths(const std::string& directory);

// Builds the reader (replacing any previous one). Missing or unreadable model
// files leave QR reading off with one log line naming the file; returns
// g_bQRCodeModelLoaded.
bool CreateQrCodeReader(const std::string& directory);

// The last line CreateQrCodeReader wrote ("" after a successful load).
std::string QrReaderStatus();

// Decodes every code in the frame with the reader. False with the log line
// "load model failed !" while the reader is off.
bool ReadQrCodes(const cv::Mat& frame, std::vector<std::string>& texts);

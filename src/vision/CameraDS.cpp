#include "vision/CameraDS.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <opencv2/imgproc.hpp>

#include "platform/FileCell.h"
#include "vision/ImageFiles.h"

std::optional<int> VideoNodeNumber(std::string_view entryName) {
  constexpr std::string_view kPrefix = "video";
  if (entryName.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  const std::string_view digits = entryName.substr(kPrefix.size());
  if (digits.empty() || digits.size() > 6) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  const auto n = smt::platform::ParseCellInteger(digits, 0, 999999);
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
}

std::vector<VideoInputDevice> EnumerateVideoInputDevices(const std::string& sysClassDir) {
  std::vector<VideoInputDevice> devices;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(sysClassDir, ec)) {
    const std::string name = entry.path().filename().string();
    // "video<N>": N is the device node's number, digits only.
    const auto node = VideoNodeNumber(name);
    if (!node) continue;
    VideoInputDevice d;
    d.nodeNumber = *node;
    std::ifstream in(entry.path() / "name");
    std::getline(in, d.friendlyName);
    devices.push_back(d);
  }
  std::sort(devices.begin(), devices.end(),
            [](const VideoInputDevice& a, const VideoInputDevice& b) { return a.nodeNumber < b.nodeNumber; });
  return devices;
}

CCameraDS::CCameraDS() = default;

CCameraDS::CCameraDS(FrameSource source) : m_source(std::move(source)), m_bConnected(m_source != nullptr) {
  if (!m_bConnected) return;
  const cv::Mat first = m_source();
  m_nWidth = first.cols;
  m_nHeight = first.rows;
}

CCameraDS::~CCameraDS() { CloseCamera(); }

bool CCameraDS::BindDeviceFilter(int index, VideoInputDevice& device) const {
  if (index < 0) return false;
  const auto devices = EnumerateVideoInputDevices();
  if (index >= static_cast<int>(devices.size())) return false;
  device = devices[index];
  return true;
}

bool CCameraDS::OpenCamera(int index) {
  CloseCamera();
  VideoInputDevice device;
  if (!BindDeviceFilter(index, device)) return false;
  auto cap = smt::vision::OpenVideoDevice(device.nodeNumber, 640, 480);
  if (!cap) return false;
  m_nWidth = cap->Width();
  m_nHeight = cap->Height();
  m_capture = std::move(cap);
  m_bConnected = true;
  return true;
}

bool CCameraDS::QueryFrame(cv::Mat& image, std::chrono::milliseconds timeout) {
  if (m_bConnected && m_source) {
    cv::Mat f = m_source();
    if (f.empty()) return false;
    if (f.channels() == 1) cv::cvtColor(f, f, cv::COLOR_GRAY2BGR);
    image = f;
    return true;
  }
  if (!m_bConnected || !m_capture) return false;
  // The device's wait for a frame is bounded by the time-out, so a stalled
  // device gives "no frame".
  if (!m_capture->Grab(m_frame, std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count()))
    return false;
  if (m_frame.channels() == 1) cv::cvtColor(m_frame, m_frame, cv::COLOR_GRAY2BGR);
  image = m_frame.clone();
  return true;
}

void CCameraDS::CloseCamera() {
  m_capture.reset();
  m_source = nullptr;
  m_frame.release();
  m_bConnected = false;
  m_nWidth = m_nHeight = 0;
}

namespace {
// Where capture cameras come from: the PC's video devices, or what the shell
// or a test put in their place.
struct SourceSlot {
  std::mutex m;
  CaptureDeviceSource source;
} g_source;
CaptureDeviceSource Source() {
  std::lock_guard lk(g_source.m);
  return g_source.source;
}
}  // namespace

void SetCaptureDeviceSource(CaptureDeviceSource source) {
  std::lock_guard lk(g_source.m);
  g_source.source = std::move(source);
}

std::vector<VideoInputDevice> ListCaptureDevices() {
  const auto s = Source();
  return s.list ? s.list() : EnumerateVideoInputDevices();
}

std::unique_ptr<CCameraDS> OpenDirectShowCamera(int index) {
  if (const auto s = Source(); s.open) return s.open(index);
  auto cam = std::make_unique<CCameraDS>();
  if (!cam->OpenCamera(index)) return nullptr;
  return cam;
}

#pragma once
// Capture camera of the second kind (a USB video device), used when the
// industrial cameras are not: device n in the system's list of video input
// devices, opened at 640 x 480, one frame on request. On Linux the devices
// are the V4L2 nodes /dev/videoN, listed in the order of their numbers.
#include <chrono>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smt::vision {
class VideoDevice;
}

struct VideoInputDevice {
  int nodeNumber = -1;       // N of /dev/videoN
  std::string friendlyName;  // from the driver ("" when not readable)
};

// N of a device entry "videoN" (N digits only, at most six); nullopt for
// any other entry.
std::optional<int> VideoNodeNumber(std::string_view entryName);
// The video input devices in a stable order (by node number).
std::vector<VideoInputDevice> EnumerateVideoInputDevices(const std::string& sysClassDir = "/sys/class/video4linux");

class CCameraDS {
 public:
  // Where a camera without a device takes its frames from (a source that
  // gives an empty picture has no frame).
  using FrameSource = std::function<cv::Mat()>;

  CCameraDS();
  // A camera already open on a frame source instead of a device.
  explicit CCameraDS(FrameSource source);
  virtual ~CCameraDS();
  CCameraDS(const CCameraDS&) = delete;
  CCameraDS& operator=(const CCameraDS&) = delete;

  // Opens the index-th device at 640 x 480; false when there is no such
  // device or it does not open.
  bool OpenCamera(int index);
  // The device at that place in the list (false for a negative or missing
  // index).
  bool BindDeviceFilter(int index, VideoInputDevice& device) const;
  // The next frame (8-bit, 3 channels, top-down). False ("no frame") when
  // the camera is not open or no frame arrived within the time-out.
  bool QueryFrame(cv::Mat& image, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
  void CloseCamera();

  bool IsConnected() const { return m_bConnected; }
  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }

 private:
  std::unique_ptr<smt::vision::VideoDevice> m_capture;
  FrameSource m_source;
  cv::Mat m_frame;
  bool m_bConnected = false;
  int m_nWidth = 0, m_nHeight = 0;
};

// A new open camera for device `index`, or nullptr when it cannot be opened.
std::unique_ptr<CCameraDS> OpenDirectShowCamera(int index);

// The capture devices the program lists and opens: the system's video
// devices, or another set (a simulated machine's cameras). Empty functions
// give back the system's.
struct CaptureDeviceSource {
  std::function<std::vector<VideoInputDevice>()> list;
  std::function<std::unique_ptr<CCameraDS>(int index)> open;
};
void SetCaptureDeviceSource(CaptureDeviceSource source);
// The devices of the current source, in their order.
std::vector<VideoInputDevice> ListCaptureDevices();

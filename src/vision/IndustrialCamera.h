#pragma once
// What the program needs of an industrial camera, whatever its maker: found
// by its stored friendly name, a capability, a trigger mode, play and pause,
// the next frame within a time-out, and parameters saved and loaded (its
// settings page is a dialog beside it, CameraSettingsPage). The camera panel
// and the vision steps talk only to this.
#include <chrono>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <stop_token>
#include <string>
#include <vector>

namespace smt::vision {

// Camera roles, fixed by the friendly name stored in the camera.
enum CameraRole : int { kRoleMarkCamera = 0, kRoleVisualCamera1 = 1, kRoleVisualCamera2 = 2 };
inline constexpr int kCameraRoleCount = 3;
// "Mark_Camera", "Visual_Camera_1", "Visual_Camera_2" (exact, case-sensitive);
// -1 for any other name.
int CameraRoleFromName(const std::string& friendlyName);
const char* CameraRoleName(int role);

// 0 continuous, 2 hardware trigger (the values stored for the cameras).
enum class TriggerMode : int { Continuous = 0, Hardware = 2 };

struct CameraCapability {
  int maxWidth = 0;
  int maxHeight = 0;
  bool monochrome = false;
};

// The adjustable parameters kept per camera.
struct CameraParameters {
  double exposureUs = 10000.0;  // 1 .. 1000000
  double analogGain = 1.0;      // 1 .. 16
  int gamma = 100;              // 1 .. 1000
  int contrast = 100;           // 0 .. 200
  bool mirrorX = false;
  bool mirrorY = false;

  // Brings every value into its range; returns false when something was changed.
  bool Clamp();
  bool operator==(const CameraParameters&) const = default;
};

class IIndustrialCamera {
 public:
  virtual ~IIndustrialCamera() = default;

  virtual std::string FriendlyName() const = 0;
  virtual CameraCapability Capability() const = 0;

  virtual bool SetTriggerMode(TriggerMode mode) = 0;
  virtual TriggerMode GetTriggerMode() const = 0;
  virtual bool Play() = 0;
  virtual bool Pause() = 0;
  virtual bool IsPlaying() const = 0;

  // The next frame within `timeout`: false ("no frame") when the camera is
  // paused, no trigger came or nothing arrived in time. Never waits longer;
  // a wait for a paused camera or a trigger also ends, without a frame, as
  // soon as `stop` is requested (shut-down).
  virtual bool GetNextFrame(cv::Mat& frame, std::chrono::milliseconds timeout, std::stop_token stop = {}) = 0;
  virtual std::uint64_t FramesCaptured() const = 0;

  virtual CameraParameters Parameters() const = 0;
  virtual bool SetParameters(const CameraParameters& parameters) = 0;
  // Text file "key=value" per line, written atomically.
  virtual bool SaveParameters(const std::string& fileName) const;
  // Reads the file; unknown keys are ignored, out-of-range values clamped.
  // False (nothing changed) when the file is missing or unreadable.
  virtual bool LoadParameters(const std::string& fileName);
};

// The cameras on the bus, in a stable order.
class ICameraSystem {
 public:
  virtual ~ICameraSystem() = default;
  // At most `maxDevices` cameras (the program asks for 3).
  virtual std::vector<std::shared_ptr<IIndustrialCamera>> Enumerate(int maxDevices) = 0;
};

// The cameras of each role among `cameras` (nullptr where no camera has the
// role's name); `mismatched` receives the names that match no role.
struct CameraRoles {
  std::shared_ptr<IIndustrialCamera> byRole[kCameraRoleCount];
  std::vector<std::string> mismatched;
};
CameraRoles AssignCameraRoles(const std::vector<std::shared_ptr<IIndustrialCamera>>& cameras);

}  // namespace smt::vision

#pragma once
// An industrial camera without hardware: serves frames rendered from a
// scene or read from image files. In continuous mode a playing camera has a
// new frame at once; in hardware-trigger mode a frame exists only after
// FireTrigger() (the machine's trigger line). Paused, it serves nothing.
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/Event.h"
#include "vision/IndustrialCamera.h"
#include "vision/SimulatedScene.h"

namespace smt::vision {

class SimulatedCamera : public IIndustrialCamera {
 public:
  using FrameSource = std::function<cv::Mat()>;
  // A source given the time it may take and the stop of the frame wait it
  // serves (a frame from another process: the wait ends at the stop).
  using TimedFrameSource = std::function<cv::Mat(std::chrono::milliseconds, std::stop_token)>;

  SimulatedCamera(std::string friendlyName, CameraCapability capability);
  // Frames from a scene (rendered anew for every frame, so the test may
  // change the scene between frames).
  void SetScene(std::shared_ptr<const SimulatedScene> scene);
  // Frames from image files, served in turn (unreadable files are skipped).
  bool SetImageFiles(const std::vector<std::string>& files);
  void SetFrameSource(FrameSource source);
  void SetTimedFrameSource(TimedFrameSource source);
  // Frames of trigger pulses from their own source (none: the frame source).
  void SetTriggeredFrameSource(FrameSource source);

  // Trigger pulses another process counts (the board simulator run as its
  // own program): in trigger mode each frame is asked of `source`, which
  // gives a pulse's frame or an empty one while no pulse is waiting; it is
  // asked again until a frame comes or the time-out ends. Switching the
  // trigger mode forgets the pulses waiting there (`drain` is called, before
  // the new mode shows; it must not wait on the other process).
  void SetPolledTriggerSource(TimedFrameSource source, std::function<void()> drain);

  // A hardware trigger pulse: one frame becomes available in trigger mode.
  void FireTrigger();

  std::string FriendlyName() const override { return m_name; }
  CameraCapability Capability() const override { return m_capability; }
  bool SetTriggerMode(TriggerMode mode) override;
  TriggerMode GetTriggerMode() const override { return m_trigger.load(); }
  bool Play() override;
  bool Pause() override;
  bool IsPlaying() const override { return m_playing.load(); }
  bool GetNextFrame(cv::Mat& frame, std::chrono::milliseconds timeout, std::stop_token stop = {}) override;
  std::uint64_t FramesCaptured() const override { return m_frames.load(); }
  CameraParameters Parameters() const override;
  bool SetParameters(const CameraParameters& parameters) override;

 private:
  cv::Mat MakeFrame(bool triggered, std::chrono::milliseconds left, const std::stop_token& stop);

  const std::string m_name;
  const CameraCapability m_capability;
  std::atomic<bool> m_playing{false};
  std::atomic<TriggerMode> m_trigger{TriggerMode::Continuous};
  std::atomic<std::uint64_t> m_frames{0};
  mutable std::mutex m_;
  CameraParameters m_parameters;
  TimedFrameSource m_source;
  FrameSource m_triggeredSource;
  TimedFrameSource m_polledTrigger;
  std::function<void()> m_drainPolled;
  std::vector<cv::Mat> m_files;
  size_t m_nextFile = 0;
  int m_pendingTriggers = 0;
  smt::platform::Event m_triggerEvent{false, false};
};

// A bus of simulated cameras in a fixed order.
class SimulatedCameraSystem : public ICameraSystem {
 public:
  void Add(std::shared_ptr<IIndustrialCamera> camera) { m_cameras.push_back(std::move(camera)); }
  std::vector<std::shared_ptr<IIndustrialCamera>> Enumerate(int maxDevices) override;

 private:
  std::vector<std::shared_ptr<IIndustrialCamera>> m_cameras;
};

}  // namespace smt::vision

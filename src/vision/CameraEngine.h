#pragma once
// The camera panel's engine for the industrial cameras: finds the cameras
// by their stored names, runs one grab thread per camera, the vision loop of
// the flying camera's triggered frames and the display worker of the result
// pictures, and serves frame requests from any thread.
//
// Frame request: RequestFrame(role) makes the role's grab thread publish its
// next frame and waits for it (bounded); RequestJob(role, job) makes the
// grab thread run a panel vision command on its next frame instead. The
// next frame is one the grab thread asks the camera for after the request:
// a frame already on its way shows the machine as it was before.
// Every thread starts through WorkerThreads and ends on Shutdown (or on the
// program's shut-down); every wait in them is bounded.
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <string>

#include "platform/Event.h"
#include "vision/IndustrialCamera.h"

namespace smt::vision {

// Jobs of the next served frame.
enum VisionJob : int { kJobPublish = 0, kJobVisionTest = 1, kJobQrRead = 2, kJobGetTemplate = 3, kJobFindTemplate = 4 };

inline constexpr int kFrameRingSize = 13;

// Cursor of the live view: a blue cross through the middle and a yellow
// square of `boxSide` pixels (at most the image's height).
void DrawCrossCursor(cv::Mat& image, int boxSide);
// The centred part of the frame that the live view shows: width and height
// times the zoom, the width lowered to a multiple of 4. Shares the pixels.
cv::Mat CutCentredView(const cv::Mat& frame, double displayZoom);

class CameraEngine {
 public:
  struct Callbacks {
    // A vision command (jobs 1..4) on a frame; called on the grab thread.
    std::function<void(int role, int job, const cv::Mat& frame, int workImage)> runJob;
    // A live picture (the cut view with the cursor) of the role; grab thread.
    std::function<void(int role, const cv::Mat& view)> showLive;
    // The frame size of a role changed; grab thread.
    std::function<void(int role, int width, int height)> sizeChanged;
    // A triggered frame of the flying camera for head n (1-based); vision loop.
    std::function<void(int head, const cv::Mat& frame)> flyFrame;
    // A result picture of slot 0..8 to paint; display worker.
    std::function<void(int slot, const cv::Mat& picture)> showWorkImage;
    // Operator messages of the start-up (default: the message service).
    std::function<void(const std::string&)> message;
  };

  CameraEngine();
  ~CameraEngine();
  CameraEngine(const CameraEngine&) = delete;
  CameraEngine& operator=(const CameraEngine&) = delete;

  void SetCallbacks(Callbacks callbacks);
  // Frames faster than this are not taken (keeps a free-running camera from
  // eating the processor); 0 takes every frame.
  void SetMinFrameInterval(std::chrono::milliseconds interval);

  // Enumerates up to three cameras, assigns roles by name, starts the grab
  // threads (and the vision loop with visual camera 1) and plays the first
  // matched camera (every matched one on machine type 4). Returns the number
  // of cameras enumerated; 0 after "No camera found !".
  int StartCameras(ICameraSystem& system, int machineType);
  // Starts the display worker of the result pictures.
  bool StartDisplayWorker();
  // Stops every thread of the engine and waits (at most `limit`) for them;
  // pauses the cameras and drops them. True when all threads ended.
  bool Shutdown(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

  // Makes one role the playing camera (the others pause); the trigger mode
  // (0 continuous, 2 hardware, -1 unchanged) applies to visual camera 1 only.
  // False for a role without a camera or a role outside 0..2.
  bool SwitchCamera(int role, int triggerMode);
  bool HasRole(int role) const;
  std::shared_ptr<IIndustrialCamera> Camera(int role) const;
  int RoleDevice(int role) const;
  bool Play(int role);
  bool Pause(int role);
  bool SetTriggerMode(int role, int mode);
  int TriggerMode(int role) const;

  // The next frame of the role (taken after this call), published by its
  // grab thread; false when none came within `timeout` (the request is then
  // withdrawn).
  bool RequestFrame(int role, cv::Mat& frame, std::chrono::milliseconds timeout);
  // Runs the job on the role's next frame (on its grab thread).
  void RequestJob(int role, int job, int workImage);
  int PendingFrames(int role) const;
  int VisionJob() const;

  // What the live view needs for the cursor and the cut.
  void SetViewParameters(double displayZoom, int boxSide);

  // Status line facts of a role.
  struct RoleStats {
    int width = 0, height = 0;
    uint32_t frameCount = 0;
    uint64_t captured = 0;
  };
  RoleStats Stats(int role) const;

  // Fly pass: frames per pass, frames handled, done event.
  std::atomic<int> m_nFlyHeadCount{1};
  std::atomic<int> m_nFlyShotIndex{0};
  std::atomic<bool> m_bFlyVisionTest{false};
  smt::platform::Event m_hFlyDoneEvent{false, false};
  // Before a fly pass: the pass's head count, the shot counter at 0, the
  // done event reset and frames left over from before dropped.
  void BeginFlyPass(int heads);
  smt::platform::Event& FrameEvent(int role);
  // The role's last published frame (a clone).
  cv::Mat PublishedFrame(int role) const;
  bool Running() const;

  struct Shared;

 private:
  std::shared_ptr<Shared> s_;
};

}  // namespace smt::vision

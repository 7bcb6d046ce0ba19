#include "vision/SimulatedCamera.h"
#include "vision/ImageFiles.h"

#include <algorithm>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <thread>

namespace smt::vision {

SimulatedCamera::SimulatedCamera(std::string friendlyName, CameraCapability capability)
    : m_name(std::move(friendlyName)), m_capability(capability) {}

void SimulatedCamera::SetScene(std::shared_ptr<const SimulatedScene> scene) {
  if (!scene) {
    SetFrameSource([]() { return cv::Mat(); });
    return;
  }
  // A scene does not change once given (its noise is seeded), so it is drawn
  // once, on the first frame asked for, and every frame is a copy of that.
  struct Drawn {
    std::once_flag once;
    cv::Mat frame;
  };
  auto drawn = std::make_shared<Drawn>();
  SetFrameSource([scene, drawn]() {
    std::call_once(drawn->once, [&] { drawn->frame = scene->Render(); });
    return drawn->frame.clone();
  });
}

bool SimulatedCamera::SetImageFiles(const std::vector<std::string>& files) {
  std::vector<cv::Mat> images;
  for (const std::string& f : files) {
    cv::Mat img = smt::vision::ReadImageFile(f, smt::vision::ImageRead::Color);
    if (!img.empty()) images.push_back(img);
  }
  std::lock_guard<std::mutex> lock(m_);
  m_files = std::move(images);
  m_nextFile = 0;
  m_source = nullptr;
  return !m_files.empty();
}

void SimulatedCamera::SetFrameSource(FrameSource source) {
  if (!source) {
    SetTimedFrameSource(nullptr);
    return;
  }
  SetTimedFrameSource([source = std::move(source)](std::chrono::milliseconds, std::stop_token) { return source(); });
}

void SimulatedCamera::SetTimedFrameSource(TimedFrameSource source) {
  std::lock_guard<std::mutex> lock(m_);
  m_source = std::move(source);
  m_files.clear();
}

void SimulatedCamera::SetTriggeredFrameSource(FrameSource source) {
  std::lock_guard<std::mutex> lock(m_);
  m_triggeredSource = std::move(source);
}

void SimulatedCamera::SetPolledTriggerSource(TimedFrameSource source, std::function<void()> drain) {
  std::lock_guard<std::mutex> lock(m_);
  m_polledTrigger = std::move(source);
  m_drainPolled = std::move(drain);
}

void SimulatedCamera::FireTrigger() {
  {
    std::lock_guard<std::mutex> lock(m_);
    ++m_pendingTriggers;
  }
  m_triggerEvent.Set();
}

bool SimulatedCamera::SetTriggerMode(TriggerMode mode) {
  if (mode != TriggerMode::Continuous && mode != TriggerMode::Hardware) return false;
  std::function<void()> drain;
  {
    std::lock_guard<std::mutex> lock(m_);
    drain = m_drainPolled;
  }
  // Forgotten before the new mode shows: a frame asked for in it is never
  // one of the pulses before.
  if (drain) drain();
  std::lock_guard<std::mutex> lock(m_);
  m_trigger = mode;
  m_pendingTriggers = 0;
  return true;
}

bool SimulatedCamera::Play() {
  m_playing = true;
  return true;
}

bool SimulatedCamera::Pause() {
  m_playing = false;
  return true;
}

CameraParameters SimulatedCamera::Parameters() const {
  std::lock_guard<std::mutex> lock(m_);
  return m_parameters;
}

bool SimulatedCamera::SetParameters(const CameraParameters& parameters) {
  CameraParameters p = parameters;
  p.Clamp();
  std::lock_guard<std::mutex> lock(m_);
  m_parameters = p;
  return true;
}

cv::Mat SimulatedCamera::MakeFrame(bool triggered, std::chrono::milliseconds left, const std::stop_token& stop) {
  cv::Mat frame;
  CameraParameters p;
  FrameSource triggeredSource;
  TimedFrameSource source;
  {
    std::lock_guard<std::mutex> lock(m_);
    p = m_parameters;
    if (!m_files.empty()) {
      frame = m_files[m_nextFile].clone();
      m_nextFile = (m_nextFile + 1) % m_files.size();
    } else if (triggered && m_polledTrigger) {
      source = m_polledTrigger;
    } else if (triggered && m_triggeredSource) {
      triggeredSource = m_triggeredSource;
    } else {
      source = m_source;
    }
  }
  // The sources run outside the lock: one that waits (a frame from another
  // process) holds up no one asking for the parameters meanwhile.
  if (triggeredSource)
    frame = triggeredSource();
  else if (source)
    frame = source(left, stop);
  if (frame.empty()) return frame;
  if (p.mirrorX && p.mirrorY)
    cv::flip(frame, frame, -1);
  else if (p.mirrorX)
    cv::flip(frame, frame, 1);
  else if (p.mirrorY)
    cv::flip(frame, frame, 0);
  if (m_capability.monochrome && frame.channels() == 3) cv::cvtColor(frame, frame, cv::COLOR_BGR2GRAY);
  return frame;
}

bool SimulatedCamera::GetNextFrame(cv::Mat& frame, std::chrono::milliseconds timeout, std::stop_token stop) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  const bool triggered = m_trigger.load() == TriggerMode::Hardware;
  bool polled = false;
  {
    std::lock_guard<std::mutex> lock(m_);
    polled = triggered && m_polledTrigger && m_files.empty();
  }
  if (polled) {
    // The pulses are counted elsewhere: ask for a pulse's frame until one
    // comes, within the time-out.
    // Each ask gets at least kPolledAskMs: a pulse's frame is not lost to an
    // ask cut short at the end of the time-out.
    constexpr std::chrono::milliseconds kPolledAskMs{50};
    // A stop ends the wait, an ask under way too (its reply stays owed, as
    // one that runs out of time); the time-out never cuts an ask short.
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || stop.stop_requested()) return false;
      if (m_playing) {
        cv::Mat f = MakeFrame(true, std::max(left, kPolledAskMs), stop);
        if (!f.empty()) {
          frame = f;
          ++m_frames;
          return true;
        }
      }
      std::this_thread::sleep_for(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                                           std::chrono::milliseconds(3)));
    }
  }
  if (triggered) {
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(m_);
        if (m_pendingTriggers > 0 && m_playing) {
          --m_pendingTriggers;
          break;
        }
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || stop.stop_requested()) return false;
      m_triggerEvent.Wait(std::min(left, std::chrono::milliseconds(20)));
    }
  } else if (!m_playing) {
    // A paused camera delivers nothing; wait out the time-out in short
    // steps so that a Play() in between still serves this request, and a
    // stop ends it at once.
    while (!m_playing) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || stop.stop_requested()) return false;
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
    }
  }
  const auto left = std::max(std::chrono::milliseconds(0),
                              std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
  cv::Mat f = MakeFrame(triggered, left, stop);
  if (f.empty()) return false;
  frame = f;
  ++m_frames;
  return true;
}

std::vector<std::shared_ptr<IIndustrialCamera>> SimulatedCameraSystem::Enumerate(int maxDevices) {
  std::vector<std::shared_ptr<IIndustrialCamera>> out;
  for (const auto& c : m_cameras) {
    if (static_cast<int>(out.size()) >= maxDevices) break;
    out.push_back(c);
  }
  return out;
}

}  // namespace smt::vision

#include "vision/CameraEngine.h"

#include <condition_variable>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "core/LogFile.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "vision/VisionSlots.h"

namespace smt::vision {

using namespace std::chrono_literals;

void DrawCrossCursor(cv::Mat& image, int s) {
  if (image.empty()) return;
  const int rows = image.rows, cols = image.cols;
  if (s > rows) s = rows;
  if (s < 0) s = 0;
  cv::line(image, {0, rows / 2}, {cols, rows / 2}, cv::Scalar(255, 0, 0), 1, cv::LINE_AA);
  cv::line(image, {cols / 2, 0}, {cols / 2, rows}, cv::Scalar(255, 0, 0), 1, cv::LINE_AA);
  cv::rectangle(image, cv::Point((cols - s) / 2, (rows - s) / 2), cv::Point((cols + s) / 2, (rows + s) / 2),
                cv::Scalar(0, 255, 255), 1, cv::LINE_AA);
}

cv::Mat CutCentredView(const cv::Mat& frame, double zoom) {
  if (frame.empty()) return frame;
  if (!(zoom > 0.0) || zoom > 1.0) zoom = 1.0;
  int w = static_cast<int>(frame.cols * zoom);
  w -= w % 4;
  int h = static_cast<int>(frame.rows * zoom);
  if (w <= 0 || h <= 0) return frame;
  const int left = (frame.cols - w) / 2;
  const int top = (frame.rows - h) / 2;
  return frame(cv::Rect(left, top, w, h));
}

struct CameraEngine::Shared {
  using Callbacks = CameraEngine::Callbacks;
  using RoleStats = CameraEngine::RoleStats;
  mutable std::mutex m;
  CameraEngine::Callbacks cb;
  std::chrono::milliseconds minInterval{33};
  std::array<std::shared_ptr<IIndustrialCamera>, kCameraRoleCount> camera;
  std::array<int, kCameraRoleCount> roleDevice{-1, -1, -1};
  std::array<std::atomic<int>, kCameraRoleCount> triggerMode{};
  std::array<std::atomic<int>, kCameraRoleCount> pending{};
  // Requests (frames and jobs) ever made of each role, counted before they
  // count as pending: a frame serves a request only when the request was
  // made before the frame was asked of the camera.
  std::array<std::atomic<uint64_t>, kCameraRoleCount> asked{};
  std::atomic<int> visionJob{0};
  std::atomic<int> workImage{1};
  std::array<smt::platform::Event, kCameraRoleCount> frameEvent;
  std::array<cv::Mat, kCameraRoleCount> published;  // guarded by m
  std::array<RoleStats, kCameraRoleCount> stats;     // guarded by m
  // Visual camera 1's ring of triggered frames.
  std::array<cv::Mat, kFrameRingSize> ring;          // guarded by m
  std::atomic<int> bufferIndex{0};
  std::atomic<int> flyReadIndex{0};
  std::atomic<double> displayZoom{1.0};
  std::atomic<int> boxSide{2};
  std::atomic<bool> stop{false};
  // Requested with `stop` and on shut-down: ends a grab thread's frame wait.
  std::stop_source stopSource;
  // Threads still running, for Shutdown.
  std::mutex runM;
  std::condition_variable runCv;
  int running = 0;
  CameraEngine* owner = nullptr;  // fly fields live in the engine object
  // The vision result event of the machine in use when the engine was made:
  // the display worker shows each published result.
  smt::platform::Event* resultEvent = &VisionResultEvent();
  std::atomic<bool> ownerAlive{true};
  std::mutex ownerM;  // held while a thread uses `owner`

  bool Stopped(const std::stop_token& st) const { return stop.load() || st.stop_requested(); }
};

namespace {

// Counts a thread in and out of the engine's running set.
struct RunningGuard {
  std::shared_ptr<CameraEngine::Shared> s;
  explicit RunningGuard(std::shared_ptr<CameraEngine::Shared> sh) : s(std::move(sh)) {}
  ~RunningGuard() {
    std::lock_guard lk(s->runM);
    --s->running;
    s->runCv.notify_all();
  }
};

bool StartThread(const std::shared_ptr<CameraEngine::Shared>& s, const std::string& name,
                 std::function<void(std::stop_token)> body) {
  {
    std::lock_guard lk(s->runM);
    ++s->running;
  }
  auto sh = s;
  const bool ok = smt::platform::WorkerThreads::Instance().Start(name, [sh, body = std::move(body)](std::stop_token st) {
    RunningGuard guard(sh);
    body(st);
  });
  if (!ok) {
    std::lock_guard lk(s->runM);
    --s->running;
    s->runCv.notify_all();
  }
  return ok;
}

void SleepUnlessStopped(const std::shared_ptr<CameraEngine::Shared>& s, const std::stop_token& st,
                        std::chrono::milliseconds d) {
  const auto end = std::chrono::steady_clock::now() + d;
  while (!s->Stopped(st) && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(2ms);
}

void GrabLoop(const std::shared_ptr<CameraEngine::Shared>& s, int role, const std::stop_token& st) {
  std::shared_ptr<IIndustrialCamera> cam;
  {
    std::lock_guard lk(s->m);
    cam = s->camera[role];
  }
  if (!cam) return;
  auto last = std::chrono::steady_clock::now() - 1s;
  int lastW = 0, lastH = 0;
  // Shut-down asks this worker to stop: its frame wait ends then too.
  std::stop_callback forward(st, [s] { s->stopSource.request_stop(); });
  const std::stop_token frameStop = s->stopSource.get_token();
  while (!s->Stopped(st)) {
    const auto since = std::chrono::steady_clock::now() - last;
    if (since < s->minInterval) SleepUnlessStopped(s, st, std::chrono::duration_cast<std::chrono::milliseconds>(s->minInterval - since));
    cv::Mat frame;
    // A frame belongs to the camera's trigger mode it was taken in: one
    // that came in while the mode changed is neither a live frame nor a shot.
    const smt::vision::TriggerMode modeAsked = cam->GetTriggerMode();
    // A frame asked of the camera before a request shows the machine as it
    // was then (before the move the requester waited for, say); it serves
    // only requests that were already made.
    const uint64_t askedBefore = s->asked[role].load();
    if (!cam->GetNextFrame(frame, 1000ms, frameStop) || frame.empty()) continue;
    last = std::chrono::steady_clock::now();
    if (role == kRoleVisualCamera1 && cam->GetTriggerMode() != modeAsked) continue;
    const bool triggered = role == kRoleVisualCamera1 && modeAsked == smt::vision::TriggerMode::Hardware;
    bool served = false;
    const bool serves = role != kRoleVisualCamera1 || s->triggerMode[1].load() == 0;
    // Requests made while the frame was taken wait for the next one: this
    // one serves only when more are pending than came in meanwhile.
    const uint64_t cameMeanwhile = s->asked[role].load() - askedBefore;
    const int pendingNow = s->pending[role].load();
    if (serves && pendingNow > 0 && static_cast<uint64_t>(pendingNow) > cameMeanwhile) {
      // Counted off before the requester can wake, so a served request is never
      // seen still pending. Withdrawn requests may have brought the count to 0
      // meanwhile.
      int p = s->pending[role].load();
      while (p > 0 && !s->pending[role].compare_exchange_weak(p, p - 1)) {
      }
      const int job = s->visionJob.load();
      const bool runs = job >= 1 && job <= (role == kRoleMarkCamera ? 4 : 3);
      if (runs) {
        s->visionJob = 0;
        CameraEngine::Callbacks cb;
        {
          std::lock_guard lk(s->m);
          cb = s->cb;
        }
        const int work = role == kRoleMarkCamera ? 0 : s->workImage.load();
        if (cb.runJob) cb.runJob(role, job, frame, work);
      } else {
        {
          std::lock_guard lk(s->m);
          s->published[role] = frame.clone();
        }
        s->frameEvent[role].Set();
      }
      served = true;
    }
    CameraEngine::Callbacks cb;
    {
      std::lock_guard lk(s->m);
      cb = s->cb;
    }
    if (frame.cols != lastW || frame.rows != lastH) {
      lastW = frame.cols;
      lastH = frame.rows;
      if (cb.sizeChanged) cb.sizeChanged(role, lastW, lastH);
    }
    if (triggered) {
      // Triggered frames go to the ring for the vision loop; counted only.
      std::lock_guard lk(s->m);
      const int idx = s->bufferIndex.load();
      s->ring[idx] = frame.clone();
      s->bufferIndex = (idx + 1) % kFrameRingSize;
    } else if (!served) {
      cv::Mat view = CutCentredView(frame, s->displayZoom.load());
      DrawCrossCursor(view, s->boxSide.load());
      if (cb.showLive) cb.showLive(role, view);
    }
    std::lock_guard lk(s->m);
    s->stats[role].width = frame.cols;
    s->stats[role].height = frame.rows;
    ++s->stats[role].frameCount;
    s->stats[role].captured = cam->FramesCaptured();
  }
}

void VisionLoop(const std::shared_ptr<CameraEngine::Shared>& s, const std::stop_token& st) {
  while (!s->Stopped(st)) {
    SleepUnlessStopped(s, st, 20ms);
    if (s->Stopped(st)) break;
    if (s->triggerMode[1].load() != 2) continue;
    const int readIdx = s->flyReadIndex.load();
    if (readIdx == s->bufferIndex.load()) continue;
    cv::Mat frame;
    CameraEngine::Callbacks cb;
    {
      std::lock_guard lk(s->m);
      frame = s->ring[readIdx];
      cb = s->cb;
    }
    std::lock_guard ol(s->ownerM);
    if (!s->ownerAlive.load()) break;
    if (s->flyReadIndex.load() != readIdx) continue;  // a new pass dropped the old frames meanwhile
    CameraEngine* e = s->owner;
    const int n = e->m_nFlyShotIndex.load() + 1;
    if (cb.flyFrame && !frame.empty()) cb.flyFrame(n, frame);
    if (cb.showLive && !frame.empty()) {
      cv::Mat view = CutCentredView(frame, s->displayZoom.load());
      cv::Mat copy = view.clone();
      DrawCrossCursor(copy, s->boxSide.load());
      cb.showLive(kRoleVisualCamera1, copy);
    }
    s->flyReadIndex = (readIdx + 1) % kFrameRingSize;
    if (++e->m_nFlyShotIndex >= e->m_nFlyHeadCount.load()) e->m_hFlyDoneEvent.Set();
  }
}

void DisplayLoop(const std::shared_ptr<CameraEngine::Shared>& s, const std::stop_token& st) {
  while (!s->Stopped(st)) {
    if (!s->resultEvent->Wait(200ms)) continue;
    if (s->Stopped(st)) break;
    CameraEngine::Callbacks cb;
    {
      std::lock_guard lk(s->m);
      cb = s->cb;
    }
    for (int slot = 0; slot < kVisionSlotCount; ++slot) {
      cv::Mat picture;
      if (TakeVisionResult(slot, picture) && cb.showWorkImage) cb.showWorkImage(slot, picture);
    }
  }
}

}  // namespace

CameraEngine::CameraEngine() : s_(std::make_shared<Shared>()) {
  s_->owner = this;
  for (auto& p : s_->pending) p = 0;
  for (auto& t : s_->triggerMode) t = 0;
}

CameraEngine::~CameraEngine() { Shutdown(); }

void CameraEngine::SetCallbacks(Callbacks callbacks) {
  std::lock_guard lk(s_->m);
  s_->cb = std::move(callbacks);
}

void CameraEngine::SetMinFrameInterval(std::chrono::milliseconds interval) { s_->minInterval = interval; }

int CameraEngine::StartCameras(ICameraSystem& system, int machineType) {
  auto message = [this](const std::string& text) {
    CameraEngine::Callbacks cb;
    {
      std::lock_guard lk(s_->m);
      cb = s_->cb;
    }
    if (cb.message)
      cb.message(text);
    else
      smt::platform::ShowMessage(text);
  };
  const auto cameras = system.Enumerate(3);
  if (cameras.empty()) {
    message("No camera found !");
    return 0;
  }
  bool played = false;
  for (int i = 0; i < static_cast<int>(cameras.size()) && i < 3; ++i) {
    const auto& cam = cameras[i];
    if (!cam) continue;
    const int role = CameraRoleFromName(cam->FriendlyName());
    if (role < 0) {
      message("Camera name mismatch");
      continue;
    }
    {
      std::lock_guard lk(s_->m);
      if (s_->camera[role]) {
        // Names are unique on a sound machine; a second camera of a role
        // would leave two threads on one role.
        CLogFile::Instance().Write(true, "Camera %s found twice; device %d ignored", CameraRoleName(role), i);
        continue;
      }
      s_->camera[role] = cam;
      s_->roleDevice[role] = i;
    }
    cam->SetTriggerMode(static_cast<smt::vision::TriggerMode>(s_->triggerMode[role].load()));
    auto sh = s_;
    StartThread(sh, std::string(CameraRoleName(role)) + " grab", [sh, role](std::stop_token st) { GrabLoop(sh, role, st); });
    if (role == kRoleVisualCamera1)
      StartThread(sh, "fly vision loop", [sh](std::stop_token st) { VisionLoop(sh, st); });
    if (machineType == 4 || !played) {
      cam->Play();
      played = true;
    } else {
      cam->Pause();
    }
  }
  return static_cast<int>(std::min<size_t>(cameras.size(), 3));
}

bool CameraEngine::StartDisplayWorker() {
  auto sh = s_;
  return StartThread(sh, "vision display", [sh](std::stop_token st) { DisplayLoop(sh, st); });
}

bool CameraEngine::Running() const {
  std::lock_guard lk(s_->runM);
  return s_->running > 0;
}

bool CameraEngine::Shutdown(std::chrono::milliseconds limit) {
  s_->stop = true;
  s_->stopSource.request_stop();
  s_->resultEvent->Set();
  bool ended;
  {
    std::unique_lock lk(s_->runM);
    ended = s_->runCv.wait_for(lk, limit, [&] { return s_->running == 0; });
  }
  {
    // Threads that outlive the wait keep the shared state, not the engine.
    std::lock_guard ol(s_->ownerM);
    s_->ownerAlive = false;
  }
  std::array<std::shared_ptr<IIndustrialCamera>, kCameraRoleCount> cams;
  {
    std::lock_guard lk(s_->m);
    cams = s_->camera;
    s_->camera = {};
    s_->roleDevice = {-1, -1, -1};
    s_->cb = {};
  }
  for (auto& c : cams)
    if (c) c->Pause();
  return ended;
}

bool CameraEngine::SwitchCamera(int role, int triggerMode) {
  if (role < 0 || role >= kCameraRoleCount) return false;
  std::array<std::shared_ptr<IIndustrialCamera>, kCameraRoleCount> cams;
  {
    std::lock_guard lk(s_->m);
    cams = s_->camera;
  }
  for (int r = 0; r < kCameraRoleCount; ++r)
    if (r != role && cams[r]) cams[r]->Pause();
  if (role == kRoleVisualCamera1 && triggerMode >= 0) SetTriggerMode(1, triggerMode);
  if (!cams[role]) return false;
  return cams[role]->Play();
}

void CameraEngine::BeginFlyPass(int heads) {
  std::lock_guard ol(s_->ownerM);
  s_->flyReadIndex = s_->bufferIndex.load();
  m_nFlyHeadCount = heads;
  m_nFlyShotIndex = 0;
  m_hFlyDoneEvent.Reset();
}

bool CameraEngine::HasRole(int role) const { return static_cast<bool>(Camera(role)); }

std::shared_ptr<IIndustrialCamera> CameraEngine::Camera(int role) const {
  if (role < 0 || role >= kCameraRoleCount) return nullptr;
  std::lock_guard lk(s_->m);
  return s_->camera[role];
}

int CameraEngine::RoleDevice(int role) const {
  if (role < 0 || role >= kCameraRoleCount) return -1;
  std::lock_guard lk(s_->m);
  return s_->roleDevice[role];
}

bool CameraEngine::Play(int role) {
  auto c = Camera(role);
  return c && c->Play();
}

bool CameraEngine::Pause(int role) {
  auto c = Camera(role);
  return c && c->Pause();
}

bool CameraEngine::SetTriggerMode(int role, int mode) {
  if (role < 0 || role >= kCameraRoleCount || (mode != 0 && mode != 2)) return false;
  // The camera first: a frame asked for in the new mode is one of that mode.
  auto c = Camera(role);
  const bool ok = c && c->SetTriggerMode(static_cast<smt::vision::TriggerMode>(mode));
  s_->triggerMode[role] = mode;
  return ok;
}

int CameraEngine::TriggerMode(int role) const {
  if (role < 0 || role >= kCameraRoleCount) return 0;
  return s_->triggerMode[role].load();
}

bool CameraEngine::RequestFrame(int role, cv::Mat& frame, std::chrono::milliseconds timeout) {
  if (role < 0 || role >= kCameraRoleCount || !HasRole(role)) return false;
  // A frame published for an earlier, abandoned request must not be taken
  // for this one.
  s_->frameEvent[role].Reset();
  ++s_->asked[role];
  ++s_->pending[role];
  // Bounded, and given up at once when the program shuts down.
  auto takeFrame = [&] {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= end) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now) + std::chrono::milliseconds(1);
      if (s_->frameEvent[role].Wait(std::min(left, std::chrono::milliseconds(20)))) return true;
      if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return false;
    }
  };
  if (!takeFrame()) {
    int p = s_->pending[role].load();
    while (p > 0 && !s_->pending[role].compare_exchange_weak(p, p - 1)) {
    }
    return false;
  }
  std::lock_guard lk(s_->m);
  frame = s_->published[role].clone();
  return !frame.empty();
}

void CameraEngine::RequestJob(int role, int job, int workImage) {
  if (role < 0 || role >= kCameraRoleCount) return;
  s_->workImage = workImage;
  s_->visionJob = job;
  ++s_->asked[role];
  ++s_->pending[role];
}

int CameraEngine::PendingFrames(int role) const {
  if (role < 0 || role >= kCameraRoleCount) return 0;
  return s_->pending[role].load();
}

int CameraEngine::VisionJob() const { return s_->visionJob.load(); }

void CameraEngine::SetViewParameters(double displayZoom, int boxSide) {
  s_->displayZoom = displayZoom;
  s_->boxSide = boxSide;
}

CameraEngine::RoleStats CameraEngine::Stats(int role) const {
  if (role < 0 || role >= kCameraRoleCount) return {};
  std::lock_guard lk(s_->m);
  return s_->stats[role];
}

smt::platform::Event& CameraEngine::FrameEvent(int role) { return s_->frameEvent[std::clamp(role, 0, 2)]; }

cv::Mat CameraEngine::PublishedFrame(int role) const {
  if (role < 0 || role >= kCameraRoleCount) return {};
  std::lock_guard lk(s_->m);
  return s_->published[role].clone();
}

}  // namespace smt::vision

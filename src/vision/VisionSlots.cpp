#include "vision/VisionSlots.h"

#include <array>
#include <mutex>

#include "core/Machine.h"

namespace smt::vision {

namespace {
// The machine's vision result slots and the event set when one is published.
struct Slots {
  std::mutex m;
  std::array<cv::Mat, kVisionSlotCount> images;
  std::array<bool, kVisionSlotCount> ready{};
  smt::platform::Event resultEvent{false, false};
};
Slots& S() {
  return smt::CurrentMachine().Part<Slots>();
}
bool Valid(int slot) { return slot >= 0 && slot < kVisionSlotCount; }
}  // namespace

smt::platform::Event& VisionResultEvent() { return S().resultEvent; }

bool PublishVisionResult(int slot, const cv::Mat& picture) { return PublishVisionResult(slot, picture, nullptr); }

bool PublishVisionResult(int slot, const cv::Mat& picture, const std::function<void(cv::Mat&)>& mark) {
  if (!Valid(slot)) return false;
  Slots& s = S();
  {
    std::lock_guard<std::mutex> lock(s.m);
    s.ready[slot] = true;
    // The slot's picture is never shared (readers get clones), so its
    // memory is reused when the size repeats.
    cv::Mat& own = s.images[slot];
    if (picture.empty())
      own.release();
    else
      picture.copyTo(own);
    if (mark && !own.empty()) mark(own);
  }
  s.resultEvent.Set();
  return true;
}

bool TakeVisionResult(int slot, cv::Mat& picture) {
  if (!Valid(slot)) return false;
  std::lock_guard<std::mutex> lock(S().m);
  if (!S().ready[slot]) return false;
  S().ready[slot] = false;
  picture = S().images[slot].clone();
  return true;
}

cv::Mat VisionSlotImage(int slot) {
  if (!Valid(slot)) return {};
  std::lock_guard<std::mutex> lock(S().m);
  return S().images[slot].clone();
}

bool VisionResultReady(int slot) {
  if (!Valid(slot)) return false;
  std::lock_guard<std::mutex> lock(S().m);
  return S().ready[slot];
}

void ResetVisionSlots() {
  Slots& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  for (int i = 0; i < kVisionSlotCount; ++i) {
    s.images[i].release();
    s.ready[i] = false;
  }
  s.resultEvent.Reset();
}

}  // namespace smt::vision

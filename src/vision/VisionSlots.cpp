#include "vision/VisionSlots.h"

#include <array>
#include <mutex>

#include "core/Machine.h"

namespace smt::vision {

namespace {
struct Slots {
  std::mutex m;
  std::array<cv::Mat, kVisionSlotCount> images;
  std::array<bool, kVisionSlotCount> ready{};
};
Slots& S() {
  return smt::CurrentMachine().Part<Slots>();
}
bool Valid(int slot) { return slot >= 0 && slot < kVisionSlotCount; }
}  // namespace

smt::platform::Event& VisionResultEvent() {
  static smt::platform::Event e(false, false);
  return e;
}

bool PublishVisionResult(int slot, const cv::Mat& picture) { return PublishVisionResult(slot, picture, nullptr); }

bool PublishVisionResult(int slot, const cv::Mat& picture, const std::function<void(cv::Mat&)>& mark) {
  if (!Valid(slot)) return false;
  {
    std::lock_guard<std::mutex> lock(S().m);
    S().ready[slot] = true;
    // The slot's picture is never shared (readers get clones), so its
    // memory is reused when the size repeats.
    cv::Mat& own = S().images[slot];
    if (picture.empty())
      own.release();
    else
      picture.copyTo(own);
    if (mark && !own.empty()) mark(own);
  }
  VisionResultEvent().Set();
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
  std::lock_guard<std::mutex> lock(S().m);
  for (int i = 0; i < kVisionSlotCount; ++i) {
    S().images[i].release();
    S().ready[i] = false;
  }
  VisionResultEvent().Reset();
}

}  // namespace smt::vision

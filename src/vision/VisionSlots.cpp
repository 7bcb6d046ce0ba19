#include "vision/VisionSlots.h"

#include <array>
#include <mutex>

namespace smt::vision {

namespace {
struct Slots {
  std::mutex m;
  std::array<cv::Mat, kVisionSlotCount> images;
  std::array<bool, kVisionSlotCount> ready{};
};
Slots& S() {
  static Slots s;
  return s;
}
bool Valid(int slot) { return slot >= 0 && slot < kVisionSlotCount; }
}  // namespace

smt::platform::Event& VisionResultEvent() {
  static smt::platform::Event e(false, false);
  return e;
}

bool PublishVisionResult(int slot, const cv::Mat& picture) {
  if (!Valid(slot)) return false;
  {
    std::lock_guard<std::mutex> lock(S().m);
    S().ready[slot] = true;
    S().images[slot] = picture.clone();
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

#pragma once
// The nine shared result pictures that the recognisers leave for the camera
// view, one "new picture" flag per slot and the event that wakes the display
// worker. Slots are guarded by one lock: producers and the display worker
// run on different threads.
#include <functional>
#include <opencv2/core.hpp>

#include "platform/Event.h"

namespace smt::vision {

inline constexpr int kVisionSlotCount = 9;

// Stores a copy of `picture` in the slot, sets its flag, then the event.
// A slot outside 0..8 is ignored (returns false). The slot keeps its own
// memory from one picture to the next (readers always get copies).
bool PublishVisionResult(int slot, const cv::Mat& picture);
// The same, and `mark` draws on the slot's copy before the flag is set:
// one copy of a large picture instead of two.
bool PublishVisionResult(int slot, const cv::Mat& picture, const std::function<void(cv::Mat&)>& mark);
// When the slot's flag is set: copies its picture, clears the flag, true.
bool TakeVisionResult(int slot, cv::Mat& picture);
// The slot's current picture (a clone; empty for a bad slot).
cv::Mat VisionSlotImage(int slot);
bool VisionResultReady(int slot);
// Clears every slot and flag (tests, start-up).
void ResetVisionSlots();
// Auto-reset event set after every publish (the machine's, kept with its slots).
smt::platform::Event& VisionResultEvent();

}  // namespace smt::vision

#pragma once
// Run flags and events the part list sets and opens around a run, beside
// the pause gate and board-done event of link/MotionGlobals.h, and the run
// clock.
#include <atomic>
#include <cstdint>

#include "platform/Event.h"

inline std::atomic<bool> g_bFeedRun{false};
// Hand-shakes of the run, feeder and conveyor threads (auto reset).
inline smt::platform::Event g_hFeedRequestEvent{false, false};
inline smt::platform::Event g_hHead1PickedEvent{false, false};
inline smt::platform::Event g_hHead2PickedEvent{false, false};
inline smt::platform::Event g_hHead3PickedEvent{false, false};
inline smt::platform::Event g_hHead4PickedEvent{false, false};
inline smt::platform::Event g_hDispenseDoneEvent{false, false};
inline smt::platform::Event g_hPlaceDoneEvent{false, false};

// The run clock, advanced once a second while a run goes.
inline std::atomic<uint16_t> g_nRunHours{0}, g_nRunMinutes{0}, g_nRunSeconds{0};

#pragma once
// Positions and run gates that the motion commands keep beside the ones of
// core/MachineState.h: the second platform of the lamp machine, the
// conveyor width, the per-head turns of the combined XY move, and the pause
// and board-done gates of a run that the front-panel keys open and close.
#include <atomic>
#include <cstdint>

#include "platform/Event.h"

// Lamp machine (type 4): X and Y of the second platform (axis codes 9 and 12).
inline std::atomic<int32_t> g_nCurPlatform[2] = {};
inline std::atomic<int32_t> g_nCurConveyorWidth{0};
// Rotation of each head 1..8 for the combined XY move, filled by its caller.
inline std::atomic<int32_t> g_nHeadMoveArgs[8] = {};
inline std::atomic<int32_t> g_nTargetX{0};
inline std::atomic<int32_t> g_nTargetY{0};
// Lamp machine: targets of the second X axis and the second platform's Y.
inline std::atomic<int32_t> g_nTargetX2{0};
inline std::atomic<int32_t> g_nTargetY2{0};

// Run gates: the pause gate is open (set) while the run may go on; the
// board-done event releases the conveyor's wait for the current board.
inline std::atomic<bool> g_bConveyorRun{false};
inline smt::platform::Event g_hPauseEvent{true, true};
inline smt::platform::Event g_hBoardDoneEvent{false, false};

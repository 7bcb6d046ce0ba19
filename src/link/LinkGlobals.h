#pragma once
// Process-wide state of the machine link: the link mutex, the 13 reply
// events of the command families and the values the replies bring.
#include <array>
#include <atomic>
#include <cstdint>

#include "link/ReplyEvent.h"
#include "platform/LinkMutex.h"

// One command (or command sequence) at a time. Recursive for its owner.
inline smt::platform::LinkMutex g_hLinkMutex;

// Reply events. The time-outs are generous for the motion each family makes;
// homing the whole machine takes longest.
inline smt::link::ReplyEvent g_hEventHome{"Home", std::chrono::seconds(180)};
inline smt::link::ReplyEvent g_hEventVacuum{"Vacuum", std::chrono::seconds(5)};
inline smt::link::ReplyEvent g_hEventDispense{"Dispense", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventSerialMove{"SerialMove", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventCmd58{"Cmd58", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventAxisMove{"AxisMove", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventConveyor{"Conveyor", std::chrono::seconds(120)};
inline smt::link::ReplyEvent g_hEventCmd63{"Cmd63", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventMoveXY{"MoveXY", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventCmd65{"Cmd65", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventCmd66{"Cmd66", std::chrono::seconds(60)};
inline smt::link::ReplyEvent g_hEventCmd67{"Cmd67", std::chrono::seconds(30)};
inline smt::link::ReplyEvent g_hEventCmd68{"Cmd68", std::chrono::seconds(30)};
// The jog panel's serial single-axis event: command 0x01 acknowledged.
inline smt::link::ReplyEvent g_hEventSerialAxis{"SerialAxis", std::chrono::seconds(60)};

inline std::atomic<int32_t> g_nVacuumKpa{0};
inline std::atomic<bool> g_bVacuumCheckOk{true};
inline std::atomic<bool> g_bFirstOnline{true};
inline std::atomic<int32_t> g_nProbeValue{0};     // measured value of command 0x71
inline std::atomic<int> g_nLastMoveCmd{0};        // 0x40 while 0x64 runs, 0x41 while 0x65 runs
inline std::atomic<int> g_nLastSerialCmd{-1};     // the last command written to the COM port
// A motion command timed out: positions unknown, motion refused until homing.
inline std::atomic<bool> g_bPositionLost{false};
inline std::atomic<int32_t> g_nCurAxis8{0};
inline std::atomic<int32_t> g_nCurAxis9{0};
inline std::atomic<int32_t> g_nCurAxis10{0};

namespace smt::link {

// The 13 events in the order of the command set.
std::array<ReplyEvent*, 13> AllReplyEvents();

// The family whose event a reply with this code ends, or nullptr.
ReplyEvent* ReplyEventForCode(uint16_t code);

}  // namespace smt::link

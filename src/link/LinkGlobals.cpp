#include "link/LinkGlobals.h"

namespace smt::link {

std::array<ReplyEvent*, 13> AllReplyEvents() {
  return {&g_hEventHome,  &g_hEventVacuum, &g_hEventDispense, &g_hEventSerialMove, &g_hEventCmd58,
          &g_hEventAxisMove, &g_hEventConveyor, &g_hEventCmd63, &g_hEventMoveXY, &g_hEventCmd65,
          &g_hEventCmd66, &g_hEventCmd67, &g_hEventCmd68};
}

ReplyEvent* ReplyEventForCode(uint16_t code) {
  switch (code) {
    case 0x02: case 0x05: case 0x72: return &g_hEventHome;
    case 0x15: return &g_hEventVacuum;
    case 0x53: case 0x55: return &g_hEventDispense;
    case 0x54: return &g_hEventSerialMove;
    case 0x58: return &g_hEventCmd58;
    case 0x61: case 0x70: case 0x71: return &g_hEventAxisMove;
    case 0x62: return &g_hEventConveyor;
    case 0x63: case 0x73: return &g_hEventCmd63;
    case 0x64: return &g_hEventMoveXY;
    case 0x65: return &g_hEventCmd65;
    case 0x56: case 0x66: return &g_hEventCmd66;
    case 0x67: case 0x74: case 0x75: return &g_hEventCmd67;
    case 0x68: case 0x77: case 0x78: return &g_hEventCmd68;
    default: return nullptr;
  }
}

}  // namespace smt::link

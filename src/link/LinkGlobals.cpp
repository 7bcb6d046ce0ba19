#include "link/LinkGlobals.h"

namespace smt::link {

std::array<ReplyEvent*, 14> AllReplyEvents(smt::Machine& machine) {
  ReplyEvents& r = machine.Part<ReplyEvents>();
  return {&r.home,     &r.vacuum,   &r.dispense, &r.serialMove, &r.cmd58, &r.axisMove, &r.conveyor,
          &r.cmd63,    &r.moveXY,   &r.cmd65,    &r.cmd66,      &r.cmd67, &r.cmd68,    &r.serialAxis};
}


ReplyEvent* ReplyEventForCode(smt::Machine& machine, uint16_t code) {
  ReplyEvents& r = machine.Part<ReplyEvents>();
  switch (code) {
    case 0x02: case 0x05: case 0x72: return &r.home;
    case 0x15: return &r.vacuum;
    case 0x53: case 0x55: return &r.dispense;
    case 0x54: return &r.serialMove;
    case 0x58: return &r.cmd58;
    case 0x61: case 0x70: case 0x71: return &r.axisMove;
    case 0x62: return &r.conveyor;
    case 0x63: case 0x73: return &r.cmd63;
    case 0x64: return &r.moveXY;
    case 0x65: return &r.cmd65;
    case 0x56: case 0x66: return &r.cmd66;
    case 0x67: case 0x74: case 0x75: return &r.cmd67;
    case 0x68: case 0x77: case 0x78: return &r.cmd68;
    default: return nullptr;
  }
}


}  // namespace smt::link

#include "link/LinkGlobals.h"

namespace smt::link {

std::array<ReplyEvent*, 13> AllReplyEvents() {
  return {&smt::CurrentMachine().Part<smt::link::ReplyEvents>().home,  &smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().dispense, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd58,
          &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().conveyor, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd63, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd65,
          &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd66, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68};
}

ReplyEvent* ReplyEventForCode(uint16_t code) {
  switch (code) {
    case 0x02: case 0x05: case 0x72: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().home;
    case 0x15: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum;
    case 0x53: case 0x55: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().dispense;
    case 0x54: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialMove;
    case 0x58: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd58;
    case 0x61: case 0x70: case 0x71: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove;
    case 0x62: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().conveyor;
    case 0x63: case 0x73: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd63;
    case 0x64: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY;
    case 0x65: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd65;
    case 0x56: case 0x66: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd66;
    case 0x67: case 0x74: case 0x75: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67;
    case 0x68: case 0x77: case 0x78: return &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68;
    default: return nullptr;
  }
}

}  // namespace smt::link

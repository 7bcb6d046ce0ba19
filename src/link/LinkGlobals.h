#pragma once
// The machine link's state: the link mutex, the reply events of the command
// families and the values the replies bring.
#include <array>
#include <atomic>
#include <cstdint>

#include "core/Machine.h"
#include "link/ReplyEvent.h"
#include "platform/LinkMutex.h"

// The link mutex and the values the replies bring are the machine's
// (core/Machine.h: linkMutex, link, motion); the reply events are the
// machine's part ReplyEvents.

namespace smt::link {

// The 13 reply events of the command families and the jog panel's serial
// single-axis event. The time-outs are generous for the motion each family
// makes; homing the whole machine takes longest.
struct ReplyEvents {
  ReplyEvent home{"Home", std::chrono::seconds(180), true, false};
  ReplyEvent vacuum{"Vacuum", std::chrono::seconds(5), false};
  ReplyEvent dispense{"Dispense", std::chrono::seconds(60)};
  ReplyEvent serialMove{"SerialMove", std::chrono::seconds(60)};
  ReplyEvent cmd58{"Cmd58", std::chrono::seconds(60)};
  ReplyEvent axisMove{"AxisMove", std::chrono::seconds(60)};
  ReplyEvent conveyor{"Conveyor", std::chrono::seconds(120), false};
  ReplyEvent cmd63{"Cmd63", std::chrono::seconds(60)};
  ReplyEvent moveXY{"MoveXY", std::chrono::seconds(60)};
  ReplyEvent cmd65{"Cmd65", std::chrono::seconds(60)};
  ReplyEvent cmd66{"Cmd66", std::chrono::seconds(60)};
  ReplyEvent cmd67{"Cmd67", std::chrono::seconds(30)};
  ReplyEvent cmd68{"Cmd68", std::chrono::seconds(30)};
  // The jog panel's serial single-axis event: command 0x01 acknowledged.
  ReplyEvent serialAxis{"SerialAxis", std::chrono::seconds(60)};
};

// The 14 events of `machine` in the order of the command set, the serial
// single-axis event last. A loss, a reconnect and a clean start reach every
// one of them.
std::array<ReplyEvent*, 14> AllReplyEvents(smt::Machine& machine);

// The family of `machine` whose event a reply with this code ends, or nullptr.
ReplyEvent* ReplyEventForCode(smt::Machine& machine, uint16_t code);

}  // namespace smt::link

#pragma once
// Reply status codes of the main board: the first data byte of every UDP
// reply. CheckReplyError tells the operator what went wrong and clears the
// state flag that makes the rest of the program refuse further work.
#include <cstdint>
#include <string>

namespace smt {
class Machine;
}

namespace smt::link {

enum class StatusShow { Nothing, Box, InfoLine };
enum class StatusFlag { None, Connected, ResetDone, MasterResetOk, VacuumCheckOk };

struct StatusEntry {
  std::string text;
  StatusShow show = StatusShow::Nothing;
  StatusFlag clears = StatusFlag::None;
};

// The English text, how it is shown and the flag it clears.
StatusEntry DescribeReplyStatus(uint8_t status);

// True for 0. Otherwise shows the text (box or information line), clears the
// flag of `machine` and returns false. The form without a machine acts on
// the machine in use.
bool CheckReplyError(smt::Machine& machine, uint8_t status);

// The Chinese text of the bootloader and firmware paths ("" for 0 and 0x68).
std::string ReplyStatusTextChinese(uint8_t status);

}  // namespace smt::link

#include "link/ReplyStatus.h"

#include <cstdio>

#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/OperatorNotice.h"

namespace smt::link {
namespace {

std::string Code(uint8_t status) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", status);
  return buf;
}

StatusEntry Box(std::string text, StatusFlag f = StatusFlag::None) { return {std::move(text), StatusShow::Box, f}; }

}  // namespace

StatusEntry DescribeReplyStatus(uint8_t s) {
  const std::string head = "Error-" + Code(s) + " = ";
  switch (s) {
    case 0x00: return {};
    case 0x01: return Box("Error-01 = Timeout !");
    case 0x02: return Box("Error-02 = Communication port error !");
    case 0x03: return Box("Error-03 = Packaging error !");
    case 0x04: return Box("Error-04 = Encryption errors !");
    case 0x05: return Box("Error-05 = Length error !");
    case 0x10: return Box("Error-10 = Run protect !", StatusFlag::MasterResetOk);
    case 0x11: return Box("Error-11 = X current location error !", StatusFlag::MasterResetOk);
    case 0x12: return Box("Error-12 = Y current location error !", StatusFlag::MasterResetOk);
    case 0x14: return Box("Error-14 = X-coordinate is out of limit !", StatusFlag::MasterResetOk);
    case 0x15: return Box("Error-15 = Y-coordinate is out of limit !", StatusFlag::MasterResetOk);
    case 0x28: return Box("Error-28 = Z1 motor or sensor error !", StatusFlag::MasterResetOk);
    case 0x29:
    case 0xE3: return {"Warning-29 = Z reset warning !", StatusShow::InfoLine, StatusFlag::MasterResetOk};
    case 0x41: return Box("Error-41 = Head plate time out !", StatusFlag::Connected);
    case 0x42: return Box("Error-42 = Feed plate time out !", StatusFlag::Connected);
    case 0x43: return Box("Error-43 = Conveyor plate time out !", StatusFlag::Connected);
    case 0x68: return {"Error-68 = Vacuum check failure !", StatusShow::InfoLine, StatusFlag::VacuumCheckOk};
    case 0xFF: return Box("Error-FF = Unknown error !");
    default: break;
  }
  if (s >= 0x20 && s <= 0x27)
    return Box(head + "Z" + std::to_string(s - 0x1F) + " motor or sensor error !", StatusFlag::ResetDone);
  if (s >= 0x30 && s <= 0x3C)
    return Box(head + "S" + std::to_string(s - 0x2F) + " motor or sensor error !", StatusFlag::ResetDone);
  if (s >= 0x50 && s <= 0x57)
    return Box(head + "A" + std::to_string(s - 0x4F) + " motor or sensor error !", StatusFlag::ResetDone);
  if (s >= 0x58 && s <= 0x5F)
    return Box(head + "P" + std::to_string(s - 0x57) + " sensor error !", StatusFlag::ResetDone);
  return Box("Error-?? = The code error !");
}


bool CheckReplyError(smt::Machine& m, uint8_t status) {
  if (status == 0) return true;
  const StatusEntry e = DescribeReplyStatus(status);
  if (e.show == StatusShow::Box) NotifyOperator(e.text);
  if (e.show == StatusShow::InfoLine) RuntimeOf(m).Hooks().AppendInfoLine(e.text, true);
  // The flag is cleared at once: the box no longer holds up the reply
  // thread, and nothing may act on the stale flag while it is open.
  switch (e.clears) {
    case StatusFlag::Connected: m.connected = false; break;
    case StatusFlag::ResetDone: m.resetDone = false; break;
    case StatusFlag::MasterResetOk: m.masterResetOk = false; break;
    case StatusFlag::VacuumCheckOk: m.link.vacuumCheckOk = false; break;
    case StatusFlag::None: break;
  }
  return false;
}

std::string ReplyStatusTextChinese(uint8_t s) {
  switch (s) {
    case 0x00:
    case 0x68: return {};
    case 0x01: return "Error-01 = 超时 !";
    case 0x02: return "Error-02 = 通信端口错误 !";
    case 0x03: return "Error-03 = 打包错误 !";
    case 0x04: return "Error-04 = 加密错误 !";
    case 0x05: return "Error-05 = 长度错误 !";
    case 0x10: return "Error-10 = 运行保护 !";
    case 0x11: return "Error-11 = X当前位置出错 !";
    case 0x12: return "Error-12 = Y当前位置出错 !";
    case 0x14: return "Error-14 = X坐标超限 !";
    case 0x15: return "Error-15 = Y坐标超限 !";
    case 0x28: return "Error-28 = Z1电机或测量头故障 !";
    case 0x29: return "Error-29 = Z复位故障 !";
    case 0x41: return "机头板超时 !";
    case 0x42: return "飞达板超时 !";
    case 0x43: return "自动进板超时 !";
    case 0xFF: return "Error-FF = 未知错误 !";
    default: break;
  }
  // 0x20 has no text of its own in the board's table; it is the Z1 motor or
  // sensor fault like its neighbours.
  if ((s >= 0x20 && s <= 0x27) || (s >= 0x30 && s <= 0x3B)) return "Error-" + Code(s) + " = 电机或传感器故障 !";
  return "Error-?? = 错误代码 !";
}

}  // namespace smt::link

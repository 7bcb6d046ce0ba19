#pragma once
// Texts of the link's messages, read with the jog panel's texts from the
// language file (section ManualControlConfig); the built-in Chinese texts are
// the defaults.
#include <mutex>
#include <string>

namespace smt {
class Machine;
}

namespace smt::link {

struct LinkTexts {
  std::string online = "联机";
  std::string onlining = "联机中";
  std::string onlineError = "联机失败";
  std::string onlineSuccessful = "联机成功";
  std::string message05 = "通讯提示";                          // caption of the serial reports
  std::string message06 = "返回类型错误 !";
  std::string message14 = "返回指令E3 - 贴片头没有复位 !";
  std::string message15 = "返回指令E4 - 设备自动运行保护中 !";
  std::string message16 = "返回指令错误 - 未知 !";
  std::string message17 = "提问、应答或错误异常 !";
  std::string message20 = "请复位机器 !";
  std::string message21 = "电机或传感器故障 !";
  std::string message22 = "电机正在运行 !";
  std::string replyTimeout = "等待机器应答超时 !";
  std::string noReply = "机器没有应答 !";
  std::string vacuumTest = "检测真空值为：";
  std::string information73 = "73->移动飞行";
  std::string information74 = "74->移动取料";
  std::string information77 = "77->移动放置";
  // The part list's refusal of Start before the master reset was accepted.
  std::string masterResetFirst = "请先按总复位机器 !";
  // A homing request that selects nothing on this machine type.
  std::string homeNothing = "此机型没有该复位 !";
  // Added to the lost-link message when nozzles had their vacuum on; the
  // nozzle numbers follow it.
  // A move is refused: the program's positions may not be the machine's
  // (the link was lost, a move's reply did not come, or a reply came out of
  // turn) until the machine is homed.
  std::string positionUncertain = "机器位置不确定：请先复位机器 !";
  // A reply came that no command was waiting for (sent twice, or late): a
  // command may have been taken as done on another's reply.
  std::string replyOutOfTurn = "机器的应答与指令不对应（重复或迟到的应答），之前的指令可能未完成 !";
  std::string lostWithVacuumOn = "以下吸嘴可能仍用真空吸着元件，请用手取下（重新联机并复位后真空关闭）。吸嘴：";
  // The link's failures in the operator's words.
  // the serial link as the messages name it (%1 the device)
  std::string serialName = "串口 %1";
  // the network link (%1 the board's address)
  std::string networkName = "与 %1 的网络连接";
  // %1 the link's name
  std::string portClosed = "%1 已被关闭 !";
  std::string portGone = "%1 已不存在 !";
  std::string portFailed = "%1 出错 !";
  std::string portNotWatched = "%1 无法监视 !";
  // %2 the board's port
  std::string netPortClosed = "%1 出错：主板的端口 %2 已关闭，那里不再有应答 !";
  std::string netAddressUnreachable = "%1 出错：无法到达主板的地址 !";
  std::string netUnreachable = "%1 出错：无法到达主板所在的网络 !";
  // %2 the system's error number
  std::string netFailed = "%1 出错（系统错误 %2）!";
  // ends every message about a lost link
  std::string lostConnectAgain = "与机器的连接已断开：请重新联机。";
  // %1 the command's code, %2 the link's name
  std::string sendFailed = "指令 %1 无法发送：%2 出错 !";
  std::string sendLinkDown = "指令 %1 无法发送：与机器的连接已断开 !";
  // %1 the command's code
  std::string replyTimeoutCode = "机器应答超时 (0x%1) !";

  void Load(const std::string& appDir, const std::string& language);
};

// A copy of a machine's texts (the language may switch while a link thread
// reads); the forms without a machine use the machine in use.
LinkTexts LinkTextsOf(smt::Machine& machine);
void SetLinkTexts(smt::Machine& machine, const LinkTexts& texts);

}  // namespace smt::link

#pragma once
// Texts of the firmware dialog (section FirmwareUpdateConfig of the language
// file, keys "FirmwareUpdate.c_..."), from which its status lines are built.
#include <string>

namespace smt::link {

struct FirmwareTexts {
  std::string firmwareUpdate = "单片机升级";
  std::string upadte = "升级";
  std::string updateInformation = "升级信息";
  std::string readConfig = "读取配置信息";
  std::string writeLimit = "写入位置限制";
  std::string configInformation = "配置信息";
  std::string feedSelect = "飞达板选择";
  std::string mainBoard = "主板";
  std::string headBoard = "机头板";
  std::string feedBoard = "飞达板";
  std::string conveyorBoard = "自动进板";
  std::string reading = "读出";
  std::string writing = "写入";
  std::string erasing = "擦除";
  std::string calculation = "校验";
  std::string jumpTo = "跳转";
  std::string relinking = "重新联机";
  std::string complete = "完成";
  std::string failed = "失败";
  std::string configurationInformation = "配置信息";
  std::string application = "应用程序";
  std::string upgradeProgram = "升级程序";
  std::string upgradeMark = "升级标记：";
  std::string versionNumber = "版本号：V3.";
  std::string deviceDescription = "设备描述：";
  std::string information = "单片机信息：";
  std::string xLimit = "X限位：";
  std::string yLimit = "Y限位：";

  // Reads the 28 texts from "<dir>/<language>.ini", the Chinese defaults
  // above for missing keys.
  static FirmwareTexts Load(const std::string& dir, const std::string& language);

  // The board's name in the status line (boards 1 to 4; "" otherwise).
  const std::string& BoardName(int board) const;
};

// The board's word in the English error messages: "Main", "Head", "Feed", "Conveyor".
std::string BoardWord(int board);

}  // namespace smt::link

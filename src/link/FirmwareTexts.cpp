#include "link/FirmwareTexts.h"

#include "platform/SettingsSection.h"

namespace smt::link {

FirmwareTexts FirmwareTexts::Load(const std::string& dir, const std::string& language) {
  smt::platform::LanguageSection lang(dir, language, "FirmwareUpdateConfig");
  FirmwareTexts t;
  auto read = [&](const char* key, std::string& field) { field = lang.Text(std::string("FirmwareUpdate.") + key, field); };
  read("c_FirmwareUpdate", t.firmwareUpdate);
  read("c_Upadte", t.upadte);
  read("c_UpdateInformation", t.updateInformation);
  read("c_ReadConfig", t.readConfig);
  read("c_WriteLimit", t.writeLimit);
  read("c_ConfigInformation", t.configInformation);
  read("c_FeedSelect", t.feedSelect);
  read("c_MainBoard", t.mainBoard);
  read("c_HeadBoard", t.headBoard);
  read("c_FeedBoard", t.feedBoard);
  read("c_ConveyorBoard", t.conveyorBoard);
  read("c_Reading", t.reading);
  read("c_Writing", t.writing);
  read("c_Erasing", t.erasing);
  read("c_Calculation", t.calculation);
  read("c_JumpTo", t.jumpTo);
  read("c_Relinking", t.relinking);
  read("c_Complete", t.complete);
  read("c_Failed", t.failed);
  read("c_ConfigurationInformation", t.configurationInformation);
  read("c_Application", t.application);
  read("c_UpgradeProgram", t.upgradeProgram);
  read("c_UpgradeMark", t.upgradeMark);
  read("c_VersionNumber", t.versionNumber);
  read("c_DeviceDescription", t.deviceDescription);
  read("c_Information", t.information);
  read("c_X_Limit", t.xLimit);
  read("c_Y_Limit", t.yLimit);
  return t;
}

const std::string& FirmwareTexts::BoardName(int board) const {
  static const std::string none;
  switch (board) {
    case 1: return mainBoard;
    case 2: return headBoard;
    case 3: return feedBoard;
    case 4: return conveyorBoard;
    default: return none;
  }
}

std::string BoardWord(int board) {
  switch (board) {
    case 1: return "Main";
    case 2: return "Head";
    case 3: return "Feed";
    case 4: return "Conveyor";
    default: return "";
  }
}

}  // namespace smt::link

#include "app/MenuTexts.h"

#include <algorithm>
#include <string>

#include "app/CommandIds.h"

namespace smt::app {

namespace {

using E = MenuTextEntry;

// The go-to commands' keys and texts, built once; the table points into them.
const std::pair<std::vector<std::string>, std::vector<std::string>>& GoToStrings() {
  static const auto strings = [] {
    std::vector<std::string> keys, texts;
    keys.reserve(64);
    texts.reserve(64);
    auto add = [&](std::string key, std::string text) {
      keys.push_back(std::move(key));
      texts.push_back(std::move(text));
    };
    add("c_ID_ResetOrigin", "复位原点");
    add("c_ID_CameraToVisualOrigin", "相机到视觉原点");
    add("c_ID_NozzleToThrowPosition", "吸嘴到抛料位置");
    for (int i = 1; i <= 8; ++i) add("c_ID_Nozzle" + std::to_string(i) + "ToThrowPosition", "吸嘴" + std::to_string(i) + "到抛料位置");
    add("c_ID_CameraToPcbOrigin", "相机到Pcb原点");
    add("c_ID_CameraToMark1", "相机到Mark1点");
    add("c_ID_CameraToMark2", "相机到Mark2点");
    add("c_ID_NozzleToPcbOrigin", "吸嘴到Pcb原点");
    for (int i = 1; i <= 8; ++i) add("c_ID_Nozzle" + std::to_string(i) + "ToPcbOrigin", "吸嘴" + std::to_string(i) + "到Pcb原点");
    add("c_ID_NozzleToVisualCamera1", "吸嘴到视觉相机1");
    for (int i = 1; i <= 8; ++i) add("c_ID_Nozzle" + std::to_string(i) + "ToVisualCamera1", "吸嘴" + std::to_string(i) + "到视觉相机1");
    add("c_ID_NozzleToVisualCamera2", "吸嘴到视觉相机2");
    for (int i = 1; i <= 8; ++i) add("c_ID_Nozzle" + std::to_string(i) + "ToVisualCamera2", "吸嘴" + std::to_string(i) + "到视觉相机2");
    add("c_ID_4headtocamera2", "4方头到视觉相机2");
    add("c_ID_MeasurementToVisualCamera1", "测量头到视觉相机1");
    return std::pair{std::move(keys), std::move(texts)};
  }();
  return strings;
}

std::vector<MenuTextEntry> BuildGoTo() {
  const auto& [keys, texts] = GoToStrings();
  std::vector<MenuTextEntry> out;
  for (size_t i = 0; i < keys.size(); ++i) {
    out.push_back(E{E::StoredOnly, static_cast<int>(i), keys[i].c_str(), texts[i].c_str()});
  }
  return out;
}

}  // namespace

const std::vector<MenuTextEntry>& GoToTextTable() {
  static const std::vector<MenuTextEntry> table = BuildGoTo();
  return table;
}

const std::vector<const char*>& SettingsTextKeys() {
  static const std::vector<const char*> keys = {
      "ID_SetBasic",     "ID_DippingStation",    "ID_FeedGroup",         "SpeedTemplate",
      "ID_SpeedSet",     "ID_HighSpeedTemplate", "ID_MediumSpeedTemplate", "ID_LowSpeedTemplate",
      "ID_CameraList",   "ID_NozzleList",        "ID_SetPulse",          "ID_OftenData",
      "ID_PackData",     "ID_MarkData",          "ID_PasteLampMachineSet"};
  return keys;
}

const std::vector<MenuTextEntry>& MenuTextTable() {
  using namespace cmd;
  static const std::vector<MenuTextEntry> table = [] {
    std::vector<MenuTextEntry> t = {
        {E::TopMenu, 0, "IDS_MENU_FILE", "文件"},
        {E::Command, kFileNew, "ID_FILE_NEW", "新建"},
        {E::Command, kFileOpen, "ID_FILE_OPEN", "打开"},
        {E::Command, kFileSave, "ID_FILE_SAVE", "保存"},
        {E::Command, kFileSaveAs, "ID_FILE_SAVE_AS", "另存为"},
        {E::Command, kFilePrint, "ID_FILE_PRINT", "打印"},
        {E::Command, kFilePrintPreview, "ID_FILE_PRINT_PREVIEW", "打印预览"},
        {E::Command, kFilePrintSetup, "ID_FILE_PRINT_SETUP", "打印设置"},
        {E::Command, kFileMru1, "ID_FILE_MRU_FILE1", "最近打开文件"},
        {E::Command, kAppExit, "ID_APP_EXIT", "退出"},
        {E::TopMenu, 1, "IDS_MENU_EDIT", "编辑"},
        {E::Command, kEditUndo, "ID_EDIT_UNDO", "重做"},
        {E::Command, kEditCut, "ID_EDIT_CUT", "剪切"},
        {E::Command, kEditCopy, "ID_EDIT_COPY", "复制"},
        {E::Command, kEditPaste, "ID_EDIT_PASTE", "粘贴"},
        {E::TopMenu, 2, "IDS_MENU_VIEW", "视口"},
        {E::Command, kViewToolbar, "ID_VIEW_TOOLBAR", "工具栏"},
        {E::Command, kViewStatusBar, "ID_VIEW_STATUS_BAR", "状态栏"},
        {E::TopMenu, 3, "IDS_MENU_SET", "设置"},
        {E::Command, kSetBasic, "ID_SetBasic", "基本设置"},
        {E::Command, kDippingStation, "ID_DippingStation", "浸渍站设置"},
        {E::Command, kFeedGroup, "ID_FeedGroup", "料架模组"},
        {E::SubMenu, kSubSpeedTemplate, "SpeedTemplate", "速度模板"},
        {E::Command, kSpeedSet, "ID_SpeedSet", "速度设置"},
        {E::Command, kHighSpeedTemplate, "ID_HighSpeedTemplate", "高速模板"},
        {E::Command, kMediumSpeedTemplate, "ID_MediumSpeedTemplate", "中速模板"},
        {E::Command, kLowSpeedTemplate, "ID_LowSpeedTemplate", "低速模板"},
        {E::Command, kCameraList, "ID_CameraList", "摄像机管理"},
        {E::Command, kNozzleList, "ID_NozzleList", "吸嘴库管理"},
        {E::Command, kSetPulse, "ID_SetPulse", "脉冲设置"},
        {E::Command, kOftenData, "ID_OftenData", "常用数据库"},
        {E::Command, kPackData, "ID_PackData", "封装数据库"},
        {E::Command, kMarkData, "ID_MarkData", "独立Mark点数据库"},
        {E::Command, kLampMachineSet, "ID_PasteLampMachineSet", "点灯机参数表"},
        {E::TopMenu, 4, "IDS_MENU_Feed", "飞达"},
        {E::Command, kAutoFeed, "ID_AutoFeed", "自动飞达操作"},
        {E::Command, kAutoTransport, "ID_AutoTransport", "自动送板操作"},
        {E::Command, kLabelingSet, "ID_LabelingSet", "标签机器设置"},
        {E::TopMenu, 5, "IDS_MENU_HELP", "帮助"},
        {E::Command, kAppAbout, "ID_APP_ABOUT", "关于SMT"},
        {E::SubMenu, kSubLanguage, "LanguageSet", "语言设置"},
        {E::Command, kLanguageChinese, "ID_Chinese", "中文"},
        {E::Command, kLanguageEnglish, "ID_English", "英文"},
        {E::Command, kLanguageGerman, "ID_German", "德文"},
        {E::SubMenu, kSubMachineType, "MachineSet", "设备配置"},
        {E::Command, kMachineTypeCommands[0], "ID_SingleHeadDrag", "0-单头拖料"},
        {E::Command, kMachineTypeCommands[1], "ID_GroutGlueSMT", "1-点胶贴片"},
        {E::Command, kMachineTypeCommands[2], "ID_DoubleHeadFeed", "2-双头飞达"},
        {E::Command, kMachineTypeCommands[3], "ID_FourHeadFeed", "3-四头飞达"},
        {E::Command, kMachineTypeCommands[4], "ID_DoubleGroutGlueXY", "4-双点胶XY"},
        {E::Command, kMachineTypeCommands[5], "ID_DoubleHeadCamera", "5-双头飞达同步相机"},
        {E::Command, kMachineTypeCommands[6], "ID_FourHeadGroutGlue", "6-四头飞达+点胶"},
        {E::Command, kMachineTypeCommands[7], "ID_EightHead", "7-八头飞达"},
        {E::Command, kMachineTypeCommands[8], "ID_PluginMachine", "8-插件机"},
        {E::Command, kMachineTypeCommands[9], "ID_DrillMachine", "9-钻孔机"},
        {E::Command, kMachineTypeCommands[10], "ID_LabelingMachine", "10-贴标机"},
        {E::Command, kCpuVersionNumber, "ID_CPUVersionNumber", "机器版本号"},
        {E::SubMenu, kSubUpdate, "Update", "升级"},
        {E::Command, kSoftwareUpdate, "ID_SoftwareUpdate", "软件升级"},
        {E::Command, kFirmwareUpdate, "ID_FirmwareUpdate", "单片机升级"},
    };
    const auto& go = GoToTextTable();
    t.insert(t.end(), go.begin(), go.end());
    return t;
  }();
  return table;
}

std::optional<bool> GoToItemEnabled(int command, int machineType) {
  using namespace cmd;
  if (machineType == 9 || machineType < 0 || machineType > 10) return std::nullopt;
  auto in = [&](std::initializer_list<int> types) {
    return std::find(types.begin(), types.end(), machineType) != types.end();
  };
  auto is = [&](std::initializer_list<int> ids) { return std::find(ids.begin(), ids.end(), command) != ids.end(); };
  if (is({kGoHome, kGoCameraToVisionOrigin, kGoNozzleToVisionCamera2[0]})) return in({0, 1, 2, 3, 5, 6, 7, 8, 10});
  if (is({kGoNozzleToThrow[0], kGoNozzleToThrow[1], kGoNozzleToPcbOrigin[0], kGoNozzleToVisionCamera1[0]}))
    return in({0, 1, 2, 3, 4, 5, 6, 7, 8, 10});
  if (is({kGoNozzleToPcbOrigin[1], kGoNozzleToVisionCamera1[1]})) return in({1, 2, 3, 4, 5, 6, 7, 8, 10});
  if (is({kGoNozzleToVisionCamera2[1]})) return in({1, 2, 3, 5, 6, 7, 8, 10});
  if (is({kGoNozzleToThrow[2], kGoNozzleToThrow[3], kGoNozzleToPcbOrigin[2], kGoNozzleToPcbOrigin[3],
          kGoNozzleToVisionCamera1[2], kGoNozzleToVisionCamera1[3]}))
    return in({3, 4, 6, 7, 8});
  if (is({kGoNozzleToVisionCamera2[2], kGoNozzleToVisionCamera2[3]})) return in({3, 6, 7, 8});
  if (command == kGoFourHeadsToVisionCamera2) return in({3, 7, 8});
  for (int k = 4; k < 8; ++k) {
    if (is({kGoNozzleToThrow[k], kGoNozzleToPcbOrigin[k], kGoNozzleToVisionCamera1[k], kGoNozzleToVisionCamera2[k]}))
      return in({7, 8});
  }
  return std::nullopt;  // no update handler: always enabled
}

const char* WindowTitle(int languageIndex) { return languageIndex == 0 ? kTitleChinese : kTitleEnglish; }

}  // namespace smt::app

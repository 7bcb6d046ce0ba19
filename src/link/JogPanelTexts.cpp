#include "link/JogPanelTexts.h"

#include "platform/SettingsSection.h"

namespace smt::link {

const std::vector<std::pair<std::string, std::string>>& JogPanelTexts::Defaults() {
  static const std::vector<std::pair<std::string, std::string>> d = {
      {"c_CoordinatesShow", "绝对坐标             相对坐标"},
      {"c_Online", "联机"},
      {"c_Onlining", "联机中"},
      {"c_Online_Successful", "联机成功"},
      {"c_Online_Error", "联机失败"},
      {"c_SolenoidSalve1", "真空泵 1"},
      {"c_SolenoidSalve2", "真空泵 2"},
      {"c_SolenoidSalve3", "真空泵 3"},
      {"c_SolenoidSalve4", "真空泵 4"},
      {"c_SolenoidSalve5", "真空泵 5"},
      {"c_SolenoidSalve6", "真空泵 6"},
      {"c_SolenoidSalve7", "真空泵 7"},
      {"c_SolenoidSalve8", "真空泵 8"},
      {"c_XY_RunPositioning", "XY 运行定位"},
      {"c_ID_XY_RunFast", "XY 快速定位"},
      {"c_ID_XY_RunMedium", "XY 中速定位"},
      {"c_ID_XY_RunSlow", "XY 慢速定位"},
      {"c_ID_XY_RunFine", "XY 精细定位"},
      {"c_Z_RunPositioning", "Z 运行定位"},
      {"c_ID_Z_RunFast", "Z 快速定位"},
      {"c_ID_Z_RunMedium", "Z 中速定位"},
      {"c_ID_Z_RunSlow", "Z 慢速定位"},
      {"c_ID_Z_RunFine", "Z 精细定位"},
      {"c_A_RunPositioning", "A 运行定位"},
      {"c_ID_A_RunFast", "A 快速定位"},
      {"c_ID_A_RunMedium", "A 中速定位"},
      {"c_ID_A_RunSlow", "A 慢速定位"},
      {"c_ID_A_RunFine", "A 精细定位"},
      {"c_F_RunPositioning", "飞达运行定位"},
      {"c_ID_Feed_RunFast", "飞达快速定位"},
      {"c_ID_Feed_RunMedium", "飞达中速定位"},
      {"c_ID_Feed_RunSlow", "飞达慢速定位"},
      {"c_ID_Feed_RunFine", "飞达精细定位"},
      {"c_S_RunPositioning", "S 运行定位"},
      {"c_ID_S_RunFast", "S 快速定位"},
      {"c_ID_S_RunMedium", "S 中速定位"},
      {"c_ID_S_RunSlow", "S 慢速定位"},
      {"c_ID_S_RunFine", "S 精细定位"},
      {"c_F_PosSwitch", "飞达方位切换"},
      {"c_ID_Feed_East", "东"},
      {"c_ID_Feed_South", "南"},
      {"c_ID_Feed_West", "西"},
      {"c_ID_Feed_North", "北"},
      {"c_CameraGetMark1Offset", "相机获得Mark1偏移量"},
      {"c_CameraGetMark2Offset", "相机获得Mark2偏移量"},
      {"c_CameraGetMarkOffset", "识别Mark1到Mark2"},
      {"c_ResetMarkOffset", "重置Mark点偏移量"},
      {"c_ID_Reset_X", "X 轴复位"},
      {"c_ID_Reset_Y", "Y 轴复位"},
      {"c_ID_Reset_Z", "Z 轴复位"},
      {"c_ID_Reset_XYZ", "XYZ 轴复位"},
      {"c_ID_Reset_EastWalk", "东面送料复位"},
      {"c_ID_Reset_X2", "X2轴复位"},
      {"c_ID_Reset_SouthWalk", "南面送料复位"},
      {"c_ID_Reset_WestWalk", "西面送料复位"},
      {"c_ID_Reset_Y2", "Y2轴复位"},
      {"c_ID_Reset_NorthWalk", "北面送料复位"},
      {"c_ID_Reset_Z2", "点胶复位"},
      {"c_ID_SetAllZero", "一键清零"},
      {"c_Message_01", "请先复位A1 !"},
      {"c_Message_02", "请先复位A2 !"},
      {"c_Message_03", "暂无此功能 !"},
      {"c_Message_04", "没有找到起始位 - 请重新联机 !"},
      {"c_Message_05", "通讯提示"},
      {"c_vacuumTest", "检测真空值为："},
      {"c_Message_06", "返回类型错误 !"},
      {"c_Message_07", "吸嘴吸料失败，请检查是否料已用完 !"},
      {"c_Message_14", "返回指令E3 - 贴片头没有复位 !"},
      {"c_Message_15", "返回指令E4 - 设备自动运行保护中 !"},
      {"c_Message_16", "返回指令错误 - 未知 !"},
      {"c_Message_17", "提问、应答或错误异常 !"},
      {"c_Message_18", "没有使用手动MARK点设置，此操作无效 !"},
      {"c_Message_19", "手动获得MARK点值不在-3到3mm以内，此操作无效 !"},
      {"c_Message_20", "请复位机器 !"},
      {"c_Message_21", "电机或传感器故障 !"},
      {"c_Message_22", "电机正在运行 !"},
      {"c_Information_53", "53->XY轴运动"},
      {"c_Information_58", "58->点胶"},
      {"c_Information_61", "61->单轴运动"},
      {"c_Information_62", "62->自动进板运动"},
      {"c_Information_63", "63->飞行相机"},
      {"c_Information_64", "64->XYA轴运动"},
      {"c_Information_65", "65->XYA多轴运动"},
      {"c_Information_66", "66->飞达送料"},
      {"c_Information_67", "67->取料"},
      {"c_Information_68", "68->贴装"},
      {"c_Information_72", "72->复位"},
      {"c_Information_73", "73->移动飞行"},
      {"c_Information_74", "74->移动取料"},
      {"c_Information_75", "75->移动取料"},
      {"c_Information_77", "77->移动放置"},
      {"c_Information_78", "78->移动放置"},
      {"c_Information_71", "71->测量高度"},
  };
  return d;
}

JogPanelTexts::JogPanelTexts() {
  for (const auto& [name, text] : Defaults()) texts_[name] = text;
}

void JogPanelTexts::Load(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection s(appDir, language, "ManualControlConfig");
  for (const auto& [name, text] : Defaults()) texts_[name] = s.Text("ManualControl." + name, text);
}

const std::string& JogPanelTexts::operator[](const std::string& name) const {
  static const std::string empty;
  auto it = texts_.find(name);
  return it == texts_.end() ? empty : it->second;
}

}  // namespace smt::link

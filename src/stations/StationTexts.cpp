#include "stations/StationTexts.h"

#include "platform/SettingsSection.h"

namespace smt::stations {

StationTexts::StationTexts(const TextTable& table) {
  for (const auto& [k, v] : table) texts_[k] = v;
}

void StationTexts::Load(const std::string& appDir, const std::string& language, const std::string& section,
                        const TextTable& table) {
  smt::platform::LanguageSection s(appDir, language, section);
  for (const auto& [k, v] : table) texts_[k] = s.Text(k, v);
}

std::string StationTexts::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

const TextTable& DippingStationTextTable() {
  static const TextTable t = {
      {"DippingStation.c_DippingStationSet", "浸渍站设置"},
      {"DippingStation.c_DippingStation", "振动盘->浸渍站"},
      {"DippingStation.c_DippingStationControl", "操作浸渍站"},
      {"DippingStation.c_Head1ToDippingStation", "头1到浸渍站位置"},
      {"DippingStation.c_DippingStation_X", "坐标X"},
      {"DippingStation.c_DippingStation_Y", "坐标Y"},
      {"DippingStation.c_DippingStation_Z", "坐标Z"},
      {"DippingStation.c_WaterFilmThickness", "水膜厚度"},
      {"DippingStation.c_DippingStation_RunTime", "运行时间"},
      {"DippingStation.c_DippingStation_StopDelay", "停止延时"},
      {"DippingStation.c_DippingStation_Delay", "底部延时"},
      {"DippingStation.c_IDOK", "确定"},
      {"DippingStation.c_IDCANCEL", "取消"},
  };
  return t;
}

const TextTable& CoverTapeTextTable() {
  static const TextTable t = {
      {"SetCover.c_SetCover", "封皮设置"},
      {"SetCover.c_StepPulse", "步进脉冲数"},
      {"SetCover.c_CoverTotal", "总数量"},
      {"SetCover.c_CoverOnceTotal", "封皮1次数量"},
      {"SetCover.c_BlankTotal", "流白数量"},
      {"SetCover.c_CoverDelay", "封皮时间"},
      {"SetCover.c_CoverTotalCount", "封皮总计数"},
      {"SetCover.c_CoverCount", "封皮个计数"},
      {"SetCover.C_StepTest", "步进测试"},
      {"SetCover.C_CollectTest", "收料测试"},
      {"SetCover.C_BlankTest", "流白测试"},
      {"SetCover.C_CoverTest", "封皮测试"},
      {"SetCover.C_BlankCoverTest", "流白封皮测试"},
      {"SetCover.C_LockTest", "定位测试"},
  };
  return t;
}

}  // namespace smt::stations

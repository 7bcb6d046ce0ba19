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

const TextTable& LabelingTextTable() {
  static const TextTable t = {
      {"LabelingSet.c_LabelingSet", "贴标机器设置"},
      {"LabelingSet.c_StartX", "起始点X"},
      {"LabelingSet.c_StartY", "起始点Y"},
      {"LabelingSet.c_EndX", "结束点X"},
      {"LabelingSet.c_EndY", "结束点Y"},
      {"LabelingSet.c_DistanceX", "间距X"},
      {"LabelingSet.c_DistanceY", "间距Y"},
      {"LabelingSet.c_SerialX", "序列号X"},
      {"LabelingSet.c_SerialY", "序列号Y"},
      {"LabelingSet.c_ThimbleX", "顶针中心X"},
      {"LabelingSet.c_ThimbleY", "顶针中心Y"},
      {"LabelingSet.c_NozzlePickHeight", "吸嘴取料高度"},
      {"LabelingSet.c_ThimblePickHeight", "顶针顶料高度"},
      {"LabelingSet.c_LiftAwayDistance", "抬升脱离距离"},
      {"LabelingSet.c_ComponentLenght", "元件长度"},
      {"LabelingSet.c_ComponentWidth", "元件宽度"},
      {"LabelingSet.c_AllowableError", "允许误差"},
      {"LabelingSet.c_CheckTimes", "检查时间"},
      {"LabelingSet.c_VisualBoxSize", "视框尺寸"},
      {"LabelingSet.c_Brightness", "光源亮度"},
      {"LabelingSet.c_Threshold", "识别阀值"},
      {"LabelingSet.c_GlassSheets", "标签纸"},
      {"LabelingSet.c_Pause", "翻面启用暂停"},
      {"LabelingSet.c_TeachStartX", "起始点 X"},
      {"LabelingSet.c_TeachStartY", "起始点 Y"},
      {"LabelingSet.c_TeachEndX", "结束点 X"},
      {"LabelingSet.c_TeachEndY", "结束点 Y"},
      {"LabelingSet.c_Task6", "底部相机"},
      {"LabelingSet.c_Task7", "吸嘴到顶针中心"},
      {"LabelingSet.c_Task8", "相机到顶针中心"},
      {"LabelingSet.c_Task9", "取料测试"},
      {"LabelingSet.c_Task10", "抬升测试"},
      {"LabelingSet.c_Task11", "取料拔离"},
      {"LabelingSet.c_Task12", "循环测试"},
      {"LabelingSet.c_Task13", "当前识别"},
      {"LabelingSet.c_1002", "移动X+"},
      {"LabelingSet.c_1592", "移动X-"},
      {"LabelingSet.c_1004", "移动Y+"},
      {"LabelingSet.c_1593", "移动Y-"},
      {"LabelingSet.c_1007", "移动Z+"},
      {"LabelingSet.c_1006", "移动Z-"},
      {"LabelingSet.c_1054", "前进>>>"},
      {"LabelingSet.c_1053", "<<<后退"},
      {"LabelingSet.c_1005", "复位"},
      {"LabelingSet.c_1013", "复位X"},
      {"LabelingSet.c_1014", "复位Y"},
      {"LabelingSet.c_1015", "复位Z"},
      {"LabelingSet.c_1041", "Mark相机"},
      {"LabelingSet.c_1039", "循环识别"},
      {"LabelingSet.c_1045", "真空阀"},
      {"LabelingSet.c_IDOK", "确定"},
  };
  return t;
}

const TextTable& LampTextTable() {
  static const TextTable t = {
      {"LampMachineList.c_Col00", "点号"},
      {"LampMachineList.c_Col01", "平台号"},
      {"LampMachineList.c_Col02", "启用检查"},
      {"LampMachineList.c_Col03", "Mark点X"},
      {"LampMachineList.c_Col04", "Y"},
      {"LampMachineList.c_Col05", "偏移量X"},
      {"LampMachineList.c_Col06", "Y"},
      {"LampMachineList.c_Col07", "坐标点X"},
      {"LampMachineList.c_Col08", "Y"},
      {"LampMachineList.c_Col09", "坐标偏移X"},
      {"LampMachineList.c_Col10", "Y"},
      {"LampMachineList.c_Col11", "Z"},
      {"LampMachineList.c_Col12", "点胶启动速度"},
      {"LampMachineList.c_Col13", "点胶运行速度"},
      {"LampMachineList.c_Col14", "红胶偏移X"},
      {"LampMachineList.c_Col15", "Y"},
      {"LampMachineList.c_Col16", "点胶高度"},
      {"LampMachineList.c_Col17", "阀门打开"},
      {"LampMachineList.c_Col18", "底部延时"},
      {"LampMachineList.c_Col19", "阀门关闭"},
      {"LampMachineList.c_Col20", "关闭延时"},
      {"LampMachineList.c_Col21", "1点银偏移X"},
      {"LampMachineList.c_Col22", "Y"},
      {"LampMachineList.c_Col23", "点胶高度"},
      {"LampMachineList.c_Col24", "阀门打开"},
      {"LampMachineList.c_Col25", "底部延时"},
      {"LampMachineList.c_Col26", "阀门关闭"},
      {"LampMachineList.c_Col27", "关闭延时"},
      {"LampMachineList.c_Col28", "2点银偏移X"},
      {"LampMachineList.c_Col29", "Y"},
      {"LampMachineList.c_Col30", "点胶高度"},
      {"LampMachineList.c_Col31", "阀门打开"},
      {"LampMachineList.c_Col32", "底部延时"},
      {"LampMachineList.c_Col33", "阀门关闭"},
      {"LampMachineList.c_Col34", "关闭延时"},
      {"LampMachineList.c_Title", "点灯机参数表"},
      {"LampMachineList.c_EditTitle", "点灯机参数修改"},
      {"LampMachineList.c_IDCANCEL", "Cancel"},
      {"LampMachineList.c_CountSet", "设定数量"},
      {"LampMachineList.c_CountFinish", "完成数量"},
      {"LampMachineList.c_CountUnfinish", "未完数量"},
      {"LampMachineList.c_CountChange", "增减数量"},
      {"LampMachineList.c_Add", "添加"},
      {"LampMachineList.c_Modify", "修改"},
      {"LampMachineList.c_Delete", "删除"},
      {"LampMachineList.c_ConfirmCounts", "确定修改"},
      {"LampMachineList.c_Speed0", "快速"},
      {"LampMachineList.c_Speed1", "中速"},
      {"LampMachineList.c_Speed2", "慢速"},
      {"LampMachineList.c_Speed3", "精细"},
      {"LampMachineList.c_1051", "松压料测试"},
      {"LampMachineList.c_1003", "提取 Mark"},
      {"LampMachineList.c_1002", "提取 LED"},
      {"LampMachineList.c_1031", "提取 红胶"},
      {"LampMachineList.c_1034", "提取 1点银"},
      {"LampMachineList.c_1037", "提取 2点银"},
      {"LampMachineList.c_1004", "相机到达 Mark"},
      {"LampMachineList.c_1040", "相机到达 LED"},
      {"LampMachineList.c_1259", "胶头到达 红胶"},
      {"LampMachineList.c_1260", "胶头到达 1点银"},
      {"LampMachineList.c_1261", "胶头到达 2点银"},
      {"LampMachineList.c_1045", "Z复位"},
      {"LampMachineList.c_1256", "点胶测试 红胶"},
      {"LampMachineList.c_1257", "点胶测试 1点银"},
      {"LampMachineList.c_1258", "点胶测试 2点银"},
      {"LampMachineList.c_1531", "开启Mark检查点红银胶测试"},
  };
  return t;
}

}  // namespace smt::stations

#include "job/PartListTexts.h"

#include <cstdio>
#include <map>

#include "job/JobRows.h"

namespace smt::job {

namespace {

std::vector<std::pair<std::string, std::string>> Build() {
  std::vector<std::pair<std::string, std::string>> t = {
      {"PartList.c_PCBName", "PCB拼板："},
      {"PartList.c_SMTCount", "数量："},
      {"PartList.c_Progress", "进度"},
      {"PartList.c_PcbEditTip", "PCB板的操作"},
      {"PartList.c_PcbEditStatus", "PCB板的操作方法"},
      {"PartList.c_StrategyTip", "贴装方案"},
      {"PartList.c_StrategyStatus", "选择合适的贴装方案"},
      {"PartList.c_SMTTime", "用时："},
      // The run toolbar's buttons keep their own English names in Chinese
      // (the machine's documentation names them so); the language files
      // give them in the operator's language.
      {"PartList.c_Button_104", "Pcb Edit"},
      {"PartList.c_Button_105", "Strategy"},
      {"PartList.c_Button_106", "Start"},
      {"PartList.c_Button_107", "Pause"},
      {"PartList.c_Button_108", "Resume"},
      {"PartList.c_Button_109", "Stop"},
      {"PartList.c_Button_110", "Pcb Clamp"},
      {"PartList.c_Button_111", "Find"},
      {"PartList.c_Button_112", "Compare"},
      {"PartList.c_Button_113", "Update"},
      {"PartList.c_Button_114", "Smt Dis"},
      {"PartList.c_UpdateList", "更新贴装表单"},
      {"PartList.c_SelectAll", "全部钩选/不选"},
      {"PartList.c_PartAdd", "添加元件"},
      {"PartList.c_PartEdit", "修改元件"},
      {"PartList.c_PartDelete", "删除元件"},
      {"PartList.c_PartCopy", "复制元件"},
      {"PartList.c_PartPaste", "粘贴元件"},
      {"PartList.c_CopyPaste", "复制粘贴"},
      {"PartList.c_SuctionTest", "吸嘴到元件坐标测试"},
      {"PartList.c_DisHeadTest", "点胶头到元件坐标测试"},
      {"PartList.c_CameraTest", "相机到元件坐标测试"},
      {"PartList.c_CurrentSmt", "从当前开始贴装"},
      {"PartList.c_CurrentDis", "从当前开始点胶"},
      {"PartList.c_SelectSmt", "选中元件贴装"},
      {"PartList.c_SelectDis", "选中元件点胶"},
      {"PartList.c_PCB_Operation", "PCB板操作"},
      {"PartList.c_PCB_Clockwise90", "顺时针旋转90度"},
      {"PartList.c_PCB_Counterclockwise90", "逆时针旋转90度"},
      {"PartList.c_PCB_LeftRightMirror", "左右镜像"},
      {"PartList.c_PCB_UpDownMirror", "上下镜像"},
      {"PartList.c_PCB_Compound", "合成整板"},
      {"PartList.c_Top", "上"},
      {"PartList.c_Bottom", "下"},
      {"PartList.c_Left", "左"},
      {"PartList.c_Right", "右"},
      {"PartList.c_DoubleGroutXYControl", "双点胶XY操作"},
      {"PartList.c_Grout1ToY1PartTest", "点胶头1到Y1元件坐标测试"},
      {"PartList.c_Grout1ToY2PartTest", "点胶头1到Y2元件坐标测试"},
      {"PartList.c_Grout2ToY1PartTest", "点胶头2到Y1元件坐标测试"},
      {"PartList.c_Grout2ToY2PartTest", "点胶头2到Y2元件坐标测试"},
      {"PartList.c_CameraToY1PartTest", "MARK相机到Y1元件坐标测试"},
      {"PartList.c_CameraToY2PartTest", "MARK相机到Y2元件坐标测试"},
      {"PartList.c_Nozzle1ToY1PartTest", "吸嘴1到Y1元件坐标测试"},
      {"PartList.c_Nozzle2ToY1PartTest", "吸嘴2到Y1元件坐标测试"},
      {"PartList.c_Nozzle3ToY1PartTest", "吸嘴3到Y1元件坐标测试"},
      {"PartList.c_Nozzle4ToY1PartTest", "吸嘴4到Y1元件坐标测试"},
      {"PartList.c_OverrunPos", "行开始有坐标越限，请检查 !"},
      {"PartList.c_OverArrPos", "行阵列后开始有坐标越限，请检查 !"},
      {"PartList.c_First", "第"},
      {"PartList.c_NoFeed", "行料架号不存在 !"},
      {"PartList.c_NoNozzle", "行吸嘴编号错误 !"},
      {"PartList.c_IntegrationFeed", "集中飞达"},
      {"PartList.c_AutoFeed", "自动飞达"},
      {"PartList.c_VibrationFeed", "振动飞达"},
      {"PartList.c_GridBox", "托盘"},
      {"PartList.c_0402", "0402"},
      {"PartList.c_48", "48"},
      {"PartList.c_DragHand", "拖针"},
      {"PartList.c_CL_DIP", "CL_浸渍站"},
      {"PartList.c_GRID_DIP", "托盘_浸渍站"},
      {"PartList.c_Message_01", "没有贴装表单 !"},
      {"PartList.c_Message_02", "请选择要修改的行 !"},
      {"PartList.c_Message_03", "请选择要删除的行 !"},
      {"PartList.c_Message_04", "请选择要复制的行 !"},
      {"PartList.c_Message_05", "请选择要测试的行 !"},
      {"PartList.c_Message_06", "没有找到PCB板 !"},
      {"PartList.c_Message_09", "暂无此功能 !"},
      {"PartList.c_Message_10", "原点的 X 坐标越限 !"},
      {"PartList.c_Message_11", "原点的 Y 坐标越限 !"},
      {"PartList.c_Message_12", "Mark1点的 X 坐标越限 !"},
      {"PartList.c_Message_13", "Mark1点的 Y 坐标越限 !"},
      {"PartList.c_Message_14", "Mark2点的 X 坐标越限 !"},
      {"PartList.c_Message_15", "Mark2点的 Y 坐标越限 !"},
      {"PartList.c_Message_16", "阵列原点的 X 坐标越限 !"},
      {"PartList.c_Message_17", "阵列原点的 Y 坐标越限 !"},
      {"PartList.c_Message_18", "没有料架，请添加料架 !"},
      {"PartList.c_Message_19", "托盘下一个没有料了，请提前放料 !"},
      {"PartList.c_Message_20", "没有找到料架组 !"},
      {"PartList.c_Message_21", "料架坐标越限 ! 结束"},
      {"PartList.c_Message_22", "相机坐标越限 ! 结束"},
      {"PartList.c_Message_23", "元件坐标越限 ! 结束"},
      {"PartList.c_Message_24", "料架飞达坐标越限 ! 结束"},
      {"PartList.c_Message_25", "料架出错 !"},
      {"PartList.c_Message_27", "没有找到PCB板 !"},
      {"PartList.c_Message_28", "没有选择料架 !"},
      {"PartList.c_Message_29", "没有相机 !"},
      {"PartList.c_Message_30", "Mark大小识别失败 !  是-重新识别，否-退出，取消-退出"},
      {"PartList.c_Message_47", "Mark相机没有送来图像 ! 请检查相机是否掉线 !"},
      {"PartList.c_Message_31", "提示：请手动更换吸嘴 !"},
      {"PartList.c_Message_32", "提示：1号吸嘴堵住，请检查 !"},
      {"PartList.c_Message_33", "提示：2号吸嘴堵住，请检查 !"},
      {"PartList.c_Message_34", "吸料或视觉失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料"},
      {"PartList.c_Message_35", "是否删除选择行 ?"},
      {"PartList.c_Message_36", "是否合成整板 ?"},
      {"PartList.c_Message_37", "是否复制新增 ?"},
      {"PartList.c_Message_38", "Mark识别失败 !"},
      {"PartList.c_Message_39", "Mark位置超过允许公差 !   是-继续，否-终止，取消-继续"},
      {"PartList.c_Message_40", "是否复制粘贴选择行到最后 ?"},
      {"PartList.c_Message_41", "请先按总复位机器 !"},
      {"PartList.c_Message_42", "料架与元件数值不一致 !"},
      {"PartList.c_Message_43", "料架与元件数值全部一致 !"},
      {"PartList.c_Message_44", "警告：修改元件或料架时将运行贴装头，不可以靠近贴装头 ! 提示1次。"},
      {"PartList.c_Message_45", "真空失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料"},
      {"PartList.c_Message_46", "视觉失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料"},
  };
  const auto& place = BuiltinTitles(RowKind::Placement);
  for (int i = 0; i < 15; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_PartList_%02d", i + 1);
    t.emplace_back(key, place[static_cast<size_t>(i)]);
  }
  const auto& dis = BuiltinTitles(RowKind::Dispense);
  for (int i = 0; i < 11; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_DisList_%02d", i + 1);
    t.emplace_back(key, dis[static_cast<size_t>(i)]);
  }
  const auto& drill = BuiltinTitles(RowKind::Drill);
  for (int i = 0; i < 14; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_DrillList_%02d", i + 1);
    t.emplace_back(key, drill[static_cast<size_t>(i)]);
  }
  // The drill list's menu beside the texts it shares with the others.
  t.emplace_back("PartList.c_DrillCopyPaste", "复制->粘贴");
  t.emplace_back("PartList.c_DrillTest", "钻头到坐标测试");
  t.emplace_back("PartList.c_DrillCameraTest", "相机到坐标测试");
  t.emplace_back("PartList.c_CurrentDrill", "从当前开始钻孔");
  t.emplace_back("PartList.c_SelectDrill", "选中钻孔");

  return t;
}

}  // namespace

const std::vector<std::pair<std::string, std::string>>& PartListTextTable() {
  static const auto t = Build();
  return t;
}

const std::string& PartListBuiltinText(const std::string& key) {
  static const std::map<std::string, std::string> m(PartListTextTable().begin(), PartListTextTable().end());
  static const std::string empty;
  auto it = m.find(key);
  return it == m.end() ? empty : it->second;
}

}  // namespace smt::job

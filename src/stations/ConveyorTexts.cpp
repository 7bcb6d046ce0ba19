#include "stations/ConveyorTexts.h"

#include <mutex>
#include <utility>
#include <vector>

#include "core/Machine.h"
#include "platform/SettingsSection.h"

namespace smt::stations {

namespace {
const std::vector<std::pair<const char*, const char*>>& Keys() {
  static const std::vector<std::pair<const char*, const char*>> k = {
      {"AutoTransport.c_AutoTransportControl", "自动送板操作"},
      // The progress line before a conveyor task has reported.
      {"AutoTransport.c_Information", "information"},
      {"AutoTransport.c_AutoTransport", ">>>>>>>>>>>>>>>>整体送板测试>>>>>>>>>>>>>>>>"},
      {"AutoTransport.c_AsConveyor", "作为传输机使用"},
      {"AutoTransport.c_EnableAutoTransport", "启用自动进板"},
      {"AutoTransport.c_ClearWait", "清除进出板等待"},
      {"AutoTransport.c_AutoTransport_Walk", "--正在进行"},
      {"AutoTransport.c_AutoTransport_Finish", "--已经完成"},
      {"AutoTransport.c_StepTransport_1", "进板点动"},
      {"AutoTransport.c_AutoTransport_1", "进板测试"},
      {"AutoTransport.c_StepTransport_2", "送板点动"},
      {"AutoTransport.c_AutoTransport_2", "送板测试"},
      {"AutoTransport.c_StepTransport_3", "出板点动"},
      {"AutoTransport.c_AutoTransport_3", "出板测试"},
      {"AutoTransport.c_OutTransport", "走板"},
      {"AutoTransport.c_ImportSignal", "进板机信号"},
      {"AutoTransport.c_BlockTest", "挡板阀"},
      {"AutoTransport.c_ClampTest", "夹板阀"},
      {"AutoTransport.c_HoldTest", "顶板阀"},
      {"AutoTransport.c_ExportSignal", "出板机信号"},
      {"AutoTransport.c_ConveyorStartSpeed", "启动速度"},
      {"AutoTransport.c_ConveyorNormalSpeed", "运行速度"},
      {"AutoTransport.c_StepValue", "点动步数"},
      {"AutoTransport.c_ClampTime", "夹板时间"},
      {"AutoTransport.c_WaitTimeOut", "等待进板超时"},
      {"AutoTransport.c_Reset", "复位"},
      {"AutoTransport.c_ResetWidth", "复位时宽度"},
      {"AutoTransport.c_SetWidth", "设定宽度"},
      {"AutoTransport.c_SetWidthRange", "设定宽度范围"},
      {"AutoTransport.c_ResetPcbTransport", "复位PCB送板"},
      {"AutoTransport.c_ArriveSetWidth", "到达设定宽度"},
      {"AutoTransport.c_IDOK", "确定"},
      {"AutoTransport.c_IDCANCEL", "取消"},
      {"AutoTransport.c_NoColse", "测试正在进行中，不可以关闭对话框"},
      {"AutoTransport.c_BeltTravel", "皮带 %1 第 %2 段行程 (mm)"},
  };
  return k;
}

// The machine's conveyor texts (the defaults until the language's are set).
struct StoredTexts {
  std::mutex mutex;
  ConveyorTexts value = ConveyorTexts::Defaults();
};
StoredTexts& Stored(smt::Machine& machine) { return machine.Part<StoredTexts>(); }

void Derive(ConveyorTexts& t) {
  t.in = t.Text("AutoTransport.c_AutoTransport_1");
  t.transfer = t.Text("AutoTransport.c_AutoTransport_2");
  t.out = t.Text("AutoTransport.c_AutoTransport_3");
  t.walk = t.Text("AutoTransport.c_AutoTransport_Walk");
  t.finish = t.Text("AutoTransport.c_AutoTransport_Finish");
  t.noClose = t.Text("AutoTransport.c_NoColse");
}
}  // namespace

ConveyorTexts ConveyorTexts::Defaults() {
  ConveyorTexts t;
  for (const auto& [k, v] : Keys()) t.all[k] = v;
  Derive(t);
  return t;
}

ConveyorTexts ConveyorTexts::Load(const std::string& appDir, const std::string& language) {
  ConveyorTexts t;
  smt::platform::LanguageSection s(appDir, language, "AutoTransportConfig");
  for (const auto& [k, v] : Keys()) t.all[k] = s.Text(k, v);
  Derive(t);
  return t;
}

ConveyorTexts ConveyorTexts::Current(smt::Machine& machine) {
  StoredTexts& s = Stored(machine);
  std::lock_guard lk(s.mutex);
  return s.value;
}
void ConveyorTexts::SetCurrent(smt::Machine& machine, const ConveyorTexts& t) {
  StoredTexts& s = Stored(machine);
  std::lock_guard lk(s.mutex);
  s.value = t;
}

std::string ConveyorTexts::Text(const std::string& key) const {
  auto it = all.find(key);
  return it == all.end() ? std::string() : it->second;
}

}  // namespace smt::stations

#include "run/StrategySettings.h"

#include "platform/RefusalTexts.h"

#include <cstdio>

#include <mutex>

#include "core/Machine.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/Listeners.h"

namespace smt::run {

int HeadCountOfMode(int m) {
  switch (m) {
    case 1: case 2: return 2;
    case 3: case 4: case 5: return 4;
    case 6: case 7: case 8: return 8;
    default: return 1;
  }
}

int SortKeyOfOrder(int order) {
  static const int keys[10] = {0, 1, 2, 3, 4, 5, 6, 20, 11, 12};
  return order >= 0 && order < 10 ? keys[order] : -1;
}

namespace {
// The 28 keys in their stored order; the doubles sit at their own places.
struct Key { const char* key; int SmtStrategy::*i; double SmtStrategy::*d; };
const Key kKeys[] = {
    {"m_SmtOrder", &SmtStrategy::m_SmtOrder, nullptr},
    {"m_HeaderSelect", &SmtStrategy::m_HeaderSelect, nullptr},
    {"m_SpecialHead", &SmtStrategy::m_SpecialHead, nullptr},
    {"m_TogetherCode", &SmtStrategy::m_TogetherCode, nullptr},
    {"m_Camera", &SmtStrategy::m_Camera, nullptr},
    {"m_AutoChangeNozzle", &SmtStrategy::m_AutoChangeNozzle, nullptr},
    {"m_19NozzleLibrary", &SmtStrategy::m_19NozzleLibrary, nullptr},
    {"m_ChangeNozzleSelect", &SmtStrategy::m_ChangeNozzleSelect, nullptr},
    {"m_Head2AvoidCamera1", &SmtStrategy::m_Head2AvoidCamera1, nullptr},
    {"m_Cover", &SmtStrategy::m_Cover, nullptr},
    {"m_SpellBoard", &SmtStrategy::m_SpellBoard, nullptr},
    {"m_RunSelect", &SmtStrategy::m_RunSelect, nullptr},
    {"m_Interval", &SmtStrategy::m_Interval, nullptr},
    {"m_DropsGlueDelay", &SmtStrategy::m_DropsGlueDelay, nullptr},
    {"m_bDisMode2", &SmtStrategy::m_bDisMode2, nullptr},
    {"m_DisSpeedStart_XY", &SmtStrategy::m_DisSpeedStart_XY, nullptr},
    {"m_DisSpeedNormal_XY", &SmtStrategy::m_DisSpeedNormal_XY, nullptr},
    {"m_DisSpeedStart_Z", &SmtStrategy::m_DisSpeedStart_Z, nullptr},
    {"m_DisSpeedNormal_Z", &SmtStrategy::m_DisSpeedNormal_Z, nullptr},
    {"m_DropsGluePoint", &SmtStrategy::m_DropsGluePoint, nullptr},
    {"m_WeldDistance_1", nullptr, &SmtStrategy::m_WeldDistance_1},
    {"m_WeldDistance_2", nullptr, &SmtStrategy::m_WeldDistance_2},
    {"m_DropsGlueOpen1", nullptr, &SmtStrategy::m_DropsGlueOpen1},
    {"m_DropsGlueClose1", nullptr, &SmtStrategy::m_DropsGlueClose1},
    {"m_AfterCloseDelay1", &SmtStrategy::m_AfterCloseDelay1, nullptr},
    {"m_DropsGlueOpen2", nullptr, &SmtStrategy::m_DropsGlueOpen2},
    {"m_DropsGlueClose2", nullptr, &SmtStrategy::m_DropsGlueClose2},
    {"m_AfterCloseDelay2", &SmtStrategy::m_AfterCloseDelay2, nullptr},
};

// The machine's placement strategy.
smt::Guarded<SmtStrategy>& StrategyOfMachine(smt::Machine& m) { return m.Part<smt::Guarded<SmtStrategy>>(); }
}  // namespace

void ApplyLoadRules(SmtStrategy& s) {
  if (s.m_SpecialHead < 2 || s.m_SpecialHead > 8) s.m_SpecialHead = 8;
  if (s.m_DisSpeedStart_XY == 0) s.m_DisSpeedStart_XY = 50;
  if (s.m_DisSpeedNormal_XY == 0) s.m_DisSpeedNormal_XY = 100;
  if (s.m_DisSpeedStart_Z == 0) s.m_DisSpeedStart_Z = 50;
  if (s.m_DisSpeedNormal_Z == 0) s.m_DisSpeedNormal_Z = 100;
  if (s.m_DropsGluePoint == 0) s.m_DropsGluePoint = 1;
  if (s.m_HeaderSelect != 2) s.m_ChangeNozzleSelect = 0;
}

SmtStrategy LoadStrategy(const std::string& appDir) {
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(appDir), kStrategySection);
  SmtStrategy s;
  for (const Key& k : kKeys) {
    if (k.i) s.*(k.i) = smt::settings::ReadConfigInt(sec, k.key);
    else s.*(k.d) = smt::settings::ReadConfigNumber(sec, k.key);
  }
  ApplyLoadRules(s);
  return s;
}

bool SaveStrategy(const std::string& appDir, const SmtStrategy& s) {
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(appDir), kStrategySection);
  bool ok = true;
  for (const Key& k : kKeys) ok = (k.i ? sec.WriteInt(k.key, s.*(k.i)) : sec.WriteDouble(k.key, s.*(k.d))) && ok;
  return ok;
}

void ApplyMachineTypeLimits(SmtStrategy& s, int type) {
  auto& hm = s.m_HeaderSelect;
  auto& rm = s.m_RunSelect;
  switch (type) {
    case 0:
      hm = 0;
      if (rm == 1 || rm == 2 || rm > 9) rm = 0;
      break;
    case 1:
      hm = 0;
      if (rm > 9) rm = 0;
      break;
    case 2: case 10: case 5:
      if (hm >= 3 && hm <= 5) hm = 0;
      if (type == 5 ? (rm == 1 || rm == 2 || rm > 9) : rm > 9) rm = 0;
      break;
    case 3: case 7: case 8:
      if (rm > 9) rm = 0;
      s.m_19NozzleLibrary = 1;
      break;
    case 4:
      if (rm != 0 && (rm < 9 || rm > 12)) rm = 12;
      s.m_AutoChangeNozzle = 0;
      break;
    case 6:
      if (rm > 9) rm = 0;
      break;
    default: break;
  }
  if (!CoverAllowed(s, type)) s.m_Cover = 0;
}

bool CoverAllowed(const SmtStrategy& s, int type) { return s.m_RunSelect == 0 && type >= 0 && type <= 2; }

namespace {
// The names of the modes as the strategy page shows them, in the window's language.
std::string RunModeName(int m) {
  static const char* keys[13] = {"1022", "1023", "1032", "1024", "1025", "1029", "1026",
                                 "1028", "1034", "1038", "1044", "1042", "1043"};
  static const char* names[13] = {"贴装", "点胶", "点胶->贴装", "吸嘴模拟", "相机元件坐标检查", "相机模拟料架->元件",
                                  "送料运行->相机检查", "相机料架坐标检查", "注胶", "点红胶->点锡盘Y1",
                                  "点红胶->点锡盘Y1Y2", "点胶贴片->Y1", "点胶贴片->Y1Y2"};
  if (m < 0 || m >= 13) return "?";
  return smt::platform::WindowText(kStrategySection, std::string("SmtStrategy.c_") + keys[m], names[m]);
}
std::string HeadModeName(int m) {
  static const char* keys[9] = {"1018", "1019", "1027", "1030", "1031", "1035", "1053", "1054", "1052"};
  static const char* names[9] = {"单头单个贴装", "双头相同吸嘴", "双头不同吸嘴", "四头相同吸嘴", "四头不同吸嘴",
                                 "指定第4头吸嘴", "八头相同吸嘴", "八头不同吸嘴", "指定吸嘴开始于"};
  if (m < 0 || m >= 9) return "?";
  return smt::platform::WindowText(kStrategySection, std::string("SmtStrategy.c_") + keys[m], names[m]);
}
// Heads fitted by machine type (the drilling machine has no placing heads).
int HeadsOfType(int type) {
  static const int heads[11] = {1, 1, 2, 4, 4, 2, 4, 8, 8, 8, 2};
  return type >= 0 && type <= 10 ? heads[type] : 8;
}
}  // namespace

std::string MachineTypeRefusal(int runMode, int headMode, int type) {
  SmtStrategy asked;
  asked.m_RunSelect = runMode;
  asked.m_HeaderSelect = headMode;
  SmtStrategy allowed = asked;
  ApplyMachineTypeLimits(allowed, type);
  if (allowed.m_RunSelect != runMode || runMode < 0 || runMode > 12)
    return smt::platform::FillText(
        smt::platform::WindowText(kStrategySection, "SmtStrategy.c_RunModeRefused",
                                  "运行模式 %1 “%2” 不能用于机器类型 %3，请在策略设置中选择 !"),
        {std::to_string(runMode), RunModeName(runMode), std::to_string(type)});
  if (type != 9 && (allowed.m_HeaderSelect != headMode || HeadCountOfMode(headMode) > HeadsOfType(type) ||
                    headMode < 0 || headMode > 8))
    return smt::platform::FillText(
        smt::platform::WindowText(kStrategySection, "SmtStrategy.c_HeadModeRefused",
                                  "贴装头模式 %1 “%2” 不能用于机器类型 %3，请在策略设置中选择 !"),
        {std::to_string(headMode), HeadModeName(headMode), std::to_string(type)});
  return {};
}

SmtStrategy Strategy(smt::Machine& m) {
  auto& held = StrategyOfMachine(m);
  std::lock_guard lk(held.mutex);
  return held.value;
}

namespace {
smt::settings::Listeners<const SmtStrategy&>& StrategyListeners(smt::Machine& m) {
  return m.Part<smt::settings::Listeners<const SmtStrategy&>>();
}
}  // namespace

void SetStrategy(smt::Machine& m, const SmtStrategy& s) {
  {
    auto& held = StrategyOfMachine(m);
    std::lock_guard lk(held.mutex);
    held.value = s;
  }
  StrategyListeners(m).Notify(s);
}

int AddStrategyListener(smt::Machine& m, std::function<void(const SmtStrategy&)> listener) {
  return StrategyListeners(m).Add(std::move(listener));
}
void RemoveStrategyListener(smt::Machine& m, int id) { StrategyListeners(m).Remove(id); }

}  // namespace smt::run

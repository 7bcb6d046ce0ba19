#include "core/ViewMessages.h"

#include <cstdio>

#include "platform/SettingsSection.h"

namespace smt::app {

namespace {
const char* const kDefaults[21] = {
      "",
      "设备正在自动工作，不能操作料架组 !",
      "设备正在自动工作，禁止此项执行 !",
      "没有找到PCB板 !",
      "Pcb原点 X 坐标越限 !",
      "Pcb原点 Y 坐标越限 !",
      "相机不存在 !",
      "没有找到视觉相机 1 !",
      "没有找到视觉相机 2 !",
      "视觉相机 1 的 X 坐标越限 !",
      "视觉相机 1 的 Y 坐标越限 !",
      "视觉相机 2 的 X 坐标越限 !",
      "视觉相机 2 的 Y 坐标越限 !",
      "Mark1点 X 坐标越限 !",
      "Mark1点 Y 坐标越限 !",
      "Mark2点 X 坐标越限 !",
      "Mark2点 Y 坐标越限 !",
      "视觉原点 X 坐标越限 !",
      "视觉原点 Y 坐标越限 !",
      "抛料 X 坐标越限 !",
      "抛料 Y 坐标越限 !",
};
}  // namespace

const char* DefaultViewMessage(int k) { return k >= 1 && k <= 20 ? kDefaults[k] : ""; }

ViewMessages LoadViewMessages(const std::string& appDir, const std::string& language) {
  platform::LanguageSection lang(appDir, language, "SMTViewConfig");
  ViewMessages m;
  for (int k = 1; k <= 20; ++k) {
    char key[32];
    std::snprintf(key, sizeof key, "SMTView.c_Message_%02d", k);
    m.text[static_cast<size_t>(k)] = lang.Text(key, kDefaults[k]);
  }
  return m;
}

}  // namespace smt::app

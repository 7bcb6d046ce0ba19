#include "vision/CvExtra.h"

#include <atomic>
#include <mutex>

#include "platform/Hooks.h"
#include "vision/PluginLoader.h"

namespace smt::vision {
namespace {

constexpr const char* kPluginName = "libsmt-cvextra.so";

struct Plugin {
  std::once_flag once;
  std::atomic<const CvExtraApi*> api{nullptr};
  std::string error;
};
Plugin& P() {
  static Plugin p;
  return p;
}

void Load(Plugin& p) {
  std::string tried;
#ifdef SMT_CVEXTRA_PLUGIN_PATH
  const char* built = SMT_CVEXTRA_PLUGIN_PATH;
#else
  const char* built = nullptr;
#endif
  const void* api = LoadPlugin(
      kPluginName, built, "smt_cvextra_api",
      [](const void* a) { return static_cast<const CvExtraApi*>(a)->version == CvExtraApi::kVersion; }, tried);
  if (api) {
    p.api = static_cast<const CvExtraApi*>(api);
    return;
  }
  p.error = std::string("QR and lens-correction plugin ") + kPluginName +
            " missing; QR reading and lens correction are unavailable:" + tried;
  smt::platform::HookLog(p.error);
}

}  // namespace

const CvExtraApi* CvExtra() {
  Plugin& p = P();
  std::call_once(p.once, [&] { Load(p); });
  return p.api;
}

bool CvExtraPluginLoaded() { return P().api != nullptr; }

std::string CvExtraPluginError() { return P().error; }

}  // namespace smt::vision

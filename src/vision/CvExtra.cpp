#include "vision/CvExtra.h"

#include <string>

#include "vision/PluginLoader.h"

namespace smt::vision {
namespace {

constexpr const char* kPluginName = "libsmt-cvextra.so";

PluginOnFirstUse<CvExtraApi>& P() {
#ifdef SMT_CVEXTRA_PLUGIN_PATH
  const char* built = SMT_CVEXTRA_PLUGIN_PATH;
#else
  const char* built = nullptr;
#endif
  static PluginOnFirstUse<CvExtraApi> p(
      kPluginName, built, "smt_cvextra_api",
      std::string("QR and lens-correction plugin ") + kPluginName +
          " missing; QR reading and lens correction are unavailable:");
  return p;
}

}  // namespace

const CvExtraApi* CvExtra() { return P().Get(); }

bool CvExtraPluginLoaded() { return P().Loaded(); }

std::string CvExtraPluginError() { return P().Error(); }

}  // namespace smt::vision

#pragma once
// The QR-reader and lens-correction plugin ("libsmt-cvextra.so", see
// codecs/CvExtraApi.h), loaded the first time one of them is needed. A
// missing or unusable plugin is loud: the log names it once and QR reading
// and lens correction are unavailable.
#include <string>

#include "vision/codecs/CvExtraApi.h"

namespace smt::vision {

// The plugin's table, loading it on the first call; nullptr when it cannot
// be loaded (CvExtraPluginError() says why).
const CvExtraApi* CvExtra();

// Whether the plugin is loaded in this process now, and why it could not be
// (empty when it was, or has not been tried).
bool CvExtraPluginLoaded();
std::string CvExtraPluginError();

}  // namespace smt::vision

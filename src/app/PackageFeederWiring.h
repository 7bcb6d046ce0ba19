#pragma once
// "同步修改料架表单": a confirmed package modify passes the package's values
// on to the feeders of the feeder list's current group that use it.
#include <functional>

#include "library/PackLibrary.h"

class CSMTView;

namespace smt::app {

std::function<void(const smt::library::PackFeederUpdate&)> PackageToFeeders(CSMTView& view);

}  // namespace smt::app

#include "link/LinkRuntime.h"

namespace smt::link {

LinkRuntime& Runtime() {
  static LinkRuntime runtime;
  return runtime;
}

}  // namespace smt::link

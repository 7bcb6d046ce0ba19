#include "feeder/FeederServices.h"

namespace smt::feeder {

FeederServices& FeederHooks() {
  static FeederServices s;
  return s;
}

}  // namespace smt::feeder

#include "feeder/FeederServices.h"

#include <mutex>

namespace smt::feeder {

namespace {
std::mutex& ServicesMutex() {
  static std::mutex m;
  return m;
}
FeederServices& Stored() {
  static FeederServices s;
  return s;
}
}  // namespace

FeederServices GetFeederServices() {
  std::lock_guard lk(ServicesMutex());
  return Stored();
}

void SetFeederServices(const FeederServices& s) {
  std::lock_guard lk(ServicesMutex());
  Stored() = s;
}

}  // namespace smt::feeder

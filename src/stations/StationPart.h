#pragma once
// A station that is a machine part and keeps the machine it belongs to:
// made on first use with that machine, kept for the machine's life.
#include <memory>
#include <mutex>

#include "core/Machine.h"

namespace smt::stations {

template <class T>
struct StationOfMachine {
  std::once_flag made;
  std::unique_ptr<T> station;
};

template <class T>
T& StationOf(smt::Machine& machine) {
  auto& part = machine.Part<StationOfMachine<T>>();
  std::call_once(part.made, [&] { part.station = std::make_unique<T>(machine); });
  return *part.station;
}

}  // namespace smt::stations

#pragma once
// The machine the run steps drive (link/RunMachine.h), and the conversions
// from the run's records to its terms.
#include <array>
#include <cstdint>

#include "link/MotionGlobals.h"
#include "link/RunMachine.h"

namespace smt::run {

// The run machine of machine `m`, which the run steps handed `m` drive.
inline smt::link::RunMachine& TheMachine(smt::Machine& m) { return smt::link::RunMachineOf(m); }

// A start / normal speed record as the machine takes it.
template <class S>
smt::link::AxisSpeed Speed(const S& s) {
  return {static_cast<int32_t>(s.start), static_cast<int32_t>(s.normal)};
}

// Each head's turn for the next combined move of machine `m`, as the run's
// steps set it.
inline std::array<int32_t, 8> HeadTurns(smt::Machine& m) {
  std::array<int32_t, 8> t{};
  for (size_t i = 0; i < t.size(); ++i) t[i] = m.motion.headMoveArgs[i];
  return t;
}

}  // namespace smt::run

#include "feeder/FeederEditorJog.h"

#include <cstdlib>

#include "settings/PulseMath.h"

namespace smt::feeder {

namespace {
// Z axis code and whether it runs reversed (Z2, Z4 on the shared axes).
std::pair<int, bool> ZAxis(int machineType, int index) {
  if (machineType == 7 || machineType == 8) return {0x20 + index, false};
  switch (index) {
    case 0: return {2, false};
    case 1: return {2, true};
    case 2: return {3, false};
    default: return {3, true};
  }
}

EditorJog Continuous(int axis, bool positive, int outputOff = 0) {
  EditorJog j;
  j.kind = EditorJog::Kind::Continuous;
  j.axis = axis;
  j.positive = positive;
  j.outputOff = outputOff;
  return j;
}

EditorJog Lift(int axis, bool positive, int lengthMm, double liftPulse) {
  EditorJog j;
  j.kind = EditorJog::Kind::Steps;
  j.axis = axis;
  j.positive = positive;
  j.steps = smt::settings::TruncToSteps(lengthMm, liftPulse);
  j.clearLiftFlags = true;
  return j;
}
}  // namespace

EditorJog PlanEditorJog(const std::string& b, const EditorJogInput& in) {
  const bool platform2 = in.machineType == 4 && in.platform == 2;
  if (b == "X+" || b == "X-") return Continuous(platform2 ? 9 : 0, b == "X+");
  if (b == "Y+" || b == "Y-") return Continuous(platform2 ? 12 : 1, b == "Y+");
  if (b == "Set") return {EditorJog::Kind::SpeedGear};
  if (b == "Home") return {EditorJog::Kind::HomeZ};
  if (b == "Z+" || b == "Z-") {
    const auto [axis, reversed] = ZAxis(in.machineType, in.zIndex);
    return Continuous(axis, (b == "Z+") != reversed);
  }
  if (b == "ToZ") {
    const int32_t target = smt::settings::TruncToSteps(in.pickHeightMm, in.zPulse);
    if (target >= 0) return {};
    const int32_t steps = target - in.currentZ;
    const auto [axis, reversed] = ZAxis(in.machineType, in.zIndex);
    EditorJog j;
    j.kind = EditorJog::Kind::Steps;
    j.axis = axis;
    j.positive = (steps >= 0) != reversed;
    j.steps = std::abs(steps);
    return j;
  }
  const bool lxPlus = b == "Lx+", lxMinus = b == "Lx-", lyPlus = b == "Ly+", lyMinus = b == "Ly-";
  if (!(lxPlus || lxMinus || lyPlus || lyMinus)) return {};
  switch (in.side) {
    case 'N':
      if (lxPlus || lxMinus) return Continuous(9, lxPlus, 6);
      return lyPlus ? Lift(12, true, in.closeLength, in.liftPulse) : Lift(12, false, in.openLength, in.liftPulse);
    case 'W':
      if (lyPlus || lyMinus) return Continuous(8, lyPlus, 5);
      return lxPlus ? Lift(11, false, in.openLength, in.liftPulse) : Lift(11, true, in.closeLength, in.liftPulse);
    case 'E':
      if (lyPlus || lyMinus) return Continuous(10, lyPlus, 7);
      return lxPlus ? Lift(13, true, in.closeLength, in.liftPulse) : Lift(13, false, in.openLength, in.liftPulse);
    default:
      return {};
  }
}

}  // namespace smt::feeder

#include "link/SpeedGears.h"

#include <cstdio>

namespace smt::link {

int GearStep(const smt::settings::SpeedSettings& s, StepFamily family, int gear) {
  struct Row { int fast, medium, slow, fine; };
  Row r{};
  switch (family) {
    case StepFamily::XY: r = {s.m_XY_RunFast, s.m_XY_RunMedium, s.m_XY_RunSlow, s.m_XY_RunFine}; break;
    case StepFamily::Z: r = {s.m_Z_RunFast, s.m_Z_RunMedium, s.m_Z_RunSlow, s.m_Z_RunFine}; break;
    case StepFamily::A: r = {s.m_A_RunFast, s.m_A_RunMedium, s.m_A_RunSlow, s.m_A_RunFine}; break;
    case StepFamily::Feed: r = {s.m_Feed_RunFast, s.m_Feed_RunMedium, s.m_Feed_RunSlow, s.m_Feed_RunFine}; break;
    case StepFamily::S: r = {s.m_S_RunFast, s.m_S_RunMedium, s.m_S_RunSlow, s.m_S_RunFine}; break;
  }
  switch (gear) {
    case 0: return r.fast;
    case 1: return r.medium;
    case 2: return r.slow;
    case 3: return r.fine;
    default: return 0;
  }
}

void ApplyGear(JogSteps& steps, int gear, const smt::settings::SpeedSettings& s) {
  if (gear < 0 || gear > 3) return;
  steps.m_XY_RunSteps = GearStep(s, StepFamily::XY, gear);
  steps.m_Z_RunSteps = GearStep(s, StepFamily::Z, gear);
  steps.m_A_RunSteps = GearStep(s, StepFamily::A, gear);
  steps.m_Feed_RunSteps = GearStep(s, StepFamily::Feed, gear);
  steps.m_S_RunSteps = GearStep(s, StepFamily::S, gear);
}

bool ApplyStepMenuCommand(JogSteps& steps, int command, const smt::settings::SpeedSettings& s) {
  struct Item { int command; StepFamily family; int gear; };
  static constexpr Item kItems[] = {
      {32954, StepFamily::XY, 0},   {32955, StepFamily::XY, 1},   {32956, StepFamily::XY, 2},
      {32957, StepFamily::XY, 3},   {32967, StepFamily::Z, 0},    {32964, StepFamily::Z, 1},
      {32963, StepFamily::Z, 2},    {32958, StepFamily::Z, 3},    {32968, StepFamily::A, 0},
      {32965, StepFamily::A, 1},    {32962, StepFamily::A, 2},    {32959, StepFamily::A, 3},
      {32969, StepFamily::Feed, 0}, {32966, StepFamily::Feed, 1}, {32961, StepFamily::Feed, 2},
      {32960, StepFamily::Feed, 3}, {33111, StepFamily::S, 0},    {33112, StepFamily::S, 1},
      {33113, StepFamily::S, 2},    {33114, StepFamily::S, 3},
  };
  for (const Item& it : kItems) {
    if (it.command != command) continue;
    const int v = GearStep(s, it.family, it.gear);
    switch (it.family) {
      case StepFamily::XY:
        steps.m_SpeedGears = it.gear;
        steps.m_XY_RunSteps = v;
        break;
      case StepFamily::Z: steps.m_Z_RunSteps = v; break;
      case StepFamily::A: steps.m_A_RunSteps = v; break;
      case StepFamily::Feed: steps.m_Feed_RunSteps = v; break;
      case StepFamily::S: steps.m_S_RunSteps = v; break;
    }
    return true;
  }
  return false;
}

std::string StepDisplayText(const JogSteps& s) {
  char b[160];
  std::snprintf(b, sizeof b, "XY%d,  Z%d,  A%d,  F%d,  S%d", s.m_XY_RunSteps, s.m_Z_RunSteps, s.m_A_RunSteps,
                s.m_Feed_RunSteps, s.m_S_RunSteps);
  return b;
}

bool SpeedGearDebounce::TakeArmed() {
  std::lock_guard lk(m_);
  const auto now = std::chrono::steady_clock::now();
  if (any_ && now - last_ < interval_) return false;
  any_ = true;
  last_ = now;
  return true;
}

}  // namespace smt::link

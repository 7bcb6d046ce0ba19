#pragma once
// The jog steps of the jog panel and its four speed gears (0 fast, 1 medium,
// 2 slow, 3 fine). A gear sets all five step sizes from the speed-template
// settings; the step menus set one family at a time.
#include <chrono>
#include <mutex>
#include <string>

#include "settings/SpeedSettings.h"

namespace smt::link {

// The step families of the jog panel.
enum class StepFamily { XY, Z, A, Feed, S };

struct JogSteps {
  int m_SpeedGears = 0;
  int m_XY_RunSteps = 0;
  int m_Z_RunSteps = 0;
  int m_A_RunSteps = 0;
  int m_Feed_RunSteps = 0;
  int m_S_RunSteps = 0;
  bool operator==(const JogSteps&) const = default;
};

// The template value of a family at a gear (0..3); 0 for another gear.
int GearStep(const smt::settings::SpeedSettings& s, StepFamily family, int gear);

// Sets the five steps of `gear` (0..3); any other gear sets nothing.
void ApplyGear(JogSteps& steps, int gear, const smt::settings::SpeedSettings& s);

// The gear after `gear`: 0, 1, 2, 3, 0, ...
inline int FollowingGear(int gear) { return gear + 1 >= 4 ? 0 : gear + 1; }

// The step-menu commands (32954 ... 33114). True when `command` is one of
// them; the XY items also set the gear.
bool ApplyStepMenuCommand(JogSteps& steps, int command, const smt::settings::SpeedSettings& s);

// "XY%d,  Z%d,  A%d,  F%d,  S%d"
std::string StepDisplayText(const JogSteps& steps);

// Keyboard gear changes are debounced: a change is accepted only once the
// previous accepted one is at least `interval` old, so a double press of
// Ctrl+Shift within that time advances the gear once.
class SpeedGearDebounce {
 public:
  explicit SpeedGearDebounce(std::chrono::milliseconds interval = std::chrono::milliseconds(100))
      : interval_(interval) {}
  // True (and the time is taken) when a change may be made now.
  bool TakeArmed();

 private:
  std::mutex m_;
  std::chrono::milliseconds interval_;
  bool any_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace smt::link

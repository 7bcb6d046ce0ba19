#pragma once
// What the motion commands read of the machine settings: the travel limits in
// steps, the speed options, one revolution of the A axes, the vacuum and feed
// values, the homing speeds and the switches of the after-connect and
// after-home steps. Published as a whole: a worker reads one consistent copy.
#include <array>
#include <functional>
#include <string>

namespace smt {
class Machine;
}
namespace smt::settings {
struct SettingsStores;
}

namespace smt::link {

struct SpeedPairValue {
  int start = 0;
  int normal = 0;
};

struct MotionSettings {
  // Travel limits in steps: X 0 .. xLimit, Y yLimit .. 0, Z zLimit .. 0.
  int xLimit = 0, yLimit = 0, zLimit = 0;
  int xLimitAbs = 0, yLimitAbs = 0;
  // Steps of one revolution of an A axis (the fast A jog step).
  int aRevolution = 1000;
  // Speed options of the speed-template settings.
  bool optimizeFarSpeed = false;
  int accelSpeed = 100;          // percent; a stored 0 reads as 100
  bool maxSpeedLimit = false;
  int maxSpeedLimitValue = 32;   // a stored value of 0 or below reads as 32
  // Vacuum, exhaust and feed.
  bool suctionNozzleOffset = false;
  std::array<int, 8> suctionNozzleValue{};
  int exhaust = 5;
  int feedDelayMs = 200;         // a stored 0 reads as 200
  // Conveyor.
  int conveyorWaitTimeOut = 0;
  int conveyorStartSpeed = 0, conveyorNormalSpeed = 0;
  bool autoTransport = false;
  int conveyorWidthTarget = 0;   // width the conveyor is set to after homing its width axis, in steps
  // Homing: the reset speed use (16 axis pairs: X, Y, Z1, Z2, A1..A4, west
  // walk, west lift, north walk, north lift, east walk, east lift, auto walk
  // 1, auto walk 2) and the origin-update flags of the same 16 axes.
  std::array<SpeedPairValue, 16> resetSpeed{};
  std::array<bool, 16> originUpdate{};
  // After-connect and after-home switches.
  bool onlineToReset = false;
  bool debugModel = false;
  bool resetToVisualOrigin = false;
  int runSelect = 0;             // the placement strategy's run mode
  // Unit switch of the position boxes and the scales behind "%0.2f".
  bool showPulse = true;
  double xPulse = 1, yPulse = 1, zPulse = 1, aPulse = 1;
};

// The settings every command reads at the moment it runs: of `machine`, or
// of the machine in use.
MotionSettings GetMotionSettings(smt::Machine& machine);
void SetMotionSettings(smt::Machine& machine, const MotionSettings& s);

// Changes the published settings of `machine`, or of the machine in use, in
// one step (no other update interleaves).
void UpdateMotionSettings(smt::Machine& machine, const std::function<void(MotionSettings&)>& change);

// The fields that follow the machine settings and speed stores (limits,
// scales, vacuum, exhaust, the after-connect and after-home switches, the
// speed options and the reset speeds), from the current snapshots of the
// stores `stores`.
void ApplyStoreValuesFrom(MotionSettings& m, smt::settings::SettingsStores& stores);

// The fields kept in sections of other dialogs ("<appDir>/config.ini"):
// origin-update switches, feeder delay, conveyor, run mode, unit switch.
void ApplyFileValues(MotionSettings& m, const std::string& appDir);

// Both of the above on a fresh copy, from the stores of `machine`.
MotionSettings LoadMotionSettings(smt::Machine& machine, const std::string& appDir);

// Origin-update keys m_00_X .. m_0F_D2 in axis order.
const std::array<const char*, 16>& OriginUpdateKeys();

}  // namespace smt::link

#pragma once
// Press-and-hold jogging: a press becomes a jog of one axis by one step,
// repeated every 100 ms while the button is held and the axis has room.
// Every step is the single-axis command (0x61). The busy state is claimed
// when the jog starts and released when its worker ends; a second press
// while one jog runs is refused silently.
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "link/SpeedGears.h"
#include "settings/SpeedSettings.h"

namespace smt {
class Machine;
}

namespace smt::link {

// What a jog reads of the settings, as one copy.
struct JogContext {
  // Travel limits in steps: X 0..xLimit, Y yLimit..0, Z zLimit..0; the
  // feeder walk limits of the west, north and east sides.
  int32_t xLimit = 0, yLimit = 0, zLimit = 0;
  int32_t westLimit = 0, northLimit = 0, eastLimit = 0;
  // The manual-control speed use: 16 (start, run) pairs in the axis order X,
  // Y, Z1, Z2, A1..A4, west walk, west lift, north walk, north lift, east
  // walk, east lift, auto walk 1, auto walk 2.
  std::array<std::array<int32_t, 2>, 16> handleSpeed{};
  // Jog step values of the four gears.
  smt::settings::SpeedSettings templates;
  // Lift axes (pulses per millimetre) and the feeder tape lengths (mm).
  double westLiftPulse = 1, northLiftPulse = 1, eastLiftPulse = 1;
  int openLength = 0, closeLength = 0;
};

// Reads the context from the machine's settings stores and "<appDir>/config.ini".
JogContext LoadJogContext(smt::Machine& machine, const std::string& appDir);

// True when the machine type accepts the jog axis code.
bool JogAxisAccepted(int machineType, int axis);

// Which axis code and direction a jog button makes on a machine type (the
// lamp machine's second platform takes the XY buttons when selected).
// False for a control that is not an axis button.
bool AxisButtonJog(int controlId, int machineType, int headGroup, int& axis, bool& positive);

// The signed step count of one jog step, the speed pair and the number of
// repetitions that fit the travel room; valid false when nothing moves.
struct JogPlan {
  bool valid = false;
  int axis = 0;
  int32_t steps = 0;
  int32_t startSpeed = 0, runSpeed = 0;
  int repetitions = 0;
};

// Positions a jog plan reads (the process-wide positions by default).
struct JogPositions {
  int32_t x = 0, y = 0;
  std::array<int32_t, 8> z{};
  int32_t axis8 = 0, axis9 = 0, axis10 = 0;
  std::array<int32_t, 2> platform{};
  // Of `machine`, and of the machine in use.
  static JogPositions Of(const smt::Machine& machine);
};

// How many steps of `steps` fit the room of `axis` (integer divisions
// truncating toward zero, as the board counts).
int JogRepetitions(int axis, int32_t steps, int machineType, int headGroup, bool liftOnce, const JogContext& c,
                   const JogPositions& p);

// The feeder pad: what a press (or the release of the direction button)
// does on the chosen feeder side.
struct FeederPadAction {
  bool any = false;
  int outputOff = 0;   // output switched off before the jog (0: none)
  int axis = 0;
  bool positive = true;
  bool repeat = true;
  bool useSteps = false;
  int32_t steps = 0;
};
// `release` is only meaningful for the direction button (1231).
FeederPadAction FeederPadJog(int controlId, int feedDirection, bool release, const JogContext& c);

// The jog of one machine: its jogs move that machine over its link, and its
// workers release that machine's busy state.
class JogRunner {
 public:
  explicit JogRunner(smt::Machine& machine) : machine_(machine) {}
  // Ends a held jog and waits (bounded) for the workers that use the runner.
  ~JogRunner();
  JogRunner(const JogRunner&) = delete;
  JogRunner& operator=(const JogRunner&) = delete;

  // Settings and steps. The runner keeps its own copy of both.
  void SetContext(const JogContext& c);
  JogContext Context() const;
  JogSteps Steps() const;
  void SetSteps(const JogSteps& s);

  // The jog: refused when offline (said at once), when busy (LastNothingToMove
  // says so), or for an axis the machine type does not take. True when a jog worker was started.
  bool Jog(int axis, bool positive, bool repeat, bool useSteps, int steps);
  // Why the last jog moved nothing although it was taken: its step is 0, or
  // the axis has no room left towards its travel limit in that direction, or
  // the machine was still busy (an earlier move not yet answered), so the
  // jog was not sent.
  enum class NothingToMove { None, ZeroStep, AtLimit, Busy };
  NothingToMove LastNothingToMove() const { return nothing_.load(); }
  // Arrow keys: 1 X+, 2 X-, 3 Y+, 4 Y-.
  bool JogByKey(int key);
  // The held button or key was released.
  void Release() { m_bJogRelease = true; }

  // The next speed gear (debounced) and the gear to the machine; returns the gear.
  int NextSpeedGear();
  // Step menu; true when handled.
  bool StepMenuCommand(int command);

  // Feeder side 0 east, 1 south, 2 west, 3 north.
  std::atomic<int> m_Feed_Direction{0};
  std::atomic<int> m_nHeadGroup{1};
  // A press of a feeder-pad button (not the release of the direction button).
  bool FeederPadPress(int controlId);
  // The release of the direction button: its worker waits for the press's
  // jog to end, then closes the feeder. False when nothing was started.
  bool FeederButtonRelease();

  // Called whenever the steps changed (display refresh); may run on any thread.
  std::function<void()> onStepsChanged;

  std::atomic<bool> m_bJogRelease{false};
  std::atomic<bool> m_bJogRepeat{false};
  std::atomic<bool> m_bLiftOnce{false};
  // Set while a jog worker runs.
  std::atomic<bool> m_bJogRunning{false};

  // Pause between two steps of a held jog.
  std::chrono::milliseconds m_StepPause{100};
  // Longest the feeder release waits for the press's jog.
  std::chrono::milliseconds m_ReleaseWaitLimit{std::chrono::seconds(120)};

 private:
  void StepsChanged();
  smt::Machine& machine_;
  std::atomic<int> workers_{0};
  std::atomic<NothingToMove> nothing_{NothingToMove::None};
  mutable std::mutex m_;
  JogContext context_;
  JogSteps steps_;
  SpeedGearDebounce debounce_;
};

}  // namespace smt::link

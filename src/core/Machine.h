#pragma once
// The machine object: everything the program knows about the one machine it
// drives and that every subsystem reads or sets (link and homing state, run
// state, positions, ...). main() builds one for the program's life; each test
// builds its own, so no state carries over from one test to the next.
//
// What acts on a machine is handed it (or the part of it it uses): classes
// in their constructor, free functions and workers as an argument. The
// machine in use (CurrentMachine below) is for where the program is built and
// for test set-up, and for the code not yet handed its machine.
//
// State that belongs to a subsystem's own types (a subsystem above this
// layer) is held as a part: Part<T>() makes the machine's T on first use and
// keeps it for the machine's life.
//
// A machine goes in two steps. First it stops: every part that owns threads
// (the links' receive threads, ...) registered a stop action when it was
// made (AddStopAction), and these run, newest first, while every part is
// still there, so a thread that is still running finds all it touches. Only
// then are the parts freed, newest first.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "platform/Event.h"
#include "platform/LinkMutex.h"

namespace smt {

// A value of a machine's part that threads share, with the mutex that
// guards it.
template <class T>
struct Guarded {
  std::mutex mutex;
  T value{};
};

// Run flags, gates and the hand-shakes of the run, feeder, conveyor and
// platform threads. Set by the part list around a run, by the run engine and
// by the front-panel keys.
struct RunControlState {
  std::atomic<bool> feedRun{false};
  std::atomic<bool> conveyorRun{false};
  // The pause gate is open (set) while the run may go on; the board-done
  // event releases the conveyor's wait for the current board.
  smt::platform::Event pauseEvent{true, true};
  smt::platform::Event boardDoneEvent{false, false};
  // The conveyor has put a board into the work position.
  smt::platform::Event boardReadyEvent{false, false};
  // Hand-shakes of the run, feeder and conveyor threads (auto reset).
  smt::platform::Event feedRequestEvent{false, false};
  smt::platform::Event head1PickedEvent{false, false};
  smt::platform::Event head2PickedEvent{false, false};
  smt::platform::Event head3PickedEvent{false, false};
  smt::platform::Event head4PickedEvent{false, false};
  std::array<std::atomic<bool>, 4> headPicked{};  // a picked event was a real pick
  // Heads 1..4: the feeder thread has presented the head's part.
  smt::platform::Event headFeedReadyEvent[4];
  smt::platform::Event dispenseDoneEvent{false, false};
  smt::platform::Event placeDoneEvent{false, false};
  // Platform runs: a platform is glued / free again.
  smt::platform::Event platformGluedEvent1{false, false}, platformGluedEvent2{false, false};
  smt::platform::Event platformFreeEvent1{false, false}, platformFreeEvent2{false, false};
  // Heads served by the feeder thread in the coming cycle (0..4).
  std::atomic<int> cycleHeads{0};
  // The strategy's automatic nozzle change, copied for the run.
  std::atomic<bool> autoChangeNozzle{false};
  // Which list the place and dispense steps read: 1 placement, 2 dispensing.
  std::atomic<int> activeList{1};
  // Set after the first vacuum read of a cycle; cleared by the run loop.
  std::atomic<bool> firstVisionDone{false};
  // Set when a repair ends (the next feed of that feeder is a double feed).
  std::atomic<bool> doubleFeed{false};
  // Fallback busy bytes of the run, feeder and conveyor threads (used when
  // the part list has not handed its own).
  std::atomic<uint8_t> smtBusy{0}, feedBusy{0}, conveyorBusy{0};
  // The run clock, advanced once a second while a run goes.
  std::atomic<uint16_t> runHours{0}, runMinutes{0}, runSeconds{0};
};

// Positions and targets the motion commands keep beside the gantry's.
struct MotionState {
  // Lamp machine (type 4): X and Y of the second platform (axis codes 9 and 12).
  std::atomic<int32_t> curPlatform[2] = {};
  std::atomic<int32_t> curConveyorWidth{0};
  std::atomic<int32_t> curAxis8{0};
  std::atomic<int32_t> curAxis9{0};
  std::atomic<int32_t> curAxis10{0};
  // Rotation of each head 1..8 for the combined XY move, filled by its caller.
  std::atomic<int32_t> headMoveArgs[8] = {};
  std::atomic<int32_t> targetX{0};
  std::atomic<int32_t> targetY{0};
  // Lamp machine: targets of the second X axis (axis 9: dispensing heads and
  // Mark camera) and the second platform's Y (axis 12).
  std::atomic<int32_t> targetX2{0};
  std::atomic<int32_t> targetY2{0};
  // Lamp machine: the X target of the glue heads (the lamp point table).
  std::atomic<int32_t> glueTargetX{0};
  // The two step counts of the last Mark camera to Y2 coordinate test.
  std::atomic<int32_t> lastPlatformDelta[2] = {};
};

// Values the link's replies bring and the link's own bookkeeping.
struct LinkValues {
  std::atomic<int32_t> vacuumKpa{0};
  std::atomic<bool> vacuumCheckOk{true};
  std::atomic<bool> firstOnline{true};
  std::atomic<int32_t> probeValue{0};     // measured value of command 0x71
  std::atomic<int> lastMoveCmd{0};        // 0x40 while 0x64 runs, 0x41 while 0x65 runs
  std::atomic<int> lastSerialCmd{-1};     // the last command written to the COM port
  // A motion command timed out: positions unknown, motion refused until homing.
  std::atomic<bool> positionLost{false};
  // The link is known to be down (a send failed or a reply wait saw it go).
  std::atomic<bool> knownLost{false};
};

// Motor steps per millimetre and per degree, the camera and nozzle offsets
// in steps. Filled by LoadStepGeometry when the settings are read or
// confirmed; read by the board geometry, the current board and the run.
struct StepGeometry {
  double xPulsePerMm = 1.0, yPulsePerMm = 1.0, zPulsePerMm = 1.0, aPulsePerDeg = 1.0;
  // West walk, west lift, north walk, north lift, east walk, east lift, auto walk 1.
  std::array<double, 7> feedAxisPulse{1, 1, 1, 1, 1, 1, 1};
  int32_t cameraOffsetX = 0, cameraOffsetY = 0;
  std::array<int32_t, 8> nozzleCorrectionX{}, nozzleCorrectionY{};  // nozzles 1..8
  std::array<int32_t, 7> nozzleOffsetX{}, nozzleOffsetY{};          // nozzles 2..8
  int32_t dispenseHeadOffsetX = 0, dispenseHeadOffsetY = 0;
  int32_t y2ToY1OffsetX = 0, y2ToY1OffsetY = 0;
  int32_t throwPositionX = 0, throwPositionY = 0;
};

// The board in work: the values of the PCB record that the part list shows,
// in millimetres and in motor steps, with its panel grid. Filled on the
// window thread when a board is shown; read by the run, the board geometry
// and the coordinate tests.
struct CurrentBoard {
  int panelRows = 0, panelCols = 0;
  double panelRowPitch = 0, panelColPitch = 0;
  double boardThickness = 0;
  double originX = 0, originY = 0;
  bool useMarks = false;
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
  int32_t originStepsX = 0, originStepsY = 0;
  int32_t mark1StepsX = 0, mark1StepsY = 0, mark2StepsX = 0, mark2StepsY = 0;
  bool marksPerPanel = false;
  // panelRows rows of panelCols cells: "1" run, "0" skip.
  std::vector<std::vector<std::string>> panelGrid;
};

// The board's two-mark correction: written by the mark buttons and the
// run's mark alignment, read by the place point's arithmetic.
struct BoardCorrection {
  std::atomic<int32_t> mark1DevStepsX{0}, mark1DevStepsY{0};
  std::atomic<int32_t> mark2DevStepsX{0}, mark2DevStepsY{0};
  std::atomic<double> boardRotation{0.0};
};

// The cameras: which one the live view shows, their kinds, the camera
// channel the link selected last and the mark being looked at.
struct CameraState {
  // Which camera the live view shows: 0 Mark camera, 1 visual camera 1,
  // 2 visual camera 2 (3: the labeling camera's light channel).
  std::atomic<int> visionMode{0};
  // Camera kind: 1 industrial cameras, 0 capture (USB video) cameras.
  std::atomic<int> highSpeedCamera{0};
  std::atomic<bool> highSpeedMarkCamera{false};
  std::atomic<bool> highSpeedVisualCamera1{false};
  std::atomic<bool> highSpeedVisualCamera2{false};
  std::atomic<bool> flyCamera{false};
  // The link's camera-channel state of SelectCamera (its own view of the
  // camera in use, kept apart from the live view's visionMode).
  std::atomic<bool> channelChanged{false};
  std::atomic<int> channelVisionMode{0};
  std::atomic<int> lastChannel{0};
  std::atomic<int> platformCamera{0};
  // The mark the Mark camera looks at (1 or 2).
  std::atomic<int> currentMark{1};
  // Lamp machine: the X target of the platform camera's look.
  std::atomic<int32_t> platformVisionTargetX{0};
};

// Name tables filled by the main frame at start-up, before any worker runs:
// feed-type names (3 languages x 9 feed types) from the language files and
// speed-use names (3 languages x 8 uses), built in.
struct NameTables {
  std::array<std::string, 27> feedTypeNames;  // language * 9 + feed type
  std::array<std::string, 24> speedNames;     // language * 8 + speed use
};

// The fly-camera pass of the machine type (SetupHeadLayout).
struct FlyLayout {
  int headCount = 1;
  int32_t startX = 0, endX = 0;
  int32_t y = 0, y2 = 0;
  std::array<int32_t, 8> trigger{};
};

class Machine {
 public:
  Machine() = default;
  // Stops the parts' threads (the stop actions, newest first), then frees the
  // parts, newest first.
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // --- link and homing ---
  std::atomic<bool> connected{false};
  std::atomic<bool> resetDone{false};      // homed
  std::atomic<bool> masterResetOk{false};  // the machine accepted its master reset
  // --- run state ---
  std::atomic<bool> runContinue{false};  // a run is going
  std::atomic<bool> paused{false};
  std::atomic<bool> machineBusy{false};  // claimed by TryClaimBusy only
  // --- the link threads' stop flags (set at shut-down) ---
  std::atomic<bool> comStop{false};
  std::atomic<bool> udpStop{false};

  std::atomic<int> machineType{0};  // 0..10
  std::atomic<int> headCount{1};    // 1, 2, 4 or 8
  std::atomic<int> languageSet{0};  // 0 Chinese, 1 English, 2 German

  // --- current positions in motor steps ---
  std::atomic<int32_t> curX{0};
  std::atomic<int32_t> curY{0};
  std::atomic<int32_t> curZ[8] = {};
  std::atomic<int32_t> curA[8] = {};

  // One command (or command sequence) at a time on the link. Recursive for
  // its owner.
  smt::platform::LinkMutex linkMutex;

  RunControlState run;
  MotionState motion;
  LinkValues link;
  StepGeometry steps;
  CurrentBoard board;
  BoardCorrection correction;
  FlyLayout fly;
  CameraState camera;
  NameTables names;

  // The feeder list's automatic feeder test is running.
  std::atomic<bool> feederAutoTestRunning{false};
  // No job save is under way.
  std::atomic<bool> saveProjectIdle{true};
  // The part list's tracking warning was shown once.
  std::atomic<bool> trackWarningShown{false};
  // The feeder board the firmware dialog addresses.
  std::atomic<int> firmwareFeedSelect{0};

  // Claims the busy state for an operation about to start a worker. False
  // when the machine is already busy; the claim is atomic, so two buttons
  // pressed at once never both start.
  bool TryClaimBusy() {
    bool expected = false;
    return machineBusy.compare_exchange_strong(expected, true);
  }
  void ReleaseBusy() { machineBusy.store(false); }

  // The machine's part of type T (made on first use, handed the machine when
  // T takes one, else default-constructed; kept for the machine's life). Safe
  // from any thread. A part's constructor must not reach other parts.
  template <class T>
  T& Part() {
    std::lock_guard lk(partsMutex_);
    for (auto& [type, ptr] : parts_)
      if (type == std::type_index(typeid(T))) return *static_cast<T*>(ptr.get());
    std::shared_ptr<T> owned;
    if constexpr (std::is_constructible_v<T, Machine&>)
      owned = std::shared_ptr<T>(new T(*this));
    else
      owned = std::shared_ptr<T>(new T());
    T& ref = *owned;
    parts_.emplace_back(std::type_index(typeid(T)), std::move(owned));
    return ref;
  }

  // Registers what stops and joins the threads of a part, run when the
  // machine goes, before any part is freed: a part that starts threads
  // registers it when it is made. Stop actions run newest first, on the
  // thread that destroys the machine, without the parts' lock held (an
  // action may reach other parts), and must not wait without bound.
  void AddStopAction(std::function<void()> stop);

 private:
  std::mutex partsMutex_;
  std::vector<std::pair<std::type_index, std::shared_ptr<void>>> parts_;
  std::vector<std::function<void()>> stopActions_;
};

// The machine in use: the one the running program (or the running test)
// made current, or a machine of the process's own before any was.
Machine& CurrentMachine();

// Makes `machine` current for the life of the scope; the one before is
// current again afterwards.
class MachineScope {
 public:
  explicit MachineScope(Machine& machine);
  ~MachineScope();
  MachineScope(const MachineScope&) = delete;
  MachineScope& operator=(const MachineScope&) = delete;

 private:
  Machine* previous_;
};

}  // namespace smt

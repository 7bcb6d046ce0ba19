#pragma once
// The machine as a run sees it: move the gantry, turn and stroke the heads,
// pick and place with head k, feed, read the vacuum, trigger the camera,
// switch outputs. A run says what the machine is to do; how that becomes a
// command of the boards (codes, payload layouts, head codes) is the link's
// business, behind this interface. The program's implementation goes over
// the command set (LinkRunMachine); a test may put its own in place.
//
// Every move books the positions only when the board reported it done; a
// refused or failed step returns false (or a CommandResult that is not Ok).
#include <array>
#include <cstdint>

#include "link/MachineCommands.h"
#include "link/MotionCommands.h"

namespace smt {
class Machine;
}

namespace smt::link {

struct AxisSpeed {
  int32_t start = 0;
  int32_t run = 0;
};

// How the board carries out a gantry move.
enum class GantryMove : uint8_t {
  Plain = 0,
  // A move at a station (the dipping station's moves).
  Station = 0x40,
  // A move of the run: the board checks its fitted heads first and the
  // move is refused (E3) when the heads' check was not passed.
  Checked = 0x80,
};
// The combined XY-and-heads move (0x65) with the heads' turns.
inline constexpr uint8_t kTurnHeads = 1;

// The code by which the boards address head k (1..8): its Z stroke, its
// vacuum output on the eight-head board.
inline constexpr uint8_t HeadCode(int head) { return static_cast<uint8_t>(0x20 + head - 1); }

// One head's move to its pick point and the pick there (eight-head board).
struct HeadPickMove {
  int feeder = 0;            // feeder number (1..128), 0 none
  int feedKind = 0;          // how the feeder is driven (side, or the feeder's kind)
  int feedTime = 0;          // ms
  int feedCount = 0;
  int32_t x = 0, y = 0;      // the nozzle's pick point, in steps
  AxisSpeed xSpeed, turnSpeed, zSpeed;
  std::array<int32_t, 8> turns{};  // each head's turn on the way, in steps
  int head = 0;              // 1..8
  int32_t depth = 0;         // Z stroke, steps
  int delay = 0;             // ms at the bottom
  int32_t vacuumDepth = 0;   // steps below which the vacuum is checked
};

// One head's move to its place point and the place there.
struct HeadPlaceMove {
  int32_t x = 0, y = 0;      // the place point, in steps
  AxisSpeed xSpeed, turnSpeed, zSpeed;
  std::array<int32_t, 8> turns{};
  int head = 0;              // 1..8
  int32_t depth = 0;         // Z stroke (not above 0), steps
  int32_t lift = 0;          // where the vacuum goes off on the way up, steps
  int exhaust = 0;           // blow-off value
  int delay = 0;             // ms at the bottom
  int vacuum = 0;            // vacuum check value
};

// A whole cycle's picks in one command: the loaded heads in slot order.
struct HeadsPickMove {
  struct Slot {
    int head = 0;            // 1..8
    int feeder = 0;
    int feedTime = 0;
    int32_t x = 0, y = 0;    // the nozzle's pick point
    int32_t depth = 0;
    int delay = 0;
  };
  std::array<Slot, 8> slots{};
  int count = 0;             // slots used, from the first
  AxisSpeed xSpeed, turnSpeed, zSpeed;
  std::array<int32_t, 8> turns{};
};

// A whole cycle's places in one command, staged slot by slot as the run
// reaches each head's place.
struct HeadsPlaceMove {
  struct Slot {
    bool used = false;
    int head = 0;
    int32_t x = 0, y = 0;
    int32_t depth = 0, lift = 0;
    int exhaust = 0, delay = 0, vacuum = 0;
  };
  std::array<Slot, 8> slots{};
  int32_t fromX = 0, fromY = 0;  // the gantry's position when the last slot was staged
  AxisSpeed xSpeed, turnSpeed, zSpeed;
  std::array<int32_t, 8> turns{};
};

class RunMachine {
 public:
  virtual ~RunMachine() = default;

  // --- the gantry and the axes -------------------------------------------
  // The gantry by (dx, dy) steps.
  virtual bool MoveGantry(int32_t dx, AxisSpeed x, int32_t dy, AxisSpeed y, GantryMove how) = 0;
  // The gantry by (dx, dy) while every head turns by `turns[k]`.
  virtual bool MoveGantryTurningHeads(int32_t dx, AxisSpeed x, int32_t dy, AxisSpeed y,
                                      const std::array<int32_t, 8>& turns, AxisSpeed turn) = 0;
  // One axis by `steps`.
  virtual bool MoveAxis(int axis, int32_t steps, AxisSpeed speed) = 0;
  // Two axes together (the dispensing moves, the platforms of the lamp machine).
  virtual bool MoveAxisPair(int axis1, int32_t d1, AxisSpeed s1, int axis2, int32_t d2, AxisSpeed s2) = 0;
  // The lamp machine's three-axis move: the gantry's X, a platform axis and
  // a head's turn (head 0: none).
  virtual bool MoveGantryPlatformHead(int32_t dx, AxisSpeed x, int platformAxis, int32_t dPlatform,
                                      AxisSpeed platform, int head, int32_t turn, AxisSpeed turnSpeed) = 0;

  // --- the heads ------------------------------------------------------------
  // A Z stroke down and up with the head's vacuum switched at the bottom
  // (pick): `option` and `last` as the stroke's caller sets them.
  virtual CommandResult Stroke(uint8_t strokeAxis, int32_t steps, AxisSpeed speed, uint8_t option, int delayMs,
                               uint8_t last) = 0;
  // A Z stroke that lets go at the bottom (place): the vacuum off at `lift`.
  virtual CommandResult StrokeReleasing(uint8_t strokeAxis, int32_t steps, AxisSpeed speed, int32_t lift,
                                        int delayMs, int32_t vacuum) = 0;
  // A glue stroke of the dispensing valve.
  virtual CommandResult GlueStroke(uint8_t valveAxis, int32_t steps, AxisSpeed speed, uint8_t mode, int32_t open,
                                   int32_t close, int closeDelayMs, int bottomDelayMs, int suckBack) = 0;
  // Eight-head board: move and pick / place with one head, or a whole cycle.
  virtual bool PickWithHead(const HeadPickMove& move) = 0;
  virtual bool PlaceWithHead(const HeadPlaceMove& move) = 0;
  virtual bool PickWithHeads(const HeadsPickMove& move) = 0;
  virtual bool PlaceWithHeads(const HeadsPlaceMove& move) = 0;

  // --- feeders, outputs, vacuum, camera ------------------------------------
  virtual CommandResult Feed(uint8_t alternative, uint8_t axis, const FeedValues& values) = 0;
  // Output n on (state 1) or off (0); `value` the output's level or time.
  virtual bool SetOutput(int output, int state, int value) = 0;
  // The vacuum reading of channel n (the link's vacuum value afterwards).
  virtual CommandResult ReadVacuum(int channel) = 0;
  // Camera channel n (1 the Mark camera, 2 and 3 the vision cameras) with
  // its light, ready to grab.
  virtual bool TriggerCamera(int channel, int light) = 0;
  // The board is told a run starts.
  virtual bool AnnounceRunStart() = 0;
  // The labeling machine: the glass sheet by (north, west) steps.
  virtual bool MoveLabelSheet(int32_t north, int32_t west, AxisSpeed speed) = 0;
};

// The run machine over the command set of one machine's link.
class LinkRunMachine : public RunMachine {
 public:
  explicit LinkRunMachine(smt::Machine& machine) : machine_(machine) {}
  bool MoveGantry(int32_t dx, AxisSpeed x, int32_t dy, AxisSpeed y, GantryMove how) override;
  bool MoveGantryTurningHeads(int32_t dx, AxisSpeed x, int32_t dy, AxisSpeed y, const std::array<int32_t, 8>& turns,
                              AxisSpeed turn) override;
  bool MoveAxis(int axis, int32_t steps, AxisSpeed speed) override;
  bool MoveAxisPair(int axis1, int32_t d1, AxisSpeed s1, int axis2, int32_t d2, AxisSpeed s2) override;
  bool MoveGantryPlatformHead(int32_t dx, AxisSpeed x, int platformAxis, int32_t dPlatform, AxisSpeed platform,
                              int head, int32_t turn, AxisSpeed turnSpeed) override;
  CommandResult Stroke(uint8_t strokeAxis, int32_t steps, AxisSpeed speed, uint8_t option, int delayMs,
                       uint8_t last) override;
  CommandResult StrokeReleasing(uint8_t strokeAxis, int32_t steps, AxisSpeed speed, int32_t lift, int delayMs,
                                int32_t vacuum) override;
  CommandResult GlueStroke(uint8_t valveAxis, int32_t steps, AxisSpeed speed, uint8_t mode, int32_t open,
                           int32_t close, int closeDelayMs, int bottomDelayMs, int suckBack) override;
  bool PickWithHead(const HeadPickMove& move) override;
  bool PlaceWithHead(const HeadPlaceMove& move) override;
  bool PickWithHeads(const HeadsPickMove& move) override;
  bool PlaceWithHeads(const HeadsPlaceMove& move) override;
  CommandResult Feed(uint8_t alternative, uint8_t axis, const FeedValues& values) override;
  bool SetOutput(int output, int state, int value) override;
  CommandResult ReadVacuum(int channel) override;
  bool TriggerCamera(int channel, int light) override;
  bool AnnounceRunStart() override;
  bool MoveLabelSheet(int32_t north, int32_t west, AxisSpeed speed) override;

 private:
  smt::Machine& machine_;
};

// The command payloads of the eight-head and labeling moves (the gantry's
// position is the link's at the time of the call).
std::array<uint8_t, 99> EncodeHeadPickMove(smt::Machine& machine, const HeadPickMove& m);
std::array<uint8_t, 86> EncodeHeadPlaceMove(smt::Machine& machine, const HeadPlaceMove& m);
std::array<uint8_t, 234> EncodeHeadsPickMove(smt::Machine& machine, const HeadsPickMove& m);
std::array<uint8_t, 234> EncodeHeadsPlaceMove(smt::Machine& machine, const HeadsPlaceMove& m);

// The run machine of `machine` (of the machine in use): the one a test put
// in place, else the machine's own LinkRunMachine.
RunMachine& RunMachineOf(smt::Machine& machine);
// Puts `machine` in place (nullptr: the program's own again). Not while a run goes.
void UseRunMachine(smt::Machine& machine, RunMachine* runMachine);

}  // namespace smt::link

#pragma once
// Homing ("reset"): the machine drives the selected axes to their reference
// switches and the program takes their positions as 0. What is homed is the
// reset mode (0 the whole machine, 1 X, 2 Y, 3 Z, 4 XYZ, 5..8 the west,
// north, east and south feeder sides, 9 the conveyor width). The command
// that carries the request depends on the machine type: the lamp machine
// (type 4) the serial home frame 0x52, the eight-head and insertion machines
// (types 7 and 8) the home selection 0x72 (0x05 for the conveyor width), all
// others 0x02. Every homing ends with the busy state cleared, whatever the
// type, mode or failure.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "link/MachineCommands.h"
#include "link/MotionSettings.h"

namespace smt::link {

class MachineHoming {
 public:
  // The homing of `machine` (a part of it): it sends over that machine's
  // link and sets that machine's positions and flags.
  explicit MachineHoming(smt::Machine& machine) : machine_(machine) {}
  static MachineHoming& Of(smt::Machine& machine);
  // The homing of the machine in use.

  // The reset mode (-1 homes nothing) and the home-pending flag.
  std::atomic<int> m_nResetMode{-1};
  std::atomic<int> m_bHomeRequest{0};
  // Set when the homing handed over to the camera's move to the vision origin.
  std::atomic<bool> m_bResetToOriginPending{false};
  // Set for the homing a run's end started (StartRunEndHome).
  std::atomic<bool> m_bRunEndHome{false};

  // Stores mode and request and starts the homing worker. With request 1 the
  // machine must be connected and idle (the busy state is claimed here,
  // before the worker starts); with request 0 (the run engine) it homes while
  // busy. Mode 0 clears the machine's resetDone once the homing is under way. False when
  // nothing was started.
  bool StartHomeThread(int mode, uint8_t request);
  // A run's closing home of the axes it moved (request 0): the machine was
  // homed when the run started and every other axis is where the program
  // holds it, so a successful homing leaves the machine homed again (unless
  // something made its positions uncertain meanwhile).
  bool StartRunEndHome(int mode);
  // The same on the calling thread; true when the machine answered and the
  // after-home step ran.
  bool HomeAxes(int mode, uint8_t request);

  // Menu items of the jog panel's context menu (request 1).
  bool OnResetX() { return StartHomeThread(1, 1); }
  bool OnResetY() { return StartHomeThread(2, 1); }
  bool OnResetZ() { return StartHomeThread(3, 1); }
  bool OnResetXYZ() { return StartHomeThread(4, 1); }
  bool OnWestFeedReset() { return StartHomeThread(5, 1); }
  bool OnNorthFeedReset() { return StartHomeThread(6, 1); }
  bool OnEastFeedReset() { return StartHomeThread(7, 1); }
  bool OnSouthFeedReset() { return StartHomeThread(8, 1); }
  // The reset button, the front-panel home key and the after-connect step.
  bool OnResetAll() { return StartHomeThread(0, 1); }

  // End-of-home steps: positions of the homed axes to 0, outputs off, flags;
  // every mode ends with the machine's machineBusy clear.
  void ResetAfterHome();
  void ResetAfterHomeSerial();

  // 0x72 with a staged 48-byte block, then the end-of-home step on success.
  bool SendCmd72HomeSelect(const std::array<uint8_t, 48>& block);
  // Serial only: the home frame 0x52 with seven pairs (low bytes), no wait.
  // In network mode "通讯未完成 ！" and nothing is sent.
  bool BuildSerialHomeFrame(const std::array<int32_t, 14>& pairs);

  // What each machine type sends for a mode (empty optional-like flag: false
  // when the mode homes nothing on that type).
  static bool Cmd02Fields(int mode, const MotionSettings& m, std::array<int32_t, 14>& fields);
  static bool Cmd72Block(int mode, const MotionSettings& m, std::array<uint8_t, 48>& block);
  static bool SerialHomePairs(int mode, const MotionSettings& m, std::array<int32_t, 14>& pairs);
  static std::vector<uint8_t> Cmd05Payload(const MotionSettings& m);

  // After a connect: frees a waiter left from before, zeroes the counters,
  // waits (bounded) for the connected flag, then homes the whole machine when
  // m_OnlineToReset is on, else enables the home button; in debug mode
  // enables the jog controls.
  void OnLinkUpSteps();

 private:
  smt::Machine& machine_;
  bool Claim(uint8_t request);
  bool RunHoming();
  bool HomeConveyorWidth(const MotionSettings& m);
  void TellNothingToHome();
};

// 0x02: home with speeds (fields 1 to 14) over `machine`'s link. Waits on the
// machine's home reply event; the end-of-home step follows the machine's
// answer. The second form homes the machine in use.
CommandResult SendCmd02Home(smt::Machine& machine, std::array<int32_t, 14> fields);

}  // namespace smt::link

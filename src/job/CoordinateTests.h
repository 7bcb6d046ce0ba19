#pragma once
// The coordinate tests of the part list's context menus: the machine moves
// a nozzle, the dispensing head, the drill or the Mark camera over the
// point of the chosen row, so that coordinates, origin, mark correction
// and device offsets can be checked by eye. The target is worked out on
// the window thread; one worker sends the move.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "job/MarkCameraPanel.h"
#include "job/PartListLogic.h"
#include "link/MotionGlobals.h"
#include "platform/Hooks.h"

namespace smt {
class Machine;
}

// Lamp machine (type 4): the targets of axis 9 (dispensing heads and Mark
// camera) and axis 12 (the Y2 platform) are the link's second-platform
// targets (motion.targetX2, motion.targetY2 of the machine).

namespace smt::job {

// The measured mark deviations of the board (mm, measured minus nominal),
// written by the jog panel's mark buttons and the run's mark alignment.
struct MarkMeasurement {
  int m_bMarkMeasured = 0;
  double m_dMark1DevX = 0, m_dMark1DevY = 0, m_dMark2DevX = 0, m_dMark2DevY = 0;
};

enum class PlatformTest {
  Grout1ToY1 = 530, Grout1ToY2, Grout2ToY1, Grout2ToY2, CameraToY1, CameraToY2,
  Nozzle1ToY1, Nozzle2ToY1, Nozzle3ToY1, Nozzle4ToY1
};

// The target in steps of a board point (mm from the PCB origin) on the
// board of panel cell (row, col) of `machine`'s board in work, with the mark
// correction of the board.
std::pair<int32_t, int32_t> BoardPointTarget(const smt::Machine& machine, double x, double y, int panelRow, int panelCol,
                                             const MarkMeasurement& m);

class CoordinateTests {
 public:
  // The tests move `machine`; the camera tests look through `camera`'s Mark camera.
  CoordinateTests(smt::Machine& machine, PartListLogic& logic, MarkCameraPanelSlot& camera)
      : machine_(machine), logic_(logic), camera_(camera) {}

  MarkMeasurement marks;
  // Connected by the shell (loud when not).
  smt::platform::Hook<int()> autoChangeNozzle{"CoordinateTests.autoChangeNozzle"};  // the strategy's m_AutoChangeNozzle
  // Waits are bounded by the link's reply time-outs. A watcher (tests)
  // may ask to be told on the worker when the move has ended; nobody needs it.
  std::function<void(bool moved)> onDone;

  int m_nCoordTestCode = 0;

  void OnSuctionTest();
  void OnCameraTest();
  void OnDisHeadTest();
  void OnDisCameraTest();
  void OnDrillTest();
  void OnDrillCameraTest();
  void OnPlatformTest(PlatformTest which);

  // The move of the current code from the machine's current targets (the
  // worker's body).
  static bool RunMove(smt::Machine& machine, int code);

 private:
  enum class Device { Nozzle, DispenseHead, Drill, Camera };
  // Steps 1 to 4 of every test: guards, chosen row, shown board; the point
  // (and a placement's head). A row whose point cannot be read is refused
  // with the list, row and field named, and nothing moves.
  bool Prepare(RowKind list, double& x, double& y, int& panelRow, int& panelCol, int& row, int& head);
  void RunListTest(RowKind list, Device device);
  void StartWorker(int code);
  smt::Machine& machine_;
  PartListLogic& logic_;
  MarkCameraPanelSlot& camera_;
};

}  // namespace smt::job

#include "job/CoordinateTests.h"

#include <cmath>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "job/CurrentBoard.h"
#include "job/WorkRecords.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/ProcessCommands.h"
#include "platform/FileCell.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

namespace smt::job {

namespace {

int32_t T(double v) { return static_cast<int32_t>(std::trunc(v)); }

}  // namespace

std::pair<int32_t, int32_t> BoardPointTarget(const smt::Machine& machine, double x, double y, int panelRow, int panelCol, const MarkMeasurement& m) {
  const double xp = machine.steps.xPulsePerMm, yp = machine.steps.yPulsePerMm;
  const double colOff = panelCol * machine.board.panelColPitch, rowOff = panelRow * machine.board.panelRowPitch;
  if (!machine.board.useMarks || !m.m_bMarkMeasured)
    return {T((colOff + machine.board.originX) * xp) + T(x * xp), T((rowOff + machine.board.originY) * yp) + T(y * yp)};
  if (machine.board.mark2X == 0 && machine.board.mark2Y == 0)
    return {T((colOff + machine.board.originX) * xp) + machine.correction.mark1DevStepsX + T(x * xp),
            T((rowOff + machine.board.originY) * yp) + machine.correction.mark1DevStepsY + T(y * yp)};
  if (machine.board.marksPerPanel) {
    const auto [cx, cy] = CorrectPointByTwoMarks(machine.board.mark1X, machine.board.mark1Y, machine.board.mark2X, machine.board.mark2Y, m.m_dMark1DevX,
                                                 m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, x, y);
    return {T((colOff + machine.board.originX) * xp) + machine.correction.mark1DevStepsX + T(cx * xp) + machine.board.mark1StepsX,
            T((rowOff + machine.board.originY) * yp) + machine.correction.mark1DevStepsY + T(cy * yp) + machine.board.mark1StepsY};
  }
  const auto [cx, cy] = CorrectPointByTwoMarks(machine.board.mark1X, machine.board.mark1Y, machine.board.mark2X, machine.board.mark2Y, m.m_dMark1DevX,
                                               m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, x + colOff, y + rowOff);
  return {T(cx * xp) + machine.board.originStepsX + machine.correction.mark1DevStepsX + machine.board.mark1StepsX,
          T(cy * yp) + machine.board.originStepsY + machine.correction.mark1DevStepsY + machine.board.mark1StepsY};
}

bool CoordinateTests::Prepare(RowKind list, double& x, double& y, int& panelRow, int& panelCol, int& row, int& head) {
  if (!smt::link::CheckMachineGuards(machine_)) return false;
  row = logic_.State(list).testRow;
  const auto& rows = logic_.Rows(list);
  if (row < 0 || row >= static_cast<int>(rows.size())) {
    smt::platform::ShowMessage(logic_.Text("PartList.c_Message_05"));
    return false;
  }
  if (logic_.job.pcbs.FindPcbIndex(logic_.job.shownPcbName) < 0 || !FirstBoardNotSkipped(machine_.board, panelRow, panelCol)) {
    smt::platform::ShowMessage(logic_.Text("PartList.c_Message_06"));
    return false;
  }
  const ListRow& r = rows[static_cast<size_t>(row)];
  try {
    const RowPoint p = ReadRowPoint(list, r, row + 1);
    x = p.x;
    y = p.y;
  } catch (const smt::platform::FileCellError& e) {
    smt::platform::ShowMessage(e.what());
    return false;
  }
  head = list == RowKind::Placement ? PlacementFromListRow(r).head : 0;
  return true;
}

void CoordinateTests::RunListTest(RowKind list, Device device) {
  double x = 0, y = 0;
  int pr = 0, pc = 0, row = -1, head = 0;
  if (!Prepare(list, x, y, pr, pc, row, head)) return;
  auto [tx, ty] = BoardPointTarget(machine_, x, y, pr, pc, marks);
  switch (device) {
    case Device::Nozzle:
      if (!autoChangeNozzle()) {
        tx -= NozzleOffsetX(machine_, head);
        ty -= NozzleOffsetY(machine_, head);
      }
      break;
    case Device::DispenseHead:
      tx -= machine_.steps.dispenseHeadOffsetX;
      ty -= machine_.steps.dispenseHeadOffsetY;
      break;
    case Device::Drill:
      break;
    case Device::Camera:
      tx -= machine_.steps.cameraOffsetX;
      ty -= machine_.steps.cameraOffsetY;
      camera_->FeederLightOnce();
      camera_->OpenMarkCamera();
      break;
  }
  machine_.motion.targetX = tx;
  machine_.motion.targetY = ty;
  StartWorker(64);
}

void CoordinateTests::OnSuctionTest() { RunListTest(RowKind::Placement, Device::Nozzle); }
void CoordinateTests::OnCameraTest() { RunListTest(RowKind::Placement, Device::Camera); }
void CoordinateTests::OnDisHeadTest() { RunListTest(RowKind::Dispense, Device::DispenseHead); }
void CoordinateTests::OnDisCameraTest() { RunListTest(RowKind::Dispense, Device::Camera); }
void CoordinateTests::OnDrillTest() { RunListTest(RowKind::Drill, Device::Drill); }
void CoordinateTests::OnDrillCameraTest() { RunListTest(RowKind::Drill, Device::Camera); }

void CoordinateTests::OnPlatformTest(PlatformTest which) {
  double x = 0, y = 0;
  int pr = 0, pc = 0, row = -1, head = 0;
  if (!Prepare(RowKind::Placement, x, y, pr, pc, row, head)) return;
  const double xp = machine_.steps.xPulsePerMm, yp = machine_.steps.yPulsePerMm;
  int32_t px = T(x * xp) + T((pc * machine_.board.panelColPitch + machine_.board.originX) * xp);
  int32_t py = T(y * yp) + T((pr * machine_.board.panelRowPitch + machine_.board.originY) * yp);
  const int code = static_cast<int>(which);
  const bool y2 = which == PlatformTest::Grout1ToY2 || which == PlatformTest::Grout2ToY2 ||
                  which == PlatformTest::CameraToY2;
  if (y2) {
    px += machine_.steps.y2ToY1OffsetX;
    py += machine_.steps.y2ToY1OffsetY;
  }
  int32_t ox = 0, oy = 0;
  switch (which) {
    case PlatformTest::Grout1ToY1: case PlatformTest::Grout1ToY2: ox = NozzleOffsetX(machine_, 5); oy = NozzleOffsetY(machine_, 5); break;
    case PlatformTest::Grout2ToY1: case PlatformTest::Grout2ToY2: ox = NozzleOffsetX(machine_, 6); oy = NozzleOffsetY(machine_, 6); break;
    case PlatformTest::CameraToY1: case PlatformTest::CameraToY2: ox = machine_.steps.cameraOffsetX; oy = machine_.steps.cameraOffsetY; break;
    case PlatformTest::Nozzle1ToY1: break;
    case PlatformTest::Nozzle2ToY1: ox = NozzleOffsetX(machine_, 2); oy = NozzleOffsetY(machine_, 2); break;
    case PlatformTest::Nozzle3ToY1: ox = NozzleOffsetX(machine_, 3); oy = NozzleOffsetY(machine_, 3); break;
    case PlatformTest::Nozzle4ToY1: ox = NozzleOffsetX(machine_, 4); oy = NozzleOffsetY(machine_, 4); break;
  }
  px -= ox;
  py -= oy;
  if (which == PlatformTest::CameraToY1 || which == PlatformTest::CameraToY2)
    camera_->OpenMarkCamera();
  if (code >= 536) {
    machine_.motion.targetX = px;
    machine_.motion.targetY = py;
  } else {
    machine_.motion.targetX2 = px;
    if (y2) machine_.motion.targetY2 = py;
    else machine_.motion.targetY = py;
  }
  StartWorker(code >= 536 ? 536 : code);
}

bool CoordinateTests::RunMove(smt::Machine& machine, int code) {
  const auto speed = smt::settings::SettingsStores::Of(machine).speed.Record(smt::settings::SpeedUse::PickPart);
  const auto xs = speed[0], ys = speed[1];
  switch (code) {
    case 64:
      return smt::link::SendCmd64MoveXY(machine, machine.motion.targetX - machine.curX, xs.start, xs.normal, machine.motion.targetY - machine.curY, ys.start,
                                        ys.normal, 0, 0, 0, 0, 128);
    case 530: case 532: case 534:
      return smt::link::SendCmd53DispenseMove(machine, 9, machine.motion.targetX2 - machine.motion.curPlatform[0], xs.start, xs.normal, 1,
                                              machine.motion.targetY - machine.curY, ys.start, ys.normal);
    case 531: case 533: case 535: {
      const int32_t d1 = machine.motion.targetX2 - machine.motion.curPlatform[0];
      const int32_t d2 = machine.motion.targetY2 - machine.motion.curPlatform[1];
      if (code == 535) {
        machine.motion.lastPlatformDelta[0] = d1;
        machine.motion.lastPlatformDelta[1] = d2;
      }
      return smt::link::SendCmd53DispenseMove(machine, 9, d1, xs.start, xs.normal, 12, d2, ys.start, ys.normal);
    }
    case 536:
      return smt::link::SendCmd53DispenseMove(machine, 0, machine.motion.targetX - machine.curX, xs.start, xs.normal, 1, machine.motion.targetY - machine.curY,
                                              ys.start, ys.normal);
    default:
      return false;
  }
}

void CoordinateTests::StartWorker(int code) {
  m_nCoordTestCode = code;
  // The busy state is claimed here, before the worker exists; a second test
  // meanwhile is refused as running.
  if (!smt::TryClaimMachineBusy(machine_)) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return;
  }
  auto done = onDone;
  const bool started = smt::platform::WorkerThreads::Instance().Start("CoordTest", [&machine = machine_, code, done](std::stop_token) {
    bool moved = false;
    {
      smt::BusyRelease release(machine);
      if (smt::link::RuntimeOf(machine).UsesSerial()) smt::link::SendCmd60SetState(machine, 0, 0);
      moved = RunMove(machine, code);
    }
    if (done) done(moved);
  });
  if (!started) smt::ReleaseMachineBusy(machine_);
}

}  // namespace smt::job

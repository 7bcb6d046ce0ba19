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

std::pair<int32_t, int32_t> BoardPointTarget(double x, double y, int panelRow, int panelCol, const MarkMeasurement& m) {
  const double xp = smt::CurrentMachine().steps.xPulsePerMm, yp = smt::CurrentMachine().steps.yPulsePerMm;
  const double colOff = panelCol * smt::CurrentMachine().board.panelColPitch, rowOff = panelRow * smt::CurrentMachine().board.panelRowPitch;
  if (!smt::CurrentMachine().board.useMarks || !m.m_bMarkMeasured)
    return {T((colOff + smt::CurrentMachine().board.originX) * xp) + T(x * xp), T((rowOff + smt::CurrentMachine().board.originY) * yp) + T(y * yp)};
  if (smt::CurrentMachine().board.mark2X == 0 && smt::CurrentMachine().board.mark2Y == 0)
    return {T((colOff + smt::CurrentMachine().board.originX) * xp) + smt::CurrentMachine().correction.mark1DevStepsX + T(x * xp),
            T((rowOff + smt::CurrentMachine().board.originY) * yp) + smt::CurrentMachine().correction.mark1DevStepsY + T(y * yp)};
  if (smt::CurrentMachine().board.marksPerPanel) {
    const auto [cx, cy] = CorrectPointByTwoMarks(smt::CurrentMachine().board.mark1X, smt::CurrentMachine().board.mark1Y, smt::CurrentMachine().board.mark2X, smt::CurrentMachine().board.mark2Y, m.m_dMark1DevX,
                                                 m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, x, y);
    return {T((colOff + smt::CurrentMachine().board.originX) * xp) + smt::CurrentMachine().correction.mark1DevStepsX + T(cx * xp) + smt::CurrentMachine().board.mark1StepsX,
            T((rowOff + smt::CurrentMachine().board.originY) * yp) + smt::CurrentMachine().correction.mark1DevStepsY + T(cy * yp) + smt::CurrentMachine().board.mark1StepsY};
  }
  const auto [cx, cy] = CorrectPointByTwoMarks(smt::CurrentMachine().board.mark1X, smt::CurrentMachine().board.mark1Y, smt::CurrentMachine().board.mark2X, smt::CurrentMachine().board.mark2Y, m.m_dMark1DevX,
                                               m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, x + colOff, y + rowOff);
  return {T(cx * xp) + smt::CurrentMachine().board.originStepsX + smt::CurrentMachine().correction.mark1DevStepsX + smt::CurrentMachine().board.mark1StepsX,
          T(cy * yp) + smt::CurrentMachine().board.originStepsY + smt::CurrentMachine().correction.mark1DevStepsY + smt::CurrentMachine().board.mark1StepsY};
}

bool CoordinateTests::Prepare(RowKind list, double& x, double& y, int& panelRow, int& panelCol, int& row, int& head) {
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine())) return false;
  row = logic_.State(list).testRow;
  const auto& rows = logic_.Rows(list);
  if (row < 0 || row >= static_cast<int>(rows.size())) {
    smt::platform::ShowMessage(logic_.Text("PartList.c_Message_05"));
    return false;
  }
  if (logic_.job.pcbs.FindPcbIndex(logic_.job.shownPcbName) < 0 || !FirstBoardNotSkipped(panelRow, panelCol)) {
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
  auto [tx, ty] = BoardPointTarget(x, y, pr, pc, marks);
  switch (device) {
    case Device::Nozzle:
      if (!autoChangeNozzle()) {
        tx -= NozzleOffsetX(head);
        ty -= NozzleOffsetY(head);
      }
      break;
    case Device::DispenseHead:
      tx -= smt::CurrentMachine().steps.dispenseHeadOffsetX;
      ty -= smt::CurrentMachine().steps.dispenseHeadOffsetY;
      break;
    case Device::Drill:
      break;
    case Device::Camera:
      tx -= smt::CurrentMachine().steps.cameraOffsetX;
      ty -= smt::CurrentMachine().steps.cameraOffsetY;
      camera_->FeederLightOnce();
      camera_->OpenMarkCamera();
      break;
  }
  smt::CurrentMachine().motion.targetX = tx;
  smt::CurrentMachine().motion.targetY = ty;
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
  const double xp = smt::CurrentMachine().steps.xPulsePerMm, yp = smt::CurrentMachine().steps.yPulsePerMm;
  int32_t px = T(x * xp) + T((pc * smt::CurrentMachine().board.panelColPitch + smt::CurrentMachine().board.originX) * xp);
  int32_t py = T(y * yp) + T((pr * smt::CurrentMachine().board.panelRowPitch + smt::CurrentMachine().board.originY) * yp);
  const int code = static_cast<int>(which);
  const bool y2 = which == PlatformTest::Grout1ToY2 || which == PlatformTest::Grout2ToY2 ||
                  which == PlatformTest::CameraToY2;
  if (y2) {
    px += smt::CurrentMachine().steps.y2ToY1OffsetX;
    py += smt::CurrentMachine().steps.y2ToY1OffsetY;
  }
  int32_t ox = 0, oy = 0;
  switch (which) {
    case PlatformTest::Grout1ToY1: case PlatformTest::Grout1ToY2: ox = NozzleOffsetX(5); oy = NozzleOffsetY(5); break;
    case PlatformTest::Grout2ToY1: case PlatformTest::Grout2ToY2: ox = NozzleOffsetX(6); oy = NozzleOffsetY(6); break;
    case PlatformTest::CameraToY1: case PlatformTest::CameraToY2: ox = smt::CurrentMachine().steps.cameraOffsetX; oy = smt::CurrentMachine().steps.cameraOffsetY; break;
    case PlatformTest::Nozzle1ToY1: break;
    case PlatformTest::Nozzle2ToY1: ox = NozzleOffsetX(2); oy = NozzleOffsetY(2); break;
    case PlatformTest::Nozzle3ToY1: ox = NozzleOffsetX(3); oy = NozzleOffsetY(3); break;
    case PlatformTest::Nozzle4ToY1: ox = NozzleOffsetX(4); oy = NozzleOffsetY(4); break;
  }
  px -= ox;
  py -= oy;
  if (which == PlatformTest::CameraToY1 || which == PlatformTest::CameraToY2)
    camera_->OpenMarkCamera();
  if (code >= 536) {
    smt::CurrentMachine().motion.targetX = px;
    smt::CurrentMachine().motion.targetY = py;
  } else {
    smt::CurrentMachine().motion.targetX2 = px;
    if (y2) smt::CurrentMachine().motion.targetY2 = py;
    else smt::CurrentMachine().motion.targetY = py;
  }
  StartWorker(code >= 536 ? 536 : code);
}

bool CoordinateTests::RunMove(int code) {
  const auto speed = smt::settings::SettingsStores::Of(smt::CurrentMachine()).speed.Record(smt::settings::SpeedUse::PickPart);
  const auto xs = speed[0], ys = speed[1];
  switch (code) {
    case 64:
      return smt::link::SendCmd64MoveXY(smt::CurrentMachine(), smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, xs.start, xs.normal, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, ys.start,
                                        ys.normal, 0, 0, 0, 0, 128);
    case 530: case 532: case 534:
      return smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 9, smt::CurrentMachine().motion.targetX2 - smt::CurrentMachine().motion.curPlatform[0], xs.start, xs.normal, 1,
                                              smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, ys.start, ys.normal);
    case 531: case 533: case 535: {
      const int32_t d1 = smt::CurrentMachine().motion.targetX2 - smt::CurrentMachine().motion.curPlatform[0];
      const int32_t d2 = smt::CurrentMachine().motion.targetY2 - smt::CurrentMachine().motion.curPlatform[1];
      if (code == 535) {
        smt::CurrentMachine().motion.lastPlatformDelta[0] = d1;
        smt::CurrentMachine().motion.lastPlatformDelta[1] = d2;
      }
      return smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 9, d1, xs.start, xs.normal, 12, d2, ys.start, ys.normal);
    }
    case 536:
      return smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 0, smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, xs.start, xs.normal, 1, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY,
                                              ys.start, ys.normal);
    default:
      return false;
  }
}

void CoordinateTests::StartWorker(int code) {
  m_nCoordTestCode = code;
  // The busy state is claimed here, before the worker exists; a second test
  // meanwhile is refused as running.
  if (!smt::TryClaimMachineBusy(smt::CurrentMachine())) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return;
  }
  auto done = onDone;
  const bool started = smt::platform::WorkerThreads::Instance().Start("CoordTest", [code, done](std::stop_token) {
    bool moved = false;
    {
      smt::BusyRelease release(smt::CurrentMachine());
      if (smt::link::RuntimeOf(smt::CurrentMachine()).UsesSerial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
      moved = RunMove(code);
    }
    if (done) done(moved);
  });
  if (!started) smt::ReleaseMachineBusy(smt::CurrentMachine());
}

}  // namespace smt::job

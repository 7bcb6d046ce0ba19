#include "job/CoordinateTests.h"

#include <cmath>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "job/CurrentBoard.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/ProcessCommands.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

namespace smt::job {

namespace {

int32_t T(double v) { return static_cast<int32_t>(std::trunc(v)); }

}  // namespace

std::pair<int32_t, int32_t> BoardPointTarget(double x, double y, int panelRow, int panelCol, const MarkMeasurement& m) {
  const double xp = g_dXPulsePerMm, yp = g_dYPulsePerMm;
  const double colOff = panelCol * g_dPanelColPitch, rowOff = panelRow * g_dPanelRowPitch;
  if (!g_bUseMarks || !m.m_bMarkMeasured)
    return {T((colOff + g_dOriginX) * xp) + T(x * xp), T((rowOff + g_dOriginY) * yp) + T(y * yp)};
  if (g_dMark2X == 0 && g_dMark2Y == 0)
    return {T((colOff + g_dOriginX) * xp) + g_nMark1DevStepsX + T(x * xp),
            T((rowOff + g_dOriginY) * yp) + g_nMark1DevStepsY + T(y * yp)};
  if (g_bMarksPerPanel) {
    const auto [cx, cy] = CorrectPointByTwoMarks(g_dMark1X, g_dMark1Y, g_dMark2X, g_dMark2Y, m.m_dMark1DevX,
                                                 m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, x, y);
    return {T((colOff + g_dOriginX) * xp) + g_nMark1DevStepsX + T(cx * xp) + g_nMark1StepsX,
            T((rowOff + g_dOriginY) * yp) + g_nMark1DevStepsY + T(cy * yp) + g_nMark1StepsY};
  }
  const auto [cx, cy] = CorrectPointByTwoMarks(g_dMark1X, g_dMark1Y, g_dMark2X, g_dMark2Y, m.m_dMark1DevX,
                                               m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, x + colOff, y + rowOff);
  return {T(cx * xp) + g_nOriginStepsX + g_nMark1DevStepsX + g_nMark1StepsX,
          T(cy * yp) + g_nOriginStepsY + g_nMark1DevStepsY + g_nMark1StepsY};
}

bool CoordinateTests::Prepare(RowKind list, double& x, double& y, int& panelRow, int& panelCol, int& row) {
  if (!smt::link::CheckMachineGuards()) return false;
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
  const int cx = list == RowKind::Drill ? 3 : 1;
  x = CellDouble(r.Cell(cx));
  y = CellDouble(r.Cell(cx + 1));
  return true;
}

void CoordinateTests::RunListTest(RowKind list, Device device) {
  double x = 0, y = 0;
  int pr = 0, pc = 0, row = -1;
  if (!Prepare(list, x, y, pr, pc, row)) return;
  auto [tx, ty] = BoardPointTarget(x, y, pr, pc, marks);
  switch (device) {
    case Device::Nozzle:
      if (!autoChangeNozzle()) {
        const int n = CellInt(logic_.Rows(list)[static_cast<size_t>(row)].Cell(12));
        tx -= NozzleOffsetX(n);
        ty -= NozzleOffsetY(n);
      }
      break;
    case Device::DispenseHead:
      tx -= g_nDispenseHeadOffsetX;
      ty -= g_nDispenseHeadOffsetY;
      break;
    case Device::Drill:
      break;
    case Device::Camera:
      tx -= g_nCameraOffsetX;
      ty -= g_nCameraOffsetY;
      setFeedLightOnce();
      openMarkCamera();
      break;
  }
  g_nTargetX = tx;
  g_nTargetY = ty;
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
  int pr = 0, pc = 0, row = -1;
  if (!Prepare(RowKind::Placement, x, y, pr, pc, row)) return;
  const double xp = g_dXPulsePerMm, yp = g_dYPulsePerMm;
  int32_t px = T(x * xp) + T((pc * g_dPanelColPitch + g_dOriginX) * xp);
  int32_t py = T(y * yp) + T((pr * g_dPanelRowPitch + g_dOriginY) * yp);
  const int code = static_cast<int>(which);
  const bool y2 = which == PlatformTest::Grout1ToY2 || which == PlatformTest::Grout2ToY2 ||
                  which == PlatformTest::CameraToY2;
  if (y2) {
    px += g_nY2ToY1OffsetX;
    py += g_nY2ToY1OffsetY;
  }
  int32_t ox = 0, oy = 0;
  switch (which) {
    case PlatformTest::Grout1ToY1: case PlatformTest::Grout1ToY2: ox = NozzleOffsetX(5); oy = NozzleOffsetY(5); break;
    case PlatformTest::Grout2ToY1: case PlatformTest::Grout2ToY2: ox = NozzleOffsetX(6); oy = NozzleOffsetY(6); break;
    case PlatformTest::CameraToY1: case PlatformTest::CameraToY2: ox = g_nCameraOffsetX; oy = g_nCameraOffsetY; break;
    case PlatformTest::Nozzle1ToY1: break;
    case PlatformTest::Nozzle2ToY1: ox = NozzleOffsetX(2); oy = NozzleOffsetY(2); break;
    case PlatformTest::Nozzle3ToY1: ox = NozzleOffsetX(3); oy = NozzleOffsetY(3); break;
    case PlatformTest::Nozzle4ToY1: ox = NozzleOffsetX(4); oy = NozzleOffsetY(4); break;
  }
  px -= ox;
  py -= oy;
  if (which == PlatformTest::CameraToY1 || which == PlatformTest::CameraToY2)
    openMarkCamera();
  if (code >= 536) {
    g_nTargetX = px;
    g_nTargetY = py;
  } else {
    g_nTargetPlatformX = px;
    if (y2) g_nTargetPlatformY2 = py;
    else g_nTargetY = py;
  }
  StartWorker(code >= 536 ? 536 : code);
}

bool CoordinateTests::RunMove(int code) {
  const auto speed = smt::settings::SettingsStores::Instance().speed.Record(smt::settings::SpeedUse::PickPart);
  const auto xs = speed[0], ys = speed[1];
  switch (code) {
    case 64:
      return smt::link::SendCmd64MoveXY(g_nTargetX - g_nCurX, xs.start, xs.normal, g_nTargetY - g_nCurY, ys.start,
                                        ys.normal, 0, 0, 0, 0, 128);
    case 530: case 532: case 534:
      return smt::link::SendCmd53DispenseMove(9, g_nTargetPlatformX - g_nCurPlatform[0], xs.start, xs.normal, 1,
                                              g_nTargetY - g_nCurY, ys.start, ys.normal);
    case 531: case 533: case 535: {
      const int32_t d1 = g_nTargetPlatformX - g_nCurPlatform[0];
      const int32_t d2 = g_nTargetPlatformY2 - g_nCurPlatform[1];
      if (code == 535) {
        g_nLastPlatformDelta[0] = d1;
        g_nLastPlatformDelta[1] = d2;
      }
      return smt::link::SendCmd53DispenseMove(9, d1, xs.start, xs.normal, 12, d2, ys.start, ys.normal);
    }
    case 536:
      return smt::link::SendCmd53DispenseMove(0, g_nTargetX - g_nCurX, xs.start, xs.normal, 1, g_nTargetY - g_nCurY,
                                              ys.start, ys.normal);
    default:
      return false;
  }
}

void CoordinateTests::StartWorker(int code) {
  m_nCoordTestCode = code;
  // The busy state is claimed here, before the worker exists; a second test
  // meanwhile is refused as running.
  if (!smt::TryClaimMachineBusy()) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return;
  }
  auto done = onDone;
  const bool started = smt::platform::WorkerThreads::Instance().Start("CoordTest", [code, done](std::stop_token) {
    bool moved = false;
    {
      smt::BusyRelease release;
      if (smt::link::Runtime().UsesSerial()) smt::link::SendCmd60SetState(0, 0);
      moved = RunMove(code);
    }
    if (done) done(moved);
  });
  if (!started) smt::ReleaseMachineBusy();
}

}  // namespace smt::job

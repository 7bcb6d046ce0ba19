#include "app/GoToPlanner.h"

#include <cmath>
#include <limits>

#include "job/PcbRecord.h"
#include "vision/CameraTable.h"

namespace smt::app {

int32_t StepsOf(double value) {
  if (!std::isfinite(value)) return 0;
  double t = std::trunc(value);
  if (t > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (t < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

namespace {

using settings::BasicSettings;

double NozzleDx(const BasicSettings& b, int n) {
  const double v[9] = {0, 0, b.m_X_Nozzle2ToNozzle1, b.m_X_Nozzle3ToNozzle1, b.m_X_Nozzle4ToNozzle1,
                       b.m_X_Nozzle5ToNozzle1, b.m_X_Nozzle6ToNozzle1, b.m_X_Nozzle7ToNozzle1, b.m_X_Nozzle8ToNozzle1};
  return n >= 1 && n <= 8 ? v[n] : 0;
}

double NozzleDy(const BasicSettings& b, int n) {
  const double v[9] = {0, 0, b.m_Y_Nozzle2ToNozzle1, b.m_Y_Nozzle3ToNozzle1, b.m_Y_Nozzle4ToNozzle1,
                       b.m_Y_Nozzle5ToNozzle1, b.m_Y_Nozzle6ToNozzle1, b.m_Y_Nozzle7ToNozzle1, b.m_Y_Nozzle8ToNozzle1};
  return n >= 1 && n <= 8 ? v[n] : 0;
}

// X valid from 0 to the X limit; Y (negative) from the Y limit up to 0.
bool XOutside(const BasicSettings& b, double x) { return x > b.m_X_Limit || x < 0; }
bool YOutside(const BasicSettings& b, double y) { return y < b.m_Y_Limit || y > 0; }

GoToPlan Refuse(int message) {
  GoToPlan p;
  p.message = message;
  return p;
}

// The panel board the marks are taken on: the first enabled board of the
// grid, rows outer, columns inner. Only with marks taken per panel board.
bool PanelOffset(const GoToContext& c, double& ox, double& oy) {
  ox = oy = 0;
  if (!c.shownPcb || !c.shownPcb->m_bEachMark) return true;
  const job::PcbRecord* board = c.currentBoard ? c.currentBoard : c.shownPcb;
  const auto& grid = board->m_PanelGrid;
  for (size_t r = 0; r < grid.size(); ++r) {
    // Cell 0 of a grid row is the row label; boards follow. A board cell
    // reads "<flag>/<label>" and a flag of "0" skips the board.
    for (size_t col = 1; col < grid[r].size(); ++col) {
      const std::string& cell = grid[r][col];
      const std::string flag = cell.substr(0, cell.find('/'));
      if (flag != "0") {
        ox = static_cast<double>(col - 1) * board->m_dColSpace;
        oy = static_cast<double>(r) * board->m_dRowSpace;
        return true;
      }
    }
  }
  return false;
}

const vision::CameraRow* FindCameraRow(const GoToContext& c, const std::string& name, double& x, double& y,
                                       int& message, int missingMessage) {
  if (!c.cameraRows || c.cameraRows->empty()) {
    message = 6;
    return nullptr;
  }
  // A row that could not be read (a cell that is no number in its range)
  // makes its camera no target.
  for (const vision::CameraRow& row : *c.cameraRows) {
    if (row.Name() != name) continue;
    if (!row.Readable()) break;
    x = row.Values().x;
    y = row.Values().y;
    return &row;
  }
  message = missingMessage;
  return nullptr;
}

}  // namespace

GoToPlan PlanNozzleToThrow(const GoToContext& c, int n) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  const double dx = NozzleDx(b, n), dy = NozzleDy(b, n);
  GoToPlan p;
  p.kind = n;
  if (XOutside(b, b.m_X_ThrowPosition - dx)) return Refuse(19);
  p.targetX = StepsOf(pX * b.m_X_ThrowPosition) - StepsOf(pX * dx);
  p.setTargetX = true;
  if (c.machineType == 4) {
    p.platformThread = true;
  } else {
    p.camera = GoToCamera::Mark;
    if (YOutside(b, b.m_Y_ThrowPosition - dy)) return Refuse(20);
    p.targetY = StepsOf(pY * b.m_Y_ThrowPosition) - StepsOf(pY * dy);
    p.setTargetY = true;
  }
  p.ok = true;
  return p;
}

GoToPlan PlanCameraToPcb(const GoToContext& c, int which) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  const double cX = b.m_X_CameraToNozzle1, cY = b.m_Y_CameraToNozzle1;
  if (!c.shownPcb) return Refuse(3);
  double ox = 0, oy = 0;
  if (!PanelOffset(c, ox, oy)) return Refuse(3);
  const job::PcbRecord& r = *c.shownPcb;
  GoToPlan p;
  p.kind = 2;
  p.camera = GoToCamera::Mark;
  const bool second = c.machineType == 4 && c.platform == 2;
  int32_t tx = 0, ty = 0;
  if (which == 0) {
    const double x = r.m_dOriginX + ox, y = r.m_dOriginY + oy;
    const double shiftX = second ? b.m_X_Y2ToY1 : 0, shiftY = second ? b.m_Y_Y2ToY1 : 0;
    if (XOutside(b, x - cX + shiftX)) return Refuse(4);
    if (YOutside(b, y - cY + shiftY)) return Refuse(5);
    tx = StepsOf(pX * x) - StepsOf(pX * cX);
    ty = StepsOf(pY * y) - StepsOf(pY * cY);
  } else {
    const double mkX = which == 1 ? r.m_dMark1X : r.m_dMark2X;
    const double mkY = which == 1 ? r.m_dMark1Y : r.m_dMark2Y;
    if (XOutside(b, mkX + r.m_dOriginX + ox - cX)) return Refuse(which == 1 ? 13 : 15);
    if (YOutside(b, mkY + r.m_dOriginY + oy - cY)) return Refuse(which == 1 ? 14 : 16);
    tx = StepsOf(pX * mkX) - StepsOf(pX * cX) + StepsOf(pX * (r.m_dOriginX + ox));
    ty = StepsOf(pY * mkY) - StepsOf(pY * cY) + StepsOf(pY * (r.m_dOriginY + oy));
    // The camera panel takes the board's Mark viewing values; Mark 2 only
    // with its own lights (special Mark 2), except on the lamp machine.
    if (which == 1 || c.machineType == 4) {
      p.showMarkValues = true;
      p.lightContrast = r.m_nLightContrast;
      p.lightBrightness = r.m_nLightBrightness;
    } else if (r.m_bSpecialMark2) {
      p.showMarkValues = true;
      p.lightContrast = r.m_nMark2LightContrast;
      p.lightBrightness = r.m_nMark2LightBrightness;
    }
    p.visualZoom = r.m_dVisualZoom;
    p.visualBox = r.m_dVisualBox;
  }
  if (c.machineType != 4) {
    p.targetX = tx;
    p.targetY = ty;
    p.setTargetX = p.setTargetY = true;
  } else {
    p.platformThread = true;
    if (c.platform == 2) {
      p.targetX2 = tx + c.table.nY2ToY1X;
      p.targetY2 = ty + c.table.nY2ToY1Y;
      p.setTargetX2 = p.setTargetY2 = true;
    } else {
      p.targetX2 = tx;
      p.targetY = ty;
      p.setTargetX2 = p.setTargetY = true;
    }
  }
  p.ok = true;
  return p;
}

GoToPlan PlanNozzleToPcbOrigin(const GoToContext& c, int n) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  if (!c.shownPcb) return Refuse(3);
  double ox = 0, oy = 0;
  if (!PanelOffset(c, ox, oy)) return Refuse(3);
  // Nozzle 1 works on the board as loaded for the run, the others on the
  // shown PCB's record.
  const job::PcbRecord& base = (n == 1 && c.currentBoard) ? *c.currentBoard : *c.shownPcb;
  const double baseX = base.m_dOriginX + ox, baseY = base.m_dOriginY + oy;
  const double dx = NozzleDx(b, n), dy = NozzleDy(b, n);
  GoToPlan p;
  p.kind = 3;
  p.camera = GoToCamera::Mark;
  const bool second = c.machineType == 4 && c.platform == 2;
  if (XOutside(b, baseX - dx + (second ? b.m_X_Y2ToY1 : 0))) return Refuse(4);
  if (YOutside(b, baseY - dy + (second ? b.m_Y_Y2ToY1 : 0))) return Refuse(5);
  const double sX = n == 1 ? c.table.dXPulse : pX, sY = n == 1 ? c.table.dYPulse : pY;
  const int32_t tx = StepsOf(sX * baseX) - StepsOf(pX * dx);
  const int32_t ty = StepsOf(sY * baseY) - StepsOf(pY * dy);
  if (second) {
    p.targetX = tx + c.table.nY2ToY1X;
    p.targetY2 = ty + c.table.nY2ToY1Y;
    p.setTargetX = p.setTargetY2 = true;
  } else {
    p.targetX = tx;
    p.targetY = ty;
    p.setTargetX = p.setTargetY = true;
  }
  p.platformThread = c.machineType == 4;
  p.ok = true;
  return p;
}

GoToPlan PlanNozzleToVisionCamera(const GoToContext& c, int camera, int n) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  double camX = 0, camY = 0;
  int message = 0;
  const bool first = camera == 1;
  if (!FindCameraRow(c, first ? c.cameraName1 : c.cameraName2, camX, camY, message, first ? 7 : 8)) return Refuse(message);
  const double dx = NozzleDx(b, n), dy = NozzleDy(b, n);
  GoToPlan p;
  p.kind = first ? 4 : 5;
  p.camera = first ? GoToCamera::Vision1 : GoToCamera::Vision2;
  p.nozzleInView = n;
  if (XOutside(b, camX - dx)) return Refuse(first ? 9 : 11);
  p.targetX = StepsOf(pX * camX) - StepsOf(pX * dx);
  p.setTargetX = true;
  if (first && c.machineType == 4) {
    p.platformThread = true;
  } else {
    if (YOutside(b, camY - dy)) return Refuse(first ? 10 : 12);
    p.targetY = StepsOf(pY * camY) - StepsOf(pY * dy);
    p.setTargetY = true;
  }
  p.ok = true;
  return p;
}

GoToPlan PlanSquareHeadsToCamera2(const GoToContext& c) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  double camX = 0, camY = 0;
  int message = 0;
  if (!FindCameraRow(c, c.cameraName2, camX, camY, message, 8)) return Refuse(message);
  GoToPlan p;
  p.kind = 0;
  p.camera = GoToCamera::Vision2;
  p.squareHeadsBox = std::fabs(b.m_X_Nozzle3ToNozzle1);
  if (XOutside(b, camX - b.m_X_Nozzle4ToNozzle1)) return Refuse(11);
  if (YOutside(b, camY - b.m_Y_Nozzle4ToNozzle1)) return Refuse(12);
  // The point halfway between nozzles 1 and 3 stands over the camera.
  p.targetX = StepsOf(pX * camX) - StepsOf(0.5 * b.m_X_Nozzle3ToNozzle1 * pX);
  p.targetY = StepsOf(pY * camY) - StepsOf(0.5 * b.m_Y_Nozzle3ToNozzle1 * pY);
  p.setTargetX = p.setTargetY = true;
  p.ok = true;
  return p;
}

GoToPlan PlanMeasuringHeadToCamera1(const GoToContext& c) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  double camX = 0, camY = 0;
  int message = 0;
  if (!FindCameraRow(c, c.cameraName1, camX, camY, message, 7)) return Refuse(message);
  GoToPlan p;
  p.kind = 6;
  p.camera = GoToCamera::Vision1;
  p.nozzleInView = 1;
  // No range check here: the move command checks its own limits.
  p.targetX = StepsOf(pX * camX) - StepsOf(pX * b.m_X_Measurement);
  p.targetY = StepsOf(pY * camY) - StepsOf(pY * b.m_Y_Measurement);
  p.setTargetX = p.setTargetY = true;
  p.ok = true;
  return p;
}

namespace {
GoToPlan PlanCameraTo(const GoToContext& c, double x, double y) {
  const BasicSettings& b = c.basic;
  const double pX = c.pulse.m_X_Pulse, pY = c.pulse.m_Y_Pulse;
  const double cX = b.m_X_CameraToNozzle1, cY = b.m_Y_CameraToNozzle1;
  if (XOutside(b, x - cX)) return Refuse(17);
  if (YOutside(b, y - cY)) return Refuse(18);
  GoToPlan p;
  p.kind = 0;
  p.camera = GoToCamera::Mark;
  p.targetX = StepsOf(pX * x) - StepsOf(pX * cX);
  p.targetY = StepsOf(pY * y) - StepsOf(pY * cY);
  p.setTargetX = p.setTargetY = true;
  p.ok = true;
  return p;
}
}  // namespace

GoToPlan PlanCameraToVisionOrigin(const GoToContext& c) {
  return PlanCameraTo(c, c.basic.m_X_VisualOrigin, c.basic.m_Y_VisualOrigin);
}

GoToPlan PlanCameraToStopPosition(const GoToContext& c) {
  return PlanCameraTo(c, c.basic.m_X_StopPosition, c.basic.m_Y_StopPosition);
}

}  // namespace smt::app

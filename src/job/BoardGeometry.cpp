#include "job/BoardGeometry.h"

#include <cmath>

#include "core/MachineState.h"
#include "job/CurrentBoard.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

namespace smt::job {

namespace {

constexpr double kPi = 3.141592653589793;

int32_t Steps(double mm, double perMm) { return static_cast<int32_t>(std::trunc(mm * perMm)); }

void TooClose() {
  smt::platform::ShowMessage(kMarkTooClose);
}

}  // namespace

int32_t NozzleOffsetX(const smt::Machine& machine, int nozzle) { return nozzle >= 2 && nozzle <= 8 ? machine.steps.nozzleOffsetX[static_cast<size_t>(nozzle - 2)] : 0; }
int32_t NozzleOffsetY(const smt::Machine& machine, int nozzle) { return nozzle >= 2 && nozzle <= 8 ? machine.steps.nozzleOffsetY[static_cast<size_t>(nozzle - 2)] : 0; }

void LoadStepGeometry(smt::Machine& machine, const smt::settings::BasicSettings& b, const smt::settings::PulseSettings& p) {
  machine.steps.xPulsePerMm = p.m_X_Pulse;
  machine.steps.yPulsePerMm = p.m_Y_Pulse;
  machine.steps.zPulsePerMm = p.m_Z_Pulse;
  machine.steps.aPulsePerDeg = p.m_A_Pulse;
  machine.steps.feedAxisPulse = {p.m_WestWalk_Pulse, p.m_WestLift_Pulse, p.m_NorthWalk_Pulse, p.m_NorthLift_Pulse,
                      p.m_EastWalk_Pulse, p.m_EastLift_Pulse, p.m_AutoWalk1_Pulse};
  const double xp = p.m_X_Pulse, yp = p.m_Y_Pulse;
  machine.steps.cameraOffsetX = Steps(b.m_X_CameraToNozzle1, xp);
  machine.steps.cameraOffsetY = Steps(b.m_Y_CameraToNozzle1, yp);
  const double cx[8] = {b.m_Correction_X1, b.m_Correction_X2, b.m_Correction_X3, b.m_Correction_X4,
                        b.m_Correction_X5, b.m_Correction_X6, b.m_Correction_X7, b.m_Correction_X8};
  const double cy[8] = {b.m_Correction_Y1, b.m_Correction_Y2, b.m_Correction_Y3, b.m_Correction_Y4,
                        b.m_Correction_Y5, b.m_Correction_Y6, b.m_Correction_Y7, b.m_Correction_Y8};
  for (size_t i = 0; i < 8; ++i) {
    machine.steps.nozzleCorrectionX[i] = Steps(cx[i], xp);
    machine.steps.nozzleCorrectionY[i] = Steps(cy[i], yp);
  }
  const double ox[7] = {b.m_X_Nozzle2ToNozzle1, b.m_X_Nozzle3ToNozzle1, b.m_X_Nozzle4ToNozzle1, b.m_X_Nozzle5ToNozzle1,
                        b.m_X_Nozzle6ToNozzle1, b.m_X_Nozzle7ToNozzle1, b.m_X_Nozzle8ToNozzle1};
  const double oy[7] = {b.m_Y_Nozzle2ToNozzle1, b.m_Y_Nozzle3ToNozzle1, b.m_Y_Nozzle4ToNozzle1, b.m_Y_Nozzle5ToNozzle1,
                        b.m_Y_Nozzle6ToNozzle1, b.m_Y_Nozzle7ToNozzle1, b.m_Y_Nozzle8ToNozzle1};
  for (size_t i = 0; i < 7; ++i) {
    machine.steps.nozzleOffsetX[i] = Steps(ox[i], xp);
    machine.steps.nozzleOffsetY[i] = Steps(oy[i], yp);
  }
  machine.steps.dispenseHeadOffsetX = Steps(b.m_X_DropsGlueToNozzle1, xp);
  machine.steps.dispenseHeadOffsetY = Steps(b.m_Y_DropsGlueToNozzle1, yp);
  machine.steps.y2ToY1OffsetX = Steps(b.m_X_Y2ToY1, xp);
  machine.steps.y2ToY1OffsetY = Steps(b.m_Y_Y2ToY1, yp);
  machine.steps.throwPositionX = Steps(b.m_X_ThrowPosition, xp);
  machine.steps.throwPositionY = Steps(b.m_Y_ThrowPosition, yp);
}

void LoadStepGeometry(smt::Machine& machine) {
  auto& m = smt::settings::SettingsStores::Of(machine).machine;
  LoadStepGeometry(machine, *m.Basic(), *m.Pulse());
}

int32_t BiasedSteps(double mm, double stepsPerMm) {
  double v = mm;
  if (v > 0) v += 0.0001;
  else if (v < 0) v -= 0.0001;
  return static_cast<int32_t>(std::trunc(v * stepsPerMm));
}

double LineAngle(double dx, double dy) {
  if (dy == 0) return 0.0;
  if (dx == 0) return 90.0;
  return std::atan(dy / dx) * 180.0 / kPi;
}

double BoardRotation(double nx, double ny, double mx, double my) {
  const double a1 = LineAngle(nx, ny);
  const double a2 = LineAngle(mx, my);
  const bool n1 = a1 < 0, n2 = a2 < 0;
  return n1 == n2 ? a2 - a1 : a2 + a1;
}

float SingleLength(double dx, double dy) {
  const float x = static_cast<float>(dx), y = static_cast<float>(dy);
  const float sum = x * x + y * y;
  return static_cast<float>(std::sqrt(sum));
}

void ConvertPointToSteps(smt::Machine& machine, double d1x, double d1y, double d2x, double d2y) {
  const int32_t s1x = BiasedSteps(d1x, machine.steps.xPulsePerMm), s1y = BiasedSteps(d1y, machine.steps.yPulsePerMm);
  const int32_t s2x = BiasedSteps(d2x, machine.steps.xPulsePerMm), s2y = BiasedSteps(d2y, machine.steps.yPulsePerMm);
  machine.correction.mark1DevStepsX = s1x;
  machine.correction.mark1DevStepsY = s1y;
  machine.correction.mark2DevStepsX = s2x;
  machine.correction.mark2DevStepsY = s2y;
  machine.correction.boardRotation = 0.0;
  if (machine.board.mark2X == 0 && machine.board.mark2Y == 0) return;
  const int32_t nx = machine.board.mark2StepsX - machine.board.mark1StepsX, ny = machine.board.mark2StepsY - machine.board.mark1StepsY;
  if (SingleLength(nx, ny) < 5.0f) return TooClose();
  const int32_t mx = nx - s1x + s2x, my = ny - s1y + s2y;
  machine.correction.boardRotation = BoardRotation(nx, ny, mx, my);
}

namespace {

// Steps 1 and 2 of both corrections: the rotation, or nullopt-like false
// when the marks are too close.
bool Rotation(double m1x, double m1y, double m2x, double m2y, double d1x, double d1y, double d2x, double d2y,
              double& theta) {
  const double nx = m2x - m1x, ny = m2y - m1y;
  if (SingleLength(nx, ny) < 5.0f) {
    TooClose();
    return false;
  }
  const double mx = (m2x + d2x) - (m1x + d1x), my = (m2y + d2y) - (m1y + d1y);
  theta = BoardRotation(nx, ny, mx, my);
  return true;
}

std::pair<double, double> Turn(double vx, double vy, double thetaDeg) {
  if (thetaDeg == 0) return {vx, vy};
  const double r = SingleLength(vx, vy);
  const double phi = std::atan2(vy, vx);
  const double t = thetaDeg * kPi / 180.0;
  return {r * std::cos(phi + t), r * std::sin(phi + t)};
}

}  // namespace

std::pair<double, double> CorrectPointByTwoMarks(double m1x, double m1y, double m2x, double m2y, double d1x, double d1y,
                                                 double d2x, double d2y, double px, double py) {
  double theta = 0;
  const double vx = px - m1x, vy = py - m1y;
  if (!Rotation(m1x, m1y, m2x, m2y, d1x, d1y, d2x, d2y, theta)) return {vx, vy};
  return Turn(vx, vy, theta);
}

std::pair<double, double> CorrectPointByTwoMarksForEditor(double m1x, double m1y, double m2x, double m2y, double d1x,
                                                          double d1y, double d2x, double d2y, double px, double py) {
  double theta = 0;
  if (!Rotation(m1x, m1y, m2x, m2y, d1x, d1y, d2x, d2y, theta)) return {px, py};
  return Turn(px, py, -theta);
}

bool SetupHeadLayout(smt::Machine& machine, int machineType, const FlyCameraInputs& in) {
  const int32_t p2 = machine.steps.nozzleOffsetX[0];
  auto o = [&machine](int k) { return machine.steps.nozzleOffsetX[static_cast<size_t>(k - 2)]; };
  int count = 0;
  std::array<int32_t, 8> t = machine.fly.trigger;
  int32_t startX = 0;
  switch (machineType) {
    case 0:
    case 1:
      count = 1;
      t[0] = p2;
      startX = in.cameraX - p2;
      break;
    case 2:
    case 10:
      count = 2;
      t[0] = p2;
      t[1] = 2 * p2;
      startX = in.cameraX - 2 * p2;
      break;
    case 3:
    case 4:
    case 6:
      count = 4;
      t[0] = p2;
      t[1] = 2 * p2;
      t[2] = o(3) + p2;
      t[3] = o(4) + p2;
      startX = in.cameraX - o(4) - p2;
      break;
    case 7:
    case 8:
      count = 8;
      t[0] = p2;
      t[1] = 2 * p2;
      for (int k = 3; k <= 8; ++k) t[static_cast<size_t>(k - 1)] = o(k) + p2;
      startX = in.cameraX - o(8) - p2;
      break;
    default:
      return true;
  }
  if (p2 > in.triggerPulse[0])
    for (int k = 0; k < count; ++k) t[static_cast<size_t>(k)] += in.triggerPulse[static_cast<size_t>(k)];
  machine.fly.headCount = count;
  machine.fly.trigger = t;
  machine.fly.startX = startX;
  machine.fly.endX = in.cameraX + p2;
  machine.fly.y = machine.fly.y2 = in.cameraY;
  return true;
}

smt::platform::Hook<FlyCameraInputs()>& FlyCameraInputsHook(smt::Machine& machine) {
  return machine.Part<FlyCameraSource>().inputs;
}

bool SetupHeadLayout(smt::Machine& machine) {
  return SetupHeadLayout(machine, machine.machineType.load(), FlyCameraInputsHook(machine)());
}

}  // namespace smt::job

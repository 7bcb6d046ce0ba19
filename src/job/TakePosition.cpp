#include "job/TakePosition.h"
#include "platform/SettingsSection.h"

#include <cmath>
#include <cstdio>

#include "core/MachineState.h"

namespace smt::job {

std::string Format4(double v) {
  return smt::platform::FormatDouble(v, 4);  // never cut short
}

double Round4(double v) {
  // Beyond 2^39 a double's spacing is wider than 0.0001: the four-decimal
  // rounding stays within half a spacing and gives the value itself.
  if (!std::isfinite(v) || std::fabs(v) >= 0x1p39) return v;
  // v x 10000 rounded half to even, as "%0.4f" rounds the value's exact
  // binary expansion: y is the rounded product and err its exact error.
  const double y = v * 10000.0;
  const double err = std::fma(v, 10000.0, -y);
  double r = std::nearbyint(y);
  const double d = y - r;  // exact: |d| <= 0.5
  auto even = [](double a, double b) { return std::fmod(a, 2.0) == 0 ? a : b; };
  if (d >= 0.25) {
    const double s = (d - 0.5) + err;  // the sign of the exact offset from r + 0.5
    if (s > 0) r += 1;
    else if (s == 0) r = even(r, r + 1);
  } else if (d <= -0.25) {
    const double s = (d + 0.5) + err;
    if (s < 0) r -= 1;
    else if (s == 0) r = even(r - 1, r);
  }
  // r is an exact integer below 2^53; one correctly rounded division gives
  // the double nearest to r / 10000, the value the four decimals name.
  if (r == 0) return std::copysign(0.0, v);
  return r / 10000.0;
}

static double Nudge(double v) {
  v = Round4(v);
  if (v > 0) v += 0.0001;
  else if (v < 0) v -= 0.0001;
  return v;
}

std::string NudgedText(double mm) { return Format4(Nudge(mm)); }

std::string NudgedTextG(double mm) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", Nudge(mm));
  return buf;
}

int32_t TruncSteps(double mm, double perMm) { return static_cast<int32_t>(std::trunc(mm * perMm)); }

double EditorTakeAxis(int32_t position, double originMm, double pulse) {
  if (pulse == 0) pulse = 1;  // an unset scale reads as 1, as the pulse settings do
  return static_cast<double>(position - TruncSteps(originMm, pulse)) / pulse;
}

double EditorTakeCamera(int32_t position, double originMm, double cameraOffsetMm, double pulse) {
  if (pulse == 0) pulse = 1;
  return static_cast<double>(position - TruncSteps(pulse, originMm) + TruncSteps(pulse, cameraOffsetMm)) / pulse;
}

int32_t DispenseHeadZ(const smt::Machine& machine, int t) {
  switch (t) {
    case 1: case 2: case 5: case 10: return machine.curZ[1];
    case 3: case 4: case 6: return machine.curZ[3];
    case 7: case 8: return machine.curZ[7];
    default: return 0;
  }
}

double PcbTakeValue(PcbTake what, int32_t pos, int32_t zero, double pulse, double cam, double origin) {
  if (pulse == 0) pulse = 1;
  const int32_t camSteps = TruncSteps(pulse, cam);
  const int32_t orgSteps = TruncSteps(pulse, origin);
  switch (what) {
    case PcbTake::RowPitch:
    case PcbTake::ColPitch: return static_cast<double>(pos - zero) / pulse;
    case PcbTake::OriginX:
    case PcbTake::OriginY: return static_cast<double>(pos) / pulse;
    case PcbTake::OriginCamX:
    case PcbTake::OriginCamY: return static_cast<double>(pos + camSteps) / pulse;
    case PcbTake::MarkCamX:
    case PcbTake::MarkCamY: return static_cast<double>(pos + camSteps - orgSteps) / pulse;
  }
  return 0;
}

double NudgedValue(double mm) { return Round4(Nudge(mm)); }

double PcbMarkOffset(int32_t pos, double pulse, double cam, double origin, double markBox) {
  return Round4(Round4(PcbTakeValue(PcbTake::MarkCamX, pos, 0, pulse, cam, origin)) - markBox);
}

std::string PcbMarkOffsetText(int32_t pos, double pulse, double cam, double origin, double markBox) {
  const double measured = Round4(PcbTakeValue(PcbTake::MarkCamX, pos, 0, pulse, cam, origin));
  return Format4(measured - markBox);
}

}  // namespace smt::job

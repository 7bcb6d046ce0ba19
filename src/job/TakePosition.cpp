#include "job/TakePosition.h"
#include "platform/SettingsSection.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/MachineState.h"

namespace smt::job {

std::string Format4(double v) {
  return smt::platform::FormatDouble(v, 4);  // never cut short
}

double Round4(double v) { return std::strtod(Format4(v).c_str(), nullptr); }

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

int32_t DispenseHeadZ(int t) {
  switch (t) {
    case 1: case 2: case 5: case 10: return smt::CurrentMachine().curZ[1];
    case 3: case 4: case 6: return smt::CurrentMachine().curZ[3];
    case 7: case 8: return smt::CurrentMachine().curZ[7];
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

std::string PcbMarkOffsetText(int32_t pos, double pulse, double cam, double origin, double markBox) {
  const double measured = Round4(PcbTakeValue(PcbTake::MarkCamX, pos, 0, pulse, cam, origin));
  return Format4(measured - markBox);
}

}  // namespace smt::job

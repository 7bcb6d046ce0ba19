#pragma once
// Turning the machine's current position into the millimetre text of an
// edit box: the take-position buttons of the PCB editor and the part
// editors. A taken value is shown 0.0001 mm further from zero than its
// four-decimal rounding, so that it never rounds back toward the origin.
#include <cstdint>
#include <string>

namespace smt {
class Machine;
}

namespace smt::job {

// "%0.4f" of the value nudged 0.0001 away from zero (0 stays 0).
std::string NudgedText(double mm);
// The same with "%g" (the drill editor).
std::string NudgedTextG(double mm);
// The value rounded to four decimals as "%0.4f" rounds it (half to even on
// the exact binary value): the number that text names, computed without
// formatting it.
double Round4(double v);
// NudgedText's value as a number (what an edit box holding it reads).
double NudgedValue(double mm);
std::string Format4(double v);
// mm value of whole pulses: T(a * b).
int32_t TruncSteps(double mm, double perMm);

// The part editors' X/Y buttons: (position − T(origin × pulse)) ÷ pulse.
double EditorTakeAxis(int32_t position, double originMm, double pulsePerMm);
// Their CX/CY buttons: (position − T(pulse × origin) + T(pulse × cameraOffset)) ÷ pulse.
double EditorTakeCamera(int32_t position, double originMm, double cameraOffsetMm, double pulsePerMm);
// The dispensing editor's Z: `machine`'s dispensing head Z by machine type (steps).
int32_t DispenseHeadZ(const smt::Machine& machine, int machineType);

// The PCB editor's take-position buttons. `pos` is the position in
// pulses of the axis the button reads (already chosen by machine type).
enum class PcbTake {
  RowPitch,     // 1361: (Y − zero Y) / pulse
  ColPitch,     // 1362: (X − zero X) / pulse
  OriginX,      // 1233: X / pulse
  OriginY,      // 1234: Y / pulse
  OriginCamX,   // 1011: (X + camX) / pulse
  OriginCamY,   // 1012
  MarkCamX,     // 1019 / 1025: (X + camX − orgX) / pulse
  MarkCamY,     // 1020 / 1026
};
double PcbTakeValue(PcbTake what, int32_t pos, int32_t zero, double pulse, double cameraOffsetMm, double originMm);
// Offset buttons: the measured mark (without the nudge) minus the mark box.
// The same as a number.
double PcbMarkOffset(int32_t pos, double pulse, double cameraOffsetMm, double originMm, double markBox);
std::string PcbMarkOffsetText(int32_t pos, double pulse, double cameraOffsetMm, double originMm, double markBox);

}  // namespace smt::job

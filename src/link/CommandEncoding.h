#pragma once
// Value rules shared by the motion commands: what fits the serial fields,
// the A wrap, the speed shaping of the XY moves.
#include <cstdint>
#include <cstdlib>
#include <string>

namespace smt::link {

// A speed sent as one serial byte: values above 255 are sent as 255 (the
// fastest the byte can say), never as their low byte; negative as 0.
// A clamped speed is written to the log.
void LogClampedSpeed(int64_t v);
inline uint32_t SpeedByte(int64_t v) {
  if (v >= 0 && v <= 255) return static_cast<uint32_t>(v);
  LogClampedSpeed(v);
  return v < 0 ? 0u : 255u;
}

// A sign-and-magnitude 16-bit field holds magnitudes up to 32767.
inline bool FitsSM16(int32_t v) { return std::llabs(static_cast<long long>(v)) <= 0x7FFF; }
// A sign-and-magnitude 32-bit field holds magnitudes up to 2^31 - 1.
inline bool FitsSM32(int32_t v) { return v != INT32_MIN; }
// A 16-bit field of two's-complement bits holds -32768 .. 65535.
inline bool FitsBE16(int32_t v) { return v >= -32768 && v <= 0xFFFF; }

// Adds `delta` to an A position and wraps it once by one revolution `rev`.
inline int32_t WrapA(int64_t value, int32_t rev) {
  if (rev <= 0) return static_cast<int32_t>(value);
  if (value >= rev) value -= rev;
  else if (value <= -rev) value += rev;
  return static_cast<int32_t>(value);
}

// The far-move reduction of a start speed: start - |steps| / L x (run - start) x accel / 100.
inline int32_t FarStartSpeed(int32_t start, int32_t run, int32_t steps, int32_t limitAbs, int accelPercent) {
  if (limitAbs == 0) return start;
  const double reduced = start - (std::abs(static_cast<double>(steps)) / std::abs(static_cast<double>(limitAbs))) *
                                     (run - start) * accelPercent / 100.0;
  return static_cast<int32_t>(reduced);  // truncated toward zero
}

// A run speed under the cap: lowered to the cap, never raised.
inline int32_t CappedRunSpeed(int32_t run, bool capOn, int32_t cap) { return capOn && run > cap ? cap : run; }

// Text of a refusal for a step count that does not fit its serial field.
std::string StepsDoNotFitText(uint8_t code, const char* field, int32_t value, int bits);

}  // namespace smt::link

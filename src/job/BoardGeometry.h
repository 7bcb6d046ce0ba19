#pragma once
// The step geometry of the machine and the arithmetic of a board's two-mark
// correction. Jobs keep coordinates in millimetres; the machine moves in
// motor steps. The values are the machine's (its step geometry, board
// correction and fly pass): the settings dialogs' confirmations refill the
// step geometry, the mark buttons and the run's mark alignment write the
// board correction, the run and the coordinate tests read both.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

#include "job/StepGeometry.h"
#include "platform/Hooks.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::settings {
struct BasicSettings;
struct PulseSettings;
}  // namespace smt::settings

// The board correction and the fly-camera pass live in the machine object
// (core/Machine.h: correction, fly).

namespace smt::job {

inline constexpr smt::platform::SystemText kMarkTooClose{"JobMessagesConfig", "JobMessages.c_MarksTooClose", "Mark2 to Mark1 length is too short!!"};

// Offset in steps of nozzle n (2..8) on `machine`; 0 for nozzle 1 and other numbers.
int32_t NozzleOffsetX(const smt::Machine& machine, int nozzle);
int32_t NozzleOffsetY(const smt::Machine& machine, int nozzle);

// Fills `machine`'s step geometry from the given settings (millimetres times
// steps per millimetre, truncated toward zero).
void LoadStepGeometry(smt::Machine& machine, const smt::settings::BasicSettings& basic,
                      const smt::settings::PulseSettings& pulse);
// The same from the machine's settings store.
void LoadStepGeometry(smt::Machine& machine);

// Millimetres to steps with the 0.0001 mm bias away from zero.
int32_t BiasedSteps(double mm, double stepsPerMm);
// The line angle of a vector in degrees (-90..90; 0 for dy 0, 90 for dx 0).
double LineAngle(double dx, double dy);
// The board rotation from the nominal and the measured mark vectors.
double BoardRotation(double nx, double ny, double mx, double my);
// Length of a vector as the single-precision computation gives it.
float SingleLength(double dx, double dy);

// Stores the mark deviations (mm) in steps and works out the board
// rotation from the current board's marks. A Mark 2 at (0, 0) gives a
// rotation of 0; marks closer than 5 steps are refused with a message.
void ConvertPointToSteps(smt::Machine& machine, double d1x, double d1y, double d2x, double d2y);

// The vector from nominal Mark 1 to the point, turned by the board rotation.
std::pair<double, double> CorrectPointByTwoMarks(double m1x, double m1y, double m2x, double m2y, double d1x, double d1y,
                                                 double d2x, double d2y, double px, double py);
// The vector (px, py) turned back by the board rotation.
std::pair<double, double> CorrectPointByTwoMarksForEditor(double m1x, double m1y, double m2x, double m2y, double d1x,
                                                          double d1y, double d2x, double d2y, double px, double py);

// What the head layout reads of the camera list: where the first vision
// camera sits and the eight trigger corrections (steps).
struct FlyCameraInputs {
  int32_t cameraX = 0, cameraY = 0;
  std::array<int32_t, 8> triggerPulse{};
};
// Connected by the shell to the camera list; one per machine.
struct FlyCameraSource {
  smt::platform::Hook<FlyCameraInputs()> inputs{"HeadLayout.flyCameraInputs"};
};
// The hook of `machine`.
smt::platform::Hook<FlyCameraInputs()>& FlyCameraInputsHook(smt::Machine& machine);

// Lays out the fly-camera pass for the machine type. Always true.
bool SetupHeadLayout(smt::Machine& machine, int machineType, const FlyCameraInputs& in);
// The same with the machine's type and its fly-camera inputs.
bool SetupHeadLayout(smt::Machine& machine);

}  // namespace smt::job

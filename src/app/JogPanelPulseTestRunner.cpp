#include "app/JogPanelPulseTestRunner.h"

#include "app/SMTView.h"
#include "core/MachineState.h"
#include "link/CDialogManualControl.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/MotionGlobals.h"

void JogPanelPulseTestRunner::SwitchOutputOff(int output) {
  // The walk axis's output goes off before its test run; the network form
  // carries the output number as its value (the serial form has no value).
  if (smt::CurrentMachine().connected.load()) smt::link::SetOutput(smt::CurrentMachine(), output, 0, output);
}

void JogPanelPulseTestRunner::Jog(int axisCode, int direction, int32_t steps) {
  if (view_.m_pManualControl) view_.m_pManualControl->Jog(axisCode, direction != 0, false, true, steps);
}

smt::settings::TestRunPositions JogPanelPulseTestRunner::CurrentPositions() {
  smt::settings::TestRunPositions p;
  p.x = smt::CurrentMachine().curX.load();
  p.y = smt::CurrentMachine().curY.load();
  p.x2 = smt::CurrentMachine().motion.curPlatform[0].load();
  p.y2 = smt::CurrentMachine().motion.curPlatform[1].load();
  for (size_t i = 0; i < p.z.size(); ++i) p.z[i] = smt::CurrentMachine().curZ[i].load();
  p.westWalk = smt::CurrentMachine().motion.curAxis8.load();
  p.northWalk = smt::CurrentMachine().motion.curAxis9.load();
  p.eastWalk = smt::CurrentMachine().motion.curAxis10.load();
  return p;
}

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
  if (g_bConnected.load()) smt::link::SetOutput(output, 0, output);
}

void JogPanelPulseTestRunner::Jog(int axisCode, int direction, int32_t steps) {
  if (view_.m_pManualControl) view_.m_pManualControl->Jog(axisCode, direction != 0, false, true, steps);
}

smt::settings::TestRunPositions JogPanelPulseTestRunner::CurrentPositions() {
  smt::settings::TestRunPositions p;
  p.x = g_nCurX.load();
  p.y = g_nCurY.load();
  p.x2 = g_nCurPlatform[0].load();
  p.y2 = g_nCurPlatform[1].load();
  for (size_t i = 0; i < p.z.size(); ++i) p.z[i] = g_nCurZ[i].load();
  p.westWalk = g_nCurAxis8.load();
  p.northWalk = g_nCurAxis9.load();
  p.eastWalk = g_nCurAxis10.load();
  return p;
}

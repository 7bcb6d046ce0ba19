#pragma once
// The pulse settings' test run drives the machine through the jog panel:
// its jog with an explicit step count, the outputs, the current positions.
#include "settings/PulseSettings.h"

class CSMTView;

class JogPanelPulseTestRunner : public smt::settings::PulseTestRunner {
 public:
  explicit JogPanelPulseTestRunner(CSMTView& view) : view_(view) {}
  void SwitchOutputOff(int output) override;
  void Jog(int axisCode, int direction, int32_t steps) override;
  smt::settings::TestRunPositions CurrentPositions() override;

 private:
  CSMTView& view_;
};

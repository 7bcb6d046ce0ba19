#pragma once
// The jog panel's own keys, section [ManualControlConfig] of config.ini: the
// speed gear and jog steps, the feeder side, the first serial port tried and
// the information switch. Each is read with its range (settings/ConfigKeyRanges.h).
#include <string>

#include "link/SpeedGears.h"

namespace smt::link {

struct JogPanelConfig {
  JogSteps steps;
  int feedDirection = 0;  // 0 east, 1 south, 2 west, 3 north
  int comNumber = 0;
  int showInformation = 0;
};

JogPanelConfig LoadJogPanelConfig(const std::string& appDir);

}  // namespace smt::link

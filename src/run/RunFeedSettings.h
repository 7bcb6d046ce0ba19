#pragma once
// Feeding values of the run that belong to no dialog page: the two stroke
// words of the drag-pin feeders (used divided by 4: a word of 4 moves the pin
// by one feed length) and the labeling machine's tray tape axis (pulses per
// mm and its start / run speeds). Section [RunFeedConfig] of config.ini.
#include <string>

namespace smt {
class Machine;
}

namespace smt::run {

struct RunFeedSettings {
  int m_DragPinIn = 4;
  int m_DragPinOut = 4;
  double m_LabelTape_Pulse = 1.0;
  int m_LabelTapeStart = 10;
  int m_LabelTapeNormal = 20;
};

// Missing or zero values take the defaults above.
RunFeedSettings LoadRunFeedSettings(const std::string& appDir);
bool SaveRunFeedSettings(const std::string& appDir, const RunFeedSettings& s);
RunFeedSettings CurrentRunFeedSettings(smt::Machine& m);
void SetRunFeedSettings(smt::Machine& m, const RunFeedSettings& s);

}  // namespace smt::run

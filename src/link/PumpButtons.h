#pragma once
// The eight vacuum-pump buttons of the jog panel: which machine outputs a
// button switches, by machine type and the placement strategy's run
// selection (which makes output 8 follow pumps 2 and 4, or moves pump 8 of
// the eight-head machines to output 47).
#include <vector>

namespace smt {
class Machine;
}

namespace smt::link {

struct PumpOutput {
  int output = 0;
  int value = 0;
  bool operator==(const PumpOutput&) const = default;
};

// The outputs of pump button 1..8 in the order they are switched.
std::vector<PumpOutput> PumpOutputs(int pump, int machineType, int runSelect, int exhaust);

// A click on pump button `pump` left it checked (`on`) or not: switches its
// outputs when the machine is connected. False when nothing was sent.
bool SwitchPump(smt::Machine& machine, int pump, bool on);

}  // namespace smt::link

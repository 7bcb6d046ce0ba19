#pragma once
#include <cstdint>

namespace smt {
class Machine;
}

namespace smt::run {

// The board frame of the run, in steps: the working origin of the board or
// panel cell and the nominal Mark 1.
struct BoardFrame {
  int32_t originX = 0, originY = 0;
  int32_t mark1X = 0, mark1Y = 0;
  double mark1mmX = 0, mark1mmY = 0, mark2mmX = 0, mark2mmY = 0;
  bool marksOn = false;
  bool marksPerCell = false;  // the origin is the panel cell's own: no cell offsets
};
BoardFrame& Frame(smt::Machine& m);

}  // namespace smt::run

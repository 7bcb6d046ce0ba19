#include "run/BoardFrame.h"

namespace smt::run {

BoardFrame& Frame() {
  static BoardFrame f;
  return f;
}

}  // namespace smt::run

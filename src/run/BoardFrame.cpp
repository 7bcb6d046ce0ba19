#include "run/BoardFrame.h"

#include "core/Machine.h"

namespace smt::run {

BoardFrame& Frame() {
  return smt::CurrentMachine().Part<BoardFrame>();
}

}  // namespace smt::run

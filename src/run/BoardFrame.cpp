#include "run/BoardFrame.h"

#include "core/Machine.h"

namespace smt::run {

BoardFrame& Frame(smt::Machine& m) {
  return m.Part<BoardFrame>();
}

}  // namespace smt::run

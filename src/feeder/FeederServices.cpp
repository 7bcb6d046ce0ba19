#include "feeder/FeederServices.h"

#include "core/Machine.h"

namespace smt::feeder {

namespace {

struct FeederPorts {
  smt::platform::Port<FeederPartList> partList{"FeederPartList"};
  smt::platform::Port<FeederNeighbours> neighbours{"FeederNeighbours"};
};

}  // namespace

smt::platform::Port<FeederPartList>& FeederPartListPort(smt::Machine& machine) { return machine.Part<FeederPorts>().partList; }
smt::platform::Port<FeederNeighbours>& FeederNeighboursPort(smt::Machine& machine) {
  return machine.Part<FeederPorts>().neighbours;
}

}  // namespace smt::feeder

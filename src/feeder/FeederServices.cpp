#include "feeder/FeederServices.h"

#include "core/Machine.h"

namespace smt::feeder {

namespace {

struct FeederPorts {
  smt::platform::Port<FeederPartList> partList{"FeederPartList"};
  smt::platform::Port<FeederNeighbours> neighbours{"FeederNeighbours"};
};

}  // namespace

smt::platform::Port<FeederPartList>& FeederPartListPort() { return smt::CurrentMachine().Part<FeederPorts>().partList; }
smt::platform::Port<FeederNeighbours>& FeederNeighboursPort() {
  return smt::CurrentMachine().Part<FeederPorts>().neighbours;
}

}  // namespace smt::feeder

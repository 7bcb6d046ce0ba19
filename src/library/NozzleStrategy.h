#pragma once
// The placement strategy's nozzle-change switches ([SmtStrategyConfig]) that
// the nozzle library, the seat motions and the package editor follow.
#include <functional>
#include <string>

namespace smt {
class Machine;
}

namespace smt::library {

struct NozzleStrategy {
  int m_AutoChangeNozzle = 0;    // automatic nozzle change
  int m_19NozzleLibrary = 0;     // 1: the 19-seat magazine with cover; 0: the 6-seat library
  int m_ChangeNozzleSelect = 0;  // 0 change on A1 and A2; 1 A1 keeps nozzle 1; 2 A2 keeps nozzle 2
};

NozzleStrategy LoadNozzleStrategy(const std::string& appDir);

// The switches in force on `machine`. The placement strategy page installs
// its source; until then they are read from "<dir>/config.ini" of SetLibraryAppDir.
NozzleStrategy NozzleStrategyOf(smt::Machine& machine);
// Installs the source of `machine`'s switches.
void SetNozzleStrategySource(smt::Machine& machine, std::function<NozzleStrategy()> source);

// The program directory of `machine`'s library files and settings.
void SetLibraryAppDir(smt::Machine& machine, const std::string& appDir);
std::string LibraryAppDir(smt::Machine& machine);

}  // namespace smt::library

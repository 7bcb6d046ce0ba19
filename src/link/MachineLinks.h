#pragma once
// A machine's two links to its main board: the UDP channel and the COM port.
// They are a part of the machine (`LinksOf(machine)`), made with it on first
// use and kept for its life, so whatever holds them (the jog panel, the
// firmware dialog) only uses them. The jog panel opens the one the operator
// chose and puts it in the link runtime, and closes both when it goes; links
// still open when their machine goes are closed (their threads joined) in
// the machine's stop step, before any of its parts is freed.
#include "link/CMachineLink.h"
#include "link/CSerialLink.h"

namespace smt {
class Machine;
}

namespace smt::link {

struct MachineLinks {
  explicit MachineLinks(smt::Machine& machine) : udp(machine), serial(machine) {}
  MachineLinks(const MachineLinks&) = delete;
  MachineLinks& operator=(const MachineLinks&) = delete;
  ~MachineLinks();

  // Closes both links, the COM port first: their threads are stopped and
  // joined when this returns. Either may be opened again afterwards.
  void Close();

  CMachineLink udp;
  CSerialLink serial;
};

// The links of `machine`.
MachineLinks& LinksOf(smt::Machine& machine);

}  // namespace smt::link

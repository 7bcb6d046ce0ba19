#pragma once
// A simulated board on loopback UDP and a pseudo-terminal, with the link
// objects connected to it and installed as the program's links for the life
// of the object.
#include <cstdint>

#include "core/Machine.h"
#include "link/CMachineLink.h"
#include "link/CSerialLink.h"
#include "link/LinkRuntime.h"
#include "sim/SimBoard.h"

class SimulatedBoardLink {
 public:
  explicit SimulatedBoardLink(bool serialLink) : sim(Config()) {
    if (!sim.Start()) return;
    link.SetLocalPort(0);
    link.Open("127.0.0.1", static_cast<uint32_t>(sim.UdpPort()));
    link.StartReplyLoop();
    serial.Open(sim.SerialPath());
    auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
    rt.udp = &link;
    rt.serial = &serial;
    rt.commModel = serialLink ? 0 : 1;
    rt.headMask = 0x01;
    started = true;
  }
  ~SimulatedBoardLink() {
    auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
    rt.udp = nullptr;
    rt.serial = nullptr;
    serial.Close();
    link.Close();
    sim.Stop();
  }

  smt::sim::SimBoard sim;
  smt::link::CMachineLink link{smt::CurrentMachine()};
  smt::link::CSerialLink serial{smt::CurrentMachine()};
  bool started = false;

 private:
  static smt::sim::SimConfig Config() {
    smt::sim::SimConfig c;
    c.udpBindAddress = "127.0.0.1";
    c.udpPort = 0;
    c.discovery = false;
    return c;
  }
};

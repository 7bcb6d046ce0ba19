#pragma once
// The shell started on a working directory whose machine matches the
// simulated board, connected to it over the serial link (a pseudo-terminal
// standing for COM1). Only the wire is simulated: every hook is the one the
// shell connects.
#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

#include "ShellFixture.h"
#include "job/RunGlobals.h"
#include "link/LinkTestSupport.h"
#include "sim/SimBoard.h"

class ShellSimTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    linktest::ResetLinkState();
    // A new simulated machine stands with every axis at 0: so do the
    // program's positions (an earlier test's turns of the heads are not
    // this machine's).
    smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
    for (auto& z : smt::CurrentMachine().curZ) z = 0;
    for (auto& a : smt::CurrentMachine().curA) a = 0;
    smt::sim::SimConfig c;
    c.udp = false;
    c.discovery = false;
    c.headMask = 0xFF;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
  }
  void TearDown() override {
    // A run still going is stopped before the window goes.
    if (app && app->frame()) {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.feedRun = false;
      smt::CurrentMachine().run.pauseEvent.Set();
      Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    }
    ShellTest::TearDown();
    sim->Stop();
    linktest::ResetLinkState();
  }

  // Settings of a machine the simulated board can carry out: 100 steps per
  // mm, travel 500 x 400 mm, Z 30 mm, the serial link on the simulator.
  std::string MachineConfig() const {
    return "[SetBasicConfig]\nm_CommModel=0\nm_X_Limit=500\nm_Y_Limit=-400\nm_Z_Limit=-30\n"
           "[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\nm_A_Pulse=10\n"
           "[ManualControlConfig]\nm_ComNumber=1\nm_XY_RunSteps=100\nm_Z_RunSteps=50\nm_A_RunSteps=10\n"
           "[SerialPortConfig]\nCOM1=" +
           sim->SerialPath() + "\n";
  }

  // Starts the shell with the machine's settings plus `extra` lines and
  // connects to the simulated board; the machine counts as homed.
  CMainFrame& StartConnected(const std::string& extra = "") {
    WriteConfig(MachineConfig() + extra);
    CMainFrame& f = Start();
    EXPECT_TRUE(f.view()->m_pManualControl->ConnectNow()) << "the shell could not connect to the simulator";
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    return f;
  }

  // Waits for `done` while the window thread's queue is served (the run
  // threads post their display work and wait for some answers there).
  static bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QCoreApplication::processEvents();
    return done();
  }

  int Count(uint16_t code) const {
    int n = 0;
    for (const auto& c : sim->Received())
      if (c.code == code) ++n;
    return n;
  }

  std::unique_ptr<smt::sim::SimBoard> sim;
};

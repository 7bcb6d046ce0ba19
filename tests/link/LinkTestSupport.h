#pragma once
// Shared set-up of the link tests: clean link state, a simulator on loopback
// or a pseudo-terminal, and a pair of network namespaces for discovery.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "core/MachineState.h"
#include "link/CMachineLink.h"
#include "link/CSerialLink.h"
#include "link/LinkGlobals.h"
#include "link/LinkRoutes.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineHoming.h"
#include "platform/WorkerThreads.h"
#include "sim/SimBoard.h"

namespace linktest {

inline void ResetLinkState() {
  auto& rt = smt::link::Runtime();
  rt.udp = nullptr;
  rt.serial = nullptr;
  rt.substitute = nullptr;
  rt.hooks = nullptr;
  rt.commModel = 1;
  rt.headMask = 0x01;
  rt.serialAckCount = 0;
  rt.serialSendCount = 0;
  rt.v2_04 = rt.v2_06 = rt.v2_07 = 0;
  for (auto* e : smt::link::AllReplyEvents()) {
    e->ForgetLateReply();
    e->Reset();
  }
  g_bPositionLost = false;
  g_bConnected = false;
  smt::link::OnLinkRestored();
  g_bResetDone = true;
  g_bMasterResetOk = true;
  g_bMachineBusy = false;
  g_bComStop = false;
  g_bUdpStop = false;
  g_bVacuumCheckOk = true;
  g_nVacuumKpa = 0;
  g_nLastMoveCmd = 0;
  g_nLastSerialCmd = -1;
  g_bFirstOnline = true;
  // A test that left the homing in a reset mode (9: conveyor) would steer the next one's fault handling.
  smt::link::MachineHoming::Instance().m_nResetMode = -1;
}

// Polls `cond` for up to `limit`.
inline bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return cond();
}

// The routes the shell connects, filled by hand with quiet stand-ins (the
// jog panel's speed gear left out: the link steps its own); a test sets the
// ones it watches.
inline void QuietLinkRoutes() {
  using namespace smt::link;
  Routes() = {};
  InstallPartListStart([] {});
  InstallJog([](int, int) {});
  InstallCaptureDone([] {}, [](std::chrono::milliseconds) { return true; });
  InstallCameraToVisionOrigin([] {});
  InstallShowConveyorWidth([] {});
  InstallRunPausedShown([](bool) {});
  InstallShowBoardCameraValues([] {});
  InstallCameraSwitch([](int, int) {});
}

// A simulator on 127.0.0.1 (any free port) and its pseudo-terminal, with the
// program's UDP link and serial link open towards it.
class SimLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLinkState();
    QuietLinkRoutes();
    smt::sim::SimConfig c;
    c.udpBindAddress = "127.0.0.1";
    c.udpPort = 0;
    c.discovery = false;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
    link.SetLocalPort(0);
    ASSERT_TRUE(link.Open("127.0.0.1", static_cast<uint32_t>(sim->UdpPort())));
    link.StartReplyLoop();
    ASSERT_TRUE(serial.Open(sim->SerialPath()));
    smt::link::Runtime().udp = &link;
    smt::link::Runtime().serial = &serial;
  }
  void TearDown() override {
    // No worker a test started (a homing, a jog) outlives the links and the
    // simulator it talks to.
    smt::platform::WorkerThreads::Instance().StopAndJoinAll();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    serial.Close();
    link.Close();
    sim->Stop();
    ResetLinkState();
    smt::link::Routes() = {};
  }
  void UseUdp() { smt::link::Runtime().commModel = 1; }
  void UseSerial() { smt::link::Runtime().commModel = 0; }

  std::unique_ptr<smt::sim::SimBoard> sim;
  smt::link::CMachineLink link;
  smt::link::CSerialLink serial;
};

}  // namespace linktest

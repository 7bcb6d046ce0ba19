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
#include "link/LinkTexts.h"
#include "link/WindowPanels.h"
#include "link/MachineCommands.h"
#include "link/MachineHoming.h"
#include "platform/WorkerThreads.h"
#include "sim/SimBoard.h"
#include "support/TestPanels.h"

namespace linktest {

// The link's failure messages in English (the tests read them so); the
// other link texts keep their built-in Chinese.
inline void UseEnglishLinkFailureTexts() {
  smt::link::LinkTexts en;
  en.Load(SMT_SOURCE_DIR "/resources/lang/link", "English");
  smt::link::LinkTexts t = smt::link::LinkTexts{};
  for (std::string smt::link::LinkTexts::*f :
       {&smt::link::LinkTexts::serialName, &smt::link::LinkTexts::networkName, &smt::link::LinkTexts::portClosed,
        &smt::link::LinkTexts::portGone, &smt::link::LinkTexts::portFailed, &smt::link::LinkTexts::portNotWatched,
        &smt::link::LinkTexts::netPortClosed, &smt::link::LinkTexts::netAddressUnreachable,
        &smt::link::LinkTexts::netUnreachable, &smt::link::LinkTexts::netFailed,
        &smt::link::LinkTexts::lostConnectAgain, &smt::link::LinkTexts::sendFailed,
        &smt::link::LinkTexts::sendLinkDown, &smt::link::LinkTexts::replyTimeoutCode})
    t.*f = en.*f;
  smt::link::SetLinkTexts(smt::CurrentMachine(), t);
}

inline void ResetLinkState() {
  UseEnglishLinkFailureTexts();
  auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
  rt.udp = nullptr;
  rt.serial = nullptr;
  rt.substitute = nullptr;
  rt.hooks = nullptr;
  rt.commModel = 1;
  rt.headMask = 0x01;
  rt.serialAckCount = 0;
  rt.serialSendCount = 0;
  rt.v2_04 = rt.v2_06 = rt.v2_07 = 0;
  for (auto* e : smt::link::AllReplyEvents(smt::CurrentMachine())) {
    e->ForgetLateReply();
    e->Reset();
  }
  smt::CurrentMachine().link.positionLost = false;
  smt::CurrentMachine().connected = false;
  smt::link::OnLinkRestored(smt::CurrentMachine());
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().comStop = false;
  smt::CurrentMachine().udpStop = false;
  smt::CurrentMachine().link.vacuumCheckOk = true;
  smt::CurrentMachine().link.vacuumKpa = 0;
  smt::CurrentMachine().link.lastMoveCmd = 0;
  smt::CurrentMachine().link.lastSerialCmd = -1;
  smt::CurrentMachine().link.firstOnline = true;
  // A test that left the homing in a reset mode (9: conveyor) would steer the next one's fault handling.
  smt::link::MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = -1;
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

// The window's steps the link hands over, as a test sees them: each does
// what the test put in (nothing otherwise).
class QuietLinkWindow : public smt::link::LinkWindow {
 public:
  std::function<void()> onStart, onCameraToVisionOrigin, onShowConveyorWidth;
  std::function<void(bool)> onRunPaused;
  void StartFromFrontPanel() override {
    if (onStart) onStart();
  }
  void ShowRunPaused(bool paused) override {
    if (onRunPaused) onRunPaused(paused);
  }
  void CameraToVisionOrigin() override {
    if (onCameraToVisionOrigin) onCameraToVisionOrigin();
  }
  void ShowConveyorWidth() override {
    if (onShowConveyorWidth) onShowConveyorWidth();
  }
};

// A jog panel that takes every jog and moves nothing.
class QuietJogPanel : public smt::link::JogPanelActions {
 public:
  bool Jog(int, bool, bool, bool, int) override { return true; }
  bool JogOnPlatform(int, bool, int) override { return true; }
  void ReleaseJog() override {}
  int NextSpeedGear() override { return 0; }
  int WidthJogSteps() override { return 0; }
  void ShowConveyorTrace(bool) override {}
  void ClearLiftOnce() override {}
};

// The camera panel, the jog panel and the link window of the machine in
// use, quiet stand-ins (a test that wants the link to step its own speed
// gear disconnects the jog panel); returns the window, whose steps a test
// sets.
inline QuietLinkWindow& QuietLinkRoutes() {
  auto window = std::make_shared<QuietLinkWindow>();
  smt::link::LinkWindowPortOf(smt::CurrentMachine()).Own(window);
  smt::link::CameraPanelPortOf(smt::CurrentMachine()).Own(std::make_shared<smt::testing::RecordingCameraPanel>());
  smt::link::JogPanelPortOf(smt::CurrentMachine()).Own(std::make_shared<QuietJogPanel>());
  return *window;
}

// The link window QuietLinkRoutes connected.
inline QuietLinkWindow& TestLinkWindow() { return dynamic_cast<QuietLinkWindow&>(*smt::link::LinkWindowPortOf(smt::CurrentMachine())); }

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
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = &link;
    smt::link::RuntimeOf(smt::CurrentMachine()).serial = &serial;
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
  }
  void UseUdp() { smt::link::RuntimeOf(smt::CurrentMachine()).commModel = 1; }
  void UseSerial() { smt::link::RuntimeOf(smt::CurrentMachine()).commModel = 0; }

  std::unique_ptr<smt::sim::SimBoard> sim;
  smt::link::CMachineLink link{smt::CurrentMachine()};
  smt::link::CSerialLink serial{smt::CurrentMachine()};
};

}  // namespace linktest

#pragma once
// The simulator fixture with machine settings for moves: travel limits, one
// A revolution, a connected and homed machine at position 0, and a recorder
// of the panel's hooks.
#include <mutex>

#include "LinkTestSupport.h"
#include "link/LinkHooks.h"
#include "link/LinkRoutes.h"
#include "link/MachineCommands.h"
#include "link/MachineHoming.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "support/SimRecordDump.h"

namespace linktest {

struct RecordingHooks : smt::link::LinkHooks {
  std::mutex m;
  std::string info2;
  std::vector<std::string> info;
  std::atomic<int> jogEnables{0};
  std::atomic<int> homeButton{0};
  void AppendInfoLine(const std::string& t, bool end) override {
    std::lock_guard lk(m);
    info.push_back(t + (end ? "\n" : ""));
  }
  void AppendInfoLine2(const std::string& t, bool end) override {
    std::lock_guard lk(m);
    info2 += t + (end ? "\n" : "");
  }
  void EnableJogControls(bool e) override {
    if (e) ++jogEnables;
  }
  void EnableHomeButton() override { ++homeButton; }
  std::string Info2() {
    std::lock_guard lk(m);
    return info2;
  }
  std::vector<std::string> Info() {
    std::lock_guard lk(m);
    return info;
  }
};

inline void ZeroPositions() {
  smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
  for (auto& z : smt::CurrentMachine().curZ) z = 0;
  for (auto& a : smt::CurrentMachine().curA) a = 0;
  smt::CurrentMachine().motion.curAxis8 = smt::CurrentMachine().motion.curAxis9 = smt::CurrentMachine().motion.curAxis10 = 0;
  smt::CurrentMachine().motion.curPlatform[0] = smt::CurrentMachine().motion.curPlatform[1] = 0;
  smt::CurrentMachine().motion.curConveyorWidth = 0;
}

class MotionSimTest : public SimLinkTest {
 protected:
  static constexpr int32_t kRev = 3600;
  void SetUp() override {
    SimLinkTest::SetUp();
    smt::link::MotionSettings m;
    m.xLimit = m.xLimitAbs = 200000;
    m.yLimit = -150000;
    m.yLimitAbs = 150000;
    m.zLimit = -6000;
    m.aRevolution = kRev;
    m.exhaust = 5;
    for (int i = 0; i < 16; ++i) {
      m.resetSpeed[i] = {10, 30};
      m.originUpdate[i] = true;
    }
    m.conveyorStartSpeed = 5;
    m.conveyorNormalSpeed = 9;
    m.conveyorWidthTarget = 4321;
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
    ZeroPositions();
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().connected = true;
    smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().paused = false;
    smt::link::RuntimeOf(smt::CurrentMachine()).hooks = &hooks;
    smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons = 0;
    smt::link::RuntimeOf(smt::CurrentMachine()).axisSelection = 0;
    smt::link::RuntimeOf(smt::CurrentMachine()).speedGear = 0;
    smt::link::MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = -1;
    QuietLinkRoutes();
  }
  void TearDown() override {
    testsupport::DumpSimRecord(*sim, recordWorld);
    smt::link::RuntimeOf(smt::CurrentMachine()).hooks = nullptr;
    smt::link::SetMotionSettings(smt::CurrentMachine(), {});
    smt::CurrentMachine().machineType = 0;
    ZeroPositions();
    SimLinkTest::TearDown();
  }
  // The world whose releases go with the record (SimRecordDump), when the test has one.
  const smt::sim::SimWorld* recordWorld = nullptr;
  void UpdateSettings(const std::function<void(smt::link::MotionSettings&)>& change) {
    auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
    change(m);
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
  }
  // Lets the board learn the host's address (reports go to the last sender).
  void Introduce() {
    smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
    ASSERT_TRUE(WaitFor([&] { return sim->LastReceived(0x60).has_value(); }));
  }

  smt::platform::ScopedRecordingMessages messages;
  RecordingHooks hooks;
};

}  // namespace linktest

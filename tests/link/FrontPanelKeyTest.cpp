// The machine's front-panel keys, reported by the simulator over the UDP
// report and the serial status frame, act like the window's buttons on the
// machine types they name.
#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "link/FrontPanelKeys.h"
#include "link/SerialFrame.h"

using namespace smt::link;

class FrontPanelKeys : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    Introduce();
    // The part list and the jog panel install their own entry points.
    InstallPartListStart([this] { ++starts; });
    InstallJog([this](int g, int d) {
      std::lock_guard lk(jogM);
      jogs.emplace_back(g, d);
    });
    g_bRunContinue = false;
    g_bConveyorRun = false;
    g_hPauseEvent.Set();
    sim->ClearReceived();
  }
  void UdpKey(uint8_t key) { sim->SendUdpReport(0x14, {key}); }
  void SerialKey(char key) { sim->SendSerialBytes({0xEE, 0x00, 0x00, static_cast<uint8_t>(key), 0xFF, 0xFC, 0xFF, 0xFF}); }
  bool StateSent(int code, int value) {
    return linktest::WaitFor([&] {
      for (auto [c, v] : sim->States())
        if (c == code && v == value) return true;
      return false;
    }, std::chrono::milliseconds(1500));
  }
  std::vector<std::pair<int, int>> Jogs() {
    std::lock_guard lk(jogM);
    return jogs;
  }
  // A key that must do nothing: give the link time to prove it.
  void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(120)); }

  std::atomic<int> starts{0};
  std::mutex jogM;
  std::vector<std::pair<int, int>> jogs;
};

TEST_F(FrontPanelKeys, PauseResumeAndStopActOnlyWhileRunning) {
  UdpKey(2);
  Settle();
  EXPECT_FALSE(g_bPaused.load());
  EXPECT_TRUE(sim->States().empty());

  g_bMachineBusy = true;
  g_bRunContinue = true;
  UdpKey(2);
  ASSERT_TRUE(StateSent(2, 0));
  EXPECT_TRUE(g_bPaused.load());
  EXPECT_FALSE(g_hPauseEvent.IsSet());
  UdpKey(3);
  ASSERT_TRUE(StateSent(3, 1));  // 1 on the network link
  EXPECT_FALSE(g_bPaused.load());
  EXPECT_TRUE(g_hPauseEvent.IsSet());
  UpdateSettings([](MotionSettings& m) { m.autoTransport = true; });
  g_bConveyorRun = true;
  g_hBoardDoneEvent.Reset();
  UdpKey(4);
  ASSERT_TRUE(StateSent(15, 1));
  EXPECT_FALSE(g_bRunContinue.load());
  EXPECT_FALSE(g_bConveyorRun.load());
  EXPECT_TRUE(g_hBoardDoneEvent.IsSet());
  g_bMachineBusy = false;
}

TEST_F(FrontPanelKeys, StartGoesToThePartListOrAsksForTheMasterReset) {
  UdpKey(1);
  EXPECT_TRUE(linktest::WaitFor([&] { return starts == 1; }));
  g_bMasterResetOk = false;
  UdpKey(1);
  EXPECT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"请先按总复位机器 !"});
  // Running: the start key does nothing.
  g_bMachineBusy = true;
  SerialKey('1');
  Settle();
  EXPECT_EQ(starts.load(), 1);
  g_bMachineBusy = false;
  g_bMasterResetOk = true;
  SerialKey('1');
  EXPECT_TRUE(linktest::WaitFor([&] { return starts == 2; }));
}

TEST_F(FrontPanelKeys, AxisSelectionWrapsByMachineType) {
  struct Case { int type; int from; int to; };
  const Case cases[] = {{0, 2, 0}, {0, 1, 2}, {3, 4, 0}, {6, 3, 4}, {7, 8, 0}, {8, 0, 1}, {9, 5, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " from " + std::to_string(c.from));
    g_nMachineType = c.type;
    Runtime().axisSelection = c.from;
    sim->ClearReceived();
    UdpKey(6);
    ASSERT_TRUE(StateSent(6, c.to));
    EXPECT_EQ(Runtime().axisSelection.load(), c.to);
  }
  // Running: the index still steps, nothing is sent.
  g_nMachineType = 0;
  Runtime().axisSelection = 0;
  g_bMachineBusy = true;
  sim->ClearReceived();
  UdpKey(6);
  EXPECT_TRUE(linktest::WaitFor([&] { return Runtime().axisSelection == 1; }));
  Settle();
  EXPECT_TRUE(sim->States().empty());
  g_bMachineBusy = false;
}

TEST_F(FrontPanelKeys, JogKeysFollowTheSelectedAxis) {
  struct Case { int type; int selection; uint8_t key; std::pair<int, int> jog; };
  const Case cases[] = {
      {0, 0, 7, {0, 0}}, {0, 0, 8, {0, 1}}, {0, 2, 9, {3, 1}}, {0, 2, 10, {3, 0}}, {10, 1, 9, {2, 0}},
      {3, 2, 9, {2, 1}}, {4, 4, 10, {3, 0}}, {6, 0, 10, {1, 1}}, {7, 0, 9, {1, 0}}, {8, 3, 10, {0x22, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " key " + std::to_string(c.key));
    g_nMachineType = c.type;
    Runtime().axisSelection = c.selection;
    {
      std::lock_guard lk(jogM);
      jogs.clear();
    }
    UdpKey(c.key);
    ASSERT_TRUE(linktest::WaitFor([&] { return !Jogs().empty(); }));
    EXPECT_EQ(Jogs().front(), c.jog);
  }
  // Type 9 has no selected-axis jog; a running machine does not jog.
  g_nMachineType = 9;
  {
    std::lock_guard lk(jogM);
    jogs.clear();
  }
  UdpKey(9);
  g_nMachineType = 0;
  g_bMachineBusy = true;
  UdpKey(7);
  SerialKey('8');
  Settle();
  EXPECT_TRUE(Jogs().empty());
  g_bMachineBusy = false;
  // Serial jog keys.
  const std::pair<char, std::pair<int, int>> serial[] = {{'6', {1, 1}}, {'7', {1, 0}}, {'8', {0, 0}}, {'9', {0, 1}}};
  for (auto [key, jog] : serial) {
    {
      std::lock_guard lk(jogM);
      jogs.clear();
    }
    SerialKey(key);
    ASSERT_TRUE(linktest::WaitFor([&] { return !Jogs().empty(); })) << key;
    EXPECT_EQ(Jogs().front(), jog) << key;
  }
}

TEST_F(FrontPanelKeys, SpeedGearAndSerialPauseToggle) {
  UdpKey(5);
  ASSERT_TRUE(StateSent(5, 1));
  EXPECT_EQ(Runtime().speedGear.load(), 1);
  Runtime().speedGear = 4;
  UdpKey(5);
  ASSERT_TRUE(StateSent(5, 0));
  // Serial '2' while running: pause, then resume (serial resume value 0).
  UseSerial();
  g_bMachineBusy = true;
  SerialKey('2');
  ASSERT_TRUE(linktest::WaitFor([&] { return g_bPaused.load(); }));
  SerialKey('2');
  ASSERT_TRUE(linktest::WaitFor([&] { return !g_bPaused.load(); }));
  EXPECT_TRUE(StateSent(3, -1));  // the serial state frame carries the code only
  g_bMachineBusy = false;
  // Offline the gear key is refused with the guard text.
  g_bConnected = false;
  messages.service.Clear();
  NextSpeedGear();
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
}

TEST_F(FrontPanelKeys, HomeKeyHomesWhenIdleAndIsRefusedWhileRunning) {
  g_bResetDone = false;
  UdpKey(11);
  EXPECT_TRUE(linktest::WaitFor([&] { return g_bResetDone && !g_bMachineBusy; }));
  EXPECT_TRUE(sim->LastReceived(0x02).has_value());
  sim->ClearReceived();
  messages.service.Clear();
  g_bMachineBusy = true;
  UdpKey(11);
  EXPECT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is runnig !"});
  Settle();
  EXPECT_FALSE(sim->LastReceived(0x02).has_value());
  EXPECT_TRUE(g_bResetDone.load());
  g_bMachineBusy = false;
}

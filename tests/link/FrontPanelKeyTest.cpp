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
    // The part list's Start and the jog panel as the window's would take them.
    linktest::TestLinkWindow().onStart = [this] { ++starts; };
    // The pause and resume keys end by showing the run's state: counted, so
    // a test waits for the whole key action, not only its first flag.
    linktest::TestLinkWindow().onRunPaused = [this](bool paused) { ++(paused ? pausesShown : resumesShown); };
    smt::link::JogPanelPortOf(smt::CurrentMachine()).Connect(&jogPanel);
    smt::CurrentMachine().runContinue = false;
    smt::CurrentMachine().run.conveyorRun = false;
    smt::CurrentMachine().run.pauseEvent.Set();
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
  std::atomic<int> pausesShown{0}, resumesShown{0};
  // The jog panel of the test: keeps the front-panel jogs (group, direction).
  class KeyJogPanel : public smt::testing::RecordingJogPanel {
   public:
    explicit KeyJogPanel(FrontPanelKeys& t) : t_(t) {}
    bool Jog(int axis, bool positive, bool, bool, int) override {
      std::lock_guard lk(t_.jogM);
      t_.jogs.emplace_back(axis, positive ? 1 : 0);
      return true;
    }

   private:
    FrontPanelKeys& t_;
  };
  void TearDown() override {
    smt::link::JogPanelPortOf(smt::CurrentMachine()).Disconnect();
    MotionSimTest::TearDown();
  }

  std::mutex jogM;
  std::vector<std::pair<int, int>> jogs;
  KeyJogPanel jogPanel{*this};
};

TEST_F(FrontPanelKeys, PauseResumeAndStopActOnlyWhileRunning) {
  UdpKey(2);
  Settle();
  EXPECT_FALSE(smt::CurrentMachine().paused.load());
  EXPECT_TRUE(sim->States().empty());

  smt::CurrentMachine().machineBusy = true;
  smt::CurrentMachine().runContinue = true;
  UdpKey(2);
  ASSERT_TRUE(StateSent(2, 0));
  ASSERT_TRUE(linktest::WaitFor([&] { return pausesShown == 1; }));
  EXPECT_TRUE(smt::CurrentMachine().paused.load());
  EXPECT_FALSE(smt::CurrentMachine().run.pauseEvent.IsSet());
  UdpKey(3);
  ASSERT_TRUE(StateSent(3, 1));  // 1 on the network link
  ASSERT_TRUE(linktest::WaitFor([&] { return resumesShown == 1; }));
  EXPECT_FALSE(smt::CurrentMachine().paused.load());
  EXPECT_TRUE(smt::CurrentMachine().run.pauseEvent.IsSet());
  UpdateSettings([](MotionSettings& m) { m.autoTransport = true; });
  smt::CurrentMachine().run.conveyorRun = true;
  smt::CurrentMachine().run.boardDoneEvent.Reset();
  UdpKey(4);
  ASSERT_TRUE(StateSent(15, 1));
  EXPECT_FALSE(smt::CurrentMachine().runContinue.load());
  EXPECT_FALSE(smt::CurrentMachine().run.conveyorRun.load());
  EXPECT_TRUE(smt::CurrentMachine().run.boardDoneEvent.IsSet());
  smt::CurrentMachine().machineBusy = false;
}

TEST_F(FrontPanelKeys, StartGoesToThePartListOrAsksForTheMasterReset) {
  UdpKey(1);
  EXPECT_TRUE(linktest::WaitFor([&] { return starts == 1; }));
  smt::CurrentMachine().masterResetOk = false;
  UdpKey(1);
  EXPECT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"请先按总复位机器 !"});
  // Running: the start key does nothing.
  smt::CurrentMachine().machineBusy = true;
  SerialKey('1');
  Settle();
  EXPECT_EQ(starts.load(), 1);
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().masterResetOk = true;
  SerialKey('1');
  EXPECT_TRUE(linktest::WaitFor([&] { return starts == 2; }));
}

TEST_F(FrontPanelKeys, AxisSelectionWrapsByMachineType) {
  struct Case { int type; int from; int to; };
  const Case cases[] = {{0, 2, 0}, {0, 1, 2}, {3, 4, 0}, {6, 3, 4}, {7, 8, 0}, {8, 0, 1}, {9, 5, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " from " + std::to_string(c.from));
    smt::CurrentMachine().machineType = c.type;
    RuntimeOf(smt::CurrentMachine()).axisSelection = c.from;
    sim->ClearReceived();
    UdpKey(6);
    ASSERT_TRUE(StateSent(6, c.to));
    EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).axisSelection.load(), c.to);
  }
  // Running: the index still steps, nothing is sent.
  smt::CurrentMachine().machineType = 0;
  RuntimeOf(smt::CurrentMachine()).axisSelection = 0;
  smt::CurrentMachine().machineBusy = true;
  sim->ClearReceived();
  UdpKey(6);
  EXPECT_TRUE(linktest::WaitFor([&] { return RuntimeOf(smt::CurrentMachine()).axisSelection == 1; }));
  Settle();
  EXPECT_TRUE(sim->States().empty());
  smt::CurrentMachine().machineBusy = false;
}

TEST_F(FrontPanelKeys, JogKeysFollowTheSelectedAxis) {
  struct Case { int type; int selection; uint8_t key; std::pair<int, int> jog; };
  const Case cases[] = {
      {0, 0, 7, {0, 0}}, {0, 0, 8, {0, 1}}, {0, 2, 9, {3, 1}}, {0, 2, 10, {3, 0}}, {10, 1, 9, {2, 0}},
      {3, 2, 9, {2, 1}}, {4, 4, 10, {3, 0}}, {6, 0, 10, {1, 1}}, {7, 0, 9, {1, 0}}, {8, 3, 10, {0x22, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " key " + std::to_string(c.key));
    smt::CurrentMachine().machineType = c.type;
    RuntimeOf(smt::CurrentMachine()).axisSelection = c.selection;
    {
      std::lock_guard lk(jogM);
      jogs.clear();
    }
    UdpKey(c.key);
    ASSERT_TRUE(linktest::WaitFor([&] { return !Jogs().empty(); }));
    EXPECT_EQ(Jogs().front(), c.jog);
  }
  // Type 9 has no selected-axis jog; a running machine does not jog.
  smt::CurrentMachine().machineType = 9;
  {
    std::lock_guard lk(jogM);
    jogs.clear();
  }
  UdpKey(9);
  smt::CurrentMachine().machineType = 0;
  smt::CurrentMachine().machineBusy = true;
  UdpKey(7);
  SerialKey('8');
  Settle();
  EXPECT_TRUE(Jogs().empty());
  smt::CurrentMachine().machineBusy = false;
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
  // Without a jog panel the link steps its own speed gear.
  smt::link::JogPanelPortOf(smt::CurrentMachine()).Disconnect();
  UdpKey(5);
  ASSERT_TRUE(StateSent(5, 1));
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).speedGear.load(), 1);
  RuntimeOf(smt::CurrentMachine()).speedGear = 4;
  UdpKey(5);
  ASSERT_TRUE(StateSent(5, 0));
  // Serial '2' while running: pause, then resume (serial resume value 0).
  UseSerial();
  smt::CurrentMachine().machineBusy = true;
  SerialKey('2');
  ASSERT_TRUE(linktest::WaitFor([&] { return smt::CurrentMachine().paused.load() && pausesShown == 1; }));
  SerialKey('2');
  ASSERT_TRUE(linktest::WaitFor([&] { return !smt::CurrentMachine().paused.load() && resumesShown == 1; }));
  EXPECT_TRUE(StateSent(3, -1));  // the serial state frame carries the code only
  smt::CurrentMachine().machineBusy = false;
  // Offline the gear key is refused with the guard text.
  smt::CurrentMachine().connected = false;
  messages.service.Clear();
  NextSpeedGear(smt::CurrentMachine());
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
}

TEST_F(FrontPanelKeys, HomeKeyHomesWhenIdleAndIsRefusedWhileRunning) {
  smt::CurrentMachine().resetDone = false;
  UdpKey(11);
  EXPECT_TRUE(linktest::WaitFor([&] { return smt::CurrentMachine().resetDone && !smt::CurrentMachine().machineBusy; }));
  EXPECT_TRUE(sim->LastReceived(0x02).has_value());
  sim->ClearReceived();
  messages.service.Clear();
  smt::CurrentMachine().machineBusy = true;
  UdpKey(11);
  EXPECT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is runnig !"});
  Settle();
  EXPECT_FALSE(sim->LastReceived(0x02).has_value());
  EXPECT_TRUE(smt::CurrentMachine().resetDone.load());
  smt::CurrentMachine().machineBusy = false;
}

// The serial link's fault reports and Z acknowledgements as the program
// started on a working directory handles them, with the simulated board on
// the serial line.
#include <algorithm>
#include <filesystem>

#include "ShellSimFixture.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "stations/ConveyorStation.h"

namespace {

// A motor or sensor fault report with its sub-code, as the board sends it.
std::vector<uint8_t> FaultFrame(uint8_t sub) { return {0xEE, 0xFF, 0xE2, sub, 0xFF, 0xFC, 0xFF, 0xFF}; }

}  // namespace

class SerialFaultShellTest : public ShellSimTest {
 protected:
  // The machine's settings with the basic section's `extra` lines.
  CMainFrame& StartWith(const std::string& basicLines, const std::string& otherSections = "") {
    // The built language files (<build>/lang beside this test), as a new
    // working directory gets them.
    namespace fs = std::filesystem;
    const fs::path lang = fs::canonical("/proc/self/exe").parent_path().parent_path().parent_path() / "lang";
    for (const auto& file : fs::directory_iterator(lang))
      fs::copy_file(file.path(), dir / file.path().filename().string(), fs::copy_options::overwrite_existing);
    std::string config = MachineConfig() + otherSections;
    const std::string head = "[SetBasicConfig]\n";
    config.insert(config.find(head) + head.size(), basicLines);
    WriteConfig(config);
    CMainFrame& f = Start();
    EXPECT_TRUE(f.view()->m_pManualControl->ConnectNow());
    smt::CurrentMachine().resetDone = true;
    return f;
  }

  bool Shown(const std::string& text) {
    return Pump(
        [&] {
          const auto t = messages.service.Texts();
          return std::find(t.begin(), t.end(), text) != t.end();
        },
        std::chrono::seconds(5));
  }
};

TEST_F(SerialFaultShellTest, MotorFaultInDebugModeLeavesTheResetModeAndGivesTheJogBack) {
  struct Case {
    std::string basic;
    int modeAfter;
    bool jogAfter;
  };
  for (const Case& c : {Case{"m_DebugModel=1\n", -1, true}, Case{"m_DebugModel=0\n", 3, false}}) {
    CMainFrame& f = StartWith(c.basic);
    CDialogManualControl& jog = *f.view()->m_pManualControl;
    auto& homing = smt::link::MachineHoming::Of(smt::CurrentMachine());
    homing.m_nResetMode = 3;
    jog.EnableJogControls(false);
    messages.service.Clear();
    sim->SendSerialBytes(FaultFrame(0x03));
    EXPECT_TRUE(Shown("Error E2-03电机或传感器故障 !")) << c.basic;
    Pump([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    EXPECT_EQ(homing.m_nResetMode.load(), c.modeAfter) << c.basic;
    EXPECT_EQ(jog.m_bJogControlsEnabled.load(), c.jogAfter) << c.basic;
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    // The next start connects to a fresh board.
    sim->Stop();
    linktest::ResetLinkState();
    ASSERT_TRUE(sim->Start());
  }
}

TEST_F(SerialFaultShellTest, WidthAxisFaultDuringAConveyorResetShowsTheResetWidth) {
  struct Case {
    uint8_t sub;
    int resetMode;
    double widthAfter;
  };
  for (const Case& c : {Case{0x0E, 9, 120.5}, Case{0x0E, 3, 80}, Case{0x0D, 9, 80}}) {
    CMainFrame& f = StartWith("");
    (void)f;
    auto& conveyor = smt::stations::ConveyorStation::Of(smt::CurrentMachine());
    auto s = conveyor.Settings();
    s.m_ResetWidth = 120.5;
    s.m_SetWidth = 80;
    conveyor.SetSettings(s);
    smt::link::MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = c.resetMode;
    sim->SendSerialBytes(FaultFrame(c.sub));
    Pump([] { return !smt::CurrentMachine().resetDone.load(); }, std::chrono::seconds(5));
    Pump([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_DOUBLE_EQ(conveyor.Settings().m_SetWidth, c.widthAfter) << int(c.sub) << " " << c.resetMode;
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    sim->Stop();
    linktest::ResetLinkState();
    ASSERT_TRUE(sim->Start());
  }
}

TEST_F(SerialFaultShellTest, AnAcknowledgedZStrokeShowsZeroInTheZBox) {
  struct Case {
    std::string manual;
    uint16_t code;
    std::string shown;
  };
  const Case cases[] = {{"0", 0x67, "0.00"}, {"0", 0x68, "0.00"}, {"1", 0x67, "0"}};
  for (const Case& c : cases) {
    CMainFrame& f = StartWith("");
    CDialogManualControl& jog = *f.view()->m_pManualControl;
    auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
    m.showPulse = c.manual == "1";
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
    Pump([] { return false; }, std::chrono::milliseconds(50));
    // The Z the program last knew is not 0: only the acknowledgement shows 0.
    smt::CurrentMachine().curZ[0] = -1234;
    jog.ShowPositions(false, 0, false, 0, true, -1234, false, 0);
    ASSERT_NE(jog.PositionText(2), c.shown);
    const auto r = c.code == 0x67 ? smt::link::SendCmd67MoveZ(smt::CurrentMachine(), 2, -500, 10, 20, 1, 0, 0)
                                  : smt::link::SendCmd68MoveZVacuum(smt::CurrentMachine(), 2, -500, 10, 20, 1, 0, 0);
    EXPECT_EQ(r, smt::link::CommandResult::Ok);
    EXPECT_TRUE(Pump([&] { return jog.PositionText(2) == c.shown; }, std::chrono::seconds(5)))
        << std::hex << c.code << ": " << jog.PositionText(2);
    smt::CurrentMachine().curZ[0] = 0;
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    sim->Stop();
    linktest::ResetLinkState();
    ASSERT_TRUE(sim->Start());
  }
}

// A motor or sensor fault answering a move, whatever its sub-code (those of
// 0x10 and above used to end the move and clear the homed flag silently):
// one message with the code in the window's language, the move ends as
// failed at once (no time-out message after it), and the machine counts as
// not homed.
TEST_F(SerialFaultShellTest, EveryMotorFaultCodeIsToldOnceAndEndsTheMove) {
  struct Language {
    const char* name;
    const char* fault;  // what follows the code
  };
  for (const Language lang : {Language{"Chinese", "电机或传感器故障 !"}, Language{"English", "Motor or sensor fault !"},
                              Language{"German", "Motor- oder Sensorfehler !"}}) {
    SCOPED_TRACE(lang.name);
    CMainFrame& f = StartWith("m_DebugModel=0\n", std::string("[LanguageSetConfig]\nLanguageSet=") + lang.name + "\n");
    CDialogManualControl& jog = *f.view()->m_pManualControl;
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.SetTimeout(std::chrono::seconds(3));
    for (uint8_t sub : {uint8_t{0x03}, uint8_t{0x0F}, uint8_t{0x10}, uint8_t{0x2A}, uint8_t{0xFF}}) {
      SCOPED_TRACE(static_cast<int>(sub));
      smt::CurrentMachine().resetDone = true;
      smt::CurrentMachine().machineBusy = false;
      messages.service.Clear();
      sim->InjectSerialError(0x61, 0xE2, sub);
      const auto t0 = std::chrono::steady_clock::now();
      const auto r = smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), 4, 100, 10, 20);
      EXPECT_FALSE(r);
      EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2)) << "the move waited for its time-out";
      char code[8];
      std::snprintf(code, sizeof code, "%02X", sub);
      const std::string expected = std::string("Error E2-") + code + lang.fault;
      EXPECT_TRUE(Shown(expected));
      Pump([] { return false; }, std::chrono::milliseconds(200));
      const auto texts = messages.service.Texts();
      EXPECT_EQ(std::count(texts.begin(), texts.end(), expected), 1) << (texts.empty() ? "" : texts.front());
      EXPECT_EQ(texts.size(), 1u) << (texts.empty() ? "" : texts.back());
      EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    }
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.SetTimeout(std::chrono::seconds(60));
    (void)jog;
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    sim->Stop();
    linktest::ResetLinkState();
    ASSERT_TRUE(sim->Start());
  }
}

// The loud-hook table through the real shell: after start-up every machine
// type finds the hooks it needs connected, and a machine-type switch reports
// again.
#include <algorithm>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "ShellFixture.h"
#include "core/Machine.h"
#include "job/BoardGeometry.h"
#include "job/FeederView.h"
#include "job/PartEditorSupport.h"
#include "platform/Hooks.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "settings/SettingsMenuCommands.h"

using smt::platform::HookRegistry;

namespace {

// Collects the hook log for the life of the object.
struct HookLogCapture {
  HookLogCapture() {
    smt::platform::SetHookLog([this](const std::string& line) {
      std::lock_guard lk(m);
      lines.push_back(line);
    });
  }
  ~HookLogCapture() { smt::platform::SetHookLog(nullptr); }
  std::vector<std::string> Lines() {
    std::lock_guard lk(m);
    return lines;
  }
  std::mutex m;
  std::vector<std::string> lines;
};

}  // namespace

class HookTableTest : public ShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(HookTableTest, EveryHookTheMachineTypeNeedsIsConnectedAfterStartUp) {
  const int type = GetParam();
  WriteConfig("[MachineSetConfig]\nMachineSet=" + std::to_string(type) + "\n");
  Start();
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), type);
  auto& reg = HookRegistry::Instance();
  EXPECT_EQ(smt::platform::JoinHookNames(reg.Missing(type)), "");
  // The window's panels and the neighbours of the feeders, the camera panel
  // and list and the manual Mark offsets are in the table by name, so a
  // missing one is reported (and, as above, connected after start-up).
  std::set<std::string> names;
  for (const auto& e : reg.Entries()) names.insert(e.name);
  for (const char* port : {"JogPanel", "CameraPanel", "LinkWindow", "ManualMarkOwners", "FeederPartList",
                           "FeederNeighbours", "CDialogSetView.neighbours", "CDialogCameraList.neighbours"})
    EXPECT_EQ(names.count(port), 1u) << port;
  // The strategy page's hook (the cover-tape page it opens) is in the table
  // too (the page itself is built only when opened).
  size_t strategyHooks = 0;
  for (const auto& e : reg.Entries())
    if (e.name.rfind("CDialogSMTStrategy.", 0) == 0) {
      ++strategyHooks;
      EXPECT_TRUE(e.NeededBy(type)) << e.name;
    }
  EXPECT_EQ(strategyHooks, 1u);
  // Optional hooks say why.
  for (const auto& e : reg.Entries()) {
    if (e.types == smt::platform::kOptional) {
      EXPECT_FALSE(e.reason.empty()) << e.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(MachineTypes, HookTableTest, ::testing::Range(0, 11));

TEST_F(ShellTest, StartUpAndMachineTypeSwitchReportTheHooks) {
  HookLogCapture log;
  CMainFrame& f = Start();
  auto lines = log.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.front().find("Hooks (start-up, machine type 0)"), std::string::npos) << lines.front();
  const size_t before = lines.size();
  f.OnMachineType(9);
  lines = log.Lines();
  ASSERT_GT(lines.size(), before);
  EXPECT_NE(lines[before].find("Hooks (machine type switch, machine type 9)"), std::string::npos) << lines[before];
  f.OnMachineType(0);
}

TEST_F(ShellTest, OptionalHooksAreListedWithTheirReasons) {
  Start();
  std::ostringstream out;
  size_t optional = 0, unconnected = 0;
  for (const auto& e : HookRegistry::Instance().Entries()) {
    const bool on = e.connected && e.connected();
    if (!on) ++unconnected;
    if (e.types != smt::platform::kOptional) continue;
    ++optional;
    out << "  " << e.name << (on ? " (connected)" : " (not connected)") << ": " << e.reason << "\n";
  }
  std::printf("%zu hooks, %zu not connected after start-up; optional:\n%s", HookRegistry::Instance().Size(),
              unconnected, out.str().c_str());
  EXPECT_GT(optional, 0u);
}

// The shell connects the machine it starts on: a second machine in the same
// process has none of those connections while it is the one in use, and the
// first keeps all of them. The hook table asks the machine the window was
// built on, so the second machine in use does not make the shell's hooks
// read as missing.
TEST_F(ShellTest, ConnectionsBelongToTheMachineTheShellStartedOn) {
  Start();
  const int type = smt::CurrentMachine().machineType.load();
  auto& reg = HookRegistry::Instance();
  ASSERT_EQ(smt::platform::JoinHookNames(reg.Missing(type)), "");
  struct Connection {
    const char* what;
    std::function<bool()> connected;
  };
  const std::vector<Connection> connections = {
      {"run services", [] { return smt::run::Services(smt::CurrentMachine()).placementRows.connected(); }},
      {"run display", [] { return smt::run::Services(smt::CurrentMachine()).display.connected(); }},
      {"strategy page", [] { return smt::run::StrategyPageHooks(smt::CurrentMachine()).openCoverDialog.connected(); }},
      {"feeder source", [] { return static_cast<bool>(smt::job::FeederSourceOf(smt::CurrentMachine()).listRows); }},
      {"part editors' jog", [] { return static_cast<bool>(smt::job::PartEditorHooksOf(smt::CurrentMachine()).jog); }},
      {"fly-camera inputs", [] { return smt::job::FlyCameraInputsHook(smt::CurrentMachine()).connected(); }},
      {"pulse follow-up", [] { return smt::settings::PulseCommitted(smt::CurrentMachine()).connected(); }},
  };
  for (const auto& c : connections) EXPECT_TRUE(c.connected()) << c.what;
  smt::Machine other;
  {
    smt::MachineScope scope(other);
    for (const auto& c : connections) EXPECT_FALSE(c.connected()) << c.what;
    const std::vector<std::string> missing = reg.Missing(type);
    for (const char* name : {"RunServices.placementRows", "HeadLayout.flyCameraInputs", "Settings.pulseCommitted",
                             "CDialogSMTStrategy.openCoverDialog"})
      EXPECT_EQ(std::find(missing.begin(), missing.end(), name), missing.end()) << name;
  }
  for (const auto& c : connections) EXPECT_TRUE(c.connected()) << c.what;
  EXPECT_EQ(smt::platform::JoinHookNames(reg.Missing(type)), "");
}

// The part list's Start runs the strategy's run mode, in the program as the
// shell builds it, judged by what the simulated board received.
#include <QAction>

#include "ShellSimFixture.h"
#include "feeder/FeederTable.h"
#include "job/CDialogPartList.h"
#include "job/JobRows.h"
#include "job/RunControl.h"
#include "run/StrategySettings.h"

namespace {

constexpr uint16_t kPickStroke = 0x67;   // Z down with vacuum
constexpr uint16_t kPlaceStroke = 0x68;  // Z down, vacuum off, lift
constexpr uint16_t kOutput = 0x03;

// One feeder group with tape feeder W1 at (10, -20) mm.
std::vector<std::string> OneFeeder() {
  std::vector<std::string> c(30, "0");
  c[smt::feeder::kCellNumber] = "W1";
  c[smt::feeder::kCellPackage] = "0603";
  c[smt::feeder::kCellValue] = "10k";
  c[smt::feeder::kCellX] = "10";
  c[smt::feeder::kCellY] = "-20";
  c[smt::feeder::kCellLength] = "1.6";
  c[smt::feeder::kCellWidth] = "0.8";
  c[smt::feeder::kCellHead] = "1";
  c[smt::feeder::kCellCamera] = "No/Camera 1";
  c[smt::feeder::kCellFly] = "No/60/80";
  c[smt::feeder::kCellFeedMode] = "集中飞达";
  c[smt::feeder::kCellFeedCount] = "1";
  c[smt::feeder::kCellFeedTime] = "10";
  c[smt::feeder::kCellPickHeight] = "-5";
  c[smt::feeder::kCellQuantity] = "100";
  c[smt::feeder::kCellSpeed] = "No/";
  std::string line;
  for (const auto& x : c) line += x + "\t";
  return {"1\tG\t", "G\t\t1\t", line, "0\t0\t0\t0\t0\t0\t"};
}

smt::job::ListRow Part(int n, double x, double y) {
  smt::job::ListRow r(16);
  r.cells[0] = std::to_string(n);
  r.cells[1] = std::to_string(x);
  r.cells[2] = std::to_string(y);
  r.cells[3] = "0";
  r.cells[7] = "Yes";
  r.cells[smt::job::kSmtFeeder] = "W1";
  r.cells[smt::job::kSmtVision] = "No";
  r.cells[12] = "1";
  return r;
}

smt::job::ListRow DispenseRow(int n, double x, double y) {
  smt::job::ListRow r(15);
  r.cells[0] = std::to_string(n);
  r.cells[1] = std::to_string(x);
  r.cells[2] = std::to_string(y);
  r.cells[4] = "Yes";
  return r;
}

class RunModeShell : public ShellSimTest {
 public:
  using ShellSimTest::Count;
  bool OutputSwitchedOn(int output) const {
    for (const auto& c : sim->Received())
      if (c.code == kOutput && c.payload.size() >= 2 && c.payload[0] == output && c.payload[1] != 0) return true;
    return false;
  }

 protected:
  CDialogPartList& Prepare(int machineType, int runMode) {
    CMainFrame& f = StartConnected("[MachineSetConfig]\nMachineSet=" + std::to_string(machineType) + "\n");
    EXPECT_EQ(smt::CurrentMachine().machineType.load(), machineType);
    CSMTView& v = *f.view();
    auto lines = OneFeeder();
    EXPECT_TRUE(v.m_pFeedList->LoadFromLines(lines));
    smt::run::SmtStrategy s = smt::run::Strategy(smt::CurrentMachine());
    s.m_RunSelect = runMode;
    s.m_HeaderSelect = 0;
    smt::run::SetStrategy(smt::CurrentMachine(), s);
    CDialogPartList& p = *v.m_pPartList;
    p.Job().runSelect = runMode;
    p.Job().placementRows = {Part(1, 5, -5), Part(2, 8, -5)};
    p.Job().dispenseRows = {DispenseRow(1, 5, -5), DispenseRow(2, 8, -5)};
    sim->ClearReceived();
    return p;
  }
  bool RunToEnd(CDialogPartList& p) {
    if (!p.Run().OnStart()) return false;
    return Pump([&] { return !smt::CurrentMachine().machineBusy.load() && p.Run().m_bSmtThreadBusy == 0 && p.Run().m_bFeedThreadBusy == 0; },
                std::chrono::seconds(20));
  }
};

}  // namespace

TEST_F(RunModeShell, DispensingModeWorksOnTheDispensingListWithThePlacementListEmpty) {
  CDialogPartList& p = Prepare(2, 1);
  p.Job().placementRows.clear();
  ASSERT_TRUE(RunToEnd(p)) << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  for (const auto& t : messages.service.Texts()) EXPECT_NE(t, "没有贴装表单 !");
  EXPECT_EQ(Count(kPickStroke), 0);
  EXPECT_TRUE(OutputSwitchedOn(8)) << "the dispensing run switches the dispenser's output on";
  EXPECT_EQ(p.Job().visible, smt::job::VisibleList::Dispense) << "the list the run works on is shown";
}

TEST_F(RunModeShell, AFeederOutsideTheTravelSaysSoInTheJogPanel) {
  CDialogPartList& p = Prepare(2, 0);
  // The feeder lies beyond the X travel of 500 mm.
  auto lines = OneFeeder();
  const std::string x10 = "\t10\t-20\t";
  lines[2].replace(lines[2].find(x10), x10.size(), "\t900\t-20\t");
  ASSERT_TRUE(app->frame()->view()->m_pFeedList->LoadFromLines(lines));
  app->frame()->view()->m_pManualControl->m_bShowInformation = 1;
  RunToEnd(p);
  EXPECT_EQ(Count(kPickStroke), 0);
  EXPECT_NE(app->frame()->view()->m_pManualControl->InfoText().find("Feed Pos Error !"), std::string::npos)
      << app->frame()->view()->m_pManualControl->InfoText();
}

TEST_F(RunModeShell, PlatformRunRefusesAFeederNumberThatNamesNoSide) {
  CDialogPartList& p = Prepare(4, 9);
  // "w3": a lower-case letter names no feeder side.
  auto lines = OneFeeder();
  lines[2].replace(0, 2, "w3");
  ASSERT_TRUE(app->frame()->view()->m_pFeedList->LoadFromLines(lines));
  for (auto& row : p.Job().placementRows) row.cells[smt::job::kSmtFeeder] = "w3";
  RunToEnd(p);
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "FeedDirection No Find"), texts.end());
  EXPECT_EQ(Count(0x58), 0) << "no dot is dispensed";
}

// Every road of the run dispatcher from the part list's Start: the machine
// type and run mode, and what the simulated board must (and must not) have
// received for that run and no other to have run.
struct RunRoad {
  int type, mode;
  const char* run;
  std::function<bool(const RunModeShell&)> sawRun;
};

class RunModeRoads : public RunModeShell, public ::testing::WithParamInterface<RunRoad> {};

TEST_P(RunModeRoads, StartRunsTheRunOfTheModeAndMachineType) {
  const RunRoad& road = GetParam();
  CDialogPartList& p = Prepare(road.type, road.mode);
  smt::job::ListRow hole(15);
  hole.cells[0] = "1";
  hole.cells[1] = "5";
  hole.cells[2] = "-5";
  hole.cells[4] = "Yes";
  p.Job().drillRows = {hole};
  RunToEnd(p);
  EXPECT_TRUE(road.sawRun(*this)) << road.run << " did not run for type " << road.type << " mode " << road.mode;
}

bool Placed(const RunModeShell& t, int picks, int places) {
  return t.Count(kPickStroke) == picks && t.Count(kPlaceStroke) == places;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunModeRoads,
    ::testing::Values(
        RunRoad{2, 0, "placement run", [](const RunModeShell& t) { return Placed(t, 2, 2); }},
        RunRoad{2, 1, "dispensing run", [](const RunModeShell& t) { return Placed(t, 0, 2) && t.OutputSwitchedOn(8); }},
        RunRoad{2, 2, "dispensing then placement", [](const RunModeShell& t) { return Placed(t, 2, 4); }},
        RunRoad{2, 3, "nozzle simulation", [](const RunModeShell& t) { return Placed(t, 0, 2); }},
        RunRoad{2, 4, "camera part check", [](const RunModeShell& t) { return Placed(t, 0, 0) && t.Count(0x64) >= 3; }},
        RunRoad{2, 8, "glue injection", [](const RunModeShell& t) { return Placed(t, 0, 0) && t.Count(0x61) == 4 && t.OutputSwitchedOn(2); }},
        RunRoad{6, 1, "dispensing run", [](const RunModeShell& t) { return Placed(t, 0, 2); }},
        RunRoad{9, 0, "drill run", [](const RunModeShell& t) { return Placed(t, 0, 0) && t.Count(0x61) > 0; }},
        RunRoad{10, 0, "labeling run", [](const RunModeShell& t) { return Placed(t, 0, 0) && t.Count(0x66) == 0; }},
        RunRoad{4, 9, "platform dispensing",
                [](const RunModeShell& t) { return Placed(t, 0, 0) && t.Count(0x53) > 0 && t.Count(0x56) == 0; }},
        // Modes 11 and 12 start the feeder thread beside the platform runs.
        RunRoad{4, 11, "platform dispensing and placing",
                [](const RunModeShell& t) { return t.Count(0x53) > 0 && t.Count(0x56) > 0; }}));

// A run mode or head mode stored for another machine type never runs: Start
// refuses it with a message naming the mode and the machine type, and the
// machine received nothing of a run.
struct ForbiddenMode {
  const char* name;
  int type, runMode, headMode;
  const char* named;  // the mode's name in the message
};
void PrintTo(const ForbiddenMode& f, std::ostream* os) { *os << f.name; }

class ForbiddenModes : public RunModeShell, public ::testing::WithParamInterface<ForbiddenMode> {};

TEST_P(ForbiddenModes, StartRefusesAModeTheMachineTypeDoesNotHave) {
  const ForbiddenMode& c = GetParam();
  CDialogPartList& p = Prepare(c.type, c.runMode);
  smt::run::SmtStrategy s = smt::run::Strategy(smt::CurrentMachine());
  s.m_HeaderSelect = c.headMode;
  smt::run::SetStrategy(smt::CurrentMachine(), s);
  EXPECT_FALSE(p.Run().OnStart());
  Pump([] { return false; }, std::chrono::milliseconds(200));
  const auto texts = messages.service.Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(c.named), std::string::npos) << texts[0];
  // In the window's language (Chinese here): the machine type is named.
  EXPECT_NE(texts[0].find("机器类型 " + std::to_string(c.type)), std::string::npos) << texts[0];
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load()) << "the machine is released";
  EXPECT_FALSE(smt::CurrentMachine().runContinue.load());
  for (uint16_t code : {0x53, 0x56, 0x58, 0x60, 0x61, 0x64, 0x65, 0x66, 0x67, 0x68})
    EXPECT_EQ(Count(code), 0) << "command " << code << " of a run was sent";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForbiddenModes,
    ::testing::Values(ForbiddenMode{"SingleHeadWithLampPlatformMode", 0, 11, 0, "点胶贴片->Y1"},
                      ForbiddenMode{"SingleHeadWithDispensing", 0, 1, 0, "点胶"},
                      ForbiddenMode{"TwoCameraTypeWithDispensingThenPlacing", 5, 2, 1, "点胶->贴装"},
                      ForbiddenMode{"LampMachineWithNozzleSimulation", 4, 3, 0, "吸嘴模拟"},
                      ForbiddenMode{"EightHeadsWithLampMode", 7, 12, 6, "点胶贴片->Y1Y2"},
                      ForbiddenMode{"TwoHeadsWithFourHeadMode", 2, 0, 3, "四头相同吸嘴"},
                      ForbiddenMode{"TwoHeadsWithEightHeadMode", 2, 0, 6, "八头相同吸嘴"},
                      ForbiddenMode{"SingleHeadWithTwoHeadMode", 0, 0, 1, "双头相同吸嘴"}),
    [](const auto& info) { return std::string(info.param.name); });

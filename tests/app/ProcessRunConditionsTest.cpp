// The process runs (glue injection, dispensing, drilling) from the part
// list's Start in the program as the shell builds it, at the scales an
// operator sets, judged by the simulated board's record: every point worked
// where its row says, to the depth it says, the tool back where it started
// and every output off at the end. One table: a new condition is one line.
#include <cmath>

#include "ShellSimFixture.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPartList.h"
#include "job/JobRows.h"
#include "job/RunControl.h"
#include "run/StrategySettings.h"

namespace {

enum class Process { GlueInjection, Dispensing, Drilling };

struct ProcessCondition {
  const char* name;
  Process process;
  double stepsPerMmXY, stepsPerMmZ;
  double depthMm, feedMm;  // glue injection: the stroke; drilling: the hole's depth and feed per peck
  std::vector<std::array<double, 2>> points;
};
void PrintTo(const ProcessCondition& c, std::ostream* os) { *os << c.name; }

const ProcessCondition kProcessConditions[] = {
    {"GlueInjectionXY100Z100", Process::GlueInjection, 100, 100, 3.0, 0, {{5, -5}, {8, -5}, {12, -9}}},
    {"GlueInjectionXY320Z80", Process::GlueInjection, 320, 80, 2.5, 0, {{5.3, -5.1}, {8, -5}, {12.7, -9.9}, {3, -3}}},
    {"GlueInjectionXY80Z320", Process::GlueInjection, 80, 320, 1.2, 0, {{7, -4}, {9.95, -4.05}}},
    {"DispensingXY100Z100", Process::Dispensing, 100, 100, 0, 0, {{5, -5}, {8, -5}, {12, -9}}},
    {"DispensingXY320Z80", Process::Dispensing, 320, 80, 0, 0, {{5.3, -5.1}, {12.7, -9.9}}},
    {"DrillingDepth4Feed1", Process::Drilling, 100, 100, 4, 1, {{5, -5}, {8, -6}}},
    {"DrillingDepth10Feed4XY320Z80", Process::Drilling, 320, 80, 10, 4, {{5.3, -5.1}, {12.7, -9.9}}},
    {"DrillingDepth2_5Feed3Z320", Process::Drilling, 80, 320, 2.5, 3, {{7, -4}}},
};

int32_t Steps(double mm, double perMm) { return static_cast<int32_t>(mm * perMm); }

class ProcessRunConditions : public ShellSimTest, public ::testing::WithParamInterface<ProcessCondition> {
 protected:
  std::string Config(const ProcessCondition& c, int machineType) {
    std::string m = MachineConfig();
    const std::string pulses = "m_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\n";
    const auto at = m.find(pulses);
    EXPECT_NE(at, std::string::npos);
    m.replace(at, pulses.size(),
              "m_X_Pulse=" + std::to_string(c.stepsPerMmXY) + "\nm_Y_Pulse=" + std::to_string(c.stepsPerMmXY) +
                  "\nm_Z_Pulse=" + std::to_string(c.stepsPerMmZ) + "\n");
    // The glue-injection stroke, and a dispensing head beside nozzle 1.
    const std::string basic = "[SetBasicConfig]\n";
    m.insert(m.find(basic) + basic.size(),
             "m_Z_DropsGlueToPCBHeight=-" + std::to_string(c.depthMm > 0 ? c.depthMm : 2.0) +
                 "\nm_X_DropsGlueToNozzle1=0\nm_Y_DropsGlueToNozzle1=0\n");
    return m + "[MachineSetConfig]\nMachineSet=" + std::to_string(machineType) + "\n";
  }
};

TEST_P(ProcessRunConditions, EveryPointWorkedToItsDepthAndTheToolBackUpWithOutputsOff) {
  const ProcessCondition& c = GetParam();
  const int machineType = c.process == Process::Drilling ? 9 : 2;
  const int runMode = c.process == Process::GlueInjection ? 8 : c.process == Process::Dispensing ? 1 : 0;
  WriteConfig(Config(c, machineType));
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->ConnectNow());
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), machineType);
  CDialogPartList& p = *f.view()->m_pPartList;
  smt::run::SmtStrategy s = smt::run::Strategy();
  s.m_RunSelect = runMode;
  s.m_HeaderSelect = 0;
  smt::run::SetStrategy(s);
  p.Job().runSelect = runMode;
  // One feeder for the placement rows the glue injection walks.
  std::vector<std::string> feeder(30, "0");
  feeder[smt::feeder::kCellNumber] = "W1";
  feeder[smt::feeder::kCellX] = "10";
  feeder[smt::feeder::kCellY] = "-20";
  feeder[smt::feeder::kCellCamera] = "No/Camera 1";
  feeder[smt::feeder::kCellFly] = "No/60/80";
  feeder[smt::feeder::kCellFeedMode] = "集中飞达";
  feeder[smt::feeder::kCellSpeed] = "No/";
  std::string line;
  for (const auto& x : feeder) line += x + "\t";
  std::vector<std::string> lines = {"1\tG\t", "G\t\t1\t", line, "0\t0\t0\t0\t0\t0\t"};
  ASSERT_TRUE(f.view()->m_pFeedList->LoadFromLines(lines));
  p.Job().placementRows.clear();
  p.Job().dispenseRows.clear();
  p.Job().drillRows.clear();
  int n = 0;
  for (const auto& pt : c.points) {
    ++n;
    smt::job::ListRow r(c.process == Process::GlueInjection ? 16 : 15);
    r.cells[0] = std::to_string(n);
    if (c.process == Process::GlueInjection) {
      r.cells[1] = std::to_string(pt[0]);
      r.cells[2] = std::to_string(pt[1]);
      r.cells[3] = "0";
      r.cells[7] = "Yes";
      r.cells[smt::job::kSmtFeeder] = "W1";
      r.cells[smt::job::kSmtVision] = "No";
      r.cells[12] = "1";
      p.Job().placementRows.push_back(r);
    } else if (c.process == Process::Dispensing) {
      r.cells[1] = std::to_string(pt[0]);
      r.cells[2] = std::to_string(pt[1]);
      r.cells[4] = "Yes";
      p.Job().dispenseRows.push_back(r);
    } else {
      r.cells[3] = std::to_string(pt[0]);
      r.cells[4] = std::to_string(pt[1]);
      r.cells[5] = "-20";  // start Z
      r.cells[6] = std::to_string(c.depthMm);
      r.cells[7] = std::to_string(c.feedMm);
      r.cells[8] = "1";  // lift
      r.cells[10] = r.cells[11] = r.cells[12] = r.cells[13] = "5";
      p.Job().drillRows.push_back(r);
    }
  }
  sim->ClearReceived();
  sim->KeepAxisTrail(true);
  const int64_t zStart = sim->Position(2);
  ASSERT_TRUE(p.Run().OnStart()) << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && p.Run().m_bSmtThreadBusy == 0 && p.Run().m_bFeedThreadBusy == 0; },
                   std::chrono::seconds(30)));
  // A finished run homes the machine again.
  EXPECT_TRUE(Pump([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)));
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();

  // Where the tool worked: each XY the gantry stood at while Z was below
  // its start (the deepest point there), or each dispensing stroke.
  struct Worked {
    int64_t x, y, depth;
  };
  std::vector<Worked> worked;
  const auto trail = sim->AxisTrail();
  if (c.process == Process::Dispensing) {
    for (const auto& st : sim->Strokes())
      if (st.code == 0x68) worked.push_back({st.axes.at(0), st.axes.at(1), 0});
  } else {
    for (const auto& t : trail) {
      const int64_t x = t.axes.count(0) ? t.axes.at(0) : 0, y = t.axes.count(1) ? t.axes.at(1) : 0;
      const int64_t down = std::llabs((t.axes.count(2) ? t.axes.at(2) : 0) - zStart);
      if (down == 0) continue;
      if (worked.empty() || worked.back().x != x || worked.back().y != y) worked.push_back({x, y, 0});
      worked.back().depth = std::max(worked.back().depth, down);
    }
  }
  ASSERT_EQ(worked.size(), c.points.size()) << "one worked point per row";
  for (size_t i = 0; i < c.points.size(); ++i) {
    const int32_t hx = c.process == Process::Dispensing ? -smt::CurrentMachine().steps.dispenseHeadOffsetX : 0;
    const int32_t hy = c.process == Process::Dispensing ? -smt::CurrentMachine().steps.dispenseHeadOffsetY : 0;
    EXPECT_NEAR(worked[i].x, Steps(c.points[i][0], c.stepsPerMmXY) + hx, 1) << "point " << i;
    EXPECT_NEAR(worked[i].y, Steps(c.points[i][1], c.stepsPerMmXY) + hy, 1) << "point " << i;
    if (c.process == Process::GlueInjection) {
      EXPECT_EQ(worked[i].depth, std::abs(Steps(-c.depthMm, c.stepsPerMmZ))) << "the stroke of point " << i;
    }
    if (c.process == Process::Drilling) {
      EXPECT_EQ(worked[i].depth, -Steps(-20, c.stepsPerMmZ) + Steps(c.depthMm, c.stepsPerMmZ))
          << "hole " << i << ": down to the surface (20 mm) and its depth, no deeper";
    }
  }
  EXPECT_EQ(sim->Position(2), zStart) << "Z back where it started";
  for (int out = 0; out < 64; ++out) EXPECT_FALSE(sim->Output(out)) << "output " << out << " left on";
  std::printf("[ process  ] %s: %zu points\n", c.name, worked.size());
}

INSTANTIATE_TEST_SUITE_P(Table, ProcessRunConditions, ::testing::ValuesIn(kProcessConditions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

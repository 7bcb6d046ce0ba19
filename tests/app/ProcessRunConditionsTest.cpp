// The process runs (glue injection, dispensing, drilling, the lamp
// machine's platform runs) from the part list's Start in the program as the shell builds it, at the scales an
// operator sets, judged by the simulated board's record: every point worked
// where its row says, to the depth it says, the tool back where it started
// and every output off at the end. One table: a new condition is one line.
#include <algorithm>
#include <cmath>
#include <map>

#include "ShellSimFixture.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPartList.h"
#include "job/JobRows.h"
#include "job/RunControl.h"
#include "run/StrategySettings.h"
#include "stations/CDialogLampMachineList.h"
#include "stations/LampPointTable.h"
#include "vision/MarkAlign.h"
#include "vision/SimulatedScene.h"

namespace {

enum class Process { GlueInjection, Dispensing, Drilling, Lamp };

struct ProcessCondition {
  const char* name;
  Process process;
  double stepsPerMmXY, stepsPerMmZ;
  double depthMm, feedMm;  // glue injection: the stroke; drilling: the hole's depth and feed per peck
  std::vector<std::array<double, 2>> points;  // lamp: the points' Marks
  // The lamp machine: its run mode (9 red glue then solder on Y1, 10 the same
  // on Y1 and Y2, 11 glue and place on Y1, 12 on Y1 and Y2) and, per point,
  // whether its Mark is measured (the row's column 7). Each board starts at
  // the next row whose Mark is on: two boards need two such rows.
  int lampMode = 0;
  std::vector<bool> lampMarks;
};
void PrintTo(const ProcessCondition& c, std::ostream* os) { *os << c.name; }

const ProcessCondition kProcessConditions[] = {
    {"GlueInjectionXY100Z100", Process::GlueInjection, 100, 100, 3.0, 0, {{5, -5}, {8, -5}, {12, -9}}, 0, {}},
    {"GlueInjectionXY320Z80", Process::GlueInjection, 320, 80, 2.5, 0, {{5.3, -5.1}, {8, -5}, {12.7, -9.9}, {3, -3}}, 0, {}},
    {"GlueInjectionXY80Z320", Process::GlueInjection, 80, 320, 1.2, 0, {{7, -4}, {9.95, -4.05}}, 0, {}},
    {"DispensingXY100Z100", Process::Dispensing, 100, 100, 0, 0, {{5, -5}, {8, -5}, {12, -9}}, 0, {}},
    {"DispensingXY320Z80", Process::Dispensing, 320, 80, 0, 0, {{5.3, -5.1}, {12.7, -9.9}}, 0, {}},
    {"DrillingDepth4Feed1", Process::Drilling, 100, 100, 4, 1, {{5, -5}, {8, -6}}, 0, {}},
    {"DrillingDepth10Feed4XY320Z80", Process::Drilling, 320, 80, 10, 4, {{5.3, -5.1}, {12.7, -9.9}}, 0, {}},
    {"DrillingDepth2_5Feed3Z320", Process::Drilling, 80, 320, 2.5, 3, {{7, -4}}, 0, {}},
    {"LampMode9Y1MarksOn", Process::Lamp, 100, 100, 0, 0, {{100, -100}, {150, -120}}, 9, {true, true}},
    {"LampMode10Y1Y2MarksOn", Process::Lamp, 100, 100, 0, 0, {{100, -100}, {150, -120}}, 10, {true, true}},
    {"LampMode10Y1Y2MiddleMarkOffXY80", Process::Lamp, 80, 80, 0, 0, {{100, -100}, {150, -120}, {120, -80}}, 10,
     {true, false, true}},
    {"LampMode9Y1FirstMarkOffXY320", Process::Lamp, 320, 320, 0, 0, {{60, -70}, {90, -50}, {75, -90}}, 9,
     {false, true, true}},
    {"LampMode11Y1PlaceMarksOn", Process::Lamp, 100, 100, 0, 0, {{100, -100}, {150, -120}}, 11, {true, true}},
    {"LampMode12Y1Y2PlaceMiddleMarkOff", Process::Lamp, 100, 100, 0, 0, {{100, -100}, {150, -120}, {120, -80}}, 12,
     {true, false, true}},
};

int32_t Steps(double mm, double perMm) { return static_cast<int32_t>(mm * perMm); }

class ProcessRunConditions : public ShellSimTest, public ::testing::WithParamInterface<ProcessCondition> {
 protected:
  // The lamp machine's platform run of the condition, judged by the board's record.
  void RunLamp(const ProcessCondition& c);

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


// The lamp machine (type 4): two board platforms Y1 and Y2 under a glue
// gantry X with the red-glue head Z5 and the silver-glue head Z6, and a Mark
// camera on the gantry that sees the boards lying displaced on each platform.
namespace lamp {
constexpr double kCamX = 20, kCamY = -5, kZ5X = 10, kZ5Y = 2, kZ6X = -10, kZ6Y = 3;
// Where the boards truly lie on platform 1 and 2, against the point table (mm).
const std::array<std::array<double, 2>, 3> kDisplaced{{{0, 0}, {0.30, -0.20}, {-0.25, 0.15}}};
struct Point {
  double markX, markY, ledX, ledY;
  std::array<std::array<double, 2>, 3> dots;  // red, silver 1, silver 2 from the LED
};
std::vector<Point> PointsOf(const ProcessCondition& c) {
  std::vector<Point> out;
  for (size_t i = 0; i < c.points.size(); ++i)
    out.push_back({c.points[i][0], c.points[i][1], 5.0 - static_cast<double>(i), -3.0 + static_cast<double>(i),
                   {{{0.5, 0.2}, {1.0, -0.5}, {-1.0, 0.5}}}});
  return out;
}
}  // namespace lamp

TEST_P(ProcessRunConditions, EveryPointWorkedToItsDepthAndTheToolBackUpWithOutputsOff) {
  const ProcessCondition& c = GetParam();
  if (c.process == Process::Lamp) return RunLamp(c);
  const int machineType = c.process == Process::Drilling ? 9 : 2;
  const int runMode = c.process == Process::GlueInjection ? 8 : c.process == Process::Dispensing ? 1 : 0;
  WriteConfig(Config(c, machineType));
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->ConnectNow());
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), machineType);
  CDialogPartList& p = *f.view()->m_pPartList;
  smt::run::SmtStrategy s = smt::run::Strategy(smt::CurrentMachine());
  s.m_RunSelect = runMode;
  s.m_HeaderSelect = 0;
  smt::run::SetStrategy(smt::CurrentMachine(), s);
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


void ProcessRunConditions::RunLamp(const ProcessCondition& c) {
  const double pulse = c.stepsPerMmXY;
  auto T = [](double v) { return static_cast<int64_t>(static_cast<int32_t>(v)); };
  const auto points = lamp::PointsOf(c);
  WriteConfig("[MachineSetConfig]\nMachineSet=4\n"
              "[SetBasicConfig]\nm_CommModel=0\nm_X_Limit=500\nm_Y_Limit=-400\nm_Z_Limit=-50\n"
              "m_X_CameraToNozzle1=20\nm_Y_CameraToNozzle1=-5\nm_X_Nozzle5ToNozzle1=10\nm_Y_Nozzle5ToNozzle1=2\n"
              "m_X_Nozzle6ToNozzle1=-10\nm_Y_Nozzle6ToNozzle1=3\n"
              "[SetPulseConfig]\nm_X_Pulse=" + std::to_string(pulse) + "\nm_Y_Pulse=" + std::to_string(pulse) +
              "\nm_Z_Pulse=" + std::to_string(c.stepsPerMmZ) +
              "\n[ManualControlConfig]\nm_ComNumber=1\n"
              "[SerialPortConfig]\nCOM1=" + sim->SerialPath() + "\n"
              "[LampMachineListConfig]\nm_CountSet=2\nm_CountFinish=0\nm_CountUnfinish=2\n");
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->ConnectNow());
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), 4);
  CDialogPartList& p = *f.view()->m_pPartList;
  // The job: a board with the Mark camera's values, one row per point (its
  // column 7 says whether its Mark is measured), the feeder they name and
  // the point table.
  auto& job = p.Job();
  job.pcbs.Add("Lamp");
  auto* rec = job.pcbs.Find("Lamp");
  ASSERT_NE(rec, nullptr);
  rec->m_dVisualZoom = 20;
  rec->m_dVisualBox = 3;
  rec->m_dMarkDiameter = 1.0;
  rec->m_nLightContrast = 128;
  rec->m_nVisualTimes = 2;
  rec->m_nMarkCollectTime = 1;
  job.shownPcbName = "Lamp";
  job.placementRows.clear();
  smt::stations::LampPointTable table;
  for (size_t i = 0; i < points.size(); ++i) {
    smt::job::ListRow r(16);
    r.cells[0] = std::to_string(i + 1);
    r.cells[1] = r.cells[2] = r.cells[3] = "0";
    r.cells[4] = "LED";
    r.cells[7] = c.lampMarks[i] ? "Yes" : "No";
    r.cells[9] = "W1";
    job.placementRows.push_back(r);
    smt::stations::LampPointValues v;
    v.markX = points[i].markX;
    v.markY = points[i].markY;
    v.ledX = points[i].ledX;
    v.ledY = points[i].ledY;
    v.placeZ = -0.5;
    v.startSpeed = 10;
    v.runSpeed = 20;
    for (size_t g = 0; g < 3; ++g) {
      auto& d = v.dots[g];
      d.x = points[i].dots[g][0];
      d.y = points[i].dots[g][1];
      d.height = -2.0 - static_cast<double>(g) * 0.1;
      d.valveOpen = -1.0;
      d.valveClose = 1.0;
      d.bottomDelay = 5;
      d.closeDelay = 6;
    }
    table.FillPointRows(static_cast<int>(i), v);
  }
  ASSERT_TRUE(job.setLampRows);
  job.setLampRows(table.RowTexts());
  smt::feeder::FeederCells w1;
  w1[smt::feeder::kCellNumber] = "W1";
  w1[smt::feeder::kCellPackage] = "0603";
  w1[smt::feeder::kCellX] = "300";
  w1[smt::feeder::kCellY] = "-20";
  w1[smt::feeder::kCellHead] = "1";
  w1[smt::feeder::kCellFeedMode] = "集中飞达";
  w1[smt::feeder::kCellPickHeight] = "-5";
  w1[smt::feeder::kCellQuantity] = "100";
  f.view()->m_pFeedList->Table().ReplaceCurrentRows({w1}, {smt::feeder::TrayRecord::Default()});
  f.view()->m_pFeedList->ShowCurrentGroup();
  // The Mark camera on the glue gantry sees the board of the platform the
  // gantry last moved with.
  smt::sim::SimBoard* board = sim.get();
  auto lastPlatform = [board] {
    const auto all = board->Received();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
      if (it->code == 0x53 && it->payload.size() > 7 && (it->payload[7] == 1 || it->payload[7] == 12))
        return it->payload[7] == 1 ? 1 : 2;
    return 1;
  };
  smt::vision::SetMarkCamera(smt::CurrentMachine(), [] { return true; }, [=](cv::Mat& frame) {
    const int platform = lastPlatform();
    const double cx = static_cast<double>(board->Position(9)) / pulse + lamp::kCamX;
    const double cy = static_cast<double>(board->Position(platform == 1 ? 1 : 12)) / pulse + lamp::kCamY;
    smt::vision::SimulatedScene scene(640, 480, 20.0, {cx, -cy});
    const auto d = lamp::kDisplaced[static_cast<size_t>(platform)];
    for (const auto& pt : points) scene.AddMark({pt.markX + d[0], -(pt.markY + d[1])}, 1.0);
    frame = scene.Render();
    return true;
  });
  smt::stations::LampCounters counters;
  counters.m_CountSet = 2;
  counters.m_CountFinish = 0;
  counters.m_CountUnfinish = 2;
  SetCurrentLampCounters(smt::CurrentMachine(), counters);
  smt::run::SmtStrategy st = smt::run::Strategy(smt::CurrentMachine());
  st.m_RunSelect = c.lampMode;
  smt::run::SetStrategy(smt::CurrentMachine(), st);
  job.runSelect = c.lampMode;
  sim->ClearReceived();
  sim->KeepAxisTrail(true);
  const auto zAxes = {2, 3, 4, 5, 6, 7};
  std::map<int, int64_t> zStart;
  for (int z : zAxes) zStart[z] = sim->Position(z);
  std::map<int, bool> outputs;  // the board's outputs, followed through the run
  for (int out = 0; out < 64; ++out) outputs[out] = sim->Output(out);

  ASSERT_TRUE(p.Run().OnStart()) << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  // The run ends by homing the machine (the home frame 0x52).
  ASSERT_TRUE(Pump([&] { return sim->LastReceived(0x52).has_value() && !smt::CurrentMachine().machineBusy.load() &&
                               p.Run().m_bSmtThreadBusy == 0 && p.Run().m_bFeedThreadBusy == 0; },
                   std::chrono::seconds(40)))
      << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  EXPECT_TRUE(Pump([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)));
  smt::vision::SetMarkCamera(smt::CurrentMachine(), {}, {});
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();

  // The platform of board b (0, 1): modes 9 and 11 always Y1; 10 and 12
  // start on Y1 and alternate.
  auto platformOf = [&](int b) { return c.lampMode == 9 || c.lampMode == 11 ? 1 : (b == 0 ? 1 : 2); };
  // Every dot where it belongs: on the board as measured when the point's
  // Mark is measured, else where the point table puts it.
  std::vector<smt::sim::ProcessStroke> dots, placed;
  for (const auto& st2 : sim->Strokes()) (st2.code == 0x58 ? dots : placed).push_back(st2);
  ASSERT_EQ(dots.size(), 2u * points.size() * 3u) << "three dots per point on each of two boards";
  size_t k = 0;
  for (int b = 0; b < 2; ++b) {
    const int platform = platformOf(b);
    const int yAxis = platform == 1 ? 1 : 12;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto d = c.lampMarks[i] ? lamp::kDisplaced[static_cast<size_t>(platform)] : std::array<double, 2>{0, 0};
      for (size_t g = 0; g < 3; ++g, ++k) {
        SCOPED_TRACE("board " + std::to_string(b) + " point " + std::to_string(i) + " dot " + std::to_string(g));
        const auto& s = dots[k];
        EXPECT_EQ(s.head, g == 0 ? 10 : 6);
        const double hx = g == 0 ? lamp::kZ5X : lamp::kZ6X, hy = g == 0 ? lamp::kZ5Y : lamp::kZ6Y;
        const int64_t wantX = T(points[i].markX * pulse) + T((points[i].ledX + points[i].dots[g][0]) * pulse) -
                              T(hx * pulse) + T(d[0] * pulse);
        const int64_t wantY = T(points[i].markY * pulse) + T((points[i].ledY + points[i].dots[g][1]) * pulse) -
                              T(hy * pulse) + T(d[1] * pulse);
        const auto at = [&](int axis) { return s.axes.count(axis) ? s.axes.at(axis) : 0; };
        // The Mark is found to within a little of sub-pixel rounding (0.03 mm).
        EXPECT_LE(std::llabs(at(9) - wantX), std::max<int64_t>(2, T(0.03 * pulse))) << at(9) << " vs " << wantX;
        EXPECT_LE(std::llabs(at(yAxis) - wantY), std::max<int64_t>(2, T(0.03 * pulse))) << at(yAxis) << " vs " << wantY;
      }
    }
  }
  // Placing modes: one part on every point of every board whose row is on
  // (its column 7, the same "Yes" that has its Mark measured).
  const size_t rowsOn = static_cast<size_t>(std::count(c.lampMarks.begin(), c.lampMarks.end(), true));
  EXPECT_EQ(placed.size(), c.lampMode >= 11 ? 2u * rowsOn : 0u);
  // The Z axes never left where they started (the dots and placements are
  // strokes that come back up).
  for (const auto& t : sim->AxisTrail())
    for (int z : zAxes) EXPECT_EQ(t.axes.count(z) ? t.axes.at(z) : 0, zStart[z]) << "Z axis " << z;
  // Every output the run switched on (the platforms' clamps 7 and 8, the
  // vacuum) is off when the run hands over to the closing home: the board's
  // outputs replayed up to its home frame.
  int clampSwitches = 0;
  for (const auto& r : sim->Received()) {
    if (r.code == 0x52) break;
    if (r.code != 0x03 || r.payload.size() < 2) continue;
    outputs[r.payload[0]] = r.payload[1] != 0;
    clampSwitches += (r.payload[0] == 7 || r.payload[0] == 8) && r.payload[1] != 0;
  }
  EXPECT_GE(clampSwitches, 1) << "the run unloads a platform (its clamp output) before a board";
  for (const auto& [out, on] : outputs) EXPECT_FALSE(on) << "output " << out << " left on by the run";
  std::printf("[ process  ] %s: %zu dots, %zu placed\n", c.name, dots.size(), placed.size());
}

INSTANTIATE_TEST_SUITE_P(Table, ProcessRunConditions, ::testing::ValuesIn(kProcessConditions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

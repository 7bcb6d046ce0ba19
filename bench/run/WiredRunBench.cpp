// Placements per hour of a run wired as the program runs it: the part list
// panel shown, the window thread's dispatcher, the run engine connected to
// the panel by the shell's wiring, two heads, no vision, and a simulated
// board on loopback UDP that answers at once. The baseline, measured in the
// same run on the same board, interleaved, three rounds of the best of three
// runs each, is the same wired
// run with the panel hidden: the same rows, wiring, dispatcher, row-state
// queue and models, only nothing painted. (The run engine alone, with the
// rows and states kept in memory and no window, is printed beside it.) Each
// size places 2,000 parts (fewer when SMT_BENCH_RUN_PLACEMENTS says so,
// spread evenly over the same rows): 250 rows on a panel of 8 boards, 2,000
// rows, and 20,000 rows of which every tenth is placed; every run's place
// commands are counted on the board. The board is the machine's current
// board, read through the shell's wiring (on the window thread). Also "run selected rows only" with every row
// selected.
//
// Besides the run, the part list's list-wide work with every row selected:
// refresh, sort and a ctrl-click, against the same work with one row
// selected.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QItemSelectionModel>
#include <QTableView>
#include <chrono>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "bench/TimingRounds.h"
#include "bench/link/SimulatedBoardLink.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPartList.h"
#include "job/FeederView.h"
#include "job/RowListModel.h"
#include "link/LinkGlobals.h"
#include "link/LinkHooks.h"
#include "link/LinkRoutes.h"
#include "link/WindowPanels.h"
#include "link/MachineCommands.h"
#include "link/MachineHoming.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "platform/QtGuiDispatcher.h"
#include "run/FeederPickTarget.h"
#include "run/HeadRecords.h"
#include "tests/support/RecordingRunDisplay.h"
#include "run/RunDispatch.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "platform/MemoryPolicy.h"

using namespace std::chrono_literals;
using smt::job::RowKind;

namespace {

// The camera panel of the bench: no panel on screen; the flying-camera
// capture is done at once.
class QuietCameraPanel : public smt::link::CameraPanel {
 public:
  void OpenMarkCamera() override {}
  void OpenMarkCameraWithFeederLight() override {}
  void ShowVisualParameters(int, int, int, double, double) override {}
  void SetImageFeature(const std::string&) override {}
  void TemplateCommand(int, const std::string&) override {}
  std::pair<int, int> ContrastBrightness() override { return {0, 0}; }
  void ShowBoardCameraValues() override {}
  void OpenCamerasAfterConnect() override {}
  void SwitchCamera(int, int) override {}
  void ResetCaptureDone() override {}
  bool WaitCaptureDone(std::chrono::milliseconds) override { return true; }
};

// The application object lives in main() (below), so it is gone before the
// exit handlers run: a function-local static QApplication would be destroyed
// among them, after objects it still refers to, and crash at exit.
QApplication& App() { return *static_cast<QApplication*>(QCoreApplication::instance()); }

template <class F>
bool Until(F done, std::chrono::milliseconds limit, bool windowEvents) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (windowEvents) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    else std::this_thread::sleep_for(1ms);
  }
  return true;
}

smt::feeder::FeederCells TapeFeeder(const std::string& number, double x) {
  smt::feeder::FeederCells r;
  r[smt::feeder::kCellNumber] = number;
  r[smt::feeder::kCellPackage] = "0603";
  r[smt::feeder::kCellX] = std::to_string(x);
  r[smt::feeder::kCellY] = "-20";
  r[smt::feeder::kCellLength] = "1.6";
  r[smt::feeder::kCellWidth] = "0.8";
  r[smt::feeder::kCellHeight] = "0.5";
  r[smt::feeder::kCellAngle] = "0";
  r[smt::feeder::kCellHead] = "1";
  r[smt::feeder::kCellVacuum] = "0";
  r[smt::feeder::kCellCamera] = "No/Camera 1";
  r[smt::feeder::kCellFly] = "No/60/80";
  r[smt::feeder::kCellFeedMode] = "集中飞达";
  r[smt::feeder::kCellFeedCoord] = "5";
  r[smt::feeder::kCellFeedCount] = "1";
  r[smt::feeder::kCellFeedTime] = "0";
  r[smt::feeder::kCellPickHeight] = "-5";
  r[smt::feeder::kCellQuantity] = "1000000";
  r[smt::feeder::kCellFeature] = "01:贴片电阻";
  return r;
}

// The machine: simulated board, settings of a homed two-head machine, a
// feeder group of two tape feeders.
struct Machine {
  SimulatedBoardLink board{false};
  smt::link::LinkHooks hooks;
  // The feeder table of the machine in use, which the run reads.
  smt::feeder::FeederTable& feeders = smt::run::Feeders(smt::CurrentMachine());
  smt::platform::RecordingMessageService messages;

  Machine() {
    smt::platform::MessageService::Install(&messages);
    auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
    rt.hooks = &hooks;
    rt.commModel = 1;
    rt.headMask = 0x01;  // as the simulated board reports
    smt::CurrentMachine().connected = true;
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().link.vacuumCheckOk = true;
    smt::link::MotionSettings m;
    m.xLimit = m.xLimitAbs = 2000000;
    m.yLimit = -1500000;
    m.yLimitAbs = 1500000;
    m.zLimit = -6000;
    m.aRevolution = 3600;
    m.exhaust = 0;
    for (int i = 0; i < 16; ++i) {
      m.resetSpeed[i] = {10, 30};
      m.originUpdate[i] = true;
    }
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
    smt::link::CameraPanelPortOf(smt::CurrentMachine()).Own(std::make_shared<QuietCameraPanel>());
    smt::link::MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = -1;
    smt::CurrentMachine().machineType = 2;
    smt::CurrentMachine().headCount = 2;
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = smt::CurrentMachine().steps.zPulsePerMm = 100;
    smt::CurrentMachine().steps.aPulsePerDeg = 10;
    auto basic = *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic();
    basic.m_Z_Nozzle1ToPCBHeight = -10;
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(basic);
    smt::run::SmtStrategy st;
    st.m_HeaderSelect = 1;
    st.m_RunSelect = 0;
    smt::run::SetStrategy(smt::CurrentMachine(), st);
    feeders.Clear();
    feeders.AddGroup("A", "");
    feeders.SetCurrentName("A");
    feeders.ShowGroupInList("A", smt::feeder::BuiltInNameTables(0));
    feeders.ReplaceCurrentRows({TapeFeeder("W1", 10), TapeFeeder("W2", 14)},
                               {smt::feeder::TrayRecord::Default(), smt::feeder::TrayRecord::Default()});
    smt::job::FeederSourceOf(smt::CurrentMachine()).listRows = [this] {
      std::vector<smt::job::FeederRowView> v;
      for (int i = 0; i < feeders.CurrentRowCount(); ++i) {
        const auto row = *feeders.CurrentRow(i);
        v.push_back({std::vector<std::string>(row.begin(), row.end()), 0, 0});
      }
      return v;
    };
    smt::run::CreateRunEvents(smt::CurrentMachine());
    smt::run::Timeouts(smt::CurrentMachine()) = {};
    smt::run::Timeouts(smt::CurrentMachine()).feedReady = 3000ms;
    smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);  // the board learns the host's address
    Until([&] { return board.sim.LastReceived(0x60).has_value(); }, 3000ms, false);
  }
  ~Machine() {
    smt::job::FeederSourceOf(smt::CurrentMachine()) = {};
    smt::run::Services(smt::CurrentMachine()) = {};
    smt::run::SetStrategy(smt::CurrentMachine(), {});
    smt::link::RuntimeOf(smt::CurrentMachine()).hooks = nullptr;
    smt::platform::MessageService::Install(nullptr);
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().headCount = 1;
  }
};

// `rows` placement rows; `placed` of them (spread evenly) are placed.
std::vector<smt::job::ListRow> Rows(int rows, int placed) {
  std::vector<smt::job::ListRow> out;
  out.reserve(static_cast<size_t>(rows));
  const int every = std::max(1, rows / placed);
  for (int i = 0; i < rows; ++i) {
    smt::job::ListRow r(smt::job::kPlacementCells);
    r.cells[0] = std::to_string(i + 1);
    r.cells[1] = std::to_string(5 + (i % 40) * 0.5);
    r.cells[2] = std::to_string(-5 - (i % 30) * 0.5);
    r.cells[3] = "90";
    r.cells[4] = "R" + std::to_string(i + 1);
    r.cells[6] = "0603";
    r.cells[7] = i % every == 0 ? "Yes" : "No";
    r.cells[9] = i % 2 ? "W2" : "W1";
    r.cells[10] = "No";
    out.push_back(std::move(r));
  }
  return out;
}

smt::run::RunBoard Board(int cells) {
  smt::run::RunBoard b;
  b.originX = 50;
  b.originY = -60;
  b.panelRows = 1;
  b.panelCols = cells;
  b.colPitch = 30;
  b.skipped.assign(static_cast<size_t>(cells), false);
  return b;
}

// The same board as the machine's current board, which the wired run reads.
void SetMachineBoard(int cells) {
  const smt::run::RunBoard b = Board(cells);
  auto& board = smt::CurrentMachine().board;
  board = {};
  board.originX = b.originX;
  board.originY = b.originY;
  board.panelRows = b.panelRows;
  board.panelCols = b.panelCols;
  board.panelColPitch = b.colPitch;
}

struct Size {
  int rows, placed, cells;
};
constexpr Size kSizes[] = {{250, 250, 8}, {2000, 2000, 1}, {20000, 2000, 1}};

// Placements per run: 2,000, or fewer when SMT_BENCH_RUN_PLACEMENTS says so
// (the link paces every positional command, so a run of 2,000 placements
// takes minutes); the rows placed are spread evenly over the same list.
double kPlacements = 2000;
int PlacedRows(const Size& size) {
  return std::max(1, static_cast<int>(size.placed * kPlacements / 2000));
}

// Counts the paints of a widget and every widget in it.
struct PaintCounter : QObject {
  int count = 0;
  void Watch(QWidget& w) {
    w.installEventFilter(this);
    for (QWidget* c : w.findChildren<QWidget*>()) c->installEventFilter(this);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++count;
    return QObject::eventFilter(o, e);
  }
};

// Seconds of one run of the panel as the program wires it; 0 on failure.
// `endPause`, when given, gets the seconds the run's end step spent in its
// own waits (the settling pause before the outputs go off), measured as
// they were really waited.
double WiredRun(Machine& machine, const Size& size, bool selectedOnly, double* endPause = nullptr, bool shown = true,
                int* paints = nullptr) {
  auto& app = App();
  (void)app;
  smt::platform::QtGuiDispatcher gui;
  smt::platform::GuiDispatcher::Install(&gui);
  double seconds = 0;
  {
    CDialogPartList panel{smt::CurrentMachine()};
    panel.resize(1200, 800);
    if (shown) panel.show();
    panel.Job().placementRows = Rows(size.rows, PlacedRows(size));
    panel.Job().NotifyRows(RowKind::Placement);
    if (selectedOnly) panel.PlacementView()->selectAll();
    PaintCounter counter;
    if (paints) counter.Watch(panel);
    smt::run::WireRunEngine(smt::CurrentMachine(), panel);
    auto& s = smt::run::Services(smt::CurrentMachine());
    // The board as the program's wiring reads it: on the window thread.
    SetMachineBoard(size.cells);
    std::atomic<bool> ended{false};
    auto endStep = s.onRunEnd;
    s.onRunEnd = [&ended, endStep](bool finished) {
      if (endStep) endStep(finished);
      ended = true;
    };
    panel.Run().runMode = [] { return 0; };
    std::atomic<double> paused{0};
    if (endPause)
      panel.Run().sleep = [&paused](int ms) {  // a real wait, as the program's, timed
        const auto p0 = std::chrono::steady_clock::now();
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        paused = paused + std::chrono::duration<double>(std::chrono::steady_clock::now() - p0).count();
      };
    QCoreApplication::processEvents();
    machine.board.sim.ClearReceived();
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    const auto t0 = std::chrono::steady_clock::now();
    if (selectedOnly) panel.Run().OnStartFrom(smt::job::StartFrom::SelectedSmt);
    else panel.Run().OnStart();
    const bool done = Until([&] { return ended.load(); }, 300s, true);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!done) {
      smt::CurrentMachine().runContinue = false;
      Until([&] { return ended.load(); }, 20s, true);
      seconds = 0;
    }
    Until([&] { return !smt::CurrentMachine().machineBusy && smt::run::FeedBusy(smt::CurrentMachine()) == 0 && smt::run::SmtBusy(smt::CurrentMachine()) == 0; }, 10s, true);
    QCoreApplication::processEvents();
    smt::run::Services(smt::CurrentMachine()) = {};
    if (endPause) *endPause = paused;
    if (paints) *paints = counter.count;
  }
  smt::platform::GuiDispatcher::Install(nullptr);
  return seconds;
}

// Seconds of the run engine alone on the same board and rows.
double EngineRun(Machine& machine, const Size& size) {
  auto rows = Rows(size.rows, PlacedRows(size));
  std::mutex m;
  std::vector<std::pair<int, int>> states;
  auto& s = smt::run::Services(smt::CurrentMachine());
  s = {};
  s.placementRows = [&] {
    std::string refusal;
    return smt::job::PlacementRecordsOf(rows, refusal);
  };
  s.nextPlaceRow = [&](int& row, int count, int slot, int requested) {
    for (; row < count && row < static_cast<int>(rows.size()); ++row)
      if (rows[static_cast<size_t>(row)].Cell(7) == "Yes")
        return smt::run::CalcFeederPickTarget(smt::CurrentMachine(), slot, requested, rows[static_cast<size_t>(row)].Cell(9));
    return 0;
  };
  auto display = std::make_shared<testsupport::RecordingRunDisplay>();
  display->onRowState = [&](smt::job::RowKind list, int row, int image, bool) {
    if (list != smt::job::RowKind::Placement) return;
    std::lock_guard lk(m);
    states.emplace_back(row, image);
  };
  s.display.Connect(display);
  s.board = [cells = size.cells] { return Board(cells); };
  std::atomic<bool> ended{false};
  s.onRunEnd = [&](bool) {
    smt::CurrentMachine().runContinue = false;
    smt::CurrentMachine().run.feedRun = false;
    smt::ReleaseMachineBusy(smt::CurrentMachine());
    ended = true;
  };
  machine.board.sim.ClearReceived();
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  const auto t0 = std::chrono::steady_clock::now();
  if (!smt::TryClaimMachineBusy(smt::CurrentMachine())) return 0;
  smt::CurrentMachine().runContinue = smt::CurrentMachine().run.feedRun = smt::CurrentMachine().run.conveyorRun = true;
  smt::CurrentMachine().paused = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  if (!smt::run::StartRun(smt::CurrentMachine(), 0)) {
    smt::CurrentMachine().runContinue = smt::CurrentMachine().run.feedRun = smt::CurrentMachine().run.conveyorRun = false;
    smt::ReleaseMachineBusy(smt::CurrentMachine());
    return 0;
  }
  const bool done = Until([&] { return ended.load(); }, 300s, false);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  Until([&] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0 && smt::run::SmtBusy(smt::CurrentMachine()) == 0; }, 10s, false);
  s = {};
  return done ? seconds : 0;
}


// Place commands the board received since the last call.
int Placed(Machine& m) {
  int n = 0;
  for (const auto& c : m.board.sim.Received())
    if (c.code == 0x68) ++n;
  m.board.sim.ClearReceived();
  return n;
}

// Resident memory of this process (KiB).
long ResidentKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

void Report(benchmark::State& state, double wired, double engine) {
  state.counters["placements_per_hour"] = wired > 0 ? kPlacements / wired * 3600 : 0;
  state.counters["engine_alone_per_hour"] = engine > 0 ? kPlacements / engine * 3600 : 0;
  state.counters["ratio"] = wired > 0 && engine > 0 ? engine / wired : 0;  // per hour, program / engine alone
  state.counters["us_per_placement"] = wired / kPlacements * 1e6;
}

using smt::bench::MinMedMax;
using smt::bench::Spread;

void BM_WiredRun(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  Machine machine;
  constexpr int kRounds = 3;
  std::vector<double> shownS, hiddenS, engineS, ratios;
  std::vector<int> paints;
  bool allPlaced = true;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      // Each round's figure is the best of three runs, shown and hidden
      // taking turns: the machine is shared, and a run that lost the CPU
      // for a while says nothing about the program.
      int painted = 0, hiddenPlaced = 0, shownPlaced = 0;
      double hidden = 1e300, shown = 1e300;
      for (int k = 0; k < 3; ++k) {
        int p = 0;
        const double h = WiredRun(machine, size, false, nullptr, false);
        const int hp = Placed(machine);
        const double w = WiredRun(machine, size, false, nullptr, true, &p);
        const int wp = Placed(machine);
        if (h <= 0 || w <= 0 || hp != kPlacements || wp != kPlacements) allPlaced = false;
        if (h < hidden) hidden = h, hiddenPlaced = hp;
        if (w < shown) shown = w, shownPlaced = wp, painted = p;
      }
      const double engine = EngineRun(machine, size);
      const int enginePlaced = Placed(machine);
      allPlaced = allPlaced && hiddenPlaced == kPlacements && shownPlaced == kPlacements && enginePlaced == kPlacements;
      if (hidden <= 0 || shown <= 0) allPlaced = false;
      shownS.push_back(shown);
      hiddenS.push_back(hidden);
      engineS.push_back(engine);
      paints.push_back(painted);
      ratios.push_back(hidden > 0 ? shown / hidden : 0);
      std::printf("  round %d: shown %.3f s (%d paints, placed %d), hidden %.3f s (placed %d), engine alone %.3f s "
                  "(placed %d)\n",
                  round + 1, shown, painted, shownPlaced, hidden, hiddenPlaced, engine, enginePlaced);
    }
  }
  if (!allPlaced)
    for (const auto& t : machine.messages.Texts()) fprintf(stderr, "message: %s\n", t.c_str());
  const MinMedMax r = Spread(ratios), sh = Spread(shownS), hi = Spread(hiddenS), en = Spread(engineS);
  state.SetLabel(std::to_string(size.rows) + " rows x " + std::to_string(size.cells) + " boards");
  state.counters["placements_per_hour"] = sh.median > 0 ? kPlacements / sh.median * 3600 : 0;
  state.counters["hidden_per_hour"] = hi.median > 0 ? kPlacements / hi.median * 3600 : 0;
  state.counters["engine_alone_per_hour"] = en.median > 0 ? kPlacements / en.median * 3600 : 0;
  state.counters["ratio_median"] = r.median;
  std::printf("run of %d rows x %d boards, baseline: the same wired run with the panel hidden\n"
              "  shown %.1f / %.1f / %.1f k placements/h, hidden %.1f / %.1f / %.1f k/h, engine alone %.1f k/h "
              "(median)\n"
              "  time shown / hidden: %s%s\n",
              size.rows, size.cells, kPlacements / sh.max * 3600 / 1e3, kPlacements / sh.median * 3600 / 1e3,
              kPlacements / sh.min * 3600 / 1e3, kPlacements / hi.max * 3600 / 1e3,
              kPlacements / hi.median * 3600 / 1e3, kPlacements / hi.min * 3600 / 1e3,
              en.median > 0 ? kPlacements / en.median * 3600 / 1e3 : 0,
              smt::bench::RoundsText(r, static_cast<size_t>(kRounds), 1.2).c_str(), allPlaced ? "" : "  <-- NOT EVERY PART PLACED");
}
BENCHMARK(BM_WiredRun)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kSecond);

// A run's fixed cost: a run of 2 rows as the program wires it, against the
// time 2 placements take within a long run (2,000 rows) on the same board.
// The difference is what every run costs besides its placements. Part of it
// is the end step's settling pause: after the run has ended the windows are
// enabled and the outputs go off 200 ms later, and the next Start waits for
// that step. The pause is measured as it was waited, and the rest of the
// fixed cost (the run's start, taking the rows, the end moves and the end
// step's commands) is shown beside it.
void BM_RunFixedCost(benchmark::State& state) {
  Machine machine;
  constexpr Size kShort{2, 2, 1};
  std::vector<double> shortRuns, pauses, rests;
  double longRun = 0;
  int placedShort = 0, placedLong = 0;
  for (auto _ : state) {
    for (int i = 0; i < 7; ++i) {
      double pause = 0;
      const double run = WiredRun(machine, kShort, false, &pause);
      shortRuns.push_back(run);
      pauses.push_back(pause);
      rests.push_back(run - pause);
      placedShort = Placed(machine);
    }
    longRun = WiredRun(machine, kSizes[1], false);
    placedLong = Placed(machine);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2] * 1000;
  };
  const double shortMs = median(shortRuns);
  const double pauseMs = median(pauses);
  const double twoPlacementsMs = longRun / kPlacements * 2 * 1000;
  const double restMs = median(rests) - twoPlacementsMs;
  state.counters["two_row_run_ms"] = shortMs;
  state.counters["two_placements_in_long_run_ms"] = twoPlacementsMs;
  state.counters["ratio"] = twoPlacementsMs > 0 ? shortMs / twoPlacementsMs : 0;
  state.counters["fixed_cost_ms"] = shortMs - twoPlacementsMs;
  state.counters["end_pause_ms"] = pauseMs;
  state.counters["fixed_cost_besides_pause_ms"] = restMs;
  std::printf("run fixed cost: a 2-row run %.2f ms (median of %zu) against 2 placements of a long run %.2f ms, "
              "ratio %.2f; fixed cost %.2f ms, of which the end step's settling pause %.2f ms and the rest %.2f ms "
              "(goal < 20)  (placed %d and %d)\n",
              shortMs, shortRuns.size(), twoPlacementsMs, twoPlacementsMs > 0 ? shortMs / twoPlacementsMs : 0,
              shortMs - twoPlacementsMs, pauseMs, restMs, placedShort, placedLong);
}
BENCHMARK(BM_RunFixedCost)->Iterations(1)->Unit(benchmark::kMillisecond);

// Memory across repeated runs in one program: ten 20,000-row runs on one
// part list; the figure is the resident size after the tenth, the baseline
// the resident size after the second (the first warms every cache).
void BM_RepeatedRunsMemory(benchmark::State& state) {
  const Size size = kSizes[2];
  Machine machine;
  std::vector<long> rss;
  std::vector<int> placed;
  for (auto _ : state) {
    smt::platform::QtGuiDispatcher gui;
    smt::platform::GuiDispatcher::Install(&gui);
    {
      CDialogPartList panel{smt::CurrentMachine()};
      panel.resize(1200, 800);
      panel.show();
      panel.Job().placementRows = Rows(size.rows, PlacedRows(size));
      panel.Job().NotifyRows(RowKind::Placement);
      smt::run::WireRunEngine(smt::CurrentMachine(), panel);
      auto& s = smt::run::Services(smt::CurrentMachine());
      SetMachineBoard(size.cells);  // read on the window thread, as the program reads it
      std::atomic<int> ends{0};
      auto endStep = s.onRunEnd;
      s.onRunEnd = [&ends, endStep](bool finished) {
        if (endStep) endStep(finished);
        ++ends;
      };
      panel.Run().runMode = [] { return 0; };
      for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        machine.board.sim.ClearReceived();
        smt::CurrentMachine().resetDone = true;
        smt::CurrentMachine().masterResetOk = true;
        const int before = ends.load();
        panel.Run().OnStart();
        if (!Until([&] { return ends.load() > before; }, 300s, true)) {
          smt::CurrentMachine().runContinue = false;
          Until([&] { return ends.load() > before; }, 20s, true);
        }
        Until([&] { return !smt::CurrentMachine().machineBusy && smt::run::FeedBusy(smt::CurrentMachine()) == 0 && smt::run::SmtBusy(smt::CurrentMachine()) == 0; }, 10s, true);
        QCoreApplication::processEvents();
        placed.push_back(Placed(machine));
        rss.push_back(ResidentKiB());
      }
      smt::run::Services(smt::CurrentMachine()) = {};
    }
    smt::platform::GuiDispatcher::Install(nullptr);
  }
  const double second = static_cast<double>(rss[1]), tenth = static_cast<double>(rss[9]);
  state.counters["tenth_run_MiB"] = tenth / 1024;
  state.counters["second_run_MiB"] = second / 1024;
  state.counters["ratio"] = tenth / second;
  std::printf("resident size after each 20,000-row run (MiB):");
  for (long r : rss) std::printf(" %.1f", static_cast<double>(r) / 1024);
  std::printf("\nrepeated runs: tenth run ends at %.1f MiB against %.1f MiB after the second, ratio %.3f "
              "(goal <= 1.05); placed per run:",
              tenth / 1024, second / 1024, tenth / second);
  for (int p : placed) std::printf(" %d", p);
  std::printf("\n");
}
BENCHMARK(BM_RepeatedRunsMemory)->Iterations(1)->Unit(benchmark::kSecond);

// "Run selected rows only" with every row selected, against the whole run.
void BM_WiredRunSelectedOnly(benchmark::State& state) {
  const Size size = kSizes[1];
  Machine machine;
  double selected = 0, whole = 0;
  int placedSelected = 0, placedWhole = 0;
  for (auto _ : state) {
    selected = WiredRun(machine, size, true);
    placedSelected = Placed(machine);
    whole = WiredRun(machine, size, false);
    placedWhole = Placed(machine);
  }
  state.counters["placed"] = placedSelected;
  state.counters["placed_whole"] = placedWhole;
  state.SetLabel("2000 rows, all selected; baseline: the whole run");
  state.counters["placements_per_hour"] = selected > 0 ? kPlacements / selected * 3600 : 0;
  state.counters["whole_run_per_hour"] = whole > 0 ? kPlacements / whole * 3600 : 0;
  state.counters["ratio"] = selected > 0 && whole > 0 ? whole / selected : 0;  // per hour, selected / whole
}
BENCHMARK(BM_WiredRunSelectedOnly)->Iterations(1)->Unit(benchmark::kSecond);

// The part list with every row selected: refresh, sort and ctrl-click,
// against the same with one row selected.
double ListWork(CDialogPartList& panel, int rows, bool all) {
  panel.Job().placementRows = Rows(rows, rows);
  panel.Job().NotifyRows(RowKind::Placement);
  QTableView* view = panel.PlacementView();
  const auto t0 = std::chrono::steady_clock::now();
  if (all) view->selectAll();
  else view->selectRow(rows / 2);
  panel.Job().NotifyRows(RowKind::Placement);  // refresh
  panel.Logic().sortCode = 4;
  panel.Logic().SortList(RowKind::Placement);  // sort
  view->selectionModel()->select(panel.Model(RowKind::Placement)->index(rows / 3, 0),
                                 QItemSelectionModel::Toggle | QItemSelectionModel::Rows);  // ctrl-click
  QCoreApplication::processEvents();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_PartListEveryRowSelected(benchmark::State& state) {
  App();
  const int rows = static_cast<int>(state.range(0));
  CDialogPartList panel{smt::CurrentMachine()};
  panel.resize(1200, 800);
  panel.show();
  double all = 0, one = 0;
  int64_t n = 0;
  for (auto _ : state) {
    all += ListWork(panel, rows, true);
    one += ListWork(panel, rows, false);
    ++n;
  }
  state.counters["every_row_ms"] = all / static_cast<double>(n) * 1000;
  state.counters["one_row_ms"] = one / static_cast<double>(n) * 1000;
  state.counters["ratio"] = one > 0 ? all / one : 0;
  state.counters["us_per_row"] = all / static_cast<double>(n) / rows * 1e6;
}
BENCHMARK(BM_PartListEveryRowSelected)->Arg(16000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  smt::platform::KeepLargeBlocksReturnable();  // as the program's main() does
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (const char* n = std::getenv("SMT_BENCH_RUN_PLACEMENTS"); n && std::atoi(n) >= 8)
    kPlacements = std::min(2000, std::atoi(n) / 8 * 8);
  std::printf("placements per run: %.0f\n", kPlacements);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

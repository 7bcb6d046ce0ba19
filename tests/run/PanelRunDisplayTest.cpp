// A run on the simulated machine wired to a real part list panel as the
// shell wires it, with the window thread's dispatcher: the rows' states
// reach the panel as changes of the rows that changed, never as the list
// shown again as a whole while the parts are placed.
#include <QCoreApplication>

#include "RunSimFixture.h"
#include "job/CDialogPartList.h"
#include "job/FeederView.h"
#include "job/RowListModel.h"
#include "platform/QtGuiDispatcher.h"
#include "run/RunShellWiring.h"

namespace runtest {
namespace {

using namespace std::chrono_literals;
using smt::job::RowKind;

// The panel's display as the shell connects it, counting the placement
// list's row states and resets it hands on.
class CountingPanelDisplay : public smt::run::PanelRunDisplay {
 public:
  CountingPanelDisplay(CDialogPartList& panel, std::atomic<int>& states, std::atomic<int>& resets)
      : PanelRunDisplay(smt::CurrentMachine(), panel), states_(states), resets_(resets) {}
  void RowState(RowKind list, int row, int image, bool select) override {
    if (list == RowKind::Placement) ++states_;
    PanelRunDisplay::RowState(list, row, image, select);
  }
  void ResetRowStates(RowKind list) override {
    if (list == RowKind::Placement) ++resets_;
    PanelRunDisplay::ResetRowStates(list);
  }

 private:
  std::atomic<int>& states_;
  std::atomic<int>& resets_;
};

class PanelRunDisplay : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    smt::platform::GuiDispatcher::Install(&gui);
    panel = std::make_unique<CDialogPartList>(smt::CurrentMachine());
    for (const auto& r : rows) {
panel->Job().placementRows.push_back(ListRowOf(r));
    }
    panel->Job().NotifyRows(RowKind::Placement);
    smt::job::FeederSourceOf(smt::CurrentMachine()).listRows = [this] {
      std::vector<smt::job::FeederRowView> v;
      for (int i = 0; i < feeders.CurrentRowCount(); ++i) {
        const auto row = *feeders.CurrentRow(i);
        v.push_back({std::vector<std::string>(row.begin(), row.end()), 0, 0});
      }
      return v;
    };
    // The shell's wiring of the run engine to the panel; the machine's own
    // services (board, marks, vision) stay the fixture's.
    auto& s = smt::run::Services(smt::CurrentMachine());
    const auto board = s.board;
    const auto vision = s.vision.Get();
    const auto home = s.startHome;
    smt::run::WireRunEngine(smt::CurrentMachine(), *panel);
    // The board as the shell's wiring reads it (a wait for the window
    // thread), counted.
    s.board = [this, board] {
      ++boardReads;
      smt::run::RunBoard b;
      smt::platform::RunOnGui([&] { b = board(); });
      return b;
    };
    s.vision.Connect(vision);
    s.startHome = home;
    // Count what the run sends, then hand it to the panel as wired.
    s.display.Connect(std::make_shared<CountingPanelDisplay>(*panel, stateCalls, resetCalls));
    const auto endStep = s.onRunEnd;
    s.onRunEnd = [this, endStep](bool finished) {
      endStep(finished);
      runFinished = finished;
      ended = true;
    };
    panel->Run().runMode = [] { return 0; };
    QObject::connect(panel->Model(RowKind::Placement), &QAbstractItemModel::modelReset, [this] {
      if (placing) ++resetsWhilePlacing;
    });
  }
  void TearDown() override {
    smt::platform::GuiDispatcher::Install(&gui);
    ProcessUntil([&] { return ended.load() || !smt::CurrentMachine().machineBusy; }, 10s);
    // The run's busy bytes are the panel's: its threads leave before it goes.
    ProcessUntil([&] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0 && smt::run::SmtBusy(smt::CurrentMachine()) == 0; }, 10s);
    smt::platform::GuiDispatcher::Install(nullptr);
    // The run's services point at the panel's busy bytes: the threads end and
    // the services are forgotten before the panel goes.
    RunSimTest::TearDown();
    panel.reset();
    smt::job::FeederSourceOf(smt::CurrentMachine()) = {};
  }
  template <class F>
  bool ProcessUntil(F done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }

  smt::platform::QtGuiDispatcher gui;
  std::unique_ptr<CDialogPartList> panel;
  bool placing = false;
  int resetsWhilePlacing = 0;
  std::atomic<int> stateCalls{0}, resetCalls{0}, boardReads{0};
};

TEST_F(PanelRunDisplay, RowStatesReachTheListAsChangesOfTheirRows) {
  QCoreApplication::processEvents();
  placing = true;
  ASSERT_TRUE(panel->Run().OnStart());
  ASSERT_TRUE(ProcessUntil([&] { return ended.load(); }, 20s));
  ASSERT_TRUE(ProcessUntil([&] { return panel->QueuedRowStates() == 0; }, 2s));
  QCoreApplication::processEvents();
  placing = false;
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x68), 3);
  // Each part was picked and placed: at least two states per row...
  EXPECT_GE(stateCalls.load(), 6);
  // ...none of which showed the list again as a whole: the only whole
  // showings are the run's own resets of the states (end of each board).
  EXPECT_GE(resetCalls.load(), 1);
  EXPECT_LE(resetsWhilePlacing, resetCalls.load());
  // The end of the board cleared the states; the list shows them cleared.
  for (int r = 0; r < 3; ++r) EXPECT_EQ(panel->Job().placementRows[static_cast<size_t>(r)].Image(0), 0) << r;
}

// The board lives on the window thread: a run takes it when it starts and
// its thickness with the first part, and does not wait for the window again
// for every part it places.
TEST_F(PanelRunDisplay, RunReadsTheBoardOnceNotForEveryPart) {
  QCoreApplication::processEvents();
  ASSERT_TRUE(panel->Run().OnStart());
  ASSERT_TRUE(ProcessUntil([&] { return ended.load(); }, 20s));
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x68), 3);
  EXPECT_GE(boardReads.load(), 1);
  EXPECT_LE(boardReads.load(), 2);
}

}  // namespace
}  // namespace runtest

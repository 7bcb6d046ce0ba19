// The line at the end of a run counts what the run was asked to do, through
// the real shell on the demo job and the simulated machine, judged by what
// the machine placed: a run started from the current row counts the rows
// from that row on; a list with every row switched off ends finished with
// nothing to place, not stopped.
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <cmath>

#include "DemoMachineFixture.h"
#include "job/RunTally.h"

namespace {

constexpr int kStartFromCurrentRow = 32977;  // the placement list menu's "start from the current row"

class RunEndLine : public DemoMachine {
 protected:
  CMainFrame& StartOnDemoJob() {
    CMainFrame& f = Start();
    f.show();
    f.Action(cmd::kLanguageChinese)->trigger();
    ConnectAndHome();
    EXPECT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
    return f;
  }
  CDialogPartList& List() { return *app->frame()->view()->m_pPartList; }
  std::string ShownEnd() { return List().RunEndLabel()->text().toStdString(); }
  // Waits for the run's end line and for the machine to be idle again.
  void WaitForEnd(size_t logAt) {
    ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end", logAt) != std::string::npos; }, 60s)) << Messages();
    ASSERT_TRUE(PumpUntil([&] { return !ShownEnd().empty(); }, 5s));
    ASSERT_TRUE(PumpUntil([&] {
      auto& pl = List();
      return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0 &&
             !smt::CurrentMachine().machineBusy.load();
    }, 10s));
  }
};

TEST_F(RunEndLine, AStartFromTheCurrentRowCountsTheRowsFromThatRow) {
  StartOnDemoJob();
  auto& pl = List();
  ASSERT_EQ(pl.Job().placementRows.size(), 4u);
  // The operator clicks row 3 and chooses "start from the current row" in
  // the list's menu.
  pl.PlacementView()->selectRow(2);
  pl.OnListClick(smt::job::RowKind::Placement, 2, 0);
  auto menu = pl.BuildContextMenu(smt::job::RowKind::Placement);
  ASSERT_EQ(pl.Logic().State(smt::job::RowKind::Placement).testRow, 2);
  QAction* fromCurrent = nullptr;
  for (QAction* a : menu->actions())
    if (a->data().toInt() == kStartFromCurrentRow) fromCurrent = a;
  ASSERT_NE(fromCurrent, nullptr);
  ASSERT_TRUE(fromCurrent->isEnabled());
  const size_t logAt = Log().size();
  fromCurrent->trigger();
  WaitForEnd(logAt);
  // The machine placed rows 3 and 4, at their points.
  const auto placed = world->Placements();
  ASSERT_EQ(placed.size(), 2u) << Messages();
  for (const double x : {15.0, 20.0}) {
    double best = 1e9;
    for (const auto& r : placed) best = std::min(best, std::hypot(r.boardX - x, r.boardY + 5));
    EXPECT_LE(best, 0.05) << "no part at row x " << x;
  }
  EXPECT_EQ(ShownEnd(), "运行结束: 已贴 2 / 2");
  const smt::job::RunCounts c = pl.RunCounts();
  EXPECT_EQ(c.toPlace, 2);
  EXPECT_EQ(c.placed, 2);
  EXPECT_TRUE(c.Complete());
}

TEST_F(RunEndLine, AListWithEveryRowOffEndsFinishedNotStopped) {
  StartOnDemoJob();
  auto& pl = List();
  ASSERT_EQ(pl.Job().placementRows.size(), 4u);
  // The operator switches every row's "place" off with a click on its cell.
  for (int row = 0; row < 4; ++row) pl.OnListClick(smt::job::RowKind::Placement, row, smt::job::kSmtPlace);
  for (const auto& r : pl.Job().placementRows) ASSERT_EQ(r.Cell(smt::job::kSmtPlace), "No");
  const size_t logAt = Log().size();
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnStart)->isEnabled(); }));
  ClickToolbar(smt::job::kBtnStart);
  WaitForEnd(logAt);
  EXPECT_TRUE(world->Placements().empty());
  EXPECT_EQ(ShownEnd(), "运行结束: 已贴 0 / 0, 跳过 4");
  EXPECT_TRUE(pl.RunCounts().finished);

  // A Stop still reads stopped: every row on again, the machine slowed,
  // Start and Stop.
  for (int row = 0; row < 4; ++row) pl.OnListClick(smt::job::RowKind::Placement, row, smt::job::kSmtPlace);
  sim->SetReplyDelay(std::chrono::milliseconds(200));
  const size_t logAt2 = Log().size();
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnStart)->isEnabled(); }, 30s));
  ClickToolbar(smt::job::kBtnStart);
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnStop)->isEnabled(); }, 30s));
  ClickToolbar(smt::job::kBtnStop);
  WaitForEnd(logAt2);
  sim->SetReplyDelay(std::chrono::milliseconds(0));
  EXPECT_EQ(ShownEnd().rfind("运行已停止: 已贴 ", 0), 0u) << ShownEnd();
  EXPECT_EQ(pl.RunCounts().placed, static_cast<int>(world->Placements().size()));
}

}  // namespace

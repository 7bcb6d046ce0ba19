// The part list during a run and with large selections: row states from the
// run thread reach the list as changes of the rows that changed, shown
// together at display rate, without the run thread waiting for the window;
// selections travel between the list and its view as runs of rows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "job/CDialogPartList.h"
#include "job/PartListLogic.h"
#include "job/RowListModel.h"
#include "platform/QtGuiDispatcher.h"

using namespace smt::job;
using namespace std::chrono_literals;

namespace {

void FillRows(CDialogPartList& panel, int n) {
  auto& rows = panel.Job().placementRows;
  rows.clear();
  for (int i = 0; i < n; ++i) {
    ListRow r(kPlacementCells);
    r.cells[0] = std::to_string(i + 1);
    char name[16];
    std::snprintf(name, sizeof name, "R%06d", n - i);  // names sort the other way round
    r.cells[4] = name;
    r.cells[7] = "Yes";
    rows.push_back(std::move(r));
  }
  panel.Job().NotifyRows(RowKind::Placement);
}

// Runs the window thread's events until `done` or the limit.
template <class F>
bool ProcessUntil(F done, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class RunDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::platform::GuiDispatcher::Install(&gui);
    FillRows(panel, 300);
    QObject::connect(panel.Model(RowKind::Placement), &QAbstractItemModel::modelReset, [this] { ++resets; });
    QObject::connect(panel.Model(RowKind::Placement), &QAbstractItemModel::dataChanged,
                     [this](const QModelIndex& a, const QModelIndex& b) {
                       ++changes;
                       changedRows += b.row() - a.row() + 1;
                     });
  }
  void TearDown() override { smt::platform::GuiDispatcher::Install(nullptr); }

  // Sends row states from a run thread; true when the thread finished
  // while the window thread handled no events.
  bool FromRunThread(const std::function<void()>& states) {
    std::packaged_task<void()> task(states);
    auto done = task.get_future();
    std::thread run(std::move(task));
    const bool withoutWindow = done.wait_for(5s) == std::future_status::ready;
    ProcessUntil([&] { return done.wait_for(0s) == std::future_status::ready; }, 20000ms);
    run.join();
    return withoutWindow;
  }

  smt::platform::QtGuiDispatcher gui;
  CDialogPartList panel{smt::CurrentMachine()};
  int resets = 0, changes = 0, changedRows = 0;
};

TEST_F(RunDisplay, RowStatesFromTheRunThreadAreShownTogetherAsChangedRows) {
  struct Case {
    bool selectedOnly;
    bool select;
    int wantSelected;  // rows selected afterwards
  };
  for (const Case c : {Case{false, true, 300}, Case{false, false, 0}, Case{true, true, 0}}) {
    panel.Logic().m_bSelectedSmt = c.selectedOnly ? 1 : 0;
    panel.Logic().SetSelectedRanges(RowKind::Placement, {});
    panel.Job().NotifyRows(RowKind::Placement);
    resets = changes = changedRows = 0;
    const int image = c.select ? 6 : 7;
    ASSERT_TRUE(FromRunThread([&] {
      for (int r = 0; r < 300; ++r) panel.SetSmtRowState(r, image, c.select);
    })) << "the run thread waited for the window";
    ASSERT_TRUE(ProcessUntil([&] { return panel.QueuedRowStates() == 0; }));
    QCoreApplication::processEvents();
    for (int r = 0; r < 300; ++r) ASSERT_EQ(panel.Job().placementRows[static_cast<size_t>(r)].Image(0), image) << r;
    EXPECT_EQ(resets, 0) << "the list was shown again as a whole";
    EXPECT_EQ(changedRows, 300);
    EXPECT_LE(changes, 10) << "not coalesced";
    EXPECT_EQ(panel.Logic().SelectedCount(RowKind::Placement), c.wantSelected);
    int shown = 0;
    for (int r = 0; r < 300; ++r) shown += panel.PlacementView()->selectionModel()->isRowSelected(r, {}) ? 1 : 0;
    EXPECT_EQ(shown, c.wantSelected);
  }
}

TEST_F(RunDisplay, ResetKeepsItsPlaceAmongQueuedStates) {
  ASSERT_TRUE(FromRunThread([&] {
    panel.SetSmtRowState(1, 6, false);
    panel.SetSmtRowState(2, 6, false);
    panel.ResetSmtRowStates();
    panel.SetSmtRowState(3, 9, false);
  }));
  ASSERT_TRUE(ProcessUntil([&] { return panel.QueuedRowStates() == 0; }));
  const auto& rows = panel.Job().placementRows;
  EXPECT_EQ(rows[1].Image(0), 0);
  EXPECT_EQ(rows[2].Image(0), 0);
  EXPECT_EQ(rows[3].Image(0), 9);
  // On the window thread a state is shown at once.
  panel.SetSmtRowState(4, 10, false);
  EXPECT_EQ(panel.QueuedRowStates(), 0);
  EXPECT_EQ(rows[4].Image(0), 10);
}

TEST(SelectionRanges, RunsOfRowsBothWays) {
  JobModel job;
  for (int i = 0; i < 10; ++i) job.placementRows.emplace_back(kPlacementCells);
  PartListLogic logic(job);
  using Ranges = std::vector<std::pair<int, int>>;
  const std::vector<std::pair<Ranges, Ranges>> cases = {
      {{}, {}},
      {{{0, 9}}, {{0, 9}}},
      {{{0, 3}, {4, 6}}, {{0, 6}}},           // neighbours join
      {{{2, 2}, {5, 7}, {6, 8}}, {{2, 2}, {5, 8}}},  // overlaps join
      {{{-3, 1}, {8, 40}}, {{0, 1}, {8, 9}}},  // outside the list ignored
  };
  for (const auto& [in, want] : cases) {
    logic.SetSelectedRanges(RowKind::Placement, in);
    EXPECT_EQ(logic.SelectedRanges(RowKind::Placement), want);
    int count = 0;
    for (const auto& [a, b] : want) count += b - a + 1;
    EXPECT_EQ(logic.SelectedCount(RowKind::Placement), count);
  }
}

TEST(SelectionRanges, EveryRowSelectedStaysOneRangeThroughRefreshSortAndCtrlClick) {
  CDialogPartList panel{smt::CurrentMachine()};
  const int n = 5000;
  FillRows(panel, n);
  QTableView* view = panel.PlacementView();
  auto* sm = view->selectionModel();
  view->selectAll();
  EXPECT_EQ(panel.Logic().SelectedCount(RowKind::Placement), n);
  // Ctrl-click: one row leaves the selection.
  sm->select(panel.Model(RowKind::Placement)->index(1000, 0), QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
  EXPECT_EQ(panel.Logic().SelectedRanges(RowKind::Placement),
            (std::vector<std::pair<int, int>>{{0, 999}, {1001, n - 1}}));
  // Refresh: the view gets the selection back as two ranges.
  panel.Job().NotifyRows(RowKind::Placement);
  EXPECT_EQ(sm->selection().size(), 2);
  EXPECT_FALSE(sm->isRowSelected(1000, {}));
  EXPECT_TRUE(sm->isRowSelected(1001, {}));
  // Sort by name (the rows turn round): the unselected row moves with its row.
  panel.Logic().sortCode = 4;
  panel.Logic().SortList(RowKind::Placement);
  const int moved = n - 1 - 1000;
  EXPECT_EQ(panel.Job().placementRows[static_cast<size_t>(moved)].Cell(0), "1001");
  EXPECT_FALSE(sm->isRowSelected(moved, {}));
  EXPECT_EQ(panel.Logic().SelectedCount(RowKind::Placement), n - 1);
  EXPECT_LE(sm->selection().size(), 2);
}

}  // namespace

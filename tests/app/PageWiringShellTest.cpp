// Pages and panels reached through the shell as main() builds it: the
// strategy page's renumbering, dispensing view and head count, the camera
// table's head layout, pulse shift and feeder vision icons.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QTableView>
#include <QTimer>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "job/JobRows.h"
#include "run/CDialogSMTStrategy.h"
#include "run/StrategySettings.h"

namespace {

smt::job::ListRow Row(smt::job::RowKind kind, const std::string& number) {
  smt::job::ListRow r(smt::job::CellCount(kind));
  r.cells[0] = number;
  return r;
}

std::vector<std::string> Numbers(const std::vector<smt::job::ListRow>& rows) {
  std::vector<std::string> n;
  for (const auto& r : rows) n.push_back(r.Cell(0));
  return n;
}

// Opens the strategy page from the part list's toolbar, lets `act` work on
// it and presses OK. False when the page did not open.
bool OnStrategyPage(CDialogPartList& list, const std::function<void(CDialogSMTStrategy&)>& act) {
  bool shown = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<CDialogSMTStrategy*>(QApplication::activeModalWidget())) {
      shown = true;
      act(*d);
      d->accept();
    }
  });
  list.OnStrategy();
  return shown;
}

}  // namespace

class PageWiringShellTest : public ShellTest {};

TEST_F(PageWiringShellTest, StrategyPageRenumbersTheListsAndItsOkSwitchesTheDispensingViewAndHeadCount) {
  WriteConfig("[MachineSetConfig]\nMachineSet=2\n");
  CMainFrame& f = Start();
  ASSERT_EQ(g_nMachineType.load(), 2);
  CDialogPartList& list = *f.view()->m_pPartList;
  auto& job = list.Job();
  using smt::job::RowKind;
  job.placementRows = {Row(RowKind::Placement, "7"), Row(RowKind::Placement, "3"), Row(RowKind::Placement, "")};
  job.dispenseRows = {Row(RowKind::Dispense, "9"), Row(RowKind::Dispense, "9")};
  job.drillRows = {Row(RowKind::Drill, "5")};
  for (auto k : {RowKind::Placement, RowKind::Dispense, RowKind::Drill}) job.NotifyRows(k);

  struct Case {
    int runMode;
    int headMode;
    bool disMode2;
    smt::job::VisibleList view;
    int heads;
  };
  const Case cases[] = {
      {1, 2, true, smt::job::VisibleList::Dispense, 2},    // "点胶"
      {5, 0, false, smt::job::VisibleList::Placement, 1},  // "相机模拟料架->元件"
      {2, 1, false, smt::job::VisibleList::Dispense, 2},   // "点胶->贴装"
      {6, 0, true, smt::job::VisibleList::Placement, 1},   // "送料运行->相机检查"
  };
  bool renumbered = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.runMode);
    g_nHeadCount = 8;
    ASSERT_TRUE(OnStrategyPage(list, [&](CDialogSMTStrategy& d) {
      // The page carries the second dispensing mode.
      QAbstractButton* mode2 = d.Button(1460);
      ASSERT_NE(mode2, nullptr);
      EXPECT_EQ(mode2->text().toStdString(), "点胶方式2");
      mode2->setChecked(c.disMode2);
      if (!renumbered) {
        d.Button(1141)->click();  // "重置序号"
        renumbered = true;
        EXPECT_EQ(Numbers(job.placementRows), (std::vector<std::string>{"1", "2", "3"}));
        EXPECT_EQ(Numbers(job.dispenseRows), (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(Numbers(job.drillRows), (std::vector<std::string>{"1"}));
      }
      d.Button(smt::run::RunModeIds()[static_cast<size_t>(c.runMode)])->setChecked(true);
      d.Button(smt::run::HeadModeIds()[static_cast<size_t>(c.headMode)])->setChecked(true);
    }));
    EXPECT_EQ(smt::run::Strategy().m_RunSelect, c.runMode);
    EXPECT_EQ(smt::run::Strategy().m_bDisMode2, c.disMode2 ? 1 : 0);
    EXPECT_EQ(smt::run::LoadStrategy(dir.str()).m_bDisMode2, c.disMode2 ? 1 : 0);
    EXPECT_EQ(job.visible, c.view);
    EXPECT_EQ(list.VisibleView(), c.view == smt::job::VisibleList::Dispense ? list.DispenseView() : list.PlacementView());
    EXPECT_EQ(g_nHeadCount.load(), c.heads);
  }
  // The renumbered list shows the new numbers.
  EXPECT_EQ(list.PlacementView()->model()->index(1, 0).data().toString().toStdString(), "2");
}

// The README's first hour as written, in each language, on the real widgets
// of the program scripts/run starts, against the simulated machine: the
// window as it opens on a 1366x768 screen shows connect and home; connect,
// home, "Go to" the board's first mark, open the demo job, Start, the run's
// end with its counts; then the machine slowed as scripts/run's
// SMT_SIM_DELAY slows it, Start, Pause, Resume and Stop; File > New. The
// runs are judged by what the simulated machine placed.
#include <QAbstractItemModel>
#include <QLabel>
#include <QTableView>
#include <QLayout>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>
#include <cmath>
#include <set>

#include "DemoMachineFixture.h"
#include "LayoutCheck.h"
#include "app/WindowPlacement.h"
#include "job/JobRows.h"
#include "job/RunTally.h"

namespace {

struct LanguageTexts {
  const char* goTo;           // the toolbar's go-to button
  const char* cameraToMark1;  // its entry the README names
  const char* finished;       // the window's end line of the demo run
  const char* stopped;        // how the end line of a stopped run begins
};
LanguageTexts TextsOf(const std::string& language) {
  if (language == "English") return {"Go to", "Camera to Mark 1", "Run finished: placed 4 of 4", "Run stopped: placed "};
  if (language == "German") return {"Anfahren", "Kamera zu Marke 1", "Lauf beendet: 4 von 4 bestückt", "Lauf abgebrochen: "};
  return {"到指定目标点", "相机到Mark1点", "运行结束: 已贴 4 / 4", "运行已停止: 已贴 "};
}

// The demo job's rows: board millimetres from the origin.
constexpr double kRows[4][2] = {{5, -5}, {10, -5}, {15, -5}, {20, -5}};

class OperatorFirstHour : public DemoMachineInLanguage {
 protected:
  // The entry `text` of the toolbar button `button`'s drop-down, as it opens.
  QAction* DropDownEntry(CMainFrame& f, const QString& button, const QString& text) {
    QMenu* menu = nullptr;
    for (auto* b : f.findChildren<QToolButton*>())
      if (b->menu() && b->text() == button) menu = b->menu();
    if (!menu) return nullptr;
    emit menu->aboutToShow();
    for (QAction* a : menu->actions())
      if (a->text() == text) return a;
    return nullptr;
  }
  std::string ShownEnd() { return app->frame()->view()->m_pPartList->RunEndLabel()->text().toStdString(); }
};
SMT_OPERATOR_LANGUAGES(OperatorFirstHour);

TEST_P(OperatorFirstHour, TheReadmesFirstHourAsWritten) {
  CMainFrame& f = StartInLanguage();
  const LanguageTexts texts = TextsOf(GetParam().name);
  auto& pl = *f.view()->m_pPartList;

  // The window as it opens on a 1366x768 screen: connect and home in sight.
  const smt::test::ScreenSize small{"1366x768", 1366, 768};
  const auto placed = smt::app::PlaceMainWindow(
      smt::app::kMainWindowSize, QRect(0, 0, small.width, small.height - smt::test::kTaskBarHeight),
      smt::app::kAssumedWindowFrame);
  f.resize(placed.client.size());
  if (f.layout()) f.layout()->activate();
  QApplication::processEvents();
  EXPECT_EQ(smt::test::WhyNotInSight(ConnectButton(), f), "");
  EXPECT_EQ(smt::test::WhyNotInSight(Control(kReset), f), "");

  // 1. and 2.: connect, then home.
  ConnectAndHome();
  // 3. The Go-to entry takes the Mark camera to the board's first mark: the
  // gantry stands at X 112, Y -62 mm.
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  QAction* toMark = DropDownEntry(f, QString::fromUtf8(texts.goTo), QString::fromUtf8(texts.cameraToMark1));
  ASSERT_NE(toMark, nullptr) << texts.cameraToMark1;
  toMark->trigger();
  EXPECT_TRUE(PumpUntil([&] { return sim->Position(0) == 11200 && sim->Position(1) == -6200 && !smt::CurrentMachine().machineBusy; }, 10s))
      << sim->Position(0) << " " << sim->Position(1) << " " << Messages();

  // 4. File > Open demo.smt, Start: four parts placed, by both heads, where
  // the rows say; the window says so and the bar is full.
  files.chooser.QueueAnswer((dir / smt::app::kDemoJobName).string());
  f.Action(cmd::kFileOpen)->trigger();
  ASSERT_EQ(pl.Job().placementRows.size(), 4u);
  size_t logAt = Log().size();
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnStart)->isEnabled(); }));
  ClickToolbar(smt::job::kBtnStart);
  ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end 1", logAt) != std::string::npos; }, 60s)) << Messages();
  ASSERT_TRUE(PumpUntil([&] { return !ShownEnd().empty(); }, 5s));
  EXPECT_EQ(ShownEnd(), texts.finished);
  EXPECT_EQ(pl.RunProgressBar()->value(), pl.RunProgressBar()->maximum());
  EXPECT_TRUE(pl.RunCounts().Complete());
  const auto first = world->Placements();
  ASSERT_EQ(first.size(), 4u);
  std::set<int> heads;
  for (const auto& r : first) heads.insert(r.head);
  EXPECT_EQ(heads, (std::set<int>{1, 2})) << "the demo uses both heads";
  // The part list's head column names the head that placed each row's part.
  const QAbstractItemModel* cells = pl.PlacementView()->model();
  for (int row = 0; row < 4; ++row) {
    const auto* placedBy = &first.front();
    for (const auto& r : first)
      if (std::hypot(r.boardX - kRows[row][0], r.boardY - kRows[row][1]) <
          std::hypot(placedBy->boardX - kRows[row][0], placedBy->boardY - kRows[row][1]))
        placedBy = &r;
    EXPECT_EQ(cells->data(cells->index(row, smt::job::kSmtHead)).toString().toStdString(), std::to_string(placedBy->head))
        << "row " << row + 1;
  }
  for (const auto& row : kRows) {
    double best = 1e9;
    for (const auto& r : first) best = std::min(best, std::hypot(r.boardX - row[0], r.boardY - row[1]));
    EXPECT_LE(best, 0.05) << "no part at " << row[0] << ", " << row[1];
  }
  ASSERT_TRUE(PumpUntil([&] {
    return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0 && !smt::CurrentMachine().machineBusy.load();
  }, 10s));

  // 5. The machine slowed (SMT_SIM_DELAY=200): Start, Pause, Resume, Stop.
  // The run ends stopped and never looks complete; its count is what the
  // machine placed.
  logAt = Log().size();
  sim->SetReplyDelay(std::chrono::milliseconds(200));
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnStart)->isEnabled(); }, 30s));
  ClickToolbar(smt::job::kBtnStart);
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnPause)->isEnabled(); }, 60s)) << Messages();
  EXPECT_TRUE(ShownEnd().empty()) << "a new run starts without the last run's end: " << ShownEnd();
  ClickToolbar(smt::job::kBtnPause);
  EXPECT_TRUE(smt::CurrentMachine().paused.load());
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(smt::job::kBtnRegain)->isEnabled(); }));
  ClickToolbar(smt::job::kBtnRegain);
  EXPECT_FALSE(smt::CurrentMachine().paused.load());
  ClickToolbar(smt::job::kBtnStop);
  ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end 0", logAt) != std::string::npos; }, 30s)) << Messages();
  sim->SetReplyDelay(std::chrono::milliseconds(0));
  ASSERT_TRUE(PumpUntil([&] { return !ShownEnd().empty(); }, 5s));
  const size_t second = world->Placements().size() - first.size();
  EXPECT_EQ(ShownEnd().rfind(texts.stopped, 0), 0u) << ShownEnd();
  EXPECT_EQ(pl.RunCounts().placed, static_cast<int>(second)) << ShownEnd();
  EXPECT_FALSE(pl.RunCounts().Complete());
  EXPECT_LT(pl.RunProgressBar()->value(), pl.RunProgressBar()->maximum()) << "a stopped run's bar is not full";
  ASSERT_TRUE(PumpUntil([&] {
    return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0 && !smt::CurrentMachine().machineBusy.load();
  }, 10s));

  // 6. File > New: no bar and no end line of the old job.
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  f.Action(cmd::kFileNew)->trigger();
  EXPECT_EQ(pl.RunProgressBar()->value(), 0);
  EXPECT_TRUE(ShownEnd().empty()) << ShownEnd();
}

}  // namespace
